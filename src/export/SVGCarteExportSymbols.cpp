#include "export/SVGCarteExport.h"

#include "canvas/VectorCanvas.h"
#include "export/SvgPathData.h"
#include "model/PlmErrors.h"

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <utility>

void SVGCarteExport::appendSymbol(const ProportionalShape& shape, std::string_view attributes, const QPointF& center,
                                  double size, const PlmColor& color)
{
    if (shape.nativeSymbolUnavailable) {
        notes.insert(QStringLiteral("Pictogramme indisponible sur cet ordinateur : absent, comme à l’écran."));
        return;
    }
    if (!(size > 0) || !shape.bounds)
        return;
    const QRectF bounds = *shape.bounds;
    const double side = std::max(bounds.width(), bounds.height());
    if (!(side > 0))
        return;

    if (shape.nativeSymbol) {
        SymbolPictureCache::Picture& picture = symbolPictures.picture(shape, color, size);
        if (picture.id.isEmpty()) {
            picture.id = QStringLiteral("sf-") + QString::number(++serial);
            // The file holds the picture from now on: only its id is kept.
            const QImage bitmap = std::exchange(picture.image, QImage());
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            if (bitmap.isNull() || !bitmap.save(&buffer, "PNG"))
                throw PlmWorkError::invalid(QStringLiteral("Impossible d’incorporer le pictogramme."));
            definitions.raw("<image id=\"").escaped(picture.id).raw('"')
                .attribute("width").integer(bitmap.width()).close()
                .attribute("height").integer(bitmap.height()).close()
                .raw(" href=\"data:image/png;base64,");
            definitions.base64(png);
            definitions.raw("\"/>");
        }
        const QString id = picture.id;
        // The rasterizer's transparent border around a visible outline, in points.
        const double q = size * shape.bitmapPad(size) / 512.0;
        SvgOutput& out = piece();
        out.raw("<use ").raw(attributes).raw(" href=\"#").escaped(id).raw("\" transform=\"translate(")
            .number(center.x() - size / 2 - q).raw(' ').number(center.y() + size / 2 + q).raw(") scale(")
            .number(size / 512.0).raw(' ').number(-size / 512.0).raw(")\"");
        if (m_objectOpacity < 1)
            out.attribute("opacity").number(m_objectOpacity).close();
        out.raw("/>");
        notes.insert(QStringLiteral("Pictogrammes : seuls ces symboles sont incorporés en PNG 512 px, dessinés depuis le "
                                    "jeu d’icônes installé. Fonds, autres symboles, textes et cadres de légende, habillage restent "
                                    "vectoriels."));
        return;
    }

    const double t = size / side;
    const QTransform transform(t, 0, 0, t, center.x() - t * bounds.center().x(), center.y() - t * bounds.center().y());
    piece().raw("<g ").raw(attributes).raw('>');
    for (const ProportionalShape::Part& part : shape.parts) {
        piece().raw(openClipGroups(part.clips, transform));
        const PlmStyle style = shape.exportStyle(part, color, size);
        SvgOutput& out = piece();
        out.raw("<path d=\"");
        const bool evenOdd = SvgPathData::write(out, part.path, transform);
        out.raw('"');
        writeFill(out, style.fill, evenOdd);
        if (style.lineWidth > 0)
            writeStroke(out, style, style.lineWidth, t);
        out.raw("/>");
        SvgOutput& closing = piece();
        for (qsizetype i = 0; i < part.clips.size(); ++i)
            closing.raw("</g>");
    }
    piece().raw("</g>");
}

bool SVGCarteExport::symbolPrecedes(const QString& p, const QString& q, const QHash<QString, SvgSymbolItem>& first,
                                    const QHash<QString, SvgSymbolItem>& partner)
{
    auto largest = [&](const QString& id) {
        const auto a = first.constFind(id);
        const auto b = partner.constFind(id);
        return std::max(a != first.constEnd() ? a->size : 0.0, b != partner.constEnd() ? b->size : 0.0);
    };
    const double mp = largest(p);
    const double mq = largest(q);
    if (mp == mq)
        return p != q && p < q;
    return mp > mq;
}

void SVGCarteExport::appendMapSymbols(const SvgCompositionView& layer)
{
    const VectorCanvas* vector = layer.vector;
    const QTransform block = vector ? vector->blockTransform : QTransform();
    piece().raw("<g data-plm-map-symbols=\"true\" transform=\"matrix(").number(block.m11()).raw(' ')
        .number(block.m12()).raw(' ').number(block.m21()).raw(' ').number(block.m22()).raw(' ')
        .number(block.dx()).raw(' ').number(block.dy()).raw(")\">");
    if (!vector || !layer.series.shape) {
        piece().raw("</g>");
        return;
    }
    const double scale = vector->scale();
    const QPointF offset = vector->offset();
    const double sign = vector->yAxisSign();

    QHash<QString, SvgSymbolItem> a;
    QHash<QString, SvgSymbolItem> b;
    a.reserve(layer.series.items.size());
    for (const SvgSymbolItem& item : layer.series.items)
        a.insert(item.id, item);
    const bool paired = layer.partner && layer.partner->shape;
    QStringList order;
    if (paired) {
        for (const SvgSymbolItem& item : layer.partner->items)
            b.insert(item.id, item);
        QSet<QString> ids;
        for (auto it = a.constBegin(); it != a.constEnd(); ++it)
            ids.insert(it.key());
        for (auto it = b.constBegin(); it != b.constEnd(); ++it)
            ids.insert(it.key());
        order = QStringList(ids.begin(), ids.end());
        std::sort(order.begin(), order.end(),
                  [&](const QString& p, const QString& q) { return symbolPrecedes(p, q, a, b); });
    } else {
        order.reserve(layer.series.items.size());
        for (const SvgSymbolItem& item : layer.series.items)
            order.append(item.id);
    }

    std::string attributes;
    for (const QString& id : order) {
        const auto ia = a.constFind(id);
        const auto ib = b.constFind(id);
        const bool inA = ia != a.constEnd();
        const bool inB = ib != b.constEnd();
        if (!inA && !inB)
            continue;
        const PlmPoint anchor = inA ? ia->point : ib->point;
        const QPointF at(anchor.x * scale + offset.x(), anchor.y * sign * scale + offset.y());
        SvgOutput attribute;
        attribute.raw("data-symbol-entity=\"").escaped(id).raw('"');
        attributes = attribute.str();
        auto writeA = [&] {
            if (inA)
                appendSymbol(*layer.series.shape, attributes, at, ia->size, layer.series.color);
        };
        auto writeB = [&] {
            if (inB)
                appendSymbol(*layer.partner->shape, attributes, at, ib->size, layer.partner->color);
        };
        if (!paired) {
            writeA();
            continue;
        }
        const double sa = inA ? ia->size : 0;
        const double sb = inB ? ib->size : 0;
        if (sa > sb || (sa == sb && layer.partnerInFront)) {
            writeA();
            writeB();
        } else {
            writeB();
            writeA();
        }
    }
    piece().raw("</g>");
}
