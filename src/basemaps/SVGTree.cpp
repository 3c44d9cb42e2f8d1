#include "basemaps/SVGTree.h"

#include <QHash>

// The system's expat is built with document type support (and so its expansion guards); its
// configuration header says so, but expat.h does not include it.
#if __has_include(<expat_config.h>)
#include <expat_config.h>
#endif
#include <expat.h>

#include <climits>
#include <cstring>

const QString& SVGNode::text() const
{
    if (!m_text) {
        QString all;
        appendText(all);
        m_text = all;
    }
    return *m_text;
}

void SVGNode::appendText(QString& into) const
{
    // The depth is bounded by the parser, so recursion stays shallow.
    if (m_text) {
        into += *m_text;
        return;
    }
    qsizetype written = 0;
    for (size_t i = 0; i < children.size(); ++i) {
        const qsizetype offset = childOffsets[i];
        into += QStringView(ownText).mid(written, offset - written);
        written = offset;
        children[i]->appendText(into);
    }
    into += QStringView(ownText).mid(written);
}

namespace {

struct TreeBuilder {
    XML_Parser parser = nullptr;
    std::unique_ptr<SVGNode> root;
    QString rootTag;
    std::vector<SVGNode*> stack;
    qint64 count = 0;
    int entityDeclarations = 0;
    bool tooLarge = false;
    bool refused = false;
    QHash<QByteArray, QString> names;

    const QString& intern(const char* utf8)
    {
        const QByteArray key(utf8);
        auto it = names.find(key);
        if (it == names.end())
            it = names.insert(key, QString::fromUtf8(key));
        return *it;
    }

    void stop(bool large)
    {
        if (large)
            tooLarge = true;
        else
            refused = true;
        XML_StopParser(parser, XML_FALSE);
    }

    static void start(void* user, const XML_Char* qualified, const XML_Char** attributes)
    {
        auto* self = static_cast<TreeBuilder*>(user);
        const char* colon = std::strrchr(qualified, ':');
        const QString& tag = self->intern(colon ? colon + 1 : qualified);
        if (self->count == 0)
            self->rootTag = tag;
        ++self->count;
        if (self->stack.size() >= size_t(SVGTree::maximumDepth) || self->count > SVGTree::maximumElements) {
            self->stop(true);
            return;
        }
        auto node = std::make_unique<SVGNode>();
        node->tag = tag;
        for (int i = 0; attributes[i] && attributes[i + 1]; i += 2)
            node->attributes.insert(self->intern(attributes[i]), QString::fromUtf8(attributes[i + 1]));
        SVGNode* raw = node.get();
        if (self->stack.empty()) {
            self->root = std::move(node);
        } else {
            SVGNode* parent = self->stack.back();
            parent->childOffsets.push_back(parent->ownText.size());
            parent->children.push_back(std::move(node));
        }
        self->stack.push_back(raw);
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
            self->stack.back()->ownText.append(QString::fromUtf8(s, length));
    }

    // Plain internal entities only: one built from other entities is how expansion bombs
    // start, and an external one would have to be fetched.
    static void entity(void* user, const XML_Char*, int isParameter, const XML_Char* value, int length,
                       const XML_Char*, const XML_Char* systemId, const XML_Char*, const XML_Char*)
    {
        auto* self = static_cast<TreeBuilder*>(user);
        if (++self->entityDeclarations > SVGTree::maximumEntityDeclarations) {
            self->stop(true);
            return;
        }
        if (isParameter || systemId)
            return; // never read
        if (!value || length > SVGTree::maximumEntityLength || std::memchr(value, '&', size_t(length))
            || std::memchr(value, '<', size_t(length)))
            self->stop(false);
    }
};

} // namespace

SVGTree::Parsed SVGTree::parse(const QByteArray& data)
{
    Parsed parsed;
    if (data.size() > INT_MAX) {
        parsed.status = Status::tooLarge;
        return parsed;
    }
    TreeBuilder builder;
    builder.parser = XML_ParserCreate(nullptr);
    if (!builder.parser)
        return parsed;
    XML_SetUserData(builder.parser, &builder);
    XML_SetElementHandler(builder.parser, &TreeBuilder::start, &TreeBuilder::end);
    XML_SetCharacterDataHandler(builder.parser, &TreeBuilder::characters);
    XML_SetEntityDeclHandler(builder.parser, &TreeBuilder::entity);
    XML_SetParamEntityParsing(builder.parser, XML_PARAM_ENTITY_PARSING_NEVER);
#if defined(XML_DTD) && (XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 4))
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(builder.parser, 8.0f);
    XML_SetBillionLaughsAttackProtectionActivationThreshold(builder.parser, 1024 * 1024);
#endif
    const XML_Status status = XML_Parse(builder.parser, data.constData(), int(data.size()), XML_TRUE);
#if XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 4)
    if (XML_GetErrorCode(builder.parser) == XML_ERROR_AMPLIFICATION_LIMIT_BREACH)
        builder.tooLarge = true;
#endif
    XML_ParserFree(builder.parser);
    builder.parser = nullptr;

    parsed.rootTag = builder.rootTag;
    if (builder.tooLarge)
        parsed.status = Status::tooLarge;
    else if (status == XML_STATUS_OK && !builder.refused && builder.root)
        parsed.status = Status::ok;
    else
        parsed.status = Status::malformed;
    if (parsed.status == Status::ok)
        parsed.root = std::move(builder.root);
    return parsed;
}
