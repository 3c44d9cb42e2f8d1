#include "desktop/DialogHooks.h"
#include "platform/UserDefaults.h"
#include "support/TestFiles.h"
#include "support/WidgetKeys.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

// An open panel of a kind opens in the folder last used for that kind, and only there.
TEST(DialogHooksOpenPanel, APanelOpensWhereTheLastOfItsKindWasChosen)
{
    UserDefaults::TemporaryScope defaults;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString chosenFile = QDir(folder.path()).filePath(QStringLiteral("régions.csv"));
    QStringList directories;
    std::optional<QStringList> answer;
    DialogHooks::Hooks hooks;
    hooks.openPanel = [&](const DialogHooks::OpenPanelRequest& request) {
        directories << request.directory;
        return answer;
    };
    DialogHooks::ScopedHooks scope(hooks);
    DialogHooks::OpenPanelRequest tables;
    tables.folderKey = QStringLiteral("OpenPanel.Tables.Folder");

    DialogHooks::runOpenPanel(tables); // cancelled: nothing remembered
    answer = QStringList{chosenFile};
    DialogHooks::runOpenPanel(tables);
    answer.reset();
    DialogHooks::runOpenPanel(tables);
    // Another kind keeps its own folder; a given directory wins.
    DialogHooks::OpenPanelRequest maps;
    maps.folderKey = QStringLiteral("OpenPanel.BaseMaps.Folder");
    DialogHooks::runOpenPanel(maps);
    tables.directory = QStringLiteral("/tmp");
    DialogHooks::runOpenPanel(tables);
    EXPECT_EQ(directories, (QStringList{QString(), QString(), folder.path(), QString(), QStringLiteral("/tmp")}));

    // A folder that has gone is not offered.
    tables.directory.clear();
    folder.remove();
    DialogHooks::runOpenPanel(tables);
    EXPECT_EQ(directories.last(), QString());
}

// Once nobody can answer, nothing shows and no installed hook is asked: each question is
// answered as a dialog closed unanswered is, and what an alert or error says goes to the
// standard error output.
TEST(DialogHooksUnattended, NothingIsAskedAndEachQuestionIsAnsweredAsClosedUnanswered)
{
    int asked = 0;
    DialogHooks::Hooks hooks;
    hooks.alert = [&](const DialogHooks::Alert&) { return ++asked, 0; };
    hooks.sheet = [&](const DialogHooks::Alert&, std::function<void(int)> done) { ++asked, done(0); };
    hooks.presentError = [&](const QString&, QWidget*) { ++asked; };
    hooks.askSaveChanges = [&](const QString&, QWidget*) { return ++asked, DialogHooks::SaveChangesAnswer::Save; };
    hooks.openPanel = [&](const DialogHooks::OpenPanelRequest&) { return ++asked, std::optional<QStringList>(QStringList{QStringLiteral("/tmp/a")}); };
    hooks.savePanel = [&](const DialogHooks::SavePanelRequest&) {
        return ++asked, std::optional<DialogHooks::SavePanelResult>({QStringLiteral("/tmp/a.plm"), QString()});
    };
    hooks.colorPanel = [&](const QColor& c, const QString&, QWidget*) { return ++asked, std::optional<QColor>(c); };
    hooks.fontPanel = [&](const QFont& f, const QString&, QWidget*) { return ++asked, std::optional<QFont>(f); };
    DialogHooks::ScopedHooks scope(hooks);

    ASSERT_FALSE(DialogHooks::setUnattended(true));
    DialogHooks::Alert question;
    question.message = QStringLiteral("Supprimer « Bocage » ?");
    question.informativeText = QStringLiteral("Cette action est définitive.");
    question.buttons = {QStringLiteral("Supprimer"), QStringLiteral("Annuler")};
    DialogHooks::Alert notice;
    notice.message = QStringLiteral("Import terminé.");
    testing::internal::CaptureStderr();
    const int answer = DialogHooks::runAlert(question);
    const int noticeAnswer = DialogHooks::runAlert(notice);
    int sheetAnswer = -1;
    DialogHooks::beginSheet(question, [&](int index) { sheetAnswer = index; });
    DialogHooks::presentError(QStringLiteral("Le fichier est illisible.\n\nIl est vide."));
    const DialogHooks::SaveChangesAnswer save = DialogHooks::askSaveChanges(QStringLiteral("Croquis"));
    const bool opened = DialogHooks::runOpenPanel({}).has_value();
    const bool saved = DialogHooks::runSavePanel({}).has_value();
    const bool coloured = DialogHooks::chooseColor(Qt::red).has_value();
    const bool font = DialogHooks::chooseFont(QFont()).has_value();
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(DialogHooks::setUnattended(false));

    EXPECT_EQ(asked, 0);
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(noticeAnswer, 0);
    EXPECT_EQ(sheetAnswer, 1);
    EXPECT_EQ(save, DialogHooks::SaveChangesAnswer::Cancel);
    EXPECT_FALSE(opened || saved || coloured || font);
    EXPECT_EQ(QString::fromLocal8Bit(written.c_str()),
              QStringLiteral("Pelmora Studio : Supprimer « Bocage » ? Cette action est définitive.\n"
                             "Pelmora Studio : Import terminé.\n"
                             "Pelmora Studio : Supprimer « Bocage » ? Cette action est définitive.\n"
                             "Pelmora Studio : Le fichier est illisible. Il est vide.\n"));

    // Attended again, the installed hooks answer.
    EXPECT_EQ(DialogHooks::runAlert(question), 0);
    EXPECT_EQ(asked, 1);
}

