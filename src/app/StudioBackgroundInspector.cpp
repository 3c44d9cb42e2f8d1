#include "app/StudioBackgroundInspector.h"

#include "app/PlmWorkDocument.h"
#include "app/StudioObjectsOutline.h"
#include "app/StudioSplit.h"
#include "app/StudioWindowController.h"
#include "fond/FondWindowController.h"
#include "canvas/VectorCanvas.h"
#include "page/DecorationController.h"
#include "inspector/InspectorScroll.h"
#include "inspector/InspectorSection.h"
#include "inspector/TypedField.h"
#include "carte/CarteWindowController.h"
#include "model/PlmErrors.h"
#include "model/PlmFrenchNumber.h"
#include "desktop/DialogHooks.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

StudioBackgroundInspector::StudioBackgroundInspector(StudioWindowController& window, StudioObjectsOutline& outline)
    : QObject(&window)
    , m_window(window)
    , m_outline(outline)
{
}

StudioBackgroundInspector::~StudioBackgroundInspector()
{
    delete m_menu;
}

void StudioBackgroundInspector::build()
{
    QList<QWidget*> rows;
    m_window.backgroundFields.clear();
    for (int tag = 0; tag < StudioBackgroundImage::fieldCount; ++tag) {
        const QString label = StudioBackgroundImage::fieldLabel(tag);
        auto* field = new QLineEdit;
        field->setAlignment(Qt::AlignRight);
        field->setToolTip(label);
        field->setObjectName(QStringLiteral("Studio.Background.") + QString::number(tag));
        field->setProperty("tag", tag);
        // A refused entry beeps and stays while the field is being edited.
        TypedField::attach(field, {label, [this, tag] { return shownText(tag, StudioBackgroundImage::fieldValue(currentImage(), tag)); },
                                   [this, tag](const QString&) { return takeField(tag); },
                                   [](const QString&) { QApplication::beep(); }, true});
        m_window.backgroundFields.append(field);
        rows.append(InspectorSection::labeledRow(label, field));
    }
    if (!m_window.backgroundLock)
        m_window.backgroundLock = new QCheckBox(QStringLiteral("Verrouiller position et dimensions"));
    m_window.backgroundLock->setObjectName(QStringLiteral("Studio.Background.Lock"));
    connect(m_window.backgroundLock, &QCheckBox::clicked, this, [this](bool checked) { changeLock(checked); });
    rows.append(m_window.backgroundLock);

    m_replace = new QPushButton(QStringLiteral("Remplacer l’image…"));
    m_replace->setObjectName(QStringLiteral("Studio.Background.Replace"));
    connect(m_replace, &QPushButton::clicked, this,
            [this] { m_window.performCommand(QStringLiteral("importBackgroundPanel:"), m_replace); });
    m_remove = new QPushButton(QStringLiteral("Supprimer l’image"));
    m_remove->setObjectName(QStringLiteral("Studio.Background.Remove"));
    connect(m_remove, &QPushButton::clicked, this,
            [this] { m_window.performCommand(QStringLiteral("removeBackground:"), m_remove); });
    auto* buttons = new QWidget;
    auto* buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(0, 0, 0, 0);
    buttonRow->addWidget(m_replace);
    buttonRow->addWidget(m_remove);
    buttonRow->addStretch(1);
    rows.append(buttons);

    m_window.backgroundInspector->addSection(new InspectorSection(QStringLiteral("Image de fond"), rows));
    refresh();
}

std::optional<PlmBackgroundImage> StudioBackgroundInspector::currentImage() const
{
    PlmWorkDocument* doc = m_window.workingDocument();
    if (!doc)
        return std::nullopt;
    const PlmWork work = doc->work();
    return work.decoration ? work.decoration->backgroundImage : std::nullopt;
}

// --- Menu and import -------------------------------------------------------------------------

