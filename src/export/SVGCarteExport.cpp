#include "export/SVGCarteExport.h"

#include "canvas/VectorCanvas.h"
#include "export/SvgPathData.h"
#include "model/PlmErrors.h"
#include "model/PlmStyle.h"

#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <vector>

namespace {

double pointsFromMillimetres(double mm) { return mm * 72.0 / 25.4; }

// Sets a flag for the time of a scope, on every way out.
class FlagScope {
public:
    FlagScope(bool& flag, bool value) : m_flag(flag), m_saved(flag) { m_flag = value; }
    ~FlagScope() { m_flag = m_saved; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
    bool m_saved;
};

} // namespace

SVGCarteExport::SVGCarteExport(const SvgComposition& composition, const SvgPage& page)
    : m_composition(composition)
    , m_page(page)
{
}

SvgOutput& SVGCarteExport::piece()
{
    if (m_pieces++ > 0)
        body.raw('\n');
    return body;
}

std::string SVGCarteExport::openClipGroups(const QList<PlmVectorPath>& paths, const QTransform& transform)
{
    std::string opening;
    for (const PlmVectorPath& path : paths) {
        const int id = ++serial;
        definitions.raw("<clipPath id=\"clip-").integer(id).raw("\" clipPathUnits=\"userSpaceOnUse\"><path d=\"");
        const bool evenOdd = SvgPathData::write(definitions, path, transform);
        definitions.raw("\" clip-rule=\"").raw(evenOdd ? "evenodd" : "nonzero").raw("\"/></clipPath>");
        opening += "<g clip-path=\"url(#clip-" + std::to_string(id) + ")\">";
    }
    return opening;
}

std::string SVGCarteExport::openClipGroups(const QList<QPainterPath>& paths)
{
    std::string opening;
    for (const QPainterPath& path : paths) {
        const int id = ++serial;
        definitions.raw("<clipPath id=\"clip-").integer(id).raw("\" clipPathUnits=\"userSpaceOnUse\"><path d=\"");
        const bool evenOdd = SvgPathData::write(definitions, path);
        definitions.raw("\" clip-rule=\"").raw(evenOdd ? "evenodd" : "nonzero").raw("\"/></clipPath>");
        opening += "<g clip-path=\"url(#clip-" + std::to_string(id) + ")\">";
    }
    return opening;
}

void SVGCarteExport::writeFill(SvgOutput& out, const std::optional<PlmColor>& fill, bool evenOdd) const
{
    if (fill)
        out.attribute("fill").color(fill->red, fill->green, fill->blue).close()
            .attribute("fill-opacity").number(partAlpha(fill->alpha)).close();
    else
        out.raw(" fill=\"none\" fill-opacity=\"1\"");
    out.attribute("fill-rule").raw(evenOdd ? "evenodd" : "nonzero").close();
}

void SVGCarteExport::writeStroke(SvgOutput& out, const PlmStyle& style, double width, double dashScale) const
{
    out.attribute("stroke").color(style.stroke.red, style.stroke.green, style.stroke.blue).close()
        .attribute("stroke-opacity").number(partAlpha(style.stroke.alpha)).close()
        .attribute("stroke-width").number(width).close()
        .attribute("stroke-linecap").raw(svgLineCap(style.lineCap.value_or(0))).close()
        .attribute("stroke-linejoin").raw(svgLineJoin(style.lineJoin.value_or(0))).close();
    if (style.dash && !style.dash->isEmpty()) {
        out.attribute("stroke-dasharray");
        for (qsizetype i = 0; i < style.dash->size(); ++i) {
            if (i > 0)
                out.raw(' ');
            out.number(style.dash->at(i) * dashScale);
        }
        out.close();
    }
}

void SVGCarteExport::appendBox(const QRectF& rect, const std::optional<PlmColor>& fill,
                               const std::optional<PlmColor>& stroke, bool rounded)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    if (rounded)
        path.addRoundedRect(rect, 6, 6);
    else
        path.addRect(rect);
    SvgOutput& out = piece();
    out.raw("<path  d=\"");
    const bool evenOdd = SvgPathData::write(out, path);
    out.raw('"');
    writeFill(out, fill, evenOdd);
    if (stroke)
        out.attribute("stroke").color(stroke->red, stroke->green, stroke->blue).close()
            .attribute("stroke-opacity").number(partAlpha(stroke->alpha)).close()
            .raw(" stroke-width=\"1\" stroke-linecap=\"butt\" stroke-linejoin=\"miter\"");
    out.raw("/>");
}

