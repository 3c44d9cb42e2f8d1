#include "tables/PlmMatch.h"

#include "model/PlmCodePointOrder.h"
#include "model/PlmEntity.h"
#include "model/PlmGeometry.h"
#include "model/PlmTextFolding.h"

#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <numeric>

namespace {

// libstdc++'s hash of the UTF-16 units: about twice as fast as QHash's on these short keys.
struct TextHash {
    size_t operator()(const QString& text) const noexcept
    {
        return std::hash<std::u16string_view>{}(
            std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())));
    }
};

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

// A cell that is a plain number whose fractional part is not zero ("1,666", "-0.5"): a
// measure, never a code. Integers and codes ("2A", "01") are not.
enum class NumberCell { blank, notNumber, integer, fraction };
NumberCell numberCell(const QString& cell)
{
    qsizetype i = 0;
    const qsizetype size = cell.size();
    while (i < size && cell.at(i).isSpace())
        ++i;
    if (i == size)
        return NumberCell::blank;
    if (cell.at(i) == u'-' || cell.at(i) == u'+')
        ++i;
    const qsizetype digitsStart = i;
    const auto isDigit = [&cell](qsizetype at) { return cell.at(at) >= u'0' && cell.at(at) <= u'9'; };
    // Digits, in groups that a space may separate ("2 165 423,5").
    while (i < size && (isDigit(i) || (i > digitsStart && cell.at(i).isSpace() && i + 1 < size && isDigit(i + 1))))
        ++i;
    if (i == digitsStart)
        return NumberCell::notNumber;
    bool fraction = false;
    if (i < size && (cell.at(i) == u',' || cell.at(i) == u'.')) {
        const qsizetype fractionStart = ++i;
        while (i < size && isDigit(i)) {
            fraction = fraction || cell.at(i) != u'0';
            ++i;
        }
        if (i == fractionStart)
            return NumberCell::notNumber;
    }
    while (i < size && cell.at(i).isSpace())
        ++i;
    if (i != size)
        return NumberCell::notNumber;
    return fraction ? NumberCell::fraction : NumberCell::integer;
}

// Whether every non-blank cell of a column is a number and some have a fractional part.
bool holdsDecimals(const QList<QStringList>& rows, int column)
{
    bool anyFraction = false;
    for (const QStringList& row : rows) {
        const NumberCell kind = column < row.size() ? numberCell(row.at(column)) : NumberCell::blank;
        if (kind == NumberCell::notNumber)
            return false;
        anyFraction = anyFraction || kind == NumberCell::fraction;
    }
    return anyFraction;
}

// 0 for "id", 1 for a code-like attribute, 2 for "name", 3 for an attribute that is a key
// only because its values tell the zones apart.
int priorityOf(const QString& field, const QSet<QString>& distinctValueFields)
{
    if (field == idField)
        return 0;
    if (field == nameField)
        return 2;
    return distinctValueFields.contains(field) ? 3 : 1;
}

