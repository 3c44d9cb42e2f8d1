#include "support/TestFiles.h"
#include "support/PlatformTestSupport.h"

#include "desktop/DocumentController.h"
#include "platform/UserDefaults.h"

#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
        controller.openDocument(path, display, [&o](Document* d, bool already, const QString& e) {
            o.document = d;
            o.alreadyOpen = already;
            o.error = e;
            ++o.calls;
        });
        return o;
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

    controller.closeDocumentsAtQuit();
    EXPECT_EQ(fileBytes(dir.filePath(QStringLiteral("fin.ftxt"))), QByteArray("après"));
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
}

// Before a signal ends the program, every document takes what is typed in it; a text it
// refuses is left out, and its refusal, which nobody can read any more, goes to the standard
// error output with the document's name.
TEST_F(DocumentControllerTest, EveryDocumentTakesWhatIsTypedInItBeforeASignalsEnd)
{
    auto* refused = static_cast<FakeTextDocument*>(open(write(QStringLiteral("refus.ftxt"), "avant"), false).document.data());
    refused->typing = QStringLiteral("REFUSE");
    auto* first = static_cast<FakeTextDocument*>(open(write(QStringLiteral("un.ftxt"), "avant"), false).document.data());
    first->typing = QStringLiteral("un");
    auto* second = static_cast<FakeTextDocument*>(open(write(QStringLiteral("deux.ftxt"), "avant"), false).document.data());
    second->typing = QStringLiteral("deux");

    DialogHooks::setUnattended(true);
    testing::internal::CaptureStderr();
    controller.commitEditsBeforeQuit();
    const QString reported = QString::fromLocal8Bit(testing::internal::GetCapturedStderr().c_str());
    DialogHooks::setUnattended(false);

    EXPECT_EQ(reported.toStdString(), "Pelmora Studio : « refus » : Ce texte ne peut pas être saisi.\n");
    EXPECT_EQ((QStringList{refused->text, first->text, second->text}),
              (QStringList{QStringLiteral("avant"), QStringLiteral("un"), QStringLiteral("deux")}));
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

// A write refused at the loop's end can no longer be shown: it is written to the standard error
// output with the document's name and counted, and the other documents are still written. So
// is whatever a closing document would show. The dialogs are given back as they were: attended
// when the loop simply ended, unattended after a signal.
TEST_F(DocumentControllerTest, AWriteRefusedAtTheLoopsEndGoesToTheErrorOutputAndTheOthersAreStillWritten)
{
    for (const bool unattendedBefore : {false, true}) {
        SCOPED_TRACE(unattendedBefore ? "after a signal" : "the loop ended");
        const Opened refused = open(write(QStringLiteral("refus.ftxt"), "avant"), false);
        static_cast<FakeTextDocument*>(refused.document.data())->edit(QStringLiteral("REFUSE"));
        // Its save in the background fails too, while the loop still ran: that failure may not show.
        auto* inFlight = static_cast<FakeTextDocument*>(open(write(QStringLiteral("vol.ftxt"), "avant"), false).document.data());
        inFlight->backgroundJobs = true;
        inFlight->edit(QStringLiteral("REFUSE aussi"));
        inFlight->saveInBackground();
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
                                          "Pelmora Studio : « fin » : Un réglage saisi est refusé.\n");
        EXPECT_EQ(fileBytes(dir.filePath(QStringLiteral("refus.ftxt"))), QByteArray("avant"));
        EXPECT_EQ(fileBytes(dir.filePath(QStringLiteral("fin.ftxt"))), QByteArray("après"));
        EXPECT_TRUE(dialogs.alerts.isEmpty());
        EXPECT_TRUE(dialogs.errors.isEmpty());
        EXPECT_TRUE(controller.documents().isEmpty());
    }
    EXPECT_EQ(controller.refusedWritesAtQuit(), 4);
}

} // namespace
