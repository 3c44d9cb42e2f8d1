#pragma once

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

// The person goes to another program for a while and comes back: another top-level window
// takes the activation, as the window system gives it, then the first one gets it back. The
// widget holding the focus meanwhile sees what it sees in a real session: a focus-out whose
// reason is the window's deactivation, and a focus-in on return.
namespace WindowActivation {

// Records the reasons of the focus-outs a widget receives.
class FocusOutReasons : public QObject {
public:
    explicit FocusOutReasons(QWidget* widget) : m_widget(widget)
    {
        if (widget)
            widget->installEventFilter(this);
    }
    ~FocusOutReasons() override
    {
        if (m_widget)
            m_widget->removeEventFilter(this);
    }
    QList<Qt::FocusReason> reasons;

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (object == m_widget && event->type() == QEvent::FocusOut)
            reasons.append(static_cast<QFocusEvent*>(event)->reason());
        return false;
    }

private:
    QPointer<QWidget> m_widget;
};

// The window of a widget shown and in front.
inline void activate(QWidget* widget)
{
    QWidget* window = widget->window();
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    QApplication::processEvents();
}

// Another window in front, until `comeBack` or for as long as the object lives.
class Away {
public:
    Away()
    {
        m_other = std::make_unique<QWidget>();
        m_other->setWindowTitle(QStringLiteral("Autre programme"));
        m_other->resize(300, 200);
        activate(m_other.get());
    }
    // The person's window in front again.
    void comeBack(QWidget* window)
    {
        m_other->hide();
        activate(window);
    }

private:
    std::unique_ptr<QWidget> m_other;
};

} // namespace WindowActivation
