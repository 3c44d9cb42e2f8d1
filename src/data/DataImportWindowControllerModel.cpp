#include "data/DataImportWindowControllerModel.h"
#include "model/PlmFrenchCount.h"

#include "tables/PlmInputReader.h"
#include "tables/PlmMatchImport.h"
#include "model/PlmCodePointOrder.h"
#include "model/PlmEntity.h"

#include <numeric>

namespace {

const QString zoneSeparator = QStringLiteral(" — ");
constexpr int sampleRows = 8;

QList<PlmInputSheet> usableSheets(const QList<PlmInputSheet>& sheets)
{
    return sheets.isEmpty() ? QList<PlmInputSheet>{PlmInputSheet()} : sheets;
}

} // namespace

DataImportWindowControllerModel::DataImportWindowControllerModel(const QList<PlmInputSheet>& sheets,
                                                                 bool selectAllColumns)
    : m_sheets(usableSheets(sheets))
    , m_hasHeader(PlmInputReader::hasHeaderRow(m_sheets.first().grid))
    , m_selectAllColumns(selectAllColumns)
    , m_match(PlmInputTable(), PlmMap())
{
}

void DataImportWindowControllerModel::selectSheet(int index)
{
    if (index < 0 || index >= m_sheets.size())
        return;
    m_sheetIndex = index;
    m_hasHeader = PlmInputReader::hasHeaderRow(m_sheets.at(index).grid);
}

PlmInputTable DataImportWindowControllerModel::currentTable() const
{
    return PlmInputTable(m_hasHeader, m_sheets.at(m_sheetIndex).grid);
}

void DataImportWindowControllerModel::reload(const PlmMap& map)
{
    m_match = PlmMatch(currentTable(), map);
    m_candidate = m_match.candidates().isEmpty() ? PlmMatchCandidate() : m_match.candidates().first();
    m_confirmedColumn = !m_match.tiedBestColumns();
    m_corrections.clear();
    m_selectedColumns.clear();
    if (m_selectAllColumns) {
        for (int column = 0; column < m_match.table().names.size(); ++column) {
            if (column != m_candidate.column)
                m_selectedColumns.insert(column, proposedType(column));
        }
    }
    m_keyRowShown = false;
    m_entityPositions.clear();
    m_zoneKeys.clear();
    m_idKeys.clear();
    const PlmEntityList& entities = m_match.map().entities;
    for (int position = 0; position < entities.size(); ++position) {
        const PlmEntity& entity = entities.at(position);
        if (!m_entityPositions.contains(entity.id))
            m_entityPositions.insert(entity.id, position);
    }
    refresh();
}

void DataImportWindowControllerModel::ensureZoneKeys() const
{
    const PlmEntityList& entities = m_match.map().entities;
    if (m_idKeys.size() == entities.size())
        return;
    m_idKeys.clear();
    m_zoneKeys.clear();
    for (const PlmEntity& entity : entities) {
        m_idKeys.append(PlmMatch::normalizedKey(entity.id));
        m_zoneKeys.append(PlmMatch::normalizedKey(entity.id + zoneSeparator + entity.name));
    }
}

QList<std::pair<QString, QString>> DataImportWindowControllerModel::fieldChoices() const
{
    QStringList others;
    bool hasID = false;
    for (const PlmMatchCandidate& candidate : m_match.candidates()) {
        if (candidate.field == QLatin1String("id"))
            hasID = true;
        else if (!others.contains(candidate.field))
            others.append(candidate.field);
    }
    plmSortByCodePoints(others);
    if (hasID)
        others.prepend(QStringLiteral("id"));
    QList<std::pair<QString, QString>> choices;
    for (const QString& field : std::as_const(others))
        choices.append({field, PlmMatch::fieldLabel(field)});
    return choices;
}

bool DataImportWindowControllerModel::chooseKey(int column, const QString& field)
{
    const PlmMatchCandidate* chosen = m_match.candidate(column, field);
    if (!chosen)
        return false;
    m_candidate = *chosen;
    m_corrections.clear();
    m_confirmedColumn = true;
    refresh();
    return true;
}

PlmVariableType DataImportWindowControllerModel::proposedType(int column) const
{
    if (column < 0 || column >= m_match.table().names.size())
        return PlmVariableType::text;
    return PlmInputReader::suggestedType(column, m_match.table().rows);
}

PlmVariableType DataImportWindowControllerModel::columnType(int column) const
{
    const auto found = m_selectedColumns.constFind(column);
    return found != m_selectedColumns.cend() ? *found : proposedType(column);
}

