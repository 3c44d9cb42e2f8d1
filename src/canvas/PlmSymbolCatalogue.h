#pragma once

#include "model/PlmMap.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>

// The symbol catalogue: the symbol names the program knows, those it can draw here, the French
// categories and search words, and the rule that turns a category, a search text and the
// library's SVG symbols into the rows of the symbol picker. No window needed.
namespace PlmSymbolCatalogue {

struct Category {
    QString title;
    QStringList keywords; // a name belongs to the category when it contains one of them
};

// Every symbol name of the glyph table, in ascending byte order.
const QStringList& sfSymbolCatalogue();
// The catalogue's names that draw a glyph here, in catalogue order; computed once.
const QStringList& availableSystemSymbols();
// The eleven categories; the first ("Tous") filters nothing.
const QList<Category>& symbolCategories();
// The forty French search words, by symbol name.
QMap<QString, QString> searchWords();
// The popup item after the categories that lists the library's SVG symbols only.
QString svgLibraryTitle();
QString emptyMessage();

// A library SVG symbol: its stored document and the decoded map.
struct SvgItem {
    QString url;
    PlmMap map;
    bool operator==(const SvgItem&) const = default;
};

// One row of the picker: a named symbol or a library SVG symbol.
struct Entry {
    enum class Kind { sf, svg };
    Kind kind = Kind::sf;
    QString sfName;
    SvgItem svg;

    static Entry sfSymbol(const QString& name) { return Entry{Kind::sf, name, {}}; }
    static Entry svgSymbol(const SvgItem& item) { return Entry{Kind::svg, {}, item}; }
    bool isSVG() const { return kind == Kind::svg; }
    // The symbol name, or the SVG document's file name without its extension.
    QString displayName() const;
    bool operator==(const Entry&) const = default;
};

// The display name of a stored SVG symbol document.
QString svgDisplayName(const QString& url);

// The rows for a search text (trimmed here), a category index (clamped to the categories;
// the index equal to their count selects the library's SVG symbols only) and the library's
// symbols. Library symbols come first (only when SVG symbols are accepted), then the typed
// name when it draws and is not listed yet, then the matching names in catalogue order.
// The searchable text of each name is folded once per process; a call folds only the query.
QList<Entry> filter(const QString& searchText, int categoryIndex, const QList<SvgItem>& svgItems, bool acceptsSVG);

} // namespace PlmSymbolCatalogue
