#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>

class Document;

// Keeps the open documents, in place of the platform document controller: opening files by
// their type, untitled documents, the recent documents and the unsaved-changes review
// before quitting. Documents added to a controller belong to it and are deleted after they
// close. Main thread only.
class DocumentController : public QObject {
    Q_OBJECT
public:
    explicit DocumentController(QObject* parent = nullptr);
    ~DocumentController() override;

    // The application's controller, a child of the application object; the documents still
    // open as the application's event loop ends are closed and deleted then.
    static DocumentController& shared();

    QList<Document*> documents() const { return documents_; }
    void addDocument(Document* document);
    void removeDocument(Document* document);
    // The open document of the file the path leads to (the file itself, not the spelling of
    // its path), or nullptr.
    Document* documentForPath(const QString& path) const;
    // The document of the active window, or nullptr.
    Document* currentDocument() const;
    bool hasEditedDocuments() const;

    // The type identifier of a file by its extension (lower-cased), or empty.
    QString typeForPath(const QString& path) const;
    // The first registered type that documents can be made of.
    QString defaultType() const;

    // An empty document of the type, not yet added; nullptr with a message when the type
    // makes no documents.
    Document* makeUntitledDocument(const QString& typeIdentifier, QString* error = nullptr);
    // A new untitled document of the default type, added, with its windows made and shown
    // when asked.
    Document* openUntitledDocument(bool display, QString* error = nullptr);
    // A document read from the file, not yet added.
    Document* makeDocument(const QString& path, const QString& typeIdentifier, QString* error = nullptr);

    // Opens a file (or brings forward the document already open on it). The completion
    // receives the document (which may already have closed itself, as a base map does once
    // it moved into a work document), whether it was already open, and the error message.
    // A file being read is open already: a request for it meanwhile (the read runs the event
    // loop) waits for the read's end, then gets the same document, already open, or the same
    // error.
    using OpenCompletion = std::function<void(Document* document, bool alreadyOpen, const QString& error)>;
    void openDocument(const QString& path, bool display, const OpenCompletion& completion);
    // Whether the file the path leads to is being read, its document not made yet.
    bool isBeingRead(const QString& path) const;

    // Recent documents, newest first, kept in the user defaults; missing files are left out.
    QStringList recentDocumentPaths() const;
    void noteNewRecentDocument(const QString& path);
    void clearRecentDocuments();
    static constexpr int maximumRecentDocumentCount = 10;
    static QString recentDocumentsKey();

    // Before quitting: documents with a file are written in place, the others (and those
    // whose write failed) are asked about. False when the user cancelled: do not quit.
    bool reviewUnsavedDocumentsBeforeQuit();
    // Closes every document without asking.
    void closeAllDocuments();
    // Before the program ends without a question (on a signal): each document ends the edit
    // in progress in its windows as a save would, taking what was typed; a text the field
    // refuses is left out, and counted. Nothing is asked: the caller makes the dialogs
    // unattended first. The end is then one nobody attends: a document left with changes and
    // no file is named as it closes, and counted.
    void commitEditsBeforeQuit();
    // As the application's event loop ends, and once more before the application object
    // goes: every document still open takes the edit in progress in its windows (unless a
    // signal's end took it already) and writes its pending changes in place when it has a
    // file; only once all are written (or their loss said) do they close without a question
    // and go with their windows, while the application still exists. No window may show any
    // more: a refused write (a file changed on disk is not replaced) is written to the
    // standard error output, with the document's name, and counted.
    void closeDocumentsAtQuit();
    // The changes the end could not keep (writes refused, texts refused, documents never
    // saved, each said on the standard error output): the program then ends with status 1.
    int changesLostAtQuit() const { return changesLostAtQuit_; }

signals:
    void documentAdded(Document* document);
    void documentRemoved(Document* document);
    void recentDocumentsChanged();

private:
    // A file being read and the requests for it that came meanwhile.
    struct Reading {
        QString path;
        QList<std::pair<bool, OpenCompletion>> waiting; // display, completion
    };
    static void bringForward(Document* document, bool display, const OpenCompletion& completion);
    // The end's two steps for one document, before any document or window goes.
    void takeEditAtQuit(Document* document);
    void writeAtQuit(Document* document);

    QList<Document*> documents_;
    QList<std::shared_ptr<Reading>> reading_;
    int changesLostAtQuit_ = 0;
    bool endingOnSignal_ = false;
};