void DataImportWindowControllerModel::setColumnSelected(int column, bool selected)
{
    if (column < 0 || column >= m_match.table().names.size())
        return;
    if (selected)
        m_selectedColumns.insert(column, proposedType(column));
    else
        m_selectedColumns.remove(column);
}

void DataImportWindowControllerModel::selectEveryColumn(bool every)
{
    m_selectedColumns.clear();
    if (!every)
        return;
    for (int column = 0; column < m_match.table().names.size(); ++column) {
        if (column != m_candidate.column)
            m_selectedColumns.insert(column, proposedType(column));
    }
}

void DataImportWindowControllerModel::setColumnType(int column, PlmVariableType type)
{
    if (m_selectedColumns.contains(column))
        m_selectedColumns.insert(column, type);
}

void DataImportWindowControllerModel::refresh()
{
    m_resolutions = m_match.resolutions(m_candidate, m_corrections);
    m_matched = m_attention = m_ignored = 0;
    for (const PlmMatchRow& row : std::as_const(m_resolutions)) {
        m_matched += row.kind == PlmMatchRow::Kind::matched ? 1 : 0;
        m_attention += row.needsAttention() ? 1 : 0;
        m_ignored += row.kind == PlmMatchRow::Kind::ignored ? 1 : 0;
    }
    m_keyRowShown = m_keyRowShown || m_attention > 0 || !m_confirmedColumn;
    m_visibleRows.clear();
    const int rowCount = int(m_resolutions.size());
    if (m_attention == 0) {
        for (int row = 0; row < std::min(rowCount, sampleRows); ++row)
            m_visibleRows.append(row);
        return;
    }
    for (int row = 0; row < rowCount; ++row) {
        if (!m_onlyIssues || m_resolutions.at(row).needsAttention())
            m_visibleRows.append(row);
    }
}

QString DataImportWindowControllerModel::summaryText() const
{
    QString text = PlmFrenchCount::counted(m_matched, QStringLiteral("zone reconnue sur "), QStringLiteral("zones reconnues sur "))
        + QString::number(m_match.table().rows.size());
    if (m_attention > 0)
        text += QStringLiteral(" · ") + PlmFrenchCount::counted(m_attention, QStringLiteral("ligne"), QStringLiteral("lignes"))
            + QStringLiteral(" à corriger");
    if (m_ignored > 0)
        text += QStringLiteral(" · ") + PlmFrenchCount::counted(m_ignored, QStringLiteral("ignorée"), QStringLiteral("ignorées"));
    return text;
}

QString DataImportWindowControllerModel::noteText() const
{
    QString text;
    if (!m_confirmedColumn)
        text += QStringLiteral("Plusieurs colonnes donnent des résultats différents : choisissez la colonne à utiliser.\n");
    text += m_sheets.at(m_sheetIndex).warnings.join(QLatin1Char(' '));
    if (m_selectedColumns.isEmpty())
        text += QStringLiteral("\nCochez les colonnes à importer.");
    text += QStringLiteral("\nLes variables existantes sont conservées. Cellule vide = donnée absente.");
    return text;
}

bool DataImportWindowControllerModel::canImport(bool documentAlive) const
{
    return documentAlive && m_attention == 0 && m_confirmedColumn && m_matched > 0 && !m_selectedColumns.isEmpty();
}

QStringList DataImportWindowControllerModel::previewColumnIdentifiers() const
{
    QStringList identifiers = {QStringLiteral("0")};
    for (int column = 0; column < m_match.table().names.size(); ++column) {
        if (m_selectedColumns.contains(column) || column == m_candidate.column)
            identifiers.append(QString::number(column + 1));
    }
    return identifiers;
}

QString DataImportWindowControllerModel::previewTitle(const QString& identifier) const
{
    const int number = identifier.toInt();
    if (number <= 0)
        return QStringLiteral("Zone reconnue");
    return number - 1 < m_match.table().names.size() ? m_match.table().names.at(number - 1) : QString();
}