// Attributes that are no code by their name but whose values tell every top-level entity
// apart (present on each, all different; checked again once normalised), so that the person
// can always pick the column that identifies the zones (STATE_NAME, AreaID, FIPS…). Left out:
// a single entity (one value tells nothing apart), the import's own bookkeeping ("source.",
// "legacy."), and an attribute that only repeats every entity's id or name, fields already.
QStringList distinctValueAttributes(const PlmEntityList& entities, const QStringList& names)
{
    QStringList kept;
    if (entities.size() < 2)
        return kept;
    for (const QString& name : names) {
        if (PlmMatch::isKeyAttributeName(name) || name.startsWith(QLatin1String("source."))
            || name.startsWith(QLatin1String("legacy.")))
            continue;
        // Presence and repetition first: comparing costs less than hashing every value.
        bool present = true, repeatsID = true, repeatsName = true;
        for (const PlmEntity& entity : entities) {
            const auto value = entity.attributes.constFind(name);
            if (value == entity.attributes.cend()
                || std::all_of(value->cbegin(), value->cend(), [](QChar c) { return c.isSpace(); })) {
                present = false;
                break;
            }
            repeatsID = repeatsID && *value == entity.id;
            repeatsName = repeatsName && *value == entity.name;
        }
        if (!present || repeatsID || repeatsName)
            continue;
        std::unordered_set<QString, TextHash> values;
        values.reserve(size_t(entities.size()));
        bool distinct = true;
        for (const PlmEntity& entity : entities) {
            if (!values.insert(entity.attributes.value(name)).second) {
                distinct = false;
                break;
            }
        }
        if (distinct)
            kept.append(name);
    }
    return kept;
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

// Keys are interned once: every distinct normalised entity key gets a number, every table cell
// is looked up once, and each key field's index is a flat table from key number to entity
// positions. Scoring, resolving and tie tests then never hash a text again.
struct FieldIndex {
    QList<int> offsets;  // key number k lists entities[offsets[k] .. offsets[k + 1])
    QList<int> entities; // positions among the map's top-level entities, in map order

    qsizetype size(int key) const { return key < 0 ? 0 : offsets.at(key + 1) - offsets.at(key); }
    const int* begin(int key) const { return entities.constData() + offsets.at(key); }
};

using TextNumbers = std::unordered_map<QString, int, TextHash>;

struct PlmMatch::Cache {
    QStringList entityIDs;              // top-level entity ids in map order
    QList<bool> areas;                  // whether each top-level entity is an area
    QList<PlmGeometry::Kind> kinds;     // the geometry kind of each top-level entity
    TextNumbers entityByID;             // id -> first position
    TextNumbers keyNumbers;             // normalised entity key -> key number
    QHash<QString, QList<int>> entityKeys; // field -> key number of each entity (-1 when blank)
    QHash<QString, FieldIndex> indexes; // field -> index over every top-level entity
    FieldIndex names;                   // the index of "name", for the fallback of every row
    QList<QList<int>> cellKeys;         // [column][row] -> key number, -1 when no entity has it
    QList<int> nameLikeColumns;

    // The one entity each row's name-like columns name, -1 when they name none or several
    // (the fallback of hits(), without listing them).
    QList<int> uniqueFallbacks(qsizetype rowCount) const
    {
        QList<int> unique(rowCount, -1);
        for (qsizetype row = 0; row < rowCount; ++row) {
            int found = -1;
            bool several = false;
            for (int nameColumn : nameLikeColumns) {
                const int nameKey = cellKeys.at(nameColumn).at(row);
                for (qsizetype i = 0; i < names.size(nameKey) && !several; ++i) {
                    const int entity = names.begin(nameKey)[i];
                    several = found >= 0 && entity != found;
                    found = entity;
                }
            }
            unique[row] = several ? -1 : found;
        }
        return unique;
    }

    // The index of `field` over the entities at `positions` (map order), areas preferred.
    FieldIndex buildIndex(const QString& field, const QList<int>& positions) const
    {
        const QList<int>& keys = entityKeys.value(field);
        const int keyCount = int(keyNumbers.size());
        QList<int> counts(keyCount, 0);
        QList<int> areaCounts(keyCount, 0);
        for (int position : positions) {
            const int key = keys.at(position);
            if (key < 0)
                continue;
            ++counts[key];
            areaCounts[key] += areas.at(position) ? 1 : 0;
        }
        // An area and a point sharing a name (a commune and its chief town) mean the area;
        // ids are exact names and keep every entity.
        const bool preferAreas = field != idField;
        FieldIndex index;
        index.offsets.resize(keyCount + 1);
        index.offsets[0] = 0;
        for (int key = 0; key < keyCount; ++key) {
            const int kept = preferAreas && areaCounts.at(key) > 0 ? areaCounts.at(key) : counts.at(key);
            index.offsets[key + 1] = index.offsets.at(key) + kept;
        }
        index.entities.resize(index.offsets.last());
        QList<int> filled = index.offsets;
        filled.removeLast();
        for (int position : positions) {
            const int key = keys.at(position);
            if (key < 0 || (preferAreas && areaCounts.at(key) > 0 && !areas.at(position)))
                continue;
            index.entities[filled[key]++] = position;
        }
        return index;
    }

    // The entity positions a row names through a column and field; `fallback` receives the
    // positions found through the name-like columns when the key names nothing (not for "name").
    // Returns the count; `data` points at the positions.
    qsizetype hits(const FieldIndex& index, bool byName, int column, qsizetype row, const int*& data,
                   QList<int>& fallback) const
    {
        const int key = column >= 0 && column < cellKeys.size() ? cellKeys.at(column).at(row) : -1;
        const qsizetype count = index.size(key);
        if (count > 0 || byName) {
            data = count > 0 ? index.begin(key) : nullptr;
            return count;
        }
        fallback.clear();
        for (int nameColumn : nameLikeColumns) {
            const int nameKey = cellKeys.at(nameColumn).at(row);
            const int* found = names.size(nameKey) > 0 ? names.begin(nameKey) : nullptr;
            for (qsizetype i = 0; i < names.size(nameKey); ++i) {
                if (!fallback.contains(found[i]))
                    fallback.append(found[i]);
            }
        }
        std::sort(fallback.begin(), fallback.end(),
                  [this](int a, int b) { return plmCodePointLess(entityIDs.at(a), entityIDs.at(b)); });
        data = fallback.constData();
        return fallback.size();
    }
};

QString PlmMatch::normalizedKey(const QString& text)
{
    // Most keys are plain ASCII codes: lower-case them and drop blanks in one pass.
    const qsizetype size = text.size();
    const QChar* source = text.constData();
    qsizetype i = 0;
    bool changes = false;
    for (; i < size; ++i) {
        const char16_t unit = source[i].unicode();
        if (unit >= 0x80)
            break;
        changes = changes || (unit >= 'A' && unit <= 'Z') || unit == ' ' || (unit >= 0x09 && unit <= 0x0D);
    }
    if (i == size) {
        if (!changes)
            return text;
        QString key;
        key.reserve(size);
        for (qsizetype j = 0; j < size; ++j) {
            const char16_t unit = source[j].unicode();
            if (unit == ' ' || (unit >= 0x09 && unit <= 0x0D))
                continue;
            key.append(QChar(unit >= 'A' && unit <= 'Z' ? unit + ('a' - 'A') : unit));
        }
        return key;
    }

    QString folded = PlmTextFolding::folded(text);
    qsizetype out = 0;
    QChar* data = folded.data();
    for (qsizetype j = 0; j < folded.size(); ++j) {
        // White space lies in the basic plane, so one UTF-16 unit is enough to tell.
        if (!PlmTextFolding::isWhiteSpace(data[j].unicode()))
            data[out++] = data[j];
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
    const qsizetype entityCount = m_map.entities.size();
    cache->entityIDs.reserve(entityCount);
    cache->entityByID.reserve(entityCount);
    for (const PlmEntity& entity : m_map.entities) {
        cache->entityByID.emplace(entity.id, int(cache->entityIDs.size()));
        cache->entityIDs.append(entity.id);
        cache->areas.append(isArea(entity));
        cache->kinds.append(entity.geometry.kind());
    }

    // Key fields: "id", the code-like attributes in ascending order, then "name".
    std::unordered_set<QString, TextHash> attributeNames;
    for (const PlmEntity& entity : m_map.entities) {
        for (auto it = entity.attributes.cbegin(); it != entity.attributes.cend(); ++it)
            attributeNames.insert(it.key());
    }
    QStringList keyAttributes;
    QStringList otherAttributes;
    for (const QString& name : attributeNames) {
        if (isKeyAttributeName(name))
            keyAttributes.append(name);
        else
            otherAttributes.append(name);
    }
    plmSortByCodePoints(keyAttributes);
    plmSortByCodePoints(otherAttributes);
    QStringList fields = {idField};
    for (const QString& name : std::as_const(keyAttributes))
        fields.append(attributePrefix + name);
    fields.append(nameField);
    // Then the attributes whose values alone make them keys.
    QSet<QString> distinctValueFields;
    for (const QString& name : distinctValueAttributes(m_map.entities, otherAttributes)) {
        fields.append(attributePrefix + name);
        distinctValueFields.insert(attributePrefix + name);
    }

    // Normalising is the costly part; each field and each column is normalised on its own
    // thread, then the keys are numbered in a fixed order so the result never depends on timing.
    const int columnCount = int(m_table.names.size());
    const qsizetype rowCount = m_table.rows.size();
    QList<QStringList> entityKeyTexts(fields.size());
    QList<QStringList> cellTexts(columnCount);
    QList<int> jobs(fields.size() + columnCount);
    std::iota(jobs.begin(), jobs.end(), 0);
    const auto normalize = [&](int job) {
        if (job < fields.size()) {
            QStringList& keys = entityKeyTexts[job];
            keys.reserve(entityCount);
            for (const PlmEntity& entity : m_map.entities)
                keys.append(normalizedKey(keyText(entity, fields.at(job))));
            return;
        }
        const int column = job - int(fields.size());
        QStringList& keys = cellTexts[column];
        keys.reserve(rowCount);
        for (const QStringList& row : std::as_const(m_table.rows))
            keys.append(column < row.size() ? normalizedKey(row.at(column)) : QString());
    };
    if ((entityCount + rowCount) * jobs.size() < 20000)
        std::for_each(jobs.begin(), jobs.end(), normalize);
    else
        QtConcurrent::blockingMap(jobs, normalize);
    // Values that differ only in case, accents or spaces name the same key: such an attribute
    // no longer tells the zones apart.
    for (qsizetype f = fields.size() - 1; f >= 0; --f) {
        if (!distinctValueFields.contains(fields.at(f)))
            continue;
        const QStringList& keys = entityKeyTexts.at(f);
        const QSet<QString> distinct(keys.cbegin(), keys.cend());
        if (distinct.size() != keys.size() || distinct.contains(QString())) {
            distinctValueFields.remove(fields.at(f));
            fields.removeAt(f);
            entityKeyTexts.removeAt(f);
        }
    }

    cache->keyNumbers.reserve(entityCount * 2);
    for (qsizetype f = 0; f < fields.size(); ++f) {
        const QString& field = fields.at(f);
        QList<int> keys;
        keys.reserve(entityCount);
        for (const QString& key : std::as_const(entityKeyTexts.at(f))) {
            if (key.isEmpty()) {
                keys.append(-1);
                continue;
            }
            keys.append(cache->keyNumbers.emplace(key, int(cache->keyNumbers.size())).first->second);
        }
        cache->entityKeys.insert(field, keys);
    }
    QList<int> everyEntity(entityCount);
    std::iota(everyEntity.begin(), everyEntity.end(), 0);
    for (const QString& field : std::as_const(fields))
        cache->indexes.insert(field, cache->buildIndex(field, everyEntity));
    cache->names = cache->indexes.value(nameField);

    cache->cellKeys.resize(columnCount);
    for (int column = 0; column < columnCount; ++column) {
        QList<int>& keys = cache->cellKeys[column];
        keys.reserve(rowCount);
        for (const QString& key : std::as_const(cellTexts.at(column))) {
            const auto found = key.isEmpty() ? cache->keyNumbers.end() : cache->keyNumbers.find(key);
            keys.append(found == cache->keyNumbers.end() ? -1 : found->second);
        }
        if (isNameLikeColumn(m_table.names.at(column)))
            cache->nameLikeColumns.append(column);
    }
    m_cache = cache;

    QList<int> claims(entityCount, 0);
    QList<int> claimed;
    for (const QString& field : std::as_const(fields)) {
        const FieldIndex& index = cache->indexes[field];
        for (int column = 0; column < columnCount; ++column) {
            // A row counts when it names one entity that no other such row names.
            const QList<int>& keys = cache->cellKeys.at(column);
            claimed.clear();
            for (qsizetype row = 0; row < rowCount; ++row) {
                const int key = keys.at(row);
                if (index.size(key) != 1)
                    continue;
                const int entity = *index.begin(key);
                if (claims[entity]++ == 0)
                    claimed.append(entity);
            }
            int recognized = 0;
            bool claimsTwice = false;
            for (int entity : std::as_const(claimed)) {
                recognized += claims.at(entity) == 1 ? 1 : 0;
                claimsTwice = claimsTwice || claims.at(entity) > 1;
                claims[entity] = 0;
            }
            m_candidates.append({column, field, recognized, priorityOf(field, distinctValueFields), claimsTwice});
        }
    }
    // A column of measures with decimals ("1,666") is never proposed as the key, whatever it
    // happens to match. Among the others, a key that settles every row once (through the
    // name-like columns where its own cell finds nothing) comes first, and a key whose rows
    // name some entity twice comes after one whose rows never do, whatever its field: a
    // code-like column that matches by coincidence (numbers that happen to be other zones'
    // codes) must not hide a clean match of every row by name.
    QList<bool> decimalColumns(columnCount, false);
    for (int column = 0; column < columnCount; ++column)
        decimalColumns[column] = holdsDecimals(m_table.rows, column);
    QList<int> fallbacks;
    QSet<qsizetype> complete; // positions in m_candidates
    for (qsizetype at = 0; at < m_candidates.size(); ++at) {
        const PlmMatchCandidate& candidate = m_candidates.at(at);
        if (candidate.recognized == 0 || candidate.claimsTwice || decimalColumns.at(candidate.column))
            continue;
        if (fallbacks.isEmpty() && rowCount > 0)
            fallbacks = cache->uniqueFallbacks(rowCount);
        const FieldIndex& index = cache->indexes[candidate.field];
        const QList<int>& keys = cache->cellKeys.at(candidate.column);
        const bool byName = candidate.field == nameField;
        bool settled = true;
        claimed.clear();
        for (qsizetype row = 0; row < rowCount && settled; ++row) {
            const qsizetype count = index.size(keys.at(row));
            const int entity = count == 1 ? *index.begin(keys.at(row)) : count == 0 && !byName ? fallbacks.at(row) : -1;
            settled = entity >= 0 && claims[entity]++ == 0;
            if (entity >= 0)
                claimed.append(entity);
        }
        for (int entity : std::as_const(claimed))
            claims[entity] = 0;
        if (settled)
            complete.insert(at);
    }
    QList<std::pair<PlmMatchCandidate, std::pair<bool, bool>>> ranked; // candidate, (decimals, complete)
    ranked.reserve(m_candidates.size());
    for (qsizetype at = 0; at < m_candidates.size(); ++at)
        ranked.append({m_candidates.at(at), {decimalColumns.at(m_candidates.at(at).column), complete.contains(at)}});
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& left, const auto& right) {
                         const PlmMatchCandidate& a = left.first;
                         const PlmMatchCandidate& b = right.first;
                         const bool aRecognizes = a.recognized > 0 && !left.second.first;
                         const bool bRecognizes = b.recognized > 0 && !right.second.first;
                         if (aRecognizes != bRecognizes)
                             return aRecognizes;
                         if (left.second.second != right.second.second)
                             return left.second.second;
                         if (a.claimsTwice != b.claimsTwice)
                             return !a.claimsTwice;
                         if (a.priority != b.priority)
                             return a.priority < b.priority;
                         if (a.recognized != b.recognized)
                             return a.recognized > b.recognized;
                         if (a.column != b.column)
                             return a.column < b.column;
                         return plmCodePointLess(a.field, b.field);
                     });
    for (qsizetype at = 0; at < ranked.size(); ++at)
        m_candidates[at] = ranked.at(at).first;
    // Only a candidate ranked alike can tie with the first.
    const auto rankedAlike = [&ranked](qsizetype at) { return ranked.at(at).second == ranked.first().second; };

    if (m_candidates.isEmpty() || m_candidates.first().recognized == 0)
        return;
    const PlmMatchCandidate& best = m_candidates.first();
    for (qsizetype i = 1; i < m_candidates.size() && !m_tiedBestColumns; ++i) {
        const PlmMatchCandidate& other = m_candidates.at(i);
        if (other.recognized == best.recognized && other.priority == best.priority && rankedAlike(i))
            m_tiedBestColumns = !sameRowMatches(best, other);
    }
}