namespace {

// How a question shown by the real dialogs ends without a person's answer.
enum class Unanswered { loopEnded, escapePressed, nobodyThere };

// Asks the question with the real dialogs and ends it so. The loop ends as a signal or a
// logout ends the program's: the question's own loop, running inside it, ends with it.
template <typename Answer>
Answer askedAndLeft(Unanswered way, const std::function<Answer()>& ask, bool& shown)
{
    shown = false;
    if (way == Unanswered::nobodyThere) {
        const bool was = DialogHooks::setUnattended(true);
        testing::internal::CaptureStderr();
        const Answer answer = ask();
        testing::internal::GetCapturedStderr();
        DialogHooks::setUnattended(was);
        shown = true; // nothing may show: answered at once
        return answer;
    }
    const DialogHooks::ScopedHooks real(DialogHooks::defaultHooks());
    std::optional<Answer> answer;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [&] {
            QWidget* question = QApplication::activeModalWidget();
            shown = question && question->isVisible();
            if (way == Unanswered::escapePressed && question)
                keyClick(question->focusWidget() ? question->focusWidget() : question, Qt::Key_Escape);
            else
                QCoreApplication::exit(0);
        });
        answer = ask();
        QCoreApplication::exit(0);
    });
    QCoreApplication::exec();
    // A window the ended loop left on screen goes with its owner; none here is kept.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->isModal())
            window->hide();
    return *answer;
}

DialogHooks::Alert alertWith(const QStringList& buttons, int defaultButton = 0)
{
    DialogHooks::Alert alert;
    alert.message = QStringLiteral("Question");
    alert.buttons = buttons;
    alert.defaultButton = defaultButton;
    return alert;
}

} // namespace

