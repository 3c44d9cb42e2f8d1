#include "inspector/TypedField.h"

#include "desktop/DialogHooks.h"
#include "desktop/FocusLoss.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QTimer>

TypedField::TypedField(QLineEdit* field, Rules rules)
    : TypedTextState(field)
    , m_field(field)
    , m_rules(std::move(rules))
{
    field->installEventFilter(this);
    connect(field, &QLineEdit::returnPressed, this, [this] {
        if (!isActive())
            return;
        m_skipFinish = true;
        ended(End::returnKey);
    });
    // The end of editing the field says itself comes after a Return or a loss of focus, both
    // taken here; one that comes alone (sent by a program) ends the edit as Return does.
    connect(field, &QLineEdit::editingFinished, this, [this] {
        if (std::exchange(m_skipFinish, false) || !isActive())
            return;
        ended(End::returnKey);
    });
    connect(field, &QLineEdit::textChanged, this, [this] { m_skipFinish = false; });
}

TypedField* TypedField::attach(QLineEdit* field, Rules rules)
{
    if (!rules.present)
        rules.present = [field](const QString& message) { DialogHooks::presentError(message, field->window()); };
    return new TypedField(field, std::move(rules));
}

TypedField* TypedField::attachUnconfirmed(QLineEdit* field, const QString& name)
{
    const QString initial = field->text();
    auto* typed = new TypedField(field, {name, [initial] { return initial; }, {}, {}});
    typed->m_unconfirmed = true;
    return typed;
}

TypedField* TypedField::of(const QLineEdit* field)
{
    return field ? field->findChild<TypedField*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

QString TypedField::notANumber()
{
    return QStringLiteral("Valeur numérique incorrecte.");
}

QString TypedField::lostText(const QString& name, const QString& refusal, const QString& text)
{
    return QStringLiteral("« %1 » : %2 Texte perdu : « %3 ».").arg(name, refusal, text);
}

bool TypedField::isActive() const
{
    // A field being destroyed is a QLineEdit no more; a window being torn down blocks its
    // children's signals first.
    return qobject_cast<QLineEdit*>(static_cast<QObject*>(m_field)) && !m_field->signalsBlocked()
        && !QCoreApplication::closingDown();
}

bool TypedField::holdsEdit(const QString& text) const
{
    // Typed by the person since the field last showed the stored value (showing it clears the
    // flag), or still there after its refusal. The focus alone is no edit: a field only clicked
    // keeps showing the stored value as it changes elsewhere, and stores nothing.
    const bool typed = m_field->isModified() || m_refused;
    return typed && text != m_rules.shown();
}

bool TypedField::isBeingTyped() const
{
    return isActive() && (m_taking || holdsEdit(m_field->text()));
}

void TypedField::refresh()
{
    if (!isBeingTyped())
        show(m_rules.shown());
}

void TypedField::show(const QString& text)
{
    if (isBeingTyped())
        return;
    m_refused.reset();
    m_reported = false;
    if (m_field->text() != text)
        m_field->setText(text);
    m_field->setModified(false);
}

void TypedField::discard()
{
    m_refused.reset();
    m_reported = false;
    m_field->setText(m_rules.shown());
}

bool TypedField::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_field && event->type() == QEvent::FocusIn)
        m_skipFinish = false;
    if (watched == m_field && event->type() == QEvent::FocusOut && isActive()) {
        m_skipFinish = true;
        // The window losing its activation (another program or window in front, a dialog), a
        // pop-up or context menu, the menu bar: the person has not left the field.
        if (!FocusLoss::endsNothing(event))
            ended(End::left);
    }
    return false;
}

void TypedField::ended(End how)
{
    if (m_unconfirmed)
        return;
    const QString text = m_field->text();
    if (text == m_rules.shown()) {
        // Nothing typed, or typed back as shown: the exact stored value stays.
        m_refused.reset();
        m_reported = false;
        m_field->setModified(false);
        return;
    }
    if (m_refused && *m_refused == text) {
        // Return again presents nothing more; left again, the text gives way to the stored value.
        if (how == End::left)
            discard();
        return;
    }
    if (take(text, By::person) || how != End::left)
        return;
    // Refused as the person left the field: they correct it where they typed it. A field the
    // person's click took away (its object no longer selected) gives the text up instead.
    QTimer::singleShot(0, this, [this] {
        if (!isActive() || !m_refused || m_field->text() != *m_refused)
            return;
        if (m_field->isVisible() && m_field->isEnabled())
            m_field->setFocus(Qt::OtherFocusReason);
        else
            discard();
    });
}