bool PlmMatch::sameRowMatches(const PlmMatchCandidate& a, const PlmMatchCandidate& b) const
{
    const FieldIndex& indexA = m_cache->indexes.value(a.field);
    const FieldIndex& indexB = m_cache->indexes.value(b.field);
    QList<int> fallbackA;
    QList<int> fallbackB;
    for (qsizetype row = 0; row < m_table.rows.size(); ++row) {
        const int* hitsA = nullptr;
        const int* hitsB = nullptr;
        const qsizetype countA = m_cache->hits(indexA, a.field == nameField, a.column, row, hitsA, fallbackA);
        const qsizetype countB = m_cache->hits(indexB, b.field == nameField, b.column, row, hitsB, fallbackB);
        if (countA != countB || !std::equal(hitsA, hitsA + countA, hitsB))
            return false;
    }
    return true;
}

const PlmMatchCandidate* PlmMatch::candidate(int column, const QString& field) const
{
    for (const PlmMatchCandidate& candidate : m_candidates) {
        if (candidate.column == column && candidate.field == field)
            return &candidate;
    }
    return nullptr;
}

QList<QStringList> PlmMatch::rowMatches(int column, const QString& field) const
{
    static const FieldIndex none;
    const auto found = m_cache->indexes.constFind(field);
    const FieldIndex& index = found != m_cache->indexes.cend() ? *found : none;
    QList<QStringList> matches;
    matches.reserve(m_table.rows.size());
    QList<int> fallback;
    for (qsizetype row = 0; row < m_table.rows.size(); ++row) {
        const int* hits = nullptr;
        const qsizetype count = m_cache->hits(index, field == nameField, column, row, hits, fallback);
        QStringList ids;
        for (qsizetype i = 0; i < count; ++i)
            ids.append(m_cache->entityIDs.at(hits[i]));
        matches.append(ids);
    }
    return matches;
}

