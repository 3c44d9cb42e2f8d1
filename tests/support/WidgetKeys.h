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

// Text typed key by key, as a person types it: each character reaches the widget as its key
// (the field's edit signals and modified flag follow).
inline void typeKeys(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}
