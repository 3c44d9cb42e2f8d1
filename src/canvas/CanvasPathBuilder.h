#pragma once

#include "model/PlmGeometry.h"
#include "model/PlmStyle.h"
#include "model/PlmVectorPath.h"

#include <QMap>
#include <QPainterPath>
#include <QString>
#include <QTransform>

// Receives the commands of a drawable path: our own commands until the very
// last step, where they become a QPainterPath (or stay PlmVectorPath for the
// SVG writer).
class PathSink {
public:
    virtual ~PathSink() = default;
    virtual void moveTo(const QPointF& p) = 0;
    virtual void lineTo(const QPointF& p) = 0;
    virtual void cubicTo(const QPointF& c1, const QPointF& c2, const QPointF& end) = 0;
    virtual void closeSubpath() = 0;
    // A finished outline (glyphs); the default walks its elements.
    virtual void addOutline(const QPainterPath& outline);
};

class PainterPathSink final : public PathSink {
public:
    explicit PainterPathSink(QPainterPath& path) : m_path(path) {}
    void moveTo(const QPointF& p) override { m_path.moveTo(p); }
    void lineTo(const QPointF& p) override { m_path.lineTo(p); }
    void cubicTo(const QPointF& c1, const QPointF& c2, const QPointF& e) override { m_path.cubicTo(c1, c2, e); }
    void closeSubpath() override { m_path.closeSubpath(); }
    void addOutline(const QPainterPath& outline) override { m_path.addPath(outline); }

private:
    QPainterPath& m_path;
};

class VectorPathSink final : public PathSink {
public:
    explicit VectorPathSink(PlmVectorPath& path) : m_path(path) {}
    void moveTo(const QPointF& p) override;
    void lineTo(const QPointF& p) override;
    void cubicTo(const QPointF& c1, const QPointF& c2, const QPointF& e) override;
    void closeSubpath() override;

private:
    PlmVectorPath& m_path;
};

// Builds the drawable of a geometry: every coordinate goes through toTarget
// (the map-to-view transform, or the identity for paths kept in map units).
class CanvasPathBuilder {
public:
    using Attributes = QMap<QString, QString>;

    // Appends the geometry; answers the fill rule that the geometry asks for
    // when it is the whole path (true: even-odd).
    static bool append(PathSink& sink, const PlmGeometry& geometry, const Attributes& attributes,
                       const QTransform& toTarget);
    static void appendRing(PathSink& sink, const QList<PlmPoint>& ring, bool closing, const QTransform& toTarget);
    static void appendPolygon(PathSink& sink, const PlmPolygon& polygon, const QTransform& toTarget);
    // Cubic segments of at most 45° each, continuing from the current point.
    static void appendArc(PathSink& sink, const PlmPathArc& arc, const QTransform& toTarget);
    static void appendCommands(PathSink& sink, const PlmVectorPath& path, const QTransform& toTarget);
    // Glyph outlines of a text in map units (text transform applied), y up.
    static QPainterPath textOutline(const PlmText& text, const Attributes& attributes);

    static QPainterPath painterPath(const PlmGeometry& geometry, const Attributes& attributes,
                                    const QTransform& toTarget);
    static PlmVectorPath vectorPath(const PlmGeometry& geometry, const Attributes& attributes,
                                    const QTransform& toTarget);
    // A path of our commands as a QPainterPath (arcs become cubics).
    static QPainterPath toPainterPath(const PlmVectorPath& path);
    // The exact bounds of a path's drawn outline (control points excluded);
    // the null rectangle for a path without points.
    static QRectF bounds(const PlmVectorPath& path);
};

// Whether two styles stroke alike, so that a painter's pen can stay as it is between them.
inline bool sameStroke(const PlmStyle& a, const PlmStyle& b)
{
    return a.stroke == b.stroke && a.lineWidth == b.lineWidth && a.dash == b.dash && a.lineCap == b.lineCap
        && a.lineJoin == b.lineJoin;
}

// A path with data of its own: Qt fills lazy caches inside the paths it draws, so a cached
// path drawn on several threads at once is a copy on each.
inline QPainterPath threadOwnPath(const QPainterPath& path)
{
    QPainterPath copy;
    copy.addPath(path);
    copy.setFillRule(path.fillRule());
    return copy;
}
