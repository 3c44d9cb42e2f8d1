#include "tables/XMLEventStream.h"

#include "model/PlmErrors.h"


#include <expat.h>

#include <climits>
#include <cstring>
#include <exception>
#include <iterator>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

struct ParseState {
    XML_Parser parser = nullptr;
    XMLEventHandler* handler = nullptr;
    int depth = 0;
    bool sawElement = false;
    std::exception_ptr failure;
    // A few names make almost every element of a part ("row", "c", "v"…): each distinct
    // name is decoded once and its text shared, found in an open-addressed table by a hash
    // taken in the same pass that finds the prefix, so that the common names cost the same
    // wherever they first appeared.
    struct Name {
        std::string bytes;
        QString text;
    };
    static constexpr std::size_t tableSize = 128; // at most half full
    std::array<std::optional<Name>, tableSize> names;
    std::size_t nameCount = 0;
    // The text of the last character data, reused so that a text node allocates nothing, or
    // of the last short one, most values.
    QString text;
    char16_t shortText[64];

    QString overflowName; // a name the full table has no room for

    const QString& localName(const char* qualified)
    {
        const char* local = qualified;
        std::uint32_t hash = 2166136261u;
        const char* p = qualified;
        for (; *p; ++p) {
            if (*p == ':') {
                local = p + 1;
                hash = 2166136261u;
            } else {
                hash = (hash ^ static_cast<unsigned char>(*p)) * 16777619u;
            }
        }
        const std::string_view name(local, std::size_t(p - local));
        std::size_t slot = hash & (tableSize - 1);
        while (names[slot]) {
            if (names[slot]->bytes == name)
                return names[slot]->text;
            slot = (slot + 1) & (tableSize - 1);
        }
        QString text = QString::fromUtf8(name.data(), qsizetype(name.size()));
        if (nameCount < tableSize / 2) {
            names[slot] = Name{std::string(name), std::move(text)};
            ++nameCount;
            return names[slot]->text;
        }
        overflowName = std::move(text);
        return overflowName;
    }

    // UTF-8 character data as UTF-16, in the reused text when it is ASCII (numbers, codes,
    // most names).
    QStringView decode(const char* bytes, int length)
    {
        const auto* in = reinterpret_cast<const unsigned char*>(bytes);
        unsigned char any = 0;
        for (int i = 0; i < length; ++i)
            any |= in[i];
        if (any >= 0x80) {
            text = QString::fromUtf8(bytes, length);
            return text;
        }
        char16_t* out = shortText;
        if (length > int(std::size(shortText))) {
            text.resize(length); // never shared: handlers see views of it
            out = reinterpret_cast<char16_t*>(text.data());
        }
        for (int i = 0; i < length; ++i)
            out[i] = in[i];
        return QStringView(out, length);
    }

    void stop(std::exception_ptr error)
    {
        if (!failure)
            failure = error;
        XML_StopParser(parser, XML_FALSE);
    }
};

[[noreturn]] void invalid(const QString& description)
{
    throw PlmWorkError::invalid(QStringLiteral("XML XLSX invalide : ") + description);
}

