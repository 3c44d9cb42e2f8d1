#include "model/PlmPathCommand.h"

#include "model/PlmJson.h"

#include <cmath>

PlmPoint plmArcHalfExtent(const PlmPathArc& arc)
{
    return PlmPoint{std::hypot(arc.axisX.x, arc.axisY.x), std::hypot(arc.axisX.y, arc.axisY.y)};
}

PlmPathCommand PlmPathCommand::applying(const PlmTransform& t) const
{
    switch (kind()) {
    case Kind::move:
        return move(t.apply(asMove()->point));
    case Kind::line:
        return line(t.apply(asLine()->point));
    case Kind::cubic: {
        const PlmPathCubic& c = *asCubic();
        return cubic(t.apply(c.control1), t.apply(c.control2), t.apply(c.end));
    }
    case Kind::close:
        return close();
    case Kind::arc: {
        const PlmPathArc& a = *asArc();
        return arc(t.apply(a.center), t.applyToVector(a.axisX), t.applyToVector(a.axisY), a.start,
                   a.sweep);
    }
    }
    return *this;
}

QList<PlmPoint> PlmPathCommand::extentPoints() const
{
    QList<PlmPoint> points;
    forEachExtentPoint([&points](const PlmPoint& p) { points.append(p); });
    return points;
}

PlmPathCommand PlmPathCommand::fromJson(const PlmJsonValue& value)
{
    const auto [index, payload] = value.singleCase({"move", "line", "cubic", "close", "arc"});
    switch (Kind(index)) {
    case Kind::move:
        return move(payload.field<PlmPoint>("_0"));
    case Kind::line:
        return line(payload.field<PlmPoint>("_0"));
    case Kind::cubic:
        return cubic(payload.field<PlmPoint>("_0"), payload.field<PlmPoint>("_1"),
                     payload.field<PlmPoint>("_2"));
    case Kind::close:
        if (!payload.isObject())
            payload.throwTypeMismatch("Dictionary<String, Any>");
        return close();
    case Kind::arc:
        return arc(payload.field<PlmPoint>("center"), payload.field<PlmPoint>("axisX"),
                   payload.field<PlmPoint>("axisY"), payload.field<double>("start"),
                   payload.field<double>("sweep"));
    }
    return close();
}

void PlmPathCommand::writeJson(PlmJsonWriter& writer) const
{
    switch (kind()) {
    case Kind::move:
        writer.beginCase("move");
        writer.field("_0", asMove()->point);
        break;
    case Kind::line:
        writer.beginCase("line");
        writer.field("_0", asLine()->point);
        break;
    case Kind::cubic: {
        const PlmPathCubic& c = *asCubic();
        writer.beginCase("cubic");
        writer.field("_0", c.control1);
        writer.field("_1", c.control2);
        writer.field("_2", c.end);
        break;
    }
    case Kind::close:
        writer.beginCase("close");
        break;
    case Kind::arc: {
        const PlmPathArc& a = *asArc();
        writer.beginCase("arc");
        writer.field("axisX", a.axisX);
        writer.field("axisY", a.axisY);
        writer.field("center", a.center);
        writer.field("start", a.start);
        writer.field("sweep", a.sweep);
        break;
    }
    }
    writer.endCase();
}
