#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

// One element of an SVG document: its local name, its attributes keyed by qualified name
// ("inkscape:label", "xlink:href"), its children and its character data.
class SVGNode {
public:
    SVGNode() = default;
    SVGNode(const SVGNode&) = delete;
    SVGNode& operator=(const SVGNode&) = delete;

    QString tag;
    QMap<QString, QString> attributes;
    std::vector<std::unique_ptr<SVGNode>> children;
    // Character data written directly inside this element, and where in it each child stood.
    QString ownText;
    std::vector<qsizetype> childOffsets;

    bool hasAttribute(const QString& key) const { return attributes.contains(key); }
    // The attribute's value, empty when absent.
    QString attribute(const QString& key) const { return attributes.value(key); }

    // All character data of the element and of its descendants, in document order, unchanged.
    // Built once and kept, so an element drawn many times through `use` costs one copy.
    const QString& text() const;

private:
    void appendText(QString& into) const;
    mutable std::optional<QString> m_text;
};

// The element tree of SVG bytes, built with expat. External entities are never fetched; a
// document type may declare plain internal entities (drawing programs write namespace
// names that way) but not entities built from other entities, and expansion is capped.
struct SVGTree {
    static constexpr int maximumDepth = 256;
    static constexpr qint64 maximumElements = 500'000;
    static constexpr int maximumEntityDeclarations = 256;
    static constexpr qsizetype maximumEntityLength = 65'536;

    enum class Status { ok, malformed, tooLarge };

    struct Parsed {
        Status status = Status::malformed;
        // The local name of the first element, even when parsing stopped later.
        QString rootTag;
        std::unique_ptr<SVGNode> root;
    };

    static Parsed parse(const QByteArray& data);

    // The refusal of a document past the bounds of the parser or of the conversion.
    static QString tooLargeMessage() { return QStringLiteral("SVG trop volumineux ou trop imbriqué."); }
};
