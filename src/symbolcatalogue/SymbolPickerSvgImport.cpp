// The picker's import and deletion of the library's SVG symbols.
#include "symbolcatalogue/SymbolPickerWindowController.h"

#include "symbolcatalogue/ProportionalShapeSvgFile.h"
#include "librarystore/PlmLibraryError.h"
#include "desktop/DialogHooks.h"

#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>

#include <algorithm>

namespace {

QString errorText(const std::exception& error)
{
    if (const auto* plm = dynamic_cast<const PlmError*>(&error))
        return plm->message();
    return QString::fromUtf8(error.what());
}

// The importable files inside a chosen folder and its sub-folders, by ascending path; hidden
// files and folders are not visited, symbolic links are not followed.
QStringList svgFilesIn(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (SymbolPickerWindowController::isImportableSVGFile(path))
            files.append(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

QString SymbolPickerWindowController::importReport(int imported, const QStringList& failures)
{
    return QString::number(imported) + QStringLiteral(" symbole(s) importé(s).\n") + failures.join(u'\n');
}

QString SymbolPickerWindowController::deleteQuestion(const QString& displayName)
{
    return QStringLiteral("Supprimer « ") + displayName + QStringLiteral(" » de la bibliothèque ?");
}

bool SymbolPickerWindowController::isImportableSVGFile(const QString& path)
{
    const QFileInfo info(path);
    return info.suffix().toLower() == QStringLiteral("svg") && !info.isSymLink() && info.isFile();
}

void SymbolPickerWindowController::chooseSVGFiles()
{
    DialogHooks::OpenPanelRequest request;
    request.title = QStringLiteral("Import SVG");
    request.prompt = QStringLiteral("Importer");
    request.extensions = {QStringLiteral("svg")};
    request.allowsMultipleSelection = true;
    request.canChooseDirectories = true;
    request.canChooseFiles = true;
    request.window = this;
    QPointer<SymbolPickerWindowController> self(this);
    const std::optional<QStringList> chosen = DialogHooks::runOpenPanel(request);
    if (!self || !chosen)
        return;
    try {
        importSVGFiles(*chosen);
    } catch (const std::exception& error) {
        if (self)
            DialogHooks::presentError(errorText(error), self);
    }
}

QStringList SymbolPickerWindowController::importSVGFiles(const QStringList& paths)
{
    const std::optional<PlmLibraryStore> library = store(true);
    if (!library)
        throw PlmLibraryPackageError(PlmLibraryPackageError::Kind::unavailable);

    QStringList imported;
    QStringList failures;
    for (const QString& path : paths) {
        const QFileInfo chosen(path);
        QStringList files;
        if (chosen.isDir() && !chosen.isSymLink()) {
            // A folder that cannot be read is reported with the others; what was stored
            // before it stays listed in the report.
            if (!QDir(path).isReadable()) {
                failures.append(chosen.fileName() + QStringLiteral(" : ")
                                + PlmLibraryError::description(PlmLibraryError::Kind::invalidFolder));
                continue;
            }
            files = svgFilesIn(path);
        } else {
            files = {path}; // the panel offers SVG files only
        }
        for (const QString& file : files) {
            try {
                const PlmMap map = ProportionalShapeSvgFile::importSVGSymbol(file);
                imported.append(library->addSymbol(map, QFileInfo(file).completeBaseName()));
            } catch (const std::exception& error) {
                failures.append(QFileInfo(file).fileName() + QStringLiteral(" : ") + errorText(error));
            }
        }
    }

    reloadSVGItems();
    m_search->blockSignals(true);
    m_search->clear();
    m_search->blockSignals(false);
    m_category->setCurrentIndex(int(PlmSymbolCatalogue::symbolCategories().size()));
    refilter();
    if (!imported.isEmpty()) {
        const QString first = imported.first();
        const auto found = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                        [&](const Entry& e) { return e.isSVG() && e.svg.url == first; });
        if (found != m_entries.cend())
            selectRow(int(found - m_entries.cbegin()));
    }
    if (!failures.isEmpty())
        throw PlmWorkError::invalid(importReport(int(imported.size()), failures));
    return imported;
}

void SymbolPickerWindowController::confirmDeleteSelectedSVG()
{
    const int row = selectedRow();
    if (row < 0 || row >= m_entries.size() || !m_entries.at(row).isSVG())
        return;
    const QString url = m_entries.at(row).svg.url;
    DialogHooks::Alert alert;
    alert.message = deleteQuestion(m_entries.at(row).displayName());
    alert.informativeText = QStringLiteral(
        "Les documents utilisant ce symbole resteront fonctionnels. Le fichier SVG source sera conservé.");
    alert.buttons = {QStringLiteral("Supprimer"), QStringLiteral("Annuler")};
    alert.defaultButton = 1; // Return cancels
    alert.window = this;
    QPointer<SymbolPickerWindowController> self(this);
    DialogHooks::beginSheet(alert, [self, url](int button) {
        if (button != 0 || !self)
            return;
        try {
            const std::optional<PlmLibraryStore> library = self->store(false);
            if (!library)
                throw PlmLibraryPackageError(PlmLibraryPackageError::Kind::unavailable);
            library->deleteSymbol(url); // the picker offers no undo
            self->reloadSVGItems();
            self->refilter();
        } catch (const std::exception& error) {
            DialogHooks::presentError(errorText(error), self);
        }
    });
}
