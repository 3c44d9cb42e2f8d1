#pragma once

#include "librarystore/PlmLibraryStore.h"
#include "canvas/PlmSymbolCatalogue.h"

#include <QDialog>
#include <QMap>
#include <QStringList>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class SymbolPickerModel;

// The « Catalogue de symboles » window: a search field, a category popup, the table of symbols
// with their previews and the buttons « Import SVG… », « Supprimer », « Annuler », « Choisir ».
// Hands the chosen symbol back through the closures; the list rule is PlmSymbolCatalogue.
// Main thread only; the window deletes itself once closed.
class SymbolPickerWindowController : public QDialog {
    Q_OBJECT
public:
    using Entry = PlmSymbolCatalogue::Entry;
    using SvgCompletion = std::function<void(const PlmMap& map, const QString& name)>;

    static const QString frameAutosaveName; // "SymbolPicker"

    SymbolPickerWindowController(std::function<void(const QString&)> completion, SvgCompletion svgCompletion,
                                 std::optional<PlmLibraryStore> store, std::function<void()> onClose,
                                 QWidget* parent = nullptr);
    ~SymbolPickerWindowController() override;

    // Makes the panes' symbol opener open this window; also installs the glyph reading.
    static void installLauncher();

    const QList<Entry>& entries() const { return m_entries; }
    const QList<PlmSymbolCatalogue::SvgItem>& svgItems() const { return m_svgItems; }
    bool acceptsSVG() const { return bool(m_svgCompletion); }
    // The selected row, or -1.
    int selectedRow() const;
    void selectRow(int row);

    void reloadSVGItems();
    void refilter();
    void updateButtons();
    void acceptSelection();

    // SVG symbols of the library (SymbolPickerSvgImport.cpp).
    void chooseSVGFiles();
    // The stored documents in import order; throws the error that stops the import, or
    // PlmWorkError (invalid) with the report when some files failed.
    QStringList importSVGFiles(const QStringList& paths);
    static bool isImportableSVGFile(const QString& path);
    void confirmDeleteSelectedSVG();
    static QString deleteQuestion(const QString& displayName);
    static QString importReport(int imported, const QStringList& failures);

protected:
    bool event(QEvent* event) override;

private:
    void buildControls();
    std::optional<PlmLibraryStore> store(bool prompting) const;
    void finish();

    std::function<void(const QString&)> m_completion;
    SvgCompletion m_svgCompletion;
    std::optional<PlmLibraryStore> m_suppliedStore;
    std::function<void()> m_onClose;
    QList<PlmSymbolCatalogue::SvgItem> m_svgItems;
    QList<Entry> m_entries;
    QMap<QString, QString> m_names;
    bool m_closed = false;

    QLineEdit* m_search = nullptr;
    QComboBox* m_category = nullptr;
    QTableView* m_table = nullptr;
    SymbolPickerModel* m_model = nullptr;
    QLabel* m_emptyMessage = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_choose = nullptr;
};