QString DataImportWindowControllerModel::previewText(int visibleIndex, const QString& identifier) const
{
    if (visibleIndex < 0 || visibleIndex >= m_visibleRows.size())
        return {};
    const int row = m_visibleRows.at(visibleIndex);
    const int number = identifier.toInt();
    if (number >= 1) {
        const QStringList& cells = m_match.table().rows.at(row);
        return number - 1 < cells.size() ? cells.at(number - 1) : QString();
    }
    const PlmMatchRow& resolved = m_resolutions.at(row);
    switch (resolved.kind) {
    case PlmMatchRow::Kind::matched: {
        const auto position = m_entityPositions.constFind(resolved.entityID);
        if (position == m_entityPositions.cend())
            return resolved.entityID;
        return m_match.map().entities.at(*position).name + zoneSeparator + resolved.entityID;
    }
    case PlmMatchRow::Kind::ambiguous:
        return QString::number(resolved.candidates.size()) + QStringLiteral(" zones possibles");
    case PlmMatchRow::Kind::duplicate:
        return QStringLiteral("Doublon : plusieurs lignes pour cette zone");
    case PlmMatchRow::Kind::missing:
        return QStringLiteral("Non reconnue");
    case PlmMatchRow::Kind::ignored:
        return QStringLiteral("Ignorée explicitement");
    }
    return {};
}

bool DataImportWindowControllerModel::previewNeedsAttention(int visibleIndex) const
{
    return visibleIndex >= 0 && visibleIndex < m_visibleRows.size()
        && m_resolutions.at(m_visibleRows.at(visibleIndex)).needsAttention();
}

QList<int> DataImportWindowControllerModel::tableRows(const QList<int>& visibleIndexes) const
{
    QList<int> rows;
    for (int index : visibleIndexes) {
        if (index >= 0 && index < m_visibleRows.size())
            rows.append(m_visibleRows.at(index));
    }
    return rows;
}

DataImportWindowControllerModel::CorrectionControls
DataImportWindowControllerModel::correctionControls(const QList<int>& selectedVisibleIndexes) const
{
    const QList<int> rows = tableRows(selectedVisibleIndexes);
    bool anyUnmatched = false;
    for (int row : rows)
        anyUnmatched = anyUnmatched || m_resolutions.at(row).kind != PlmMatchRow::Kind::matched;
    if (!anyUnmatched)
        return {};
    return {rows.size() == 1, true};
}

QList<int> DataImportWindowControllerModel::zoneItems(const QString& query) const
{
    const QString key = PlmMatch::normalizedKey(query);
    QList<int> positions;
    if (key.isEmpty()) {
        positions.resize(m_match.map().entities.size());
        std::iota(positions.begin(), positions.end(), 0);
        return positions;
    }
    ensureZoneKeys();
    for (int position = 0; position < m_zoneKeys.size(); ++position) {
        if (key.isEmpty() || m_zoneKeys.at(position).contains(key))
            positions.append(position);
    }
    return positions;
}

QString DataImportWindowControllerModel::zoneItemText(int entityPosition) const
{
    const PlmEntityList& entities = m_match.map().entities;
    if (entityPosition < 0 || entityPosition >= entities.size())
        return {};
    const PlmEntity& entity = entities.at(entityPosition);
    return entity.id + zoneSeparator + entity.name;
}

QString DataImportWindowControllerModel::correctionRefusal()
{
    return QStringLiteral("Choisissez une zone dans la liste, ou saisissez son identifiant exact.");
}

bool DataImportWindowControllerModel::correctRow(int row, const QString& text)
{
    if (row < 0 || row >= m_resolutions.size())
        return false;
    const QString key = PlmMatch::normalizedKey(text);
    ensureZoneKeys();
    int found = -1;
    for (int position = 0; position < m_zoneKeys.size() && !key.isEmpty(); ++position) {
        if (m_idKeys.at(position) != key && m_zoneKeys.at(position) != key)
            continue;
        if (found >= 0)
            return false; // several entities fit
        found = position;
    }
    if (found < 0)
        return false;
    m_corrections.insert(row, PlmMatchResolution::entity(m_match.map().entities.at(found).id));
    refresh();
    return true;
}

void DataImportWindowControllerModel::correctBatch(const QList<int>& rows, const QString& kind)
{
    const PlmMatchCorrections settled = m_match.batchCorrections(rows, m_candidate, kind);
    for (auto it = settled.cbegin(); it != settled.cend(); ++it)
        m_corrections.insert(it.key(), it.value());
    refresh();
}

void DataImportWindowControllerModel::ignoreRows(const QList<int>& rows)
{
    for (int row : rows) {
        if (row >= 0 && row < m_resolutions.size())
            m_corrections.insert(row, PlmMatchResolution::ignored());
    }
    refresh();
}

void DataImportWindowControllerModel::importInto(PlmWork& work) const
{
    PlmMatchImport::appendImportedVariables(work, m_match, m_candidate, m_corrections, m_selectedColumns);
}
