#include "export/SvgPathData.h"

void SvgPathData::separate()
{
    if (!m_first)
        m_out.raw(' ');
    m_first = false;
}

void SvgPathData::moveTo(const QPointF& p)
{
    separate();
    m_out.raw("M ").point(p.x(), p.y());
}

void SvgPathData::lineTo(const QPointF& p)
{
    separate();
    m_out.raw("L ").point(p.x(), p.y());
}

void SvgPathData::cubicTo(const QPointF& c1, const QPointF& c2, const QPointF& end)
{
    separate();
    m_out.raw("C ").point(c1.x(), c1.y()).raw(' ').point(c2.x(), c2.y()).raw(' ').point(end.x(), end.y());
}

void SvgPathData::closeSubpath()
{
    separate();
    m_out.raw('Z');
}

bool SvgPathData::write(SvgOutput& out, const PlmVectorPath& path, const QTransform& transform)
{
    SvgPathData sink(out);
    CanvasPathBuilder::appendCommands(sink, path, transform);
    return path.evenOdd;
}

bool SvgPathData::write(SvgOutput& out, const QPainterPath& path)
{
    SvgPathData sink(out);
    sink.addOutline(path);
    return path.fillRule() == Qt::OddEvenFill;
}
