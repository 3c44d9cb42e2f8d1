#include "support/FilePermissionScope.h"
#include "support/PlatformTestSupport.h"
#include "support/TestFiles.h"

#include "desktop/DocumentWindowController.h"
#include "platform/AtomicFileWriter.h"

#include <QDir>
#include <QCursor>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QUndoStack>
#include <QWidget>
#include <QWindow>
#include <QCloseEvent>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerFakeTypes();
        ASSERT_TRUE(dir.isValid());
        doc = std::make_unique<FakeTextDocument>();
        doc->setFileType(fakeTextType);
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    // The document read from a new file of these bytes and kept at its path.
    QString opened(const QString& name, const QByteArray& bytes)
    {
        const QString file = path(name);
        writeBytes(file, bytes);
        EXPECT_TRUE(doc->readFromFile(file, fakeTextType));
        doc->setFilePath(file);
        return file;
    }

    // Saves go to a worker that waits for the gate before it writes.
    void gateBackgroundSaves()
    {
        doc->backgroundJobs = true;
        doc->gate = std::make_shared<QSemaphore>();
    }

    QTemporaryDir dir;
    DialogRecorder dialogs;
    DialogHooks::ScopedHooks scoped{dialogs.hooks()};
    std::unique_ptr<FakeTextDocument> doc;
};

TEST_F(DocumentTest, UntitledDocumentIsNamedSansTitreAndUnchanged)
{
    EXPECT_EQ(doc->displayName(), QStringLiteral("Sans titre"));
    EXPECT_FALSE(doc->isDocumentEdited());
    doc->setFilePath(path(QStringLiteral("Carte des régions.ftxt")));
    EXPECT_EQ(doc->displayName(), QStringLiteral("Carte des régions"));
    doc->setDisplayName(QStringLiteral("Europe"));
    EXPECT_EQ(doc->displayName(), QStringLiteral("Europe"));
}

TEST_F(DocumentTest, ChangeCountFollowsUndoRedoAndMarksWithoutUndoStep)
{
    doc->edit(QStringLiteral("a"));
    EXPECT_EQ(doc->text, QStringLiteral("a")); // the push did not apply the change twice
    EXPECT_EQ(doc->changeCount(), 1);
    doc->edit(QStringLiteral("ab"));
    EXPECT_EQ(doc->changeCount(), 2);
    doc->undo();
    EXPECT_EQ(doc->text, QStringLiteral("a"));
    EXPECT_EQ(doc->changeCount(), 1);
    doc->undo();
    EXPECT_EQ(doc->text, QString());
    EXPECT_FALSE(doc->isDocumentEdited());
    doc->redo();
    EXPECT_EQ(doc->text, QStringLiteral("a"));
    EXPECT_EQ(doc->changeCount(), 1);

    doc->updateChangeCount(Document::ChangeType::Done);
    EXPECT_EQ(doc->changeCount(), 2);
    EXPECT_EQ(doc->undoStack()->count(), 2); // no undo step for a plain mark

    doc->clearUndoHistory();
    EXPECT_EQ(doc->changeCount(), 2);
    EXPECT_FALSE(doc->undoStack()->canUndo());
}

TEST_F(DocumentTest, UndoAfterSaveMakesTheDocumentChangedAgain)
{
    doc->edit(QStringLiteral("saved"));
    ASSERT_TRUE(doc->saveToFile(path(QStringLiteral("d.ftxt")), fakeTextType, Document::SaveOperation::Save));
    EXPECT_FALSE(doc->isDocumentEdited());
    doc->undo();
    EXPECT_TRUE(doc->isDocumentEdited());
    doc->redo();
    EXPECT_FALSE(doc->isDocumentEdited());
}

TEST_F(DocumentTest, ADraftBeingTypedShowsAChangeNoWriteHolds)
{
    const QString file = opened(QStringLiteral("draft.ftxt"), "v1");
    doc->setAutosaveDelay(20);
    doc->noteDraft(true);
    // Nothing to write yet: no autosave, yet the document is not its file.
    EXPECT_TRUE(doc->isDocumentEdited());
    EXPECT_FALSE(doc->isAutosaveScheduled());
    // A write in place with the draft alone holds nothing of it: it does not say written.
    EXPECT_FALSE(doc->autosave());
    EXPECT_EQ(fileBytes(file), QByteArray("v1"));
    // A write meanwhile (another change's) does not hold the draft.
    doc->edit(QStringLiteral("v2"));
    EXPECT_FALSE(doc->autosave());
    EXPECT_EQ(fileBytes(file), QByteArray("v2"));
    EXPECT_TRUE(doc->isDocumentEdited());
    // Its end becomes a step, written by the next autosave.
    doc->noteDraft(false);
    doc->edit(QStringLiteral("v2 typed"));
    ASSERT_TRUE(waitUntil([&] { return !doc->isDocumentEdited(); }));
    EXPECT_EQ(fileBytes(file), QByteArray("v2 typed"));
    // A draft given up leaves the document as its file.
    doc->noteDraft(true);
    doc->noteDraft(false);
    EXPECT_FALSE(doc->isDocumentEdited());
}

