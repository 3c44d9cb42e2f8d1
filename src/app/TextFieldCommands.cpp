#include "app/TextFieldCommands.h"

#include "desktop/CommandRouter.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

const char* const adoptedProperty = "plmTextFieldCommands";

bool clipboardHasText()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

} // namespace

TextFieldCommands::TextFieldCommands(CommandRouter& router, QObject* parent)
    : QObject(parent)
    , router_(router)
{
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { adopt(now); });
}

bool TextFieldCommands::adopt(QWidget* widget)
{
    if (!qobject_cast<QLineEdit*>(widget) && !qobject_cast<QTextEdit*>(widget) && !qobject_cast<QPlainTextEdit*>(widget))
        return false;
    if (!widget->property(adoptedProperty).toBool()) {
        widget->setProperty(adoptedProperty, true);
        auto* responder = new TextFieldResponder(widget);
        router_.attach(widget, responder, responder);
    }
    return true;
}

TextFieldResponder::TextFieldResponder(QWidget* field)
    : QObject(field)
    , field_(field)
{
}

TextFieldResponder::State TextFieldResponder::state() const
{
    State s;
    if (auto* line = qobject_cast<QLineEdit*>(field_.data())) {
        s.readOnly = line->isReadOnly();
        s.hasSelection = line->hasSelectedText() && line->echoMode() == QLineEdit::Normal;
        s.hasText = !line->text().isEmpty();
        s.canUndo = !s.readOnly && line->isUndoAvailable();
        s.canRedo = !s.readOnly && line->isRedoAvailable();
    } else if (auto* rich = qobject_cast<QTextEdit*>(field_.data())) {
        s.readOnly = rich->isReadOnly();
        s.hasSelection = rich->textCursor().hasSelection();
        s.hasText = !rich->document()->isEmpty();
        s.canUndo = !s.readOnly && rich->document()->isUndoAvailable();
        s.canRedo = !s.readOnly && rich->document()->isRedoAvailable();
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(field_.data())) {
        s.readOnly = plain->isReadOnly();
        s.hasSelection = plain->textCursor().hasSelection();
        s.hasText = !plain->document()->isEmpty();
        s.canUndo = !s.readOnly && plain->document()->isUndoAvailable();
        s.canRedo = !s.readOnly && plain->document()->isRedoAvailable();
    }
    return s;
}

bool TextFieldResponder::handles(const QString& command) const
{
    if (!field_)
        return false;
    static const QStringList editing = {QStringLiteral("cut:"), QStringLiteral("copy:"), QStringLiteral("paste:"),
                                        QStringLiteral("delete:"), QStringLiteral("selectAll:")};
    if (editing.contains(command))
        return true;
    // With nothing typed to undo, "Annuler" goes on to the pane and the document.
    if (command == QLatin1String("undo:"))
        return state().canUndo;
    if (command == QLatin1String("redo:"))
        return state().canRedo;
    return false;
}

CommandValidation TextFieldResponder::validate(const QString& command, QAction*) const
{
    const State s = state();
    CommandValidation v;
    if (command == QLatin1String("cut:") || command == QLatin1String("delete:"))
        v.enabled = s.hasSelection && !s.readOnly;
    else if (command == QLatin1String("copy:"))
        v.enabled = s.hasSelection;
    else if (command == QLatin1String("paste:"))
        v.enabled = !s.readOnly && clipboardHasText();
    else if (command == QLatin1String("selectAll:"))
        v.enabled = s.hasText;
    else if (command == QLatin1String("undo:"))
        v.enabled = s.canUndo;
    else if (command == QLatin1String("redo:"))
        v.enabled = s.canRedo;
    else
        v.enabled = false;
    return v;
}

void TextFieldResponder::perform(const QString& command, QObject*)
{
    const auto run = [&command](auto* field) {
        if (command == QLatin1String("cut:"))
            field->cut();
        else if (command == QLatin1String("copy:"))
            field->copy();
        else if (command == QLatin1String("paste:"))
            field->paste();
        else if (command == QLatin1String("selectAll:"))
            field->selectAll();
        else if (command == QLatin1String("undo:"))
            field->undo();
        else if (command == QLatin1String("redo:"))
            field->redo();
    };
    if (auto* line = qobject_cast<QLineEdit*>(field_.data())) {
        if (command == QLatin1String("delete:"))
            line->del();
        else
            run(line);
    } else if (auto* rich = qobject_cast<QTextEdit*>(field_.data())) {
        if (command == QLatin1String("delete:"))
            rich->textCursor().removeSelectedText();
        else
            run(rich);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(field_.data())) {
        if (command == QLatin1String("delete:"))
            plain->textCursor().removeSelectedText();
        else
            run(plain);
    }
}
