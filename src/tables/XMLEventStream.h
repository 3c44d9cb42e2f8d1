#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <memory>

// Event-driven reading of one XML part with expat, for the parts that can be too large to
// hold as a tree (worksheets, shared strings) and for building XMLNode trees. Document type
// declarations are refused before parsing, external entities are never resolved, nesting
// is capped at 64 open elements. Names are reported without their prefix; attributes keep
// theirs. A handler may throw PlmError: the parse stops and the error is passed on.
class XMLEventHandler {
public:
    static constexpr int maximumDepth = 64;

    virtual ~XMLEventHandler() = default;
    // depth is 1 for the document element. attributes: name, value, name, value…, null.
    virtual void startElement(const QString& localName, const char** attributes, int depth) = 0;
    virtual void characters(QStringView text) = 0;
    virtual void endElement(int depth) = 0;

    // The value of a qualified attribute name, or null.
    static const char* attribute(const char** attributes, const char* name);
};

// Throws PlmWorkError "XML XLSX invalide : …" for malformed XML, too deep nesting or a document
// without any element, and "Déclaration XML externe non prise en charge." for a DOCTYPE.
void parseXMLEvents(const QByteArray& data, XMLEventHandler& handler);

// The same for a part given piece by piece (as it is inflated): feed() every piece, then
// finish(), which throws what parseXMLEvents would have thrown for the whole text. feed()
// never throws; after a failure it only keeps looking for a document type declaration.
class XMLEventStream {
public:
    explicit XMLEventStream(XMLEventHandler& handler);
    ~XMLEventStream();
    XMLEventStream(const XMLEventStream&) = delete;
    XMLEventStream& operator=(const XMLEventStream&) = delete;

    void feed(const char* bytes, qsizetype count);
    void finish();

private:
    struct State;
    std::unique_ptr<State> m_state;
};
