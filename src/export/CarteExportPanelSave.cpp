#include "export/CarteExportPanel.h"

#include "export/CarteBitmapExport.h"
#include "export/CarteExportForm.h"
#include "export/CartePDFExport.h"
#include "export/SvgCompositionExport.h"
#include "model/PlmErrors.h"
#include "desktop/DialogHooks.h"
#include "platform/AtomicFileWriter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QWidget>

namespace {

struct FormatRow {
    const char* identifier;
    const char* description;
    const char* extension;
};

const FormatRow formatRows[] = {
    {"com.adobe.pdf", "PDF", "pdf"},
    {"public.svg-image", "SVG", "svg"},
    {"public.png", "PNG", "png"},
    {"public.jpeg", "JPEG", "jpg"},
};

} // namespace

void CarteExportPanel::exportFile()
{
    if (!m_window)
        return;
    // A field being edited, here or in another window of the work, ends its editing first, so
    // that what the work holds is exported.
    if ((m_work.commitEdits && !m_work.commitEdits()) || !m_window || !commitTypedFields())
        return;
    const int format = std::clamp(m_format->currentIndex(), 0, 3);
    PlmExportResult result;
    try {
        applyPage();
        const PlmExportSize size = exportSize(pageFromForm());
        switch (format) {
        case pdf:
            result = CartePDFExport::exportPDF(m_composition, size);
            break;
        case svg:
            result = SvgCompositionExport::exportSVG(m_composition, size);
            break;
        default: {
            const std::optional<double> dpi = CarteExportForm::parseNumber(m_dpi->text());
            if (!dpi)
                throw PlmWorkError::invalid(QStringLiteral("Valeur numérique incorrecte."));
            result = CarteBitmapExport::render(m_composition, size, *dpi,
                                               format == jpeg ? CarteBitmapExport::Format::jpeg
                                                              : CarteBitmapExport::Format::png,
                                               m_transparency->isChecked(), 0.85);
        }
        }
    } catch (const PlmError& error) {
        DialogHooks::presentError(error.message(), m_window);
        return;
    }
    if (!m_window)
        return;
    const FormatRow& row = formatRows[format];
    const std::optional<PlmWork> work = m_work.read ? m_work.read() : std::nullopt;
    const QString extension = QString::fromLatin1(row.extension);
    const QString fileName = CarteExportForm::proposedFileName(work ? work->map.name : QString(), extension);
    DialogHooks::SavePanelRequest request;
    request.title = QStringLiteral("Enregistrer l’export");
    request.prompt = QStringLiteral("Enregistrer");
    request.suggestedName = fileName.left(fileName.size() - extension.size() - 1);
    request.types = {DialogHooks::FileTypeChoice{QString::fromLatin1(row.identifier),
                                                 QString::fromLatin1(row.description), {extension}}};
    request.selectedType = request.types.first().identifier;
    request.window = m_window;
    const std::optional<DialogHooks::SavePanelResult> chosen = DialogHooks::runSavePanel(request);
    if (!chosen || chosen->path.isEmpty())
        return;
    finishExport(chosen->path, result.data, result.notes);
}

bool CarteExportPanel::writeFile(const QString& path, const QByteArray& data)
{
    return AtomicFileWriter::write(path, data).written();
}

void CarteExportPanel::finishExport(const QString& path, const QByteArray& data, const QStringList& notes)
{
    if (!writeFile(path, data)) {
        const QFileInfo info(path);
        DialogHooks::presentError(QStringLiteral("Le document « %1 » n’a pas pu être enregistré dans « %2 ».")
                                      .arg(info.fileName(), QDir::toNativeSeparators(info.absolutePath())),
                                  m_window);
        return;
    }
    close();
    if (!notes.isEmpty() && m_sourceWindow) {
        DialogHooks::Alert alert;
        alert.message = QStringLiteral("Carte exportée");
        alert.informativeText = notes.join(QLatin1Char('\n'));
        alert.style = DialogHooks::AlertStyle::Informational;
        alert.window = m_sourceWindow;
        DialogHooks::beginSheet(alert, [](int) {});
    }
}
