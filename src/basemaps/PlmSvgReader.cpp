#include "basemaps/PlmSvgReader.h"

#include "basemaps/PlmImportBuilder.h"
#include "basemaps/PlmSvgNumbers.h"
#include "basemaps/PlmSvgPathData.h"
#include "basemaps/PlmSvgStyles.h"
#include "basemaps/SVGTree.h"
#include "model/PlmEntity.h"
#include "model/PlmErrors.h"

#include <QSet>
#include <QStringList>

#include <algorithm>

#include <vector>

namespace {

using PlmSvgNumbers::trimmed;

const PlmTransform yNegation{1, 0, 0, -1, 0, 0};
// Past this depth of the walk a `use` is no longer followed, so that references inside
// deep trees cannot pile up into a deep recursion.
constexpr int maximumUseDepth = 128;

[[noreturn]] void fail(const QString& message)
{
    throw PlmImportError::invalid(message);
}

struct Context {
    SVGComputedStyle style;
    PlmTransform transform;
    QString layer;
    QStringList useChain;
    double opacity = 1;    // the product of every ancestor's own
    double ownOpacity = 1; // the parent's own, which « inherit » takes
    int depth = 0;
};

// What an element computes before it is dispatched on its tag.
struct ElementState {
    SVGComputedStyle style;
    PlmTransform transform;
    QString layer;
    double opacity = 1;
    double ownOpacity = 1;
};

bool isNeverDrawn(const QString& tag)
{
    static const QSet<QString> tags = {
        QStringLiteral("defs"),     QStringLiteral("style"),          QStringLiteral("metadata"),
        QStringLiteral("title"),    QStringLiteral("desc"),           QStringLiteral("clipPath"),
        QStringLiteral("mask"),     QStringLiteral("linearGradient"), QStringLiteral("radialGradient"),
    };
    return tags.contains(tag);
}

bool isShape(const QString& tag)
{
    static const QSet<QString> tags = {
        QStringLiteral("polyline"), QStringLiteral("polygon"), QStringLiteral("line"),
        QStringLiteral("rect"),     QStringLiteral("circle"),  QStringLiteral("ellipse"),
    };
    return tags.contains(tag);
}

std::optional<QString> attributeIfPresent(const SVGNode& node, const QString& key)
{
    const auto it = node.attributes.constFind(key);
    if (it == node.attributes.cend())
        return std::nullopt;
    return *it;
}

class Walker {
public:
    Walker(const SVGNode& root, SVGUnconverted& unconverted)
        : m_root(root)
        , m_unconverted(unconverted)
    {
        PlmSvgReader::collectSVGIDs(root, m_ids);
        m_viewport = PlmSvgStyles::svgRootViewport(root.attributes);
        PlmSvgStyles::collectSVGStyleRules(root, m_sheet, unconverted);
    }

    void walk(const SVGNode& node, const Context& context, QList<PlmEntity>& out);

private:
    enum class Step { done, use, children, group };
    // The walk recurses through walk, walkChildren, walkGroup and expandUse only; everything
    // heavier stays out of line so that each level of the recursion costs little stack.
    void note(const QString& kind) { m_unconverted[kind] += 1; }
    // Everything an element does before its children or its reference are walked.
    [[gnu::noinline]] Step visit(const SVGNode& node, const Context& context, ElementState& state, QList<PlmEntity>& out);
    [[gnu::noinline]] bool prepare(const SVGNode& node, const Context& context, ElementState& state);
    [[gnu::noinline]] void walkGroup(const SVGNode& node, const Context& context, const ElementState& state, QList<PlmEntity>& out);
    void walkChildren(const SVGNode& node, const Context& context, const ElementState& state, QList<PlmEntity>& out);
    [[gnu::noinline]] void expandUse(const SVGNode& node, const Context& context, const ElementState& state, QList<PlmEntity>& out);
    [[gnu::noinline]] void addShape(const SVGNode& node, const ElementState& state, QList<PlmEntity>& out);
    [[gnu::noinline]] void addText(const SVGNode& node, const ElementState& state, QList<PlmEntity>& out);
    [[gnu::noinline]] bool makesGroup(const SVGNode& node, const Context& context);
    static bool isNamedGroup(const SVGNode& node);
    [[gnu::noinline]] void addGroup(const SVGNode& node, const ElementState& state, QList<PlmEntity>& members,
                                    QList<PlmEntity>& out);
    [[gnu::noinline]] void addUseAttribute(const SVGNode& node, qsizetype mark, QList<PlmEntity>& out);
    [[gnu::noinline]] std::optional<Context> useContext(const SVGNode& node, const Context& context,
                                                         const ElementState& state, const SVGNode*& target);
    [[gnu::noinline]] Context innerContext(const Context& context, const ElementState& state) const;
    QMap<QString, QString> entityAttributes(const SVGNode& node, const ElementState& state) const;
    static std::optional<QString> entityName(const SVGNode& node);
    PlmEntity makeEntity(const PlmGeometry& geometry, const std::optional<QString>& id,
                         const std::optional<QString>& name, const PlmStyle& style,
                         QMap<QString, QString> attributes);

