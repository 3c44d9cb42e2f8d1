#include "desktop/DocumentController.h"

#include "desktop/DialogHooks.h"
#include "desktop/Document.h"
#include "platform/DocumentType.h"
#include "platform/FileVersion.h"
#include "desktop/DocumentWindowController.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QWidget>

#include <algorithm>

DocumentController::DocumentController(QObject* parent)
    : QObject(parent)
{
}

DocumentController::~DocumentController()
{
    const QList<Document*> docs = documents_;
    documents_.clear();
    for (Document* d : docs) {
        d->controller_ = nullptr;
        // The application's own controller goes with the application object, after its
        // widgets can no longer be deleted safely: a document still open then (the program
        // closes them all before) is left to the process's end rather than crash it.
        if (!QCoreApplication::closingDown())
            delete d;
    }
}

DocumentController& DocumentController::shared()
{
    static DocumentController* controller = [] {
        auto* made = new DocumentController(qApp);
        // A child of the application goes only after the application itself, too late for
        // the documents' windows: what is still open goes as its event loop ends.
        if (QCoreApplication* application = QCoreApplication::instance())
            connect(application, &QCoreApplication::aboutToQuit, made, &DocumentController::closeDocumentsAtQuit);
        return made;
    }();
    return *controller;
}

void DocumentController::addDocument(Document* document)
{
    if (!document || documents_.contains(document) || document->isClosed())
        return;
    documents_.append(document);
    document->controller_ = this;
    connect(document, &Document::closed, this, [this, document] {
        removeDocument(document);
        document->deleteLater();
    });
    connect(document, &QObject::destroyed, this, [this, document] {
        if (documents_.removeAll(document) > 0)
            emit documentRemoved(document);
    });
    emit documentAdded(document);
}

void DocumentController::removeDocument(Document* document)
{
    if (documents_.removeAll(document) == 0)
        return;
    if (document->controller_ == this)
        document->controller_ = nullptr;
    disconnect(document, nullptr, this, nullptr);
    emit documentRemoved(document);
}

Document* DocumentController::documentForPath(const QString& path) const
{
    if (path.isEmpty())
        return nullptr;
    // The file itself, whatever path leads to it: a link, a linked folder or a hard link to an
    // open document's file opens nothing new.
    for (Document* d : documents_)
        if (!d->isClosed() && isSameFile(d->filePath(), path))
            return d;
    return nullptr;
}

Document* DocumentController::currentDocument() const
{
    QWidget* active = QApplication::activeWindow();
    if (!active)
        return nullptr;
    for (Document* d : documents_)
        for (DocumentWindowController* wc : d->windowControllers())
            if (wc->isWindowLoaded() && wc->window() == active)
                return d;
    return nullptr;
}

bool DocumentController::hasEditedDocuments() const
{
    for (Document* d : documents_)
        if (d->isDocumentEdited())
            return true;
    return false;
}

QString DocumentController::typeForPath(const QString& path) const
{
    const DocumentType* t = DocumentTypes::forPath(path);
    return t ? t->identifier : QString();
}

QString DocumentController::defaultType() const
{
    for (const DocumentType& t : DocumentTypes::all())
        if (t.factory)
            return t.identifier;
    return {};
}

Document* DocumentController::makeUntitledDocument(const QString& typeIdentifier, QString* error)
{
    const DocumentType* t = DocumentTypes::find(typeIdentifier);
    Document* d = t && t->factory ? t->factory() : nullptr;
    if (!d) {
        if (error)
            *error = QStringLiteral("Aucun document de ce type ne peut être créé.");
        return nullptr;
    }
    if (d->fileType().isEmpty())
        d->setFileType(typeIdentifier);
    return d;
}

Document* DocumentController::openUntitledDocument(bool display, QString* error)
{
    Document* d = makeUntitledDocument(defaultType(), error);
    if (!d)
        return nullptr;
    addDocument(d);
    if (display) {
        d->makeWindowControllers();
        d->showWindows();
    }
    return d;
}

Document* DocumentController::makeDocument(const QString& path, const QString& typeIdentifier, QString* error)
{
    const DocumentType* t = DocumentTypes::find(typeIdentifier);
    if (!t || !t->factory) {
        if (error)
            *error = QStringLiteral("Le fichier « %1 » n’est pas d’un type que l’application sait ouvrir.")
                         .arg(QFileInfo(path).fileName());
        return nullptr;
    }
    Document* d = t->factory();
    if (!d->readFromFile(path, typeIdentifier, error)) {
        delete d;
        return nullptr;
    }
    d->setFileType(typeIdentifier);
    d->setFilePath(path);
    return d;
}

void DocumentController::bringForward(Document* document, bool display, const OpenCompletion& completion)
{
    if (display && !document->isClosed())
        document->showWindows();
    if (completion)
        completion(document, true, {});
}

