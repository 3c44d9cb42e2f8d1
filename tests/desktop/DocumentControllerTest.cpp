#include "support/FilePermissionScope.h"
#include "support/TestFiles.h"
#include "support/PlatformTestSupport.h"

#include "desktop/DocumentController.h"
#include "platform/UserDefaults.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// A document that hands itself over and closes while its windows are made, as a base map
// moving into a work document does.
class HandOverDocument : public FakeTextDocument {
public:
    void makeWindowControllers() override { close(); }
};

const QString handOverType = QStringLiteral("test.pelmora.handover");

class DocumentControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerFakeTypes();
        DocumentTypes::registerType({handOverType, QStringLiteral("Relais"), {QStringLiteral("relais")},
                                     [] { return new HandOverDocument; }});
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override { DocumentTypes::unregisterType(handOverType); }

    QString write(const QString& name, const QByteArray& bytes)
    {
        writeBytes(dir.filePath(name), bytes);
        return dir.filePath(name);
    }

    struct Opened {
        QPointer<Document> document;
        bool alreadyOpen = false;
        QString error;
        int calls = 0;
    };
    Opened open(const QString& path, bool display = true)
    {
        Opened o;
        openInto(o, path, display);
        return o;
    }
    // For a completion that may come later.
    void openInto(Opened& o, const QString& path, bool display = true)
    {
        controller.openDocument(path, display, [&o](Document* d, bool already, const QString& e) {
            o.document = d;
            o.alreadyOpen = already;
            o.error = e;
            ++o.calls;
        });
    }

    UserDefaults::TemporaryScope defaults;
    QTemporaryDir dir;
    DialogRecorder dialogs;
    DialogHooks::ScopedHooks scoped{dialogs.hooks()};
    DocumentController controller;
};

TEST_F(DocumentControllerTest, OpensByExtensionWhateverItsCase)
{
    const QString path = write(QStringLiteral("Lettre.FNOTE"), "contenu");
    const Opened o = open(path);
    ASSERT_EQ(o.calls, 1);
    ASSERT_TRUE(o.document);
    EXPECT_TRUE(o.error.isEmpty());
    EXPECT_EQ(o.document->fileType(), fakeNoteType);
    EXPECT_EQ(static_cast<FakeTextDocument*>(o.document.data())->text, QStringLiteral("contenu"));
    EXPECT_EQ(static_cast<FakeTextDocument*>(o.document.data())->windowsMade, 1);
    EXPECT_FALSE(o.document->isDocumentEdited());
    EXPECT_EQ(controller.documents(), QList<Document*>{o.document.data()});

    const Opened again = open(dir.filePath(QStringLiteral("./Lettre.FNOTE")));
    EXPECT_TRUE(again.alreadyOpen);
    EXPECT_EQ(again.document, o.document);
    EXPECT_EQ(controller.documents().size(), 1);
}

TEST_F(DocumentControllerTest, UnknownOrUnreadableFilesOpenNothing)
{
    const Opened unknown = open(write(QStringLiteral("image.xyz"), "?"));
    EXPECT_EQ(unknown.document, nullptr);
    EXPECT_EQ(unknown.error, QStringLiteral("Le fichier « image.xyz » n’est pas d’un type que l’application sait ouvrir."));

    const Opened bad = open(write(QStringLiteral("casse.ftxt"), "BAD"));
    EXPECT_EQ(bad.document, nullptr);
    EXPECT_EQ(bad.error, QStringLiteral("Ce fichier texte est illisible."));
    EXPECT_TRUE(controller.documents().isEmpty());
    EXPECT_TRUE(controller.recentDocumentPaths().isEmpty());
}

TEST_F(DocumentControllerTest, DocumentThatClosesItselfWhileOpeningLeavesTheList)
{
    const Opened o = open(write(QStringLiteral("fond.relais"), "carte"));
    ASSERT_EQ(o.calls, 1);
    EXPECT_TRUE(o.error.isEmpty());
    ASSERT_TRUE(o.document); // still alive for the completion
    EXPECT_TRUE(o.document->isClosed());
    EXPECT_TRUE(controller.documents().isEmpty());
    EXPECT_TRUE(waitUntil([&] { return o.document.isNull(); })); // deleted later
}