TEST_F(DocumentTest, SaveAsOffersWritableTypesInOrderAndAddsTheChosenExtension)
{
    doc->text = QStringLiteral("bonjour");
    doc->setFileType(fakeNoteType);
    doc->setDisplayName(QStringLiteral("Europe"));
    dialogs.savePanelAnswer = DialogHooks::SavePanelResult{path(QStringLiteral("lettre")), fakeTextType};
    ASSERT_TRUE(doc->saveDocumentAs());

    ASSERT_EQ(dialogs.savePanels.size(), 1);
    const auto& request = dialogs.savePanels.first();
    ASSERT_EQ(request.types.size(), 2);
    EXPECT_EQ(request.types[0].identifier, fakeTextType);
    EXPECT_EQ(request.types[1].identifier, fakeNoteType);
    EXPECT_EQ(request.types[1].extensions, (QStringList{QStringLiteral("fnote"), QStringLiteral("note")}));
    EXPECT_EQ(request.selectedType, fakeNoteType); // the document's own type comes preselected
    EXPECT_EQ(request.suggestedName, QStringLiteral("Europe"));

    EXPECT_EQ(doc->filePath(), path(QStringLiteral("lettre.ftxt")));
    EXPECT_EQ(doc->fileType(), fakeTextType);
    EXPECT_EQ(fileBytes(doc->filePath()), QByteArray("bonjour"));
    EXPECT_EQ(doc->displayName(), QStringLiteral("lettre"));
}

TEST_F(DocumentTest, SaveOfUntitledDocumentRunsSaveAsAndCancelWritesNothing)
{
    doc->edit(QStringLiteral("x"));
    dialogs.savePanelAnswer.reset();
    EXPECT_FALSE(doc->saveDocument());
    EXPECT_EQ(dialogs.savePanels.size(), 1);
    EXPECT_TRUE(doc->isDocumentEdited());
    EXPECT_TRUE(doc->filePath().isEmpty());
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(DocumentTest, RefusedWriteKeepsOldFileAndDocumentChanged)
{
    const QString file = opened(QStringLiteral("garde.ftxt"), "ancien");
    doc->edit(QStringLiteral("REFUSE ceci"));
    EXPECT_FALSE(doc->saveDocument());
    EXPECT_EQ(dialogs.errors, QStringList{QStringLiteral("Ce texte ne peut pas être enregistré.")});
    EXPECT_EQ(fileBytes(file), QByteArray("ancien"));
    EXPECT_TRUE(doc->isDocumentEdited());
    EXPECT_EQ(doc->text, QStringLiteral("REFUSE ceci"));
}

TEST_F(DocumentTest, WriteIntoMissingFolderGivesFrenchMessage)
{
    doc->text = QStringLiteral("t");
    QString error;
    EXPECT_FALSE(doc->writeToFile(path(QStringLiteral("absent/sous/d.ftxt")), fakeTextType, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Le document « Sans titre » n’a pas pu être enregistré dans « ")));
}

TEST_F(DocumentTest, FailedReadLeavesDocumentUnchangedWithCodecMessage)
{
    const QString bad = path(QStringLiteral("bad.ftxt"));
    writeBytes(bad, "BAD bytes");
    doc->text = QStringLiteral("intact");
    QString error;
    EXPECT_FALSE(doc->readFromFile(bad, fakeTextType, &error));
    EXPECT_EQ(error, QStringLiteral("Ce fichier texte est illisible."));
    EXPECT_EQ(doc->text, QStringLiteral("intact"));
    EXPECT_FALSE(doc->readFromFile(path(QStringLiteral("nowhere.ftxt")), fakeTextType, &error));
    EXPECT_EQ(error, QStringLiteral("Le fichier « nowhere.ftxt » n’a pas pu être lu."));
}

TEST_F(DocumentTest, AFileAboveWhatThisMachineClassDecodesIsRefusedBeforeReading)
{
    const QString huge = path(QStringLiteral("énorme.ftxt"));
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(300) << 20)); // sparse: nothing is written or read
    }
    doc->text = QStringLiteral("intact");
    QString error;
    EXPECT_FALSE(doc->readFromFile(huge, fakeTextType, &error));
    EXPECT_EQ(error, QStringLiteral("Le fichier « énorme.ftxt » est trop volumineux pour être ouvert (256 Mo au plus)."));
    EXPECT_EQ(doc->text, QStringLiteral("intact"));
}

