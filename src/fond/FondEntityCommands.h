#pragma once

#include "model/PlmEntity.h"
#include "model/PlmMap.h"
#include "model/PlmPointSymbol.h"
#include "model/PlmStyle.h"
#include "model/PlmWork.h"

#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

// What the Fond pane's commands do to a work, apart from the widgets. Every function acts on
// top-level entities only and leaves hidden and locked entities as the commands' rules say.
// They run inside the document's update, on its copy of the work.
namespace FondEntityCommands {

// Undo names of the pane's updates.
QString renameActionName();    // "Renommer l’entité"
QString styleActionName();     // "Style des entités"
QString groupActionName();     // "Grouper les entités"
QString ungroupActionName();   // "Dégrouper les entités"
QString duplicateActionName(); // "Dupliquer les entités"
QString deleteActionName();    // "Supprimer les entités"
QString createActionName();    // "Créer une entité"

QString creationGroupKey(); // "studio.creation.group"

// A new identifier: an upper-case UUID, 8-4-4-4-12 hexadecimal digits.
QString newEntityID();

// The indexes, ascending, of the top-level entities whose ids are in `ids`. A few ids are
// looked up one by one (no hashing of every id of a large map); many in one pass.
QList<qsizetype> topLevelIndexes(const PlmEntityList& entities, const QSet<QString>& ids);

// Renames the first top-level entity with the id, and a text's own string with it.
// False when there is none, it is locked, or the name is empty.
bool renameEntity(PlmWork& work, const QString& id, const QString& name);

// The ids of the unlocked top-level entities among `ids`.
QSet<QString> unlockedIDs(const PlmMap& map, const QSet<QString>& ids);

// Styles every unlocked top-level entity whose id is in `ids`; group members keep theirs.
template <class StyleEdit>
int restyleEntities(PlmWork& work, const QSet<QString>& ids, const StyleEdit& edit)
{
    int changed = 0;
    PlmEntityList& entities = work.map.entities;
    for (const qsizetype i : topLevelIndexes(entities, ids)) {
        const PlmEntity& entity = entities.at(i);
        if (entity.locked())
            continue;
        PlmStyle style = entity.style;
        edit(style);
        if (!(style == entity.style))
            entities.edit(i).style = style;
        ++changed;
    }
    return changed;
}

// Writes `group` as the creation group of every unlocked selected entity (replacing any
// other), or removes it when `group` is none. Answers how many entities changed.
int setCreationGroup(PlmWork& work, const QSet<QString>& ids, const std::optional<QString>& group);

// The copy that duplicate makes: new ids all the way down, " copie" after every name, and no
// creation group on the copy itself. Locked copies stay locked.
PlmEntity duplicateEntity(const PlmEntity& entity);

// Appends a copy of every selected top-level entity (map order), moved by (+20, +20) map
// units, with the sources' values in every variable. Answers the new ids in order.
QStringList duplicateEntities(PlmWork& work, const QSet<QString>& ids);

// Removes the top-level entities with these ids, their values in every variable and their
// manual symbol positions. Answers how many entities were removed.
int deleteEntities(PlmWork& work, const QSet<QString>& ids);

// Select all: the ids of the visible top-level entities, and the first entity's id.
QPair<QSet<QString>, std::optional<QString>> selectAllIDs(const PlmMap& map);

// Replaces top-level entities by their edited versions. A pair whose index no longer names
// the entity with that id (the work changed meanwhile) is placed by id; one whose entity is
// gone is dropped rather than written over another entity.
int replaceEntities(PlmWork& work, const QList<QPair<int, PlmEntity>>& edits);

// The entity the pane creates for a drawn geometry.
PlmEntity createdEntity(const QString& id, const PlmGeometry& geometry, const QString& name, PlmStyle style,
                        const std::optional<PlmPointSymbol>& pendingSymbol, bool overBackgroundImage);
// Appends it, marking a map without sources as authored.
void appendCreatedEntity(PlmWork& work, const PlmEntity& entity);

// The style controls: tag 1 line width, 2 opacity in percent, 3 point diameter.
enum StyleTag { lineWidthTag = 1, opacityTag = 2, pointSizeTag = 3 };
// Writes a typed value; false (style unchanged) for a text that is no number or a value
// out of the control's range.
bool applyStyleText(PlmStyle& style, int tag, const QString& text);
// Why applyStyleText refuses a text, in French; empty when it takes it.
QString styleTextRefusal(int tag, const QString& text);
// A colour well's colour: the fill well sets the fill, the other the stroke.
void applyStyleColor(PlmStyle& style, bool fill, const PlmColor& color);

// The numbers the inspector shows for a style.
QString pointSizeText(const PlmStyle& style);
QString lineWidthText(const PlmStyle& style);
// The alpha shown as opacity: the fill's for a filled area, else the stroke's.
double shownAlpha(const PlmStyle& style, const PlmEntity* entity);
QString opacityText(const PlmStyle& style, const PlmEntity* entity);

// The details text of the "Fond" section.
QString entityDetails(const PlmEntity& entity, bool editingGroup);
QString mapDetails(const PlmMap& map);

} // namespace FondEntityCommands
