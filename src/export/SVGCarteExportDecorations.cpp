#include "export/SVGCarteExport.h"

#include "page/DecorationDrawing.h"
#include "page/DecorationGlyphs.h"
#include "page/LegendLayout.h"
#include "export/SvgPathData.h"
#include "model/PlmErrors.h"
#include "model/PlmFrenchNumber.h"

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <cmath>

namespace {

// The legend swatches' outline: the platform's separator colour, a light translucent grey.
const PlmColor kSeparator{0, 0, 0, 26.0 / 255.0};

// Logos come from documents: pictures announcing more pixels than a page can hold are refused
// before any pixel is decoded.
constexpr qint64 kLogoMaxPixels = 100'000'000;

} // namespace

void SVGCarteExport::appendStyledPath(const QPainterPath& path, const std::optional<PlmColor>& fill,
                                      const PlmEditingStyle& style, bool stroked)
{
    SvgOutput& out = piece();
    out.raw("<path  d=\"");
    const bool evenOdd = SvgPathData::write(out, path);
    out.raw('"');
    writeFill(out, fill, evenOdd);
    if (stroked && style.strokeWidth > 0) {
        out.attribute("stroke").color(style.stroke.red, style.stroke.green, style.stroke.blue).close()
            .attribute("stroke-opacity").number(partAlpha(style.stroke.alpha)).close()
            .attribute("stroke-width").number(style.strokeWidth).close()
            .attribute("stroke-linecap").raw(svgLineCap(style.cap)).close()
            .attribute("stroke-linejoin").raw(svgLineJoin(style.join)).close();
        if (style.dash == 1)
            out.raw(" stroke-dasharray=\"6 4\"");
        else if (style.dash == 2)
            out.raw(" stroke-dasharray=\"1 3\"");
    }
    out.raw("/>");
}

void SVGCarteExport::openObjectGroup(const PlmEditingStyle& style, const QRectF& rect)
{
    const QPointF c = rect.center();
    piece().raw("<g transform=\"translate(").number(c.x()).raw(' ').number(c.y()).raw(") rotate(")
        .number(style.rotation).raw(") translate(").number(-c.x()).raw(' ').number(-c.y()).raw(")\">");
    m_objectOpacity = std::isfinite(style.opacity) ? std::clamp(style.opacity, 0.0, 1.0) : 1.0;
}

void SVGCarteExport::closeObjectGroup()
{
    piece().raw("</g>");
    m_objectOpacity = 1;
}

void SVGCarteExport::appendFrame(const PlmPresentation& presentation, std::optional<PlmDecorationKind> kind,
                                 const QRectF& rect)
{
    const PlmEditingStyle style = presentation.effectiveEditingStyle();
    for (const ShadowLayer& layer : decorationShadowLayers(presentation, kind, rect)) {
        SvgOutput& out = piece();
        out.raw("<path  d=\"");
        const bool evenOdd = SvgPathData::write(out, layer.path);
        out.raw('"').attribute("fill").color(layer.red, layer.green, layer.blue).close()
            .attribute("fill-opacity").number(partAlpha(layer.alpha)).close()
            .attribute("fill-rule").raw(evenOdd ? "evenodd" : "nonzero").close().raw("/>");
    }
    if (presentation.frameHidden == true)
        return;
    const QPainterPath frame = decorationFramePath(presentation, rect);
    const PlmColor fill = presentation.editing ? style.frameFill : presentation.background;
    appendStyledPath(frame, fill, style, presentation.border);
}

void SVGCarteExport::appendLegend(const LegendData& legend)
{
    const PlmPresentation text = LegendLayout::textPresentation(legend.presentation);
    const PlmEditingStyle style = text.effectiveEditingStyle();
    const QRectF bounds(QPointF(0, 0), legend.size);
    const LegendLayout layout(legend);
    openObjectGroup(style, bounds);
    appendFrame(text, std::nullopt, bounds);
    appendText(LegendLayout::titleText(legend), LegendLayout::titlePresentation(legend.presentation), layout.title);
    for (const LegendLayout::Entry& entry : layout.entries) {
        const int i = entry.index;
        if (legend.proportionalShape) {
            appendSymbol(*legend.proportionalShape, {}, entry.swatch.center(), entry.size, legend.symbolColor);
        } else {
            const PlmColor colour = i >= 0 && i < legend.colors.size() ? legend.colors[i] : legend.missingColor;
            const QRectF box(entry.swatch.left(), entry.swatch.center().y() - style.swatchSize / 3, style.swatchSize,
                             2 * style.swatchSize / 3);
            appendBox(box, colour, kSeparator, false);
        }
        const QString label = i >= 0 && i < legend.labels.size() ? legend.labels[i] : QStringLiteral("Sans donnée");
        appendText(label, text, entry.text);
    }
    if (legend.footer)
        appendText(*legend.footer, LegendLayout::footerPresentation(legend.presentation), layout.footer);
    closeObjectGroup();
}

