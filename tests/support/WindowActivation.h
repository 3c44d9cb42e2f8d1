#pragma once

#include <QApplication>
#include <QWidget>

// The person's window switches. The window system activates one window at a time: the window
// left keeps its focus widget and that widget loses the keyboard focus for the activation's
// reason (Qt::ActiveWindowFocusReason), as when another program comes to the front.
namespace WindowActivation {

inline void activate(QWidget* widget)
{
    QWidget* window = widget->window();
    window->show();
    QApplication::setActiveWindow(window);
    QCoreApplication::processEvents();
}

// Another program's window in front, for as long as the object lives.
struct AnotherProgram {
    QWidget window;
    AnotherProgram()
    {
        window.setWindowTitle(QStringLiteral("Autre programme"));
        window.resize(240, 120);
        activate(&window);
    }
};

} // namespace WindowActivation
