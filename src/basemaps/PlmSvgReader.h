#pragma once

#include "basemaps/PlmImportResult.h"
#include "model/PlmMap.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>

class SVGNode;

// What the SVG reader makes of a file: the map (not yet validated, without sources) and, by
// French phrase, how many elements it left unconverted.
struct PlmSvgReading {
    PlmMap map;
    QMap<QString, int> unconverted;
};

// The SVG reader: drawable elements become path and text entities, named groups become group
// entities, and whatever cannot be represented is counted instead of guessed. Nothing outside
// the file is ever loaded. Callable from any thread; no state is kept between calls.
namespace PlmSvgReader {

// Whether the bytes are XML whose root element's local name is "svg" (a document too large
// for the reader still answers true, so that its import reports why it is refused).
bool isSVG(const QByteArray& data);

// The map named `name` drawn by the SVG bytes, its metadata "source.format" = "SVG" and the
// "svg." keys. Throws PlmImportError with the French sentence of the first fault.
PlmSvgReading read(const QByteArray& data, const QString& name);

// The same as an import result (not a native document), as the vector importer hands on.
PlmImportResult importSVG(const QByteArray& data, const QString& name);

// Every element with an "id", under that id, in pre-order (a later element wins a shared id).
void collectSVGIDs(const SVGNode& node, QHash<QString, const SVGNode*>& ids);

// Elements walked (`use` expansions included) beyond this many end the import.
inline constexpr qint64 maximumWalkedElements = 500'000;
// What `use` references may copy in all: elements, and bytes of path data. Each outermost
// reference is measured before it is expanded.
inline constexpr qint64 maximumUseElements = 100'000;
inline constexpr qint64 maximumUsePathBytes = qint64(64) << 20;
// What they may create: each entity drawn by a copy counted once per group level above it, so
// that a deep tree of copies is refused even with few elements (16,384 shapes 16 groups deep
// would count 278,528).
inline constexpr qint64 maximumUseEntityLevels = 200'000;
// `use` references followed inside one another.
inline constexpr int maximumUseChain = 32;

} // namespace PlmSvgReader
