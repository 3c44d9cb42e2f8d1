#include "app/StudioToolbarHost.h"

StudioToolbarHost* StudioToolbarHost::wrap(QWidget* control)
{
    if (!control)
        return nullptr;
    const int width = control->width();
    control->setMinimumSize(0, 0);
    control->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    return new StudioToolbarHost(control, width);
}

StudioToolbarHost::StudioToolbarHost(QWidget* control, int controlWidth)
    : m_control(control), m_controlWidth(controlWidth)
{
    resize(controlWidth, itemHeight);
    setMinimumSize(controlWidth, itemHeight);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    control->setParent(this);
    placeControl();
    control->show();
}

void StudioToolbarHost::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeControl();
}

void StudioToolbarHost::placeControl()
{
    m_control->setGeometry((width() - m_controlWidth) / 2, (height() - itemHeight) / 2, m_controlWidth, itemHeight);
}
