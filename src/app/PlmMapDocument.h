#pragma once

#include "tables/PlmInputSheet.h"
#include "model/PlmMap.h"
#include "desktop/Document.h"

#include <mutex>

class DocumentController;
class PlmWorkDocument;

// The base-map document (".plmmap"). Short-lived: as soon as its windows are asked for, it
// moves its map into a new work document shown in the studio and closes itself, so a base
// map is always edited inside a work document.
class PlmMapDocument : public Document {
    Q_OBJECT
public:
    explicit PlmMapDocument(QObject* parent = nullptr);

    PlmMap map() const;
    // Invokable so that an import can hand its map over from its own thread (storage is locked).
    Q_INVOKABLE void setMap(const PlmMap& map);

    QByteArray dataOfType(const QString& typeIdentifier) const override;
    void readFromData(const QByteArray& data, const QString& typeIdentifier) override;
    void makeWindowControllers() override;

    // The file the map was read from when this document is not tied to it (a map opened from
    // the library): recorded as the work's source map address, never saved over.
    Q_INVOKABLE void setSourceMapPath(const QString& path) { sourceMapPath_ = path; }

    // Opens the map in a new studio document added to the controller (this document's, else
    // the shared one) and closes this document. A map whose metadata "studio.authored" is
    // exactly "true" keeps this file and the ".plmmap" type and opens unchanged; any other
    // opens as a changed, untitled work whose source map address is this file. An imported
    // map always opens as a changed, untitled work whose source is the imported file.
    // A document without a file of its own always opens as a changed, untitled work.
    PlmWorkDocument* openInStudio();

    // Marks the map as imported from this file: the file is only its source, never the file
    // of the work (so a map taken from a library is never saved over). Invokable so that the
    // import, which sits below the studio, can say so.
    Q_INVOKABLE void setImportSource(const QString& path);
    QString importSource() const { return importSource_; }

    // The attribute tables of an imported map whose data the user chose to import: once the
    // studio document is shown, the data import dialog opens on them. Invokable so that the
    // import, which sits below the studio, can hand them over.
    Q_INVOKABLE void setImportedSheets(const QList<PlmInputSheet>& sheets);
    QList<PlmInputSheet> importedSheets() const { return importedSheets_; }

private:
    mutable std::mutex storageLock_;
    PlmMap storage_;
    QList<PlmInputSheet> importedSheets_;
    QString importSource_;
    QString sourceMapPath_;
};
