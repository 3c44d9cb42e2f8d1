#pragma once

#include "tables/PlmInputSheet.h"
#include "tables/PlmMatch.h"
#include "model/PlmWork.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

// The state and rules of the data import dialog, without widgets: the sheet and header
// choice, the match and its key, the user's corrections, the columns to import with their
// types, and every text and enabled state the dialog shows. The window only forwards events
// here and copies the results into its controls.
class DataImportWindowControllerModel {
public:
    // Sheets must not be empty; none is taken as one empty sheet.
    DataImportWindowControllerModel(const QList<PlmInputSheet>& sheets, bool selectAllColumns);

    const QList<PlmInputSheet>& sheets() const { return m_sheets; }
    int sheetIndex() const { return m_sheetIndex; }
    bool hasHeader() const { return m_hasHeader; }
    bool selectAllColumns() const { return m_selectAllColumns; }
    const PlmMatch& match() const { return m_match; }
    const PlmMatchCandidate& candidate() const { return m_candidate; }
    const PlmMatchCorrections& corrections() const { return m_corrections; }
    const PlmMatchColumns& selectedColumns() const { return m_selectedColumns; }
    const QList<PlmMatchRow>& resolutions() const { return m_resolutions; }
    const QList<int>& visibleRows() const { return m_visibleRows; }
    bool confirmedColumn() const { return m_confirmedColumn; }
    bool onlyIssues() const { return m_onlyIssues; }
    int matchedCount() const { return m_matched; }
    int attentionCount() const { return m_attention; }
    int ignoredCount() const { return m_ignored; }

    // --- Sheet, header and key ------------------------------------------------------------
    // Selects a sheet and takes the header guess for it; reload() follows.
    void selectSheet(int index);
    void setHasHeader(bool hasHeader) { m_hasHeader = hasHeader; }
    // Rebuilds the table and the match against the map: first candidate, corrections dropped,
    // columns reset, then refresh().
    void reload(const PlmMap& map);
    // The key fields offered: "id" first, the others in ascending order, with their labels.
    QList<std::pair<QString, QString>> fieldChoices() const;
    // Takes the candidate of this column and field (false when the match has none); drops the
    // corrections and confirms the key column.
    bool chooseKey(int column, const QString& field);

    // --- Columns ----------------------------------------------------------------------------
    void setColumnSelected(int column, bool selected);
    void selectEveryColumn(bool every); // every column except the key column, or none
    void setColumnType(int column, PlmVariableType type);
    // The chosen type of a selected column, else the proposed one.
    PlmVariableType columnType(int column) const;
    PlmVariableType proposedType(int column) const;

    // --- Resolutions and texts --------------------------------------------------------------
    void setOnlyIssues(bool on) { m_onlyIssues = on; }
    // Resolves the rows and recomputes the counts and the visible rows.
    void refresh();
    QString summaryText() const;
    QString noteText() const;
    bool onlyIssuesHidden() const { return m_attention == 0; }
    // Hidden while the proposed key settles every row; once shown it stays, so that a key the
    // person changed can be changed again.
    bool matchingControlsHidden() const { return !m_keyRowShown; }
    bool correctionControlsHidden() const { return m_attention == 0; }
    bool canImport(bool documentAlive) const;

    // Preview columns: "0" for the zone, then k + 1 for each selected or key column k.
    QStringList previewColumnIdentifiers() const;
    QString previewTitle(const QString& identifier) const;
    QString previewText(int visibleIndex, const QString& identifier) const;
    bool previewNeedsAttention(int visibleIndex) const;

    // --- Corrections ------------------------------------------------------------------------
    // The table rows behind positions of the preview (positions outside are skipped).
    QList<int> tableRows(const QList<int>& visibleIndexes) const;
    struct CorrectionControls {
        bool zoneAndFix = false;     // the zone search and "Associer à cette zone"
        bool ignoreAndBatch = false; // "Ignorer la sélection" and "Associer la sélection…"
    };
    CorrectionControls correctionControls(const QList<int>& selectedVisibleIndexes) const;
    // Positions of the map's top-level entities offered for a search text (all when blank).
    QList<int> zoneItems(const QString& query) const;
    // "id — name" of the entity at a position.
    QString zoneItemText(int entityPosition) const;
    // The exact choice of one entity by id or by "id — name"; false when none or several fit.
    bool correctRow(int row, const QString& text);
    static QString correctionRefusal();
    void correctBatch(const QList<int>& rows, const QString& kind);
    void ignoreRows(const QList<int>& rows);

    // The import as a change of a work (see PlmMatchImport::appendImportedVariables).
    void importInto(PlmWork& work) const;

private:
    PlmInputTable currentTable() const;

    QList<PlmInputSheet> m_sheets;
    int m_sheetIndex = 0;
    bool m_hasHeader = false;
    bool m_selectAllColumns = false;
    bool m_onlyIssues = true;
    PlmMatch m_match;
    PlmMatchCandidate m_candidate;
    PlmMatchCorrections m_corrections;
    PlmMatchColumns m_selectedColumns;
    QList<PlmMatchRow> m_resolutions;
    QList<int> m_visibleRows;
    bool m_confirmedColumn = false;
    bool m_keyRowShown = false;
    int m_matched = 0;
    int m_attention = 0;
    int m_ignored = 0;
    // Built on the first search or typed correction: normalising every entity's name costs
    // tens of milliseconds on a large map, and most imports need no correction.
    void ensureZoneKeys() const;

    QHash<QString, int> m_entityPositions;
    mutable QStringList m_zoneKeys; // normalised "id — name" of each entity
    mutable QStringList m_idKeys;   // normalised id of each entity
};
