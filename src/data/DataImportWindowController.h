#pragma once

#include "data/DataImportWindowControllerDocument.h"
#include "data/DataImportWindowControllerModel.h"
#include "tables/PlmInputSheet.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <functional>

class DataImportWindowControllerPreview;
class DataImportWindowControllerZones;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QTableWidget;

// The window in which a table read from a file becomes variables of the work: it shows how
// the rows match the base map's entities, lets the user choose the key, correct or ignore the
// rows not recognised and choose the columns with their types, then imports them through one
// undoable update "Importer les données". Not modal; deleted when closed. The rules live in
// DataImportWindowControllerModel; this class only wires the controls to them.
class DataImportWindowController : public QDialog {
    Q_OBJECT
public:
    static const QString frameAutosaveName; // "Importer des données compact"

    DataImportWindowController(const DataImportWindowControllerDocument& documentOwner,
                               const QList<PlmInputSheet>& sheets, const QString& sourceName,
                               bool selectAllColumns, std::function<void()> onFinished = {});
    ~DataImportWindowController() override;

    // The dialog of a newly acquired map's attribute table, in the form
    // PlmWorkDocument::showAcquisitionImport takes:
    //   document->showAcquisitionImport(DataImportWindowController::acquisitionMaker<PlmWorkDocument>(sheets, name));
    template <class Document>
    static std::function<QWidget*(Document*, bool, std::function<void()>)>
    acquisitionMaker(const QList<PlmInputSheet>& sheets, const QString& sourceName)
    {
        return [sheets, sourceName](Document* document, bool everyColumnSelected, std::function<void()> completion) {
            return new DataImportWindowController(DataImportWindowControllerDocument::of(document), sheets,
                                                  sourceName, everyColumnSelected, std::move(completion));
        };
    }

    const DataImportWindowControllerModel& model() const { return m_model; }
    bool noteShowsError() const { return m_noteIsError; }

    // Controls, for the tests and the studio's focus handling.
    QComboBox* sheetPicker() const { return m_sheetPicker; }
    QComboBox* sourcePicker() const { return m_sourcePicker; }
    QComboBox* fieldPicker() const { return m_fieldPicker; }
    QCheckBox* header() const { return m_header; }
    QCheckBox* onlyIssues() const { return m_onlyIssues; }
    QLabel* summary() const { return m_summary; }
    QLabel* note() const { return m_note; }
    QTableView* preview() const { return m_preview; }
    QTableWidget* columnsTable() const { return m_columnsTable; }
    QComboBox* zone() const { return m_zone; }
    QPushButton* fix() const { return m_fix; }
    QPushButton* batch() const { return m_batch; }
    QPushButton* ignore() const { return m_ignore; }
    QPushButton* apply() const { return m_apply; }
    QPushButton* cancel() const { return m_cancel; }
    QWidget* matchingControls() const { return m_matchingControls; }
    QWidget* correctionControls() const { return m_correctionControls; }

    // Actions (each the target of one control).
    void changeSheet();
    void changeHeader();
    void changeMatch();
    void filterRows();
    void toggleColumn(int column, bool on);
    void selectColumns(int tag); // 1 = every column but the key, else none
    void changeType(int column, int typeIndex);
    void focusCorrection();
    void correctRow();
    void correctBatch(const QString& kind);
    void ignoreRow();
    void importVariables();
    void cancelImport();

    void refresh();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void buildControls(const QString& sourceName);
    void reload();
    void reloadColumnsTable();
    void fillKeyPickers();
    void updateCorrectionControls();
    void searchZones(const QString& text);
    void resetZoneItems(const QString& query, const QString& text);
    QList<int> selectedVisibleRows() const;
    void showNote(const QString& text, bool isError);

    DataImportWindowControllerDocument m_document;
    std::function<void()> m_onFinished;
    DataImportWindowControllerModel m_model;
    DataImportWindowControllerPreview* m_previewModel = nullptr;
    DataImportWindowControllerZones* m_zoneItems = nullptr;
    bool m_loading = false;
    bool m_noteIsError = false;

    QComboBox* m_sheetPicker = nullptr;
    QComboBox* m_sourcePicker = nullptr;
    QComboBox* m_fieldPicker = nullptr;
    QCheckBox* m_header = nullptr;
    QCheckBox* m_onlyIssues = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_note = nullptr;
    QTableView* m_preview = nullptr;
    QTableWidget* m_columnsTable = nullptr;
    QComboBox* m_zone = nullptr;
    QPushButton* m_fix = nullptr;
    QPushButton* m_batch = nullptr;
    QPushButton* m_ignore = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_cancel = nullptr;
    QWidget* m_matchingControls = nullptr;
    QWidget* m_correctionControls = nullptr;
};
