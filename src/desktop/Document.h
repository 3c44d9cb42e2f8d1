#pragma once

#include "platform/CommandResponder.h"
#include "platform/FileVersion.h"
#include "desktop/DocumentDiskVersion.h"
#include "desktop/DocumentWindowController.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

class DocumentController;
class QTimer;
class QUndoCommand;
class QUndoStack;
class QWidget;

// A document of the program, in place of the platform document class: a file path and
// type, a change count, reading and writing through a temporary file and an atomic rename,
// save, save as, revert, closing with the unsaved-changes question and autosave in place.
// Subclasses give the bytes of each type and read them back. Main thread only.
class Document : public QObject, public CommandResponder {
    Q_OBJECT
public:
    enum class SaveOperation { Save, SaveAs, SaveTo, Autosave };
    enum class ChangeType { Done, Undone, Redone, Cleared };

    explicit Document(QObject* parent = nullptr);
    ~Document() override;

    // Identity.
    QString filePath() const { return filePath_; }
    virtual void setFilePath(const QString& path);
    QString fileType() const { return fileType_; }
    void setFileType(const QString& typeIdentifier) { fileType_ = typeIdentifier; }
    // The name set explicitly, else the file's name without extension, else "Sans titre".
    QString displayName() const;
    void setDisplayName(const QString& name);

    // The types "Enregistrer sous…" offers, in order; by default the document's own type.
    virtual QStringList writableTypeIdentifiers() const;
    // The type "Enregistrer sous…" offers chosen: the document's own when it is offered.
    virtual QString saveAsTypeIdentifier() const;
    virtual bool autosavesInPlace() const { return true; }

    // Content. Both throw an exception whose what() is the French sentence shown to the user;
    // a failed read must leave the document unchanged.
    virtual QByteArray dataOfType(const QString& typeIdentifier) const = 0;
    virtual void readFromData(const QByteArray& data, const QString& typeIdentifier) = 0;
    // The bytes of a type as a job that may run on another thread, over an immutable snapshot
    // of the content taken now (it may throw like dataOfType, now or when run). None by
    // default: the document is then written on the calling thread.
    using DataJob = std::function<QByteArray()>;
    virtual DataJob dataJobOfType(const QString& /*typeIdentifier*/) const { return {}; }
    // Reading as a job that may run on another thread: it decodes the bytes (throwing like
    // readFromData) and returns what stores the result, run back on the calling thread. None
    // by default: readFromData runs on the calling thread.
    using StoreStep = std::function<void()>;
    using ReadJob = std::function<StoreStep()>;
    virtual ReadJob readJobOfData(const QByteArray& /*data*/, const QString& /*typeIdentifier*/) { return {}; }
    // How long a read may take before the busy cursor shows.
    static constexpr int busyIndicationDelayMs = 500;

    // File access; false with the French message on failure. A failed write leaves the
    // file as it was.
    bool readFromFile(const QString& path, const QString& typeIdentifier, QString* error = nullptr);
    bool writeToFile(const QString& path, const QString& typeIdentifier, QString* error = nullptr) const;
    // Writes and, except for SaveTo, makes the path and type the document's own and clears
    // the change count.
    bool saveToFile(const QString& path, const QString& typeIdentifier, SaveOperation operation, QString* error = nullptr);

    // The version of its file this document last read or wrote. Before it writes in place, and
    // again just before the rename, a file changed since by another program is not replaced
    // unasked: the person chooses to replace it, to keep it (the document reads it again) or to
    // cancel; with nobody to ask it is kept, the write refused. A new version holding the bytes
    // last read or written (a touch, a copy of them renamed over it) is no change.
    std::optional<FileVersion> diskVersion() const;
    // Takes the version another document read of the same file (one handing its file over).
    void adoptDiskVersion(const Document& other);

    // Menu actions; each presents its own failure and answers whether it succeeded.
    virtual bool saveDocument();
    // "Enregistrer" from a menu or a shortcut: a document with a file is written in the
    // background (its failure is presented when it comes back); answers whether the save
    // was started or done. Closing uses saveDocument, which answers only once written.
    bool saveDocumentInBackground();
    // Called before a save from a menu: false cancels it silently (a pending edit refused).
    virtual bool prepareToSave() { return true; }
    virtual bool saveDocumentAs();
    bool revertDocumentToSaved();                  // asks first
    bool revertToFile(QString* error = nullptr);   // reads the file again without asking

    // Whether the document may close now: asks about unsaved changes when needed.
    virtual bool canClose();
    // Orders out the windows and leaves the document controller. Runs once.
    virtual void close();
    bool isClosed() const { return closed_; }

    // Change count: zero when the file holds every step.
    int changeCount() const { return changeCount_; }
    // Whether the file lacks something: a step, or a text still being typed.
    bool isDocumentEdited() const { return changeCount_ != 0 || draftPending_; }
    void updateChangeCount(ChangeType change);
    // A text typed in place that is not a step yet. No write holds it, so the document shows
    // changes while it is pending, whatever a save writes meanwhile; its edit's end makes it
    // a step (counted then, and autosaved) or drops it.
    void noteDraft(bool pending);