    // What walking a node would produce, `use` references followed: checked before an outermost
    // `use` is expanded, so that a tree of references doubling at each level is refused before
    // any of it is copied.
    struct Expansion {
        qint64 elements = 0;
        qint64 pathBytes = 0;
        // Entities made, each counted once per group level it sits in: a deep tree of copies
        // costs what it creates, even when its elements stay few.
        qint64 drawables = 0;
        qint64 entityLevels = 0;
    };
    Expansion expansionOf(const SVGNode& node);
    const SVGNode* referenceTarget(const SVGNode& node) const;
    void spendExpansion(const SVGNode& target);

    const SVGNode& m_root;
    SVGUnconverted& m_unconverted;
    QHash<const SVGNode*, Expansion> m_expansions;
    PlmSvgStyles::SVGViewport m_viewport;
    Expansion m_expanded;
    QHash<QString, const SVGNode*> m_ids;
    SVGStyleSheet m_sheet;
    qint64 m_walked = 0;
    qsizetype m_commands = 0;
    // Entity ids: every id given so far, the next suffix to try per requested id, and how
    // many entities were made (generated ids count up and never meet one another).
    QSet<QString> m_usedIDs;
    QHash<QString, int> m_nextSuffix;
    qint64 m_created = 0;
};

PlmEntity Walker::makeEntity(const PlmGeometry& geometry, const std::optional<QString>& id,
                             const std::optional<QString>& name, const PlmStyle& style,
                             QMap<QString, QString> attributes)
{
    const QString requested = id && !id->isEmpty() ? *id : QStringLiteral("import:") + QString::number(m_created + 1);
    QString chosen = requested;
    if (m_usedIDs.contains(chosen)) {
        int suffix = m_nextSuffix.value(requested, 2);
        do
            chosen = requested + QLatin1Char(':') + QString::number(suffix++);
        while (m_usedIDs.contains(chosen));
        m_nextSuffix.insert(requested, suffix);
        attributes.insert(QStringLiteral("source.id"), requested);
        note(QStringLiteral("identifiant dupliqué, conservé en attribut"));
    }
    m_usedIDs.insert(chosen);
    ++m_created;
    return PlmEntity(chosen, name ? *name : requested, geometry, style, attributes);
}

// Steps shared by every element: hidden elements and effects are counted and left out, then
// the opacity, the transform and the layer label.
bool Walker::prepare(const SVGNode& node, const Context& context, ElementState& state)
{
    state.style = PlmSvgStyles::computedStyle(node, context.style, m_sheet);
    const SVGComputedStyle& style = state.style;
    if (trimmed(style.value(QStringLiteral("display"))) == u"none"
        || trimmed(style.value(QStringLiteral("visibility"))) == u"hidden") {
        note(QStringLiteral("élément masqué"));
        return false;
    }
    for (const char* property : {"clip-path", "mask", "filter"}) {
        const auto it = style.constFind(QLatin1String(property));
        if (it != style.cend() && trimmed(*it) != u"none") {
            note(QStringLiteral("élément avec ") + QLatin1String(property) + QStringLiteral(" conservé en source"));
            return false;
        }
    }
    state.ownOpacity = PlmSvgStyles::svgOwnOpacity(node, context.ownOpacity);
    state.opacity = context.opacity * state.ownOpacity;

    state.transform = PlmSvgPathData::svgTransform(node.attribute(QStringLiteral("transform"))).concatenating(context.transform);

    state.layer = context.layer;
    if (node.tag == QLatin1String("g")) {
        const QString label = node.attribute(QStringLiteral("inkscape:label"));
        const QString id = node.attribute(QStringLiteral("id"));
        if (!label.isEmpty())
            state.layer = label;
        else if (!id.isEmpty())
            state.layer = id;
    }
    return true;
}

QMap<QString, QString> Walker::entityAttributes(const SVGNode& node, const ElementState& state) const
{
    QMap<QString, QString> attributes = node.attributes;
    for (const QString& property : PlmSvgStyles::presentationProperties()) {
        const auto it = state.style.constFind(property);
        if (it != state.style.cend())
            attributes.insert(QStringLiteral("svg.style.") + property, *it);
    }
    if (!state.layer.isEmpty())
        attributes.insert(QStringLiteral("layer"), state.layer);
    return attributes;
}

std::optional<QString> Walker::entityName(const SVGNode& node)
{
    if (std::optional<QString> name = attributeIfPresent(node, QStringLiteral("data-name")))
        return name;
    for (const auto& child : node.children)
        if (child->tag == QLatin1String("title"))
            return child->text();
    return attributeIfPresent(node, QStringLiteral("id"));
}

void Walker::walk(const SVGNode& node, const Context& context, QList<PlmEntity>& out)
{
    ElementState state;
    switch (visit(node, context, state, out)) {
    case Step::done:
        break;
    case Step::use:
        expandUse(node, context, state, out);
        break;
    case Step::children:
        walkChildren(node, context, state, out);
        break;
    case Step::group:
        walkGroup(node, context, state, out);
        break;
    }
}

Walker::Step Walker::visit(const SVGNode& node, const Context& context, ElementState& state, QList<PlmEntity>& out)
{
    if (++m_walked > PlmSvgReader::maximumWalkedElements)
        fail(SVGTree::tooLargeMessage());
    const QString& tag = node.tag;
    if (isNeverDrawn(tag))
        return Step::done;
    if (tag == QLatin1String("symbol") && context.useChain.isEmpty())
        return Step::done;
    if (!prepare(node, context, state))
        return Step::done;

    if (tag == QLatin1String("use"))
        return Step::use;
    if (tag == QLatin1String("svg")) {
        if (&node == &m_root)
            return Step::children;
        note(QStringLiteral("viewport SVG imbriqué"));
    } else if (tag == QLatin1String("g")) {
        return Step::group;
    } else if (tag == QLatin1String("a") || tag == QLatin1String("symbol")) {
        return Step::children;
    } else if (tag == QLatin1String("path") || isShape(tag)) {
        addShape(node, state, out);
    } else if (tag == QLatin1String("text")) {
        addText(node, state, out);
    } else {
        note(QStringLiteral("élément SVG ") + tag);
    }
    return Step::done;
}

Context Walker::innerContext(const Context& context, const ElementState& state) const
{
    Context inner;
    inner.style = state.style;
    inner.transform = state.transform;
    inner.layer = state.layer;
    inner.useChain = context.useChain;
    inner.opacity = state.opacity;
    inner.ownOpacity = state.ownOpacity;
    inner.depth = context.depth + 1;
    return inner;
}

void Walker::walkChildren(const SVGNode& node, const Context& context, const ElementState& state, QList<PlmEntity>& out)
{
    const Context inner = innerContext(context, state);
    for (const auto& child : node.children)
        walk(*child, inner, out);
}

void Walker::walkGroup(const SVGNode& node, const Context& context, const ElementState& state, QList<PlmEntity>& out)
{
    // A layer or a group that dissolves puts its members straight into the parent's list, so
    // that deep nesting never moves the same entities once per level.
    if (!makesGroup(node, context)) {
        walkChildren(node, context, state, out);
        return;
    }
    QList<PlmEntity> members;
    walkChildren(node, context, state, members);
    if (!members.isEmpty())
        addGroup(node, state, members, out);
}

bool Walker::makesGroup(const SVGNode& node, const Context& context)
{
    if (node.attribute(QStringLiteral("inkscape:groupmode")) == QLatin1String("layer"))
        return false;
    return isNamedGroup(node) || !context.layer.isEmpty();
}

bool Walker::isNamedGroup(const SVGNode& node)
{
    return node.hasAttribute(QStringLiteral("id")) || node.hasAttribute(QStringLiteral("data-code"))
        || node.hasAttribute(QStringLiteral("data-name"));
}

void Walker::addGroup(const SVGNode& node, const ElementState& state, QList<PlmEntity>& members, QList<PlmEntity>& out)
{
    const PlmStyle style = PlmSvgStyles::svgStyle(state.style, state.transform, state.opacity, m_unconverted, m_viewport);
    const PlmGeometry geometry = PlmGeometry::group(PlmEntityList(members));
    if (isNamedGroup(node)) {
        const std::optional<QString> id = attributeIfPresent(node, QStringLiteral("id"));
        const std::optional<QString> code = attributeIfPresent(node, QStringLiteral("data-code"));
        std::optional<QString> name = entityName(node);
        out.append(makeEntity(geometry, id ? id : code, name ? name : code, style, entityAttributes(node, state)));
    } else {
        out.append(makeEntity(geometry, std::nullopt, std::nullopt, style, entityAttributes(node, state)));
    }
}

void Walker::expandUse(const SVGNode& node, const Context& context, const ElementState& state, QList<PlmEntity>& out)
{
    const SVGNode* target = nullptr;
    const std::optional<Context> inner = useContext(node, context, state, target);
    if (!inner)
        return;
    const qsizetype mark = out.size();
    walk(*target, *inner, out);
    addUseAttribute(node, mark, out);
}

std::optional<Context> Walker::useContext(const SVGNode& node, const Context& context, const ElementState& state,
                                          const SVGNode*& target)
{
    QString reference = node.attribute(QStringLiteral("href"));
    if (!node.hasAttribute(QStringLiteral("href")))
        reference = node.attribute(QStringLiteral("xlink:href"));
    target = reference.startsWith(QLatin1Char('#')) ? m_ids.value(reference.mid(1)) : nullptr;
    if (!target || context.useChain.contains(reference) || context.useChain.size() >= PlmSvgReader::maximumUseChain
        || context.depth >= maximumUseDepth) {
        note(QStringLiteral("référence SVG non résolue"));
        return std::nullopt;
    }
    if (context.useChain.isEmpty())
        spendExpansion(*target);
    const double x = PlmSvgStyles::svgLengthAttribute(QStringLiteral("x"), node.attributes, 0, m_viewport);
    const double y = PlmSvgStyles::svgLengthAttribute(QStringLiteral("y"), node.attributes, 0, m_viewport);
    Context inner;
    inner.style = state.style;
    inner.transform = PlmTransform::translation(x, y).concatenating(state.transform);
    inner.layer = state.layer;
    inner.useChain = context.useChain;
    inner.useChain.append(reference);
    inner.opacity = state.opacity;
    inner.ownOpacity = state.ownOpacity;
    inner.depth = context.depth + 1;
    return inner;
}

const SVGNode* Walker::referenceTarget(const SVGNode& node) const
{
    if (node.tag != QLatin1String("use"))
        return nullptr;
    QString reference = node.attribute(QStringLiteral("href"));
    if (!node.hasAttribute(QStringLiteral("href")))
        reference = node.attribute(QStringLiteral("xlink:href"));
    return reference.startsWith(QLatin1Char('#')) ? m_ids.value(reference.mid(1)) : nullptr;
}

Walker::Expansion Walker::expansionOf(const SVGNode& start)
{
    // Post-order over children and references with an explicit stack, each node summed once;
    // a reference back into the nodes being summed counts nothing (the walk refuses it).
    constexpr qint64 saturated = qint64(1) << 50;
    struct Frame {
        const SVGNode* node;
        qsizetype next;
        Expansion sum;
    };
    auto own = [](const SVGNode& node) {
        Expansion e;
        e.elements = 1;
        if (node.tag == QLatin1String("path"))
            e.pathBytes = node.attribute(QStringLiteral("d")).size();
        if (node.tag == QLatin1String("path") || node.tag == QLatin1String("text") || isShape(node.tag))
            e.drawables = e.entityLevels = 1;
        return e;
    };
    auto add = [&](Expansion& sum, const Expansion& part) {
        sum.elements = std::min(saturated, sum.elements + part.elements);
        sum.pathBytes = std::min(saturated, sum.pathBytes + part.pathBytes);
        sum.drawables = std::min(saturated, sum.drawables + part.drawables);
        sum.entityLevels = std::min(saturated, sum.entityLevels + part.entityLevels);
    };
    if (const auto it = m_expansions.constFind(&start); it != m_expansions.cend())
        return *it;
    std::vector<Frame> stack{{&start, 0, own(start)}};
    QSet<const SVGNode*> active{&start};
    Expansion result;
    while (!stack.empty()) {
        const qsizetype at = qsizetype(stack.size()) - 1;
        const SVGNode& node = *stack[size_t(at)].node;
        const qsizetype next = stack[size_t(at)].next++;
        const SVGNode* dependency = nullptr;
        const qsizetype childCount = qsizetype(node.children.size());
        if (next < childCount)
            dependency = node.children[size_t(next)].get();
        else if (next == childCount)
            dependency = referenceTarget(node);
        else {
            Expansion sum = stack.back().sum;
            // A group puts one more level above everything drawn inside it.
            if (node.tag == QLatin1String("g"))
                sum.entityLevels = std::min(saturated, sum.entityLevels + sum.drawables);
            m_expansions.insert(&node, sum);
            active.remove(&node);
            stack.pop_back();
            if (stack.empty())
                result = sum;
            else
                add(stack.back().sum, sum);
            continue;
        }
        if (!dependency || active.contains(dependency))
            continue;
        if (const auto it = m_expansions.constFind(dependency); it != m_expansions.cend()) {
            add(stack.back().sum, *it);
            continue;
        }
        active.insert(dependency);
        stack.push_back({dependency, 0, own(*dependency)});
    }
    return result;
}

void Walker::spendExpansion(const SVGNode& target)
{
    const Expansion cost = expansionOf(target);
    m_expanded.elements += cost.elements;
    m_expanded.pathBytes += cost.pathBytes;
    m_expanded.entityLevels += cost.entityLevels;
    if (m_expanded.elements > PlmSvgReader::maximumUseElements
        || m_expanded.pathBytes > PlmSvgReader::maximumUsePathBytes
        || m_expanded.entityLevels > PlmSvgReader::maximumUseEntityLevels)
        fail(SVGTree::tooLargeMessage());
}

void Walker::addUseAttribute(const SVGNode& node, qsizetype mark, QList<PlmEntity>& out)
{
    if (const std::optional<QString> id = attributeIfPresent(node, QStringLiteral("id")))
        for (qsizetype i = mark; i < out.size(); ++i)
            out[i].attributes.insert(QStringLiteral("source.use.id"), *id);
}

void Walker::addShape(const SVGNode& node, const ElementState& state, QList<PlmEntity>& out)
{
    const QList<PlmPathCommand> commands = node.tag == QLatin1String("path")
        ? PlmSvgPathData::svgPathCommands(node.attribute(QStringLiteral("d")), PlmSvgPathData::maximumCommands - m_commands)
        : PlmSvgPathData::shapeCommands(node.tag, node.attributes, m_viewport);
    if (commands.isEmpty())
        return;
    m_commands += commands.size();
    if (m_commands > PlmSvgPathData::maximumCommands)
        fail(SVGTree::tooLargeMessage());
    PlmVectorPath path;
    path.commands = PlmSvgPathData::transformedCommands(commands, state.transform.concatenating(yNegation));
    path.evenOdd = trimmed(state.style.value(QStringLiteral("fill-rule"))) == u"evenodd";
    const PlmStyle style = PlmSvgStyles::svgStyle(state.style, state.transform, state.opacity, m_unconverted, m_viewport);
    out.append(makeEntity(PlmGeometry::path(path), attributeIfPresent(node, QStringLiteral("id")), entityName(node),
                          style, entityAttributes(node, state)));
}

void Walker::addText(const SVGNode& node, const ElementState& state, QList<PlmEntity>& out)
{
    for (const auto& child : node.children)
        if (child->tag == QLatin1String("textPath") || child->hasAttribute(QStringLiteral("x"))
            || child->hasAttribute(QStringLiteral("y")) || child->hasAttribute(QStringLiteral("style"))) {
            note(QStringLiteral("position/style de fragment de texte"));
            break;
        }
    const QString sizeText = state.style.value(QStringLiteral("font-size"), QStringLiteral("12"));
    const double fontSize = PlmSvgStyles::svgLength(sizeText, 12);
    // A negative size is an error of the file; a zero size is never drawn.
    if (fontSize < 0)
        fail(QStringLiteral("Longueur SVG invalide : ") + trimmed(sizeText).toString());
    if (fontSize == 0) {
        note(QStringLiteral("élément masqué"));
        return;
    }
    const QMap<QString, QString>& a = node.attributes;
    const double x = PlmSvgStyles::svgLengthAttribute(QStringLiteral("x"), a, 0, m_viewport)
        + PlmSvgStyles::svgLengthAttribute(QStringLiteral("dx"), a, 0, m_viewport);
    const double y = PlmSvgStyles::svgLengthAttribute(QStringLiteral("y"), a, 0, m_viewport)
        + PlmSvgStyles::svgLengthAttribute(QStringLiteral("dy"), a, 0, m_viewport);

    PlmText text;
    text.transform = PlmTransform{1, 0, 0, -1, x, y}.concatenating(state.transform).concatenating(yNegation);
    text.fontSize = fontSize;
    QString family = state.style.value(QStringLiteral("font-family"), QStringLiteral("Helvetica"));
    family = family.section(QLatin1Char(','), 0, 0);
    qsizetype begin = 0;
    qsizetype end = family.size();
    auto trimmable = [](QChar c) { return c == u' ' || c == u'"' || c == u'\''; };
    while (begin < end && trimmable(family[begin]))
        ++begin;
    while (end > begin && trimmable(family[end - 1]))
        --end;
    text.fontName = family.mid(begin, end - begin);
    // Only the three anchors can be drawn; any other value ("inherit", a typo) starts the text.
    const QString anchor = trimmed(state.style.value(QStringLiteral("text-anchor"), QStringLiteral("start"))).toString();
    text.anchor = (anchor == QLatin1String("middle") || anchor == QLatin1String("end")) ? anchor : QStringLiteral("start");
    text.text = node.text();

    QMap<QString, QString> attributes = entityAttributes(node, state);
    if (state.style.contains(QStringLiteral("font-weight")))
        attributes.insert(QStringLiteral("text.font-weight"), state.style.value(QStringLiteral("font-weight")));
    if (state.style.contains(QStringLiteral("font-style")))
        attributes.insert(QStringLiteral("text.font-style"), state.style.value(QStringLiteral("font-style")));
    const PlmStyle style = PlmSvgStyles::svgStyle(state.style, state.transform, state.opacity, m_unconverted, m_viewport);
    std::optional<QString> name = entityName(node);
    out.append(makeEntity(PlmGeometry::text(text), attributeIfPresent(node, QStringLiteral("id")),
                          name ? name : std::optional<QString>(text.text), style, attributes));
}

} // namespace

