#pragma once

#include "platform/CommandResponder.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class QAction;
class QMenu;

// Routes named commands along a responder chain in place of the platform's responder chain:
// the focused widget and each of its ancestors (the pane, then the window), each with the
// responders attached to it, then the application responder. A widget is a responder when
// it derives from CommandResponder; controllers that are not widgets attach themselves to
// the widget they drive (a pane controller to its root view, the window controller and the
// document to the window).
class CommandRouter : public QObject {
    Q_OBJECT
public:
    explicit CommandRouter(QObject* parent = nullptr);
    ~CommandRouter() override;

    // The router of the application's menus and windows.
    static CommandRouter& shared();

    // Responders asked for a widget, after the widget itself, in the order attached.
    // The attachment ends when the widget or the responder's object is destroyed
    // (owner: the QObject whose life bounds the responder, usually the responder itself).
    void attach(QWidget* widget, CommandResponder* responder, QObject* owner);
    void detach(QWidget* widget, CommandResponder* responder);

    void setApplicationResponder(CommandResponder* responder) { application_ = responder; }
    CommandResponder* applicationResponder() const { return application_; }

    // The chain starting at a widget (nullptr: start at the application responder only).
    QList<CommandResponder*> chainFrom(QWidget* start) const;
    // The chain of the moment: from the focus widget, else the active window.
    QList<CommandResponder*> currentChain() const;
    // Overrides the start of the current chain (tests, and windows with no focus widget).
    void setStartWidget(QWidget* widget) { startOverride_ = widget; }

    // The first responder of the current chain that answers the command, or nullptr.
    CommandResponder* target(const QString& command) const;

    // Performs the command when a responder answers it and it is enabled; returns whether it ran.
    bool perform(const QString& command, QObject* sender = nullptr);
    // Disabled and unchecked when nothing answers.
    CommandValidation validate(const QString& command, QAction* action = nullptr) const;

    // Names the action's command, wires its trigger to the router and validates it when its
    // menu shows or its shortcut is typed. The action keeps its own title as the base title.
    void bind(QAction* action, const QString& command);
    static QString commandOf(const QAction* action);
    // Brings every item of the menu up to date each time it is about to show.
    void watchMenu(QMenu* menu);
    // Validates one bound action (or all) now: enabled, checked and title.
    void validateAction(QAction* action) const;
    void validateAll() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Attachment {
        CommandResponder* responder;
        QPointer<QObject> owner;
    };
    QHash<QWidget*, QList<Attachment>> attached_;
    CommandResponder* application_ = nullptr;
    QPointer<QWidget> startOverride_;
    QList<QPointer<QAction>> actions_;
};
