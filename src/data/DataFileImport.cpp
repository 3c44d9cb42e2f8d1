// The import of a table file from the data pane: the size test and the read off the main
// thread, then the import dialog on the main thread; and the pane's status label.
#include "data/DataImportWindowController.h"
#include "data/DataWindowController.h"
#include "tables/PlmInputReader.h"
#include "model/PlmErrors.h"
#include "desktop/CommandRouter.h"
#include "desktop/DialogHooks.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QLabel>
#include <QtConcurrent>

namespace {

// The read's outcome, made off the main thread: sheets or one French message.
struct ImportRead {
    QList<PlmInputSheet> sheets;
    std::optional<QString> error;
};

ImportRead readTableFile(const QString& path, const QString& fileName)
{
    ImportRead result;
    try {
        // The size from the file's metadata first; a size that cannot be known is read.
        const QFileInfo info(path);
        if (info.exists() && info.size() > DataWindowController::maximumImportSize)
            throw PlmWorkError::invalid(QStringLiteral("Fichier trop volumineux (maximum 64 Mo)."));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw PlmWorkError::invalid(QStringLiteral("Le fichier « %1 » ne peut pas être lu.").arg(fileName));
        // Never more than the limit, even when the file grew after its size was taken.
        const QByteArray data = file.read(DataWindowController::maximumImportSize + 1);
        if (data.size() > DataWindowController::maximumImportSize)
            throw PlmWorkError::invalid(QStringLiteral("Fichier trop volumineux (maximum 64 Mo)."));
        result.sheets = PlmInputReader::read(data, fileName);
    } catch (const PlmError& error) {
        result.error = error.message();
    } catch (const std::bad_alloc&) {
        result.error = QStringLiteral("Fichier trop volumineux (maximum 64 Mo).");
    }
    return result;
}

// "importData:" in the command chain of the pane's views (the studio's toolbar button and menu
// item start there); the pane's own responder answers the other data commands.
class DataImportCommand final : public CommandResponder {
public:
    explicit DataImportCommand(DataWindowController* pane)
        : m_pane(pane)
    {
    }
    bool handles(const QString& command) const override { return command == QLatin1String("importData:"); }
    void perform(const QString&, QObject*) override
    {
        if (m_pane)
            m_pane->importDataAction();
    }
    CommandValidation validate(const QString& command, QAction*) const override
    {
        CommandValidation validation;
        validation.enabled = m_pane && m_pane->validateAction(command);
        return validation;
    }

private:
    QPointer<DataWindowController> m_pane;
};

} // namespace

void DataWindowController::attachImportCommand(QWidget* view)
{
    if (!m_importCommand)
        m_importCommand = std::make_unique<DataImportCommand>(this);
    CommandRouter::shared().attach(view, m_importCommand.get(), this);
}

void DataWindowController::importDataAction()
{
    if (!commitPendingEdit() || readingImport)
        return;
    DialogHooks::OpenPanelRequest request;
    request.title = QStringLiteral("Importer des données — CSV, TSV, XLSX ou Pelmora .tab");
    request.canChooseFiles = true;
    request.canChooseDirectories = false;
    request.allowsMultipleSelection = false;
    request.window = m_table ? m_table->window() : nullptr;
    // The usual table files first; any file stays choosable, the reader decides.
    request.filters = {{QString(), QStringLiteral("Tableaux"),
                        {QStringLiteral("csv"), QStringLiteral("tsv"), QStringLiteral("txt"), QStringLiteral("xlsx"),
                         QStringLiteral("tab")}}};
    request.folderKey = QStringLiteral("OpenPanel.Tables.Folder");
    const std::optional<QStringList> chosen = DialogHooks::runOpenPanel(request);
    if (chosen && !chosen->isEmpty())
        importFile(chosen->first());
}

void DataWindowController::importFile(const QString& path)
{
    if (!commitPendingEdit())
        return;
    if (readingImport || !documentIsOpen())
        return;
    const QString fileName = QFileInfo(path).fileName();
    readingImport = true;
    const int generation = ++m_readGeneration;
    status->setText(QStringLiteral("Lecture de ") + fileName + QStringLiteral("…"));
    status->show();
    updateStudioDetails();

    QPointer<DataWindowController> self(this);
    QPointer<QObject> owner = host.document.owner;
    auto* watcher = new QFutureWatcher<ImportRead>(this);
    connect(watcher, &QFutureWatcher<ImportRead>::finished, this, [self, owner, watcher, fileName, generation] {
        const ImportRead read = watcher->result();
        watcher->deleteLater();
        if (!self || generation != self->m_readGeneration)
            return;
        const bool open = owner && owner == self->host.document.owner && self->documentIsOpen();
        if (!read.error && open) {
            auto* dialog = new DataImportWindowController(self->host.document, read.sheets, fileName, true,
                                                          self->calculationFinishedHandler());
            if (self->importController)
                self->importController->close();
            self->importController = dialog;
            dialog->show();
            dialog->raise();
            dialog->activateWindow();
            self->updateStatus();
        }
        self->readingImport = false;
        self->updateStatus();
        if (read.error && open)
            self->showError(*read.error);
    });
    watcher->setFuture(QtConcurrent::run([path, fileName] { return readTableFile(path, fileName); }));
}

std::function<void()> DataWindowController::calculationFinishedHandler()
{
    if (!host.revealData)
        return {};
    QPointer<DataWindowController> self(this);
    return [self] {
        if (!self || !self->host.revealData || !self->host.revealData())
            return;
        if (self->m_table)
            self->m_table->setFocus();
        self->scrollToActiveColumn();
    };
}

void DataWindowController::updateStatus()
{
    updateStudioDetails();
    if (status) {
        status->hide();
        status->setPalette(QApplication::palette(status));
        status->setForegroundRole(QPalette::PlaceholderText);
    }
    if (host.updateStudioStatus)
        host.updateStudioStatus();
}

void DataWindowController::showError(const QString& message)
{
    if (status) {
        QPalette palette = status->palette();
        palette.setColor(QPalette::WindowText, QColor(255, 59, 48)); // the system red
        status->setPalette(palette);
        status->setForegroundRole(QPalette::WindowText);
        status->setText(message);
        status->show();
    }
    // A refusal met while a command takes the pending edit: once nobody can see the status
    // line (the program ends), the standard error output says it too.
    if (committing)
        DialogHooks::reportUnseen(message);
    ++beepCount;
    QApplication::beep();
}