QList<PlmMatchRow> PlmMatch::resolutions(const PlmMatchCandidate& candidate,
                                         const PlmMatchCorrections& corrections) const
{
    static const FieldIndex none;
    const auto found = m_cache->indexes.constFind(candidate.field);
    const FieldIndex& index = found != m_cache->indexes.cend() ? *found : none;
    const bool byName = candidate.field == nameField;
    const qsizetype rowCount = m_table.rows.size();

    QList<PlmMatchRow> rows;
    rows.reserve(rowCount);
    QList<int> matchedEntity(rowCount, -1);
    QList<int> claims(m_cache->entityIDs.size(), 0);
    QList<int> fallback;
    for (qsizetype row = 0; row < rowCount; ++row) {
        const auto correction = corrections.constFind(int(row));
        if (correction != corrections.cend()) {
            const auto known = correction->isIgnored() ? m_cache->entityByID.end()
                                                       : m_cache->entityByID.find(correction->entityID);
            const int entity = known == m_cache->entityByID.end() ? -1 : known->second;
            if (correction->isIgnored()) {
                rows.append(PlmMatchRow::ignored());
            } else if (entity < 0) {
                rows.append(PlmMatchRow::missing());
            } else {
                rows.append(PlmMatchRow::matched(m_cache->entityIDs.at(entity)));
                matchedEntity[row] = entity;
                ++claims[entity];
            }
            continue;
        }
        const int* hits = nullptr;
        const qsizetype count = m_cache->hits(index, byName, candidate.column, row, hits, fallback);
        if (count == 0) {
            rows.append(PlmMatchRow::missing());
        } else if (count == 1) {
            rows.append(PlmMatchRow::matched(m_cache->entityIDs.at(hits[0])));
            matchedEntity[row] = hits[0];
            ++claims[hits[0]];
        } else {
            QStringList ids;
            ids.reserve(count);
            for (qsizetype i = 0; i < count; ++i)
                ids.append(m_cache->entityIDs.at(hits[i]));
            rows.append(PlmMatchRow::ambiguous(ids));
        }
    }
    for (qsizetype row = 0; row < rowCount; ++row) {
        const int entity = matchedEntity.at(row);
        if (entity >= 0 && claims.at(entity) > 1)
            rows[row].kind = PlmMatchRow::Kind::duplicate;
    }
    return rows;
}

