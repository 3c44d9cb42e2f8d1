#pragma once

#include "desktop/TypedTextState.h"

#include <QString>

#include <functional>
#include <optional>

class QLineEdit;
class QWidget;

// A field whose typed text becomes a stored value once its edit ends: by the person's own act
// in the window (Return, Tab, a click elsewhere) or by a command that takes every edit (a save,
// a close, the end). A window that merely loses its activation ends nothing: coming back, the
// person goes on typing where they were. Every typed field of the inspectors follows the same
// rules through this one piece:
// - a field is being typed only once the person changed its text since it last showed the
//   stored value, and until something takes that change: a field only clicked shows the stored
//   value as it changes elsewhere, and leaving it stores nothing;
// - a text left as the field shows the stored value is no edit: the value it rounds stays exact;
// - a refused text is presented once and stays in the field (unless the field gives the stored
//   value back at once); refused as the person leaves the field, the focus goes back to it; left
//   again unchanged, it gives way to the stored value;
// - a command that takes every edit takes a changed text, or stops on its refusal: the field's
//   window comes in front, the focus in the field with its text selected, and the refusal is
//   said there. A refused text the person saw said in front of them is given up by the next
//   command; one never seen stops it again;
// - once nobody can see the window (the program ends), a refused text is named on the standard
//   error output with its field and counted lost.
// The piece is the field's child. It reacts to nothing once the field's signals are blocked (a
// window being torn down).
class TypedField : public TypedTextState {
    Q_OBJECT
public:
    struct Rules {
        // The field as the person reads it beside it: « Seuils », « Marges (mm) ».
        QString name;
        // The text the field shows for the stored value.
        std::function<QString()> shown;
        // Stores the typed text: empty when stored or nothing to store, else the French refusal
        // (nothing stored).
        std::function<QString(const QString& text)> take;
        // Shows a refusal where the person works (an alert, a beep, a status line); the dialog
        // hooks' error by default.
        std::function<void(const QString& message)> present;
        // `present` only beeps: a command stopped by the refusal says it in an alert.
        bool beeps = false;
        // A refusal at the end of the person's edit gives the stored value back at once (the
        // controls refreshed), rather than keeping the text to correct.
        bool showsStoredOnRefusal = false;
    };

    // Gives the field its rules; the piece lives as long as the field.
    static TypedField* attach(QLineEdit* field, Rules rules);
    // A field of a dialog, whose text the dialog's own button confirms: nothing here takes it,
    // but once nobody can see the dialog any more (the program ends), a text typed and never
    // confirmed is named as lost. `name` says the dialog and the field.
    static TypedField* attachUnconfirmed(QLineEdit* field, const QString& name);
    // The piece of a field, or nullptr.
    static TypedField* of(const QLineEdit* field);

    QLineEdit* field() const { return m_field; }
    const QString& name() const { return m_rules.name; }

    // Whether an edit is open with a change not taken yet (a refused text still there included).
    bool isBeingTyped() const override;
    // Shows the stored value, unless the person's edit is open.
    void refresh();
    // The same with the text of the stored value as the caller wrote it.
    void show(const QString& text);
    // Takes the edit as a command that takes every edit does. True when nothing is left pending:
    // stored, nothing typed, or a refusal already presented given up. False when the text is
    // refused now (presented; the field keeps it), or refused once nobody can see it (named).
    bool commit();
    // Gives the edit up: the field shows the stored value again.
    void discard();

    // Every typed field in a window (its own and its descendants'): stops at the first refusal,
    // or names every refusal once nobody can see the window.
    static bool commitAll(const QWidget* window);
    // The French sentence said of a number field's text that is no number.
    static QString notANumber();
    // What the end says of a refused text it could not keep: the field, why, and the text lost.
    static QString lostText(const QString& name, const QString& refusal, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TypedField(QLineEdit* field, Rules rules);
    enum class End { returnKey, left };
    void ended(End how);
    // Whether the field holds a change the person made and nothing took yet.
    bool holdsEdit(const QString& text) const;
    // Stores the text; the refusal presented (or named once nobody can see it) otherwise. A
    // command's refusal is said with the field in front of the person.
    enum class By { person, command };
    bool take(const QString& text, By by);
    void refuse(const QString& text, const QString& message, By by);
    // The field's window in front, the focus in the field with its text selected.
    void bringToFront();
    bool isActive() const;

    QLineEdit* m_field;
    Rules m_rules;
    // The text whose refusal was presented, while the field holds it.
    std::optional<QString> m_refused;
    QString m_refusal;
    // The refusal was said in front of the person (an alert, or the field's window active).
    bool m_refusalSeen = false;
    // Named on the standard error output already: the end counts it once.
    bool m_reported = false;
    // The dialog's own button takes the text (attachUnconfirmed).
    bool m_unconfirmed = false;
    // While the text is being stored, the refreshes it brings leave the field alone.
    bool m_taking = false;
    // The field's own end of editing that follows a Return or a loss of focus this piece took
    // (or chose to ignore) is no second end.
    bool m_skipFinish = false;
};
