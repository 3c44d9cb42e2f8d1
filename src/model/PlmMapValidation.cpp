// The one validation of a base map: the first failure in drawing order, as one French sentence.
#include "model/PlmErrors.h"
#include "model/PlmMapCodec.h"
#include "model/PlmParallel.h"
#include "model/PlmTextFolding.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace {

[[noreturn]] void fail(const QString& message)
{
    throw PlmMapError::invalid(message);
}

bool isUnit(double value)
{
    return value >= 0 && value <= 1; // NaN fails, -0 passes
}

bool isValidColor(const PlmColor& color)
{
    return isUnit(color.red) && isUnit(color.green) && isUnit(color.blue) && isUnit(color.alpha);
}

bool isValidStyle(const PlmStyle& style)
{
    if (style.dash)
        for (double length : *style.dash)
            if (!std::isfinite(length) || length < 0)
                return false;
    auto validCode = [](const std::optional<int>& code) { return !code || (*code >= 0 && *code <= 2); };
    if (!validCode(style.lineCap) || !validCode(style.lineJoin))
        return false;
    if (!isValidColor(style.stroke) || (style.fill && !isValidColor(*style.fill)))
        return false;
    if (!std::isfinite(style.lineWidth) || style.lineWidth < 0)
        return false;
    return std::isfinite(style.pointRadius) && style.pointRadius > 0;
}

bool isValidText(const PlmText& text)
{
    const PlmTransform& t = text.transform;
    for (double v : {t.a, t.b, t.c, t.d, t.tx, t.ty})
        if (!std::isfinite(v))
            return false;
    if (!std::isfinite(text.fontSize) || text.fontSize <= 0)
        return false;
    return text.anchor == QLatin1String("start") || text.anchor == QLatin1String("middle")
        || text.anchor == QLatin1String("end");
}

void validateSvgSymbol(const PlmMap& symbolMap, int depth)
{
    const QString message = QStringLiteral("Symbole SVG sans tracés vectoriels.");
    if (depth > PlmMapCodec::maximumSvgSymbolDepth || symbolMap.entities.isEmpty())
        fail(message);
    for (const PlmEntity& entity : symbolMap.entities)
        for (const PlmEntity& leaf : entity.leafEntities())
            if (leaf.geometry.kind() != PlmGeometry::Kind::path || leaf.pointSymbol)
                fail(message);
    PlmMapCodec::validate(symbolMap);
}

// A large map is checked on all cores, each entity for itself, and its ids through their
// sorted hashes. It says only whether the map passes: the first failure in drawing order,
// with its sentence, is found by the ordered pass.
bool passesOnAllCores(const PlmMap& map)
{
    const qsizetype count = map.entities.size();
    std::vector<std::pair<size_t, qsizetype>> hashes(static_cast<size_t>(count));
    std::atomic<bool> failed{false};
    PlmParallel::forRuns(count, 256, [&](qsizetype begin, qsizetype end) {
        try {
            // Each entity's own id alone, in one set per run (emptied, never freed, in between).
            QSet<QString> ownId;
            for (qsizetype i = begin; i < end && !failed.load(std::memory_order_relaxed); ++i) {
                const PlmEntity& entity = map.entities.at(i);
                PlmMapCodec::validateEntity(entity, 0, ownId);
                ownId.remove(entity.id);
                hashes[size_t(i)] = {qHash(entity.id, 0), i};
            }
        } catch (const PlmMapError&) {
            failed = true;
        }
    });
    if (failed)
        return false;
    std::sort(hashes.begin(), hashes.end());
    for (size_t i = 1; i < hashes.size(); ++i)
        if (hashes[i].first == hashes[i - 1].first) {
            // Equal hashes: the ids may still differ; the ordered pass decides.
            for (size_t j = i; j < hashes.size() && hashes[j].first == hashes[i - 1].first; ++j)
                for (size_t k = i - 1; k < j; ++k)
                    if (map.entities.at(hashes[j].second).id == map.entities.at(hashes[k].second).id)
                        return false;
        }
    return true;
}

} // namespace

void PlmMapCodec::validate(const PlmMap& map)
{
    if (map.entities.size() >= 4096 && passesOnAllCores(map))
        return;
    QSet<QString> ids;
    ids.reserve(map.entities.size());
    for (const PlmEntity& entity : map.entities)
        validateEntity(entity, 0, ids);
}

