#pragma once

#include "platform/CommandResponder.h"

#include <QObject>
#include <QPointer>

class CommandRouter;
class QWidget;

// Makes the text fields of every window answer the Édition menu while they have the focus
// ("Couper", "Copier", "Coller", "Supprimer", "Tout sélectionner", and "Annuler"/"Rétablir"
// while the field has typing to undo or redo), as the field editor of a text field does.
// Each field gets its responder the first time it takes the focus.
class TextFieldCommands : public QObject {
    Q_OBJECT
public:
    explicit TextFieldCommands(CommandRouter& router, QObject* parent = nullptr);

    // Attaches a responder to the widget when it is a text field (QLineEdit, QTextEdit,
    // QPlainTextEdit) without one; answers whether the widget is a text field.
    bool adopt(QWidget* widget);

private:
    CommandRouter& router_;
};

// The responder of one text field.
class TextFieldResponder : public QObject, public CommandResponder {
    Q_OBJECT
public:
    explicit TextFieldResponder(QWidget* field);

    bool handles(const QString& command) const override;
    void perform(const QString& command, QObject* sender) override;
    CommandValidation validate(const QString& command, QAction* action) const override;

private:
    struct State {
        bool readOnly = true;
        bool hasSelection = false;
        bool hasText = false;
        bool canUndo = false;
        bool canRedo = false;
    };
    State state() const;

    QPointer<QWidget> field_;
};