TEST_F(DocumentControllerTest, RecentDocumentsNewestFirstWithoutMissingFiles)
{
    QStringList paths;
    for (int i = 0; i < 12; ++i)
        paths << write(QStringLiteral("r%1.ftxt").arg(i), "x");
    for (const QString& p : paths)
        controller.noteNewRecentDocument(p);
    controller.noteNewRecentDocument(paths[3]);
    QStringList recent = controller.recentDocumentPaths();
    ASSERT_EQ(recent.size(), DocumentController::maximumRecentDocumentCount);
    EXPECT_EQ(recent[0], paths[3]);
    EXPECT_EQ(recent[1], paths[11]);
    EXPECT_EQ(recent.count(paths[3]), 1);

    QFile::remove(paths[11]);
    recent = controller.recentDocumentPaths();
    EXPECT_FALSE(recent.contains(paths[11]));
    controller.clearRecentDocuments();
    EXPECT_TRUE(controller.recentDocumentPaths().isEmpty());
}

TEST_F(DocumentControllerTest, SaveAsNotesTheNewFileAsRecent)
{
    Document* d = controller.openUntitledDocument(false);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->fileType(), fakeTextType);
    dialogs.savePanelAnswer = DialogHooks::SavePanelResult{dir.filePath(QStringLiteral("neuf")), fakeTextType};
    ASSERT_TRUE(d->saveDocumentAs());
    EXPECT_EQ(controller.recentDocumentPaths(), QStringList{dir.filePath(QStringLiteral("neuf.ftxt"))});
}

TEST_F(DocumentControllerTest, ClosedDocumentsLeaveAndAreDeleted)
{
    QPointer<Document> d = controller.openUntitledDocument(false);
    ASSERT_TRUE(d);
    d->close();
    EXPECT_TRUE(controller.documents().isEmpty());
    EXPECT_TRUE(waitUntil([&] { return d.isNull(); }));
}