bool TypedField::commit()
{
    // A command run while the text is being stored (a mode switch it needs) finds it taken.
    if (!isActive() || m_taking)
        return true;
    const QString text = m_field->text();
    if (m_unconfirmed) {
        // Nothing to take while someone can still confirm it.
        if (!DialogHooks::isUnattended() || text == m_rules.shown() || m_reported)
            return true;
        DialogHooks::reportUnattended(lostText(m_rules.name, QStringLiteral("Saisie non validée."), text));
        m_reported = true;
        return false;
    }
    if (!holdsEdit(text)) {
        // A refused text not held any more is the stored value's own (an undo came back to it).
        m_refused.reset();
        return true;
    }
    if (m_refused && *m_refused == text) {
        if (!DialogHooks::isUnattended()) {
            // The person has seen why and goes on (a save, a close, an undo): the text is given
            // up rather than stopping every later command. A refusal nobody saw (a beep, a
            // status line behind another window) stops the command and is said now.
            if (!m_refusalSeen) {
                refuse(text, m_refusal, By::command);
                return false;
            }
            discard();
            return true;
        }
        // Nobody can see the field any more: what it held is lost, said once.
        if (m_reported)
            return true;
        DialogHooks::reportUnattended(lostText(m_rules.name, m_refusal, text));
        m_reported = true;
        return false;
    }
    return take(text, By::command);
}

bool TypedField::take(const QString& text, By by)
{
    QString refusal;
    {
        const QScopedValueRollback<bool> taking(m_taking, true);
        if (m_rules.take)
            refusal = m_rules.take(text);
    }
    if (refusal.isEmpty()) {
        m_refused.reset();
        m_reported = false;
        // The field shows what was stored, as the stored value writes it.
        if (m_field->text() == text)
            m_field->setText(m_rules.shown());
        m_field->setModified(false);
        return true;
    }
    refuse(text, refusal, by);
    return false;
}

void TypedField::refuse(const QString& text, const QString& message, By by)
{
    m_refused = text;
    m_refusal = message;
    m_reported = false;
    m_refusalSeen = false;
    if (DialogHooks::isUnattended()) {
        DialogHooks::reportUnattended(lostText(m_rules.name, message, text));
        m_reported = true;
        return;
    }
    QWidget* window = m_field->window();
    if (by == By::command) {
        // The command stops where the person can see why: the field in front, its text selected.
        // A field that only beeps, or that nobody can see, says it in an alert.
        bringToFront();
        m_refusalSeen = true;
        if (m_rules.beeps || !m_field->isVisible() || !m_rules.present)
            DialogHooks::presentError(message, window);
        else
            m_rules.present(message);
        return;
    }
    if (m_rules.showsStoredOnRefusal)
        discard();
    m_refusalSeen = !m_rules.beeps && window && window->isActiveWindow();
    if (m_rules.present)
        m_rules.present(message);
}

void TypedField::bringToFront()
{
    QWidget* window = m_field->window();
    if (window && window->isVisible() && !window->isActiveWindow()) {
        if (window->isMinimized())
            window->showNormal();
        window->raise();
        window->activateWindow();
    }
    if (m_field->isVisible() && m_field->isEnabled())
        m_field->setFocus(Qt::OtherFocusReason);
    m_field->selectAll();
}

bool TypedField::commitAll(const QWidget* window)
{
    if (!window)
        return true;
    // Once nobody can see the window, every refused text is named, not only the first.
    const bool unattended = DialogHooks::isUnattended();
    bool kept = true;
    for (TypedField* field : window->findChildren<TypedField*>()) {
        if (!field->commit()) {
            kept = false;
            if (!unattended)
                break;
        }
    }
    return kept;
}
