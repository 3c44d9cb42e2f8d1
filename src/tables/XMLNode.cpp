#include "tables/XMLNode.h"
#include "tables/XMLEventStream.h"

#include "model/PlmErrors.h"

namespace {

// Builds the tree from the parser's events: each start appends a node to the innermost open
// element (or to the root) and opens it.
class TreeBuilder : public XMLEventHandler {
public:
    XMLNode root;

    void startElement(const QString& localName, const char** attributes, int) override
    {
        if (++m_count > XMLNode::maximumElements)
            throw PlmWorkError::invalid(QStringLiteral("XML XLSX invalide : plus de 750 000 éléments"));
        auto node = std::make_unique<XMLNode>();
        node->name = localName;
        for (int i = 0; attributes[i] && attributes[i + 1]; i += 2)
            node->attributes.append({QString::fromUtf8(attributes[i]), QString::fromUtf8(attributes[i + 1])});
        XMLNode* parent = m_stack.empty() ? &root : m_stack.back();
        parent->children.push_back(std::move(node));
        m_stack.push_back(parent->children.back().get());
    }

    void characters(QStringView text) override
    {
        if (!m_stack.empty())
            m_stack.back()->text.append(text);
    }

    void endElement(int) override
    {
        if (!m_stack.empty())
            m_stack.pop_back();
    }

private:
    std::vector<XMLNode*> m_stack;
    qint64 m_count = 0;
};

} // namespace

std::unique_ptr<XMLNode> XMLNode::parse(const QByteArray& data)
{
    TreeBuilder builder;
    parseXMLEvents(data, builder);
    return std::move(builder.root.children.front());
}

QList<const XMLNode*> XMLNode::descendants(const QList<const XMLNode*>& nodes, const QString& name)
{
    // An explicit stack: the depth is bounded by the parser, but nodes built by hand need not be.
    QList<const XMLNode*> found;
    std::vector<const XMLNode*> pending(nodes.crbegin(), nodes.crend());
    while (!pending.empty()) {
        const XMLNode* node = pending.back();
        pending.pop_back();
        if (node->name == name)
            found.append(node);
        for (auto it = node->children.crbegin(); it != node->children.crend(); ++it)
            pending.push_back(it->get());
    }
    return found;
}

bool XMLNode::hasAttribute(const QString& key) const
{
    for (const auto& [k, v] : attributes)
        if (k == key)
            return true;
    return false;
}

QString XMLNode::attribute(const QString& key) const
{
    for (const auto& [k, v] : attributes)
        if (k == key)
            return v;
    return QString();
}

const XMLNode* XMLNode::child(const QString& childName) const
{
    for (const auto& c : children)
        if (c->name == childName)
            return c.get();
    return nullptr;
}

QList<const XMLNode*> XMLNode::childNodes() const
{
    QList<const XMLNode*> list;
    list.reserve(qsizetype(children.size()));
    for (const auto& c : children)
        list.append(c.get());
    return list;
}