void PlmMapCodec::validateEntity(const PlmEntity& entity, int depth, QSet<QString>& ids)
{
    if (depth > maximumGroupDepth)
        fail(QStringLiteral("Groupes trop profondément imbriqués."));

    if (entity.clipPaths)
        for (const PlmVectorPath& clip : *entity.clipPaths)
            validatePath(clip);

    if (const std::optional<PlmPointSymbol>& symbol = entity.pointSymbol) {
        if (entity.geometry.kind() != PlmGeometry::Kind::point)
            fail(QStringLiteral("Motif ponctuel invalide."));
        if (symbol->sfSymbolName.has_value() == symbol->svgVector.has_value())
            fail(QStringLiteral("Motif ponctuel invalide."));
        if (symbol->sfSymbolName && PlmTextFolding::trimmed(*symbol->sfSymbolName).isEmpty())
            fail(QStringLiteral("Nom de pictogramme vide."));
        if (symbol->svgVector)
            validateSvgSymbol(*symbol->svgVector, depth);
    }

    if (entity.id.isEmpty() || ids.contains(entity.id))
        fail(QStringLiteral("Identifiant vide ou dupliqué : ") + entity.id);
    ids.insert(entity.id);

    if (!entity.geometry.hasFiniteExtent())
        fail(QStringLiteral("Coordonnées non finies : ") + entity.id);

    switch (entity.geometry.kind()) {
    case PlmGeometry::Kind::point:
        break;
    case PlmGeometry::Kind::polyline:
        if (entity.geometry.asPolyline()->size() < 2)
            fail(QStringLiteral("Ligne trop courte : ") + entity.id);
        break;
    case PlmGeometry::Kind::polygon: {
        const PlmPolygon& polygon = *entity.geometry.asPolygon();
        validatePolygon(polygon.exterior, polygon.holes);
        break;
    }
    case PlmGeometry::Kind::multipolygon: {
        const QList<PlmPolygon>& polygons = *entity.geometry.asMultipolygon();
        if (polygons.isEmpty())
            fail(QStringLiteral("Multipolygone vide : ") + entity.id);
        for (const PlmPolygon& polygon : polygons)
            validatePolygon(polygon.exterior, polygon.holes);
        break;
    }
    case PlmGeometry::Kind::path:
        validatePath(*entity.geometry.asPath());
        break;
    case PlmGeometry::Kind::text:
        if (!isValidText(*entity.geometry.asText()))
            fail(QStringLiteral("Texte invalide."));
        break;
    case PlmGeometry::Kind::group: {
        const PlmEntityList& members = *entity.geometry.asGroup();
        if (members.isEmpty())
            fail(QStringLiteral("Groupe vide."));
        // Ids are unique among siblings only: each group's members get their own set.
        QSet<QString> memberIds;
        for (const PlmEntity& member : members)
            validateEntity(member, depth + 1, memberIds);
        break;
    }
    }

    if (!isValidStyle(entity.style))
        fail(QStringLiteral("Style invalide : ") + entity.id);
}

void PlmMapCodec::validateRing(const QList<PlmPoint>& ring)
{
    // Distinct as exact doubles, 0 and -0 apart: the same as comparing shortest texts.
    // Only three distinct vertices are needed, so stop as soon as they are found.
    auto same = [](const PlmPoint& p, const PlmPoint& q) {
        return std::memcmp(&p.x, &q.x, sizeof(double)) == 0
            && std::memcmp(&p.y, &q.y, sizeof(double)) == 0;
    };
    PlmPoint distinct[3];
    int count = 0;
    for (const PlmPoint& p : ring) {
        bool seen = false;
        for (int i = 0; i < count && !seen; ++i)
            seen = same(distinct[i], p);
        if (!seen) {
            distinct[count++] = p;
            if (count == 3)
                return;
        }
    }
    fail(QStringLiteral("Anneau : au moins trois sommets distincts requis."));
}

void PlmMapCodec::validatePolygon(const QList<PlmPoint>& exterior,
                                  const QList<QList<PlmPoint>>& holes)
{
    validateRing(exterior);
    for (const QList<PlmPoint>& hole : holes)
        validateRing(hole);
}

void PlmMapCodec::validatePath(const PlmVectorPath& path)
{
    if (path.commands.isEmpty() || path.commands.first().kind() != PlmPathCommand::Kind::move)
        fail(QStringLiteral("Tracé sans origine."));
    for (const PlmPathCommand& command : path.commands) {
        if (const PlmPathArc* arc = command.asArc()) {
            const bool finite = std::isfinite(arc->axisX.x) && std::isfinite(arc->axisX.y)
                && std::isfinite(arc->axisY.x) && std::isfinite(arc->axisY.y)
                && std::isfinite(arc->start) && std::isfinite(arc->sweep);
            if (!finite || std::abs(arc->sweep) > maximumArcSweep)
                fail(QStringLiteral("Arc invalide."));
        }
    }
    for (const PlmPathCommand& command : path.commands) {
        bool finite = true;
        command.forEachExtentPoint([&finite](const PlmPoint& p) {
            finite = finite && std::isfinite(p.x) && std::isfinite(p.y);
        });
        if (!finite)
            fail(QStringLiteral("Tracé non fini."));
    }
}