TEST_F(DocumentTest, AutosaveWritesChangedDocumentInPlaceAfterTheDelay)
{
    const QString file = opened(QStringLiteral("auto.ftxt"), "v1");
    doc->setAutosaveDelay(30);
    doc->edit(QStringLiteral("v2"));
    EXPECT_TRUE(doc->isAutosaveScheduled());
    EXPECT_EQ(fileBytes(file), QByteArray("v1")); // not at once
    ASSERT_TRUE(waitUntil([&] { return !doc->isDocumentEdited(); }));
    EXPECT_EQ(fileBytes(file), QByteArray("v2"));
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(DocumentTest, UntitledDocumentIsNeverAutosaved)
{
    doc->setAutosaveDelay(5);
    doc->edit(QStringLiteral("brouillon"));
    EXPECT_FALSE(doc->isAutosaveScheduled());
    EXPECT_FALSE(doc->autosave());
    EXPECT_TRUE(doc->isDocumentEdited());
}

TEST_F(DocumentTest, FailingAutosaveKeepsChangesAndReportsOnce)
{
    const QString file = opened(QStringLiteral("refus.ftxt"), "propre");
    // Not while a text is being typed: the next autosave once it stopped shows the refusal.
    doc->setAutosaveDelay(5);
    dialogs.typing = true;
    doc->edit(QStringLiteral("REFUSE 0"));
    doc->saveInBackground(Document::SaveOperation::Autosave);
    EXPECT_TRUE(dialogs.errors.isEmpty());
    dialogs.typing = false;
    ASSERT_TRUE(waitUntil([&] { return !dialogs.errors.isEmpty(); }));
    doc->edit(QStringLiteral("REFUSE 1"));
    ASSERT_TRUE(waitUntil([&] { return !doc->isAutosaveScheduled(); }));
    doc->edit(QStringLiteral("REFUSE 2"));
    ASSERT_TRUE(waitUntil([&] { return !doc->isAutosaveScheduled(); }));
    EXPECT_FALSE(doc->autosave());

    EXPECT_EQ(dialogs.errors, QStringList{QStringLiteral("Ce texte ne peut pas être enregistré.")});
    EXPECT_TRUE(doc->isDocumentEdited());
    EXPECT_EQ(doc->text, QStringLiteral("REFUSE 2"));
    EXPECT_EQ(fileBytes(file), QByteArray("propre"));

    // Once a write succeeds, a later refusal is news again.
    doc->edit(QStringLiteral("accepté"));
    EXPECT_TRUE(doc->autosave());
    EXPECT_EQ(fileBytes(file), QByteArray("accepté"));
    doc->edit(QStringLiteral("REFUSE 3"));
    EXPECT_FALSE(doc->autosave());
    EXPECT_EQ(dialogs.errors.size(), 2);
}

// The save runs on a worker thread over a snapshot: a change made meanwhile is not marked
// saved, and the next autosave writes it.
TEST_F(DocumentTest, AChangeDuringABackgroundSaveMakesTheNextAutosave)
{
    const QString file = opened(QStringLiteral("fond.ftxt"), "v1");
    gateBackgroundSaves();
    doc->setAutosaveDelay(5);
    doc->edit(QStringLiteral("v2"));
    ASSERT_TRUE(waitUntil([&] { return doc->isSavingInBackground(); }));
    doc->edit(QStringLiteral("v3")); // while v2 is being written
    EXPECT_EQ(fileBytes(file), QByteArray("v1"));
    doc->gate->release(); // v2 is written, and only v2 counts as saved
    ASSERT_TRUE(waitUntil([&] { return fileBytes(file) == "v2"; }));
    EXPECT_TRUE(doc->isDocumentEdited());
    doc->gate->release(); // the next autosave, for v3
    ASSERT_TRUE(waitUntil([&] { return !doc->isDocumentEdited(); }));
    EXPECT_EQ(fileBytes(file), QByteArray("v3"));
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(DocumentTest, ABackgroundSaveFailureComesBackOnceAndKeepsTheChanges)
{
    const QString file = opened(QStringLiteral("refus.ftxt"), "propre");
    doc->backgroundJobs = true;
    dialogs.typing = true; // an autosave's refusal waits for the typing to stop
    doc->edit(QStringLiteral("REFUSE 1"));
    doc->saveInBackground();
    doc->waitForBackgroundSave();
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs.errors.isEmpty());
    dialogs.typing = false;
    doc->edit(QStringLiteral("REFUSE 2"));
    doc->saveInBackground();
    doc->waitForBackgroundSave();
    QCoreApplication::processEvents(); // the message is shown from the event loop
    EXPECT_EQ(dialogs.errors, QStringList{QStringLiteral("Ce texte ne peut pas être enregistré.")});
    EXPECT_EQ(doc->lastWriteError(), QStringLiteral("Ce texte ne peut pas être enregistré."));
    EXPECT_TRUE(doc->isDocumentEdited());
    EXPECT_EQ(fileBytes(file), QByteArray("propre"));
}

// Closing waits for the save in flight, which then counts: nothing is left unsaved.
TEST_F(DocumentTest, ClosingWaitsForASaveInFlight)
{
    const QString file = opened(QStringLiteral("quitter.ftxt"), "v1");
    gateBackgroundSaves();
    doc->edit(QStringLiteral("v2"));
    doc->saveInBackground();
    // The writer may finish at once or later: either way its outcome reaches the document only
    // through the event loop, which has not run, so the save is still in flight for canClose.
    doc->gate->release();
    ASSERT_TRUE(doc->isSavingInBackground());
    EXPECT_TRUE(doc->canClose());
    EXPECT_FALSE(doc->isSavingInBackground());
    EXPECT_FALSE(doc->isDocumentEdited());
    EXPECT_EQ(fileBytes(file), QByteArray("v2"));
    EXPECT_TRUE(dialogs.questions.isEmpty());
}

// "Enregistrer" from the menu hands the write to a worker; the window is free meanwhile.
TEST_F(DocumentTest, TheSaveCommandWritesInTheBackground)
{
    const QString file = opened(QStringLiteral("menu.ftxt"), "v1");
    doc->setAutosaveDelay(60000);
    gateBackgroundSaves();
    doc->edit(QStringLiteral("v2"));
    doc->perform(QStringLiteral("saveDocument:"), nullptr);
    EXPECT_TRUE(doc->isSavingInBackground());
    EXPECT_TRUE(doc->isDocumentEdited());
    doc->gate->release();
    ASSERT_TRUE(waitUntil([&] { return !doc->isDocumentEdited(); }));
    EXPECT_EQ(fileBytes(file), QByteArray("v2"));
}

// A read that lasts shows the busy cursor while the event loop keeps running; a failed one
// still leaves the document as it was.
TEST_F(DocumentTest, ALongReadShowsTheBusyCursorUntilItEnds)
{
    const QString file = path(QStringLiteral("gros.ftxt"));
    writeBytes(file, "contenu");
    doc->backgroundReads = true;
    doc->readGate = std::make_shared<QSemaphore>();
    // The read is held until the cursor shows (or long past its delay): a loaded machine may
    // run the cursor's timer late, and a read let go too early would not show it.
    std::optional<Qt::CursorShape> seen;
    QElapsedTimer held;
    held.start();
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (const QCursor* cursor = QGuiApplication::overrideCursor())
            seen = cursor->shape();
        if (seen || held.elapsed() > 20 * Document::busyIndicationDelayMs) {
            probe.stop();
            doc->readGate->release();
        }
    });
    probe.start(20);
    ASSERT_TRUE(doc->readFromFile(file, fakeTextType));
    EXPECT_EQ(seen, Qt::BusyCursor);
    EXPECT_EQ(doc->text, QStringLiteral("contenu"));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    writeBytes(file, "BAD");
    doc->readGate.reset();
    QString error;
    EXPECT_FALSE(doc->readFromFile(file, fakeTextType, &error));
    EXPECT_EQ(error, QStringLiteral("Ce fichier texte est illisible."));
    EXPECT_EQ(doc->text, QStringLiteral("contenu"));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// The event loop runs during a read: an autosave falling due then must not write the