TEST_F(DocumentControllerTest, QuitWritesFilesInPlaceAndAsksAboutUntitledOnes)
{
    const Opened o = open(write(QStringLiteral("quitte.ftxt"), "avant"), false);
    auto* withFile = static_cast<FakeTextDocument*>(o.document.data());
    withFile->edit(QStringLiteral("après"));
    auto* untitled = static_cast<FakeTextDocument*>(controller.openUntitledDocument(false));
    untitled->edit(QStringLiteral("brouillon"));
    auto* clean = controller.openUntitledDocument(false);
    ASSERT_NE(clean, nullptr);

    dialogs.saveAnswer = DialogHooks::SaveChangesAnswer::Cancel;
    EXPECT_FALSE(controller.reviewUnsavedDocumentsBeforeQuit());
    QFile f(dir.filePath(QStringLiteral("quitte.ftxt")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("après"));
    EXPECT_EQ(dialogs.questions, QStringList{QStringLiteral("Sans titre")});

    dialogs.saveAnswer = DialogHooks::SaveChangesAnswer::DontSave;
    EXPECT_TRUE(controller.reviewUnsavedDocumentsBeforeQuit());
}

TEST_F(DocumentControllerTest, TheLoopsEndWritesFilesInPlaceAndDeletesEveryDocumentWithoutAQuestionOrPanel)
{
    const Opened withFile = open(write(QStringLiteral("fin.ftxt"), "avant"), false);
    static_cast<FakeTextDocument*>(withFile.document.data())->edit(QStringLiteral("après"));
    QPointer<Document> untitled = controller.openUntitledDocument(false);
    ASSERT_TRUE(untitled);
    static_cast<FakeTextDocument*>(untitled.data())->edit(QStringLiteral("brouillon"));
    const Opened later = open(write(QStringLiteral("suite.ftxt"), "avant"), false);
    static_cast<FakeTextDocument*>(later.document.data())->edit(QStringLiteral("suite"));
    // Every document is written before the first one closes: its windows' teardown cannot
    // cost another document its work.
    QByteArray laterWhenTheFirstCloses;
    QObject::connect(withFile.document.data(), &Document::aboutToClose,
                     [&] { laterWhenTheFirstCloses = fileBytes(dir.filePath(QStringLiteral("suite.ftxt"))); });

    controller.closeDocumentsAtQuit();
    EXPECT_EQ(fileBytes(dir.filePath(QStringLiteral("fin.ftxt"))), QByteArray("après"));
    EXPECT_EQ(laterWhenTheFirstCloses, QByteArray("suite"));
    // Nobody may be there to answer (a logout ends the loop): the untitled document's changes
    // are dropped, never asked about nor offered a place.
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_TRUE(dialogs.savePanels.isEmpty());
    EXPECT_TRUE(dialogs.alerts.isEmpty());
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_TRUE(controller.documents().isEmpty());
    // Gone now, not later: no event loop runs any more to delete them.
    EXPECT_TRUE(withFile.document.isNull());
    EXPECT_TRUE(untitled.isNull());
    EXPECT_TRUE(later.document.isNull());
}

// Before a signal ends the program, every document takes what is typed in it. What the end
// cannot keep — a text refused, a changed document that never had a file — is said once on the
// standard error output with its document's name, and counted; while someone can see the
// window, a refusal shows there alone.
TEST_F(DocumentControllerTest, ASignalsEndTakesWhatIsTypedAndNamesWhatItCannotKeep)
{
    auto* refused = static_cast<FakeTextDocument*>(open(write(QStringLiteral("refus.ftxt"), "avant"), false).document.data());
    refused->typing = QStringLiteral("REFUSE");
    auto* first = static_cast<FakeTextDocument*>(open(write(QStringLiteral("un.ftxt"), "avant"), false).document.data());
    first->typing = QStringLiteral("un");
    auto* second = static_cast<FakeTextDocument*>(open(write(QStringLiteral("deux.ftxt"), "avant"), false).document.data());
    second->typing = QStringLiteral("deux");
    static_cast<FakeTextDocument*>(controller.openUntitledDocument(false))->edit(QStringLiteral("brouillon"));
    controller.openUntitledDocument(false); // unchanged: nothing lost

    testing::internal::CaptureStderr();
    refused->perform(QStringLiteral("saveDocument:"), nullptr); // an ordinary Ctrl+S
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(refused->refusalsShown.size(), 1);

    DialogHooks::setUnattended(true);
    testing::internal::CaptureStderr();
    controller.commitEditsBeforeQuit();
    const QStringList texts{refused->text, first->text, second->text};
    controller.closeDocumentsAtQuit();
    const QString reported = QString::fromLocal8Bit(testing::internal::GetCapturedStderr().c_str());
    DialogHooks::setUnattended(false);

    EXPECT_EQ(reported.toStdString(), "Pelmora Studio : « refus » : Ce texte ne peut pas être saisi.\n"
                                      "Pelmora Studio : « Sans titre » : Ce document n’a jamais été enregistré : "
                                      "ses modifications sont perdues.\n");
    EXPECT_EQ(texts, (QStringList{QStringLiteral("avant"), QStringLiteral("un"), QStringLiteral("deux")}));
    EXPECT_EQ(fileBytes(dir.filePath(QStringLiteral("deux.ftxt"))), QByteArray("deux"));
    EXPECT_EQ(controller.changesLostAtQuit(), 2);
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

// One file is one document, whatever path leads to it: a link, a linked folder or a hard link
// brings the open document forward.
TEST_F(DocumentControllerTest, AFileOpenedByAnyPathIsOneDocument)
{
    const QString file = write(QStringLiteral("doc.ftxt"), "contenu");
    const Opened first = open(file);
    ASSERT_TRUE(first.document);
    ASSERT_TRUE(QFile::link(file, dir.filePath(QStringLiteral("lien.ftxt"))));
    ASSERT_TRUE(QFile::link(dir.path(), dir.filePath(QStringLiteral("dossier lié"))));
    ASSERT_EQ(::link(QFile::encodeName(file).constData(), QFile::encodeName(dir.filePath(QStringLiteral("dur.ftxt"))).constData()), 0);
    for (const char* path : {"lien.ftxt", "dossier lié/doc.ftxt", "dur.ftxt"}) {
        SCOPED_TRACE(path);
        const Opened again = open(dir.filePath(QString::fromUtf8(path)));
        EXPECT_TRUE(again.alreadyOpen);
        EXPECT_EQ(again.document, first.document);
    }
    // A copy is another file.
    ASSERT_TRUE(QFile::copy(file, dir.filePath(QStringLiteral("copie.ftxt"))));
    EXPECT_FALSE(open(dir.filePath(QStringLiteral("copie.ftxt"))).alreadyOpen);
    EXPECT_EQ(controller.documents().size(), 2);
}

// A file being read is open already: asked for again meanwhile (handed over again, through a
// link, or chosen in the open panel), it is the one document once read, already open; a read
// that fails fails each request alike.
TEST_F(DocumentControllerTest, AFileBeingReadIsOneDocument)
{
    HeldReads<FakeTextDocument> held(fakeTextType);
    const QString file = dir.filePath(QStringLiteral("lent.ftxt"));
    const QString link = dir.filePath(QStringLiteral("lien.ftxt"));
    ASSERT_TRUE(QFile::link(file, link));
    for (const char* content : {"BAD", "contenu"}) {
        SCOPED_TRACE(content);
        write(QStringLiteral("lent.ftxt"), content);
        Opened first, again, linked;
        held.whileReading([&] { openInto(first, file); }, [&] {
            openInto(again, file);
            openInto(linked, link, false);
        });
        const bool read = QByteArray(content) != "BAD";
        for (const Opened* o : {&first, &again, &linked}) {
            EXPECT_EQ(o->calls, 1);
            EXPECT_EQ(o->document, first.document);
            EXPECT_EQ(o->alreadyOpen, read && o != &first);
            EXPECT_EQ(o->error, read ? QString() : QStringLiteral("Ce fichier texte est illisible."));
        }
        EXPECT_EQ(controller.documents().size(), read ? 1 : 0);
        if (read) {
            EXPECT_EQ(static_cast<FakeTextDocument*>(first.document.data())->windowsMade, 1);
        }
    }
}

// Saving as the file of a document open in another window is refused, naming that document,
// before anything is asked or written: the same file reached through a link too, the path of a
// document whose file was deleted, reached through a linked folder, and a file being read,
// named as its window will be. The document's own file is no other document's: Enregistrer
// sous… on the name proposed saves there.
TEST_F(DocumentControllerTest, SavingAsAnotherOpenDocumentsFileIsRefused)
{
    const QString other = write(QStringLiteral("B.ftxt"), "contenu de B");
    ASSERT_TRUE(open(other, false).document);
    ASSERT_TRUE(QFile::link(other, dir.filePath(QStringLiteral("lien.ftxt"))));
    const QString gone = write(QStringLiteral("C.ftxt"), "contenu de C");
    ASSERT_TRUE(open(gone, false).document);
    ASSERT_TRUE(QFile::remove(gone));
    ASSERT_TRUE(QFile::link(dir.path(), dir.filePath(QStringLiteral("dossier lié"))));
    const QString read = write(QStringLiteral("D.ftxt"), "contenu de D");
    const QString own = write(QStringLiteral("A.ftxt"), "A");
    auto* document = static_cast<FakeTextDocument*>(open(own, false).document.data());
    document->edit(QStringLiteral("modifié"));
    struct Row {
        const char* typed;
        const char* refusedFile;     // the name the refusal gives; none when saved
        const char* refusedDocument;
        bool whileRead = false;      // saved while D.ftxt is being read
    };
    const Row rows[] = {
        {"B.ftxt", "B.ftxt", "B"},
        {"B", "B.ftxt", "B"},
        {"lien.ftxt", "lien.ftxt", "B"},
        {"dossier lié/C.ftxt", "C.ftxt", "C"},
        {"D", "D.ftxt", "D", true},
        {"A", nullptr, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        const bool refused = row.refusedFile != nullptr;
        dialogs.errors.clear();
        dialogs.alerts.clear();
        dialogs.savePanelAnswer = DialogHooks::SavePanelResult{dir.filePath(QString::fromUtf8(row.typed)), fakeTextType};
        bool saved = false;
        if (row.whileRead) {
            HeldReads<FakeTextDocument> held(fakeTextType);
            Opened reading;
            held.whileReading([&] { openInto(reading, read); }, [&] { saved = document->saveDocumentAs(); });
            EXPECT_EQ(fileBytes(read), QByteArray("contenu de D"));
        } else {
            saved = document->saveDocumentAs();
        }
        EXPECT_EQ(saved, !refused);
        EXPECT_EQ(dialogs.errors, refused ? QStringList{QStringLiteral("« %1 » est le fichier du document « %2 », ouvert dans une "
                                                                       "autre fenêtre. Fermez ce document ou choisissez un autre nom.")
                                                            .arg(QString::fromUtf8(row.refusedFile), QString::fromUtf8(row.refusedDocument))}
                                          : QStringList());
        EXPECT_EQ(dialogs.alerts.size(), refused ? 0 : 1); // replacing its file is asked first
        EXPECT_EQ(fileBytes(other), QByteArray("contenu de B"));
        EXPECT_FALSE(QFile::exists(gone));
        EXPECT_EQ(fileBytes(own), refused ? QByteArray("A") : QByteArray("modifié"));
        EXPECT_EQ(document->filePath(), own);
    }
}

// A write refused at the loop's end can no longer be shown: it is written to the standard error
// output with the document's name and counted, and the other documents are still written. So
// is whatever a closing document would show. The dialogs are given back as they were: attended
// when the loop simply ended, unattended after a signal. A file made read-only is refused so.
TEST_F(DocumentControllerTest, AWriteRefusedAtTheLoopsEndGoesToTheErrorOutputAndTheOthersAreStillWritten)
{
    FilePermissionScope permissions;
    ASSERT_TRUE(permissions.holds());
    for (const bool unattendedBefore : {false, true}) {
        SCOPED_TRACE(unattendedBefore ? "after a signal" : "the loop ended");
        const Opened refused = open(write(QStringLiteral("refus.ftxt"), "avant"), false);
        static_cast<FakeTextDocument*>(refused.document.data())->edit(QStringLiteral("REFUSE"));
        // Its save in the background fails too, while the loop still ran: that failure may not show.
        auto* inFlight = static_cast<FakeTextDocument*>(open(write(QStringLiteral("vol.ftxt"), "avant"), false).document.data());
        inFlight->backgroundJobs = true;
        inFlight->edit(QStringLiteral("REFUSE aussi"));
        inFlight->saveInBackground();
        const QString readOnly = write(QStringLiteral("protégé.ftxt"), "avant");
        static_cast<FakeTextDocument*>(open(readOnly, false).document.data())->edit(QStringLiteral("après"));
        ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner));
        const Opened written = open(write(QStringLiteral("fin.ftxt"), "avant"), false);
        static_cast<FakeTextDocument*>(written.document.data())->edit(QStringLiteral("après"));
        QObject::connect(written.document.data(), &Document::aboutToClose,
                         [] { DialogHooks::presentError(QStringLiteral("Un réglage saisi est refusé.")); });

        DialogHooks::setUnattended(unattendedBefore);
        testing::internal::CaptureStderr();
        controller.closeDocumentsAtQuit();
        const QString reported = QString::fromLocal8Bit(testing::internal::GetCapturedStderr().c_str());
        EXPECT_EQ(DialogHooks::setUnattended(false), unattendedBefore);
        QCoreApplication::processEvents(); // whatever was queued before the end would show now

        EXPECT_EQ(reported.toStdString(), "Pelmora Studio : « refus » : Ce texte ne peut pas être enregistré.\n"
                                          "Pelmora Studio : « vol » : Ce texte ne peut pas être enregistré.\n"
                                          "Pelmora Studio : « protégé » : Le document « protégé » n’a pas pu être enregistré dans « "
                                              + dir.path().toStdString() + " ».\n"
                                          "Pelmora Studio : « fin » : Un réglage saisi est refusé.\n");
        EXPECT_EQ(fileBytes(dir.filePath(QStringLiteral("refus.ftxt"))), QByteArray("avant"));
        EXPECT_EQ(fileBytes(readOnly), QByteArray("avant"));
        ASSERT_TRUE(QFile::remove(readOnly));
        EXPECT_EQ(fileBytes(dir.filePath(QStringLiteral("fin.ftxt"))), QByteArray("après"));
        EXPECT_TRUE(dialogs.alerts.isEmpty());
        EXPECT_TRUE(dialogs.errors.isEmpty());
        EXPECT_TRUE(controller.documents().isEmpty());
    }
    EXPECT_EQ(controller.changesLostAtQuit(), 6);
}

} // namespace
