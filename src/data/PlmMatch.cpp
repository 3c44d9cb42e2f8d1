#include "data/PlmMatch.h"

#include "model/PlmCodePointOrder.h"
#include "model/PlmEntity.h"
#include "model/PlmGeometry.h"
#include "model/PlmTextFolding.h"

#include <algorithm>

namespace {

const QString idField = QStringLiteral("id");
const QString nameField = QStringLiteral("name");
const QString attributePrefix = QStringLiteral("attr:");

bool isArea(const PlmEntity& entity)
{
    const PlmGeometry::Kind kind = entity.geometry.kind();
    return kind == PlmGeometry::Kind::polygon || kind == PlmGeometry::Kind::multipolygon;
}

QString keyText(const PlmEntity& entity, const QString& field)
{
    if (field == idField)
        return entity.id;
    if (field == nameField)
        return entity.name;
    return entity.attributes.value(field.mid(attributePrefix.size()));
}

// Columns whose cells name entities, looked up when the key cell finds nothing.
bool isNameLikeColumn(const QString& name)
{
    static const QStringList words = {QStringLiteral("nom"),     QStringLiteral("name"),   QStringLiteral("zone"),
                                      QStringLiteral("commune"), QStringLiteral("region"), QStringLiteral("departement"),
                                      QStringLiteral("entite")};
    const QString key = PlmMatch::normalizedKey(name);
    return words.contains(key) || key.startsWith(QLatin1String("nom_")) || key.startsWith(QLatin1String("name_"));
}

int priorityOf(const QString& field)
{
    if (field == idField)
        return 0;
    return field == nameField ? 2 : 1;
}

template <typename Entities>
PlmMatch::EntityIndex buildIndex(const Entities& entities, const QString& field)
{
    PlmMatch::EntityIndex index;
    QSet<QString> withArea; // keys listing at least one area entity
    for (const PlmEntity* entity : entities) {
        const QString key = PlmMatch::normalizedKey(keyText(*entity, field));
        if (key.isEmpty())
            continue;
        index[key].append(entity->id);
        if (field != idField && isArea(*entity))
            withArea.insert(key);
    }
    if (withArea.isEmpty())
        return index;
    // An area and a point sharing a name (a commune and its chief town) mean the area.
    QHash<QString, bool> areaIDs;
    for (const PlmEntity* entity : entities) {
        if (isArea(*entity))
            areaIDs.insert(entity->id, true);
    }
    for (const QString& key : std::as_const(withArea)) {
        QStringList& ids = index[key];
        if (ids.size() < 2)
            continue;
        QStringList areas;
        for (const QString& id : std::as_const(ids)) {
            if (areaIDs.contains(id))
                areas.append(id);
        }
        ids = areas;
    }
    return index;
}

QList<const PlmEntity*> pointers(const PlmEntityList& entities)
{
    QList<const PlmEntity*> list;
    list.reserve(entities.size());
    for (const PlmEntity& entity : entities)
        list.append(&entity);
    return list;
}

} // namespace

struct PlmMatch::Cache {
    QList<QStringList> normalizedColumns; // [column][row]
    QHash<QString, EntityIndex> indexes;  // every key field, and "name"
    QList<int> nameLikeColumns;
};

QString PlmMatch::normalizedKey(const QString& text)
{
    QString folded = PlmTextFolding::folded(text);
    qsizetype out = 0;
    QChar* data = folded.data();
    const qsizetype size = folded.size();
    for (qsizetype i = 0; i < size; ++i) {
        // White space lies in the basic plane, so one UTF-16 unit is enough to tell.
        if (!PlmTextFolding::isWhiteSpace(data[i].unicode()))
            data[out++] = data[i];
    }
    folded.truncate(out);
    return folded;
}

bool PlmMatch::isKeyAttributeName(const QString& name)
{
    const QString key = normalizedKey(name);
    for (const char* word : {"code", "insee", "iso", "nuts", "adm", "geoid"}) {
        if (key.contains(QLatin1String(word)))
            return true;
    }
    return key == QLatin1String("id") || key.endsWith(QLatin1String("_id"));
}

QString PlmMatch::fieldLabel(const QString& field)
{
    if (field == idField)
        return QStringLiteral("Identifiant");
    if (field == nameField)
        return QStringLiteral("Nom");
    return field.mid(attributePrefix.size());
}