QMenu* StudioBackgroundInspector::showMenu(QWidget* sender)
{
    const bool hasImage = currentImage().has_value();
    delete m_menu;
    m_menu = new QMenu(QStringLiteral("Image de fond"), m_window.isWindowLoaded() ? m_window.window() : nullptr);
    m_menu->setObjectName(QStringLiteral("Studio.BackgroundMenu"));
    m_menu->setAttribute(Qt::WA_DeleteOnClose, false);
    const auto addItem = [this](const QString& title, const QString& command, bool enabled) {
        QAction* action = m_menu->addAction(title);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, [this, command, action] { m_window.performCommand(command, action); });
    };
    addItem(hasImage ? QStringLiteral("Remplacer l’image…") : QStringLiteral("Importer une image…"),
            QStringLiteral("importBackgroundPanel:"), true);
    addItem(QStringLiteral("Réglages du fond"), QStringLiteral("showBackgroundInspector:"), hasImage);
    addItem(QStringLiteral("Supprimer le fond"), QStringLiteral("removeBackground:"), hasImage);
    if (sender && sender->isVisible())
        m_menu->popup(sender->mapToGlobal(sender->rect().bottomLeft()));
    return m_menu;
}

bool StudioBackgroundInspector::importFromPanel()
{
    if (!m_window.commitEditing() || !m_window.isWindowLoaded())
        return false;
    DialogHooks::OpenPanelRequest request;
    request.title = QStringLiteral("Image de fond");
    request.prompt = QStringLiteral("Importer");
    request.extensions = {QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("jpeg")};
    request.window = m_window.window();
    const std::optional<QStringList> chosen = DialogHooks::runOpenPanel(request);
    if (!chosen || chosen->isEmpty())
        return false;
    try {
        importBackgroundImage(chosen->first());
        return true;
    } catch (const PlmError& error) {
        DialogHooks::presentError(error.message(), nullptr);
        return false;
    }
}

