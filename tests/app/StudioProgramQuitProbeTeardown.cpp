// The quit probe's scenarios in which windows go beside works not yet written. The export
// panel of the work « Croquis » in front, as the window system brings it, PNG chosen and its
// « Résolution (dpi) » clicked (and typed in), the work « Relevé » changed moments before (its
// autosave not yet due) and a changed « Nouveau document » beside; then a signal, or a close of
// the studio window from outside (a task bar, a window list). And the library window beside a
// changed work as the loop ends.

#include "app/StudioProgramQuitProbe.h"

#include "app/PlmWorkDocument.h"
#include "app/StudioWindowController.h"
#include "carte/CarteWindowController.h"
#include "export/CarteExportPanel.h"
#include "library/LibraryCoordinator.h"
#include "library/LibraryWindowController.h"
#include "model/PlmWorkCodec.h"
#include "support/EventWait.h"
#include "support/WidgetKeys.h"
#include "support/WindowActivation.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <csignal>

namespace QuitProbe {
namespace {

// The works' changes (as the test names them), and a resolution typed in the panel.
const QString editedMapName = QStringLiteral("Croquis retouché");
const QString retouchedName = QStringLiteral("Relevé retouché");
const QString typedResolution = QStringLiteral("150");

// The work read from the file of that name.
PlmWorkDocument* workInFile(const QString& baseName)
{
    for (PlmWorkDocument* work : workDocuments())
        if (QFileInfo(work->filePath()).completeBaseName() == baseName)
            return work;
    return nullptr;
}

// Both works on screen: « Relevé », handed over after « Croquis », is read after it.
bool bothWorksShown()
{
    return studioShown(studioWindowOf(workInFile(QStringLiteral("Croquis"))))
        && studioShown(studioWindowOf(workInFile(QStringLiteral("Relevé"))));
}

// « Relevé » changed moments before: its autosave is not yet due when the end comes.
QString secondWorkChanged()
{
    PlmWorkDocument* second = workInFile(QStringLiteral("Relevé"));
    second->setAutosaveDelay(int(std::chrono::milliseconds(std::chrono::hours(1)).count()));
    second->updateWork(QStringLiteral("Renommer"), [](PlmWork& edited) { edited.map.name = retouchedName; });
    return missingUnless(second->isDocumentEdited() && second->isAutosaveScheduled(),
                         "the second work changed, its autosave not yet due");
}

// The second work changed and a changed « Nouveau document » beside, then the export panel of
// « Croquis » in front, brought there by the window system as a person's click does, PNG
// chosen, « Résolution (dpi) » clicked, and the text typed in it when there is one. The field
// shows a value it was given: it ends its editing on its next focus loss, typed in or not.
std::function<QString()> resolutionFocused(const QString& typed)
{
    return [typed] {
        if (const QString missing = secondWorkChanged(); !missing.isEmpty())
            return missing;
        if (const QString missing = untitledDraftGivenAVariable(); !missing.isEmpty())
            return missing;
        StudioWindowController* studio = studioWindowOf(workInFile(QStringLiteral("Croquis")));
        if (!studio)
            return QStringLiteral("the work « Croquis »");
        studio->perform(QStringLiteral("exportCarte:"), nullptr);
        CarteExportPanel* panel = studio->carte() ? studio->carte()->exportPanel() : nullptr;
        if (!panel || !panel->window() || !panel->window()->isVisible())
            return QStringLiteral("the export panel");
        WindowActivation::activate(panel->window());
        if (!waitUntil([panel] { return QApplication::activeWindow() == panel->window(); }))
            return QStringLiteral("the export panel in front");
        const int png = panel->formatPopup()->findText(QStringLiteral("PNG"));
        panel->formatPopup()->setCurrentIndex(png);
        emit panel->formatPopup()->activated(png);
        QLineEdit* field = panel->dpiField();
        if (!field->isEnabled())
            return QStringLiteral("« Résolution (dpi) » for a PNG");
        field->setFocus(Qt::MouseFocusReason);
        if (!typed.isEmpty()) {
            field->selectAll();
            typeKeys(field, typed);
        }
        return missingUnless(field->hasFocus() && (typed.isEmpty() || (field->text() == typed && field->isModified())),
                             "a field of the export panel holding the focus");
    };
}

// A signal while the second work's change still waits for its autosave.
Quit bySignal(const char* how, int number)
{
    return {how, [number] {
                if (PlmWorkDocument* second = workInFile(QStringLiteral("Relevé")); !second || !second->isDocumentEdited())
                    say(QStringLiteral("not reached: the second work's change still unwritten"));
                std::raise(number);
            }};
}

// Runs the deed once the object is gone, from the event loop.
void whenGone(const QPointer<QObject>& object, const std::function<void()>& then)
{
    if (!object)
        return then();
    QTimer::singleShot(10, qApp, [object, then] { whenGone(object, then); });
}

// The studio window of « Croquis » closed as a task bar or a window list closes it (wmctrl -c:
// the window system's close, on the window); once the work is gone with its windows, SIGTERM
// ends the program with the others still open.
const Quit byClosingFromOutsideThenSigterm{"closed from outside, then SIGTERM", [] {
    PlmWorkDocument* croquis = workInFile(QStringLiteral("Croquis"));
    studioWindowOf(croquis)->window()->windowHandle()->close();
    whenGone(croquis, [] {
        PlmWorkDocument* second = workInFile(QStringLiteral("Relevé"));
        if (!studioShown(studioWindowOf(second)) || !studioShown(studioWindowOf(newWorkDocument())))
            say(QStringLiteral("not reached: the other works still open"));
        std::raise(SIGTERM);
    });
}};

// « Croquis » changed beside the library window, its autosave not yet due. However the end
// comes, the work is written before any window goes: the library window's end finds it so,
// the library being handed over first.
QString workChangedBesideTheLibrary()
{
    PlmWorkDocument* croquis = workInFile(QStringLiteral("Croquis"));
    LibraryWindowController* library = LibraryCoordinator::shared().libraryWindowController();
    if (!croquis || !library || !library->window())
        return QStringLiteral("the work and the library window");
    croquis->setAutosaveDelay(int(std::chrono::milliseconds(std::chrono::hours(1)).count()));
    croquis->updateWork(QStringLiteral("Renommer"), [](PlmWork& edited) { edited.map.name = editedMapName; });
    QObject::connect(library->window(), &QObject::destroyed, [file = croquis->filePath()] {
        QFile read(file);
        if (!read.open(QIODevice::ReadOnly) || PlmWorkCodec::decode(read.readAll()).map.name != editedMapName)
            say(QStringLiteral("the library window went before the work was written"));
    });
    return missingUnless(croquis->isDocumentEdited() && croquis->isAutosaveScheduled(), "the work changed, not yet autosaved");
}

} // namespace

QHash<QString, Scenario> teardownScenarios()
{
    return {
        {QStringLiteral("LibraryWindowBesideAChangedWorkWhenTheLoopEnds"), {workChangedBesideTheLibrary, byEndingTheLoop}},
        {QStringLiteral("ExportResolutionTypedWhenSIGTERMArrives"),
         {resolutionFocused(typedResolution), bySignal("SIGTERM", SIGTERM), {}, bothWorksShown}},
        {QStringLiteral("ExportResolutionTypedWhenSIGINTArrives"),
         {resolutionFocused(typedResolution), bySignal("SIGINT", SIGINT), {}, bothWorksShown}},
        {QStringLiteral("ExportResolutionTypedWhenSIGHUPArrives"),
         {resolutionFocused(typedResolution), bySignal("SIGHUP", SIGHUP), {}, bothWorksShown}},
        {QStringLiteral("ExportResolutionTypedWhenItsStudioWindowIsClosedFromOutside"),
         {resolutionFocused(typedResolution), byClosingFromOutsideThenSigterm, {}, bothWorksShown}},
    };
}

} // namespace QuitProbe
