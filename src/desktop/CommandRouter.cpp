#include "desktop/CommandRouter.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>

namespace {

const char* const commandProperty = "plmCommand";
const char* const baseTitleProperty = "plmBaseTitle";

} // namespace

CommandRouter::CommandRouter(QObject* parent)
    : QObject(parent)
{
    if (qApp) {
        qApp->installEventFilter(this);
        // Toolbar buttons show their state all the time: refresh it when the focus moves.
        if (qobject_cast<QApplication*>(qApp))
            connect(qApp, &QApplication::focusChanged, this, [this] { validateAll(); });
    }
}

CommandRouter::~CommandRouter() = default;

CommandRouter& CommandRouter::shared()
{
    static CommandRouter* router = new CommandRouter(qApp);
    return *router;
}

void CommandRouter::attach(QWidget* widget, CommandResponder* responder, QObject* owner)
{
    if (!widget || !responder)
        return;
    auto& list = attached_[widget];
    for (const Attachment& a : list)
        if (a.responder == responder)
            return;
    if (list.isEmpty())
        connect(widget, &QObject::destroyed, this, [this, widget] { attached_.remove(widget); });
    list.append({responder, QPointer<QObject>(owner)});
}

void CommandRouter::detach(QWidget* widget, CommandResponder* responder)
{
    auto it = attached_.find(widget);
    if (it == attached_.end())
        return;
    it->removeIf([responder](const Attachment& a) { return a.responder == responder; });
}

QList<CommandResponder*> CommandRouter::chainFrom(QWidget* start) const
{
    QList<CommandResponder*> chain;
    auto add = [&chain](CommandResponder* r) {
        if (r && !chain.contains(r))
            chain.append(r);
    };
    for (QWidget* w = start; w; w = w->parentWidget()) {
        add(dynamic_cast<CommandResponder*>(w));
        const auto it = attached_.constFind(w);
        if (it == attached_.constEnd())
            continue;
        for (const Attachment& a : *it)
            if (a.owner) // the owner's death ends the attachment
                add(a.responder);
    }
    add(application_);
    return chain;
}

QList<CommandResponder*> CommandRouter::currentChain() const
{
    QWidget* start = startOverride_.data();
    if (!start)
        start = QApplication::focusWidget();
    if (!start)
        start = QApplication::activeWindow();
    return chainFrom(start);
}

CommandResponder* CommandRouter::target(const QString& command) const
{
    for (CommandResponder* r : currentChain())
        if (r->handles(command))
            return r;
    return nullptr;
}

bool CommandRouter::perform(const QString& command, QObject* sender)
{
    CommandResponder* r = target(command);
    if (!r || !r->validate(command, qobject_cast<QAction*>(sender)).enabled)
        return false;
    r->perform(command, sender);
    return true;
}

CommandValidation CommandRouter::validate(const QString& command, QAction* action) const
{
    CommandResponder* r = target(command);
    if (!r) {
        CommandValidation none;
        none.enabled = false;
        return none;
    }
    return r->validate(command, action);
}

void CommandRouter::bind(QAction* action, const QString& command)
{
    if (!action)
        return;
    action->setProperty(commandProperty, command);
    action->setProperty(baseTitleProperty, action->text());
    connect(action, &QAction::triggered, this, [this, action] {
        perform(commandOf(action), action);
    });
    actions_.append(QPointer<QAction>(action));
}

QString CommandRouter::commandOf(const QAction* action)
{
    return action ? action->property(commandProperty).toString() : QString();
}

void CommandRouter::watchMenu(QMenu* menu)
{
    if (!menu)
        return;
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        for (QAction* a : menu->actions())
            if (!commandOf(a).isEmpty())
                validateAction(a);
    });
}

void CommandRouter::validateAction(QAction* action) const
{
    const QString command = commandOf(action);
    if (command.isEmpty())
        return;
    const CommandValidation v = validate(command, action);
    action->setEnabled(v.enabled);
    if (v.checked) {
        action->setCheckable(true);
        action->setChecked(*v.checked);
    } else if (action->isCheckable()) {
        action->setChecked(false);
    }
    action->setText(v.title ? *v.title : action->property(baseTitleProperty).toString());
}

void CommandRouter::validateAll() const
{
    for (const QPointer<QAction>& a : actions_)
        if (a)
            validateAction(a);
}

bool CommandRouter::eventFilter(QObject* watched, QEvent* event)
{
    // The shortcut map sends ShortcutOverride before it looks for an enabled action, so
    // validating here lets a shortcut fire exactly when its command can act.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence typed(key->keyCombination());
        actions_.removeIf([](const QPointer<QAction>& a) { return a.isNull(); });
        for (const QPointer<QAction>& a : actions_) {
            for (const QKeySequence& s : a->shortcuts()) {
                if (s == typed) {
                    validateAction(a);
                    break;
                }
            }
        }
    }
    return QObject::eventFilter(watched, event);
}
