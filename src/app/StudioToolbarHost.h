#pragma once

#include <QWidget>

// Gives a toolbar control a fixed size and keeps it centred in whatever room its toolbar
// item gets.
class StudioToolbarHost : public QWidget {
    Q_OBJECT
public:
    static constexpr int itemHeight = 36;

    // The host of a control: the control's current width becomes the host's width; the
    // control loses its size limits and is re-parented into the host.
    static StudioToolbarHost* wrap(QWidget* control);

    QWidget* control() const { return m_control; }
    int controlWidth() const { return m_controlWidth; }

    QSize sizeHint() const override { return {m_controlWidth, itemHeight}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    StudioToolbarHost(QWidget* control, int controlWidth);
    void placeControl();

    QWidget* m_control;
    int m_controlWidth;
};
