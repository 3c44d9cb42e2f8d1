#include "inspector/TypedField.h"

#include "desktop/DialogHooks.h"
#include "support/WidgetKeys.h"
#include "support/WindowActivation.h"

#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QSpinBox>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const QString refusal = QStringLiteral("Saisissez un entier.");

// A window with a whole-number field, stored as the number reads (« 007 » is 7), and a second
// field the Tab key goes to. What the field stores, takes and presents is recorded.
struct Scene {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QLineEdit* field = new QLineEdit;
    QLineEdit* next = new QLineEdit;
    QString stored = QStringLiteral("10");
    int takes = 0;
    QStringList presented;
    TypedField* typed = nullptr;

    // What the field's own refusal does: `beeps` when it says nothing (only `presented`
    // records it), `showsStored` when it gives the stored value back at once.
    explicit Scene(bool beeps = false, bool showsStored = false)
    {
        auto* layout = new QVBoxLayout(window.get());
        layout->addWidget(field);
        layout->addWidget(next);
        typed = TypedField::attach(field, {QStringLiteral("Nombre"), [this] { return stored; },
                                           [this](const QString& text) {
                                               ++takes;
                                               if (!QRegularExpression(QStringLiteral("^\\d+$")).match(text).hasMatch())
                                                   return refusal;
                                               stored = QString::number(text.toInt());
                                               return QString();
                                           },
                                           [this](const QString& message) { presented.append(message); }, beeps,
                                           showsStored});
        typed->refresh();
        WindowActivation::activate(window.get());
        field->setFocus(Qt::MouseFocusReason);
        field->selectAll();
    }

    void press(int key) { keyClick(QApplication::focusWidget(), key); }
    void type(const QString& text) { typeKeys(field, text); }
    // What the queued work of the field (the focus given back) has done.
    static void settle() { QCoreApplication::processEvents(); }
};

// How the person ends the edit, or does not.
using Act = std::function<void(Scene&)>;

const Act returnKey = [](Scene& s) { s.press(Qt::Key_Return); };
const Act tabKey = [](Scene& s) {
    s.press(Qt::Key_Tab);
    Scene::settle();
};
const Act clickOnTheNextField = [](Scene& s) {
    s.next->setFocus(Qt::MouseFocusReason);
    Scene::settle();
};

} // namespace

