#include "library/LibraryWindowController.h"

#include "mapimport/ExternalFileAccess.h"
#include "mapimport/VectorImportUI.h"
#include "library/LibraryThumbnails.h"
#include "library/LibraryUndoGroup.h"
#include "model/PlmMapCodec.h"
#include "desktop/DialogHooks.h"
#include "desktop/Document.h"
#include "desktop/DocumentController.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QMetaObject>
#include <QTimer>
#include <QUndoStack>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <memory>
#include <utility>

// What the background reading of one file hands back to the main thread.
struct LibraryImportRead {
    QString file;
    std::optional<PlmImportResult> result;
    QString error;
};

namespace {

LibraryWindowController::MapOpener& mapOpener()
{
    static LibraryWindowController::MapOpener opener;
    return opener;
}

QList<LibraryImportRead> readFiles(const QStringList& files)
{
    QList<LibraryImportRead> reads;
    for (const QString& file : files) {
        LibraryImportRead read;
        read.file = file;
        try {
            read.result = ExternalFileAccess::importWithRelatedFiles(file);
        } catch (...) {
            read.error = Document::messageOf(std::current_exception());
        }
        reads << read;
    }
    return reads;
}

} // namespace

void LibraryWindowController::setMapOpener(MapOpener opener)
{
    mapOpener() = std::move(opener);
}

// --- Opening a map ----------------------------------------------------------------------

void LibraryWindowController::openMap(const QString& path)
{
    PlmImportResult found;
    try {
        // The item is checked again (a folder now is refused) and its content decoded: the
        // document gets the map, never the file.
        found.map = store_.map(path);
        found.isNativeDocument = true;
    } catch (...) {
        presentError(std::current_exception());
        return;
    }
    const QList<PlmInputSheet> sheets = VectorImportUI::importableVariables(found);
    bool withData = false;
    if (!sheets.isEmpty()) {
        QPointer<LibraryWindowController> self(this);
        const VectorImportUI::ImportChoice choice = VectorImportUI::askImportChoice(found, std::nullopt);
        if (!self || !choice.open)
            return;
        withData = choice.withData;
    }
    openDecodedMap(found.map, store_.item(path).url, withData ? sheets : QList<PlmInputSheet>());
}

void LibraryWindowController::openDecodedMap(const PlmMap& map, const QString& path, const QList<PlmInputSheet>& sheets)
{
    if (mapOpener()) {
        mapOpener()(map, path, sheets);
        return;
    }
    // A base-map document without a file: it hands the map to a new, changed, untitled work
    // document whose source map address is the library file, and closes itself.
    DocumentController& documents = documents_ ? *documents_ : DocumentController::shared();
    QString error;
    Document* document = documents.makeUntitledDocument(PlmMapCodec::fileTypeIdentifier, &error);
    if (!document) {
        presentError(error);
        return;
    }
    const QMetaObject* meta = document->metaObject();
    const auto invoke = [&](const char* signature, auto&&... arguments) {
        if (meta->indexOfMethod(QMetaObject::normalizedSignature(signature).constData()) < 0)
            return false;
        const QByteArray name = QByteArray(signature).left(QByteArray(signature).indexOf('('));
        return QMetaObject::invokeMethod(document, name.constData(), Qt::DirectConnection, arguments...);
    };
    if (!invoke("setMap(PlmMap)", Q_ARG(PlmMap, map)))
        document->readFromData(PlmMapCodec::encode(map), PlmMapCodec::fileTypeIdentifier);
    invoke("setSourceMapPath(QString)", Q_ARG(QString, path));
    if (!sheets.isEmpty())
        invoke("setImportedSheets(QList<PlmInputSheet>)", Q_ARG(QList<PlmInputSheet>, sheets));
    documents.addDocument(document);
    document->makeWindowControllers();
    if (!document->isClosed())
        document->showWindows();
}

// --- Import of outside files ------------------------------------------------------------

