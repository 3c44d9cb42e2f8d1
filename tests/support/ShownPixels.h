#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <cstdlib>

// What a shown top-level widget holds on screen (the offscreen platform's backing store),
// against what a fresh drawing of it gives: pixels left behind by a move that repainted too
// little show up as differences.
namespace ShownPixels {

// Delivers the pending repaints.
inline void settle(int milliseconds = 100)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

inline QImage onScreen(QWidget& widget)
{
    settle();
    return QGuiApplication::primaryScreen()->grabWindow(widget.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

// Pixels whose colour on screen differs from a full redraw by more than a few levels.
inline int staleCount(QWidget& widget)
{
    const QImage shown = onScreen(widget);
    const QImage fresh = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (shown.size() != fresh.size())
        return shown.width() * shown.height();
    int stale = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb a = shown.pixel(x, y), b = fresh.pixel(x, y);
            stale += std::abs(qRed(a) - qRed(b)) > 8 || std::abs(qGreen(a) - qGreen(b)) > 8
                     || std::abs(qBlue(a) - qBlue(b)) > 8;
        }
    return stale;
}

} // namespace ShownPixels