// One field's edit, from the keys typed to what it stores, presents and shows. An edit ends by
// the person's act in the window (Return, Tab, a click elsewhere): never because another
// window came in front or a context menu opened. A refused text is presented once and stays
// where it was typed, the focus back in it; left again unchanged, it gives way to the stored
// value.
TEST(TypedField, AnEditEndsByThePersonsActInTheWindow)
{
    struct Row {
        const char* name;
        Act act;
        QString stored;
        QStringList presented;
        QString shown;      // the field's text afterwards
        bool focusInField;  // the focus is in the field afterwards
        int takes = -1;     // how often a text was taken, when it matters
    };
    const QList<Row> rows{
        {"Return stores what is typed, as it is stored",
         [](Scene& s) { s.type(QStringLiteral("025")); returnKey(s); }, QStringLiteral("25"), {}, QStringLiteral("25"), true},
        {"Return on the text shown takes nothing", returnKey, QStringLiteral("10"), {}, QStringLiteral("10"), true, 0},
        {"Tab stores", [](Scene& s) { s.type(QStringLiteral("25")); tabKey(s); }, QStringLiteral("25"), {}, QStringLiteral("25"), false},
        {"a click on another field stores",
         [](Scene& s) { s.type(QStringLiteral("25")); clickOnTheNextField(s); }, QStringLiteral("25"), {}, QStringLiteral("25"), false},
        {"another program in front ends nothing; back, the rest typed and Return",
         [](Scene& s) {
             s.type(QStringLiteral("2"));
             {
                 WindowActivation::Away away;
                 EXPECT_EQ(s.takes, 0) << "taken while the person was away";
                 EXPECT_FALSE(s.field->hasFocus());
             }
             WindowActivation::activate(s.window.get());
             EXPECT_TRUE(s.field->hasFocus()) << "the person comes back to the field";
             s.type(QStringLiteral("5"));
             returnKey(s);
         },
         QStringLiteral("25"), {}, QStringLiteral("25"), true, 1},
        {"a context menu ends nothing, a refused text stays",
         [](Scene& s) {
             s.type(QStringLiteral("2"));
             QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
             QApplication::sendEvent(s.field, &popup);
             EXPECT_EQ(s.takes, 0);
             s.type(QStringLiteral("x"));
             returnKey(s);
             QApplication::sendEvent(s.field, &popup);
         },
         QStringLiteral("10"), {refusal}, QStringLiteral("2x"), true, 1},
        {"refused on Return: presented once, kept however often Return comes",
         [](Scene& s) { s.type(QStringLiteral("2x")); returnKey(s); returnKey(s); },
         QStringLiteral("10"), {refusal}, QStringLiteral("2x"), true, 1},
        {"refused on Return, then left: the stored value shows",
         [](Scene& s) { s.type(QStringLiteral("2x")); returnKey(s); tabKey(s); },
         QStringLiteral("10"), {refusal}, QStringLiteral("10"), false, 1},
        {"refused as the field is left by Tab: kept, the focus back in it",
         [](Scene& s) { s.type(QStringLiteral("2x")); tabKey(s); },
         QStringLiteral("10"), {refusal}, QStringLiteral("2x"), true, 1},
        {"refused as the field is left by a click: kept, the focus back in it",
         [](Scene& s) { s.type(QStringLiteral("2x")); clickOnTheNextField(s); },
         QStringLiteral("10"), {refusal}, QStringLiteral("2x"), true, 1},
        {"refused as it is left, left again unchanged: the stored value shows",
         [](Scene& s) { s.type(QStringLiteral("2x")); tabKey(s); tabKey(s); },
         QStringLiteral("10"), {refusal}, QStringLiteral("10"), false, 1},
        {"refused as it is left, typed on and left: refused again, still kept",
         [](Scene& s) { s.type(QStringLiteral("2x")); tabKey(s); s.type(QStringLiteral("y")); tabKey(s); },
         QStringLiteral("10"), {refusal, refusal}, QStringLiteral("2xy"), true, 2},
        {"refused, then corrected where it was typed",
         [](Scene& s) { s.type(QStringLiteral("2x")); tabKey(s); s.press(Qt::Key_Backspace); returnKey(s); },
         QStringLiteral("2"), {refusal}, QStringLiteral("2"), true, 2},
        {"a refused text away and back: nothing presented while away",
         [](Scene& s) {
             s.type(QStringLiteral("2x"));
             { WindowActivation::Away away; }
             WindowActivation::activate(s.window.get());
             EXPECT_TRUE(s.presented.isEmpty());
             returnKey(s);
         },
         QStringLiteral("10"), {refusal}, QStringLiteral("2x"), true, 1},
        {"a field only clicked shows a change made elsewhere, and leaving it stores nothing",
         [](Scene& s) {
             s.stored = QStringLiteral("30");
             s.typed->refresh();
             tabKey(s);
         },
         QStringLiteral("30"), {}, QStringLiteral("30"), false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Scene s;
        row.act(s);
        EXPECT_EQ(s.stored, row.stored);
        EXPECT_EQ(s.presented, row.presented);
        EXPECT_EQ(s.field->text(), row.shown);
        EXPECT_EQ(s.field->hasFocus(), row.focusInField);
        if (row.takes >= 0)
            EXPECT_EQ(s.takes, row.takes);
        // A field shows its stored value exactly when nothing is being typed in it.
        EXPECT_EQ(s.typed->isBeingTyped(), row.shown != s.stored);
    }
}

// A command that takes every edit (a save, a close, the end). In front of the person it takes a
// typed text, stops on a new refusal (presented, the text kept) and gives a refusal already seen
// up; once nobody can see the window, a refused text is named on the standard error output, once,
// with its field and the text lost, and nothing is presented.
TEST(TypedField, ACommandTakesEveryEditOrSaysWhyNot)
{
    const QString named = QStringLiteral("Pelmora Studio : « Nombre » : Saisissez un entier. Texte perdu : « 2x ».\n");
    struct Row {
        const char* name;
        Act before;
        bool unattended;
        bool kept;          // commit's answer
        QString stored;
        QStringList presented;
        QString shown;
        QString reported;   // the standard error output
        bool keptAgain = true; // a second command's answer: a refusal seen is given up, one named is not named again
    };
    const Act typedAndRefused = [](Scene& s) { s.type(QStringLiteral("2x")); returnKey(s); };
    const QList<Row> rows{
        {"a typed text is taken", [](Scene& s) { s.type(QStringLiteral("25")); }, false, true, QStringLiteral("25"), {},
         QStringLiteral("25"), {}},
        {"nothing typed, nothing taken", [](Scene&) {}, true, true, QStringLiteral("10"), {}, QStringLiteral("10"), {}},
        {"a new refusal stops the command", [](Scene& s) { s.type(QStringLiteral("2x")); }, false, false,
         QStringLiteral("10"), {refusal}, QStringLiteral("2x"), {}},
        {"a refusal already presented is given up", typedAndRefused, false, true, QStringLiteral("10"), {refusal},
         QStringLiteral("10"), {}},
        {"the end names a new refusal", [](Scene& s) { s.type(QStringLiteral("2x")); }, true, false, QStringLiteral("10"),
         {}, QStringLiteral("2x"), named},
        {"the end names a refusal the person saw, once", typedAndRefused, true, false, QStringLiteral("10"), {refusal},
         QStringLiteral("2x"), named},
        {"the end takes a text typed before another program came in front",
         [](Scene& s) {
             s.type(QStringLiteral("25"));
             WindowActivation::Away away;
             EXPECT_EQ(s.takes, 0);
         },
         true, true, QStringLiteral("25"), {}, QStringLiteral("25"), {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Scene s;
        row.before(s);
        testing::internal::CaptureStderr();
        const bool wasUnattended = DialogHooks::setUnattended(row.unattended);
        EXPECT_EQ(s.typed->commit(), row.kept);
        EXPECT_EQ(s.field->text(), row.shown);
        EXPECT_EQ(s.typed->commit(), row.keptAgain) << "a second command";
        DialogHooks::setUnattended(wasUnattended);
        EXPECT_EQ(QString::fromStdString(testing::internal::GetCapturedStderr()), row.reported);
        EXPECT_EQ(s.stored, row.stored);
        EXPECT_EQ(s.presented, row.presented);
    }
}

// A field whose refusal gives the stored value back does so as the person ends the edit; a
// command keeps the text to correct and stops. A command stopped by a refusal brings the field
// in front, its text selected, and says why there (in an alert for a field whose own refusal
// only beeps). A refusal counts as seen once said in front of the person: a command gives it
// up then, and stops on it until then.
TEST(TypedField, ARefusalIsSaidWhereThePersonIsAndGivenUpOnlyOnceSeen)
{
    struct Row {
        const char* name;
        bool beeps;
        bool showsStored;
        Act act;
        QStringList presented; // by the field's own rule
        QStringList alerted;   // by an alert the field makes
        QString shown;
        bool focusInField;
        bool keptByACommand; // what a command answers afterwards
    };
    const Act typeRefused = [](Scene& s) { s.type(QStringLiteral("2x")); };
    const Act commandStops = [](Scene& s) { EXPECT_FALSE(s.typed->commit()); };
    const QList<Row> rows{
        {"refused on Return, the stored value given back", false, true,
         [&](Scene& s) { typeRefused(s); returnKey(s); }, {refusal}, {}, QStringLiteral("10"), true, true},
        {"refused as it is left, the stored value given back", false, true,
         [&](Scene& s) { typeRefused(s); tabKey(s); }, {refusal}, {}, QStringLiteral("10"), false, true},
        {"a command keeps the refused text of such a field and stops", false, true,
         [&](Scene& s) { typeRefused(s); commandStops(s); }, {refusal}, {}, QStringLiteral("2x"), true, true},
        {"a beeping field stopping a command says why in an alert", true, false,
         [&](Scene& s) { typeRefused(s); commandStops(s); }, {}, {refusal}, QStringLiteral("2x"), true, true},
        {"a beep on Return is not seen: the next command stops and says why", true, false,
         [&](Scene& s) { typeRefused(s); returnKey(s); commandStops(s); }, {refusal}, {refusal}, QStringLiteral("2x"),
         true, true},
        {"a command from another window brings the field in front, its text selected", false, false,
         [&](Scene& s) {
             typeRefused(s);
             WindowActivation::Away away;
             commandStops(s);
             Scene::settle();
             EXPECT_EQ(QApplication::activeWindow(), s.window.get());
             EXPECT_EQ(s.field->selectedText(), QStringLiteral("2x"));
         },
         {refusal}, {}, QStringLiteral("2x"), true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QStringList alerted;
        DialogHooks::Hooks hooks;
        hooks.presentError = [&alerted](const QString& message, QWidget*) { alerted.append(message); };
        const DialogHooks::ScopedHooks scoped(hooks);
        Scene s(row.beeps, row.showsStored);
        row.act(s);
        EXPECT_EQ(s.presented, row.presented);
        EXPECT_EQ(alerted, row.alerted);
        EXPECT_EQ(s.field->text(), row.shown);
        EXPECT_EQ(s.field->hasFocus(), row.focusInField);
        EXPECT_EQ(s.stored, QStringLiteral("10"));
        EXPECT_EQ(s.typed->commit(), row.keptByACommand);
    }
}

// A dialog's field is confirmed by the dialog's own button: nothing takes it, and only the end,
// closing the dialog unanswered, names a text typed there.
TEST(TypedField, ADialogsUnconfirmedTextIsNamedOnlyAtTheEnd)
{
    QWidget dialog;
    auto* field = new QLineEdit(QStringLiteral("Part"), &dialog);
    TypedField* typed = TypedField::attachUnconfirmed(field, QStringLiteral("Renommer la variable"));
    WindowActivation::activate(&dialog);
    field->setFocus();
    EXPECT_TRUE(typed->commit()) << "untouched";
    field->end(false);
    typeKeys(field, QStringLiteral(" active"));
    keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(typed->commit()) << "a save in front of the person leaves the dialog alone";
    EXPECT_EQ(field->text(), QStringLiteral("Part active"));

    testing::internal::CaptureStderr();
    const bool wasUnattended = DialogHooks::setUnattended(true);
    EXPECT_FALSE(typed->commit());
    EXPECT_TRUE(typed->commit()) << "named once";
    DialogHooks::setUnattended(wasUnattended);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Pelmora Studio : « Renommer la variable » : Saisie non validée. Texte perdu : « Part active ».\n");
}

// A window being torn down blocks its children's signals first: its field, losing the focus
// as the window goes, takes nothing and presents nothing.
TEST(TypedField, AFieldOfAWindowBeingTornDownDoesNothing)
{
    Scene s;
    s.type(QStringLiteral("2x"));
    for (QObject* child : s.window->findChildren<QObject*>())
        child->blockSignals(true);
    clickOnTheNextField(s);
    EXPECT_TRUE(s.typed->commit());
    EXPECT_EQ(s.takes, 0);
    EXPECT_TRUE(s.presented.isEmpty());
}

// The real typing hook, as autosave and the changed-on-disk question ask it: a text is being
// typed while an edit of a field that stores it is open with a change not yet taken, in any
// shown window, the one in the background too; a spin box counts while the person is in it.
TEST(TypedField, TheTypingHookSeesOpenEditsNotFocus)
{
    const auto hook = DialogHooks::defaultHooks().textBeingTyped;
    Scene s;
    EXPECT_FALSE(hook()) << "a field merely holding the focus";
    s.type(QStringLiteral("2"));
    EXPECT_TRUE(hook()) << "typed";
    {
        WindowActivation::Away away;
        EXPECT_TRUE(hook()) << "typed, its window in the background";
    }
    WindowActivation::activate(s.window.get());
    returnKey(s);
    EXPECT_FALSE(hook()) << "taken by Return, the field still focused";
    s.type(QStringLiteral("x"));
    returnKey(s);
    EXPECT_TRUE(hook()) << "refused, still there";
    s.window->hide();
    EXPECT_FALSE(hook()) << "its window hidden";

    // A plain field (a search) holds nothing back, typed in or its edit ended by Return.
    QWidget searchWindow;
    auto* search = new QLineEdit(&searchWindow);
    WindowActivation::activate(&searchWindow);
    search->setFocus();
    typeKeys(search, QStringLiteral("ab"));
    EXPECT_FALSE(hook()) << "a search being typed";
    keyClick(search, Qt::Key_Return);
    EXPECT_FALSE(hook()) << "a plain field after Return";

    QWidget window;
    auto* spin = new QSpinBox(&window);
    WindowActivation::activate(&window);
    spin->setFocus();
    EXPECT_TRUE(DialogHooks::holdsTextBeingTyped(spin, true));
    EXPECT_FALSE(DialogHooks::holdsTextBeingTyped(spin, false)) << "a spin box in a window left";
    spin->setReadOnly(true);
    EXPECT_FALSE(DialogHooks::holdsTextBeingTyped(spin, true));
}
