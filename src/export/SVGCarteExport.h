#pragma once

#include "canvas/SymbolPictureCache.h"
#include "export/PlmExportResult.h"
#include "export/SvgComposition.h"
#include "export/SvgOutput.h"

#include <QHash>
#include <QList>
#include <QPainterPath>
#include <QRectF>
#include <QString>

#include <optional>
#include <set>
#include <string>
#include <string_view>

class VectorCanvas;
struct PlmEntity;
struct PlmPresentation;
struct PlmStyle;
struct PlmVectorPath;

// The page an SVG is drawn on: paper and margin in millimetres, and where the composition
// lands (page points, y up from the lower-left corner: p ↦ offset + scale · p).
struct SvgPage {
    double width = 210;
    double height = 297;
    double margin = 0;
    double scale = 1;
    double offsetX = 0;
    double offsetY = 0;
};

// Writes the composed page as one standalone SVG document: map entities as paths, texts as
// `text` elements, only the background picture and SF Symbols as embedded PNG or JPEG. One
// writer per export; makeDocument() once. The element writers append to `body` (pieces
// joined by line feeds) and `definitions`; every generated identifier takes the next `serial`.
//
// Split by concern: SVGCarteExport.cpp (document, clips, boxes), SVGCarteExportText.cpp,
// SVGCarteExportSymbols.cpp (symbols and symbol layers), SVGCarteExportEntities.cpp and
// SVGCarteExportDecorations.cpp (decorations and legends).
class SVGCarteExport {
public:
    SVGCarteExport(const SvgComposition& composition, const SvgPage& page);

    // The file and its notes (sorted). Throws PlmWorkError with a French message.
    PlmExportResult makeDocument();

    // ---- Shared buffers ----
    SvgOutput definitions;
    SvgOutput body;
    std::set<QString> notes;
    int serial = 0;
    // The embedded pictures of system symbols, one per glyph and colour (see SymbolPictureCache).
    SymbolPictureCache symbolPictures;

    // Starts the next body piece (a line of the file) and gives the buffer to write it into.
    SvgOutput& piece();
    // Opening tags of one clipping group per path, registering the clips in `definitions`.
    std::string openClipGroups(const QList<PlmVectorPath>& paths, const QTransform& transform = QTransform());
    std::string openClipGroups(const QList<QPainterPath>& paths);

    // ---- Boxes and texts ----
    void appendBox(const QRectF& rect, const std::optional<PlmColor>& fill, const std::optional<PlmColor>& stroke,
                   bool rounded);
    // Lays the text out as the screen does and writes one `text` element per line.
    void appendText(const QString& text, const PlmPresentation& presentation, const QRectF& rect);

    // ---- Symbols ----
    void appendSymbol(const ProportionalShape& shape, std::string_view attributes, const QPointF& center,
                      double size, const PlmColor& color);
    void appendMapSymbols(const SvgCompositionView& layer);
    // Whether entity p is written before q in a concentric pair: larger symbols first, then ids.
    static bool symbolPrecedes(const QString& p, const QString& q, const QHash<QString, SvgSymbolItem>& first,
                               const QHash<QString, SvgSymbolItem>& partner);

    // ---- Map entities ----
    void appendEntity(const PlmEntity& entity, const QString& fillKey, const std::string& idPath,
                      VectorCanvas& vector, double strokeScale);
    // An entity whose output depends on nothing but itself (no point, text or clip, nor a group
    // holding one: no identifier taken, no note): such entities are written on several threads.
    static bool isPlainEntity(const PlmEntity& entity);
    // What appendEntity() writes for a plain entity, each piece after its line feed.
    void writePlainEntity(SvgOutput& out, const PlmEntity& entity, const QString& fillKey, std::string_view idPath,
                          const VectorCanvas& vector, const QTransform& toView, double strokeScale) const;

    // ---- Decorations and legends ----
    void appendDecoration(const SvgCompositionView& view);
    void appendLegend(const LegendData& legend);
    // An object's group places and turns it; its opacity goes into each element written until
    // closeObjectGroup(), since the page applies it to each part drawn, not to the whole.
    void openObjectGroup(const PlmEditingStyle& style, const QRectF& rect);
    void closeObjectGroup();
    void appendFrame(const PlmPresentation& presentation, std::optional<PlmDecorationKind> kind, const QRectF& rect);

private:
    void appendMap(VectorCanvas& vector);
    void appendEntities(VectorCanvas& vector, double strokeScale);
    // The `path` element of an entity drawn as one path.
    void writeEntityPath(SvgOutput& out, const PlmEntity& entity, const QString& fillKey, std::string_view idPath,
                         const VectorCanvas& vector, const QTransform& toView, double strokeScale) const;
    void appendStyledPath(const QPainterPath& path, const std::optional<PlmColor>& fill,
                          const PlmEditingStyle& style, bool stroked);
    // The fill attributes of a path element ("none" without a colour), then its fill rule.
    void writeFill(SvgOutput& out, const std::optional<PlmColor>& fill, bool evenOdd) const;
    // The stroke attributes of a map style drawn `width` wide, its dashes scaled by dashScale.
    void writeStroke(SvgOutput& out, const PlmStyle& style, double width, double dashScale) const;
    // An alpha of a part of the object being written, times the object's opacity.
    double partAlpha(double alpha) const { return alpha * m_objectOpacity; }

    SvgComposition m_composition;
    SvgPage m_page;
    int m_pieces = 0;
    double m_objectOpacity = 1;
};