void LibraryWindowController::importMaps()
{
    QWidget* window = sheetWindow();
    if (!window)
        return;
    const QString folder = selectedFolderURL().value_or(store_.root());
    DialogHooks::OpenPanelRequest panel;
    VectorImportUI::configureOpenPanel(panel);
    panel.allowsMultipleSelection = true;
    panel.window = window;
    const std::optional<QStringList> chosen = DialogHooks::runOpenPanel(panel);
    if (!chosen || chosen->isEmpty())
        return;
    importFiles(*chosen, folder);
}

void LibraryWindowController::importFiles(const QStringList& files, const QString& folder, std::function<void()> finished)
{
    auto* watcher = new QFutureWatcher<QList<LibraryImportRead>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, folder, finished] {
        QList<LibraryImportRead> reads = watcher->future().takeResult();
        watcher->deleteLater();
        // The questions wait for the watcher's signal to be over. The maps read go with the
        // import: neither this call nor the watcher keeps them.
        auto held = std::make_shared<QList<LibraryImportRead>>(std::move(reads));
        QTimer::singleShot(0, this, [this, folder, held, finished] {
            applyImport(folder, std::exchange(*held, {}));
            if (finished)
                finished();
            emit importFinished();
        });
    });
    watcher->setFuture(QtConcurrent::run(readFiles, files));
}

void LibraryWindowController::applyImport(const QString& folder, QList<LibraryImportRead> reads)
{
    struct ToOpen {
        PlmMap map;
        QString path;
        QList<PlmInputSheet> sheets;
    };
    QPointer<LibraryWindowController> self(this);
    auto group = std::make_unique<LibraryUndoGroup>();
    QStringList added;
    QStringList lines;
    QStringList failures;
    QList<ToOpen> toOpen;
    for (const LibraryImportRead& read : reads) {
        if (!read.result)
            continue;
        const QString name = QFileInfo(read.file).fileName();
        const PlmImportResult& result = *read.result;
        const QString summary = result.summary();
        const VectorImportUI::ImportChoice choice = VectorImportUI::askImportChoice(result, summary);
        if (!self)
            return;
        if (!choice.open)
            continue; // cancelled: nothing stored, nothing reported
        try {
            const bool copyAsIs = result.isNativeDocument && QFileInfo(read.file).suffix().toLower() == PlmLibraryStore::mapExtension();
            const QString stored = copyAsIs ? store_.importMap(read.file, folder) : store_.addMap(result.map, std::nullopt, folder);
            group->add(additionStep(stored, QStringLiteral("Ajouter à la bibliothèque")));
            added << stored;
            if (choice.withData)
                toOpen << ToOpen{result.map, stored, VectorImportUI::importableVariables(result)};
            lines << name + QLatin1Char('\n') + summary;
        } catch (...) {
            failures << name + QStringLiteral(" : ") + Document::messageOf(std::current_exception());
        }
    }
    for (const LibraryImportRead& read : reads)
        if (!read.result)
            failures << QFileInfo(read.file).fileName() + QStringLiteral(" : ") + read.error;
    // The maps read are let go before the new rows are drawn and the new map is read for its
    // preview: only the maps to open in a work stay.
    const bool large = std::any_of(reads.cbegin(), reads.cend(), [](const LibraryImportRead& read) {
        return QFileInfo(read.file).size() > LibraryThumbnails::livePreviewLimit();
    });
    reads.clear();
    if (large)
        LibraryThumbnails::releaseFreedMemory();

    pushGroup(group.release());
    reload(added);
    if (toOpen.isEmpty()) {
        VectorImportUI::showImportReport(lines + failures, sheetWindow());
        return;
    }
    if (!failures.isEmpty())
        VectorImportUI::showImportReport(failures, sheetWindow());
    for (const ToOpen& open : toOpen)
        openDecodedMap(open.map, open.path, open.sheets);
}
