#include "symbolcatalogue/SymbolPickerWindowController.h"

#include "symbolcatalogue/SymbolGlyphSvgReader.h"
#include "library/LibraryCoordinator.h"
#include "librarystore/PlmLibraryFiles.h"
#include "symbolcatalogue/SymbolPickerModel.h"
#include "model/PlmMapCodec.h"
#include "desktop/WindowTeardown.h"
#include "platform/UserDefaults.h"
#include "canvas/SymbolPickerLauncher.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

const QString SymbolPickerWindowController::frameAutosaveName = QStringLiteral("SymbolPicker");

SymbolPickerWindowController::SymbolPickerWindowController(std::function<void(const QString&)> completion,
                                                           SvgCompletion svgCompletion,
                                                           std::optional<PlmLibraryStore> store,
                                                           std::function<void()> onClose, QWidget* parent)
    : QDialog(parent)
    , m_completion(std::move(completion))
    , m_svgCompletion(std::move(svgCompletion))
    , m_suppliedStore(std::move(store))
    , m_onClose(std::move(onClose))
    , m_names(PlmSymbolCatalogue::searchWords())
{
    SymbolGlyphSvgReader::install();
    setModal(false);
    setSizeGripEnabled(true);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowMaximizeButtonHint);
    setWindowTitle(QStringLiteral("Catalogue de symboles"));
    // Opened for a work, which closes it as it goes: it never keeps the program running alone.
    setAttribute(Qt::WA_QuitOnClose, false);
    setObjectName(QStringLiteral("Symbols"));
    buildControls();
    setMinimumSize(420, 330);
    const QByteArray frame = UserDefaults::dataValue(frameAutosaveName);
    if (frame.isEmpty() || !restoreGeometry(frame)) {
        resize(620, 560);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    // Every way of closing (Choisir, Annuler, Escape, the close button) ends here once.
    connect(this, &QDialog::finished, this, &SymbolPickerWindowController::finish);

    reloadSVGItems();
    refilter();
    m_search->setFocus();
}

SymbolPickerWindowController::~SymbolPickerWindowController()
{
    // Deleted while shown (the program ends), its search field must not call into what is
    // already destroyed here.
    WindowTeardown::silence(this);
}

void SymbolPickerWindowController::installLauncher()
{
    SymbolGlyphSvgReader::install();
    SymbolPickerLauncher::install([](const SymbolPickerLauncher::Request& request) -> QWidget* {
        return new SymbolPickerWindowController(request.completion, request.svgCompletion, std::nullopt,
                                                request.onClose);
    });
}

