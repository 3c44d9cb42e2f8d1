#include "mapimport/VectorImportUI.h"
#include "model/PlmFrenchCount.h"

#include "basemaps/LegacyPelmoraImporter.h"
#include "mapimport/ExternalFileAccess.h"

#include "basemaps/PlmVectorImporter.h"
#include "model/PlmMapCodec.h"
#include "desktop/Document.h"
#include "desktop/DocumentController.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QMetaObject>
#include <QPointer>
#include <QStringDecoder>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <memory>

namespace VectorImportUI {

namespace {

// What the background import hands back to the main thread.
struct ImportOutcome {
    std::optional<PlmImportResult> result;
    QString error;
};

void alertImpossible(const QString& text)
{
    DialogHooks::Alert alert;
    alert.message = QStringLiteral("Import impossible");
    alert.informativeText = text;
    DialogHooks::runAlert(alert);
}

// Runs off the main thread: the import, then the map handed to the base-map document made
// for it (its storage is behind its own lock), so that the main thread only opens windows.
ImportOutcome runImport(const QString& path, Document* document)
{
    ImportOutcome outcome;
    try {
        // The companions of an older Pelmora map come along; other files import alone.
        PlmImportResult result = ExternalFileAccess::importWithRelatedFiles(path);
        // The studio's base-map document takes the map itself; any other goes through bytes.
        const QMetaObject* meta = document->metaObject();
        if (meta->indexOfMethod(QMetaObject::normalizedSignature("setMap(PlmMap)").constData()) < 0
            || !QMetaObject::invokeMethod(document, "setMap", Qt::DirectConnection, Q_ARG(PlmMap, result.map)))
            document->readFromData(PlmMapCodec::encode(result.map), PlmMapCodec::fileTypeIdentifier);
        outcome.result = std::move(result);
    } catch (...) {
        outcome.error = Document::messageOf(std::current_exception());
    }
    return outcome;
}

// Opens the map in a new studio document by the same step as a ".plmmap" file: the base-map
// document, told the imported file's path (the work's source map address, never its own
// file), moves its map into a new changed work document with its studio window and closes
// itself.
// With the data chosen, the attribute sheets go along: the base-map document opens the data
// import dialog on them once the studio document is shown.
void openInStudio(Document* document, const QString& path, DocumentController& controller,
                  const QList<PlmInputSheet>& sheets)
{
    const QMetaObject* meta = document->metaObject();
    if (!sheets.isEmpty()) {
        if (meta->indexOfMethod(QMetaObject::normalizedSignature("setImportedSheets(QList<PlmInputSheet>)").constData()) >= 0)
            QMetaObject::invokeMethod(document, "setImportedSheets", Qt::DirectConnection,
                                      Q_ARG(QList<PlmInputSheet>, sheets));
    }
    if (meta->indexOfMethod(QMetaObject::normalizedSignature("setImportSource(QString)").constData()) >= 0)
        QMetaObject::invokeMethod(document, "setImportSource", Qt::DirectConnection, Q_ARG(QString, path));
    controller.addDocument(document);
    document->makeWindowControllers();
    if (!document->isClosed())
        document->showWindows();
}

} // namespace

QString openPanelTitle()
{
    return QStringLiteral("Importer un fond");
}

QString openPanelMessage()
{
    return QStringLiteral("Pelmora historique, .plmmap, EPS/PostScript, GeoJSON, Shapefile ou SVG. Les originaux restent intacts.");
}

QString missingFileMessage(const QString& path)
{
    return QStringLiteral("Le fichier « %1 » est introuvable.").arg(QFileInfo(path).fileName());
}

void configureOpenPanel(DialogHooks::OpenPanelRequest& panel)
{
    panel.title = openPanelTitle();
    panel.message = openPanelMessage();
    panel.canChooseFiles = true;
    panel.canChooseDirectories = false;
    panel.extensions.clear(); // any file: the content decides
    panel.filters = {baseMapFiles()};
    panel.folderKey = QStringLiteral("OpenPanel.BaseMaps.Folder");
}

DialogHooks::FileTypeChoice baseMapFiles()
{
    // The usual names of what the importer reads; any other file stays choosable.
    return {QString(), QStringLiteral("Fonds de carte"),
            {QStringLiteral("plmmap"), QStringLiteral("geojson"), QStringLiteral("json"), QStringLiteral("shp"),
             QStringLiteral("svg"), QStringLiteral("eps"), QStringLiteral("ps"), QStringLiteral("ai"),
             QStringLiteral("num")}};
}

void importBaseMap(DocumentController* controller)
{
    DialogHooks::OpenPanelRequest panel;
    configureOpenPanel(panel);
    const std::optional<QStringList> chosen = DialogHooks::runOpenPanel(panel);
    if (!chosen || chosen->isEmpty())
        return;
    importFileLater(chosen->first(), controller);
}

ImportChoice askImportChoice(const PlmImportResult& result, const std::optional<QString>& summary)
{
    DialogHooks::Alert alert;
    alert.message = QStringLiteral("Fond trouvé — ") + result.map.name;
    QStringList lines;
    lines << (summary ? *summary
                      : PlmFrenchCount::counted(result.map.entities.size(), QStringLiteral("entité vectorielle"),
                                                      QStringLiteral("entités vectorielles")));
    for (const char* key : {"legacy.table", "legacy.layout", "legacy.digitization", "legacy.access",
                            "legacy.styles", "legacy.collection"}) {
        const auto it = result.map.metadata.constFind(QString::fromLatin1(key));
        if (it != result.map.metadata.cend())
            lines << it.value();
    }
    const QList<PlmInputSheet> sheets = importableVariables(result);
    ImportChoice choice;
    alert.style = DialogHooks::AlertStyle::Informational;
    if (!sheets.isEmpty()) {
        const QStringList& titles = sheets.first().grid.isEmpty() ? QStringList() : sheets.first().grid.first();
        const qsizetype count = std::max<qsizetype>(0, titles.size() - 1); // less the identifier column
        lines << PlmFrenchCount::counted(count, QStringLiteral("variable disponible."), QStringLiteral("variables disponibles."))
                     + QStringLiteral(" Les correspondances seront présentées avant validation. "
                                      "Les données appartiennent au document de travail, jamais au fond de la bibliothèque.");
        alert.informativeText = lines.join(QStringLiteral("\n\n"));
        alert.buttons = {QStringLiteral("Importer le fond et ses données"), QStringLiteral("Importer le fond seul"),
                         QStringLiteral("Annuler")};
        const int answer = DialogHooks::runAlert(alert);
        choice.open = answer == 0 || answer == 1;
        choice.withData = answer == 0;
        return choice;
    }
    alert.informativeText = lines.join(QStringLiteral("\n\n"));
    alert.buttons = {QStringLiteral("Importer le fond"), QStringLiteral("Annuler")};
    choice.open = DialogHooks::runAlert(alert) == 0;
    return choice;
}

void importFile(const QString& path, DocumentController* controller, std::function<void()> finished)
{
    auto done = [finished] {
        if (finished)
            finished();
    };
    DocumentController& documents = controller ? *controller : DocumentController::shared();
    const QFileInfo file(path);
    if (!file.exists()) {
        alertImpossible(missingFileMessage(path));
        done();
        return;
    }
    // Every file, a ".plmmap" document included, goes through the content check and the
    // choice: the imported map becomes a new unsaved work, never tied to the file.
    QString error;
    Document* document = documents.makeUntitledDocument(PlmMapCodec::fileTypeIdentifier, &error);
    if (!document) {
        DialogHooks::presentError(error);
        done();
        return;
    }
    QPointer<DocumentController> weakController(&documents);
    auto* watcher = new QFutureWatcher<ImportOutcome>(qApp);
    QObject::connect(watcher, &QFutureWatcher<ImportOutcome>::finished, qApp,
                     [watcher, document, weakController, path, done] {
        const ImportOutcome outcome = watcher->result();
        watcher->deleteLater();
        // The alerts below run their own event loops: they are shown from a queued call, never
        // from inside the watcher's signal.
        QTimer::singleShot(0, qApp, [outcome, document, weakController, path, done] {
            std::unique_ptr<Document> owned(document);
            if (!weakController) {
                done();
                return;
            }
            if (!outcome.result) {
                DialogHooks::presentError(outcome.error);
                done();
                return;
            }
            const ImportChoice choice = askImportChoice(*outcome.result, outcome.result->summary());
            if (choice.open)
                openInStudio(owned.release(), path, *weakController,
                             choice.withData ? importableVariables(*outcome.result) : QList<PlmInputSheet>());
            done();
        });
    });
    watcher->setFuture(QtConcurrent::run(runImport, path, document));
}

void importFileLater(const QString& path, DocumentController* controller)
{
    QPointer<DocumentController> weak(controller);
    const bool shared = controller == nullptr;
    QTimer::singleShot(0, qApp, [path, weak, shared] {
        if (!shared && !weak)
            return;
        importFile(path, weak.data());
    });
}

void showImportReport(const QStringList& lines, QWidget* window)
{
    DialogHooks::Alert alert;
    alert.message = QStringLiteral("Résultat de l\u2019import");
    alert.informativeText = lines.join(QStringLiteral("\n\n"));
    alert.buttons = {QStringLiteral("OK")};
    alert.style = DialogHooks::AlertStyle::Informational;
    if (window) {
        alert.window = window;
        DialogHooks::beginSheet(alert, [](int) {});
    } else {
        DialogHooks::runAlert(alert);
    }
}

bool canImportFile(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || info.isDir())
        return false;
    static const QStringList known = {QStringLiteral("plmmap"), QStringLiteral("eps"), QStringLiteral("ps"),
                                      QStringLiteral("ai"),     QStringLiteral("geojson"), QStringLiteral("json"),
                                      QStringLiteral("svg"),    QStringLiteral("shp")};
    if (known.contains(info.suffix().toLower()))
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4096);
    if (file.error() != QFileDevice::NoError)
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(head);
    text = utf8.hasError() ? QString() : text.trimmed();
    return LegacyPelmoraImporter::isLegacyBaseMap(head) || PlmVectorImporter::isPostScript(head)
        || PlmVectorImporter::isShapefile(head)
        || text.contains(QLatin1String("<svg")) || text.startsWith(QLatin1Char('{'));
}

} // namespace VectorImportUI
