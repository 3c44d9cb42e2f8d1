#pragma once

#include <QSlider>
#include <functional>

// A slider that reports the start and the end of a mouse drag, so its owner can gather
// every change of one drag into one undo step. Values are doubles over a range, held with
// a fine integer resolution.
class PaletteSlider : public QSlider {
    Q_OBJECT
public:
    static constexpr int steps = 10000;

    explicit PaletteSlider(QWidget* parent = nullptr);
    PaletteSlider(double value, double minimum, double maximum, QWidget* parent = nullptr);

    std::function<void()> begin;
    std::function<void()> end;

    void setDoubleRange(double minimum, double maximum);
    double doubleMinimum() const { return m_minimum; }
    double doubleMaximum() const { return m_maximum; }
    double doubleValue() const;
    void setDoubleValue(double value);
    bool isDragging() const { return m_dragging; }

signals:
    void doubleValueChanged(double value);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void finishDrag();

    double m_minimum = 0;
    double m_maximum = 1;
    bool m_dragging = false;
};