PlmMatchCorrections PlmMatch::batchCorrections(const QList<int>& rows, const PlmMatchCandidate& candidate,
                                               const QString& kind) const
{
    const auto wanted = [&kind](PlmGeometry::Kind geometry) {
        if (kind == QLatin1String("surface"))
            return geometry == PlmGeometry::Kind::polygon || geometry == PlmGeometry::Kind::multipolygon;
        if (kind == QLatin1String("line"))
            return geometry == PlmGeometry::Kind::polyline;
        if (kind == QLatin1String("point"))
            return geometry == PlmGeometry::Kind::point;
        return false; // paths, texts and groups belong to no kind
    };
    PlmMatchCorrections corrections;
    if (!m_cache->entityKeys.contains(candidate.field) || candidate.column < 0
        || candidate.column >= m_cache->cellKeys.size())
        return corrections;
    QList<int> positions;
    for (int position = 0; position < m_cache->kinds.size(); ++position) {
        if (wanted(m_cache->kinds.at(position)))
            positions.append(position);
    }
    const FieldIndex index = m_cache->buildIndex(candidate.field, positions);
    const QList<int>& keys = m_cache->cellKeys.at(candidate.column);
    for (int row : rows) {
        if (row < 0 || row >= keys.size())
            continue;
        const int key = keys.at(row);
        if (index.size(key) == 1)
            corrections.insert(row, PlmMatchResolution::entity(m_cache->entityIDs.at(*index.begin(key))));
    }
    return corrections;
}
