#pragma once

#include "canvas/CanvasEntityCache.h"
#include "model/PlmColor.h"

#include <QHash>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QTransform>

#include <memory>
#include <optional>
#include <vector>

struct VectorCanvasFillClasses;

// The areas of a map as the screen shows them, kept as two device-pixel
// layers so that a change of their colours rasterises no geometry:
// - `ids`: the leaf whose fill covers each pixel's centre (drawn by a plain
//   scanline fill of our own, without antialiasing);
// - `weights`: the very drawing of every fill and outline in map order, with
//   antialiasing, where each fill paints pure red and the outlines of (at
//   most three) outline colours pure green, pure blue and black without
//   colour. Compositing is linear in each channel, so red holds how much of
//   the pixel the fills show, green and blue how much the first two outline
//   colours show and alpha less the three the third, with every overlap and
//   edge as the direct drawing has it.
// A picture is then each pixel's leaf colour × its fill weight + each outline
// colour × its weight. Exact but where two fills of different colours meet
// inside one pixel (under their outline). Screen only: exports draw vectors.
struct VectorCanvasLayers {
    // One leaf to draw, in drawing order; ids count from 1.
    struct Item {
        const QPolygonF* ring = nullptr;  // one closed ring of straight segments, else null
        QPainterPath path;                // the drawn path (a private copy for each extra strip)
        QPen pen;                         // in its weight colour; Qt::NoPen when not stroked
        bool pieces = false;              // the stroke drawn as filled pieces
        bool filled = false;
        Qt::FillRule fillRule = Qt::OddEvenFill;
        int id = 0;
    };
    // What a leaf's colour depends on.
    struct Colouring {
        int entity = 0;  // the top-level entity, whose id names the class colour
        bool isArea = false;
        bool isPolyline = false;
        QRgb fill = 0;  // the style's, premultiplied
    };
    // What the layers were drawn for.
    struct Key {
        QTransform device;  // map units → device pixels
        QRect rect;         // device pixels covered
        std::optional<int> selectedIndex;
        QRgb accent = 0;
        bool operator==(const Key&) const = default;
    };

    Key key;
    std::vector<std::shared_ptr<const CanvasEntry>> entries;  // the entries drawn (kept alive)
    std::vector<Colouring> colouring;                          // by id; 0 unused
    std::vector<quint8> filled;                                // by id: drawn as a fill
    QRgb outlineColours[3] = {0, 0, 0};                        // of green, blue and alpha alone
    QImage ids;      // RGB32, id in the low 24 bits, 0 where no fill
    QImage weights;  // ARGB32 premultiplied
    std::vector<QRgb> table;  // premultiplied colour by id, of the last composition
    std::vector<QRgb> nextTable;
    QImage picture;           // the composition
    bool pictureValid = false;
    int stripCount = 1;

    // Entries with points, clips or many outline colours: drawn directly until they change.
    std::optional<std::vector<std::shared_ptr<const CanvasEntry>>> ineligible;
    int renderCount = 0;

    // A gesture draws the last picture moved; the layers are drawn again
    // once it has rested.
    QTimer refineTimer;
    bool refineRequested = false;

    // Draws each strip's items into the layers, the strips at once.
    void render(const std::vector<std::vector<Item>>& strips);
    // Composes `picture` from the layers with `table`.
    void compose();
    // The colours of the leaves for these overrides, into `table`. Translucent
    // fills are not for the layers (their overlaps would show); a change of
    // which leaves are filled needs the layers drawn again.
    enum class TableChange { same, colours, filledChanged, translucent };
    TableChange updateTable(const QHash<QString, PlmColor>& overrides, const VectorCanvasFillClasses& classes);
    // Fill overrides by top-level entity: the premultiplied colour, bit 32 set when present.
    std::vector<quint64> entityOverride;
    std::vector<QString> overrideKeys;  // the overrides' keys in their hash's order
    std::vector<int> overrideEntity;    // by key: the first entity with that id, or -1
    std::vector<int> nextWithID;        // by entity: the next entity with the same id, or -1
    std::vector<PlmColor> overrideColours;  // by key: the colour last read, and its pixel
    std::vector<QRgb> overrideRgb;
    void readOverrides(const QHash<QString, PlmColor>& overrides);
    // The same overrides given by class: the keys are mapped to entities once per map.
    QStringList classKeys;              // the keys mapped, kept to tell the same list
    std::vector<int> entityClassKey;    // by entity: its position in the keys, or -1
    void readClasses(const VectorCanvasFillClasses& classes);
    // Rows of strip `s` of `count` over a height.
    static int stripTop(int s, int count, int height) { return int(qint64(height) * s / count); }
    // Runs work(s) for each strip, on as many threads.
    template <typename Work>
    void forEachStrip(Work&& work) const;
};
