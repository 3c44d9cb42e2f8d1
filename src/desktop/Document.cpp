#include "desktop/Document.h"

#include "model/PlmFileLimits.h"

#include "desktop/DialogHooks.h"
#include "desktop/DocumentController.h"
#include "platform/DocumentType.h"
#include "desktop/DocumentWindowController.h"

#include <QAction>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QUndoStack>
#include <QWidget>

namespace {

const QString untitledName = QStringLiteral("Sans titre");

QString cannotWriteMessage(const QString& displayName, const QString& path)
{
    return QStringLiteral("Le document « %1 » n’a pas pu être enregistré dans « %2 ».")
        .arg(displayName, QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
}

} // namespace

struct Document::BackgroundSave {
    quint64 generation = 0;
    quint64 serial = 0; // the edit serial of the snapshot
    QString path;
    QString type;
    SaveOperation operation = SaveOperation::Autosave;
    QThread* thread = nullptr;
    std::optional<FileVersion> expected; // the file it may replace, when one is known
    quint64 questions = 0; // the questions about the file asked before it started
    QString error; // written by the worker, read once it has finished
    DocumentDiskVersion::Written written;
};

Document::Document(QObject* parent)
    : QObject(parent)
    , undoStack_(new QUndoStack(this))
    , autosaveTimer_(new QTimer(this))
{
    autosaveTimer_->setSingleShot(true);
    connect(autosaveTimer_, &QTimer::timeout, this, [this] { saveInBackground(SaveOperation::Autosave); });
    connect(undoStack_, &QUndoStack::indexChanged, this, &Document::undoIndexChanged);
}

Document::~Document()
{
    // Quitting waits for a save in flight: the file is never left half written.
    if (save_) {
        save_->thread->wait();
        delete save_->thread;
    }
}

void Document::setFilePath(const QString& path)
{
    const QString absolute = cleanAbsolutePath(path);
    if (absolute == filePath_)
        return;
    const QString oldName = displayName();
    filePath_ = absolute;
    emit filePathChanged(filePath_);
    if (displayName() != oldName)
        emit displayNameChanged(displayName());
}

QString Document::displayName() const
{
    if (!displayName_.isEmpty())
        return displayName_;
    if (!filePath_.isEmpty())
        return QFileInfo(filePath_).completeBaseName();
    return untitledName;
}

void Document::setDisplayName(const QString& name)
{
    const QString oldName = displayName();
    displayName_ = name;
    if (displayName() != oldName)
        emit displayNameChanged(displayName());
}

QStringList Document::writableTypeIdentifiers() const
{
    return fileType_.isEmpty() ? QStringList() : QStringList{fileType_};
}

QString Document::messageOf(const std::exception_ptr& error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
    }
    return QStringLiteral("Une erreur inattendue s’est produite.");
}

bool Document::readFromFile(const QString& path, const QString& typeIdentifier, QString* error)
{
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Le fichier « %1 » n’a pas pu être lu.").arg(QFileInfo(path).fileName()));
    if (file.size() > plmMaximumFileBytes)
        return fail(plmLargeFileMessage(path));
    const QByteArray data = file.read(plmMaximumFileBytes + 1);
    if (data.size() > plmMaximumFileBytes)
        return fail(plmLargeFileMessage(path));
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("Le fichier « %1 » n’a pas pu être lu.").arg(QFileInfo(path).fileName()));
    // The version read, taken from the open file: a change made after the read is news.
    const std::optional<FileVersion> version = FileVersion::ofOpenFile(file.handle());
    file.close();
    QByteArray digest;
    try {
        if (const ReadJob job = readJobOfData(data, typeIdentifier)) {
            // No save may start while the event loop runs during the read: it would write
            // the content the read is about to replace.
            autosaveTimer_->stop();
            reading_ = true;
            StoreStep store;
            try {
                // The bytes' digest is taken on the worker too, while the window keeps painting.
                store = readOnWorker([&digest, &data, &job] {
                    digest = DocumentDiskVersion::digestOf(data);
                    return job();
                });
            } catch (...) {
                reading_ = false;
                if (changeCount_ != 0)
                    scheduleAutosave();
                throw;
            }
            reading_ = false;
            store();
        } else {
            readFromData(data, typeIdentifier);
            digest = DocumentDiskVersion::digestOf(data);
        }
    } catch (...) {
        return fail(messageOf(std::current_exception()));
    }
    noteDiskVersion(path, version, digest);
    return true;
}

