#include "canvas/VectorCanvasLayers.h"

#include "canvas/CanvasPathBuilder.h"
#include "canvas/CanvasStrokeOutline.h"
#include "canvas/VectorCanvas.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

namespace {

// How long a gesture rests before the moved picture is drawn again sharp.
constexpr int kRefineDelayMs = 150;
constexpr int kMaxID = 0xFFFFFF;
const QColor kFillWeight(255, 0, 0);

// x × a / 255 on the four channels of a premultiplied pixel.
inline QRgb byteMul(QRgb x, uint a)
{
    uint t = (x & 0xff00ff) * a;
    t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
    t &= 0xff00ff;
    uint u = ((x >> 8) & 0xff00ff) * a;
    u = u + ((u >> 8) & 0xff00ff) + 0x800080;
    u &= 0xff00ff00;
    return u | t;
}

// Per channel, the sum of two premultiplied pixels, at most 255 (rounding may exceed it by one).
inline QRgb addSaturated(QRgb a, QRgb b)
{
    const int alpha = std::min(255, qAlpha(a) + qAlpha(b));
    const int red = std::min(alpha, qRed(a) + qRed(b));
    const int green = std::min(alpha, qGreen(a) + qGreen(b));
    const int blue = std::min(alpha, qBlue(a) + qBlue(b));
    return qRgba(red, green, blue, alpha);
}

// As the painter's brush would have it (to within a unit).
QRgb premultipliedColour(const PlmColor& c)
{
    auto channel = [](double v) { return v > 0 ? (v < 1 ? int(v * 255 + 0.5) : 255) : 0; };
    return qPremultiply(qRgba(channel(c.red), channel(c.green), channel(c.blue), channel(c.alpha)));
}

// A plain scanline fill that writes a leaf's id into the pixels whose centres
// its rings cover, by the path's fill rule: Qt's own fill costs a microsecond
// or more a call, mostly outside the pixels, where a small area needs a tenth.
class IDRasterizer {
public:
    IDRasterizer(QImage& image, int top, const QTransform& device) : m_image(image), m_top(top), m_t(device) {}

