#include "app/StudioToolbarHost.h"
#include "app/StudioWindowController.h"
#include "app/StudioWindowText.h"
#include "inspector/InspectorIcon.h"
#include "inspector/InspectorSection.h"
#include "inspector/TypedField.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QToolButton>
#include <QMainWindow>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

struct ToolButtonItem {
    const char* identifier;
    const char* label;
    const char* symbol;
    const char* command;
};

// Label and tool tip, symbol, command.
const ToolButtonItem toolButtons[] = {
    {"Studio.Draw", "Dessiner : entités dans Fond, habillage dans Carte", "square.and.pencil", "showDrawingMenu:"},
    {"Studio.Import", "Importer un fond", "square.and.arrow.down", "importForMode:"},
    {"Studio.Background", "Image de fond", "photo.on.rectangle.angled", "showBackgroundMenu:"},
    {"Studio.Library", "Bibliothèque", "books.vertical", "openLibrary:"},
    {"Studio.Fit", "Ajuster", "arrow.up.left.and.arrow.down.right", "fit:"},
    {"Studio.Minus", "Réduire", "minus.magnifyingglass", "zoomOut:"},
    {"Studio.Plus", "Agrandir", "plus.magnifyingglass", "zoomIn:"},
    {"Studio.Left", "Objets / Calques", "sidebar.left", "toggleObjects:"},
    {"Studio.Bottom", "Panneau inférieur", "rectangle.bottomthird.inset.filled", "toggleBottom:"},
    {"Studio.Right", "Inspecteur", "sidebar.right", "toggleInspector:"},
    {"Studio.Page", "Afficher/Masquer la page", "doc.text", "togglePrintPage:"},
    {"Studio.Export", "Exporter", "square.and.arrow.up", "exportCarte:"},
};

const ToolButtonItem* toolButtonItem(const QString& identifier)
{
    for (const ToolButtonItem& item : toolButtons) {
        if (identifier == QLatin1String(item.identifier))
            return &item;
    }
    return nullptr;
}

constexpr int itemHeight = StudioToolbarHost::itemHeight;
constexpr int symbolSize = 20;

void setItemIdentity(QWidget* item, const QString& identifier, const QString& label)
{
    item->setObjectName(identifier);
    item->setProperty("toolbarLabel", label);
    item->setAccessibleName(label);
}

} // namespace

const QStringList& StudioWindowController::toolbarItemIdentifiers()
{
    static const QStringList identifiers = {
        QStringLiteral("Studio.Brand"),
        QStringLiteral("Studio.Fond"),
        QStringLiteral("Studio.Carte"),
        QStringLiteral("Studio.Separator.Tools"),
        QStringLiteral("Studio.Draw"),
        QStringLiteral("Studio.Import"),
        QStringLiteral("Studio.Background"),
        QStringLiteral("Studio.Library"),
        QStringLiteral("Studio.Add"),
        QStringLiteral("Studio.Separator.Zoom"),
        QStringLiteral("Studio.Minus"),
        QStringLiteral("Studio.Fit"),
        QStringLiteral("Studio.Plus"),
        QStringLiteral("Studio.Separator.Display"),
        QStringLiteral("Studio.Left"),
        QStringLiteral("Studio.Bottom"),
        QStringLiteral("Studio.Right"),
        QStringLiteral("Studio.Page"),
        QStringLiteral("Studio.PrintFormat"),
        QStringLiteral("Studio.Export"),
        flexibleSpaceIdentifier,
    };
    return identifiers;
}