void SVGCarteExport::appendMap(VectorCanvas& vector)
{
    const QTransform block = vector.blockTransform;
    FlagScope original(vector.rendersOriginalBlock, true);

    const std::optional<PlmBackgroundImage>& image = vector.backgroundImage();
    if (image) {
        if (const std::optional<QRectF> r = vector.backgroundImageViewRect()) {
            SvgOutput& out = piece();
            out.raw("<image data-plm-background=\"true\" transform=\"translate(").number(r->left()).raw(' ')
                .number(r->bottom()).raw(") scale(1 -1)\"")
                .attribute("width").number(r->width()).close()
                .attribute("height").number(r->height()).close()
                .attribute("opacity").number(image->opacity).close()
                .raw(" preserveAspectRatio=\"none\" href=\"data:")
                .raw(image->type == QLatin1String("png") ? "image/png" : "image/jpeg").raw(";base64,");
            out.base64(image->data);
            out.raw("\"/>");
        }
    }
    piece().raw("<g transform=\"matrix(").number(block.m11()).raw(' ').number(block.m12()).raw(' ')
        .number(block.m21()).raw(' ').number(block.m22()).raw(' ').number(block.dx()).raw(' ')
        .number(block.dy()).raw(")\">");

    const PlmMap& map = vector.map();
    const double strokeScale = map.sources ? 1 / vector.currentViewport().unitsPerPoint : 1.0;
    appendEntities(vector, strokeScale);

    if (vector.showEntityNames && vector.scale() > 0) {
        for (const PlmEntity& e : map.entities) {
            const std::optional<QPainterPath> label = vector.entityNameLabelPath(e, nullptr);
            if (!label)
                continue;
            SvgOutput& out = piece();
            out.raw("<path data-entity-name=\"").escaped(e.name).raw("\" paint-order=\"stroke fill\" d=\"");
            const bool evenOdd = SvgPathData::write(out, *label);
            out.raw("\" fill=\"rgb(0,0,0)\" fill-opacity=\"1\" fill-rule=\"").raw(evenOdd ? "evenodd" : "nonzero")
                .raw("\" stroke=\"rgb(255,255,255)\" stroke-opacity=\"1\" stroke-width=\"2\" "
                     "stroke-linecap=\"butt\" stroke-linejoin=\"round\"/>");
        }
    }
    piece().raw("</g>");
}

void SVGCarteExport::appendEntities(VectorCanvas& vector, double strokeScale)
{
    const PlmEntityList& entities = vector.map().entities;
    const qsizetype count = entities.size();
    // The plain entities of each chunk are written into the chunk's buffer on all cores, then
    // copied in order; the others are written here, in their place, as they take identifiers
    // and notes.
    constexpr qsizetype chunkSize = 256;
    struct Copy {
        size_t at = 0;  // in the body
        size_t start = 0;  // in the chunk's buffer
        size_t end = 0;
    };
    struct Chunk {
        qsizetype first = 0;
        qsizetype end = 0;
        SvgOutput out;
        std::vector<size_t> ends;  // where each entity's text ends in `out`
        std::exception_ptr error;
        std::vector<Copy> copies;
    };
    std::vector<Chunk> chunks(size_t((count + chunkSize - 1) / chunkSize));
    for (size_t c = 0; c < chunks.size(); ++c) {
        chunks[c].first = qsizetype(c) * chunkSize;
        chunks[c].end = std::min(count, chunks[c].first + chunkSize);
    }
    const QTransform toView = vector.mapToViewTransform();
    const auto writeChunk = [&](Chunk& chunk) {
        try {
            chunk.ends.reserve(size_t(chunk.end - chunk.first));
            std::string idPath;
            for (qsizetype i = chunk.first; i < chunk.end; ++i) {
                const PlmEntity& entity = entities.at(i);
                if (isPlainEntity(entity)) {
                    idPath = std::to_string(i);
                    writePlainEntity(chunk.out, entity, entity.id, idPath, vector, toView, strokeScale);
                }
                chunk.ends.push_back(chunk.out.size());
            }
        } catch (...) {
            chunk.error = std::current_exception();
        }
    };
    if (chunks.size() > 1)
        QtConcurrent::blockingMap(chunks, writeChunk);
    else
        std::for_each(chunks.begin(), chunks.end(), writeChunk);

    // Room is left in the body for the plain entities while the others are written in their
    // place; the chunks are then copied into that room on all cores.
    size_t written = 0;
    for (const Chunk& chunk : chunks)
        written += chunk.out.size();
    body.reserve(body.size() + written + (size_t(1) << 20));
    std::string idPath;
    for (Chunk& chunk : chunks) {
        size_t start = 0;
        for (qsizetype i = chunk.first; i < chunk.end; ++i) {
            const PlmEntity& entity = entities.at(i);
            if (!isPlainEntity(entity)) {
                idPath = std::to_string(i);
                appendEntity(entity, entity.id, idPath, vector, strokeScale);
                continue;
            }
            // A failure surfaces at its entity, after everything written before it.
            if (size_t(i - chunk.first) >= chunk.ends.size())
                std::rethrow_exception(chunk.error);
            const size_t end = chunk.ends[size_t(i - chunk.first)];
            const size_t at = body.skip(end - start);
            if (!chunk.copies.empty() && chunk.copies.back().at + (chunk.copies.back().end - chunk.copies.back().start) == at)
                chunk.copies.back().end = end;
            else
                chunk.copies.push_back({at, start, end});
            start = end;
            ++m_pieces;  // only whether any piece was written matters
        }
    }
    const auto copyChunk = [&](Chunk& chunk) {
        for (const Copy& copy : chunk.copies)
            std::memcpy(body.data() + copy.at, chunk.out.view().data() + copy.start, copy.end - copy.start);
        chunk.out.release();
    };
    if (chunks.size() > 1)
        QtConcurrent::blockingMap(chunks, copyChunk);
    else
        std::for_each(chunks.begin(), chunks.end(), copyChunk);
}