void DocumentController::openDocument(const QString& path, bool display, const OpenCompletion& completion)
{
    if (Document* open = documentForPath(path)) {
        bringForward(open, display, completion);
        return;
    }
    // The file itself, as documentForPath matches it: a link to a file being read waits too.
    for (const std::shared_ptr<Reading>& read : std::as_const(reading_)) {
        if (isSameFile(read->path, path)) {
            read->waiting.append({display, completion});
            return;
        }
    }
    const auto read = std::make_shared<Reading>(Reading{path, {}});
    reading_.append(read);
    QString error;
    Document* d = makeDocument(path, typeForPath(path), &error);
    reading_.removeOne(read);
    if (!d) {
        if (completion)
            completion(nullptr, false, error);
        for (const auto& request : std::as_const(read->waiting))
            if (request.second)
                request.second(nullptr, false, error);
        return;
    }
    addDocument(d);
    noteNewRecentDocument(d->filePath());
    // A document may close itself while making its windows (a base map moves into a work
    // document); it is deleted later, so the completions still receive it.
    if (display && !d->isClosed()) {
        d->makeWindowControllers();
        if (!d->isClosed())
            d->showWindows();
    }
    if (completion)
        completion(d, false, {});
    for (const auto& [waitingDisplay, waiting] : std::as_const(read->waiting))
        bringForward(d, waitingDisplay, waiting);
}

bool DocumentController::isBeingRead(const QString& path) const
{
    return std::any_of(reading_.begin(), reading_.end(),
                       [&path](const std::shared_ptr<Reading>& read) { return isSameFile(read->path, path); });
}

QString DocumentController::recentDocumentsKey()
{
    return QStringLiteral("Documents.Recents");
}

QStringList DocumentController::recentDocumentPaths() const
{
    QStringList existing;
    for (const QString& p : UserDefaults::value(recentDocumentsKey()).toStringList())
        if (!p.isEmpty() && QFileInfo::exists(p) && !existing.contains(p))
            existing.append(p);
    return existing.mid(0, maximumRecentDocumentCount);
}

void DocumentController::noteNewRecentDocument(const QString& path)
{
    const QString clean = cleanAbsolutePath(path);
    if (clean.isEmpty())
        return;
    QStringList list = UserDefaults::value(recentDocumentsKey()).toStringList();
    list.removeAll(clean);
    list.prepend(clean);
    UserDefaults::setValue(recentDocumentsKey(), list.mid(0, maximumRecentDocumentCount));
    emit recentDocumentsChanged();
}

void DocumentController::clearRecentDocuments()
{
    UserDefaults::remove(recentDocumentsKey());
    emit recentDocumentsChanged();
}

bool DocumentController::reviewUnsavedDocumentsBeforeQuit()
{
    const QList<Document*> docs = documents_;
    // Every document is asked: one may still hold an edit in progress.
    for (Document* d : docs)
        if (!d->canClose())
            return false;
    return true;
}

void DocumentController::closeAllDocuments()
{
    const QList<Document*> docs = documents_;
    for (Document* d : docs)
        d->close();
}

void DocumentController::commitEditsBeforeQuit()
{
    const QList<Document*> docs = documents_;
    for (Document* d : docs) {
        if (d->isClosed())
            continue;
        // A refused text stays unsaved: nobody can be asked about it, its refusal is reported
        // with the document's name.
        const DialogHooks::UnattendedSubject subject(d->displayName());
        if (!d->prepareToSave())
            ++changesLostAtQuit_;
    }
    endingOnSignal_ = true;
}

void DocumentController::closeDocumentsAtQuit()
{
    // Past the loop's end nothing is asked and nothing shows, whatever a document does.
    const bool wasUnattended = DialogHooks::setUnattended(true);
    // A document made while the others close goes too, until none is left.
    while (!documents_.isEmpty()) {
        QList<QPointer<Document>> ending;
        for (Document* d : std::as_const(documents_))
            ending.append(d);
        // Every document is written, or its loss said, before any of them or of their windows
        // goes: one window's teardown cannot cost another document its work.
        if (!endingOnSignal_)
            for (const QPointer<Document>& d : ending)
                if (d)
                    takeEditAtQuit(d);
        for (const QPointer<Document>& d : ending)
            if (d)
                writeAtQuit(d);
        for (const QPointer<Document>& d : ending) {
            if (!d)
                continue;
            // Whatever a closing document would show is said with its name.
            const DialogHooks::UnattendedSubject subject(d->displayName());
            d->close();
            removeDocument(d);
        }
        for (const QPointer<Document>& d : ending)
            delete d.data();
    }
    DialogHooks::setUnattended(wasUnattended);
}

void DocumentController::takeEditAtQuit(Document* document)
{
    // A loop ended by neither « Quitter » nor a signal took no edit in progress: what is typed
    // goes in now, a text refused is named.
    const DialogHooks::UnattendedSubject subject(document->displayName());
    if (!document->isClosed() && !document->prepareToSave())
        ++changesLostAtQuit_;
}

void DocumentController::writeAtQuit(Document* document)
{
    // A document with a file takes its pending changes in place, as autosave would have; any
    // other was asked about before the loop ended, or never could be.
    const DialogHooks::UnattendedSubject subject(document->displayName());
    QString error;
    if (document->writeInPlace(&error))
        return;
    // A change with no file to go to is lost as a refused write is, once nobody could be asked
    // about it.
    if (error.isEmpty() && endingOnSignal_ && document->filePath().isEmpty())
        error = QStringLiteral("Ce document n’a jamais été enregistré : ses modifications sont perdues.");
    if (!error.isEmpty()) {
        ++changesLostAtQuit_;
        DialogHooks::reportUnattended(error);
    }
}
