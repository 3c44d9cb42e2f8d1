#include "desktop/DialogHooks.h"
#include "desktop/TypedTextState.h"
#include "platform/UserDefaults.h"

#include "model/PlmFileLimits.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace DialogHooks {
namespace {

QMessageBox::Icon iconFor(AlertStyle style)
{
    switch (style) {
    case AlertStyle::Informational: return QMessageBox::Information;
    case AlertStyle::Critical: return QMessageBox::Critical;
    case AlertStyle::Warning: break;
    }
    return QMessageBox::Warning;
}

// Builds the box and returns the buttons in the order of the request. Escape presses the
// button a box closed without an answer gives (the one rejecting, or the only one).
QMessageBox* makeBox(const Alert& alert, QList<QAbstractButton*>& buttons)
{
    auto* box = new QMessageBox(alert.window);
    box->setIcon(iconFor(alert.style));
    box->setText(alert.message);
    box->setInformativeText(alert.informativeText);
    const QStringList titles = alert.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : alert.buttons;
    const int unanswered = unansweredButton(alert);
    for (int i = 0; i < titles.size(); ++i) {
        const auto role = i == 0 ? QMessageBox::AcceptRole
                        : (i == unanswered ? QMessageBox::RejectRole : QMessageBox::DestructiveRole);
        buttons.append(box->addButton(titles[i], role));
    }
    box->setDefaultButton(qobject_cast<QPushButton*>(buttons.value(alert.defaultButton, buttons.first())));
    if (alert.window)
        box->setWindowModality(Qt::WindowModal);
    return box;
}

// The button pressed; a box whose loop ended under it (the program's end) had none.
int indexOf(QMessageBox* box, const QList<QAbstractButton*>& buttons, const Alert& alert)
{
    const int index = int(buttons.indexOf(box->clickedButton()));
    return index < 0 ? unansweredButton(alert) : index;
}

QString filterFor(const FileTypeChoice& type)
{
    QStringList patterns;
    for (const QString& ext : type.extensions)
        patterns << QStringLiteral("*.") + ext;
    return QStringLiteral("%1 (%2)").arg(type.description, patterns.join(QLatin1Char(' ')));
}

Hooks& installed()
{
    static Hooks hooks;
    return hooks;
}

template <typename F>
const F& pick(const F& installedHook, const F& fallback)
{
    return installedHook ? installedHook : fallback;
}

} // namespace

int unansweredButton(const Alert& alert)
{
    // Whatever the order of the buttons, « Annuler » and never a destructive one (the save
    // question's « Ne pas enregistrer » comes last).
    const int cancel = int(alert.buttons.indexOf(QStringLiteral("Annuler")));
    if (cancel >= 0)
        return cancel;
    return alert.buttons.size() <= 1 ? 0 : int(alert.buttons.size());
}

QString saveChangesMessage(const QString& displayName)
{
    // No-break spaces inside the guillemets and before "?": a wrapped line never parts them.
    return QStringLiteral("Voulez-vous enregistrer les modifications apportées au document «\u00A0%1\u00A0»\u00A0?")
        .arg(displayName);
}

bool holdsTextBeingTyped(const QWidget* focus, bool inActiveWindow)
{
    if (!focus)
        return false;
    if (focus->property("textBeingTyped").toBool())
        return true;
    // A field that stores its text says whether the person typed a change nothing took yet. An
    // item view's editor stores its text as it closes. Any other plain field holds nothing back
    // (a search, a resolution read when used): its modified flag outlives the edit Return ended.
    if (const auto* line = qobject_cast<const QLineEdit*>(focus)) {
        if (const TypedTextState* state = TypedTextState::of(line))
            return state->isBeingTyped();
        const QWidget* viewport = line->parentWidget();
        const bool inPlace = viewport && qobject_cast<const QAbstractItemView*>(viewport->parentWidget());
        return inPlace && !line->isReadOnly() && line->isModified();
    }
    if (const auto* text = qobject_cast<const QTextEdit*>(focus))
        return !text->isReadOnly() && text->document()->isModified();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(focus))
        return !plain->isReadOnly() && plain->document()->isModified();
    if (const auto* combo = qobject_cast<const QComboBox*>(focus))
        return combo->isEditable() && combo->lineEdit() && combo->lineEdit()->isModified();
    // A spin box tells nothing of its edit: it counts while the person is in it.
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(focus))
        return inActiveWindow && !spin->isReadOnly();
    return false;
}

