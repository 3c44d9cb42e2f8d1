#include "app/PlmMapDocument.h"

#include "app/PlmWorkDocument.h"
#include "app/StudioWindowController.h"
#include "data/DataImportWindowController.h"
#include "model/PlmMapCodec.h"
#include "platform/Bookmark.h"
#include "desktop/DocumentController.h"

#include <QUrl>

PlmMapDocument::PlmMapDocument(QObject* parent)
    : Document(parent)
{
    storage_.name = QStringLiteral("Sans titre");
    setFileType(PlmMapCodec::fileTypeIdentifier);
}

PlmMap PlmMapDocument::map() const
{
    std::lock_guard<std::mutex> lock(storageLock_);
    return storage_;
}

void PlmMapDocument::setMap(const PlmMap& map)
{
    std::lock_guard<std::mutex> lock(storageLock_);
    storage_ = map;
}

QByteArray PlmMapDocument::dataOfType(const QString&) const
{
    return PlmMapCodec::encode(map());
}

void PlmMapDocument::readFromData(const QByteArray& data, const QString&)
{
    setMap(PlmMapCodec::decode(data));
}

void PlmMapDocument::makeWindowControllers()
{
    openInStudio();
}

void PlmMapDocument::setImportSource(const QString& path)
{
    importSource_ = path;
}

void PlmMapDocument::setImportedSheets(const QList<PlmInputSheet>& sheets)
{
    importedSheets_ = sheets;
}

PlmWorkDocument* PlmMapDocument::openInStudio()
{
    DocumentController& controller = documentController() ? *documentController() : DocumentController::shared();
    auto* document = new PlmWorkDocument;

    const PlmMap copy = map();
    std::optional<QString> source;
    const QString sourcePath = !importSource_.isEmpty() ? importSource_
                               : filePath().isEmpty() ? sourceMapPath_ : filePath();
    if (!sourcePath.isEmpty())
        source = QUrl::fromLocalFile(sourcePath).toString(QUrl::FullyEncoded); // a valid address: spaces escaped
    PlmWork work;
    work.map = copy;
    work.sourceMapURL = source;
    document->setWork(work);

    // Only a map opened from its own file stays tied to it; an imported map never does.
    const bool authored = importSource_.isEmpty() && !filePath().isEmpty()
                       && copy.metadata.value(QStringLiteral("studio.authored")) == QLatin1String("true")
                       && copy.metadata.contains(QStringLiteral("studio.authored"));
    if (authored) {
        document->setFileType(PlmWorkDocument::plmMapType());
        document->setFilePath(filePath());
        document->adoptDiskVersion(*this); // the file as this document read it
        if (!filePath().isEmpty() && Bookmark::startAccessing(filePath()))
            document->adoptScopedDocumentURL(filePath());
    }
    document->setDisplayName(copy.name);
    controller.addDocument(document);
    document->makeWindowControllers();
    document->showStudioWindow();
    if (!authored) {
        // A base map just read or imported is edited as a base map, whatever mode the
        // studio was last left in.
        if (auto* studio = qobject_cast<StudioWindowController*>(document->studioController()))
            studio->switchMode(StudioWindowController::Mode::fond, false);
        document->updateChangeCount(Document::ChangeType::Done);
    }
    if (!importedSheets_.isEmpty())
        document->showAcquisitionImport(
            DataImportWindowController::acquisitionMaker<PlmWorkDocument>(importedSheets_, copy.name));
    close();
    return document;
}