    // One undo stack per document. Each step pushed or redone raises the change count, each
    // step undone lowers it.
    QUndoStack* undoStack() const { return undoStack_; }
    void undo();
    void redo();
    // Forgets every step without touching the change count.
    void clearUndoHistory();

    // Autosave in place: a changed document that has a file writes itself back a few
    // seconds after its last change. A failed write keeps the document changed and shows
    // its message once until a write succeeds.
    static constexpr int defaultAutosaveDelayMs = 3000;
    void setAutosaveDelay(int milliseconds) { autosaveDelayMs_ = milliseconds; }
    int autosaveDelay() const { return autosaveDelayMs_; }
    bool isAutosaveScheduled() const;
    // Writes in place now when needed; true when nothing is left unsaved on disk.
    bool autosave();
    // The same write, showing nothing: false when changes are left unsaved, with the French
    // message when the write was refused (none for a document without a file).
    bool writeInPlace(QString* error);
    QString lastWriteError() const { return lastWriteError_; }

    // Saving in place without holding the window: the content is snapshot on this thread,
    // then encoded and written atomically on a worker thread; the outcome comes back here.
    // A change made meanwhile keeps the document changed and makes the next autosave; an
    // autosave falling due meanwhile waits for this one. Without a data job, writes at once.
    void saveInBackground(SaveOperation operation = SaveOperation::Autosave);
    bool isSavingInBackground() const { return save_ != nullptr; }
    // Waits for a save in flight and takes its outcome (closing, reverting, saving again).
    void waitForBackgroundSave();
    // Tells when a save in the background ended (for tests and benchmarks).
    std::function<void()> backgroundSaveFinished;
    // Runs on the writing thread just before a write in place compares the file a last time (for tests).
    std::function<void()> beforeReplacingFile;

    // Window controllers belong to their document.
    QList<DocumentWindowController*> windowControllers() const;
    void addWindowController(DocumentWindowController* controller);
    void removeWindowController(DocumentWindowController* controller);
    virtual void makeWindowControllers() {}
    void showWindows();
    // The window errors and questions attach to.
    QWidget* windowForSheet() const;

    void presentError(const QString& message) const;

    DocumentController* documentController() const { return controller_; }

    // "saveDocument:", "saveDocumentAs:", "revertDocumentToSaved:", "undo:", "redo:".
    bool handles(const QString& command) const override;
    void perform(const QString& command, QObject* sender) override;
    CommandValidation validate(const QString& command, QAction* action) const override;

    // The French sentence of a thrown error.
    static QString messageOf(const std::exception_ptr& error);

signals:
    void changeCountChanged(int changeCount);
    void filePathChanged(const QString& path);
    void displayNameChanged(const QString& name);
    void reverted();
    void aboutToClose();
    void closed();

protected:
    // Called after a successful revert, once the content was read again.
    virtual void didRevert() {}
    // Registers a step whose change the caller stores and counts itself, so that the change
    // count moves only once the stored content and its consequences are in place.
    void pushUndoStepUncounted(QUndoCommand* command);

private:
    friend class DocumentController;
    struct BackgroundSave;
    // What to do before writing in place over a file that may have changed on disk.
    enum class InPlace { write, skip, reverted };
    InPlace checkFileOnDisk(bool autosaving, QString* error);
    void noteDiskVersion(const QString& path, const std::optional<FileVersion>& version, const QByteArray& digest);
    DocumentDiskVersion::Written writeFile(const QString& path, const QString& typeIdentifier,
                                           const std::optional<FileVersion>& expected) const;
    void finishBackgroundSave(quint64 generation);
    StoreStep readOnWorker(const ReadJob& job);
    void undoIndexChanged(int index);
    void scheduleAutosave();

    QString filePath_;
    QString fileType_;
    QString displayName_;
    int changeCount_ = 0;
    bool draftPending_ = false;
    QUndoStack* undoStack_ = nullptr;
    int undoIndex_ = 0;
    bool ignoreUndoIndex_ = false;
    QTimer* autosaveTimer_ = nullptr;
    int autosaveDelayMs_ = defaultAutosaveDelayMs;
    QString lastWriteError_;
    QString lastReportedError_;
    QList<QPointer<DocumentWindowController>> windowControllers_;
    DocumentController* controller_ = nullptr;
    bool closed_ = false;
    quint64 editSerial_ = 0; // moves with every change, so a save knows what it wrote
    quint64 saveGeneration_ = 0;
    std::unique_ptr<BackgroundSave> save_;
    bool autosaveAfterSave_ = false;
    bool reading_ = false; // a read runs the event loop
    DocumentDiskVersion disk_;
};
