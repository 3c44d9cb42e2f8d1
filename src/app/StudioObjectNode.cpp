#include "app/StudioObjectNode.h"

#include "model/PlmOutlineTitle.h"
#include "model/PlmWork.h"

const QString StudioObjectNode::fondSectionKey = QStringLiteral("section:Fond");
const QString StudioObjectNode::habillageSectionKey = QStringLiteral("section:Habillage");

namespace {

// Groups deeper than this are listed without their deeper members; a valid map never nests
// this far, and the cap keeps a hostile one from exhausting the stack.
constexpr int maxListedDepth = 256;

StudioObjectNode entityNodeAt(const PlmEntity& entity, const QStringList& path)
{
    StudioObjectNode node;
    node.reference = StudioObjectReference::entity(path);
    node.title = entity.name.isEmpty() ? entity.id : entity.name;
    if (const PlmEntityList* members = entity.geometry.asGroup(); members && path.size() < maxListedDepth) {
        node.children.reserve(members->size());
        for (qsizetype i = members->size() - 1; i >= 0; --i) {
            const PlmEntity& member = members->at(i);
            node.children.append(entityNodeAt(member, path + QStringList{member.id}));
        }
    }
    return node;
}

void flattenInto(const QList<StudioObjectNode>& nodes, QList<const StudioObjectNode*>& out)
{
    for (const StudioObjectNode& node : nodes) {
        out.append(&node);
        flattenInto(node.children, out);
    }
}

} // namespace

StudioObjectNode StudioObjectNode::entityNode(const PlmEntity& entity, const QStringList& path)
{
    return entityNodeAt(entity, path);
}

StudioObjectNode StudioObjectNode::decorationNode(const PlmDecorationObject& object)
{
    StudioObjectNode node;
    node.reference = StudioObjectReference::decoration(object.id);
    node.title = PlmOutlineTitle::object(object);
    return node;
}

StudioObjectNode StudioObjectNode::section(const QString& name, const QList<StudioObjectNode>& children)
{
    StudioObjectNode node;
    node.title = name;
    node.sectionKey = QStringLiteral("section:") + name;
    node.children = children;
    return node;
}

QList<StudioObjectNode> studioObjectTree(const PlmWork& work)
{
    QList<StudioObjectNode> roots;
    if (work.decoration) {
        const PlmDecoration& layout = *work.decoration;
        QList<StudioObjectNode> items;
        for (qsizetype i = layout.objects.size() - 1; i >= 0; --i)
            items.append(StudioObjectNode::decorationNode(layout.objects.at(i)));
        if (work.thematic) {
            StudioObjectNode legend;
            legend.reference = StudioObjectReference::legend(QStringLiteral("legend"));
            legend.title = PlmOutlineTitle::legend(layout.legend, false);
            items.append(legend);
            if (work.thematic->secondSymbols) {
                StudioObjectNode second;
                second.reference = StudioObjectReference::legend(QStringLiteral("secondLegend"));
                second.title = PlmOutlineTitle::legend(layout.secondLegend, true);
                items.append(second);
            }
        }
        if (!items.isEmpty())
            roots.append(StudioObjectNode::section(QStringLiteral("Habillage"), items));
    }
    QList<StudioObjectNode> entities;
    entities.reserve(work.map.entities.size());
    for (qsizetype i = work.map.entities.size() - 1; i >= 0; --i) {
        const PlmEntity& entity = work.map.entities.at(i);
        entities.append(StudioObjectNode::entityNode(entity, {entity.id}));
    }
    roots.append(StudioObjectNode::section(QStringLiteral("Fond"), entities));
    return roots;
}

QList<const StudioObjectNode*> flattenNodes(const QList<StudioObjectNode>& nodes)
{
    QList<const StudioObjectNode*> out;
    flattenInto(nodes, out);
    return out;
}
