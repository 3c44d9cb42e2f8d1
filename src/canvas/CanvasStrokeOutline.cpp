#include "canvas/CanvasStrokeOutline.h"

#include <cmath>
#include <vector>

namespace {

struct Vec {
    double x, y;
};

Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(Vec a, double k) { return {a.x * k, a.y * k}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
double cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }

QPointF qp(Vec v) { return QPointF(v.x, v.y); }

// Every piece goes round the same way, so that where pieces overlap the
// winding rule fills once: clockwise in the path's own axes, as a
// segment's quadrilateral below comes out.
void addPiece(QPainterPath& out, const Vec* p, int n)
{
    double area = 0;
    for (int i = 0; i < n; ++i)
        area += cross(p[i], p[(i + 1) % n]);
    if (area == 0)
        return;
    out.moveTo(qp(p[0]));
    if (area < 0) {
        for (int i = 1; i < n; ++i)
            out.lineTo(qp(p[i]));
    } else {
        for (int i = n - 1; i >= 1; --i)
            out.lineTo(qp(p[i]));
    }
    out.closeSubpath();
}

struct Style {
    double half;        // half the width
    double miterReach;  // how far a miter may reach from its vertex
    bool miter;
    bool squareCap;
};

// The outer wedge between the segments arriving along u1 and leaving along
// u2 (unit vectors) at p: the miter, or the bevel of a bevel join. False
// for a miter beyond the limit, which Qt's stroker cuts in its own way.
bool addJoin(QPainterPath& out, Vec p, Vec u1, Vec u2, const Style& s)
{
    const double turn = cross(u1, u2);
    if (turn == 0 && dot(u1, u2) > 0)
        return true;  // straight on
    // The outer side is right of a left turn and left of a right turn.
    const double side = turn > 0 ? -1.0 : 1.0;
    const Vec o1 = Vec{-u1.y, u1.x} * (s.half * side);
    const Vec o2 = Vec{-u2.y, u2.x} * (s.half * side);
    const Vec a = p + o1, b = p + o2;
    const double denominator = s.half * s.half + dot(o1, o2);
    if (s.miter) {
        if (denominator <= 1e-12 * s.half * s.half)
            return false;
        const Vec m = p + (o1 + o2) * (s.half * s.half / denominator);
        const Vec reach = m - p;
        if (std::sqrt(dot(reach, reach)) > s.miterReach)
            return false;
        const Vec wedge[4] = {p, a, m, b};
        addPiece(out, wedge, 4);
        return true;
    }
    const Vec wedge[3] = {p, a, b};
    addPiece(out, wedge, 3);
    return true;
}

void addSegment(QPainterPath& out, Vec a, Vec b, const Style& s, bool extendStart, bool extendEnd)
{
    const Vec d = b - a;
    const double length = std::sqrt(dot(d, d));
    const Vec u = d * (1 / length);
    if (extendStart)
        a = a - u * s.half;
    if (extendEnd)
        b = b + u * s.half;
    const Vec o = Vec{-u.y, u.x} * s.half;
    const Vec quad[4] = {a + o, b + o, b - o, a - o};
    addPiece(out, quad, 4);
}

Vec unit(Vec d)
{
    return d * (1 / std::sqrt(dot(d, d)));
}

// One subpath, its repeated points already dropped.
bool addRun(QPainterPath& out, std::vector<Vec>& points, const Style& s)
{
    const bool closed = points.size() > 2 && points.front().x == points.back().x && points.front().y == points.back().y;
    if (closed)
        points.pop_back();
    const size_t n = points.size();
    if (n < 2)
        return !s.squareCap;  // a lone point: nothing with flat caps; leave square ones to Qt
    if (closed) {
        for (size_t i = 0; i < n; ++i)
            addSegment(out, points[i], points[(i + 1) % n], s, false, false);
        for (size_t i = 0; i < n; ++i) {
            const Vec prev = points[(i + n - 1) % n], here = points[i], next = points[(i + 1) % n];
            if (!addJoin(out, here, unit(here - prev), unit(next - here), s))
                return false;
        }
        return true;
    }
    for (size_t i = 0; i + 1 < n; ++i)
        addSegment(out, points[i], points[i + 1], s, s.squareCap && i == 0, s.squareCap && i + 2 == n);
    for (size_t i = 1; i + 1 < n; ++i)
        if (!addJoin(out, points[i], unit(points[i] - points[i - 1]), unit(points[i + 1] - points[i]), s))
            return false;
    return true;
}

} // namespace

bool CanvasStrokeOutline::supports(const QPen& pen)
{
    const double width = pen.widthF();
    return pen.style() == Qt::SolidLine && pen.brush().style() == Qt::SolidPattern && !pen.isCosmetic()
        && width > 0 && std::isfinite(width) && (pen.joinStyle() == Qt::MiterJoin || pen.joinStyle() == Qt::BevelJoin)
        && (pen.capStyle() == Qt::FlatCap || pen.capStyle() == Qt::SquareCap);
}

bool CanvasStrokeOutline::build(QPainterPath& out, const QPainterPath& path, const QPen& pen)
{
    out.clear();  // keeps the storage of the last outline
    out.setFillRule(Qt::WindingFill);
    const int count = path.elementCount();
    for (int i = 0; i < count; ++i)
        if (path.elementAt(i).type == QPainterPath::CurveToElement)
            return false;
    Style s;
    s.half = pen.widthF() / 2;
    s.miterReach = pen.widthF() * pen.miterLimit() / 2;
    s.miter = pen.joinStyle() == Qt::MiterJoin;
    s.squareCap = pen.capStyle() == Qt::SquareCap;
    std::vector<Vec> run;
    for (int i = 0; i <= count; ++i) {
        const bool end = i == count || path.elementAt(i).type == QPainterPath::MoveToElement;
        if (end && !run.empty()) {
            if (!addRun(out, run, s))
                return false;
            run.clear();
        }
        if (i == count)
            break;
        const QPainterPath::Element e = path.elementAt(i);
        const Vec p{e.x, e.y};
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return false;
        if (run.empty() || run.back().x != p.x || run.back().y != p.y)
            run.push_back(p);
    }
    return true;
}
