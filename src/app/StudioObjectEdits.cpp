#include "app/StudioObjectEdits.h"

#include "app/StudioObjectNode.h"
#include "model/PlmTextFolding.h"
#include "model/PlmWork.h"

namespace StudioObjectEdits {

namespace {

// Walks far enough for any real map; a path longer than this names nothing.
constexpr qsizetype maxPathLength = 4096;

bool isFirstLegend(const QString& id)
{
    return id == QLatin1String("legend");
}

PlmDecorationObject* decorationObject(PlmWork& work, const QString& id)
{
    if (!work.decoration)
        return nullptr;
    for (PlmDecorationObject& object : work.decoration->objects) {
        if (object.id == id)
            return &object;
    }
    return nullptr;
}

const PlmPresentation* presentationOf(const PlmWork& work, const StudioObjectReference& reference)
{
    if (!work.decoration || reference.isEntity())
        return nullptr;
    if (reference.isLegend())
        return isFirstLegend(reference.id) ? &work.decoration->legend : &work.decoration->secondLegend;
    for (const PlmDecorationObject& object : work.decoration->objects) {
        if (object.id == reference.id)
            return &object.presentation;
    }
    return nullptr;
}

} // namespace

const PlmEntity* entityAtPath(const PlmEntityList& entities, const QStringList& path)
{
    if (path.isEmpty() || path.size() > maxPathLength)
        return nullptr;
    const PlmEntityList* list = &entities;
    const PlmEntity* found = nullptr;
    for (const QString& id : path) {
        if (!list)
            return nullptr; // a step through an entity that is not a group
        const qsizetype index = list->indexOfId(id);
        if (index < 0)
            return nullptr;
        found = &list->at(index);
        list = found->geometry.asGroup();
    }
    return found;
}

bool modifyEntity(PlmEntityList& entities, const QStringList& path, const std::function<void(PlmEntity&)>& change)
{
    // Check first, so that a path naming nothing copies nothing.
    if (!entityAtPath(entities, path))
        return false;
    PlmEntityList* list = &entities;
    for (qsizetype step = 0;; ++step) {
        PlmEntity& entity = list->edit(list->indexOfId(path.at(step)));
        if (step == path.size() - 1) {
            change(entity);
            return true;
        }
        list = entity.geometry.asGroup();
    }
}

State objectState(const PlmWork& work, const StudioObjectReference& reference)
{
    State state;
    if (reference.isEntity()) {
        if (const PlmEntity* entity = entityAtPath(work.map.entities, reference.path)) {
            state.available = true;
            state.hidden = entity->hidden();
            state.locked = entity->locked();
        }
        return state;
    }
    if (const PlmPresentation* presentation = presentationOf(work, reference)) {
        state.available = true;
        state.hidden = presentation->hidden.value_or(false);
        state.locked = presentation->effectiveEditingStyle().lockPosition;
    }
    return state;
}

PlmPresentation* presentation(PlmWork& work, const StudioObjectReference& reference)
{
    // Reached through non-const access, so that a work sharing its layout with another
    // copies it before it is changed.
    if (!work.decoration || reference.isEntity())
        return nullptr;
    if (reference.isLegend())
        return isFirstLegend(reference.id) ? &work.decoration->legend : &work.decoration->secondLegend;
    PlmDecorationObject* object = decorationObject(work, reference.id);
    return object ? &object->presentation : nullptr;
}

void setObjectState(PlmWork& work, const StudioObjectReference& reference, bool hidden, bool locked)
{
    const State before = objectState(work, reference);
    if (!before.available)
        return;
    if (reference.isEntity()) {
        modifyEntity(work.map.entities, reference.path, [&](PlmEntity& entity) {
            if (hidden != before.hidden)
                entity.isHidden = hidden;
            if (locked != before.locked)
                entity.isLocked = locked;
        });
        return;
    }
    PlmPresentation* target = presentation(work, reference);
    if (hidden != before.hidden)
        target->hidden = hidden;
    if (locked != before.locked) {
        PlmEditingStyle style = target->effectiveEditingStyle();
        style.lockPosition = locked;
        target->setEffectiveEditingStyle(style);
    }
}

QString stateActionName(const State& before, bool hidden, bool)
{
    return hidden != before.hidden ? QStringLiteral("Visibilité de l’objet") : QStringLiteral("Verrouillage de l’objet");
}

bool renameObject(PlmWork& work, const StudioObjectReference& reference, const QString& name)
{
    const QString trimmed = PlmTextFolding::trimmed(name);
    if (trimmed.isEmpty())
        return false;
    if (reference.isEntity()) {
        return modifyEntity(work.map.entities, reference.path, [&](PlmEntity& entity) {
            entity.name = trimmed;
            if (PlmText* text = entity.geometry.asText())
                text->text = trimmed;
        });
    }
    PlmPresentation* target = presentation(work, reference);
    if (!target)
        return false;
    target->title = trimmed;
    return true;
}

bool setTextEntityValue(PlmWork& work, const QStringList& path, const QString& text)
{
    return modifyEntity(work.map.entities, path, [&](PlmEntity& entity) {
        if (PlmText* geometry = entity.geometry.asText())
            geometry->text = text;
    });
}

std::optional<qsizetype> movedIndex(qsizetype from, qsizetype to, qsizetype count)
{
    if (from < 0 || from >= count || to < 0 || to > count)
        return std::nullopt;
    return from < to ? to - 1 : to;
}

bool moveObject(PlmWork& work, const StudioObjectReference& reference, qsizetype targetIndex)
{
    if (reference.isEntity()) {
        if (!entityAtPath(work.map.entities, reference.path))
            return false;
        const QString id = reference.path.last();
        const auto moveIn = [&](PlmEntityList& list) {
            const std::optional<qsizetype> to = movedIndex(list.indexOfId(id), targetIndex, list.size());
            const qsizetype from = list.indexOfId(id);
            if (!to || *to == from)
                return false;
            list.move(from, *to);
            return true;
        };
        if (reference.path.size() == 1)
            return moveIn(work.map.entities);
        bool moved = false;
        modifyEntity(work.map.entities, reference.path.first(reference.path.size() - 1), [&](PlmEntity& parent) {
            if (PlmEntityList* members = parent.geometry.asGroup())
                moved = moveIn(*members);
        });
        return moved;
    }
    if (!reference.isDecoration() || !work.decoration)
        return false;
    QList<PlmDecorationObject>& objects = work.decoration->objects;
    qsizetype from = -1;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        if (objects.at(i).id == reference.id) {
            from = i;
            break;
        }
    }
    const std::optional<qsizetype> to = movedIndex(from, targetIndex, objects.size());
    if (!to || *to == from)
        return false;
    objects.move(from, *to);
    return true;
}

