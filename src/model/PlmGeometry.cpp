#include "model/PlmGeometry.h"

#include "model/PlmEntity.h"
#include "model/PlmJson.h"
#include "model/PlmMapDecodingDepth.h"

#include <cmath>

bool PlmGeometry::operator==(const PlmGeometry& other) const
{
    return value == other.value;
}

namespace {

// Calls visit for every extent point, in order; stops early when visit returns false.
template <typename Visitor>
bool visitExtent(const PlmGeometry& geometry, Visitor& visit)
{
    auto ring = [&visit](const QList<PlmPoint>& points) {
        for (const PlmPoint& p : points)
            if (!visit(p))
                return false;
        return true;
    };
    auto polygon = [&ring](const PlmPolygon& pg) {
        if (!ring(pg.exterior))
            return false;
        for (const QList<PlmPoint>& hole : pg.holes)
            if (!ring(hole))
                return false;
        return true;
    };
    switch (geometry.kind()) {
    case PlmGeometry::Kind::point:
        return visit(*geometry.asPoint());
    case PlmGeometry::Kind::polyline:
        return ring(*geometry.asPolyline());
    case PlmGeometry::Kind::polygon:
        return polygon(*geometry.asPolygon());
    case PlmGeometry::Kind::multipolygon:
        for (const PlmPolygon& pg : *geometry.asMultipolygon())
            if (!polygon(pg))
                return false;
        return true;
    case PlmGeometry::Kind::path: {
        bool keepGoing = true;
        for (const PlmPathCommand& command : geometry.asPath()->commands) {
            command.forEachExtentPoint([&](const PlmPoint& p) {
                if (keepGoing)
                    keepGoing = visit(p);
            });
            if (!keepGoing)
                return false;
        }
        return true;
    }
    case PlmGeometry::Kind::text: {
        // An estimate of the text's box that needs no font: one em per character.
        const PlmText& text = *geometry.asText();
        const PlmTransform& t = text.transform;
        const double h = text.fontSize;
        const double w = text.fontSize * double(text.characterCount());
        if (!visit(PlmPoint{t.tx, t.ty}))
            return false;
        return visit(PlmPoint{t.a * w + t.c * h + t.tx, t.b * w + t.d * h + t.ty});
    }
    case PlmGeometry::Kind::group:
        for (const PlmEntity& member : *geometry.asGroup())
            if (!visitExtent(member.geometry, visit))
                return false;
        return true;
    }
    return true;
}

} // namespace

QList<PlmPoint> PlmGeometry::extentPoints() const
{
    QList<PlmPoint> points;
    auto collect = [&points](const PlmPoint& p) {
        points.append(p);
        return true;
    };
    visitExtent(*this, collect);
    return points;
}

bool PlmGeometry::hasFiniteExtent() const
{
    return everyExtentPoint([](const PlmPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y); });
}

bool PlmGeometry::everyExtentPoint(bool (*test)(const PlmPoint&)) const
{
    return visitExtent(*this, test);
}

PlmGeometry PlmGeometry::fromJson(const PlmJsonValue& value)
{
    const auto [index, payloadObject] = value.singleCase(
        {"point", "polyline", "polygon", "multipolygon", "path", "text", "group"});
    const PlmJsonValue payload = payloadObject.requiredMember("_0");
    switch (Kind(index)) {
    case Kind::point:
        return point(payload.as<PlmPoint>());
    case Kind::polyline:
        return polyline(payload.as<QList<PlmPoint>>());
    case Kind::polygon:
        return polygon(payload.as<PlmPolygon>());
    case Kind::multipolygon:
        return multipolygon(payload.as<QList<PlmPolygon>>());
    case Kind::path:
        return path(payload.as<PlmVectorPath>());
    case Kind::text:
        return text(payload.as<PlmText>());
    case Kind::group: {
        if (payload.size() == 0) // also refuses a payload that is no array
            return group(payload.as<PlmEntityList>());
        const PlmMapDecodingDepth depth = PlmMapDecodingDepth::enterGroupMembers();
        return group(payload.as<PlmEntityList>());
    }
    }
    return PlmGeometry();
}

void PlmGeometry::writeJson(PlmJsonWriter& writer) const
{
    static constexpr std::string_view names[] = {"point", "polyline", "polygon", "multipolygon",
                                                 "path",  "text",     "group"};
    writer.beginCase(names[value.index()]);
    writer.key("_0");
    std::visit([&writer](const auto& payload) { writer.write(payload); }, value);
    writer.endCase();
}
