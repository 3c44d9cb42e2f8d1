#include "inspector/PaletteSlider.h"

#include <QMouseEvent>
#include <cmath>

PaletteSlider::PaletteSlider(QWidget* parent)
    : PaletteSlider(0, 0, 1, parent)
{
}

PaletteSlider::PaletteSlider(double value, double minimum, double maximum, QWidget* parent)
    : QSlider(Qt::Horizontal, parent)
{
    setRange(0, steps);
    setTracking(true);
    setDoubleRange(minimum, maximum);
    setDoubleValue(value);
    connect(this, &QSlider::valueChanged, this, [this] { emit doubleValueChanged(doubleValue()); });
}

void PaletteSlider::setDoubleRange(double minimum, double maximum)
{
    if (!std::isfinite(minimum) || !std::isfinite(maximum))
        return;
    m_minimum = std::min(minimum, maximum);
    m_maximum = std::max(minimum, maximum);
}

double PaletteSlider::doubleValue() const
{
    return m_minimum + (m_maximum - m_minimum) * double(value()) / steps;
}

void PaletteSlider::setDoubleValue(double v)
{
    if (!std::isfinite(v) || m_maximum <= m_minimum) {
        setValue(0);
        return;
    }
    const double fraction = std::clamp((v - m_minimum) / (m_maximum - m_minimum), 0.0, 1.0);
    setValue(int(std::lround(fraction * steps)));
}

void PaletteSlider::mousePressEvent(QMouseEvent* event)
{
    // A second press while a drag is open (another button) does not open another one.
    if (!m_dragging) {
        m_dragging = true;
        if (begin)
            begin();
    }
    QSlider::mousePressEvent(event);
}

void PaletteSlider::mouseReleaseEvent(QMouseEvent* event)
{
    QSlider::mouseReleaseEvent(event);
    if (event->buttons() == Qt::NoButton)
        finishDrag();
}

void PaletteSlider::hideEvent(QHideEvent* event)
{
    // A slider hidden in the middle of a drag never sees the release: close the drag.
    finishDrag();
    QSlider::hideEvent(event);
}

void PaletteSlider::finishDrag()
{
    if (!m_dragging)
        return;
    m_dragging = false;
    if (end)
        end();
}