// changes that the revert is discarding.
TEST_F(DocumentTest, NoAutosaveWritesDuringARevertRead)
{
    const QString file = opened(QStringLiteral("revenir.ftxt"), "v1");
    doc->setAutosaveDelay(5);
    doc->edit(QStringLiteral("v2"));
    ASSERT_TRUE(doc->isAutosaveScheduled());
    doc->backgroundReads = true;
    doc->readGate = std::make_shared<QSemaphore>();
    QTimer release;
    release.setSingleShot(true);
    QObject::connect(&release, &QTimer::timeout, [&] { doc->readGate->release(); });
    // Both timers run in the read's own event loop, which fires due timers in the order they
    // fall due: the release comes after the autosave would have, however busy the machine.
    release.start(100);
    ASSERT_TRUE(doc->revertToFile());
    EXPECT_EQ(doc->text, QStringLiteral("v1"));
    EXPECT_FALSE(doc->isDocumentEdited());
    EXPECT_EQ(fileBytes(file), QByteArray("v1"));
}

TEST_F(DocumentTest, ClosingAnUntitledChangedDocumentAsks)
{
    doc->edit(QStringLiteral("x"));
    dialogs.saveAnswer = DialogHooks::SaveChangesAnswer::Cancel;
    EXPECT_FALSE(doc->canClose());
    dialogs.saveAnswer = DialogHooks::SaveChangesAnswer::DontSave;
    EXPECT_TRUE(doc->canClose());
    EXPECT_EQ(dialogs.questions, (QStringList{QStringLiteral("Sans titre"), QStringLiteral("Sans titre")}));

    dialogs.saveAnswer = DialogHooks::SaveChangesAnswer::Save;
    dialogs.savePanelAnswer = DialogHooks::SavePanelResult{path(QStringLiteral("sauvé.ftxt")), fakeTextType};
    EXPECT_TRUE(doc->canClose());
    EXPECT_EQ(fileBytes(path(QStringLiteral("sauvé.ftxt"))), QByteArray("x"));
    // The guillemets hold to the name with no-break spaces; the name itself is kept as it is.
    EXPECT_EQ(DialogHooks::saveChangesMessage(QStringLiteral("Europe de l’Ouest")),
              QStringLiteral("Voulez-vous enregistrer les modifications apportées au document "
                             "«\u00A0Europe de l’Ouest\u00A0»\u00A0?"));
    EXPECT_FALSE(DialogHooks::saveChangesMessage(QStringLiteral("Europe")).contains(QStringLiteral("« ")));
    EXPECT_FALSE(DialogHooks::saveChangesMessage(QStringLiteral("Europe")).contains(QStringLiteral(" »")));
}

TEST_F(DocumentTest, ClosingADocumentWithAFileWritesInPlaceWithoutAsking)
{
    const QString file = path(QStringLiteral("ferme.ftxt"));
    ASSERT_TRUE(doc->saveToFile(file, fakeTextType, Document::SaveOperation::SaveAs));
    doc->edit(QStringLiteral("fin"));
    EXPECT_TRUE(doc->canClose());
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(fileBytes(file), QByteArray("fin"));
}

TEST_F(DocumentTest, ClosingAfterARefusedWriteAsksAndSavesElsewhere)
{
    const QString file = path(QStringLiteral("bloque.ftxt"));
    ASSERT_TRUE(doc->saveToFile(file, fakeTextType, Document::SaveOperation::SaveAs));
    doc->edit(QStringLiteral("REFUSE"));
    dialogs.saveAnswer = DialogHooks::SaveChangesAnswer::Save;
    dialogs.savePanelAnswer.reset();
    EXPECT_FALSE(doc->canClose()); // the save panel was cancelled
    EXPECT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(dialogs.questions, QStringList{QStringLiteral("bloque")});
    EXPECT_EQ(dialogs.savePanels.size(), 1); // a new place, not the same failing write
    EXPECT_TRUE(doc->isDocumentEdited());
}

