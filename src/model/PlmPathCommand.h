#pragma once

#include "model/PlmPoint.h"
#include "model/PlmTransform.h"

#include <QList>
#include <variant>

class PlmJsonValue;
class PlmJsonWriter;

struct PlmPathMove {
    PlmPoint point;
    bool operator==(const PlmPathMove&) const = default;
};

struct PlmPathLine {
    PlmPoint point;
    bool operator==(const PlmPathLine&) const = default;
};

// A cubic Bézier segment from the current point.
struct PlmPathCubic {
    PlmPoint control1;
    PlmPoint control2;
    PlmPoint end;
    bool operator==(const PlmPathCubic&) const = default;
};

struct PlmPathClose {
    bool operator==(const PlmPathClose&) const = default;
};

// The elliptical arc of the points center + cos θ·axisX + sin θ·axisY for θ from start to
// start + sweep (radians). The axes are vectors from the centre, not points.
struct PlmPathArc {
    PlmPoint center;
    PlmPoint axisX;
    PlmPoint axisY;
    double start = 0;
    double sweep = 0;
    bool operator==(const PlmPathArc&) const = default;
};

// One command of a vector path.
//   switch (command.kind()) { case PlmPathCommand::Kind::move: command.asMove()->point ... }
// or std::visit over command.value.
struct PlmPathCommand {
    enum class Kind { move, line, cubic, close, arc }; // the order of the alternatives
    using Value = std::variant<PlmPathMove, PlmPathLine, PlmPathCubic, PlmPathClose, PlmPathArc>;

    Value value;

    PlmPathCommand() = default;
    PlmPathCommand(const PlmPathMove& v) : value(v) {}
    PlmPathCommand(const PlmPathLine& v) : value(v) {}
    PlmPathCommand(const PlmPathCubic& v) : value(v) {}
    PlmPathCommand(const PlmPathClose& v) : value(v) {}
    PlmPathCommand(const PlmPathArc& v) : value(v) {}

    static PlmPathCommand move(PlmPoint point) { return PlmPathMove{point}; }
    static PlmPathCommand line(PlmPoint point) { return PlmPathLine{point}; }
    static PlmPathCommand cubic(PlmPoint control1, PlmPoint control2, PlmPoint end)
    {
        return PlmPathCubic{control1, control2, end};
    }
    static PlmPathCommand close() { return PlmPathClose{}; }
    static PlmPathCommand arc(PlmPoint center, PlmPoint axisX, PlmPoint axisY, double start,
                              double sweep)
    {
        return PlmPathArc{center, axisX, axisY, start, sweep};
    }

    Kind kind() const { return Kind(value.index()); }
    const PlmPathMove* asMove() const { return std::get_if<PlmPathMove>(&value); }
    const PlmPathLine* asLine() const { return std::get_if<PlmPathLine>(&value); }
    const PlmPathCubic* asCubic() const { return std::get_if<PlmPathCubic>(&value); }
    const PlmPathArc* asArc() const { return std::get_if<PlmPathArc>(&value); }
    bool isClose() const { return kind() == Kind::close; }

    bool operator==(const PlmPathCommand&) const = default;

    // The same command with the transform applied: points map with the translation, an
    // arc's axes as vectors (linear part only); start, sweep and close are unchanged.
    PlmPathCommand applying(const PlmTransform& transform) const;

    // The points that bound the command: a move or line its point, a cubic its three points,
    // an arc the two opposite corners of its whole ellipse's box, a close none.
    QList<PlmPoint> extentPoints() const;

    // Calls visit(const PlmPoint&) for each extent point, without building a list.
    template <typename Visitor> void forEachExtentPoint(Visitor&& visit) const;

    // {"move": {"_0": point}}, {"cubic": {"_0", "_1", "_2"}}, {"close": {}},
    // {"arc": {"axisX", "axisY", "center", "start", "sweep"}}.
    static PlmPathCommand fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};

// hx = hypot(axisX.x, axisY.x), hy = hypot(axisX.y, axisY.y); corners centre ∓ (hx, hy).
PlmPoint plmArcHalfExtent(const PlmPathArc& arc);

template <typename Visitor>
void PlmPathCommand::forEachExtentPoint(Visitor&& visit) const
{
    switch (kind()) {
    case Kind::move:
        visit(std::get<PlmPathMove>(value).point);
        break;
    case Kind::line:
        visit(std::get<PlmPathLine>(value).point);
        break;
    case Kind::cubic: {
        const PlmPathCubic& cubic = std::get<PlmPathCubic>(value);
        visit(cubic.control1);
        visit(cubic.control2);
        visit(cubic.end);
        break;
    }
    case Kind::close:
        break;
    case Kind::arc: {
        const PlmPathArc& arc = std::get<PlmPathArc>(value);
        const PlmPoint half = plmArcHalfExtent(arc);
        visit(PlmPoint{arc.center.x - half.x, arc.center.y - half.y});
        visit(PlmPoint{arc.center.x + half.x, arc.center.y + half.y});
        break;
    }
    }
}
