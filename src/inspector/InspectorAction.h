#pragma once

#include <QObject>
#include <functional>

// Lets a closure be the target of a control: connect the control's signal to invoke().
// Parent it to the control so it lives exactly as long.
class InspectorAction : public QObject {
    Q_OBJECT
public:
    InspectorAction(std::function<void()> execute, QObject* parent = nullptr);

    std::function<void()> execute;

    // Makes an action owned by the control and runs it on the control's signal.
    template <typename Control, typename Signal>
    static InspectorAction* connectTo(Control* control, Signal signal, std::function<void()> run)
    {
        auto* action = new InspectorAction(std::move(run), control);
        QObject::connect(control, signal, action, &InspectorAction::invoke);
        return action;
    }

public slots:
    void invoke();
};