// Every question of the program, left without an answer, gives the answer Escape gives —
// « Annuler » wherever it stands, never a destructive button — whether its loop ended under it
// (the program ends on a signal), Escape was pressed, or nobody could be asked.
TEST(DialogHooksUnanswered, EveryQuestionLeftUnansweredGivesEscapesAnswer)
{
    using Answers = std::function<int()>;
    const auto alert = [](DialogHooks::Alert asked) -> Answers { return [asked] { return DialogHooks::runAlert(asked); }; };
    // A panel's answer: 1 when something was chosen.
    const auto chosen = [](auto panel) -> Answers { return [panel] { return panel() ? 1 : 0; }; };
    struct Row {
        const char* name;
        Answers ask;
        int expected;
        bool escapeCloses = true; // a box without a button to give Escape keeps it
    };
    const Row rows[] = {
        {"the save question (Enregistrer, Annuler, Ne pas enregistrer)",
         [] { return int(DialogHooks::askSaveChanges(QStringLiteral("Fond"))); },
         int(DialogHooks::SaveChangesAnswer::Cancel)},
        {"an alert laid out as the save question",
         alert(alertWith({QStringLiteral("Enregistrer"), QStringLiteral("Annuler"), QStringLiteral("Ne pas enregistrer")})), 1},
        {"revert, delete or import (…, Annuler)", alert(alertWith({QStringLiteral("Revenir"), QStringLiteral("Annuler")})), 1},
        {"delete, Return cancelling", alert(alertWith({QStringLiteral("Supprimer"), QStringLiteral("Annuler")}, 1)), 1},
        {"the library's choice (three, then Annuler)",
         alert(alertWith({QStringLiteral("Créer une bibliothèque…"), QStringLiteral("Ouvrir une bibliothèque…"),
                          QStringLiteral("Copier l’ancienne…"), QStringLiteral("Annuler")})),
         3},
        {"a notice of one button", alert(alertWith({})), 0},
        {"one button named", alert(alertWith({QStringLiteral("Fermer")})), 0},
        {"several buttons without Annuler: none of them",
         alert(alertWith({QStringLiteral("Remplacer"), QStringLiteral("Supprimer")})), 2, false},
        {"an open panel", chosen([] { return DialogHooks::runOpenPanel({}); }), 0},
        {"a save panel", chosen([] { return DialogHooks::runSavePanel({}); }), 0},
        {"the colour panel", chosen([] { return DialogHooks::chooseColor(Qt::red); }), 0},
        {"the font panel", chosen([] { return DialogHooks::chooseFont(QFont()); }), 0},
    };
    for (const Row& row : rows) {
        for (const auto& [way, wayName] : {std::pair{Unanswered::loopEnded, "the loop ended"},
                                           std::pair{Unanswered::escapePressed, "Escape"},
                                           std::pair{Unanswered::nobodyThere, "nobody there"}}) {
            if (way == Unanswered::escapePressed && !row.escapeCloses)
                continue;
            SCOPED_TRACE(std::string(row.name) + ", " + wayName);
            bool shown = false;
            EXPECT_EQ(askedAndLeft<int>(way, row.ask, shown), row.expected);
            EXPECT_TRUE(shown);
        }
    }
}

