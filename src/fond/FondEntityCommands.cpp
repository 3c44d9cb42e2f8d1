#include "fond/FondEntityCommands.h"
#include "model/PlmFrenchCount.h"

#include "model/PlmErrors.h"
#include "model/PlmFrenchNumber.h"
#include "model/PlmValue.h"

#include <QUuid>

#include <algorithm>
#include <cmath>

namespace FondEntityCommands {

QString renameActionName() { return QStringLiteral("Renommer l’entité"); }
QString styleActionName() { return QStringLiteral("Style des entités"); }
QString groupActionName() { return QStringLiteral("Grouper les entités"); }
QString ungroupActionName() { return QStringLiteral("Dégrouper les entités"); }
QString duplicateActionName() { return QStringLiteral("Dupliquer les entités"); }
QString deleteActionName() { return QStringLiteral("Supprimer les entités"); }
QString createActionName() { return QStringLiteral("Créer une entité"); }
QString creationGroupKey() { return QStringLiteral("studio.creation.group"); }

QString newEntityID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QList<qsizetype> topLevelIndexes(const PlmEntityList& entities, const QSet<QString>& ids)
{
    QList<qsizetype> indexes;
    if (ids.isEmpty())
        return indexes;
    constexpr qsizetype fewIDs = 8;
    if (ids.size() <= fewIDs) {
        for (const QString& id : ids) {
            const qsizetype index = entities.indexOfId(id);
            if (index >= 0)
                indexes.append(index);
        }
        std::sort(indexes.begin(), indexes.end());
        return indexes;
    }
    for (qsizetype i = 0; i < entities.size(); ++i) {
        if (ids.contains(entities.at(i).id))
            indexes.append(i);
    }
    return indexes;
}

bool renameEntity(PlmWork& work, const QString& id, const QString& name)
{
    if (name.isEmpty())
        return false;
    const qsizetype index = work.map.entities.indexOfId(id);
    if (index < 0 || work.map.entities.at(index).locked())
        return false;
    PlmEntity& entity = work.map.entities.edit(index);
    entity.name = name;
    if (PlmText* text = entity.geometry.asText())
        text->text = name;
    return true;
}

QSet<QString> unlockedIDs(const PlmMap& map, const QSet<QString>& ids)
{
    QSet<QString> unlocked;
    for (const qsizetype i : topLevelIndexes(map.entities, ids)) {
        const PlmEntity& entity = map.entities.at(i);
        if (!entity.locked())
            unlocked.insert(entity.id);
    }
    return unlocked;
}

int setCreationGroup(PlmWork& work, const QSet<QString>& ids, const std::optional<QString>& group)
{
    if (ids.isEmpty())
        return 0;
    const QString key = creationGroupKey();
    PlmEntityList& entities = work.map.entities;
    int changed = 0;
    for (const qsizetype i : topLevelIndexes(entities, ids)) {
        const PlmEntity& entity = entities.at(i);
        if (entity.locked())
            continue;
        if (group) {
            if (entity.attributes.value(key) == *group && entity.attributes.contains(key))
                continue;
            entities.edit(i).attributes.insert(key, *group);
        } else {
            if (!entity.attributes.contains(key))
                continue;
            entities.edit(i).attributes.remove(key);
        }
        ++changed;
    }
    return changed;
}

namespace {

// Group members nest as deep as the model allows; the copy follows the same depth the
// decoder accepted, so it needs no cap of its own beyond that of the decoder.
PlmEntity copyWithNewIDs(const PlmEntity& entity)
{
    PlmEntity copy = entity;
    copy.id = newEntityID();
    copy.name += QStringLiteral(" copie");
    copy.attributes.remove(creationGroupKey());
    if (const PlmEntityList* members = entity.geometry.asGroup()) {
        PlmEntityList copies;
        copies.reserve(members->size());
        for (const PlmEntity& member : *members)
            copies.append(copyWithNewIDs(member));
        copy.geometry = PlmGeometry::group(copies);
    }
    return copy;
}

} // namespace

PlmEntity duplicateEntity(const PlmEntity& entity)
{
    return copyWithNewIDs(entity);
}

QStringList duplicateEntities(PlmWork& work, const QSet<QString>& ids)
{
    QStringList newIDs;
    if (ids.isEmpty())
        return newIDs;
    QList<PlmEntity> sources;
    for (const qsizetype i : topLevelIndexes(work.map.entities, ids))
        sources.append(work.map.entities.at(i));
    for (const PlmEntity& source : sources) {
        PlmEntity copy = duplicateEntity(source);
        // The clip paths move with the geometry they clip.
        copy.translate(20, 20);
        newIDs.append(copy.id);
        for (PlmVariable& variable : work.variables) {
            const auto found = variable.values.constFind(source.id);
            if (found != variable.values.constEnd())
                variable.values.insert(copy.id, found.value());
            else if (variable.values.contains(copy.id))
                variable.values.remove(copy.id);
        }
        work.map.entities.append(std::move(copy));
    }
    return newIDs;
}

int deleteEntities(PlmWork& work, const QSet<QString>& ids)
{
    if (ids.isEmpty())
        return 0;
    PlmEntityList& entities = work.map.entities;
    const QList<qsizetype> indexes = topLevelIndexes(entities, ids);
    if (indexes.isEmpty())
        return 0;
    QSet<QString> removed;
    for (const qsizetype i : indexes)
        removed.insert(entities.at(i).id);
    constexpr qsizetype fewRemovals = 16;
    if (indexes.size() <= fewRemovals) {
        // From the end, so that the indexes before stay valid.
        for (auto it = indexes.crbegin(); it != indexes.crend(); ++it)
            entities.removeAt(*it);
    } else {
        PlmEntityList kept;
        kept.reserve(entities.size());
        qsizetype next = 0;
        for (qsizetype i = 0; i < entities.size(); ++i) {
            if (next < indexes.size() && indexes.at(next) == i)
                ++next;
            else
                kept.appendFrom(entities, i); // shares the untouched entities
        }
        entities = kept;
    }
    const int count = int(indexes.size());
    for (PlmVariable& variable : work.variables) {
        for (const QString& id : removed) {
            if (variable.values.contains(id))
                variable.values.remove(id);
        }
    }
    if (work.thematic) {
        const auto dropPositions = [&removed](QMap<QString, PlmPoint>& positions) {
            for (const QString& id : removed) {
                if (positions.contains(id))
                    positions.remove(id);
            }
        };
        if (work.thematic->proportional)
            dropPositions(work.thematic->proportional->manualPositions);
        if (work.thematic->secondSymbols)
            dropPositions(work.thematic->secondSymbols->symbols.manualPositions);
    }
    return count;
}

QPair<QSet<QString>, std::optional<QString>> selectAllIDs(const PlmMap& map)
{
    QSet<QString> ids;
    ids.reserve(map.entities.size());
    for (const PlmEntity& entity : map.entities) {
        if (!entity.hidden())
            ids.insert(entity.id);
    }
    std::optional<QString> primary;
    if (!map.entities.isEmpty())
        primary = map.entities.first().id;
    return {ids, primary};
}

int replaceEntities(PlmWork& work, const QList<QPair<int, PlmEntity>>& edits)
{
    PlmEntityList& entities = work.map.entities;
    int replaced = 0;
    for (const auto& [index, entity] : edits) {
        qsizetype at = index;
        if (at < 0 || at >= entities.size() || entities.at(at).id != entity.id)
            at = entities.indexOfId(entity.id);
        if (at < 0)
            continue;
        if (!(entities.at(at) == entity))
            entities.replace(at, entity);
        ++replaced;
    }
    return replaced;
}

PlmEntity createdEntity(const QString& id, const PlmGeometry& geometry, const QString& name, PlmStyle style,
                        const std::optional<PlmPointSymbol>& pendingSymbol, bool overBackgroundImage)
{
    // A shape traced over the background image in the default fill would hide it.
    if (overBackgroundImage && style.fill && *style.fill == PlmColor{0.85, 0.9, 0.95, 1})
        style.fill->alpha = 0;
    PlmEntity entity(id, name, geometry, style);
    if (geometry.kind() == PlmGeometry::Kind::point) {
        entity.attributes.insert(QStringLiteral("studio.point.units"), QStringLiteral("map"));
        entity.pointSymbol = pendingSymbol;
    }
    return entity;
}

void appendCreatedEntity(PlmWork& work, const PlmEntity& entity)
{
    work.map.entities.append(entity);
    if (!work.map.sources)
        work.map.metadata.insert(QStringLiteral("studio.authored"), QStringLiteral("true"));
}

namespace {

// The number a style field's text gives, or nothing.
std::optional<double> styleNumber(const QString& text)
{
    std::optional<PlmValue> value;
    try {
        value = PlmValue::parse(text, PlmVariableType::number);
    } catch (const PlmError&) {
        return std::nullopt;
    }
    const std::optional<double> number = value ? value->numericValue() : std::nullopt;
    if (!number || !std::isfinite(*number))
        return std::nullopt;
    return number;
}

} // namespace

QString styleTextRefusal(int tag, const QString& text)
{
    const std::optional<double> v = styleNumber(text);
    if (!v)
        return QStringLiteral("Valeur numérique incorrecte.");
    switch (tag) {
    case lineWidthTag:
        return *v >= 0 ? QString() : QStringLiteral("L’épaisseur doit être positive ou nulle.");
    case pointSizeTag:
        return *v > 0 && *v <= 2000 ? QString()
                                    : QStringLiteral("La taille du point doit être supérieure à 0 et au plus de 2 000.");
    case opacityTag:
        return *v >= 0 && *v <= 100 ? QString() : QStringLiteral("L’opacité doit être comprise entre 0 et 100 %.");
    default:
        return QStringLiteral("Valeur numérique incorrecte.");
    }
}

bool applyStyleText(PlmStyle& style, int tag, const QString& text)
{
    if (!styleTextRefusal(tag, text).isEmpty())
        return false;
    const double v = *styleNumber(text);
    switch (tag) {
    case lineWidthTag:
        style.lineWidth = v;
        return true;
    case pointSizeTag:
        style.pointRadius = v * 0.5;
        return true;
    case opacityTag:
        style.stroke.alpha = v / 100;
        if (style.fill)
            style.fill->alpha = v / 100;
        return true;
    default:
        return false;
    }
}

void applyStyleColor(PlmStyle& style, bool fill, const PlmColor& color)
{
    if (fill)
        style.fill = color;
    else
        style.stroke = color;
}

// Enough significant digits that a value shown and committed again stays the same value
// (a diameter of 125 is not shown as 130, an opacity of 85 % not as 90).
QString pointSizeText(const PlmStyle& style)
{
    return formatFrenchNumber(style.pointRadius * 2, 4);
}

QString lineWidthText(const PlmStyle& style)
{
    return formatFrenchNumber(style.lineWidth, 3);
}

double shownAlpha(const PlmStyle& style, const PlmEntity* entity)
{
    bool usesFill = style.fill.has_value();
    if (entity) {
        const PlmGeometry::Kind kind = entity->geometry.kind();
        usesFill = usesFill && kind != PlmGeometry::Kind::point && kind != PlmGeometry::Kind::polyline;
    }
    return usesFill ? style.fill->alpha : style.stroke.alpha;
}

QString opacityText(const PlmStyle& style, const PlmEntity* entity)
{
    return formatFrenchNumber(100 * shownAlpha(style, entity), 3);
}

QString entityDetails(const PlmEntity& entity, bool editingGroup)
{
    QString text = entity.name + QStringLiteral("\n\nIdentifiant : ") + entity.id + QLatin1Char('\n')
        + PlmFrenchCount::counted(entity.leafEntities().size(), QStringLiteral("objet vectoriel"),
                                  QStringLiteral("objets vectoriels"));
    if (editingGroup)
        text += QStringLiteral("\n\nÉdition interne du groupe");
    return text;
}

QString mapDetails(const PlmMap& map)
{
    return map.name + QStringLiteral("\n\n") + PlmFrenchCount::counted(map.entities.size(), QStringLiteral("entité"), QStringLiteral("entités"));
}

} // namespace FondEntityCommands
