#pragma once

#include "canvas/CanvasPathBuilder.h"
#include "export/SvgOutput.h"

#include <QPainterPath>
#include <QTransform>

// Path data ("M x y L x y C … Z", commands joined by one blank) written straight into the
// document's buffer as a path is built; arcs arrive already as cubics.
class SvgPathData final : public PathSink {
public:
    explicit SvgPathData(SvgOutput& out) : m_out(out) {}

    void moveTo(const QPointF& p) override;
    void lineTo(const QPointF& p) override;
    void cubicTo(const QPointF& c1, const QPointF& c2, const QPointF& end) override;
    void closeSubpath() override;

    // Writes the commands of a path of ours, mapped by the transform; answers its even-odd flag.
    static bool write(SvgOutput& out, const PlmVectorPath& path, const QTransform& transform = QTransform());
    // Writes a drawable path; closed subpaths end with "Z". Answers whether it fills even-odd.
    static bool write(SvgOutput& out, const QPainterPath& path);

private:
    void separate();

    SvgOutput& m_out;
    bool m_first = true;
};