// The parser's description of its error, in French for the usual ones, with its place.
QString describe(XML_Error error, XML_Size line, XML_Size column)
{
    QString text;
    switch (error) {
    case XML_ERROR_NO_MEMORY: text = QStringLiteral("mémoire insuffisante"); break;
    case XML_ERROR_SYNTAX: text = QStringLiteral("erreur de syntaxe"); break;
    case XML_ERROR_NO_ELEMENTS: text = QStringLiteral("aucun élément"); break;
    case XML_ERROR_INVALID_TOKEN: text = QStringLiteral("caractère ou balise invalide"); break;
    case XML_ERROR_UNCLOSED_TOKEN: text = QStringLiteral("balise non fermée"); break;
    case XML_ERROR_PARTIAL_CHAR: text = QStringLiteral("caractère incomplet"); break;
    case XML_ERROR_TAG_MISMATCH: text = QStringLiteral("balises mal appariées"); break;
    case XML_ERROR_DUPLICATE_ATTRIBUTE: text = QStringLiteral("attribut répété"); break;
    case XML_ERROR_JUNK_AFTER_DOC_ELEMENT: text = QStringLiteral("contenu après l’élément racine"); break;
    case XML_ERROR_UNDEFINED_ENTITY: text = QStringLiteral("entité non définie"); break;
    case XML_ERROR_BAD_CHAR_REF: text = QStringLiteral("référence de caractère invalide"); break;
    case XML_ERROR_UNCLOSED_CDATA_SECTION: text = QStringLiteral("section CDATA non fermée"); break;
    case XML_ERROR_UNKNOWN_ENCODING:
    case XML_ERROR_INCORRECT_ENCODING: text = QStringLiteral("encodage non pris en charge"); break;
    case XML_ERROR_MISPLACED_XML_PI: text = QStringLiteral("déclaration XML mal placée"); break;
    default: text = QString::fromUtf8(XML_ErrorString(error)); break;
    }
    return text + QStringLiteral(" (ligne %1, colonne %2)").arg(quint64(line)).arg(quint64(column));
}

void onStart(void* user, const XML_Char* name, const XML_Char** attributes)
{
    auto* state = static_cast<ParseState*>(user);
    if (state->failure)
        return;
    if (state->depth >= XMLEventHandler::maximumDepth) {
        state->stop(std::make_exception_ptr(PlmWorkError::invalid(
            QStringLiteral("XML XLSX invalide : plus de 64 éléments imbriqués"))));
        return;
    }
    ++state->depth;
    state->sawElement = true;
    try {
        state->handler->startElement(state->localName(name), attributes, state->depth);
    } catch (...) {
        state->stop(std::current_exception());
    }
}

// A declaration the byte search missed (a document in UTF-16) is refused all the same, before
// any of its entities can be defined.
void onDoctype(void* user, const XML_Char*, const XML_Char*, const XML_Char*, int)
{
    auto* state = static_cast<ParseState*>(user);
    state->stop(std::make_exception_ptr(
        PlmWorkError::invalid(QStringLiteral("Déclaration XML externe non prise en charge."))));
}

void onEnd(void* user, const XML_Char*)
{
    auto* state = static_cast<ParseState*>(user);
    if (state->failure || state->depth == 0)
        return;
    try {
        state->handler->endElement(state->depth);
    } catch (...) {
        state->stop(std::current_exception());
    }
    --state->depth;
}

void onCharacters(void* user, const XML_Char* text, int length)
{
    auto* state = static_cast<ParseState*>(user);
    if (state->failure || state->depth == 0)
        return;
    try {
        state->handler->characters(state->decode(text, length));
    } catch (...) {
        state->stop(std::current_exception());
    }
}

// A parser that reports its events to `state`, with no external entities.
void startParser(ParseState& state)
{
    state.parser = XML_ParserCreate(nullptr);
    if (!state.parser)
        invalid(QStringLiteral("analyseur indisponible"));
    XML_SetUserData(state.parser, &state);
    XML_SetElementHandler(state.parser, &onStart, &onEnd);
    XML_SetCharacterDataHandler(state.parser, &onCharacters);
    XML_SetStartDoctypeDeclHandler(state.parser, &onDoctype);
    XML_SetParamEntityParsing(state.parser, XML_PARAM_ENTITY_PARSING_NEVER);
}

} // namespace

const char* XMLEventHandler::attribute(const char** attributes, const char* name)
{
    for (int i = 0; attributes[i] && attributes[i + 1]; i += 2)
        if (std::strcmp(attributes[i], name) == 0)
            return attributes[i + 1];
    return nullptr;
}