    void fill(const VectorCanvasLayers::Item& item)
    {
        m_edges.clear();
        if (item.ring) {
            const QPolygonF& ring = *item.ring;
            const qsizetype n = ring.size();
            QPointF previous = map(ring[n - 1]);
            for (qsizetype i = 0; i < n; ++i) {
                const QPointF p = map(ring[i]);
                addEdge(previous, p);
                previous = p;
            }
        } else {
            addPath(item.path);
        }
        scan(item.fillRule == Qt::WindingFill, quint32(item.id) | 0xff000000u);
    }

private:
    struct Edge {
        double x0, y0, x1, y1;
        int direction;
    };
    QPointF map(const QPointF& p) const { return QPointF(m_t.m11() * p.x() + m_t.dx(), m_t.m22() * p.y() + m_t.dy() - m_top); }
    void addEdge(const QPointF& a, const QPointF& b)
    {
        if (a.y() == b.y())
            return;
        if (a.y() < b.y())
            m_edges.push_back({a.x(), a.y(), b.x(), b.y(), 1});
        else
            m_edges.push_back({b.x(), b.y(), a.x(), a.y(), -1});
    }
    void addPath(const QPainterPath& path)
    {
        const int n = path.elementCount();
        QPointF start;
        QPointF current;
        bool open = false;
        for (int i = 0; i < n; ++i) {
            const QPainterPath::Element e = path.elementAt(i);
            if (e.type == QPainterPath::MoveToElement) {
                if (open)
                    addEdge(current, start);
                start = current = map(e);
                open = true;
            } else if (e.type == QPainterPath::LineToElement) {
                const QPointF p = map(e);
                addEdge(current, p);
                current = p;
            } else if (e.type == QPainterPath::CurveToElement && i + 2 < n) {
                const QPointF c1 = map(e);
                const QPointF c2 = map(path.elementAt(i + 1));
                const QPointF end = map(path.elementAt(i + 2));
                const QPointF p0 = current;
                constexpr int steps = 8;
                for (int k = 1; k <= steps; ++k) {
                    const double t = double(k) / steps;
                    const double u = 1 - t;
                    const QPointF p = u * u * u * p0 + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * end;
                    addEdge(current, p);
                    current = p;
                }
                i += 2;
            }
        }
        if (open)
            addEdge(current, start);
    }
    void scan(bool winding, quint32 value)
    {
        if (m_edges.empty())
            return;
        double top = m_edges.front().y0;
        double bottom = m_edges.front().y1;
        for (const Edge& e : m_edges) {
            top = std::min(top, e.y0);
            bottom = std::max(bottom, e.y1);
        }
        const int height = m_image.height();
        const int width = m_image.width();
        // Rows whose centre y + 0.5 lies in [top, bottom).
        const int first = std::max(0, int(std::ceil(top - 0.5)));
        const int last = std::min(height - 1, int(std::ceil(bottom - 0.5)) - 1);
        if (first > last)
            return;
        std::sort(m_edges.begin(), m_edges.end(), [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });
        size_t next = 0;
        m_active.clear();
        for (int row = first; row <= last; ++row) {
            const double y = row + 0.5;
            while (next < m_edges.size() && m_edges[next].y0 <= y)
                m_active.push_back(int(next++));
            m_crossings.clear();
            size_t kept = 0;
            for (size_t k = 0; k < m_active.size(); ++k) {
                const Edge& e = m_edges[size_t(m_active[k])];
                if (e.y1 <= y)
                    continue;
                m_active[kept++] = m_active[k];
                m_crossings.push_back({e.x0 + (y - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.direction});
            }
            m_active.resize(kept);
            if (m_crossings.size() < 2)
                continue;
            std::sort(m_crossings.begin(), m_crossings.end(),
                      [](const std::pair<double, int>& a, const std::pair<double, int>& b) { return a.first < b.first; });
            quint32* line = reinterpret_cast<quint32*>(m_image.scanLine(row));
            int count = 0;
            for (size_t k = 0; k + 1 < m_crossings.size(); ++k) {
                count += winding ? m_crossings[k].second : 1;
                const bool inside = winding ? count != 0 : (count & 1) != 0;
                if (!inside)
                    continue;
                const int from = std::max(0, int(std::ceil(m_crossings[k].first - 0.5)));
                const int to = std::min(width, int(std::ceil(m_crossings[k + 1].first - 0.5)));
                for (int x = from; x < to; ++x)
                    line[x] = value;
            }
        }
    }

    QImage& m_image;
    int m_top;
    QTransform m_t;
    std::vector<Edge> m_edges;
    std::vector<int> m_active;
    std::vector<std::pair<double, int>> m_crossings;
};

} // namespace

template <typename Work>
void VectorCanvasLayers::forEachStrip(Work&& work) const
{
    std::vector<std::thread> workers;
    for (int s = 1; s < stripCount; ++s)
        workers.emplace_back(work, s);
    work(0);
    for (std::thread& t : workers)
        t.join();
}

void VectorCanvasLayers::render(const std::vector<std::vector<Item>>& strips)
{
    const QRect r = key.rect;
    stripCount = int(strips.size());
    if (ids.size() != r.size())
        ids = QImage(r.size(), QImage::Format_RGB32);
    if (weights.size() != r.size())
        weights = QImage(r.size(), QImage::Format_ARGB32_Premultiplied);
    uchar* idBits = ids.bits();
    uchar* weightBits = weights.bits();
    forEachStrip([&](int s) {
        const int y0 = stripTop(s, stripCount, r.height());
        const int y1 = stripTop(s + 1, stripCount, r.height());
        if (y1 <= y0)
            return;
        // Each strip draws into its own rows of the layers.
        QImage idStrip(idBits + qsizetype(y0) * ids.bytesPerLine(), r.width(), y1 - y0, ids.bytesPerLine(),
                       QImage::Format_RGB32);
        idStrip.fill(Qt::black);
        QImage weightStrip(weightBits + qsizetype(y0) * weights.bytesPerLine(), r.width(), y1 - y0,
                           weights.bytesPerLine(), QImage::Format_ARGB32_Premultiplied);
        weightStrip.fill(Qt::transparent);
        const QTransform t = key.device * QTransform::fromTranslate(-r.left(), -(r.top() + y0));
        IDRasterizer idFill(idStrip, r.top() + y0, key.device * QTransform::fromTranslate(-r.left(), 0));
        QPainter painter(&weightStrip);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setTransform(t);
        QPainterPath pieces;
        // One brush and pen object each: the painter skips a state change when
        // handed the very same one, where a new brush per leaf costs an update.
        const QBrush fillBrush(kFillWeight);
        const QBrush noBrush(Qt::NoBrush);
        const QPen noPen(Qt::NoPen);
        for (const Item& item : strips[size_t(s)]) {
            if (item.filled)
                idFill.fill(item);
            const bool stroked = item.pen.style() != Qt::NoPen;
            const bool drawnPieces = stroked && item.pieces && CanvasStrokeOutline::build(pieces, item.path, item.pen);
            if (item.ring) {
                painter.setBrush(item.filled ? fillBrush : noBrush);
                painter.setPen(stroked && !drawnPieces ? item.pen : noPen);
                if (item.filled || (stroked && !drawnPieces))
                    painter.drawPolygon(item.ring->constData(), int(item.ring->size()), item.fillRule);
            } else {
                if (item.filled)
                    painter.fillPath(item.path, fillBrush);
                if (stroked && !drawnPieces)
                    painter.strokePath(item.path, item.pen);
            }
            if (drawnPieces)
                painter.fillPath(pieces, item.pen.color());
        }
    });
    ++renderCount;
    pictureValid = false;
}

void VectorCanvasLayers::compose()
{
    const int width = ids.width();
    const int height = ids.height();
    if (picture.size() != ids.size())
        picture = QImage(ids.size(), QImage::Format_ARGB32_Premultiplied);
    const QRgb* tableData = table.data();
    const uint tableSize = uint(table.size());
    const QRgb green = outlineColours[0] | 0xff000000u;
    const QRgb blue = outlineColours[1] | 0xff000000u;
    const QRgb third = outlineColours[2] | 0xff000000u;
    auto idAt = [&](int x, int y) -> uint {
        return reinterpret_cast<const QRgb*>(ids.constScanLine(y))[x] & 0xffffffu;
    };
    // A pixel that a fill's edge crosses without covering its centre takes
    // the leaf of a neighbour whose centre is covered.
    auto neighbourID = [&](int x, int y) -> uint {
        static const int offsets[8][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
        for (const auto& o : offsets) {
            const int nx = x + o[0];
            const int ny = y + o[1];
            if (nx < 0 || ny < 0 || nx >= width || ny >= height)
                continue;
            if (const uint id = idAt(nx, ny))
                return id;
        }
        return 0;
    };
    forEachStrip([&](int s) {
        const int y0 = stripTop(s, stripCount, height);
        const int y1 = stripTop(s + 1, stripCount, height);
        for (int y = y0; y < y1; ++y) {
            const QRgb* idRow = reinterpret_cast<const QRgb*>(ids.constScanLine(y));
            const QRgb* weightRow = reinterpret_cast<const QRgb*>(weights.constScanLine(y));
            QRgb* out = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < width; ++x) {
                const QRgb w = weightRow[x];
                if (qAlpha(w) == 0) {
                    out[x] = 0;
                    continue;
                }
                const uint fillWeight = qRed(w);
                QRgb c = 0;
                if (fillWeight) {
                    uint id = idRow[x] & 0xffffffu;
                    if (id == 0)
                        id = neighbourID(x, y);
                    c = id < tableSize ? tableData[id] : 0;
                    if (fillWeight != 255)
                        c = byteMul(c, fillWeight);
                }
                if (const uint g = qGreen(w))
                    c = addSaturated(c, byteMul(green, g));
                if (const uint b = qBlue(w))
                    c = addSaturated(c, byteMul(blue, b));
                // The third outline colour paints alpha alone.
                const int rest = qAlpha(w) - int(fillWeight) - qGreen(w) - qBlue(w);
                if (rest > 1)
                    c = addSaturated(c, byteMul(third, uint(rest)));
                out[x] = c;
            }
        }
    });
    pictureValid = true;
}

void VectorCanvasLayers::readOverrides(const QHash<QString, PlmColor>& overrides)
{
    entityOverride.assign(entries.size(), 0);
    if (overrides.isEmpty())
        return;
    // The owner recolours its overrides in place: the keys keep their order, and reading the
    // values in that order costs far less than looking every entity up.
    // The keys kept here hold their text, which no one can change in place: a key with the
    // same text pointer is the very same key, told without reading the text.
    bool sameKeys = size_t(overrides.size()) == overrideKeys.size();
    if (sameKeys) {
        size_t k = 0;
        for (auto it = overrides.cbegin(); it != overrides.cend() && sameKeys; ++it, ++k)
            sameKeys = it.key().constData() == overrideKeys[k].constData() && it.key().size() == overrideKeys[k].size();
    }
    if (!sameKeys) {
        QHash<QString, int> firstByID;
        firstByID.reserve(qsizetype(entries.size()));
        nextWithID.assign(entries.size(), -1);
        for (int i = int(entries.size()) - 1; i >= 0; --i) {
            int& first = firstByID[entries[size_t(i)]->entity.id];
            if (first != 0)
                nextWithID[size_t(i)] = first - 1;
            first = i + 1;
        }
        overrideKeys.clear();
        overrideEntity.clear();
        overrideColours.clear();
        overrideKeys.reserve(size_t(overrides.size()));
        overrideEntity.reserve(size_t(overrides.size()));
        for (auto it = overrides.cbegin(); it != overrides.cend(); ++it) {
            overrideKeys.push_back(it.key());
            overrideEntity.push_back(firstByID.value(it.key(), 0) - 1);
        }
    }
    if (overrideColours.size() != overrideKeys.size()) {
        overrideColours.assign(overrideKeys.size(), PlmColor{-1, -1, -1, -1});
        overrideRgb.assign(overrideKeys.size(), 0);
    }
    size_t k = 0;
    for (auto it = overrides.cbegin(); it != overrides.cend(); ++it, ++k) {
        const PlmColor& c = it.value();
        if (!(c == overrideColours[k])) {
            overrideColours[k] = c;
            overrideRgb[k] = premultipliedColour(c);
        }
        const quint64 colour = quint64(overrideRgb[k]) | (quint64(1) << 32);
        for (int e = overrideEntity[k]; e >= 0; e = nextWithID[size_t(e)])
            entityOverride[size_t(e)] = colour;
    }
}

void VectorCanvasLayers::readClasses(const VectorCanvasFillClasses& classes)
{
    entityOverride.assign(entries.size(), 0);
    const QStringList& keys = classes.keys;
    if (entityClassKey.size() != entries.size() || keys.constData() != classKeys.constData()
        || keys.size() != classKeys.size()) {
        // Once per map: the position of each entity's id in the keys, the last one winning.
        QHash<QString, int> positionByID;
        positionByID.reserve(keys.size());
        for (qsizetype k = 0; k < keys.size(); ++k)
            positionByID.insert(keys[k], int(k));
        entityClassKey.resize(entries.size());
        for (size_t e = 0; e < entries.size(); ++e)
            entityClassKey[e] = positionByID.value(entries[e]->entity.id, -1);
        classKeys = keys;
    }
    // A handful of class colours, each converted once.
    std::vector<quint64> colours(size_t(classes.colours.size()) + 1);
    for (qsizetype c = 0; c < classes.colours.size(); ++c)
        colours[size_t(c)] = quint64(premultipliedColour(classes.colours[c])) | (quint64(1) << 32);
    const quint64 missing = quint64(premultipliedColour(classes.missing)) | (quint64(1) << 32);
    const size_t classCount = size_t(classes.colours.size());
    for (size_t e = 0; e < entries.size(); ++e) {
        const int k = entityClassKey[e];
        if (k < 0)
            continue;
        const int index = k < classes.classes.size() ? classes.classes[k] : -1;
        entityOverride[e] = index >= 0 && size_t(index) < classCount ? colours[size_t(index)] : missing;
    }
}

VectorCanvasLayers::TableChange VectorCanvasLayers::updateTable(const QHash<QString, PlmColor>& overrides,
                                                                const VectorCanvasFillClasses& classes)
{
    if (classes.keys.isEmpty())
        readOverrides(overrides);
    else
        readClasses(classes);
    std::vector<QRgb>& next = nextTable;
    next.assign(colouring.size(), 0);
    TableChange change = TableChange::same;
    for (size_t id = 1; id < colouring.size(); ++id) {
        const Colouring& c = colouring[id];
        QRgb rgb = 0;
        if (!c.isPolyline) {
            const quint64 override = c.isArea ? entityOverride[size_t(c.entity)] : 0;
            rgb = override ? QRgb(override) : c.fill;
        }
        const uint a = qAlpha(rgb);
        if (a != 0 && a != 255)
            return TableChange::translucent;
        if ((a != 0) != (id < filled.size() && filled[id] != 0))
            change = TableChange::filledChanged;
        next[id] = rgb;
    }
    if (change == TableChange::same && next != table)
        change = TableChange::colours;
    if (change != TableChange::same) {
        table.swap(next);
        pictureValid = false;
    }
    return change;
}

bool VectorCanvas::hasPendingRefinement() const
{
    return m_layers && m_layers->refineTimer.isActive();
}

int VectorCanvas::layerRenderCount() const
{
    return m_layers ? m_layers->renderCount : 0;
}

namespace {

// Whether two entries give the layers the same leaves: what renderLayers reads of them.
bool drawsAlike(const CanvasEntry& a, const CanvasEntry& b)
{
    if (a.leaves.size() != b.leaves.size())
        return false;
    for (qsizetype k = 0; k < a.leaves.size(); ++k) {
        const CanvasLeaf& x = a.leaves[k];
        const CanvasLeaf& y = b.leaves[k];
        if (x.visible != y.visible || x.isPoint != y.isPoint || x.isArea != y.isArea
            || x.isPolyline != y.isPolyline || x.hasBounds != y.hasBounds || x.bounds != y.bounds
            || x.point != y.point || !(x.style == y.style) || !x.clips.isEmpty() || !y.clips.isEmpty()
            || x.path != y.path)
            return false;
    }
    return true;
}

} // namespace

bool VectorCanvas::drawLayered(QPainter& painter, const QRectF& dirty)
{
    // Exports and pictures draw vectors (and exact pixels): layers are for the screen.
    if (!usesScreenLayers || !usesFastDrawing || rendersForExport || !(m_scale > 0) || !std::isfinite(m_scale))
        return false;
    QPaintDevice* target = painter.device();
    if (!target || target->devType() != QInternal::Widget || !painter.paintEngine()
        || painter.paintEngine()->type() != QPaintEngine::Raster)
        return false;

    m_cache.ensureAll();
    const int count = m_cache.size();
    if (!m_layers) {
        m_layers = std::make_unique<VectorCanvasLayers>();
        m_layers->refineTimer.setSingleShot(true);
        m_layers->refineTimer.setInterval(kRefineDelayMs);
        QObject::connect(&m_layers->refineTimer, &QTimer::timeout, [this] {
            m_layers->refineRequested = true;
            setNeedsDisplay();
        });
    }
    VectorCanvasLayers& layers = *m_layers;
    auto sameEntries = [&](const std::vector<std::shared_ptr<const CanvasEntry>>& kept) {
        if (kept.size() != size_t(count))
            return false;
        for (int i = 0; i < count; ++i)
            if (kept[size_t(i)].get() != m_cache.builtEntry(i))
                return false;
        return true;
    };
    if (layers.ineligible && sameEntries(*layers.ineligible))
        return false;
    // An entry rebuilt for a change the areas do not show (a name, an attribute) keeps the
    // layers: the names are drawn over them. Its handle is taken so that the next frame
    // compares pointers again.
    if (!layers.ids.isNull() && layers.entries.size() == size_t(count)) {
        for (int i = 0; i < count; ++i) {
            const CanvasEntry* now = m_cache.builtEntry(i);
            const std::shared_ptr<const CanvasEntry>& kept = layers.entries[size_t(i)];
            if (kept.get() == now || !now || !drawsAlike(*kept, *now))
                continue;
            if (kept->entity.id != now->entity.id)
                layers.overrideKeys.clear();  // the class colours go by id: map them again
            layers.entries[size_t(i)] = m_cache.entryHandle(i);
        }
    }

    const QTransform viewT = painter.transform();  // block-free view coordinates → logical device
    const QTransform mapT(m_scale, 0, 0, m_yAxisSign * m_scale, m_offset.x(), m_offset.y());
    const QTransform world = mapT * viewT;
    // Logical device → device pixels (the pixel ratio, a redirection).
    const QTransform pixels = viewT.inverted() * painter.deviceTransform();
    const QTransform device = world * pixels;
    if (device.type() > QTransform::TxScale)
        return false;
    const QTransform preBlock = blockTransform.inverted() * painter.deviceTransform();
    const QRect area = pixels.mapRect(QRectF(0, 0, target->width(), target->height())).toAlignedRect();
    const QRect rect = preBlock.mapRect(bounds()).toAlignedRect() & area;
    if (rect.isEmpty())
        return true;
    const VectorCanvasLayers::Key key{device, rect, selectedIndex, accentColor.rgba()};
    const bool sameGeometry = !layers.ids.isNull() && sameEntries(layers.entries);
    const QRect dirtyPixels = preBlock.mapRect(dirty).toAlignedRect() & rect;

    auto drawPicture = [&](const QTransform& placement) {
        painter.save();
        painter.setTransform(placement * pixels.inverted());
        if (placement.type() == QTransform::TxTranslate) {
            // A drag: the picture goes whole pixels, a copy rather than a resampling.
            const QPoint by(qRound(placement.dx()), qRound(placement.dy()));
            painter.setTransform(pixels.inverted());
            painter.drawImage(layers.key.rect.topLeft() + by, layers.picture);
        } else if (!placement.isIdentity()) {
            // Nearest pixels while the gesture runs; the sharp picture follows.
            painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
            painter.drawImage(QPointF(layers.key.rect.topLeft()), layers.picture);
        } else {
            const QRect source = dirtyPixels.translated(-rect.topLeft());
            painter.drawImage(dirtyPixels.topLeft(), layers.picture, source);
        }
        painter.restore();
    };

    if (sameGeometry) {
        const VectorCanvasLayers::TableChange change = layers.updateTable(fillOverrides, fillClasses);
        if (change == VectorCanvasLayers::TableChange::translucent)
            return false;
        const bool coloursHold = change != VectorCanvasLayers::TableChange::filledChanged;
        if (coloursHold && layers.key == key) {
            if (!layers.pictureValid)
                layers.compose();
            drawPicture(QTransform());
            drawSelectedGroupFrame(painter);
            return true;
        }
        // A pan or zoom in progress: the last picture, moved, until the view rests.
        if (coloursHold && !layers.refineRequested && layers.key.selectedIndex == key.selectedIndex
            && layers.key.accent == key.accent && layers.key.device.isInvertible()) {
            if (!layers.pictureValid)
                layers.compose();
            drawPicture(layers.key.device.inverted() * device);
            drawSelectedGroupFrame(painter);
            layers.refineTimer.start();
            return true;
        }
    }
    // A small change of the map (a live edit) is drawn directly, exactly, and costs what it
    // did; the layers are drawn again when the whole view is next painted.
    if (!layers.ids.isNull() && !layers.refineRequested
        && qint64(dirtyPixels.width()) * dirtyPixels.height() * 4 < qint64(rect.width()) * rect.height())
        return false;
    if (!renderLayers(device, rect, world))
        return false;
    layers.refineRequested = false;
    layers.refineTimer.stop();
    layers.compose();
    drawPicture(QTransform());
    drawSelectedGroupFrame(painter);
    return true;
}

bool VectorCanvas::renderLayers(const QTransform& device, const QRect& rect, const QTransform& world)
{
    VectorCanvasLayers& layers = *m_layers;
    const VectorCanvasLayers::Key key{device, rect, selectedIndex, accentColor.rgba()};
    const int count = m_cache.size();
    std::vector<std::shared_ptr<const CanvasEntry>> entries;
    entries.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        entries.push_back(m_cache.entryHandle(i));

    // The leaves to draw, in drawing order.
    struct Leaf {
        const CanvasLeaf* leaf;
        int entity;
        bool single;
    };
    std::vector<Leaf> leaves;
    leaves.reserve(size_t(count) + size_t(count) / 8);
    for (int i = 0; i < count; ++i) {
        const CanvasEntry& entry = *entries[size_t(i)];
        const bool single = selectedIndex && *selectedIndex == i && entry.leaves.size() == 1;
        for (const CanvasLeaf& leaf : entry.leaves) {
            if (!leaf.visible)
                continue;
            if (leaf.isPoint || !leaf.clips.isEmpty()) {
                // Point marks and clipped leaves keep the direct drawing.
                layers.ineligible = std::move(entries);
                return false;
            }
            if (leaf.hasBounds)
                leaves.push_back({&leaf, i, single});
        }
    }
    if (leaves.size() > size_t(kMaxID))
        return false;

    const int level = CanvasEntityCache::detailLevel(std::sqrt(std::abs(world.determinant())));
    const bool similar = world.type() <= QTransform::TxScale
        && std::abs(std::abs(world.m11()) - std::abs(world.m22())) <= 1e-3 * std::abs(world.m11());
    const double outlineScale = similar ? std::abs(world.m11()) : 0.0;
    const int threads = int(std::min(std::max(1u, std::thread::hardware_concurrency()), 8u));
    const QRectF rectF(rect);

    // Each leaf's drawing, made on every core: the simplified outline for this zoom (each
    // leaf keeps its own), the pen in the outline's true colour and the device box.
    struct Prepared {
        VectorCanvasLayers::Item item;
        VectorCanvasLayers::Colouring colouring;
        QRectF box;
        bool shown = false;
    };
    std::vector<Prepared> prepared(leaves.size());
    {
        std::atomic<size_t> next{0};
        auto prepare = [&] {
            std::optional<PlmStyle> lastStyle;
            QPen lastPen;
            constexpr size_t chunk = 256;
            for (size_t k = next.fetch_add(chunk); k < leaves.size(); k = next.fetch_add(chunk)) {
                for (size_t j = k; j < std::min(leaves.size(), k + chunk); ++j) {
                    const CanvasLeaf& leaf = *leaves[j].leaf;
                    const bool single = leaves[j].single;
                    Prepared& out = prepared[j];
                    QPen pen(Qt::NoPen);
                    if (single || (leaf.style.lineWidth > 0 && leaf.style.stroke.alpha > 0)) {
                        // Neighbours mostly share their stroke: so do their pens.
                        if (single || !lastStyle || !sameStroke(*lastStyle, leaf.style)) {
                            lastPen = strokePen(leaf.style, single, 1.0 / m_scale);
                            if (single)
                                lastStyle.reset();
                            else
                                lastStyle = leaf.style;
                        }
                        pen = lastPen;
                    }
                    const double grow = (pen.style() == Qt::NoPen ? 0.0 : pen.widthF() * outlineScale) + 2;
                    out.box = device.mapRect(leaf.bounds).adjusted(-grow, -grow, grow, grow);
                    out.shown = CanvasEntityCache::overlaps(out.box, rectF);
                    if (!out.shown)
                        continue;
                    VectorCanvasLayers::Item& item = out.item;
                    item.pen = pen;
                    item.path = CanvasEntityCache::drawingPath(leaf, level);
                    item.fillRule = item.path.fillRule();
                    item.ring = leaf.isPolyline ? nullptr : CanvasEntityCache::drawingRing(leaf, level);
                    item.pieces = pen.style() != Qt::NoPen && pen.widthF() * outlineScale > 1
                        && CanvasStrokeOutline::supports(pen);
                    VectorCanvasLayers::Colouring& c = out.colouring;
                    c.entity = leaves[j].entity;
                    c.isArea = leaf.isArea;
                    c.isPolyline = leaf.isPolyline;
                    c.fill = leaf.style.fill ? premultipliedColour(*leaf.style.fill) : 0;
                }
            }
        };
        std::vector<std::thread> workers;
        if (leaves.size() > 2000)
            for (int t = 1; t < threads; ++t)
                workers.emplace_back(prepare);
        prepare();
        for (std::thread& t : workers)
            t.join();
    }

    const int stripCount = std::clamp(rect.height() / 32, 1, threads);
    std::vector<std::vector<VectorCanvasLayers::Item>> strips{size_t(stripCount)};
    for (auto& strip : strips)
        strip.reserve(leaves.size() / size_t(stripCount) + 16);
    auto stripOf = [&](double y) {
        const int row = std::clamp(int(std::floor(y)) - rect.top(), 0, rect.height() - 1);
        int s = int(qint64(row) * stripCount / rect.height());
        while (s > 0 && row < VectorCanvasLayers::stripTop(s, stripCount, rect.height()))
            --s;
        while (s + 1 < stripCount && row >= VectorCanvasLayers::stripTop(s + 1, stripCount, rect.height()))
            ++s;
        return s;
    };
    std::vector<VectorCanvasLayers::Colouring> colouring(1);
    colouring.reserve(leaves.size() + 1);
    int outlineColourCount = 0;
    QRgb outlineColours[3] = {0, 0, 0};
    QPen lastPen(Qt::NoPen);
    QPen lastWeightPen(Qt::NoPen);
    for (size_t j = 0; j < leaves.size(); ++j) {
        Prepared& p = prepared[j];
        if (!p.shown)
            continue;
        VectorCanvasLayers::Item& item = p.item;
        if (item.pen.style() != Qt::NoPen) {
            if (!(item.pen == lastPen)) {
                // The pen paints its weight channel (green, blue, or alpha alone) with the colour's alpha.
                lastPen = item.pen;
                const QColor colour = item.pen.color();
                const QRgb rgb = colour.rgb() | 0xff000000u;
                int channel = 0;
                while (channel < outlineColourCount && outlineColours[channel] != rgb)
                    ++channel;
                if (channel == 3) {
                    layers.ineligible = std::move(entries);
                    return false;
                }
                if (channel == outlineColourCount)
                    outlineColours[outlineColourCount++] = rgb;
                static const QRgb channels[3] = {qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(0, 0, 0)};
                QColor weight = QColor::fromRgb(channels[channel]);
                weight.setAlpha(colour.alpha());
                lastWeightPen = item.pen;
                lastWeightPen.setColor(weight);
            }
            item.pen = lastWeightPen;
        }
        item.id = int(colouring.size());
        colouring.push_back(p.colouring);
        const int first = stripOf(p.box.top());
        const int last = stripOf(p.box.bottom());
        for (int s = first + 1; s <= last; ++s) {
            VectorCanvasLayers::Item copy = item;
            if (!item.ring || item.pieces)
                copy.path = threadOwnPath(item.path);
            strips[size_t(s)].push_back(std::move(copy));
        }
        strips[size_t(first)].push_back(std::move(item));
    }
    prepared.clear();

    layers.ineligible.reset();
    if (layers.entries != entries) {
        // Entity indices changed: map the override keys again.
        layers.overrideKeys.clear();
        layers.entityClassKey.clear();
    }
    layers.entries = std::move(entries);
    layers.colouring = std::move(colouring);
    layers.filled.assign(layers.colouring.size(), 0);
    layers.table.clear();
    if (layers.updateTable(fillOverrides, fillClasses) == VectorCanvasLayers::TableChange::translucent) {
        // Translucent fills are drawn directly until the map changes.
        layers.ineligible = layers.entries;
        layers.ids = QImage();
        return false;
    }
    for (size_t id = 1; id < layers.table.size(); ++id)
        layers.filled[id] = qAlpha(layers.table[id]) != 0;
    for (auto& strip : strips)
        for (VectorCanvasLayers::Item& item : strip)
            item.filled = layers.filled[size_t(item.id)] != 0;
    layers.key = key;
    std::copy(outlineColours, outlineColours + 3, layers.outlineColours);
    layers.render(strips);
    return true;
}

void VectorCanvas::drawSelectedGroupFrame(QPainter& painter)
{
    if (!selectedIndex || *selectedIndex < 0 || *selectedIndex >= m_cache.size())
        return;
    const CanvasEntry& entry = m_cache.entry(*selectedIndex);
    if (entry.entity.hidden() || !entry.entity.geometry.isGroup() || !entry.hasPathBounds)
        return;
    const QTransform mapT(m_scale, 0, 0, m_yAxisSign * m_scale, m_offset.x(), m_offset.y());
    painter.save();
    painter.setPen(QPen(accentColor, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(mapT.mapRect(entry.pathBounds).adjusted(-3, -3, 3, 3));
    painter.restore();
}