namespace PlmSvgReader {

bool isSVG(const QByteArray& data)
{
    const SVGTree::Parsed parsed = SVGTree::parse(data);
    if (parsed.status == SVGTree::Status::malformed)
        return false;
    return parsed.rootTag == QLatin1String("svg");
}

void collectSVGIDs(const SVGNode& node, QHash<QString, const SVGNode*>& ids)
{
    // An explicit stack: trees built by hand need not respect the parser's depth bound.
    std::vector<const SVGNode*> pending{&node};
    while (!pending.empty()) {
        const SVGNode* current = pending.back();
        pending.pop_back();
        const auto it = current->attributes.constFind(QStringLiteral("id"));
        if (it != current->attributes.cend())
            ids.insert(*it, current);
        for (auto child = current->children.crbegin(); child != current->children.crend(); ++child)
            pending.push_back(child->get());
    }
}

PlmSvgReading read(const QByteArray& data, const QString& name)
{
    SVGTree::Parsed parsed = SVGTree::parse(data);
    if (parsed.status == SVGTree::Status::tooLarge && parsed.rootTag == QLatin1String("svg"))
        fail(SVGTree::tooLargeMessage());
    if (parsed.status != SVGTree::Status::ok || !parsed.root || parsed.root->tag != QLatin1String("svg"))
        fail(QStringLiteral("SVG invalide."));
    const SVGNode& root = *parsed.root;

    PlmSvgReading reading;
    reading.map.name = name;
    reading.map.metadata.insert(QStringLiteral("source.format"), QStringLiteral("SVG"));
    Walker walker(root, reading.unconverted);
    if (root.hasAttribute(QStringLiteral("viewBox")))
        reading.map.metadata.insert(QStringLiteral("svg.viewBox"), root.attribute(QStringLiteral("viewBox")));
    for (const auto& child : root.children)
        if (child->tag == QLatin1String("metadata") || child->tag == QLatin1String("desc")
            || child->tag == QLatin1String("title"))
            reading.map.metadata.insert(QStringLiteral("svg.") + child->tag, child->text());

    QList<PlmEntity> entities;
    walker.walk(root, Context(), entities);
    reading.map.entities = PlmEntityList(entities);
    return reading;
}

PlmImportResult importSVG(const QByteArray& data, const QString& name)
{
    PlmSvgReading reading = read(data, name);
    // The import state of every reader; the walk has already given each entity its id.
    PlmImportBuilder builder(name, QStringLiteral("SVG"));
    builder.metadata = reading.map.metadata;
    builder.entities = reading.map.entities.toList();
    builder.unconverted = reading.unconverted;
    return builder.result();
}

} // namespace PlmSvgReader