TEST_F(DocumentTest, RevertAsksThenReadsTheFileAgain)
{
    const QString file = opened(QStringLiteral("rev.ftxt"), "origine");
    doc->edit(QStringLiteral("modifié"));

    dialogs.alertAnswer = 1; // "Annuler"
    EXPECT_FALSE(doc->revertDocumentToSaved());
    EXPECT_EQ(doc->text, QStringLiteral("modifié"));
    ASSERT_EQ(dialogs.alerts.size(), 1);
    EXPECT_EQ(dialogs.alerts[0].message, QStringLiteral("Voulez-vous revenir à la version enregistrée du document « rev » ?"));
    EXPECT_EQ(dialogs.alerts[0].buttons, (QStringList{QStringLiteral("Revenir"), QStringLiteral("Annuler")}));

    dialogs.alertAnswer = 0;
    EXPECT_TRUE(doc->revertDocumentToSaved());
    EXPECT_EQ(doc->text, QStringLiteral("origine"));
    EXPECT_FALSE(doc->isDocumentEdited());
    EXPECT_FALSE(doc->undoStack()->canUndo());
}

TEST_F(DocumentTest, RevertOfUnreadableFileKeepsTheChanges)
{
    const QString file = path(QStringLiteral("abime.ftxt"));
    ASSERT_TRUE(doc->saveToFile(file, fakeTextType, Document::SaveOperation::SaveAs));
    doc->edit(QStringLiteral("travail"));
    writeBytes(file, "BAD");
    EXPECT_FALSE(doc->revertDocumentToSaved());
    EXPECT_EQ(dialogs.errors, QStringList{QStringLiteral("Ce fichier texte est illisible.")});
    EXPECT_EQ(doc->text, QStringLiteral("travail"));
    EXPECT_TRUE(doc->undoStack()->canUndo());
    EXPECT_TRUE(doc->isDocumentEdited());
}

TEST_F(DocumentTest, WindowTitleFollowsNameAndEditedStateAndCloseOrdersWindowsOut)
{
    auto* wc = new DocumentWindowController;
    doc->addWindowController(wc);
    EXPECT_EQ(wc->parent(), doc.get());
    wc->showWindow();
    EXPECT_EQ(wc->window()->windowTitle(), QStringLiteral("Sans titre[*]"));
    EXPECT_FALSE(wc->window()->isWindowModified());
    doc->edit(QStringLiteral("x"));
    EXPECT_TRUE(wc->window()->isWindowModified());
    doc->setDisplayName(QStringLiteral("Monde"));
    EXPECT_EQ(wc->window()->windowTitle(), QStringLiteral("Monde[*]"));

    // Closing the window asks first; cancelling keeps it open.
    dialogs.saveAnswer = DialogHooks::SaveChangesAnswer::Cancel;
    EXPECT_FALSE(wc->window()->close());
    EXPECT_TRUE(wc->window()->isVisible());
    EXPECT_FALSE(doc->isClosed());
    // A second close from the window system while the question shows (Alt+F4) is refused:
    // the window stays on screen with its document, and the question answers once.
    DialogHooks::Hooks closingAgain = dialogs.hooks();
    int questions = 0;
    bool shownDuringQuestion = false;
    closingAgain.askSaveChanges = [&](const QString&, QWidget*) {
        ++questions;
        QCloseEvent again;
        QCoreApplication::sendEvent(wc->window()->windowHandle(), &again);
        shownDuringQuestion = wc->window()->isVisible() && !again.isAccepted();
        return DialogHooks::SaveChangesAnswer::Cancel;
    };
    {
        DialogHooks::ScopedHooks scopedAgain(closingAgain);
        EXPECT_FALSE(wc->window()->close());
    }
    EXPECT_TRUE(shownDuringQuestion);
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(wc->window()->isVisible());
    EXPECT_FALSE(doc->isClosed());
    dialogs.saveAnswer = DialogHooks::SaveChangesAnswer::DontSave;
    EXPECT_TRUE(wc->window()->close());
    EXPECT_TRUE(doc->isClosed());
    EXPECT_FALSE(wc->window()->isVisible());
}

// Another program changes the document's file: rewrites it through a new file renamed over
// it (with unreadable bytes too), appends to it, rewrites it in place with as many bytes (and
// puts its date back; or changes only its next-to-last byte so), deletes it; or does what
// changes no byte: touches it, changes its mode, renames a copy of the same bytes over it.
enum class ChangeOnDisk {
    rewritten, unreadable, appended, rewrittenInPlace, rewrittenInPlaceDatePutBack, oneByteNearTheEndDatePutBack, deleted,
    touched, modeChanged, sameBytesRenamedOver,
};

void changeOnDisk(const QString& path, ChangeOnDisk change)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat before {};
    ASSERT_EQ(::stat(name.constData(), &before), 0);
    QByteArray bytes;
    switch (change) {
    case ChangeOnDisk::deleted: ASSERT_TRUE(QFile::remove(path)); return;
    case ChangeOnDisk::touched: ASSERT_EQ(::utimensat(AT_FDCWD, name.constData(), nullptr, 0), 0); return;
    case ChangeOnDisk::modeChanged:
        ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup));
        return;
    case ChangeOnDisk::appended: {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(" et la suite");
        return;
    }
    case ChangeOnDisk::rewrittenInPlace:
    case ChangeOnDisk::rewrittenInPlaceDatePutBack:
    case ChangeOnDisk::oneByteNearTheEndDatePutBack: {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        const qint64 size = file.size();
        if (change == ChangeOnDisk::oneByteNearTheEndDatePutBack) {
            ASSERT_GE(size, 2);
            ASSERT_TRUE(file.seek(size - 2));
            file.write("#");
        } else {
            file.write(QByteArray(size, '*'));
        }
        file.close();
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        if (change != ChangeOnDisk::rewrittenInPlace) {
            ASSERT_EQ(::utimensat(AT_FDCWD, name.constData(), times, 0), 0);
        }
        return;
    }
    case ChangeOnDisk::rewritten: bytes = "leur version"; break;
    case ChangeOnDisk::unreadable: bytes = "BAD bytes"; break;
    case ChangeOnDisk::sameBytesRenamedOver: bytes = fileBytes(path); break;
    }
    QSaveFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    ASSERT_TRUE(file.commit());
}