Hooks defaultHooks()
{
    Hooks hooks;
    hooks.alert = [](const Alert& alert) {
        QList<QAbstractButton*> buttons;
        QMessageBox* box = makeBox(alert, buttons);
        box->exec();
        const int index = indexOf(box, buttons, alert);
        delete box;
        return index;
    };
    hooks.sheet = [](const Alert& alert, std::function<void(int)> completion) {
        QList<QAbstractButton*> buttons;
        QMessageBox* box = makeBox(alert, buttons);
        box->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(box, &QMessageBox::finished, box, [box, buttons, completion, alert](int) {
            if (completion)
                completion(indexOf(box, buttons, alert));
        });
        box->open();
    };
    hooks.presentError = [](const QString& message, QWidget* window) {
        Alert alert;
        // A message of several paragraphs: the first is the heading, the rest its detail.
        const qsizetype split = message.indexOf(QStringLiteral("\n\n"));
        alert.message = split < 0 ? message : message.left(split);
        if (split >= 0)
            alert.informativeText = message.mid(split + 2);
        alert.style = AlertStyle::Critical;
        alert.window = window;
        runAlert(alert);
    };
    hooks.askSaveChanges = [](const QString& displayName, QWidget* window) {
        Alert alert;
        alert.message = saveChangesMessage(displayName);
        alert.informativeText = QStringLiteral("Vos modifications seront perdues si vous ne les enregistrez pas.");
        alert.buttons = {QStringLiteral("Enregistrer"), QStringLiteral("Annuler"), QStringLiteral("Ne pas enregistrer")};
        alert.window = window;
        switch (runAlert(alert)) {
        case 0: return SaveChangesAnswer::Save;
        case 2: return SaveChangesAnswer::DontSave;
        default: return SaveChangesAnswer::Cancel;
        }
    };
    hooks.openPanel = [](const OpenPanelRequest& request) -> std::optional<QStringList> {
        QFileDialog dialog(request.window, request.title, request.directory);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        if (request.canChooseDirectories && !request.canChooseFiles)
            dialog.setFileMode(QFileDialog::Directory);
        else
            dialog.setFileMode(request.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        if (!request.extensions.isEmpty()) {
            QStringList patterns;
            for (const QString& ext : request.extensions)
                patterns << QStringLiteral("*.") + ext;
            dialog.setNameFilter(patterns.join(QLatin1Char(' ')));
        } else if (!request.filters.isEmpty()) {
            QStringList filters;
            for (const FileTypeChoice& type : request.filters)
                filters << filterFor(type);
            filters << QStringLiteral("Tous les fichiers (*)");
            dialog.setNameFilters(filters);
        }
        if (!request.prompt.isEmpty())
            dialog.setLabelText(QFileDialog::Accept, request.prompt);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.selectedFiles();
    };
    hooks.savePanel = [](const SavePanelRequest& request) -> std::optional<SavePanelResult> {
        QFileDialog dialog(request.window, request.title, request.directory);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // The panel sees the name as typed, before its extension is added: whether it replaces
        // a file is asked of the name written (runSavePanel).
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        QStringList filters;
        int selected = 0;
        for (int i = 0; i < request.types.size(); ++i) {
            filters << filterFor(request.types[i]);
            if (request.types[i].identifier == request.selectedType)
                selected = i;
        }
        if (!filters.isEmpty()) {
            dialog.setNameFilters(filters);
            dialog.selectNameFilter(filters[selected]);
        }
        if (!request.prompt.isEmpty())
            dialog.setLabelText(QFileDialog::Accept, request.prompt);
        dialog.selectFile(request.suggestedName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        SavePanelResult result;
        result.path = dialog.selectedFiles().constFirst();
        const int typeIndex = int(filters.indexOf(dialog.selectedNameFilter()));
        if (typeIndex >= 0)
            result.typeIdentifier = request.types[typeIndex].identifier;
        return result; // the name typed decides over the list (runSavePanel)
    };
    hooks.colorPanel = [](const QColor& initial, const QString& title, QWidget* window) -> std::optional<QColor> {
        const QColor color = QColorDialog::getColor(initial, window, title, QColorDialog::ShowAlphaChannel);
        if (!color.isValid())
            return std::nullopt;
        return color;
    };
    hooks.fontPanel = [](const QFont& initial, const QString& title, QWidget* window) -> std::optional<QFont> {
        bool ok = false;
        const QFont font = QFontDialog::getFont(&ok, initial, window, title);
        if (!ok)
            return std::nullopt;
        return font;
    };
    hooks.textBeingTyped = [] {
        // Each window's own focus: an edit stays open while its window is in the background.
        const QWidget* active = QApplication::activeWindow();
        for (const QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && holdsTextBeingTyped(window->focusWidget(), window == active))
                return true;
        return false;
    };
    return hooks;
}

namespace {

Hooks& fallbackHooks()
{
    static Hooks hooks = defaultHooks();
    return hooks;
}

// Each member of the first set, or the second's where the first has none.
Hooks merged(const Hooks& first, const Hooks& second)
{
    Hooks hooks;
    hooks.alert = pick(first.alert, second.alert);
    hooks.sheet = pick(first.sheet, second.sheet);
    hooks.presentError = pick(first.presentError, second.presentError);
    hooks.askSaveChanges = pick(first.askSaveChanges, second.askSaveChanges);
    hooks.openPanel = pick(first.openPanel, second.openPanel);
    hooks.savePanel = pick(first.savePanel, second.savePanel);
    hooks.colorPanel = pick(first.colorPanel, second.colorPanel);
    hooks.fontPanel = pick(first.fontPanel, second.fontPanel);
    hooks.textBeingTyped = pick(first.textBeingTyped, second.textBeingTyped);
    return hooks;
}

bool& unattendedFlag()
{
    static bool unattended = false;
    return unattended;
}

QString& unattendedSubject()
{
    static QString name;
    return name;
}

void writeUnattended(const QString& message, const QString& detail)
{
    reportUnattended(detail.isEmpty() ? message : message + QLatin1Char(' ') + detail);
}

// Answers as a dialog closed unanswered does: Escape's button, no choice, no file.
Hooks makeUnattendedHooks()
{
    Hooks hooks;
    hooks.alert = [](const Alert& alert) {
        writeUnattended(alert.message, alert.informativeText);
        return unansweredButton(alert);
    };
    hooks.sheet = [](const Alert& alert, std::function<void(int)> completion) {
        writeUnattended(alert.message, alert.informativeText);
        if (completion)
            completion(unansweredButton(alert));
    };
    hooks.presentError = [](const QString& message, QWidget*) { reportUnattended(message); };
    hooks.askSaveChanges = [](const QString&, QWidget*) { return SaveChangesAnswer::Cancel; };
    hooks.openPanel = [](const OpenPanelRequest&) { return std::optional<QStringList>(); };
    hooks.savePanel = [](const SavePanelRequest&) { return std::optional<SavePanelResult>(); };
    hooks.colorPanel = [](const QColor&, const QString&, QWidget*) { return std::optional<QColor>(); };
    hooks.fontPanel = [](const QFont&, const QString&, QWidget*) { return std::optional<QFont>(); };
    hooks.textBeingTyped = [] { return false; };
    return hooks;
}

} // namespace

bool setUnattended(bool unattended)
{
    return std::exchange(unattendedFlag(), unattended);
}

bool isUnattended()
{
    return unattendedFlag();
}

bool isTextBeingTyped()
{
    return current().textBeingTyped();
}

void reportUnattended(const QString& message)
{
    // One line a report, as a journal keeps them.
    const QString& subject = unattendedSubject();
    const QString line = QStringLiteral("Pelmora Studio : ")
                       + (subject.isEmpty() ? QString() : QStringLiteral("« %1 » : ").arg(subject))
                       + QString(message).replace(QRegularExpression(QStringLiteral("\\s*\n\\s*")), QStringLiteral(" "));
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

void reportUnseen(const QString& message)
{
    if (unattendedFlag())
        reportUnattended(message);
}

UnattendedSubject::UnattendedSubject(const QString& documentName)
    : previous_(std::exchange(unattendedSubject(), documentName))
{
}

UnattendedSubject::~UnattendedSubject()
{
    unattendedSubject() = previous_;
}

void setFallbackHooks(const Hooks& hooks)
{
    fallbackHooks() = merged(hooks, defaultHooks());
}

Hooks current()
{
    static const Hooks unattended = makeUnattendedHooks();
    if (unattendedFlag())
        return unattended;
    return merged(installed(), fallbackHooks());
}

void install(const Hooks& hooks)
{
    installed() = hooks;
}

int runAlert(const Alert& alert) { return current().alert(alert); }

void beginSheet(const Alert& alert, std::function<void(int)> completion)
{
    current().sheet(alert, std::move(completion));
}

void presentError(const QString& message, QWidget* window) { current().presentError(message, window); }

QString errorWithDetail(const QString& heading, const QString& detail)
{
    return detail.isEmpty() || detail == heading ? heading : heading + QStringLiteral("\n\n") + detail;
}

QString documentOpenFailure(const QString& path, const QString& detail)
{
    return plmDocumentOpenFailure(path, detail);
}

SaveChangesAnswer askSaveChanges(const QString& displayName, QWidget* window)
{
    return current().askSaveChanges(displayName, window);
}

std::optional<QStringList> runOpenPanel(const OpenPanelRequest& request)
{
    if (request.folderKey.isEmpty())
        return current().openPanel(request);
    OpenPanelRequest panel = request;
    if (panel.directory.isEmpty()) {
        const QString last = UserDefaults::stringValue(panel.folderKey);
        if (!last.isEmpty() && QFileInfo(last).isDir())
            panel.directory = last;
    }
    std::optional<QStringList> chosen = current().openPanel(panel);
    if (chosen && !chosen->isEmpty()) {
        const QFileInfo first(chosen->first());
        UserDefaults::setValue(panel.folderKey, first.isDir() && panel.canChooseDirectories && !panel.canChooseFiles
                                                    ? first.absoluteFilePath()
                                                    : first.absolutePath());
    }
    return chosen;
}

SavePanelResult savedAs(const SavePanelRequest& request, const SavePanelResult& answer)
{
    if (request.types.isEmpty())
        return answer;
    if (const QString suffix = QFileInfo(answer.path).suffix().toLower(); !suffix.isEmpty())
        for (const FileTypeChoice& type : request.types)
            if (type.extensions.contains(suffix))
                return {answer.path, type.identifier};
    const auto offered = [&](const QString& identifier) {
        return std::find_if(request.types.cbegin(), request.types.cend(),
                            [&](const FileTypeChoice& type) { return type.identifier == identifier; });
    };
    auto type = offered(answer.typeIdentifier);
    if (type == request.types.cend())
        type = offered(request.selectedType);
    if (type == request.types.cend())
        type = request.types.cbegin();
    SavePanelResult result{answer.path, type->identifier};
    if (!type->extensions.isEmpty())
        result.path += QLatin1Char('.') + type->extensions.first();
    return result;
}

Alert replaceQuestion(const QString& path, QWidget* window)
{
    const QFileInfo info(path);
    Alert alert;
    alert.message = QStringLiteral("« %1 » existe déjà. Voulez-vous le remplacer ?").arg(info.fileName());
    alert.informativeText = QStringLiteral("Un élément portant ce nom existe déjà dans « %1 ». "
                                           "Le remplacer écrasera son contenu.")
                                .arg(QDir::toNativeSeparators(info.absolutePath()));
    alert.buttons = {QStringLiteral("Remplacer"), QStringLiteral("Annuler")};
    alert.defaultButton = 1;
    alert.window = window;
    return alert;
}

namespace {

// What the panel says of something it will not replace, before the person chooses again.
Alert notReplacedNotice(const QString& reason, QWidget* window)
{
    Alert alert;
    alert.message = reason;
    alert.informativeText = QStringLiteral("Choisissez un autre nom.");
    alert.buttons = {QStringLiteral("OK")};
    alert.window = window;
    return alert;
}

// Why what exists at the path will not be replaced by this save, or empty.
QString replacementRefused(const SavePanelRequest& request, const QString& path)
{
    if (request.replacementRefusal)
        if (QString refused = request.replacementRefusal(path); !refused.isEmpty())
            return refused;
    // No save writes over a folder: its rename or its writer would only fail after the question.
    const QFileInfo existing(path);
    if (existing.isDir())
        return QStringLiteral("« %1 » est un dossier et ne peut pas être remplacé.").arg(existing.fileName());
    return {};
}

} // namespace

std::optional<SavePanelResult> runSavePanel(const SavePanelRequest& request)
{
    SavePanelRequest panel = request;
    for (;;) {
        const std::optional<SavePanelResult> answer = current().savePanel(panel);
        if (!answer || answer->path.isEmpty())
            return answer;
        const SavePanelResult chosen = savedAs(panel, *answer);
        // Said, when the program may not write there; the person then chooses again.
        const auto refused = [&request, &chosen] {
            const QString refusal = request.refusal ? request.refusal(chosen.path) : QString();
            if (!refusal.isEmpty())
                presentError(refusal, request.window);
            return !refusal.isEmpty();
        };
        if (!refused()) {
            const QFileInfo existing(chosen.path);
            if (!existing.exists() && !existing.isSymLink())
                return chosen;
            if (const QString kept = replacementRefused(request, chosen.path); !kept.isEmpty())
                runAlert(notReplacedNotice(kept, request.window));
            // Asked again once answered: the file may have been opened while the question showed.
            else if (runAlert(replaceQuestion(chosen.path, request.window)) == 0 && !refused())
                return chosen;
        }
        // Back in the panel where the person left it, to choose another name. Once nobody can
        // answer, the panel answers nothing at once.
        const QFileInfo typed(answer->path);
        panel.directory = typed.absolutePath();
        panel.suggestedName = typed.fileName();
        panel.selectedType = chosen.typeIdentifier;
    }
}

std::optional<QColor> chooseColor(const QColor& initial, const QString& title, QWidget* window)
{
    return current().colorPanel(initial, title, window);
}

std::optional<QFont> chooseFont(const QFont& initial, const QString& title, QWidget* window)
{
    return current().fontPanel(initial, title, window);
}

ScopedHooks::ScopedHooks(const Hooks& hooks)
    : previous_(installed())
{
    install(hooks);
}

ScopedHooks::~ScopedHooks()
{
    install(previous_);
}

} // namespace DialogHooks