Document::StoreStep Document::readOnWorker(const ReadJob& job)
{
    // The decoding runs on a worker while this thread keeps painting (user input waits), so
    // that the busy cursor can show once the read lasts.
    StoreStep store;
    std::exception_ptr failure;
    QThread* thread = QThread::create([&] {
        try {
            store = job();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    QEventLoop loop;
    connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer busy;
    busy.setSingleShot(true);
    bool busyShown = false;
    connect(&busy, &QTimer::timeout, &loop, [&] {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            QGuiApplication::setOverrideCursor(Qt::BusyCursor);
            busyShown = true;
        }
    });
    thread->start();
    busy.start(busyIndicationDelayMs);
    if (!thread->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
    delete thread;
    if (busyShown)
        QGuiApplication::restoreOverrideCursor();
    if (failure)
        std::rethrow_exception(failure);
    return store;
}

bool Document::writeToFile(const QString& path, const QString& typeIdentifier, QString* error) const
{
    const DocumentDiskVersion::Written written = writeFile(path, typeIdentifier, std::nullopt);
    if (error && !written.error.isEmpty())
        *error = written.error;
    return written.error.isEmpty();
}

DocumentDiskVersion::Written Document::writeFile(const QString& path, const QString& typeIdentifier,
                                                 const std::optional<FileVersion>& expected) const
{
    QByteArray data;
    try {
        data = dataOfType(typeIdentifier);
    } catch (...) {
        DocumentDiskVersion::Written refused;
        refused.error = messageOf(std::current_exception());
        return refused;
    }
    return DocumentDiskVersion::write(path, data, cannotWriteMessage(displayName(), path), expected, beforeReplacingFile);
}

bool Document::saveToFile(const QString& path, const QString& typeIdentifier, SaveOperation operation, QString* error)
{
    waitForBackgroundSave();
    // In place, the file replaced must still be the version known.
    const bool inPlace = operation == SaveOperation::Save || operation == SaveOperation::Autosave;
    DocumentDiskVersion::Written written = writeFile(path, typeIdentifier, inPlace ? disk_.versionAt(path) : std::nullopt);
    while (written.changedMeanwhile) {
        // Another program wrote the file since the check: asked about as any change on disk.
        switch (checkFileOnDisk(operation == SaveOperation::Autosave, error)) {
        case InPlace::reverted: return true;
        case InPlace::skip: return false;
        case InPlace::write: break;
        }
        written = writeFile(path, typeIdentifier, disk_.versionAt(path));
    }
    if (!written.error.isEmpty()) {
        if (operation != SaveOperation::SaveTo)
            lastWriteError_ = written.error;
        if (error)
            *error = written.error;
        return false;
    }
    if (operation == SaveOperation::SaveTo)
        return true;
    noteDiskVersion(path, written.version, written.digest);
    lastWriteError_.clear();
    lastReportedError_.clear();
    const bool newPlace = path != filePath_ || typeIdentifier != fileType_;
    // A name given before (a map's name) gives way to the name of the file chosen.
    if (operation == SaveOperation::SaveAs && QDir::cleanPath(QFileInfo(path).absoluteFilePath()) != filePath_)
        setDisplayName(QString());
    setFileType(typeIdentifier);
    setFilePath(path);
    updateChangeCount(ChangeType::Cleared);
    if (newPlace && controller_)
        controller_->noteNewRecentDocument(filePath_);
    return true;
}

bool Document::saveDocument()
{
    if (filePath_.isEmpty())
        return saveDocumentAs();
    QString error;
    switch (checkFileOnDisk(false, &error)) {
    case InPlace::reverted: return true;
    case InPlace::skip:
        if (!error.isEmpty())
            presentError(error);
        return false;
    case InPlace::write: break;
    }
    if (!saveToFile(filePath_, fileType_, SaveOperation::Save, &error)) {
        if (!error.isEmpty()) { // none when the person kept another program's file
            lastReportedError_ = error;
            presentError(error);
        }
        return false;
    }
    return true;
}

bool Document::saveDocumentAs()
{
    const QStringList identifiers = writableTypeIdentifiers();
    DialogHooks::SavePanelRequest request;
    request.title = QStringLiteral("Enregistrer sous");
    request.prompt = QStringLiteral("Enregistrer");
    request.suggestedName = displayName();
    request.directory = filePath_.isEmpty()
        ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
        : QFileInfo(filePath_).absolutePath();
    for (const QString& id : identifiers) {
        DialogHooks::FileTypeChoice choice;
        choice.identifier = id;
        if (const DocumentType* t = DocumentTypes::find(id)) {
            choice.description = t->description;
            choice.extensions = t->extensions;
        } else {
            choice.description = id;
        }
        request.types.append(choice);
    }
    request.selectedType = saveAsTypeIdentifier();
    request.window = windowForSheet();
    // Two documents on one file would each write over the other's content; a file being read
    // is already another document's, named after its file as its window will be.
    request.refusal = [this](const QString& path) {
        const auto refusal = [&path](const QString& documentName) {
            return QStringLiteral("« %1 » est le fichier du document « %2 », ouvert dans une autre fenêtre. "
                                  "Fermez ce document ou choisissez un autre nom.")
                .arg(QFileInfo(path).fileName(), documentName);
        };
        if (!controller_)
            return QString();
        for (Document* other : controller_->documents())
            if (other != this && !other->isClosed() && isSameFile(other->filePath(), path))
                return refusal(other->displayName());
        if (controller_->isBeingRead(path))
            return refusal(QFileInfo(path).completeBaseName());
        return QString();
    };

    // The panel's answer names a type offered and a path with its extension.
    const std::optional<DialogHooks::SavePanelResult> chosen = DialogHooks::runSavePanel(request);
    if (!chosen || chosen->path.isEmpty())
        return false;
    QString error;
    if (!saveToFile(chosen->path, chosen->typeIdentifier, SaveOperation::SaveAs, &error)) {
        lastReportedError_ = error;
        presentError(error);
        return false;
    }
    return true;
}

QString Document::saveAsTypeIdentifier() const
{
    const QStringList identifiers = writableTypeIdentifiers();
    return identifiers.contains(fileType_) ? fileType_ : identifiers.value(0);
}

bool Document::revertDocumentToSaved()
{
    if (filePath_.isEmpty())
        return false;
    DialogHooks::Alert alert;
    alert.message = QStringLiteral("Voulez-vous revenir à la version enregistrée du document « %1 » ?").arg(displayName());
    alert.informativeText = QStringLiteral("Vos modifications actuelles seront perdues.");
    alert.buttons = {QStringLiteral("Revenir"), QStringLiteral("Annuler")};
    alert.window = windowForSheet();
    if (DialogHooks::runAlert(alert) != 0)
        return false;
    QString error;
    if (!revertToFile(&error)) {
        presentError(error);
        return false;
    }
    return true;
}

bool Document::revertToFile(QString* error)
{
    if (filePath_.isEmpty())
        return false;
    waitForBackgroundSave();
    if (!readFromFile(filePath_, fileType_, error))
        return false;
    clearUndoHistory();
    lastWriteError_.clear();
    lastReportedError_.clear();
    updateChangeCount(ChangeType::Cleared);
    didRevert();
    emit reverted();
    return true;
}

bool Document::canClose()
{
    waitForBackgroundSave();
    if (!isDocumentEdited())
        return true;
    const bool hasFile = !filePath_.isEmpty();
    if (hasFile && autosavesInPlace()) {
        switch (checkFileOnDisk(false, nullptr)) {
        case InPlace::reverted: return true;
        case InPlace::skip: return false; // cancelled: the document stays open, as it is
        case InPlace::write: break;
        }
        if (autosave())
            return true;
    }
    switch (DialogHooks::askSaveChanges(displayName(), windowForSheet())) {
    case DialogHooks::SaveChangesAnswer::Save:
        // A file that refused the last write gets a new place rather than the same failure.
        return hasFile && lastWriteError_.isEmpty() ? saveDocument() : saveDocumentAs();
    case DialogHooks::SaveChangesAnswer::DontSave:
        return true;
    case DialogHooks::SaveChangesAnswer::Cancel:
        break;
    }
    return false;
}

void Document::close()
{
    if (closed_)
        return;
    closed_ = true;
    autosaveTimer_->stop();
    waitForBackgroundSave();
    emit aboutToClose();
    for (DocumentWindowController* wc : windowControllers())
        wc->close();
    emit closed();
}

void Document::updateChangeCount(ChangeType change)
{
    const int before = changeCount_;
    if (change != ChangeType::Cleared)
        ++editSerial_;
    switch (change) {
    case ChangeType::Done:
    case ChangeType::Redone: ++changeCount_; break;
    case ChangeType::Undone: --changeCount_; break;
    case ChangeType::Cleared: changeCount_ = 0; break;
    }
    if (changeCount_ == 0)
        autosaveTimer_->stop();
    else
        scheduleAutosave();
    if (changeCount_ != before)
        emit changeCountChanged(changeCount_);
}

void Document::noteDraft(bool pending)
{
    if (pending == draftPending_)
        return;
    // Nothing to write yet: the autosave comes with the step the draft becomes.
    draftPending_ = pending;
    emit changeCountChanged(changeCount_);
}

void Document::undoIndexChanged(int index)
{
    const int delta = index - undoIndex_;
    undoIndex_ = index;
    if (ignoreUndoIndex_)
        return;
    for (int i = 0; i < delta; ++i)
        updateChangeCount(ChangeType::Redone);
    for (int i = 0; i < -delta; ++i)
        updateChangeCount(ChangeType::Undone);
}

void Document::undo()
{
    if (undoStack_->canUndo())
        undoStack_->undo();
}

void Document::redo()
{
    if (undoStack_->canRedo())
        undoStack_->redo();
}

void Document::pushUndoStepUncounted(QUndoCommand* command)
{
    ignoreUndoIndex_ = true;
    undoStack_->push(command);
    undoIndex_ = undoStack_->index();
    ignoreUndoIndex_ = false;
}

void Document::clearUndoHistory()
{
    ignoreUndoIndex_ = true;
    undoStack_->clear();
    undoIndex_ = undoStack_->index();
    ignoreUndoIndex_ = false;
}

void Document::scheduleAutosave()
{
    if (closed_ || filePath_.isEmpty() || !autosavesInPlace())
        return;
    autosaveTimer_->start(autosaveDelayMs_);
}

bool Document::isAutosaveScheduled() const
{
    return autosaveTimer_->isActive();
}

bool Document::writeInPlace(QString* error)
{
    autosaveTimer_->stop();
    waitForBackgroundSave();
    if (changeCount_ == 0)
        return !draftPending_;
    if (filePath_.isEmpty() || !autosavesInPlace())
        return false;
    switch (checkFileOnDisk(false, error)) {
    case InPlace::reverted: return true;
    case InPlace::skip: return false;
    case InPlace::write: break;
    }
    return saveToFile(filePath_, fileType_, SaveOperation::Autosave, error) && !draftPending_;
}

bool Document::autosave()
{
    QString error;
    if (writeInPlace(&error))
        return true;
    // The same refusal on every keystroke would be noise: it is shown once.
    if (!error.isEmpty() && error != lastReportedError_) {
        lastReportedError_ = error;
        presentError(error);
    }
    return false;
}

bool Document::saveDocumentInBackground()
{
    if (filePath_.isEmpty())
        return saveDocument(); // asks where first
    if (!prepareToSave())
        return false;
    saveInBackground(SaveOperation::Save);
    return true;
}

void Document::saveInBackground(SaveOperation operation)
{
    const bool autosaving = operation == SaveOperation::Autosave;
    if (autosaving)
        autosaveTimer_->stop();
    if (reading_ || filePath_.isEmpty() || (autosaving && (changeCount_ == 0 || !autosavesInPlace())))
        return;
    if (save_) {
        if (autosaving) {
            autosaveAfterSave_ = true; // the change made since that snapshot is saved next
            return;
        }
        waitForBackgroundSave(); // an explicit save writes what is there now
    }
    QString changedOnDisk;
    switch (checkFileOnDisk(autosaving, &changedOnDisk)) {
    case InPlace::reverted: return;
    case InPlace::skip:
        // An autosave's refusal is the end's to report, once.
        if (!changedOnDisk.isEmpty() && !autosaving)
            presentError(changedOnDisk);
        return;
    case InPlace::write: break;
    }
    DataJob job;
    try {
        job = dataJobOfType(fileType_);
    } catch (...) {
        job = {}; // the synchronous path reports the refusal
    }
    if (!job) {
        if (autosaving && DialogHooks::isTextBeingTyped()) {
            // A refusal waits for the typing to stop: the next autosave shows it.
            QString error;
            if (!writeInPlace(&error) && !error.isEmpty() && error != lastReportedError_)
                scheduleAutosave();
        } else if (autosaving) {
            autosave();
        } else {
            QString error;
            if (!saveToFile(filePath_, fileType_, SaveOperation::Save, &error) && !error.isEmpty()) {
                lastReportedError_ = error;
                presentError(error);
            }
        }
        return;
    }
    auto save = std::make_unique<BackgroundSave>();
    save->generation = ++saveGeneration_;
    save->serial = editSerial_;
    save->path = filePath_;
    save->type = fileType_;
    save->operation = operation;
    save->expected = diskVersion();
    save->questions = disk_.questions;
    const QString cannotWrite = cannotWriteMessage(displayName(), filePath_);
    BackgroundSave* raw = save.get();
    const QString path = filePath_;
    save->thread = QThread::create([raw, job, path, cannotWrite, beforeReplacing = beforeReplacingFile] {
        QByteArray data;
        try {
            data = job();
        } catch (...) {
            raw->error = messageOf(std::current_exception());
            return;
        }
        raw->written = DocumentDiskVersion::write(path, data, cannotWrite, raw->expected, beforeReplacing);
        raw->error = raw->written.error;
    });
    const quint64 generation = save->generation;
    connect(save->thread, &QThread::finished, this, [this, generation] { finishBackgroundSave(generation); },
            Qt::QueuedConnection);
    save_ = std::move(save);
    save_->thread->start();
}

void Document::waitForBackgroundSave()
{
    if (!save_)
        return;
    save_->thread->wait();
    finishBackgroundSave(save_->generation);
}

void Document::finishBackgroundSave(quint64 generation)
{
    if (!save_ || save_->generation != generation)
        return; // already taken by a wait
    save_->thread->wait();
    const std::unique_ptr<BackgroundSave> save = std::move(save_);
    save->thread->deleteLater();
    if (save->written.changedMeanwhile) {
        // Another program wrote the file while this save encoded: it was kept, and is asked
        // about as a save that found it changed, unless a question about it came meanwhile.
        QMetaObject::invokeMethod(
            this,
            [this, operation = save->operation, questions = save->questions] {
                if (!closed_ && !save_ && isDocumentEdited() && disk_.questions == questions)
                    saveInBackground(operation);
            },
            Qt::QueuedConnection);
    } else if (save->error.isEmpty()) {
        noteDiskVersion(save->path, save->written.version, save->written.digest);
        lastWriteError_.clear();
        lastReportedError_.clear();
        // Only what the snapshot held is on disk: a change made since keeps the document changed.
        if (save->serial == editSerial_ && save->path == filePath_ && save->type == fileType_)
            updateChangeCount(ChangeType::Cleared);
    } else {
        lastWriteError_ = save->error;
        // The same refusal on every autosave would be noise: it is shown once.
        if (save->operation != SaveOperation::Autosave || save->error != lastReportedError_) {
            lastReportedError_ = save->error;
            const bool autosaving = save->operation == SaveOperation::Autosave;
            QMetaObject::invokeMethod(
                this,
                [this, error = save->error, autosaving] {
                    // An autosave's refusal waits for the typing to stop, and comes with the next one.
                    if (autosaving && DialogHooks::isTextBeingTyped()) {
                        lastReportedError_.clear();
                        scheduleAutosave();
                        return;
                    }
                    presentError(error);
                },
                Qt::QueuedConnection);
        }
    }
    if (autosaveAfterSave_) {
        autosaveAfterSave_ = false;
        if (changeCount_ != 0)
            scheduleAutosave();
    }
    if (backgroundSaveFinished)
        backgroundSaveFinished();
}

QList<DocumentWindowController*> Document::windowControllers() const
{
    QList<DocumentWindowController*> list;
    for (const auto& wc : windowControllers_)
        if (wc)
            list.append(wc);
    return list;
}

void Document::addWindowController(DocumentWindowController* controller)
{
    if (!controller || windowControllers().contains(controller))
        return;
    windowControllers_.append(QPointer<DocumentWindowController>(controller));
    controller->setParent(this);
    controller->setDocument(this);
}

void Document::removeWindowController(DocumentWindowController* controller)
{
    windowControllers_.removeIf([controller](const QPointer<DocumentWindowController>& wc) {
        return wc.isNull() || wc == controller;
    });
}

void Document::showWindows()
{
    for (DocumentWindowController* wc : windowControllers())
        wc->showWindow();
}

QWidget* Document::windowForSheet() const
{
    for (DocumentWindowController* wc : windowControllers())
        if (wc->isWindowLoaded())
            return wc->window();
    return nullptr;
}

void Document::presentError(const QString& message) const
{
    DialogHooks::presentError(message, windowForSheet());
}

bool Document::handles(const QString& command) const
{
    static const QStringList commands = {
        QStringLiteral("saveDocument:"), QStringLiteral("saveDocumentAs:"),
        QStringLiteral("revertDocumentToSaved:"), QStringLiteral("undo:"), QStringLiteral("redo:")};
    return commands.contains(command);
}

void Document::perform(const QString& command, QObject*)
{
    if (command == QLatin1String("saveDocument:"))
        saveDocumentInBackground();
    else if (command == QLatin1String("saveDocumentAs:"))
        saveDocumentAs();
    else if (command == QLatin1String("revertDocumentToSaved:"))
        revertDocumentToSaved();
    else if (command == QLatin1String("undo:"))
        undo();
    else if (command == QLatin1String("redo:"))
        redo();
}

CommandValidation Document::validate(const QString& command, QAction*) const
{
    CommandValidation v;
    if (command == QLatin1String("undo:")) {
        v.enabled = undoStack_->canUndo();
        const QString name = undoStack_->undoText();
        v.title = name.isEmpty() || !v.enabled ? QStringLiteral("Annuler") : QStringLiteral("Annuler ") + name;
    } else if (command == QLatin1String("redo:")) {
        v.enabled = undoStack_->canRedo();
        const QString name = undoStack_->redoText();
        v.title = name.isEmpty() || !v.enabled ? QStringLiteral("Rétablir") : QStringLiteral("Rétablir ") + name;
    } else if (command == QLatin1String("revertDocumentToSaved:")) {
        v.enabled = !filePath_.isEmpty() && isDocumentEdited();
    }
    return v;
}
