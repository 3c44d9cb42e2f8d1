// Construction and layout of the data import dialog; its actions are in
// DataImportWindowControllerActions.cpp.
#include "data/DataImportWindowController.h"

#include "data/DataImportWindowControllerPreview.h"
#include "data/DataImportWindowControllerZones.h"
#include "desktop/WindowTeardown.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

const QString DataImportWindowController::frameAutosaveName = QStringLiteral("Importer des données compact");

namespace {

QLabel* label(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    return label;
}

void styleTable(QAbstractItemView* view)
{
    view->setAlternatingRowColors(true);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view->setTextElideMode(Qt::ElideRight);
}

} // namespace

DataImportWindowController::DataImportWindowController(const DataImportWindowControllerDocument& documentOwner,
                                                       const QList<PlmInputSheet>& sheets,
                                                       const QString& sourceName, bool selectAllColumns,
                                                       std::function<void()> onFinished)
    : QDialog(nullptr)
    , m_document(documentOwner)
    , m_onFinished(std::move(onFinished))
    , m_model(sheets, selectAllColumns)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setSizeGripEnabled(true);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowMaximizeButtonHint);
    setWindowTitle(QStringLiteral("Importer des données — ") + sourceName);
    // Opened for a work, which closes it as it goes: it never keeps the program running alone.
    setAttribute(Qt::WA_QuitOnClose, false);
    setObjectName(QStringLiteral("DataImport"));
    buildControls(sourceName);

    setMinimumSize(780, 400);
    const QByteArray frame = UserDefaults::dataValue(frameAutosaveName);
    if (frame.isEmpty() || !restoreGeometry(frame)) {
        resize(920, 480);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    reload();
}

DataImportWindowController::~DataImportWindowController()
{
    // The dialog is a window of its own: deleted while shown (its pane goes, the program
    // ends), a field losing its focus must not call into what is already destroyed here.
    WindowTeardown::silence(this);
}

