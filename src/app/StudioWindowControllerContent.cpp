#include "app/StudioSplit.h"
#include "app/StudioWindowController.h"
#include "canvas/VectorCanvas.h"
#include "data/DataWindowController.h"
#include "inspector/InspectorIcon.h"
#include "inspector/InspectorScroll.h"
#include "inspector/InspectorSection.h"
#include "desktop/ViewHost.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QStandardItemModel>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QToolButton* barButton(const QString& symbol, const QString& description, const QString& toolTip)
{
    auto* button = new QToolButton;
    button->setIcon(InspectorIcon::symbol(symbol));
    button->setAccessibleDescription(description);
    button->setToolTip(toolTip);
    button->setAutoRaise(true);
    button->setFixedWidth(32);
    return button;
}

} // namespace

void StudioWindowController::buildInspectors()
{
    backgroundInspector = new InspectorScroll;
    backgroundInspector->setObjectName(QStringLiteral("Studio.BackgroundInspector"));
    backgroundLock = new QCheckBox(QStringLiteral("Verrouiller position et dimensions"));

    svgTextValue = new QLineEdit;
    svgTextValue->setObjectName(QStringLiteral("Studio.SVGTextValue"));
    svgTextInspector = new InspectorScroll;
    svgTextInspector->setObjectName(QStringLiteral("Studio.SVGTextInspector"));
    svgTextInspector->addSection(new InspectorSection(
        QStringLiteral("Texte SVG"), {InspectorSection::labeledRow(QStringLiteral("Valeur"), svgTextValue)}));

    statistics = new QLabel;
    statistics->setObjectName(QStringLiteral("Studio.Statistics"));
    statistics->setWordWrap(true);
    statistics->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statistics->setFont(InspectorSection::systemFont(13));
    statistics->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    statisticsScroll = new InspectorScroll;
    statisticsScroll->setObjectName(QStringLiteral("Studio.StatisticsScroll"));
    statisticsScroll->addSection(statistics);
}

void StudioWindowController::buildContent(QMainWindow* studioWindow)
{
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("Studio.Content"));
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(horizontal);

    horizontal->addPane(buildSidebar());
    horizontal->addPane(buildCentre());
    horizontal->addPane(buildInspectorColumn());
    studioWindow->setCentralWidget(content);
    horizontal->arrange();
    vertical->arrange();
}

QWidget* StudioWindowController::buildSidebar()
{
    sidebar = new QWidget;
    sidebar->setObjectName(QStringLiteral("Studio.Sidebar"));
    objects = new QTreeView;
    objects->setObjectName(QStringLiteral("Studio.Objects"));
    objectsModel = new QStandardItemModel(0, 4, objects);
    objectsModel->setHorizontalHeaderLabels(
        {QStringLiteral("Objets / Calques"), QStringLiteral("Vue"), QStringLiteral("Fixe"), QString()});
    objects->setModel(objectsModel);
    objects->setSelectionMode(QAbstractItemView::ExtendedSelection);
    objects->setSelectionBehavior(QAbstractItemView::SelectRows);
    objects->setEditTriggers(QAbstractItemView::NoEditTriggers);
    objects->setIndentation(14);
    objects->setUniformRowHeights(true);
    objects->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    objects->setToolTip(QStringLiteral("Sélection partagée avec Fond, Données et Carte"));
    QHeaderView* header = objects->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(30);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < 4; ++column) {
        header->setSectionResizeMode(column, QHeaderView::Fixed);
        header->resizeSection(column, 30);
    }
    auto* layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(objects);
    return sidebar;
}

QWidget* StudioWindowController::buildCentre()
{
    canvasHost = new QWidget;
    canvasHost->setObjectName(QStringLiteral("Studio.CanvasHost"));
    vertical->addPane(canvasHost);
    vertical->addPane(buildBottomPanel());

    status = new QLabel;
    status->setObjectName(QStringLiteral("Studio.Status"));
    status->setFont(InspectorSection::systemFont(11));
    status->setForegroundRole(QPalette::PlaceholderText);

    auto* centre = new QWidget;
    centre->setObjectName(QStringLiteral("Studio.Centre"));
    auto* layout = new QVBoxLayout(centre);
    layout->setContentsMargins(0, 0, 0, 5);
    layout->setSpacing(4);
    layout->addWidget(vertical, 1);
    auto* statusRow = new QHBoxLayout;
    statusRow->setContentsMargins(10, 0, 10, 0);
    statusRow->addWidget(status);
    layout->addLayout(statusRow);
    return centre;
}