std::optional<QRectF> StudioBackgroundInspector::mapExtent() const
{
    VectorCanvas* view = m_window.fond->canvas();
    // Measured as drawn without the block transform, then converted the same way.
    const bool saved = view->rendersOriginalBlock;
    view->rendersOriginalBlock = true;
    const QRectF bounds = view->originalBlockBounds();
    std::optional<QRectF> extent;
    if (!bounds.isNull() && !bounds.isEmpty()) {
        const QPointF a = view->mapPoint(bounds.topLeft());
        const QPointF b = view->mapPoint(bounds.bottomRight());
        extent = QRectF(QPointF(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                        QPointF(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
    }
    view->rendersOriginalBlock = saved;
    return extent;
}

void StudioBackgroundInspector::importBackgroundImage(const QString& path)
{
    PlmWorkDocument* doc = m_window.workingDocument();
    if (!doc)
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PlmWorkError::invalid(QStringLiteral("Le fichier « %1 » n’a pas pu être ouvert : %2")
                                        .arg(QFileInfo(path).fileName(), file.errorString()));
    // The size is known before reading: a huge file is refused without loading it.
    if (file.size() > StudioBackgroundImage::maxFileBytes)
        throw PlmWorkError::invalid(StudioBackgroundImage::unreadableMessage);
    const QByteArray bytes = file.read(StudioBackgroundImage::maxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw PlmWorkError::invalid(QStringLiteral("Le fichier « %1 » n’a pas pu être lu : %2")
                                        .arg(QFileInfo(path).fileName(), file.errorString()));
    const StudioBackgroundImage::ImageFile image = StudioBackgroundImage::checkImage(bytes);
    const std::optional<PlmBackgroundImage> existing = currentImage();
    const PlmBackgroundImage placed = StudioBackgroundImage::placedImage(existing, image, existing ? std::nullopt : mapExtent());
    doc->updateWork(StudioBackgroundImage::importActionName(existing.has_value()), [&](PlmWork& work) {
        if (!work.decoration)
            work.decoration = PlmDecoration();
        work.decoration->backgroundImage = placed;
    });
    showInspector();
}

// --- Inspector -------------------------------------------------------------------------------

void StudioBackgroundInspector::showInspector()
{
    if (!currentImage())
        return;
    if (CarteWindowController* carte = m_window.loadedCarte()) {
        DecorationController* decorations = carte->decorationController();
        decorations->commitTextEdit();
        decorations->clearSelection();
        decorations->updateSelection();
    }
    if (PlmWorkDocument* doc = m_window.workingDocument())
        doc->select(QSet<QString>(), std::nullopt);
    m_outline.focusEntity(std::nullopt);
    m_window.inspectingBackground = true;
    refresh();
    StudioWindowController::embed(m_window.backgroundInspector, m_window.inspectorBody, 0);
    if (m_window.horizontal->isPanelHidden(2))
        m_window.horizontal->togglePanel(2);
}

QString StudioBackgroundInspector::shownText(int tag, double value)
{
    if (tag == 4)
        return formatFrenchNumber(value, 3);
    return StudioBackgroundImage::fieldText(value);
}

void StudioBackgroundInspector::refresh()
{
    const std::optional<PlmBackgroundImage> image = currentImage();
    for (int tag = 0; tag < m_window.backgroundFields.size() && tag < StudioBackgroundImage::fieldCount; ++tag) {
        QLineEdit* field = m_window.backgroundFields.at(tag);
        // A field being edited keeps what the person is typing.
        TypedField::of(field)->show(shownText(tag, StudioBackgroundImage::fieldValue(image, tag)));
        field->setEnabled(image && (tag == 4 || !image->locked));
    }
    if (QCheckBox* lock = m_window.backgroundLock) {
        lock->setChecked(image && image->locked);
        lock->setEnabled(image.has_value());
    }
    if (m_remove)
        m_remove->setEnabled(image.has_value());
}

QString StudioBackgroundInspector::takeField(int tag)
{
    if (tag < 0 || tag >= m_window.backgroundFields.size())
        return {};
    const QString typed = m_window.backgroundFields.at(tag)->text();
    const std::optional<PlmBackgroundImage> image = currentImage();
    PlmWorkDocument* doc = m_window.workingDocument();
    // Return, or leaving the field, without typing: nothing to store.
    if (!image || !doc || typed == shownText(tag, StudioBackgroundImage::fieldValue(image, tag)))
        return {};
    const std::optional<PlmBackgroundImage> changed = StudioBackgroundImage::withField(*image, tag, typed);
    if (!changed) {
        // A locked image keeps its place: nothing to store.
        const bool lockedPlace = image->locked && tag >= 0 && tag <= 3;
        return lockedPlace ? QString() : TypedField::notANumber();
    }
    try {
        doc->updateWork(QStringLiteral("Réglage de l’image de fond"), [&](PlmWork& work) {
            if (work.decoration)
                work.decoration->backgroundImage = *changed;
        });
    } catch (const PlmError& error) {
        return error.message();
    }
    return {};
}

void StudioBackgroundInspector::fieldDidEndEditing(int tag)
{
    if (tag < 0 || tag >= m_window.backgroundFields.size())
        return;
    const QString refusal = takeField(tag);
    if (refusal != TypedField::notANumber() && !refusal.isEmpty())
        DialogHooks::presentError(refusal, m_window.isWindowLoaded() ? m_window.window() : nullptr);
    refresh();
}

void StudioBackgroundInspector::changeLock(bool locked)
{
    if (!currentImage())
        return;
    m_window.updateWork(QStringLiteral("Verrouiller l’image de fond"), [&](PlmWork& work) {
        if (work.decoration && work.decoration->backgroundImage)
            work.decoration->backgroundImage->locked = locked;
    });
    refresh();
}

void StudioBackgroundInspector::removeBackground()
{
    if (!currentImage())
        return;
    m_window.inspectingBackground = false;
    const bool removed = m_window.updateWork(QStringLiteral("Supprimer l’image de fond"), [](PlmWork& work) {
        if (work.decoration)
            work.decoration->backgroundImage.reset();
    });
    if (removed)
        m_window.switchMode(m_window.mode, false);
}
