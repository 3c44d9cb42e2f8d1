#pragma once

#include "inspector/PaletteSlider.h"

#include <functional>

// The map-block editor's scale slider: it tells its owner when a press starts (true) and
// when the tracking ends after the release (false), so a whole drag is one change.
class MapScaleSlider : public PaletteSlider {
    Q_OBJECT
public:
    explicit MapScaleSlider(QWidget* parent = nullptr);
    MapScaleSlider(double value, double minimum, double maximum, QWidget* parent = nullptr);

    std::function<void(bool)> onTracking;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_tracking = false;
};