PlmMatch::EntityIndex PlmMatch::entityIndex(const PlmEntityList& entities, const QString& field)
{
    return buildIndex(pointers(entities), field);
}

PlmMatch::EntityIndex PlmMatch::entityIndex(const QList<const PlmEntity*>& entities, const QString& field)
{
    return buildIndex(entities, field);
}

PlmMatch::PlmMatch(const PlmInputTable& table, const PlmMap& map)
    : m_table(table)
    , m_map(map)
{
    auto cache = std::make_shared<Cache>();
    const int columnCount = int(m_table.names.size());
    cache->normalizedColumns.resize(columnCount);
    for (int column = 0; column < columnCount; ++column) {
        QStringList& cells = cache->normalizedColumns[column];
        cells.reserve(m_table.rows.size());
        for (const auto& row : std::as_const(m_table.rows))
            cells.append(column < row.size() ? normalizedKey(row.at(column)) : QString());
        if (isNameLikeColumn(m_table.names.at(column)))
            cache->nameLikeColumns.append(column);
    }

    // Key fields: "id", the code-like attributes in ascending order, then "name".
    QSet<QString> attributeNames;
    for (const PlmEntity& entity : m_map.entities) {
        for (auto it = entity.attributes.cbegin(); it != entity.attributes.cend(); ++it)
            attributeNames.insert(it.key());
    }
    QStringList keyAttributes;
    for (const QString& name : std::as_const(attributeNames)) {
        if (isKeyAttributeName(name))
            keyAttributes.append(name);
    }
    plmSortByCodePoints(keyAttributes);
    QStringList fields = {idField};
    for (const QString& name : std::as_const(keyAttributes))
        fields.append(attributePrefix + name);
    fields.append(nameField);

    const QList<const PlmEntity*> entities = pointers(m_map.entities);
    for (const QString& field : std::as_const(fields))
        cache->indexes.insert(field, buildIndex(entities, field));
    m_cache = cache;

    const qsizetype rowCount = m_table.rows.size();
    for (const QString& field : std::as_const(fields)) {
        const EntityIndex& index = cache->indexes.value(field);
        for (int column = 0; column < columnCount; ++column) {
            const QStringList& cells = cache->normalizedColumns.at(column);
            // A row counts when it names one entity that no other such row names.
            QHash<QString, int> claims;
            for (qsizetype row = 0; row < rowCount; ++row) {
                const auto found = index.constFind(cells.at(row));
                if (found != index.cend() && found->size() == 1)
                    ++claims[found->first()];
            }
            int recognized = 0;
            for (auto it = claims.cbegin(); it != claims.cend(); ++it)
                recognized += it.value() == 1 ? 1 : 0;
            m_candidates.append({column, field, recognized, priorityOf(field)});
        }
    }
    std::stable_sort(m_candidates.begin(), m_candidates.end(),
                     [](const PlmMatchCandidate& a, const PlmMatchCandidate& b) {
                         if ((a.recognized > 0) != (b.recognized > 0))
                             return a.recognized > 0;
                         if (a.priority != b.priority)
                             return a.priority < b.priority;
                         if (a.recognized != b.recognized)
                             return a.recognized > b.recognized;
                         if (a.column != b.column)
                             return a.column < b.column;
                         return plmCodePointLess(a.field, b.field);
                     });

    if (m_candidates.isEmpty() || m_candidates.first().recognized == 0)
        return;
    const PlmMatchCandidate& best = m_candidates.first();
    const QList<QStringList> bestMatches = rowMatches(best.column, best.field);
    for (qsizetype i = 1; i < m_candidates.size(); ++i) {
        const PlmMatchCandidate& other = m_candidates.at(i);
        if (other.recognized != best.recognized || other.priority != best.priority)
            continue;
        if (rowMatches(other.column, other.field) != bestMatches) {
            m_tiedBestColumns = true;
            return;
        }
    }
}

const PlmMatchCandidate* PlmMatch::candidate(int column, const QString& field) const
{
    for (const PlmMatchCandidate& candidate : m_candidates) {
        if (candidate.column == column && candidate.field == field)
            return &candidate;
    }
    return nullptr;
}

const QStringList& PlmMatch::normalizedColumn(int column) const
{
    static const QStringList none;
    return column >= 0 && column < m_cache->normalizedColumns.size() ? m_cache->normalizedColumns.at(column) : none;
}