// A file changed on disk since the document last read or wrote it is not replaced unasked,
// whatever write comes next, even when the change comes just before the write's rename:
// « Remplacer » writes it, « Garder le fichier du disque » reads it again (or says, as opening
// does, why it cannot), « Annuler » leaves both as they are; with nobody to ask (the end of the
// program) the write is refused. A file whose bytes did not change is no change. The document's
// own writes, in the background too, are never taken for another program's. An autosave asks
// nothing while a text is being typed, and never asks twice at once.
TEST_F(DocumentTest, AFileChangedOnDiskIsReplacedOnlyOnceThePersonSaysSo)
{
    enum class Write { autosave, save, saveInBackground, close, end, autosaveWhileTyping, saveWhileTyping, saveAutosaveDueUnderTheQuestion,
                       saveInBackgroundQuestionMeanwhile };
    enum Answer { replace, keep, cancel, nobody };
    // What the document did with its file before the change: read it and wrote it (on this
    // thread or in the background), only read it, wrote it while another program changed it right
    // after the rename, or wrote it after a question about an earlier change.
    enum class Before { ownWrite, ownWriteInBackground, readOnly, changedJustAfterOwnRename, earlierQuestion };
    struct Row {
        const char* name;
        ChangeOnDisk change;
        Write write;
        Answer answer;
        bool replaced;
        bool justBeforeTheRename = false; // the change comes as the write is about to rename
        Before before = Before::ownWrite;
    };
    const Row rows[] = {
        {"rewritten, autosave, Remplacer", ChangeOnDisk::rewritten, Write::autosave, replace, true},
        {"appended to, Enregistrer, Remplacer", ChangeOnDisk::appended, Write::save, replace, true},
        {"rewritten, Enregistrer in the background, Garder", ChangeOnDisk::rewritten, Write::saveInBackground, keep, false},
        {"appended to, autosave, Garder", ChangeOnDisk::appended, Write::autosave, keep, false},
        {"rewritten, autosave, Annuler", ChangeOnDisk::rewritten, Write::autosave, cancel, false},
        {"appended to, closing, Annuler", ChangeOnDisk::appended, Write::close, cancel, false},
        {"rewritten, the end", ChangeOnDisk::rewritten, Write::end, nobody, false},
        {"appended to, the end", ChangeOnDisk::appended, Write::end, nobody, false},
        {"deleted, autosave: written again", ChangeOnDisk::deleted, Write::autosave, nobody, true},
        {"touched, autosave: no question", ChangeOnDisk::touched, Write::autosave, nobody, true},
        {"mode changed, autosave: no question", ChangeOnDisk::modeChanged, Write::autosave, nobody, true},
        {"same bytes renamed over it, autosave: no question", ChangeOnDisk::sameBytesRenamedOver, Write::autosave, nobody, true},
        {"rewritten in place within the second, autosave, Remplacer", ChangeOnDisk::rewrittenInPlace, Write::autosave, replace, true},
        {"rewritten in place, date put back, autosave, Annuler", ChangeOnDisk::rewrittenInPlaceDatePutBack, Write::autosave, cancel, false},
        {"one byte near the end rewritten in place, date put back, Enregistrer, Garder", ChangeOnDisk::oneByteNearTheEndDatePutBack,
         Write::save, keep, false},
        {"rewritten before the rename, Enregistrer in the background, Remplacer", ChangeOnDisk::rewritten, Write::saveInBackground, replace, true, true},
        {"rewritten before the rename, the end", ChangeOnDisk::rewritten, Write::end, nobody, false, true},
        {"unreadable, autosave, Garder", ChangeOnDisk::unreadable, Write::autosave, keep, false},
        {"unreadable, Enregistrer, Garder", ChangeOnDisk::unreadable, Write::save, keep, false},
        {"rewritten, autosave while typing, Remplacer once typing stops", ChangeOnDisk::rewritten, Write::autosaveWhileTyping, replace, true},
        {"rewritten, Enregistrer while typing, Remplacer", ChangeOnDisk::rewritten, Write::saveWhileTyping, replace, true},
        {"rewritten, Enregistrer, autosave due under the question, Annuler", ChangeOnDisk::rewritten, Write::saveAutosaveDueUnderTheQuestion, cancel, false},
        {"touched after a read alone, autosave: no question", ChangeOnDisk::touched, Write::autosave, nobody, true, false, Before::readOnly},
        {"touched after a save in the background, autosave: no question", ChangeOnDisk::touched, Write::autosave, nobody, true, false,
         Before::ownWriteInBackground},
        {"rewritten just after the document's own rename, autosave, Remplacer", ChangeOnDisk::rewritten, Write::autosave, replace, true,
         false, Before::changedJustAfterOwnRename},
        {"rewritten before the rename, Enregistrer in the background, a question meanwhile, Annuler", ChangeOnDisk::rewritten,
         Write::saveInBackgroundQuestionMeanwhile, cancel, false, true},
        {"unreadable before the rename, Enregistrer in the background, Garder", ChangeOnDisk::unreadable, Write::saveInBackground, keep,
         false, true},
        {"after an earlier question, rewritten before the rename, Enregistrer in the background, Remplacer", ChangeOnDisk::rewritten,
         Write::saveInBackground, replace, true, true, Before::earlierQuestion},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        doc = std::make_unique<FakeTextDocument>();
        doc->setFileType(fakeTextType);
        doc->setAutosaveDelay(60000);
        dialogs.alerts.clear();
        dialogs.errors.clear();
        const QString file = opened(QStringLiteral("partagé.ftxt"), "lu");
        QByteArray theirs;
        std::optional<QFileDevice::Permissions> mode;
        const auto change = [&] {
            changeOnDisk(file, row.change);
            theirs = fileBytes(file);
            if (QFile::exists(file))
                mode = QFile::permissions(file);
        };
        // Its own writes are no change on disk.
        switch (row.before) {
        case Before::readOnly: break;
        case Before::ownWrite:
        case Before::earlierQuestion:
            doc->edit(QStringLiteral("écrit ici"));
            ASSERT_TRUE(doc->autosave());
            break;
        case Before::ownWriteInBackground:
            doc->backgroundJobs = true;
            doc->edit(QStringLiteral("écrit ici"));
            doc->saveInBackground(Document::SaveOperation::Autosave);
            doc->waitForBackgroundSave();
            ASSERT_FALSE(doc->isDocumentEdited());
            doc->backgroundJobs = false;
            break;
        case Before::changedJustAfterOwnRename: {
            AtomicFileWriter::Hooks hooks;
            hooks.afterRename = [&](const QString&) { change(); };
            const AtomicFileWriter::ScopedHooks scopedHooks(hooks);
            doc->edit(QStringLiteral("écrit ici"));
            ASSERT_TRUE(doc->autosave());
            break;
        }
        }
        doc->edit(QStringLiteral("ma version"));
        if (row.before == Before::earlierQuestion) {
            changeOnDisk(file, ChangeOnDisk::rewritten);
            dialogs.alertAnswer = 0;
            ASSERT_TRUE(doc->saveDocument());
            ASSERT_EQ(dialogs.alerts.size(), 1);
            dialogs.alerts.clear();
            doc->edit(QStringLiteral("ma version"));
        }
        if (row.justBeforeTheRename)
            doc->beforeReplacingFile = [&change, once = std::make_shared<std::once_flag>()] { std::call_once(*once, change); };
        else if (row.before != Before::changedJustAfterOwnRename)
            change();
        dialogs.alertAnswer = row.answer == replace ? 0 : row.answer == keep ? 1 : 2;

        QString error;
        bool unsaved = false;
        switch (row.write) {
        case Write::autosave: doc->saveInBackground(Document::SaveOperation::Autosave); break;
        case Write::save: doc->saveDocument(); break;
        case Write::saveInBackground:
            doc->backgroundJobs = true;
            doc->perform(QStringLiteral("saveDocument:"), nullptr);
            doc->waitForBackgroundSave();
            QCoreApplication::processEvents(); // a change met at the rename is asked about from the event loop
            doc->waitForBackgroundSave();
            break;
        case Write::saveInBackgroundQuestionMeanwhile:
            doc->backgroundJobs = true;
            doc->perform(QStringLiteral("saveDocument:"), nullptr);
            doc->waitForBackgroundSave();
            doc->saveDocument(); // asked before the save in the background comes back to it
            QCoreApplication::processEvents();
            doc->waitForBackgroundSave();
            break;
        case Write::close: EXPECT_FALSE(doc->canClose()); break;
        case Write::end:
            DialogHooks::setUnattended(true);
            unsaved = !doc->writeInPlace(&error);
            DialogHooks::setUnattended(false);
            break;
        case Write::autosaveWhileTyping:
            dialogs.typing = true;
            doc->setAutosaveDelay(1);
            doc->saveInBackground(Document::SaveOperation::Autosave);
            QCoreApplication::processEvents(); // the autosaves falling due while typing ask nothing
            EXPECT_TRUE(dialogs.alerts.isEmpty());
            dialogs.typing = false;
            EXPECT_TRUE(waitUntil([&] { return !dialogs.alerts.isEmpty(); }));
            doc->setAutosaveDelay(60000);
            break;
        case Write::saveWhileTyping:
            dialogs.typing = true;
            doc->perform(QStringLiteral("saveDocument:"), nullptr);
            dialogs.typing = false;
            break;
        case Write::saveAutosaveDueUnderTheQuestion:
            dialogs.whileAlertShows = [&] { doc->saveInBackground(Document::SaveOperation::Autosave); };
            doc->saveDocument();
            break;
        }
        const bool asked = row.answer != nobody;
        const bool unreadable = row.change == ChangeOnDisk::unreadable;
        const bool readAgain = row.answer == keep && !unreadable;
        EXPECT_EQ(dialogs.alerts.size(), asked ? 1 : 0);
        if (asked && !dialogs.alerts.isEmpty()) {
            EXPECT_EQ(dialogs.alerts.first().message,
                      QStringLiteral("Le fichier du document « partagé » a été modifié par une autre application."));
        }
        EXPECT_EQ(fileBytes(file), row.replaced ? QByteArray("ma version") : theirs);
        if (row.replaced && mode) {
            EXPECT_EQ(QFile::permissions(file), *mode); // a write keeps the file's permissions
        }
        EXPECT_EQ(doc->text, readAgain ? QString::fromUtf8(theirs) : QStringLiteral("ma version"));
        EXPECT_EQ(doc->isDocumentEdited(), !row.replaced && !readAgain);
        // A file that cannot be read is said as opening says it, in French.
        const QString heading = QStringLiteral("Le document « partagé.ftxt » n’a pas pu être ouvert.");
        EXPECT_EQ(dialogs.errors, unreadable ? QStringList{heading + "\n\nCe fichier texte est illisible."} : QStringList());
        if (row.write == Write::end) {
            EXPECT_TRUE(unsaved);
            EXPECT_EQ(error, QStringLiteral("Le fichier « partagé.ftxt » a été modifié par une autre application : il "
                                            "n’a pas été remplacé, les modifications de ce document sont perdues."));
        }
        // Cancelled, the next autosave does not ask again about that version; Enregistrer does.
        if (row.answer == cancel) {
            doc->saveInBackground(Document::SaveOperation::Autosave);
            EXPECT_EQ(dialogs.alerts.size(), 1);
            doc->saveDocument();
            EXPECT_EQ(dialogs.alerts.size(), 2);
        }
        // Once replaced or read again, the document's next writes, in the background, ask nothing.
        if (row.replaced || readAgain) {
            doc->beforeReplacingFile = nullptr;
            doc->backgroundJobs = true;
            for (const char* next : {"ensuite", "et encore"}) {
                doc->edit(QString::fromUtf8(next));
                doc->saveInBackground(Document::SaveOperation::Autosave);
                doc->waitForBackgroundSave();
                EXPECT_EQ(fileBytes(file), QByteArray(next));
            }
            EXPECT_EQ(dialogs.alerts.size(), asked ? 1 : 0);
        }
    }
}

