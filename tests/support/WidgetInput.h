#pragma once

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <gtest/gtest.h>

// A popup item chosen and a field's text entered as a person does, so that the controls' own
// signals follow: `activated` for the popup, `editingFinished` for the field.
inline void choose(QComboBox* popup, int index)
{
    popup->setCurrentIndex(index);
    emit popup->activated(index);
}

inline void choose(QComboBox* popup, const QString& item)
{
    const int index = popup->findText(item);
    ASSERT_GE(index, 0) << item.toStdString();
    choose(popup, index);
}

inline void type(QLineEdit* field, const QString& text)
{
    field->setText(text);
    emit field->editingFinished();
}

// A left-button event at a point of the widget, sent through the application, with the button
// held as a person's press, drag or release holds it.
inline void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::KeyboardModifiers modifiers = {})
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::LeftButton, held, modifiers);
    QApplication::sendEvent(widget, &event);
}

inline void sendClick(QWidget* widget, QPoint at, Qt::KeyboardModifiers modifiers = {})
{
    sendMouse(widget, QEvent::MouseButtonPress, at, modifiers);
    sendMouse(widget, QEvent::MouseButtonRelease, at, modifiers);
}

// A person's click: the widget takes the focus as its policy allows (Qt gives it only on the
// window system's own events), then the press and the release.
inline void sendFocusingClick(QWidget* widget, QPoint at)
{
    if (widget->focusPolicy() & Qt::ClickFocus)
        widget->setFocus(Qt::MouseFocusReason);
    sendClick(widget, at);
}

// Press, release, then the second press as Qt reports it, and its release.
inline void sendDoubleClick(QWidget* widget, QPoint at)
{
    sendClick(widget, at);
    sendMouse(widget, QEvent::MouseButtonDblClick, at);
    sendMouse(widget, QEvent::MouseButtonRelease, at);
}