PlmExportResult SVGCarteExport::makeDocument()
{
    const QSizeF size = m_composition.size;
    if (!(size.width() > 0) || !(size.height() > 0))
        throw PlmWorkError::invalid(QStringLiteral("La carte n’a pas encore de cadrage visible."));

    // A large map writes about 35 bytes a point: reserve once rather than grow by copies.
    body.reserve(1 << 20);
    appendBox(QRectF(QPointF(0, 0), size), m_composition.background, std::nullopt, false);

    for (const SvgCompositionView& view : m_composition.views) {
        const QRectF own = view.ownBounds();
        piece().raw("<g transform=\"translate(").number(view.frame.left() - own.left()).raw(' ')
            .number(view.frame.top() - own.top()).raw(")\">");
        const bool clipped = view.kind != SvgCompositionView::Kind::legend
                             && view.kind != SvgCompositionView::Kind::decoration;
        if (clipped) {
            QPainterPath bounds;
            bounds.setFillRule(Qt::WindingFill);
            bounds.addRect(own);
            piece().raw(openClipGroups(QList<QPainterPath>{bounds}));
        } else {
            piece();
        }
        switch (view.kind) {
        case SvgCompositionView::Kind::map:
            if (view.vector)
                appendMap(*view.vector);
            break;
        case SvgCompositionView::Kind::symbols:
            appendMapSymbols(view);
            break;
        case SvgCompositionView::Kind::legend:
            appendLegend(view.legend);
            break;
        case SvgCompositionView::Kind::decoration:
            appendDecoration(view);
            break;
        case SvgCompositionView::Kind::other:
            break;
        }
        piece().raw(clipped ? "</g></g>" : "</g>");
    }

    if (!m_composition.sfSymbolNames.isEmpty())
        notes.insert(QStringLiteral("Pictogrammes concernés : ") + m_composition.sfSymbolNames.join(QStringLiteral(", "))
                     + QStringLiteral("."));

    const double W = pointsFromMillimetres(m_page.width);
    const double H = pointsFromMillimetres(m_page.height);
    const double m = pointsFromMillimetres(m_page.margin);
    definitions.raw("<clipPath id=\"export-page\"><rect").attribute("x").number(m).close()
        .attribute("y").number(m).close()
        .attribute("width").number(W - 2 * m).close()
        .attribute("height").number(H - 2 * m).close().raw("/></clipPath>");

    SvgOutput head;
    head.reserve(definitions.size() + 1024);
    head.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n")
        .raw("<svg xmlns=\"http://www.w3.org/2000/svg\"")
        .attribute("width").number(m_page.width).raw("mm\"")
        .attribute("height").number(m_page.height).raw("mm\"")
        .attribute("viewBox").raw("0 0 ").number(W).raw(' ').number(H).raw("\">");
    head.raw("<title>").escaped(m_composition.title).raw("</title><desc>");
    bool first = true;
    for (const QString& note : notes) {
        if (!first)
            head.raw(' ');
        head.escaped(note);
        first = false;
    }
    head.raw("</desc><defs>").raw(definitions.view()).raw("</defs>");
    head.raw("<rect").attribute("width").number(W).close().attribute("height").number(H).close()
        .raw(" fill=\"white\"/><g clip-path=\"url(#export-page)\"><g transform=\"translate(")
        .number(m_page.offsetX).raw(' ').number(H - m_page.offsetY).raw(") scale(").number(m_page.scale)
        .raw(' ').number(-m_page.scale).raw(")\">");
    static constexpr std::string_view tail = "</g></g></svg>";

    QByteArray bytes = body.take(head.view(), tail);

    PlmExportResult result;
    result.data = std::move(bytes);
    for (const QString& note : notes)
        result.notes.append(note);
    return result;
}
