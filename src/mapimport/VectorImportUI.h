#pragma once

#include "tables/PlmInputSheet.h"
#include "basemaps/PlmImportResult.h"
#include "desktop/DialogHooks.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class Document;
class DocumentController;
class QWidget;

// The user side of a base-map import: the open panel, the import run off the main thread,
// the choice alert with the French summary, and the opening of the imported map in a new
// studio document. Every function here runs on the main thread.
namespace VectorImportUI {

QString openPanelTitle();   // "Importer un fond"
QString openPanelMessage(); // the accepted formats
// The message of a file that is not there (moved, or a mistyped command line).
QString missingFileMessage(const QString& path);

// Title, message, files only, any file type (the content decides); the usual base-map files
// offered first, and the folder last used for a base map.
void configureOpenPanel(DialogHooks::OpenPanelRequest& panel);
// "Fonds de carte": the extensions base maps usually have.
DialogHooks::FileTypeChoice baseMapFiles();

// Runs the import's open panel; a chosen file is imported as a main-thread task.
void importBaseMap(DocumentController* controller = nullptr);

// Imports the file into a document of the controller (the shared one when none is given).
// Every file, a ".plmmap" document included, is read in the background; back on the main thread a
// failure is presented with its French message, and a map is offered through the choice
// alert, then opened in a new studio document; with its data chosen, the sheets of
// importableVariables() are handed to the base-map document (its invokable
// "setImportedSheets(QList<PlmInputSheet>)"), which opens the data import dialog on them. `finished` runs last, on the main thread,
// whatever happened (tests wait for it).
void importFile(const QString& path, DocumentController* controller = nullptr,
                std::function<void()> finished = {});
// The same, as a task run by the main thread's event loop.
void importFileLater(const QString& path, DocumentController* controller = nullptr);

// The answer of the choice alert.
struct ImportChoice {
    bool open = false;
    bool withData = false;
};
// "Fond trouvé — " + the map's name, the summary (or the entity count). When the map brings
// variables: "Importer le fond et ses données" (open with data), "Importer le fond seul" and
// "Annuler", with the count of variables offered; else "Importer le fond" and "Annuler".
ImportChoice askImportChoice(const PlmImportResult& result, const std::optional<QString>& summary);

// The data an imported map brings, as sheets for the data import dialog: its first ".tab"
// source when that reads, else (GeoJSON and Shapefile maps only) one sheet of the entities'
// attributes that carry values of their own. Possibly none.
QList<PlmInputSheet> importableVariables(const PlmImportResult& result);
// Whether an attribute is worth offering: not a "legacy."/"source." key, not the id or name,
// and some top-level entity has a value that is neither empty, "null", its id nor its name.
bool hasValues(const QString& attribute, const PlmMap& map);

// The report of a library import: "Résultat de l’import", the lines separated by blank lines,
// one "OK". A sheet on the window when one is given (nothing waits for it), else modal.
void showImportReport(const QStringList& lines, QWidget* window);

// Quick test of whether a file is worth importing: known extensions, else its first 4,096
// bytes (a PostScript or Shapefile signature, "<svg", or a text starting with "{").
bool canImportFile(const QString& path);

} // namespace VectorImportUI