// The name typed decides the type over the list; any other name takes the list's type and its
// extension.
TEST(DialogHooksSavePanel, ANameTypedWithAnOfferedExtensionIsSavedAsThatType)
{
    DialogHooks::SavePanelRequest request;
    request.types = {{QStringLiteral("fond"), QStringLiteral("Fond de carte"), {QStringLiteral("plmmap")}},
                     {QStringLiteral("document"), QStringLiteral("Document"), {QStringLiteral("plm")}}};
    request.selectedType = QStringLiteral("fond");
    struct Row {
        const char* name;
        DialogHooks::SavePanelResult answer;
        DialogHooks::SavePanelResult saved;
        QString selectedType = QStringLiteral("fond");
    };
    const Row rows[] = {
        {"the other type's extension typed", {"/d/saved.plm", "fond"}, {"/d/saved.plm", "document"}},
        {"in capitals", {"/d/Saved.PLM", "fond"}, {"/d/Saved.PLM", "document"}},
        {"the list's own extension", {"/d/saved.plmmap", "fond"}, {"/d/saved.plmmap", "fond"}},
        {"no extension", {"/d/saved", "document"}, {"/d/saved.plm", "document"}},
        {"an extension no type has", {"/d/carte.v2", "fond"}, {"/d/carte.v2.plmmap", "fond"}},
        {"no type named: the one chosen at first", {"/d/saved", ""}, {"/d/saved.plmmap", "fond"}},
        {"no type named, the second chosen at first", {"/d/saved", ""}, {"/d/saved.plm", "document"}, "document"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        request.selectedType = row.selectedType;
        const DialogHooks::SavePanelResult saved = DialogHooks::savedAs(request, row.answer);
        EXPECT_EQ(saved.path, row.saved.path);
        EXPECT_EQ(saved.typeIdentifier, row.saved.typeIdentifier);
    }
    // Every panel's answer goes through the rule.
    request.selectedType = QStringLiteral("fond");
    DialogHooks::Hooks hooks;
    hooks.savePanel = [](const DialogHooks::SavePanelRequest&) {
        return std::optional<DialogHooks::SavePanelResult>({QStringLiteral("/d/saved.plm"), QStringLiteral("fond")});
    };
    const DialogHooks::ScopedHooks scope(hooks);
    EXPECT_EQ(DialogHooks::runSavePanel(request)->typeIdentifier, QStringLiteral("document"));
}

// Whatever the name typed, the file the program will write is the one checked: when it exists,
// nothing is written before the person says « Remplacer ». « Annuler », and a question left
// unanswered, go back to the panel, in its folder with the name typed. What the save will not
// replace (a folder, what the request names) is said at once with « OK » alone, then the panel
// shows again. The same for the document, export and library panels.
TEST(DialogHooksSavePanel, AnExistingFileIsReplacedOnlyOnceThePersonSaysSo)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QDir dir(folder.path());
    for (const char* name : {"session.plm", "carte.v2.plm", "nc.pdf", "Atlas.plmlibrary"})
        writeBytes(dir.filePath(QLatin1String(name)), "avant");
    ASSERT_TRUE(dir.mkdir(QStringLiteral("fold.plm")));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("parti")), dir.filePath(QStringLiteral("lien.plm"))));
    const auto panel = [](const char* type, const char* extension) {
        DialogHooks::SavePanelRequest request;
        request.types = {{QLatin1String(type), QLatin1String(type), {QLatin1String(extension)}}};
        request.selectedType = QLatin1String(type);
        return request;
    };
    DialogHooks::SavePanelRequest document = panel("document", "plm");
    document.types.prepend({QStringLiteral("fond"), QStringLiteral("fond"), {QStringLiteral("plmmap")}});
    DialogHooks::SavePanelRequest keeping = panel("library", "plmlibrary");
    keeping.replacementRefusal = [](const QString& path) { return QStringLiteral("« %1 » reste.").arg(QFileInfo(path).fileName()); };
    struct Row {
        const char* name;
        DialogHooks::SavePanelRequest request;
        const char* typed;
        const char* written; // the file asked about, or nothing asked when it does not exist
        QString notReplaced = {}; // said instead of the question
    };
    const Row rows[] = {
        {"a document typed without its extension", document, "session", "session.plm"},
        {"another suffix", document, "carte.v2", "carte.v2.plm"},
        {"the type's extension", document, "session.plm", "session.plm"},
        {"in capitals", document, "Session.PLM", nullptr},
        {"a new name", document, "nouveau", nullptr},
        {"the export's proposal, without extension", panel("pdf", "pdf"), "nc", "nc.pdf"},
        {"a dangling link", document, "lien", "lien.plm"},
        {"a folder", document, "fold", "fold.plm", QStringLiteral("« fold.plm » est un dossier et ne peut pas être remplacé.")},
        {"what the request keeps", keeping, "Atlas", "Atlas.plmlibrary", QStringLiteral("« Atlas.plmlibrary » reste.")},
    };
    enum Answer { replace, cancel, unanswered };
    for (const Row& row : rows) {
        for (const Answer answer : {replace, cancel, unanswered}) {
            SCOPED_TRACE(std::string(row.name) + (answer == replace ? ", Remplacer" : answer == cancel ? ", Annuler" : ", unanswered"));
            QList<DialogHooks::Alert> asked;
            QList<DialogHooks::SavePanelRequest> panels;
            DialogHooks::Hooks hooks;
            hooks.savePanel = [&](const DialogHooks::SavePanelRequest& request) {
                panels << request;
                // Back in the panel, another name.
                const QString name = QLatin1String(panels.size() == 1 ? row.typed : "autre");
                return std::optional<DialogHooks::SavePanelResult>({dir.filePath(name), QString()});
            };
            hooks.alert = [&](const DialogHooks::Alert& alert) {
                asked << alert;
                return answer == replace ? 0 : answer == cancel ? 1 : DialogHooks::unansweredButton(alert);
            };
            const DialogHooks::ScopedHooks scope(hooks);
            const std::optional<DialogHooks::SavePanelResult> chosen = DialogHooks::runSavePanel(row.request);
            ASSERT_TRUE(chosen.has_value());
            if (!row.written) {
                EXPECT_TRUE(asked.isEmpty());
                EXPECT_EQ(panels.size(), 1);
                continue;
            }
            ASSERT_EQ(asked.size(), 1);
            const bool replaced = row.notReplaced.isEmpty() && answer == replace;
            if (row.notReplaced.isEmpty()) {
                EXPECT_EQ(asked.first().message, QStringLiteral("« %1 » existe déjà. Voulez-vous le remplacer ?").arg(QLatin1String(row.written)));
            } else {
                EXPECT_EQ(asked.first().message, row.notReplaced);
                EXPECT_EQ(asked.first().informativeText, QStringLiteral("Choisissez un autre nom."));
                EXPECT_EQ(asked.first().buttons, QStringList{QStringLiteral("OK")});
            }
            EXPECT_EQ(chosen->path, dir.filePath(replaced ? QLatin1String(row.written)
                                                          : QStringLiteral("autre.") + QFileInfo(QLatin1String(row.written)).suffix()));
            ASSERT_EQ(panels.size(), replaced ? 1 : 2);
            if (!replaced) {
                EXPECT_EQ(panels.last().directory, folder.path());
                EXPECT_EQ(panels.last().suggestedName, QLatin1String(row.typed));
            }
        }
    }
    // The question shown: Return and Escape both cancel.
    const DialogHooks::Alert question = DialogHooks::replaceQuestion(dir.filePath(QStringLiteral("nc.pdf")));
    EXPECT_EQ(question.informativeText,
              QStringLiteral("Un élément portant ce nom existe déjà dans « %1 ». Le remplacer écrasera son contenu.").arg(folder.path()));
    EXPECT_EQ(question.buttons.value(question.defaultButton), QStringLiteral("Annuler"));
    EXPECT_EQ(question.buttons.value(DialogHooks::unansweredButton(question)), QStringLiteral("Annuler"));
}

