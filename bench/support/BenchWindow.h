#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>

class QEventLoop;
class QWidget;

namespace benchmark {
class State;
}

// What a window benchmark needs to time what the person sees, on the offscreen platform as on
// a real display: the window shown and exposed by the platform, and the paint events of the one
// widget that shows the picture. A timed step makes its change, then runs the event loop until
// that widget has painted and its picture is final; a step that painted nothing fails the
// benchmark ("nothing was painted"), since its figure would then be one without painting.
//
//     BenchWindow window(host, [&] { return map.hasPendingRefinement(); });
//     if (!window.show(state, QSize(1600, 1000)))
//         return;
//     for (auto _ : state) {
//         window.mark();
//         change();
//         if (!window.waitForPicture(state))
//             break;
//     }
class BenchWindow : public QObject {
public:
    // Which paints count: the widget's alone, or also those of the widgets inside it (every view
    // of a window, for a change that shows in several; views made after the watch began).
    enum class Scope { widget, withChildren };
    // `pending` tells whether the picture on screen still waits for work left for later (a map
    // view's sharp picture after a gesture); the picture is final once it answers false after
    // a paint.
    explicit BenchWindow(QWidget* painted, std::function<bool()> pending = {}, Scope scope = Scope::widget);
    ~BenchWindow() override;

    // Shows the painted widget's window (resized to `size` when given) and runs the event loop
    // until the platform has exposed it and the widget's first picture is final. False, with
    // the benchmark failed, when that never comes.
    bool show(benchmark::State& state, QSize size = QSize());
    // Waits as show() does for a window shown by other code (a document opening its window).
    bool waitForExposure(benchmark::State& state);

    // Starts a step: its paints are counted from here.
    void mark() { m_paintsSinceMark = 0; }
    // The widget painted last (among those counted).
    QWidget* lastPainted() const { return m_lastPainted; }

    // Runs the event loop until the widget has painted since the mark and its picture is
    // final, then until the display has taken that picture. False, with the benchmark failed,
    // when nothing was painted (or the picture never became final) within a minute.
    bool waitForPicture(benchmark::State& state);
    // The same for one frame of a gesture: a paint since the mark, final or not.
    bool waitForPaint(benchmark::State& state);
    // Paints the whole widget now, as an expose of it would, then waits as waitForPicture.
    bool repaint(benchmark::State& state);

    // Whether the window shows `expected` (the picture a view should show, drawn apart) in
    // `area` of `widget` (the widget's coordinates; the image has its size), read back from the
    // platform once the picture is final: the platform's copy of the window (the offscreen
    // screen's, or the display server's), so what reached the window, not a paint made for the
    // check. Both are compared in blocks by their mean colour, so that two drawings of the same
    // picture agree whatever their edges' antialiasing; the blocks of one plain colour in
    // `expected` (its background, the inside of a large shape) are left out, so that the share
    // counts what the view draws rather than its empty margins. Returns the share of the
    // others that the window shows alike; negative when the platform gives no picture of that
    // area.
    static double shownShare(const QWidget* widget, const QRect& area, const QImage& expected);
    // Fails the benchmark with `failure` and the share found when it is below `minimum`;
    // `share`, when given, receives it. Untimed work: pause the timing around it.
    static bool shows(benchmark::State& state, const QWidget* widget, const QRect& area, const QImage& expected,
                      double minimum, const QString& failure, double* share = nullptr);

    // Stop and restart the timing around untimed work (a window closed, a selection cleared)
    // that may itself fail the benchmark: the library refuses to pause or resume once it has.
    static void pauseTiming(benchmark::State& state);
    static void resumeTiming(benchmark::State& state);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool pictureIsFinal() const;
    bool wait(benchmark::State& state, const std::function<bool()>& done);
    // Runs the event loop until done() holds (checked now and after each paint) or the
    // deadline passes.
    bool runUntil(const std::function<bool()>& done, int timeoutMs);

    QPointer<QWidget> m_painted;
    std::function<bool()> m_pending;
    Scope m_scope = Scope::widget;
    QPointer<QWidget> m_lastPainted;
    int m_paintsSinceMark = 0;
    QEventLoop* m_loop = nullptr;
};
