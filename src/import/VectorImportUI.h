#pragma once

#include "platform/DialogHooks.h"

#include <QString>

class DocumentController;

// The user side of a base-map import: the open panel and the import of one file. This
// version reads base maps only from ".plmmap" documents, which open through the document
// controller; any other format is refused with a French message naming the file.
// Main thread only.
namespace VectorImportUI {

QString openPanelTitle();   // "Importer un fond"
QString openPanelMessage(); // the accepted formats
// The message of a file whose format cannot be imported yet.
QString unsupportedFormatMessage(const QString& path);
// The message of a file that is not there (moved, or a mistyped command line).
QString missingFileMessage(const QString& path);

// Title, message, files only, any file type (the content decides).
void configureOpenPanel(DialogHooks::OpenPanelRequest& panel);

// Runs the import's open panel; a chosen file is imported as a main-thread task.
void importBaseMap(DocumentController* controller = nullptr);

// Imports the file now: a ".plmmap" opens in the studio through the document controller
// (the shared one when none is given); the outcome is reported by its own alerts.
void importFile(const QString& path, DocumentController* controller = nullptr);
// The same, as a task run by the main thread's event loop.
void importFileLater(const QString& path, DocumentController* controller = nullptr);

} // namespace VectorImportUI
