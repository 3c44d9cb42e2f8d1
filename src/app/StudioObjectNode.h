#pragma once

#include "app/StudioObjectReference.h"

#include <QList>
#include <QString>
#include <optional>

struct PlmDecorationObject;
struct PlmEntity;
struct PlmWork;

// One row of the objects outline: a value made by one rebuild, holding no link to the work.
// Section rows ("Fond", "Habillage") have no reference; their keys are "section:" + name.
struct StudioObjectNode {
    std::optional<StudioObjectReference> reference;
    QString title;
    QString sectionKey; // section rows only
    QList<StudioObjectNode> children;

    // The row's key: the reference's, or the section's. Made when asked, not per row built:
    // a large map's outline has tens of thousands of rows and few are ever looked up by key.
    QString key() const { return reference ? reference->key() : sectionKey; }

    bool operator==(const StudioObjectNode&) const = default;

    // An entity at `path`: titled by its name, or its id when the name is empty; a group
    // lists its members last drawn first, each with the path extended by its id.
    static StudioObjectNode entityNode(const PlmEntity& entity, const QStringList& path);
    // A layout element, titled as PlmOutlineTitle::object says.
    static StudioObjectNode decorationNode(const PlmDecorationObject& object);
    static StudioObjectNode section(const QString& name, const QList<StudioObjectNode>& children);

    static const QString fondSectionKey;      // "section:Fond"
    static const QString habillageSectionKey; // "section:Habillage"
};

// The outline's roots for a work: "Habillage" (when the work has a layout and the section
// would not be empty) then "Fond".
QList<StudioObjectNode> studioObjectTree(const PlmWork& work);

// Every node, depth first, each before its children.
QList<const StudioObjectNode*> flattenNodes(const QList<StudioObjectNode>& nodes);