void SVGCarteExport::appendDecoration(const SvgCompositionView& view)
{
    const PlmDecorationObject& object = view.object;
    if (object.kind == PlmDecorationKind::legend && view.context.legend) {
        appendLegend(*view.context.legend);
        return;
    }
    const PlmPresentation& p = object.presentation;
    const PlmEditingStyle style = p.effectiveEditingStyle();
    const QRectF bounds = view.ownBounds();
    const QRectF content = bounds.adjusted(style.padding, style.padding, -style.padding, -style.padding);

    openObjectGroup(style, bounds);
    try {
        appendFrame(p, object.kind, bounds);
    } catch (...) {
        closeObjectGroup();
        throw;
    }

    if (isText(object.kind)) {
        if (p.editing && !style.noFill)
            appendBox(content, p.background, std::nullopt, false);
        appendText(object.text, p, content);
    } else if (const std::optional<QPainterPath> shape = decorationShapePath(object.kind, p, content)) {
        const bool open = object.kind == PlmDecorationKind::line || object.kind == PlmDecorationKind::arrow;
        appendStyledPath(*shape, style.noFill || open ? std::nullopt : std::optional<PlmColor>(p.background), style,
                         true);
    } else if (object.kind == PlmDecorationKind::image && object.bitmap) {
        const QImage image = decodeDecorationBitmap(*object.bitmap, kLogoMaxPixels);
        if (image.isNull())
            throw PlmWorkError::invalid(QStringLiteral("Logo bitmap illisible."));
        // A PNG logo travels as it is; any other picture is turned into PNG once.
        QByteArray png;
        if (object.bitmap->startsWith("\x89PNG\r\n\x1a\n")) {
            png = *object.bitmap;
        } else {
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            if (!image.save(&buffer, "PNG"))
                throw PlmWorkError::invalid(QStringLiteral("Logo bitmap illisible."));
        }
        if (content.width() > 0 && content.height() > 0) {
            const double s = std::min(content.width() / image.width(), content.height() / image.height());
            const QPointF c = content.center();
            SvgOutput& out = piece();
            out.raw("<image transform=\"translate(").number(c.x() - image.width() * s / 2).raw(' ')
                .number(c.y() + image.height() * s / 2).raw(") scale(1 -1)\"")
                .attribute("width").number(image.width() * s).close()
                .attribute("height").number(image.height() * s).close();
            if (m_objectOpacity < 1)
                out.attribute("opacity").number(m_objectOpacity).close();
            out.raw(" href=\"data:image/png;base64,");
            out.base64(png);
            out.raw("\"/>");
        }
    } else if (object.symbol) {
        const ProportionalShape shape(*object.symbol, false);
        appendSymbol(shape, {}, content.center(), std::min(content.width(), content.height()), p.color);
    } else if (object.kind == PlmDecorationKind::scale) {
        if (!view.context.scaleMeters) {
            appendText(QStringLiteral("Échelle indisponible à ce cadrage"), p, content);
        } else {
            appendText(scaleBarLabel(*view.context.scaleMeters, style.scaleUnit), p,
                       QRectF(10, 30, bounds.width() - 20, bounds.height() - 30));
            for (const ScaleBarPiece& bar : scaleBarPath(style.scaleStyle, bounds))
                appendStyledPath(bar.path, bar.filled ? std::optional<PlmColor>(p.color) : std::nullopt, style, true);
            if (view.context.scaleLatitude) {
                PlmPresentation small = p;
                small.fontSize = 10;
                // Three significant digits, as the page on screen shows it.
                appendText(QStringLiteral("Locale à ") + formatFrenchNumber(*view.context.scaleLatitude, 3)
                               + QStringLiteral("°"),
                           small, QRectF(10, 2, bounds.width() - 20, 16));
            }
        }
    } else if (object.kind == PlmDecorationKind::north) {
        if (!view.context.northDetermined) {
            appendText(QStringLiteral("Nord indéterminé"), p, content);
        } else {
            appendStyledPath(northArrowPath(style.northStyle, bounds), p.color, style, true);
            PlmPresentation centred = p;
            centred.alignment = PlmTextAlignment::center;
            appendText(QStringLiteral("N"), centred, QRectF(0, bounds.height() - 25, bounds.width(), 25));
        }
    }
    closeObjectGroup();
}