void StudioWindowController::buildToolbar(QMainWindow* studioWindow)
{
    toolbar = new QToolBar(studioWindow);
    toolbar->setObjectName(QStringLiteral("Studio.Toolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar->setIconSize(QSize(symbolSize, symbolSize));
    for (const QString& identifier : toolbarItemIdentifiers()) {
        if (QWidget* item = makeToolbarItem(identifier))
            toolbar->addWidget(item);
    }
    studioWindow->addToolBar(Qt::TopToolBarArea, toolbar);
    validateToolbarItems();
}

QWidget* StudioWindowController::makeToolbarItem(const QString& identifier)
{
    if (identifier == QLatin1String("Studio.PrintFormat"))
        return makePrintFormatGroup();

    if (identifier.startsWith(QLatin1String("Studio.Separator."))) {
        auto* item = new QWidget;
        item->setFixedSize(12, itemHeight);
        auto* line = new QFrame(item);
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Plain);
        line->setGeometry((12 - 1) / 2, (itemHeight - 24) / 2, 1, 24);
        setItemIdentity(item, identifier, QString());
        return item;
    }

    if (identifier == QLatin1String("Studio.Brand")) {
        auto* item = new QWidget;
        auto* stack = new QVBoxLayout(item);
        stack->setContentsMargins(0, 0, 0, 0);
        stack->setSpacing(2);
        auto* name = new QLabel(QStringLiteral("Pelmora Studio"));
        name->setFont(InspectorSection::systemFont(17, QFont::DemiBold));
        auto* tagline = new QLabel(QStringLiteral("Cartographie vectorielle et données"));
        tagline->setFont(InspectorSection::systemFont(10));
        tagline->setForegroundRole(QPalette::PlaceholderText);
        stack->addWidget(name, 0, Qt::AlignLeft);
        stack->addWidget(tagline, 0, Qt::AlignLeft);
        item->setFixedSize(205, itemHeight);
        item->setProperty("visibilityPriority", -1000);
        setItemIdentity(item, identifier, QStringLiteral("Studio"));
        return item;
    }

    if (identifier == QLatin1String("Studio.Fond"))
        return makeModeButton(Mode::fond);
    if (identifier == QLatin1String("Studio.Carte"))
        return makeModeButton(Mode::carte);

    if (identifier == QLatin1String("Studio.Add")) {
        auto* button = new QToolButton;
        button->setIcon(InspectorIcon::symbol(QStringLiteral("plus")));
        button->setIconSize(QSize(symbolSize, symbolSize));
        button->setAccessibleDescription(QStringLiteral("Ajouter"));
        button->setToolTip(QStringLiteral("Ajouter : entités dans Fond, habillage dans Carte"));
        button->setAutoRaise(true);
        button->resize(36, itemHeight);
        StudioToolbarHost* host = StudioToolbarHost::wrap(button);
        setItemIdentity(host, identifier, QStringLiteral("Ajouter"));
        m_toolCommands.insert(button, QStringLiteral("showAddMenu:"));
        connect(button, &QToolButton::clicked, this, [this, button] { performCommand(QStringLiteral("showAddMenu:"), button); });
        return host;
    }

    if (identifier == flexibleSpaceIdentifier) {
        auto* item = new QWidget;
        item->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        setItemIdentity(item, identifier, QString());
        return item;
    }

    return makeToolButton(identifier);
}

QWidget* StudioWindowController::makeToolButton(const QString& identifier)
{
    const ToolButtonItem* item = toolButtonItem(identifier);
    if (!item)
        return nullptr;
    const QString label = QString::fromUtf8(item->label);
    const QString command = QString::fromLatin1(item->command);
    auto* button = new QToolButton;
    button->setIcon(InspectorIcon::symbol(QString::fromLatin1(item->symbol)));
    button->setIconSize(QSize(symbolSize, symbolSize));
    button->setAccessibleDescription(label);
    button->setToolTip(label);
    button->setAutoRaise(true);
    button->resize(36, itemHeight);
    m_toolCommands.insert(button, command);
    connect(button, &QToolButton::clicked, this, [this, button, command] { performCommand(command, button); });
    StudioToolbarHost* host = StudioToolbarHost::wrap(button);
    setItemIdentity(host, identifier, label);
    host->setToolTip(label);
    return host;
}

QWidget* StudioWindowController::makeModeButton(Mode itemMode)
{
    const bool isFond = itemMode == Mode::fond;
    const QString title = isFond ? QStringLiteral("Fond") : QStringLiteral("Carte");
    auto* button = new QToolButton;
    button->setObjectName(title + QStringLiteral(".Button"));
    button->setText(title);
    button->setCheckable(true);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setIconSize(QSize(16, 16));
    button->setFont(InspectorSection::systemFont(12, QFont::Medium));
    button->setProperty("tag", int(itemMode));
    button->setProperty("symbolName", isFond ? QStringLiteral("square.stack.3d.up") : QStringLiteral("map"));
    button->setToolTip(QStringLiteral("Mode ") + title);
    button->setAutoRaise(true);
    button->resize(88, itemHeight);
    connect(button, &QToolButton::clicked, this, [this, button] { performCommand(QStringLiteral("changeMode:"), button); });
    modeItems.insert(itemMode, button);
    updateModeButtons();
    StudioToolbarHost* host = StudioToolbarHost::wrap(button);
    setItemIdentity(host, isFond ? QStringLiteral("Studio.Fond") : QStringLiteral("Studio.Carte"), title);
    host->setProperty("visibilityPriority", 1000);
    return host;
}

QWidget* StudioWindowController::makePrintFormatGroup()
{
    if (!printFormat || !printWidth || !printHeight) {
        printFormat = new QComboBox;
        printWidth = new QLineEdit(QStringLiteral("297"));
        printHeight = new QLineEdit(QStringLiteral("210"));
        // Connected once: the group may be made again, and a choice must not apply twice.
        connect(printFormat, &QComboBox::activated, this,
                [this] { performCommand(QStringLiteral("changePrintFormat:"), printFormat); });
        for (QLineEdit* field : {printWidth, printHeight}) {
            const bool width = field == printWidth;
            TypedField::attach(field, {width ? QStringLiteral("Largeur de la page (mm)") : QStringLiteral("Hauteur de la page (mm)"),
                                       [this, width] { return shownPrintDimension(width); },
                                       [this, field](const QString&) {
                                           const QScopedValueRollback<bool> taking(takingTypedText, true);
                                           typedRefusal.clear();
                                           performCommand(QStringLiteral("controlTextDidEndEditing:"), field);
                                           return typedRefusal;
                                       },
                                       {}, false, true});
        }
    }
    printFormat->clear();
    printFormat->addItems({QStringLiteral("A4"), QStringLiteral("A3"), QStringLiteral("Personnalisée")});
    printFormat->setObjectName(QStringLiteral("Studio.PrintFormat.Format"));
    printFormat->setToolTip(QStringLiteral("Format de la page d’impression"));

    printWidth->setObjectName(QStringLiteral("Studio.PrintFormat.Width"));
    printHeight->setObjectName(QStringLiteral("Studio.PrintFormat.Height"));
    printWidth->setToolTip(QStringLiteral("Largeur de la page (mm)"));
    printHeight->setToolTip(QStringLiteral("Hauteur de la page (mm)"));
    for (QLineEdit* field : {printWidth, printHeight})
        field->setFixedWidth(56);

    auto* group = new QWidget;
    auto* stack = new QHBoxLayout(group);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(5);
    stack->addWidget(printFormat, 0, Qt::AlignVCenter);
    stack->addWidget(printWidth, 0, Qt::AlignVCenter);
    stack->addWidget(new QLabel(QStringLiteral("×")), 0, Qt::AlignVCenter);
    stack->addWidget(printHeight, 0, Qt::AlignVCenter);
    stack->addWidget(new QLabel(QStringLiteral("mm")), 0, Qt::AlignVCenter);
    stack->addStretch(1);
    group->resize(300, itemHeight);
    refreshPrintFormat();

    StudioToolbarHost* host = StudioToolbarHost::wrap(group);
    setItemIdentity(host, QStringLiteral("Studio.PrintFormat"), QStringLiteral("Format d’impression"));
    host->setProperty("visibilityPriority", 1000);
    return host;
}