void parseXMLEvents(const QByteArray& data, XMLEventHandler& handler)
{
    // Searching the raw bytes finds the same ASCII text as searching the decoded text.
    if (data.contains("<!DOCTYPE"))
        throw PlmWorkError::invalid(QStringLiteral("Déclaration XML externe non prise en charge."));
    if (data.size() > INT_MAX)
        invalid(QStringLiteral("document trop volumineux"));

    ParseState state;
    state.handler = &handler;
    startParser(state);
    const XML_Status status = XML_Parse(state.parser, data.constData(), int(data.size()), XML_TRUE);
    // The place is asked for only on a failure: finding it walks the text again.
    const XML_Error error = XML_GetErrorCode(state.parser);
    const bool failed = !state.failure && status != XML_STATUS_OK;
    const XML_Size line = failed ? XML_GetCurrentLineNumber(state.parser) : 0;
    const XML_Size column = failed ? XML_GetCurrentColumnNumber(state.parser) : 0;
    XML_ParserFree(state.parser);

    if (state.failure)
        std::rethrow_exception(state.failure);
    if (failed)
        invalid(describe(error, line, column));
    if (!state.sawElement)
        invalid(QStringLiteral("document vide"));
}

struct XMLEventStream::State {
    ParseState parse;
    bool stopped = false;  // the parser failed or was stopped: the rest is only searched
    bool doctype = false;
    bool failed = false;   // the parser's own error, with its place
    XML_Error error = XML_ERROR_NONE;
    XML_Size line = 0;
    XML_Size column = 0;
    std::string tail;      // the last bytes of the previous piece, for a declaration split in two

    void run(const char* bytes, int count, bool final)
    {
        const XML_Status status = XML_Parse(parse.parser, bytes, count, final ? XML_TRUE : XML_FALSE);
        if (status == XML_STATUS_OK)
            return;
        stopped = true;
        if (!parse.failure) {
            failed = true;
            error = XML_GetErrorCode(parse.parser);
            line = XML_GetCurrentLineNumber(parse.parser);
            column = XML_GetCurrentColumnNumber(parse.parser);
        }
    }
};

XMLEventStream::XMLEventStream(XMLEventHandler& handler)
    : m_state(std::make_unique<State>())
{
    ParseState& state = m_state->parse;
    state.handler = &handler;
    startParser(state);
}

XMLEventStream::~XMLEventStream()
{
    XML_ParserFree(m_state->parse.parser);
}

void XMLEventStream::feed(const char* bytes, qsizetype count)
{
    State& state = *m_state;
    if (state.doctype || count <= 0)
        return;
    // The declaration is searched in the raw bytes, as parseXMLEvents does before parsing.
    static constexpr std::string_view declaration = "<!DOCTYPE";
    const std::string_view piece(bytes, std::size_t(count));
    std::string joined = state.tail;
    joined.append(piece.substr(0, std::min(piece.size(), declaration.size() - 1)));
    // memmem skips ahead by the whole word, where a search for its first byte stops at every tag.
    if (joined.find(declaration) != std::string::npos
        || memmem(bytes, std::size_t(count), declaration.data(), declaration.size())) {
        state.doctype = true;
        return;
    }
    const std::size_t kept = std::min(piece.size(), declaration.size() - 1);
    if (piece.size() >= declaration.size() - 1)
        state.tail.assign(piece.substr(piece.size() - kept));
    else
        state.tail = joined.substr(joined.size() - std::min(joined.size(), declaration.size() - 1));
    if (state.stopped)
        return;
    for (qsizetype done = 0; done < count && !state.stopped;) {
        const int part = int(std::min<qsizetype>(count - done, INT_MAX));
        state.run(bytes + done, part, false);
        done += part;
    }
}

void XMLEventStream::finish()
{
    State& state = *m_state;
    if (state.doctype)
        throw PlmWorkError::invalid(QStringLiteral("Déclaration XML externe non prise en charge."));
    if (!state.stopped)
        state.run(nullptr, 0, true);
    if (state.parse.failure)
        std::rethrow_exception(state.parse.failure);
    if (state.failed)
        invalid(describe(state.error, state.line, state.column));
    if (!state.parse.sawElement)
        invalid(QStringLiteral("document vide"));
}