QStringList deletionPath(const PlmWork& work, const QStringList& path)
{
    QStringList result = path;
    while (result.size() >= 2) {
        const PlmEntity* parent = entityAtPath(work.map.entities, result.first(result.size() - 1));
        const PlmEntityList* members = parent ? parent->geometry.asGroup() : nullptr;
        if (!members || members->size() != 1)
            break;
        result.removeLast();
    }
    return result;
}

bool removeGroupMember(PlmWork& work, const QStringList& path)
{
    if (path.size() < 2)
        return false;
    const QString id = path.last();
    bool removed = false;
    modifyEntity(work.map.entities, path.first(path.size() - 1), [&](PlmEntity& parent) {
        PlmEntityList* members = parent.geometry.asGroup();
        if (!members)
            return;
        for (qsizetype i = members->size() - 1; i >= 0; --i) {
            if (members->at(i).id == id) {
                members->removeAt(i);
                removed = true;
            }
        }
    });
    return removed;
}

std::optional<DropPlan> dropPlan(const PlmWork& work, const StudioObjectReference& reference,
                                 const StudioObjectNode& target, qsizetype childIndex,
                                 const std::function<bool(const QStringList&)>& entityEditable)
{
    const qsizetype childCount = target.children.size();
    if (childIndex < 0 || childIndex > childCount)
        return std::nullopt;
    if (reference.isEntity()) {
        if (reference.path.isEmpty() || !entityEditable || !entityEditable(reference.path))
            return std::nullopt;
        const QStringList parentPath = reference.path.first(reference.path.size() - 1);
        const bool intoParent = parentPath.isEmpty()
            ? target.key() == StudioObjectNode::fondSectionKey
            : target.reference == StudioObjectReference::entity(parentPath);
        if (!intoParent)
            return std::nullopt;
        return DropPlan{reference, childCount - childIndex};
    }
    if (objectState(work, reference).locked || target.key() != StudioObjectNode::habillageSectionKey)
        return std::nullopt;
    qsizetype elements = 0;
    for (const StudioObjectNode& child : target.children) {
        if (child.reference && child.reference->isDecoration())
            ++elements;
    }
    if (childIndex > elements)
        return std::nullopt;
    return DropPlan{reference, elements - childIndex};
}

} // namespace StudioObjectEdits
