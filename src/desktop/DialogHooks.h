#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

// Every modal question the program asks goes through these hooks, so tests can answer
// them without a dialog ever blocking the event loop.
namespace DialogHooks {

enum class AlertStyle { Informational, Warning, Critical };

struct Alert {
    QString message;          // bold first line
    QString informativeText;  // smaller second paragraph, may be empty
    QStringList buttons;      // empty means one "OK"
    int defaultButton = 0;    // the button Return presses (the first unless told otherwise)
    AlertStyle style = AlertStyle::Warning;
    QWidget* window = nullptr; // when set the alert is shown window-modal (a sheet)
};

// Index of the button chosen in Alert::buttons (0 for the default button).
using AlertHook = std::function<int(const Alert&)>;

// The answer of an alert closed without a person's answer (its loop ended under it, or nobody
// can answer any more), as Escape gives it: the button « Annuler » wherever it stands, else
// the only button; past the last one (no button) for several without « Annuler ».
int unansweredButton(const Alert& alert);

// Non-blocking alert attached to a window; the completion receives the button index.
using SheetHook = std::function<void(const Alert&, std::function<void(int)> completion)>;

using ErrorHook = std::function<void(const QString& message, QWidget* window)>;

enum class SaveChangesAnswer { Save, DontSave, Cancel };
using SaveChangesHook = std::function<SaveChangesAnswer(const QString& displayName, QWidget* window)>;

struct FileTypeChoice {
    QString identifier;   // type identifier, e.g. "ondrel.pelmorastudio.plm"
    QString description;  // shown in the type menu of the panel
    QStringList extensions; // without dot; the first is the one appended by default
};

struct OpenPanelRequest {
    QString title;
    QString prompt;
    QString message;
    QStringList extensions; // accepted extensions without dot, empty accepts every file
    bool allowsMultipleSelection = false;
    bool canChooseDirectories = false;
    bool canChooseFiles = true;
    QString directory;
    QWidget* window = nullptr;
    // Named kinds of files offered in order, then « Tous les fichiers (*) »; none offers any file.
    QList<FileTypeChoice> filters;
    // The user-defaults key of the folder last used for this kind of panel: the panel opens
    // there (unless a directory is given) and remembers the folder of what was chosen.
    QString folderKey;
};
// Chosen absolute paths, or nothing when the user cancelled.
using OpenPanelHook = std::function<std::optional<QStringList>(const OpenPanelRequest&)>;

struct SavePanelRequest {
    QString title;
    QString prompt;
    QString suggestedName;        // without extension, or the name typed when the panel shows again
    QString directory;
    QList<FileTypeChoice> types;  // in the order offered; empty means any file
    QString selectedType;         // identifier chosen at first
    QWidget* window = nullptr;
    // Why the program may not write at that path (the file of another open document), or
    // empty; asked of the path as written, before any question and again after it.
    std::function<QString(const QString& path)> refusal;
    // Why this save will not write over what exists at that path (anything where a library
    // is created), or empty; asked only of an existing path. A folder is never replaced either.
    std::function<QString(const QString& path)> replacementRefusal;
};
struct SavePanelResult {
    QString path;        // absolute; the extension of the chosen type is added when missing
    QString typeIdentifier;
};
// What a save panel's answer saves: a name typed with the extension of one of the types offered
// is saved as that type, whatever the list shows; any other name takes the type chosen in the
// list (the one chosen at first when none is), with its extension added.
SavePanelResult savedAs(const SavePanelRequest& request, const SavePanelResult& answer);
using SavePanelHook = std::function<std::optional<SavePanelResult>(const SavePanelRequest&)>;

using ColorPanelHook = std::function<std::optional<QColor>(const QColor& initial, const QString& title, QWidget* window)>;
using FontPanelHook = std::function<std::optional<QFont>(const QFont& initial, const QString& title, QWidget* window)>;
// Whether the person is typing a text (an edit is open with a change not taken yet): what the
// program would ask or alert unprompted then waits, so that no keystroke lands in a dialog.
using TypingHook = std::function<bool()>;

struct Hooks {
    AlertHook alert;
    SheetHook sheet;
    ErrorHook presentError;
    SaveChangesHook askSaveChanges;
    OpenPanelHook openPanel;
    SavePanelHook savePanel;
    ColorPanelHook colorPanel;
    FontPanelHook fontPanel;
    TypingHook textBeingTyped;
};

// The real dialogs (QMessageBox, QFileDialog, QColorDialog, QFontDialog).
Hooks defaultHooks();
// Whether a window's focus widget holds a text being typed, as the real typing hook asks of
// every visible window: a field that stores its text with a change typed and not taken yet (see
// TypedTextState), an item view's editor with a change, a text document's change, an editable
// pop-up's text, a widget whose "textBeingTyped" property says so, or a spin box the person is
// in (its window active). A search field or a field whose edit Return ended holds nothing.
bool holdsTextBeingTyped(const QWidget* focus, bool inActiveWindow);

// The hooks in force (a copy); every missing member of an installed set falls back to the default.
Hooks current();
void install(const Hooks& hooks);

// Once nobody is there to answer (the program's event loop has ended, or ends on a signal), no
// window may show: every question and panel is answered at once as if closed unanswered, and
// what an alert or an error would say goes to the standard error output instead. Takes
// precedence over every installed hook. Returns the previous setting.
bool setUnattended(bool unattended);
bool isUnattended();
// Whether a text is being typed, as the hook in force says (never once unattended).
bool isTextBeingTyped();
// What an unattended alert or error writes: one line on the standard error output, the
// program's name, the document spoken of (see UnattendedSubject) and the text.
void reportUnattended(const QString& message);
// A refusal a window shows in itself (a status line rather than an alert): once nobody can
// see it, it is reported as an unattended alert is.
void reportUnseen(const QString& message);

// While it lives, unattended reports speak of that document: « name » : before their text.
class UnattendedSubject {
public:
    explicit UnattendedSubject(const QString& documentName);
    ~UnattendedSubject();
    UnattendedSubject(const UnattendedSubject&) = delete;
    UnattendedSubject& operator=(const UnattendedSubject&) = delete;

private:
    QString previous_;
};
// Replaces what members missing from the installed set fall back to (the real dialogs unless
// changed); test programs make every unanswered question return at once instead of blocking.
void setFallbackHooks(const Hooks& hooks);

// Convenience wrappers through the hooks in force.
int runAlert(const Alert& alert);
void beginSheet(const Alert& alert, std::function<void(int)> completion);
// A message of several paragraphs shows its first as the alert's heading, the rest as detail.
void presentError(const QString& message, QWidget* window = nullptr);
// A French heading with the text of the error under it, as one message for presentError().
QString errorWithDetail(const QString& heading, const QString& detail);
// « Le document « X » n’a pas pu être ouvert. » over the reader's own text.
QString documentOpenFailure(const QString& path, const QString& detail);
SaveChangesAnswer askSaveChanges(const QString& displayName, QWidget* window = nullptr);
std::optional<QStringList> runOpenPanel(const OpenPanelRequest& request);
// The answer as savedAs() makes it. The path written, once its extension is added, is the one
// checked: the request's refusal is shown before anything is asked, and again once the
// person has said « Remplacer » (the file may have been opened while the question showed).
// What exists there and will not be replaced (a folder, or what replacementRefusal names) is
// said at once, with « OK » alone; anything else is replaced only once the person has said so
// (replaceQuestion). After a refusal, that notice or « Annuler », the panel shows again in the
// same folder with the name typed.
std::optional<SavePanelResult> runSavePanel(const SavePanelRequest& request);
// The question asked before a save replaces what exists at the path: « Remplacer » or « Annuler »,
// which Return and Escape give.
Alert replaceQuestion(const QString& path, QWidget* window = nullptr);
std::optional<QColor> chooseColor(const QColor& initial, const QString& title = {}, QWidget* window = nullptr);
std::optional<QFont> chooseFont(const QFont& initial, const QString& title = {}, QWidget* window = nullptr);

// Installs hooks for the lifetime of the object and restores the previous ones after.
class ScopedHooks {
public:
    explicit ScopedHooks(const Hooks& hooks);
    ~ScopedHooks();
    ScopedHooks(const ScopedHooks&) = delete;
    ScopedHooks& operator=(const ScopedHooks&) = delete;

private:
    Hooks previous_;
};

// The question asked when a changed document closes, as shown by the default hook.
QString saveChangesMessage(const QString& displayName);

} // namespace DialogHooks
