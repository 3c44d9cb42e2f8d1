#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

// A key pressed and released on a widget, through the application so that a key the widget
// leaves goes on to its window (Return to a dialog's default button, Escape to cancel).
inline void keyClick(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = {})
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(widget, &release);
}