// Where the program may not write (the file of another document), the refusal is said and the
// panel shows again in its folder with the name typed: asked before anything else, and again
// once the person has said « Remplacer », for the file may have been opened meanwhile.
TEST(DialogHooksSavePanel, ASaveRefusedThereGoesBackToThePanelWithTheNameTyped)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QDir dir(folder.path());
    writeBytes(dir.filePath(QStringLiteral("autre.plm")), "avant");
    const QString refusal = QStringLiteral("« autre.plm » est le fichier d’un autre document.");
    struct Row {
        const char* name;
        bool openBefore;       // the file is another document's from the start
        bool openedMeanwhile;  // it becomes one while the replace question shows
        int questions;
    };
    const Row rows[] = {
        {"another document's file", true, false, 0},
        {"opened while the replace question showed", false, true, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool open = row.openBefore;
        DialogHooks::SavePanelRequest request;
        request.types = {{QStringLiteral("document"), QStringLiteral("document"), {QStringLiteral("plm")}}};
        request.selectedType = QStringLiteral("document");
        request.refusal = [&](const QString& path) {
            return open && QFileInfo(path).fileName() == QLatin1String("autre.plm") ? refusal : QString();
        };
        QList<DialogHooks::SavePanelRequest> panels;
        QStringList errors;
        int questions = 0;
        DialogHooks::Hooks hooks;
        hooks.savePanel = [&](const DialogHooks::SavePanelRequest& shown) {
            panels << shown;
            const QString name = panels.size() == 1 ? QStringLiteral("autre") : QStringLiteral("neuf");
            return std::optional<DialogHooks::SavePanelResult>({dir.filePath(name), QString()});
        };
        hooks.alert = [&](const DialogHooks::Alert&) {
            ++questions;
            open = open || row.openedMeanwhile;
            return 0; // « Remplacer »
        };
        hooks.presentError = [&](const QString& message, QWidget*) { errors << message; };
        const DialogHooks::ScopedHooks scope(hooks);
        const std::optional<DialogHooks::SavePanelResult> chosen = DialogHooks::runSavePanel(request);
        ASSERT_TRUE(chosen.has_value());
        EXPECT_EQ(chosen->path, dir.filePath(QStringLiteral("neuf.plm")));
        EXPECT_EQ(errors, QStringList{refusal});
        EXPECT_EQ(questions, row.questions);
        ASSERT_EQ(panels.size(), 2);
        EXPECT_EQ(panels.last().directory, folder.path());
        EXPECT_EQ(panels.last().suggestedName, QStringLiteral("autre"));
    }
}