QWidget* StudioWindowController::buildInspectorColumn()
{
    inspectorHost = new QWidget;
    inspectorHost->setObjectName(QStringLiteral("Studio.InspectorHost"));
    auto* header = new QLabel(QStringLiteral("Inspecteur"));
    header->setFont(InspectorSection::systemFont(13, QFont::DemiBold));
    inspectorBody = new QWidget;
    inspectorBody->setObjectName(QStringLiteral("Studio.InspectorBody"));

    auto* layout = new QVBoxLayout(inspectorHost);
    layout->setContentsMargins(0, 12, 0, 0);
    layout->setSpacing(10);
    auto* headerRow = new QHBoxLayout;
    headerRow->setContentsMargins(12, 0, 0, 0);
    headerRow->addWidget(header);
    layout->addLayout(headerRow);
    layout->addWidget(inspectorBody, 1);
    return inspectorHost;
}

QWidget* StudioWindowController::buildBottomPanel()
{
    bottomHost = new QWidget;
    bottomHost->setObjectName(QStringLiteral("Studio.BottomHost"));
    bottomBody = new QWidget;
    bottomBody->setObjectName(QStringLiteral("Studio.BottomBody"));

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(10, 8, 10, 8);
    bar->setSpacing(8);

    // The tabs: three segments, one selected at a time.
    auto* segments = new QWidget;
    segments->setObjectName(QStringLiteral("Studio.Tabs"));
    auto* segmentRow = new QHBoxLayout(segments);
    segmentRow->setContentsMargins(0, 0, 0, 0);
    segmentRow->setSpacing(0);
    tabs = new QButtonGroup(segments);
    tabs->setExclusive(true);
    const QStringList titles = {QStringLiteral("Données"), QStringLiteral("Aperçu"), QStringLiteral("Statistiques")};
    for (int i = 0; i < titles.size(); ++i) {
        auto* segment = new QToolButton;
        segment->setObjectName(QStringLiteral("Studio.Tab.%1").arg(i));
        segment->setText(titles.at(i));
        segment->setCheckable(true);
        segment->setFixedWidth(80);
        tabs->addButton(segment, i);
        segmentRow->addWidget(segment);
    }
    connect(tabs, &QButtonGroup::idClicked, this, [this](int) { performCommand(QStringLiteral("changeTab:"), tabs); });
    bar->addWidget(segments);

    QToolButton* addVariable = barButton(QStringLiteral("plus"), QStringLiteral("Ajouter une variable"),
                                         QStringLiteral("Ajouter une variable"));
    addVariable->setObjectName(QStringLiteral("Studio.AddVariable"));
    connect(addVariable, &QToolButton::clicked, this,
            [this, addVariable] { sendCommand(dataContent, QStringLiteral("addVariable:"), addVariable); });
    QToolButton* importData = barButton(QStringLiteral("square.and.arrow.down"), QStringLiteral("Importer des données"),
                                        QStringLiteral("Importer des données…"));
    importData->setObjectName(QStringLiteral("Studio.ImportData"));
    connect(importData, &QToolButton::clicked, this,
            [this, importData] { sendCommand(dataContent, QStringLiteral("importData:"), importData); });
    QToolButton* expand = barButton(QStringLiteral("arrow.up.and.down"), QStringLiteral("Agrandir / réduire le panneau"),
                                    QStringLiteral("Agrandir / réduire le panneau inférieur"));
    expand->setObjectName(QStringLiteral("Studio.ExpandBottom"));
    connect(expand, &QToolButton::clicked, this, [this, expand] { performCommand(QStringLiteral("expandBottom:"), expand); });
    m_dataCommands.insert(addVariable, QStringLiteral("addVariable:"));
    m_dataCommands.insert(importData, QStringLiteral("importData:"));
    m_toolCommands.insert(expand, QStringLiteral("expandBottom:"));

    bar->addWidget(addVariable);
    bar->addWidget(importData);
    bar->addStretch(1);
    bar->addWidget(expand);

    auto* layout = new QVBoxLayout(bottomHost);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(bar);
    layout->addWidget(bottomBody, 1);
    return bottomHost;
}
