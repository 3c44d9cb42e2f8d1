#pragma once

#include <QString>
#include <optional>

class QAction;
class QObject;

// What a responder says about a command before a menu shows or a shortcut fires.
struct CommandValidation {
    bool enabled = true;
    std::optional<bool> checked;  // set only by commands that show a check mark
    std::optional<QString> title; // a title of the moment ("Annuler Saisir une cellule")
};

// One link of the command chain: a widget, a pane, a window controller, a document or the
// application delegate. Commands are named like selectors: "saveDocument:", "undo:", "fit:".
class CommandResponder {
public:
    virtual ~CommandResponder() = default;

    // True when this responder answers the command; the first such responder in the chain
    // both performs it and validates it.
    virtual bool handles(const QString& command) const = 0;
    virtual void perform(const QString& command, QObject* sender) = 0;
    virtual CommandValidation validate(const QString& command, QAction* action) const
    {
        return {};
    }
};
