#pragma once

#include "app/PlmWorkDocumentDerived.h"
#include "app/PlmWorkDocumentValidator.h"
#include "model/PlmWork.h"
#include "desktop/Document.h"
#include "desktop/DocumentWindowController.h"

#include <QFuture>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class DocumentController;
class StudioWindowInterface;

// The document of the studio: one open work, read from a ".plm" work document, made new, or
// made to edit a base map (then its type is the ".plmmap" type and saving may write the base
// map alone). Every change of the work passes through updateWork() as one undoable,
// validated step. Main thread only; other threads may read the work through work().
class PlmWorkDocument : public Document {
    Q_OBJECT
public:
    static const QString plmType; // "ondrel.pelmorastudio.plm"
    static QString plmMapType();  // "ondrel.pelmorastudio.plmmap"
    static const QString lastDocumentKey; // "Studio.LastDocumentBookmark"
    static QString mapOnlyMessage();
    static QString plmOnlyMessage();

    // Declares the ".plm" (this class, the default type) and ".plmmap" (PlmMapDocument) types.
    static void registerDocumentTypes();

    // Makes the studio window controller of a document; set by the application, and by tests
    // with a fake window. The controller should implement StudioWindowInterface.
    using StudioWindowFactory = std::function<DocumentWindowController*(PlmWorkDocument*)>;
    static void setStudioWindowFactory(StudioWindowFactory factory);

    explicit PlmWorkDocument(QObject* parent = nullptr);
    ~PlmWorkDocument() override;

    // The stored work (a copy taken under the lock).
    PlmWork work() const;
    // Stores a work whole, outside undo, for code that builds a new document; forgets the
    // undo history.
    void setWork(const PlmWork& work);

    // Storage and file types.
    QStringList writableTypeIdentifiers() const override;
    QString saveAsTypeIdentifier() const override;
    void setFilePath(const QString& path) override; // also remembers a ".plm" as the last document
    QByteArray dataOfType(const QString& typeIdentifier) const override;
    void readFromData(const QByteArray& data, const QString& typeIdentifier) override;
    QByteArray encodeDocument(const QString& typeIdentifier) const;
    DataJob dataJobOfType(const QString& typeIdentifier) const override;
    void decodeDocument(const QByteArray& data, const QString& typeIdentifier);
    ReadJob readJobOfData(const QByteArray& data, const QString& typeIdentifier) override;

    // Saving first commits the window's pending edits; a refusal cancels silently.
    bool saveDocument() override;
    bool prepareToSave() override;
    bool saveDocumentAs() override;
    // Closing also commits pending edits first; a refusal keeps the document open.
    bool canClose() override;
    void close() override;

    // The one undoable update: copy, change, rebind, recompute, rebind, thresholds when
    // needed, validate, then commit. Throws the first failure; nothing is stored then.
    using WorkChange = std::function<void(PlmWork&)>;
    void updateWork(const QString& actionName, const WorkChange& change);
    // Stores a finished work as one undoable step; an equal work changes nothing.
    void commitWork(const PlmWork& work, const QString& actionName);
    // The undo and redo handler: stores a work kept by a step, with no derived step again.
    void undoCommit(const PlmWork& work, const QString& actionName);

    // Selection of top-level entities.
    std::optional<QString> selectedEntityID() const { return selectedEntityID_; }
    QSet<QString> selectedEntityIDs() const { return selectedEntityIDs_; }
    void select(const QSet<QString>& entityIDs, const std::optional<QString>& primary);
    void select(const std::optional<QString>& entityID);

    // Windows.
    void makeWindowControllers() override;
    DocumentWindowController* studioController() const { return studioController_; }
    StudioWindowInterface* studioWindow() const;
    void showStudioWindow();
    bool createCarteIfNeeded();

    // The data import dialog on a newly acquired map's attribute table. The maker builds the
    // dialog for this document with whether every column starts selected and the completion.
    using AcquisitionDialogMaker = std::function<QWidget*(PlmWorkDocument* document, bool everyColumnSelected,
                                                         std::function<void()> completion)>;
    void showAcquisitionImport(const AcquisitionDialogMaker& make);
    QWidget* acquisitionDialog() const { return acquisitionDialog_; }
    void showDataWindow();

    // The last document.
    static void rememberLastDocument(const QString& path);
    // Reopens the last ".plm" document; calls finish exactly once with whether it opened.
    static void restoreLastDocument(const std::function<void(bool opened)>& finish, DocumentController& controller);
    void adoptScopedDocumentURL(const QString& path);
    QString scopedDocumentPath() const { return scopedDocumentPath_; }

signals:
    void workChanged();
    void selectionChanged();

protected:
    void didRevert() override;

private:
    static PlmWork decodeWork(const QByteArray& data, const QString& typeIdentifier);
    void storeDecoded(const PlmWork& decoded);
    void store(const PlmWork& work);
    void primeValidation(const PlmWork& work);
    PlmWorkDocumentValidator& validator();
    void storeKept(const PlmWork& work, const QString& actionName);
    void reconcileSelection(const PlmWork& work);
    void reloadWindows();
    static void applyThresholdRule(const PlmWork& previous, PlmWork& next);

    mutable std::mutex storageLock_;
    PlmWork storage_;
    std::optional<QString> selectedEntityID_;
    QSet<QString> selectedEntityIDs_;
    // The entities the selection was last checked against: while a work shares them, its ids
    // are those, and the selection needs no new check.
    PlmEntityList selectionCheckedAgainst_;
    QPointer<QWidget> acquisitionDialog_;
    QPointer<DocumentWindowController> studioController_;
    QString scopedDocumentPath_;
    PlmWorkDocumentValidator validator_;
    // The full check of a work just set or read, running on a worker so that the window can
    // show meanwhile; validator() takes its result over, waiting for it if need be.
    QFuture<std::shared_ptr<PlmWorkDocumentValidator>> primingValidator_;
    PlmWorkDocumentDerived derived_;
    bool storingKeptWork_ = false;
    std::optional<WorkCellChanges> pendingChanges_; // cells changed by the update being committed
};
