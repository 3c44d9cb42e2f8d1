#include "page/MapScaleSlider.h"

MapScaleSlider::MapScaleSlider(QWidget* parent) : PaletteSlider(parent) {}

MapScaleSlider::MapScaleSlider(double value, double minimum, double maximum, QWidget* parent)
    : PaletteSlider(value, minimum, maximum, parent)
{
}

void MapScaleSlider::mousePressEvent(QMouseEvent* event)
{
    m_tracking = true;
    if (onTracking)
        onTracking(true);
    PaletteSlider::mousePressEvent(event);
}

void MapScaleSlider::mouseReleaseEvent(QMouseEvent* event)
{
    PaletteSlider::mouseReleaseEvent(event);
    if (m_tracking) {
        m_tracking = false;
        if (onTracking)
            onTracking(false);
    }
}
