#include "import/VectorImportUI.h"

#include "platform/DocumentController.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

namespace VectorImportUI {

QString openPanelTitle()
{
    return QStringLiteral("Importer un fond");
}

QString openPanelMessage()
{
    return QStringLiteral("Pelmora historique, .plmmap, EPS/PostScript, GeoJSON, Shapefile ou SVG. Les originaux restent intacts.");
}

QString unsupportedFormatMessage(const QString& path)
{
    return QStringLiteral("Le fichier « %1 » ne peut pas encore être importé : cette version ouvre les fonds .plmmap "
                          "et les documents .plm.")
        .arg(QFileInfo(path).fileName());
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

void importFile(const QString& path, DocumentController* controller)
{
    DocumentController& documents = controller ? *controller : DocumentController::shared();
    const QFileInfo file(path);
    if (!file.exists()) {
        DialogHooks::Alert alert;
        alert.message = QStringLiteral("Import impossible");
        alert.informativeText = missingFileMessage(path);
        DialogHooks::runAlert(alert);
        return;
    }
    if (file.suffix().toLower() != QLatin1String("plmmap")) {
        DialogHooks::Alert alert;
        alert.message = QStringLiteral("Import impossible");
        alert.informativeText = unsupportedFormatMessage(path);
        DialogHooks::runAlert(alert);
        return;
    }
    documents.openDocument(path, true, [](class Document*, bool, const QString& error) {
        if (!error.isEmpty())
            DialogHooks::presentError(error);
    });
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

} // namespace VectorImportUI