const PlmMatch::EntityIndex& PlmMatch::indexOf(const QString& field) const
{
    static const EntityIndex none;
    const auto found = m_cache->indexes.constFind(field);
    return found != m_cache->indexes.cend() ? *found : none;
}

QList<QStringList> PlmMatch::rowMatches(int column, const QString& field) const
{
    const EntityIndex& index = indexOf(field);
    const EntityIndex& names = indexOf(nameField);
    const QStringList& cells = normalizedColumn(column);
    const qsizetype rowCount = m_table.rows.size();
    QList<QStringList> matches(rowCount);
    for (qsizetype row = 0; row < rowCount; ++row) {
        if (row < cells.size()) {
            const auto found = index.constFind(cells.at(row));
            if (found != index.cend())
                matches[row] = *found;
        }
        if (field == nameField || !matches.at(row).isEmpty())
            continue;
        // The key names nothing: try the row's name-like columns against entity names.
        QStringList ids;
        for (int nameColumn : m_cache->nameLikeColumns) {
            const auto found = names.constFind(m_cache->normalizedColumns.at(nameColumn).at(row));
            if (found == names.cend())
                continue;
            for (const QString& id : *found) {
                if (!ids.contains(id))
                    ids.append(id);
            }
        }
        plmSortByCodePoints(ids);
        matches[row] = ids;
    }
    return matches;
}

QList<PlmMatchRow> PlmMatch::resolutions(const PlmMatchCandidate& candidate,
                                         const PlmMatchCorrections& corrections) const
{
    const QList<QStringList> matches = rowMatches(candidate.column, candidate.field);
    QSet<QString> entityIDs;
    entityIDs.reserve(m_map.entities.size());
    for (const PlmEntity& entity : m_map.entities)
        entityIDs.insert(entity.id);

    QList<PlmMatchRow> rows;
    rows.reserve(matches.size());
    QHash<QString, int> claims;
    for (qsizetype row = 0; row < matches.size(); ++row) {
        const auto correction = corrections.constFind(int(row));
        PlmMatchRow resolved;
        if (correction != corrections.cend()) {
            if (correction->isIgnored())
                resolved = PlmMatchRow::ignored();
            else if (entityIDs.contains(correction->entityID))
                resolved = PlmMatchRow::matched(correction->entityID);
            else
                resolved = PlmMatchRow::missing();
        } else {
            const QStringList& ids = matches.at(row);
            if (ids.isEmpty())
                resolved = PlmMatchRow::missing();
            else if (ids.size() == 1)
                resolved = PlmMatchRow::matched(ids.first());
            else
                resolved = PlmMatchRow::ambiguous(ids);
        }
        if (resolved.kind == PlmMatchRow::Kind::matched)
            ++claims[resolved.entityIDs.first()];
        rows.append(resolved);
    }
    for (PlmMatchRow& row : rows) {
        if (row.kind == PlmMatchRow::Kind::matched && claims.value(row.entityIDs.first()) > 1)
            row.kind = PlmMatchRow::Kind::duplicate;
    }
    return rows;
}

PlmMatchCorrections PlmMatch::batchCorrections(const QList<int>& rows, const PlmMatchCandidate& candidate,
                                               const QString& kind) const
{
    QList<const PlmEntity*> entities;
    for (const PlmEntity& entity : m_map.entities) {
        const PlmGeometry::Kind geometry = entity.geometry.kind();
        const bool wanted = kind == QLatin1String("surface")
            ? (geometry == PlmGeometry::Kind::polygon || geometry == PlmGeometry::Kind::multipolygon)
            : kind == QLatin1String("line") ? geometry == PlmGeometry::Kind::polyline
            : kind == QLatin1String("point") ? geometry == PlmGeometry::Kind::point
                                             : false;
        if (wanted)
            entities.append(&entity);
    }
    const EntityIndex index = buildIndex(entities, candidate.field);
    const QStringList& cells = normalizedColumn(candidate.column);
    PlmMatchCorrections corrections;
    for (int row : rows) {
        if (row < 0 || row >= cells.size())
            continue;
        const auto found = index.constFind(cells.at(row));
        if (found != index.cend() && found->size() == 1)
            corrections.insert(row, PlmMatchResolution::entity(found->first()));
    }
    return corrections;
}
