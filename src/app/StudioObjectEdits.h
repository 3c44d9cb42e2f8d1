#pragma once

#include "app/StudioObjectReference.h"

#include <QStringList>
#include <functional>
#include <optional>

struct PlmEntity;
struct PlmPresentation;
struct PlmWork;
class PlmEntityList;
struct StudioObjectNode;

// What the objects outline does to a work, as plain functions on a PlmWork: the studio
// window wraps each change in one undoable update.
namespace StudioObjectEdits {

struct State {
    bool available = false;
    bool hidden = false;
    bool locked = false;
    bool operator==(const State&) const = default;
};

// Whether the object exists, and its hidden and locked flags, read from the work.
State objectState(const PlmWork& work, const StudioObjectReference& reference);

// The entity at a path of ids (each id among the members of the group found before it).
const PlmEntity* entityAtPath(const PlmEntityList& entities, const QStringList& path);
// Applies a change to the entity at a path, storing changed members back into their groups.
// False, and nothing changed, when the path names no entity.
bool modifyEntity(PlmEntityList& entities, const QStringList& path, const std::function<void(PlmEntity&)>& change);

// The presentation of a layout element or legend; null without a layout or such an element.
PlmPresentation* presentation(PlmWork& work, const StudioObjectReference& reference);

// Stores the hidden and locked flags that differ from the object's present state.
void setObjectState(PlmWork& work, const StudioObjectReference& reference, bool hidden, bool locked);
// The update name of a state change: visibility first.
QString stateActionName(const State& before, bool hidden, bool locked);

// Renames an object (a text entity's string follows its name). The name is stored trimmed;
// false when it is blank or the object is missing.
bool renameObject(PlmWork& work, const StudioObjectReference& reference, const QString& name);
// Sets the string of the text entity at the path; other entities are left unchanged.
bool setTextEntityValue(PlmWork& work, const QStringList& path, const QString& text);

// The index an element lands on when moved from `from` to the gap `to` (0…count) of a list of
// `count` elements: removed, then inserted at to − 1 when from < to, at to otherwise. None
// when `to` or `from` lies outside the list.
std::optional<qsizetype> movedIndex(qsizetype from, qsizetype to, qsizetype count);

// Moves an entity within its list (the map's entities, or its parent group's members) or a
// layout element within the layout's objects, to a gap in storage order. False when nothing
// moved.
bool moveObject(PlmWork& work, const StudioObjectReference& reference, qsizetype targetIndex);

// The entity a deletion really removes: deleting the only member of a group deletes the
// group, repeated upwards.
QStringList deletionPath(const PlmWork& work, const QStringList& path);
// Removes from the group at the path without its last id every member with the last id.
bool removeGroupMember(PlmWork& work, const QStringList& path);

// A drop of a dragged outline object: the object and the gap of its list, in storage order.
struct DropPlan {
    StudioObjectReference reference;
    qsizetype targetIndex = 0;
    bool operator==(const DropPlan&) const = default;
};

// The plan of dropping `reference` between the children of `target` at `childIndex` (in
// outline order, last drawn first). An entity stays in its own list and must be editable;
// a layout element or legend stays among the layout elements of "Habillage" and must not
// be locked.
std::optional<DropPlan> dropPlan(const PlmWork& work, const StudioObjectReference& reference,
                                 const StudioObjectNode& target, qsizetype childIndex,
                                 const std::function<bool(const QStringList&)>& entityEditable);

} // namespace StudioObjectEdits
