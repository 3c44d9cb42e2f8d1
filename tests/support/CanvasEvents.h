#pragma once

#include "canvas/VectorCanvas.h"
#include "desktop/ViewHost.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <memory>

// A map view in a host widget, driven with real Qt events at y-up view points.
namespace CanvasEvents {

struct Hosted {
    std::unique_ptr<ViewHost> host;
    VectorCanvas* canvas = nullptr;  // owned by the host
};

// Scale 1, no offset: view points equal map units (y up).
inline Hosted hosted(const PlmMap& map, double width = 200, double height = 200)
{
    Hosted h;
    h.host = std::make_unique<ViewHost>();
    h.host->resize(int(width), int(height));
    h.canvas = new VectorCanvas(map, true, QString());
    h.host->setRootNode(h.canvas);
    h.canvas->setFrame(QRectF(0, 0, width, height));
    h.canvas->fitted = true;
    h.canvas->tracksFit = false;
    return h;
}

inline void mouse(ViewHost& host, QEvent::Type type, const QPointF& viewPoint, Qt::KeyboardModifiers modifiers = {})
{
    const QPointF w = host.widgetPoint(viewPoint);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, w, host.mapToGlobal(w), button, buttons, modifiers);
    QCoreApplication::sendEvent(&host, &event);
}

inline void press(ViewHost& host, const QPointF& p, Qt::KeyboardModifiers m = {}) { mouse(host, QEvent::MouseButtonPress, p, m); }
inline void drag(ViewHost& host, const QPointF& p, Qt::KeyboardModifiers m = {}) { mouse(host, QEvent::MouseMove, p, m); }
inline void release(ViewHost& host, const QPointF& p, Qt::KeyboardModifiers m = {}) { mouse(host, QEvent::MouseButtonRelease, p, m); }

inline void click(ViewHost& host, const QPointF& p, Qt::KeyboardModifiers m = {})
{
    press(host, p, m);
    release(host, p, m);
}

// Press, release, then the second press as Qt reports it, and its release.
inline void doubleClick(ViewHost& host, const QPointF& p, Qt::KeyboardModifiers m = {})
{
    click(host, p, m);
    mouse(host, QEvent::MouseButtonDblClick, p, m);
    release(host, p, m);
}

// A press, drags in a few steps to the end, and a release there.
inline void dragFromTo(ViewHost& host, const QPointF& from, const QPointF& to, Qt::KeyboardModifiers m = {})
{
    press(host, from, m);
    for (int step = 1; step <= 4; ++step)
        drag(host, from + (to - from) * (step / 4.0), m);
    release(host, to, m);
}

inline void key(ViewHost& host, int key, Qt::KeyboardModifiers modifiers = {})
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(&host, &event);
}

} // namespace CanvasEvents
