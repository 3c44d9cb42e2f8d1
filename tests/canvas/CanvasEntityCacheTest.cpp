#include "canvas/CanvasEntityCache.h"
#include "support/CanvasTestMaps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace CanvasTestMaps;

namespace {

PlmEntity denseCircle(const QString& id, double cx, double cy, double r, int points)
{
    PlmPolygon polygon;
    for (int k = 0; k < points; ++k) {
        const double a = 2 * std::numbers::pi * k / points;
        polygon.exterior.append({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return PlmEntity(id, id, PlmGeometry::polygon(polygon), style({0, 0, 0, 1}, PlmColor{1, 0, 0, 1}));
}

} // namespace

TEST(CanvasEntityCache, SimplifiedPathsStayWithinTheTolerance)
{
    const CanvasEntry entry = CanvasEntityCache::build(denseCircle("c", 0, 0, 100, 400));
    ASSERT_EQ(entry.leaves.size(), 1);
    const CanvasLeaf& leaf = entry.leaves.first();
    // 0.1 pixel per unit: the circle is 20 pixels wide and needs few vertices.
    const QPainterPath& coarse = CanvasEntityCache::drawingPath(leaf, 0.1);
    EXPECT_LT(coarse.elementCount(), leaf.path.elementCount() / 4);
    EXPECT_EQ(&CanvasEntityCache::drawingPath(leaf, 0.1), &coarse);  // kept for the next frame
    for (int i = 0; i < coarse.elementCount(); ++i) {
        const QPainterPath::Element e = coarse.elementAt(i);
        EXPECT_NEAR(std::hypot(e.x, e.y), 100, 1e-9);  // kept vertices are original ones
    }
    // Every original vertex lies within a pixel (10 units) of the simplified outline.
    const QPolygonF polygon = coarse.toFillPolygon();
    for (int i = 0; i < leaf.path.elementCount(); i += 7) {
        const QPointF p(leaf.path.elementAt(i).x, leaf.path.elementAt(i).y);
        double best = 1e9;
        for (int k = 0; k + 1 < polygon.size(); ++k) {
            const QPointF a = polygon[k], b = polygon[k + 1];
            const QPointF d = b - a;
            const double t = std::clamp(QPointF::dotProduct(p - a, d) / QPointF::dotProduct(d, d), 0.0, 1.0);
            best = std::min(best, std::hypot(a.x() + t * d.x() - p.x(), a.y() + t * d.y() - p.y()));
        }
        EXPECT_LE(best, 10.0);
    }
    // Zoomed in, the path is drawn whole.
    EXPECT_EQ(CanvasEntityCache::drawingPath(leaf, 100.0).elementCount(), leaf.path.elementCount());
}

TEST(CanvasEntityCache, GridCandidatesAndReuse)
{
    PlmEntityList entities;
    for (int i = 0; i < 400; ++i)
        entities.append(squareEntity(QString::number(i), (i % 20) * 10, (i / 20) * 10, (i % 20) * 10 + 5, (i / 20) * 10 + 5));
    entities.append(pointEntity("p", 3, 3));
    entities.append(squareEntity("big", -1000, -1000, 1000, 1000));
    CanvasEntityCache cache;
    cache.reset(entities);
    EXPECT_EQ(cache.candidates(QRectF(52, 52, 1, 1)), (QList<int>{105, 401}));
    EXPECT_EQ(cache.candidates(QRectF(2, 2, 2, 2)), (QList<int>{0, 400, 401}));
    EXPECT_TRUE(cache.candidates(QRectF(5000, 5000, 1, 1)).isEmpty());
    // A view far wider than int cells: the cells are clamped before they become int.
    EXPECT_EQ(cache.candidates(QRectF(-1e300, 52, 2e300, 1)).size(), 21);
    EXPECT_EQ(cache.builtSinceReset(), 402);

    PlmEntityList changed = entities;
    changed.edit(7).name = QStringLiteral("renommé");
    cache.reset(changed);
    cache.ensureAll();
    EXPECT_EQ(cache.builtSinceReset(), 1);

    // An insertion shifts the others, which keep their entries; so does a removal.
    PlmEntityList inserted = changed;
    inserted.insert(3, squareEntity("new", 0, 0, 1, 1));
    cache.reset(inserted);
    cache.ensureAll();
    EXPECT_EQ(cache.builtSinceReset(), 1);
    inserted.removeAt(0);
    cache.reset(inserted);
    cache.ensureAll();
    EXPECT_EQ(cache.builtSinceReset(), 0);
    EXPECT_EQ(cache.candidates(QRectF(52, 52, 1, 1)), (QList<int>{105, 401}));  // +1 −1

    // Equal values that share nothing are recognised too.
    cache.reset(PlmEntityList(inserted.toList()));
    cache.ensureAll();
    EXPECT_EQ(cache.builtSinceReset(), 0);
}

TEST(CanvasEntityCache, FlatCurvesBecomeLinesWhenTheyAreTooSmallToShow)
{
    PlmVectorPath circle;
    circle.commands = {PlmPathCommand::move({1, 0}), PlmPathCommand::arc({0, 0}, {1, 0}, {0, 1}, 0, 2 * std::numbers::pi),
                       PlmPathCommand::close()};
    // Two circles, so the path is long enough to be worth simplifying.
    PlmVectorPath twice = circle;
    for (const PlmPathCommand& c : circle.commands)
        twice.commands.append(c.applying(PlmTransform::translation(5, 0)));
    const CanvasEntry entry = CanvasEntityCache::build(
        PlmEntity("c", "c", PlmGeometry::path(twice), style({0, 0, 0, 1}, PlmColor{1, 0, 0, 1})));
    const CanvasLeaf& leaf = entry.leaves.first();
    auto curves = [](const QPainterPath& p) {
        int n = 0;
        for (int i = 0; i < p.elementCount(); ++i)
            n += p.elementAt(i).type == QPainterPath::CurveToElement ? 1 : 0;
        return n;
    };
    EXPECT_EQ(curves(leaf.path), 16);
    EXPECT_EQ(curves(CanvasEntityCache::drawingPath(leaf, 0.2)), 0);  // a circle 0.4 pixel wide
    EXPECT_EQ(curves(CanvasEntityCache::drawingPath(leaf, 50.0)), 16);
}

TEST(CanvasEntityCache, LargeMapsAreBuiltInParallelLikeOneByOne)
{
    PlmEntityList entities;
    for (int i = 0; i < 3000; ++i) {
        if (i % 100 == 7) {
            PlmText text;
            text.text = QStringLiteral("Nom %1").arg(i);
            text.fontName = QStringLiteral("Helvetica");
            text.fontSize = 3;
            text.transform = PlmTransform::translation(i % 60, i / 60);
            entities.append(PlmEntity(QString::number(i), QString(), PlmGeometry::text(text), style({0, 0, 0, 1}, std::nullopt)));
        } else {
            entities.append(denseCircle(QString::number(i), i % 60, i / 60, 0.4, 40));
        }
    }
    CanvasEntityCache cache;
    cache.reset(entities);
    cache.ensureAll();
    EXPECT_EQ(cache.builtSinceReset(), 3000);
    for (int i = 0; i < 3000; i += 37) {
        const CanvasEntry alone = CanvasEntityCache::build(entities.at(i));
        const CanvasEntry& built = cache.entry(i);
        EXPECT_EQ(built.bounds, alone.bounds) << i;
        ASSERT_EQ(built.leaves.size(), 1);
        EXPECT_EQ(built.leaves.first().path, alone.leaves.first().path) << i;
    }
}

TEST(CanvasEntityCache, ReplacingOneEntityKeepsTheOthersAndFindsItWhereItWent)
{
    PlmEntityList entities;
    for (int i = 0; i < 400; ++i)
        entities.append(squareEntity(QString::number(i), (i % 20) * 10, (i / 20) * 10, (i % 20) * 10 + 5, (i / 20) * 10 + 5));
    CanvasEntityCache cache;
    cache.reset(entities);
    EXPECT_TRUE(cache.candidates(QRectF(1, 1, 2, 2)) == QList<int>{0});  // builds every entry and the grid
    const double lineWidth = cache.maxLineWidth();
    const int built = cache.builtSinceReset();

    // Entity 0 moves between the squares of the far corner, with a wider stroke.
    PlmEntity moved = squareEntity("0", 186, 186, 189, 189, PlmColor{1, 0, 0, 1}, 7);
    PlmEntityList next = entities;
    next.replace(0, moved);
    cache.replace(0, next);
    EXPECT_EQ(cache.builtSinceReset(), built + 1);  // that entry alone
    EXPECT_TRUE(cache.candidates(QRectF(1, 1, 2, 2)).isEmpty());
    EXPECT_EQ(cache.candidates(QRectF(187, 187, 1, 1)), (QList<int>{0}));
    EXPECT_EQ(cache.maxLineWidth(), std::max(lineWidth, 7.0));
    EXPECT_EQ(cache.builtSinceReset(), built + 1);  // no rebuild for the stats or the grid

    // Out of the grid's area: still found, the grid being rebuilt.
    next.replace(0, squareEntity("0", 500, 500, 510, 510));
    cache.replace(0, next);
    EXPECT_EQ(cache.candidates(QRectF(505, 505, 1, 1)), (QList<int>{0}));
    EXPECT_TRUE(cache.candidates(QRectF(187, 187, 1, 1)).isEmpty());

    // A list of another length is a reset.
    next.append(squareEntity("new", 300, 300, 310, 310));
    cache.replace(0, next);
    EXPECT_EQ(cache.size(), 401);
    EXPECT_EQ(cache.candidates(QRectF(305, 305, 1, 1)), (QList<int>{400}));
}

TEST(CanvasEntityCache, DrawingCopiesPreparedOnEveryCoreMatchOneByOne)
{
    // More entities than the parallel threshold, one of them listed twice (its entry stands in
    // two slots), a hidden one, and a rectangle that leaves the last columns out.
    PlmEntityList entities;
    for (int i = 0; i < 2500; ++i)
        entities.append(denseCircle(QString::number(i), i % 50, i / 50, 0.4, 60));
    entities.append(entities.at(10));
    PlmEntity hidden = denseCircle(QStringLiteral("caché"), 3, 3, 0.4, 60);
    hidden.isHidden = true;
    entities.append(hidden);
    const int level = CanvasEntityCache::detailLevel(40);
    const QRectF within(-1, -1, 41, 60);

    CanvasEntityCache prepared;
    prepared.reset(entities);
    prepared.ensureAll();
    prepared.prepareDrawing(level, true, within);
    for (int i = 0; i < prepared.size(); ++i) {
        const CanvasLeaf& leaf = prepared.entry(i).leaves.first();
        const bool wanted = leaf.visible && CanvasEntityCache::overlaps(leaf.bounds, within);
        ASSERT_EQ(leaf.ringLevel == level, wanted) << i;
        if (!wanted)
            continue;
        const CanvasEntry alone = CanvasEntityCache::build(entities.at(i));
        const QPolygonF* ring = CanvasEntityCache::drawingRing(alone.leaves.first(), level);
        ASSERT_TRUE(ring) << i;
        EXPECT_EQ(leaf.ring, *ring) << i;
        EXPECT_LT(leaf.ring.size(), 60) << i;  // simplified
    }
}