// A file its owner made read-only, in a folder they may write, is not replaced by any write in
// place: the write is refused as any failed write is, said once, and the file keeps its bytes
// and its mode, with nothing left beside it; the document keeps its changes. (The end of the
// program says it on the standard error output: the document controller's test.)
TEST_F(DocumentTest, AFileThePersonMayNotWriteIsNotReplaced)
{
    enum class Write { autosave, save };
    struct Row {
        const char* name;
        Write write;
        bool inBackground;
        // A text being typed: an autosave's refusal waits for the typing to stop, the refusal of
        // the Enregistrer the person asked for does not.
        bool typing = false;
    };
    const Row rows[] = {
        {"autosave", Write::autosave, false},
        {"Enregistrer", Write::save, false},
        {"autosave in the background", Write::autosave, true},
        {"Enregistrer in the background", Write::save, true},
        {"Enregistrer while a text is typed", Write::save, false, true},
        {"Enregistrer in the background while a text is typed", Write::save, true, true},
        {"autosave in the background while a text is typed", Write::autosave, true, true},
    };
    FilePermissionScope permissions;
    ASSERT_TRUE(permissions.holds());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        doc = std::make_unique<FakeTextDocument>();
        doc->setFileType(fakeTextType);
        doc->setAutosaveDelay(60000);
        doc->backgroundJobs = row.inBackground;
        dialogs.errors.clear();
        const QString file = opened(QStringLiteral("protégé.ftxt"), "lu");
        ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        doc->edit(QStringLiteral("ma version"));
        dialogs.typing = row.typing;
        switch (row.write) {
        case Write::autosave: doc->saveInBackground(Document::SaveOperation::Autosave); break;
        case Write::save: doc->perform(QStringLiteral("saveDocument:"), nullptr); break;
        }
        doc->waitForBackgroundSave();
        QCoreApplication::processEvents(); // a refusal in the background is shown from the event loop

        const QString refusal = QStringLiteral("Le document « protégé » n’a pas pu être enregistré dans « %1 ».").arg(dir.path());
        const bool heldBack = row.typing && row.write == Write::autosave;
        EXPECT_EQ(dialogs.errors, heldBack ? QStringList() : QStringList{refusal});
        dialogs.typing = false;
        EXPECT_EQ(doc->lastWriteError(), refusal);
        EXPECT_EQ(fileBytes(file), QByteArray("lu"));
        EXPECT_EQ(QFile::permissions(file), QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                  QStringList{QStringLiteral("protégé.ftxt")});
        EXPECT_TRUE(doc->isDocumentEdited());
        ASSERT_TRUE(QFile::remove(file));
    }
}

TEST(UndoCommandTest, FirstRedoIsSkippedLaterOnesApply)
{
    int redone = 0;
    int undone = 0;
    QUndoStack stack;
    stack.push(new FunctionUndoCommand(QStringLiteral("Pas"), [&] { ++undone; }, [&] { ++redone; }));
    EXPECT_EQ(redone, 0);
    stack.undo();
    stack.redo();
    stack.undo();
    EXPECT_EQ(undone, 2);
    EXPECT_EQ(redone, 1);
    EXPECT_EQ(stack.undoText(), QString());
    EXPECT_EQ(stack.redoText(), QStringLiteral("Pas"));
}

} // namespace