void DataImportWindowController::buildControls(const QString&)
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(16, 14, 16, 14);
    stack->setSpacing(10);

    m_header = new QCheckBox(QStringLiteral("Première ligne : en-têtes"), this);
    m_header->setObjectName(QStringLiteral("DataImport.Header"));
    m_header->setChecked(m_model.hasHeader());
    connect(m_header, &QCheckBox::clicked, this, &DataImportWindowController::changeHeader);
    stack->addWidget(m_header, 0, Qt::AlignLeft);

    m_sheetPicker = new QComboBox(this);
    m_sheetPicker->setObjectName(QStringLiteral("DataImport.Sheet"));
    for (const PlmInputSheet& sheet : m_model.sheets())
        m_sheetPicker->addItem(sheet.name);
    m_sheetPicker->setHidden(m_model.sheets().size() == 1);
    connect(m_sheetPicker, &QComboBox::activated, this, &DataImportWindowController::changeSheet);
    stack->addWidget(m_sheetPicker, 0, Qt::AlignLeft);

    auto* columnsRow = new QHBoxLayout;
    columnsRow->setSpacing(12);
    columnsRow->addWidget(label(QStringLiteral("Colonnes :"), this));
    auto* every = new QPushButton(QStringLiteral("Toutes"), this);
    every->setObjectName(QStringLiteral("DataImport.Toutes"));
    every->setAutoDefault(false);
    connect(every, &QPushButton::clicked, this, [this] { selectColumns(1); });
    auto* none = new QPushButton(QStringLiteral("Aucune"), this);
    none->setObjectName(QStringLiteral("DataImport.Aucune"));
    none->setAutoDefault(false);
    connect(none, &QPushButton::clicked, this, [this] { selectColumns(0); });
    columnsRow->addWidget(every);
    columnsRow->addWidget(none);
    columnsRow->addStretch(1);
    stack->addLayout(columnsRow);

    m_matchingControls = new QWidget(this);
    auto* keyRow = new QHBoxLayout(m_matchingControls);
    keyRow->setContentsMargins(0, 0, 0, 0);
    keyRow->setSpacing(8);
    keyRow->addWidget(label(QStringLiteral("Reconnaître les zones avec"), m_matchingControls));
    m_sourcePicker = new QComboBox(m_matchingControls);
    m_sourcePicker->setObjectName(QStringLiteral("DataImport.Source"));
    m_sourcePicker->setMinimumWidth(130);
    keyRow->addWidget(m_sourcePicker);
    keyRow->addWidget(label(QStringLiteral("du fond :"), m_matchingControls));
    m_fieldPicker = new QComboBox(m_matchingControls);
    m_fieldPicker->setObjectName(QStringLiteral("DataImport.Field"));
    m_fieldPicker->setMinimumWidth(100);
    keyRow->addWidget(m_fieldPicker);
    keyRow->addStretch(1);
    connect(m_sourcePicker, &QComboBox::activated, this, &DataImportWindowController::changeMatch);
    connect(m_fieldPicker, &QComboBox::activated, this, &DataImportWindowController::changeMatch);
    stack->addWidget(m_matchingControls);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("DataImport.Summary"));
    m_summary->setWordWrap(true);
    QFont summaryFont = m_summary->font();
    summaryFont.setPointSizeF(15);
    summaryFont.setBold(true);
    m_summary->setFont(summaryFont);
    stack->addWidget(m_summary);

    m_onlyIssues = new QCheckBox(QStringLiteral("Seulement les non-correspondances"), this);
    m_onlyIssues->setObjectName(QStringLiteral("DataImport.OnlyIssues"));
    m_onlyIssues->setChecked(true);
    connect(m_onlyIssues, &QCheckBox::clicked, this, &DataImportWindowController::filterRows);
    stack->addWidget(m_onlyIssues, 0, Qt::AlignLeft);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setChildrenCollapsible(false);
    split->setMinimumHeight(150);
    m_columnsTable = new QTableWidget(0, 3, split);
    m_columnsTable->setObjectName(QStringLiteral("DataImport.Columns"));
    m_columnsTable->setHorizontalHeaderLabels({QString(), QStringLiteral("Colonnes à importer"), QStringLiteral("Type")});
    m_columnsTable->verticalHeader()->hide();
    m_columnsTable->verticalHeader()->setDefaultSectionSize(28);
    m_columnsTable->horizontalHeader()->setSectionsMovable(false);
    m_columnsTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    m_columnsTable->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_columnsTable->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Interactive);
    m_columnsTable->horizontalHeader()->setMinimumSectionSize(30);
    m_columnsTable->setColumnWidth(0, 30);
    m_columnsTable->setColumnWidth(1, 150);
    m_columnsTable->setColumnWidth(2, 120);
    m_columnsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_columnsTable->setSelectionMode(QAbstractItemView::NoSelection);
    m_columnsTable->setMinimumWidth(290);
    m_columnsTable->setMaximumWidth(420);
    styleTable(m_columnsTable);

    m_preview = new QTableView(split);
    m_preview->setObjectName(QStringLiteral("DataImport.Preview"));
    m_previewModel = new DataImportWindowControllerPreview(m_model, this);
    m_preview->setModel(m_previewModel);
    m_preview->verticalHeader()->hide();
    m_preview->verticalHeader()->setDefaultSectionSize(28);
    m_preview->horizontalHeader()->setSectionsMovable(false);
    m_preview->horizontalHeader()->setMinimumSectionSize(100);
    m_preview->horizontalHeader()->setStretchLastSection(true);
    m_preview->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_preview->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->setMinimumWidth(440);
    styleTable(m_preview);
    connect(m_preview, &QTableView::doubleClicked, this, &DataImportWindowController::focusCorrection);
    connect(m_preview->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &DataImportWindowController::updateCorrectionControls);
    split->addWidget(m_columnsTable);
    split->addWidget(m_preview);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    stack->addWidget(split, 1);

    m_correctionControls = new QWidget(this);
    auto* corrections = new QVBoxLayout(m_correctionControls);
    corrections->setContentsMargins(0, 0, 0, 0);
    corrections->setSpacing(6);
    auto* zoneRow = new QHBoxLayout;
    m_zone = new QComboBox(m_correctionControls);
    m_zone->setObjectName(QStringLiteral("DataImport.Zone"));
    m_zone->setEditable(true);
    m_zone->setInsertPolicy(QComboBox::NoInsert);
    m_zone->setCompleter(nullptr); // the dialog filters the list itself
    m_zone->setMaxVisibleItems(8);
    m_zone->setMinimumWidth(230);
    m_zone->setMaximumWidth(500);
    m_zone->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_zone->lineEdit()->setPlaceholderText(QStringLiteral("Chercher une zone par ID ou nom"));
    m_zoneItems = new DataImportWindowControllerZones(m_model, this);
    m_zone->setModel(m_zoneItems);
    connect(m_zone->lineEdit(), &QLineEdit::textEdited, this, &DataImportWindowController::searchZones);
    m_fix = new QPushButton(QStringLiteral("Associer à cette zone"), m_correctionControls);
    m_fix->setObjectName(QStringLiteral("DataImport.Fix"));
    m_fix->setAutoDefault(false);
    connect(m_fix, &QPushButton::clicked, this, &DataImportWindowController::correctRow);
    zoneRow->addWidget(m_zone, 1);
    zoneRow->addWidget(m_fix);
    zoneRow->addStretch(0);
    auto* batchRow = new QHBoxLayout;
    m_batch = new QPushButton(QStringLiteral("Associer la sélection…"), m_correctionControls);
    m_batch->setObjectName(QStringLiteral("DataImport.Batch"));
    m_batch->setAutoDefault(false);
    auto* kinds = new QMenu(m_batch);
    const QList<std::pair<QString, QString>> kindItems = {{QStringLiteral("Aux surfaces"), QStringLiteral("surface")},
                                                          {QStringLiteral("Aux points"), QStringLiteral("point")},
                                                          {QStringLiteral("Aux lignes"), QStringLiteral("line")}};
    for (const auto& [title, kind] : kindItems) {
        QAction* action = kinds->addAction(title);
        action->setData(kind);
        connect(action, &QAction::triggered, this, [this, kind = kind] { correctBatch(kind); });
    }
    m_batch->setMenu(kinds);
    m_ignore = new QPushButton(QStringLiteral("Ignorer la sélection"), m_correctionControls);
    m_ignore->setObjectName(QStringLiteral("DataImport.Ignore"));
    m_ignore->setAutoDefault(false);
    connect(m_ignore, &QPushButton::clicked, this, &DataImportWindowController::ignoreRow);
    batchRow->addWidget(m_batch);
    batchRow->addWidget(m_ignore);
    batchRow->addStretch(1);
    corrections->addLayout(zoneRow);
    corrections->addLayout(batchRow);
    stack->addWidget(m_correctionControls);

    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("DataImport.Note"));
    m_note->setWordWrap(true);
    QFont noteFont = m_note->font();
    noteFont.setPointSizeF(12);
    m_note->setFont(noteFont);
    stack->addWidget(m_note);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(12);
    m_cancel = new QPushButton(QStringLiteral("Annuler"), this);
    m_cancel->setObjectName(QStringLiteral("DataImport.Cancel"));
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &DataImportWindowController::cancelImport);
    m_apply = new QPushButton(QStringLiteral("Importer les variables"), this);
    m_apply->setObjectName(QStringLiteral("DataImport.Apply"));
    m_apply->setDefault(true); // Return
    connect(m_apply, &QPushButton::clicked, this, &DataImportWindowController::importVariables);
    bottom->addWidget(m_cancel);
    bottom->addStretch(1);
    bottom->addWidget(m_apply);
    stack->addLayout(bottom);
}

void DataImportWindowController::hideEvent(QHideEvent* event)
{
    UserDefaults::setValue(frameAutosaveName, saveGeometry());
    QDialog::hideEvent(event);
}