void SymbolPickerWindowController::buildControls()
{
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("Symbols.Search"));
    m_search->setPlaceholderText(QStringLiteral("Rechercher un symbole ou saisir le nom d’un pictogramme"));
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::textChanged, this, &SymbolPickerWindowController::refilter);

    m_category = new QComboBox(this);
    m_category->setObjectName(QStringLiteral("Symbols.Category"));
    for (const PlmSymbolCatalogue::Category& category : PlmSymbolCatalogue::symbolCategories())
        m_category->addItem(category.title);
    if (acceptsSVG())
        m_category->addItem(PlmSymbolCatalogue::svgLibraryTitle());
    m_category->setCurrentIndex(0);
    connect(m_category, &QComboBox::activated, this, &SymbolPickerWindowController::refilter);

    m_model = new SymbolPickerModel(this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("Symbols.Table"));
    m_table->setModel(m_model);
    m_table->setItemDelegateForColumn(0, new SymbolPreviewDelegate(m_model, m_table));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setShowGrid(false);
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(42);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_table->setColumnWidth(0, 64);
    m_table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(m_table, &QTableView::doubleClicked, this, [this] { acceptSelection(); });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SymbolPickerWindowController::updateButtons);

    m_emptyMessage = new QLabel(this);
    m_emptyMessage->setObjectName(QStringLiteral("Symbols.Empty"));
    m_emptyMessage->setWordWrap(true);
    m_emptyMessage->setAlignment(Qt::AlignCenter);
    m_emptyMessage->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_emptyMessage->setForegroundRole(QPalette::PlaceholderText);

    const auto button = [this](const QString& title, const QString& name) {
        auto* b = new QPushButton(title, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    m_import = button(QStringLiteral("Import SVG…"), QStringLiteral("Symbols.ImportSVG"));
    m_delete = button(QStringLiteral("Supprimer"), QStringLiteral("Symbols.DeleteSVG"));
    m_cancel = button(QStringLiteral("Annuler"), QStringLiteral("Symbols.Cancel"));
    m_choose = button(QStringLiteral("Choisir"), QStringLiteral("Symbols.Choose"));
    m_choose->setDefault(true); // Return chooses
    m_import->setHidden(!acceptsSVG());
    m_delete->setHidden(!acceptsSVG());
    // The panel and the question run after the click has returned: the window may be gone by
    // the time they answer.
    connect(m_import, &QPushButton::clicked, this,
            [this] { QMetaObject::invokeMethod(this, [this] { chooseSVGFiles(); }, Qt::QueuedConnection); });
    connect(m_delete, &QPushButton::clicked, this,
            [this] { QMetaObject::invokeMethod(this, [this] { confirmDeleteSelectedSVG(); }, Qt::QueuedConnection); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_choose, &QPushButton::clicked, this, &SymbolPickerWindowController::acceptSelection);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(0);
    layout->addWidget(m_search);
    layout->addSpacing(10);
    layout->addWidget(m_category);
    layout->addSpacing(12);
    auto* listArea = new QGridLayout;
    listArea->addWidget(m_table, 0, 0);
    listArea->addWidget(m_emptyMessage, 0, 0, Qt::AlignCenter);
    layout->addLayout(listArea, 1);
    layout->addSpacing(12);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    buttons->addWidget(m_import);
    buttons->addWidget(m_delete);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_choose);
    layout->addLayout(buttons);
}

std::optional<PlmLibraryStore> SymbolPickerWindowController::store(bool prompting) const
{
    if (m_suppliedStore)
        return m_suppliedStore;
    return LibraryCoordinator::shared().currentStore(prompting);
}

void SymbolPickerWindowController::reloadSVGItems()
{
    QList<PlmSymbolCatalogue::SvgItem> items;
    try {
        if (const std::optional<PlmLibraryStore> library = store(false)) {
            for (const PlmLibraryItem& listed : library->symbolItems()) {
                // One unreadable symbol document is left out; the others are still listed.
                try {
                    const PlmLibraryItem checked = library->item(listed.url);
                    if (checked.isFolder)
                        continue;
                    items.append({checked.url, PlmMapCodec::decode(PlmLibraryFiles::read(checked.url))});
                } catch (const std::exception&) {
                }
            }
        }
    } catch (const std::exception&) {
        items.clear(); // no library, or its symbols cannot be listed: named symbols only
    }
    m_svgItems = items;
    m_model->forgetSVGShapes();
}

void SymbolPickerWindowController::refilter()
{
    m_entries = PlmSymbolCatalogue::filter(m_search->text(), m_category->currentIndex(), m_svgItems, acceptsSVG());
    m_emptyMessage->setText(PlmSymbolCatalogue::emptyMessage());
    m_emptyMessage->setHidden(!m_entries.isEmpty());
    m_model->setEntries(m_entries);
    if (m_entries.isEmpty())
        m_table->selectionModel()->clearSelection();
    else
        selectRow(0);
    updateButtons();
}

int SymbolPickerWindowController::selectedRow() const
{
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void SymbolPickerWindowController::selectRow(int row)
{
    if (row < 0 || row >= m_entries.size())
        return;
    m_table->selectionModel()->select(m_model->index(row, 0),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_table->selectionModel()->setCurrentIndex(m_model->index(row, 0), QItemSelectionModel::NoUpdate);
    m_table->scrollTo(m_model->index(row, 0));
}

void SymbolPickerWindowController::updateButtons()
{
    const int row = selectedRow();
    const bool valid = row >= 0 && row < m_entries.size();
    m_choose->setEnabled(valid);
    m_delete->setEnabled(valid && m_entries.at(row).isSVG());
}

void SymbolPickerWindowController::acceptSelection()
{
    const int row = selectedRow();
    if (row < 0 || row >= m_entries.size())
        return;
    const Entry entry = m_entries.at(row);
    if (!entry.isSVG()) {
        if (m_completion)
            m_completion(entry.sfName);
    } else if (m_svgCompletion) {
        m_svgCompletion(entry.svg.map, entry.displayName());
    }
    accept();
}

bool SymbolPickerWindowController::event(QEvent* event)
{
    // Brought back to the front: the library may have changed meanwhile.
    if (event->type() == QEvent::WindowActivate && !m_closed) {
        reloadSVGItems();
        refilter();
    }
    return QDialog::event(event);
}

void SymbolPickerWindowController::finish()
{
    if (m_closed)
        return;
    m_closed = true;
    UserDefaults::setValue(frameAutosaveName, saveGeometry());
    if (m_onClose)
        m_onClose();
    deleteLater();
}
