#include "data/PlmXmlTree.h"

#include "model/PlmErrors.h"

#include <QHash>

#include <expat.h>

#include <climits>
#include <cstring>

namespace {

// The parser's working state: the root, the open elements and a cache of names so that the
// many cells of a sheet share one "c" and one "v" text.
struct TreeBuilder {
    XML_Parser parser = nullptr;
    XMLNode root;
    std::vector<XMLNode*> stack;
    qint64 count = 0;
    QHash<QByteArray, QString> names;

    const QString& intern(const char* utf8)
    {
        const QByteArray key(utf8);
        auto it = names.find(key);
        if (it == names.end())
            it = names.insert(key, QString::fromUtf8(key));
        return *it;
    }

    static void start(void* user, const XML_Char* qualified, const XML_Char** attributes)
    {
        auto* self = static_cast<TreeBuilder*>(user);
        ++self->count;
        if (self->stack.size() >= size_t(XMLNode::maximumDepth) || self->count > XMLNode::maximumElements) {
            XML_StopParser(self->parser, XML_FALSE);
            return;
        }
        auto node = std::make_unique<XMLNode>();
        const char* colon = std::strrchr(qualified, ':');
        node->name = self->intern(colon ? colon + 1 : qualified);
        for (int i = 0; attributes[i] && attributes[i + 1]; i += 2)
            node->attributes.append({self->intern(attributes[i]), QString::fromUtf8(attributes[i + 1])});
        XMLNode* parent = self->stack.empty() ? &self->root : self->stack.back();
        parent->children.push_back(std::move(node));
        self->stack.push_back(parent->children.back().get());
    }

    static void end(void* user, const XML_Char*)
    {
        auto* self = static_cast<TreeBuilder*>(user);
        if (!self->stack.empty())
            self->stack.pop_back();
    }

    static void characters(void* user, const XML_Char* s, int length)
    {
        auto* self = static_cast<TreeBuilder*>(user);
        if (!self->stack.empty())
            self->stack.back()->text.append(QString::fromUtf8(s, length));
    }
};

[[noreturn]] void invalid(const QString& description)
{
    throw PlmWorkError::invalid(QStringLiteral("XML XLSX invalide : ") + description);
}

} // namespace

std::unique_ptr<XMLNode> XMLNode::parse(const QByteArray& data)
{
    // Searching the raw bytes finds the same ASCII text as searching the decoded text.
    if (data.contains("<!DOCTYPE"))
        throw PlmWorkError::invalid(QStringLiteral("Déclaration XML externe non prise en charge."));
    if (data.size() > INT_MAX)
        invalid(QStringLiteral("document trop volumineux"));

    TreeBuilder builder;
    builder.parser = XML_ParserCreate(nullptr);
    if (!builder.parser)
        invalid(QStringLiteral("analyseur indisponible"));
    XML_SetUserData(builder.parser, &builder);
    XML_SetElementHandler(builder.parser, &TreeBuilder::start, &TreeBuilder::end);
    XML_SetCharacterDataHandler(builder.parser, &TreeBuilder::characters);
    XML_SetParamEntityParsing(builder.parser, XML_PARAM_ENTITY_PARSING_NEVER);
    const XML_Status status = XML_Parse(builder.parser, data.constData(), int(data.size()), XML_TRUE);
    const XML_Error error = XML_GetErrorCode(builder.parser);
    XML_ParserFree(builder.parser);
    builder.parser = nullptr;

    if (status == XML_STATUS_OK && !builder.root.children.empty())
        return std::move(builder.root.children.front());
    if (error != XML_ERROR_NONE)
        invalid(QString::fromUtf8(XML_ErrorString(error)));
    invalid(QStringLiteral("document vide"));
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
