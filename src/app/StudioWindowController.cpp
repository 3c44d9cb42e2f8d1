#include "app/StudioWindowController.h"
#include "app/StudioWindowCascade.h"

#include "app/PlmWorkDocument.h"
#include "app/StudioSplit.h"
#include "app/StudioWindowText.h"
#include "fond/FondWindowController.h"
#include "fond/FondDocument.h"
#include "canvas/VectorCanvas.h"
#include "data/DataWindowController.h"
#include "page/DecorationController.h"
#include "inspector/InspectorScroll.h"
#include "carte/CarteWindowController.h"
#include "library/LibraryCoordinator.h"
#include "desktop/CommandRouter.h"
#include "platform/UserDefaults.h"
#include "desktop/ViewHost.h"
#include "desktop/WindowTeardown.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLineEdit>
#include <QApplication>
#include <QMainWindow>
#include <QScreen>
#include <QThread>

const QString StudioWindowController::modeKey = QStringLiteral("Studio.Mode");
const QString StudioWindowController::tabKey = QStringLiteral("Studio.Tab");
const QString StudioWindowController::columnsKey = QStringLiteral("Studio.Columns");
const QString StudioWindowController::bottomKey = QStringLiteral("Studio.Bottom");
const QString StudioWindowController::frameKey = QStringLiteral("Studio.WindowFrame");
const QString StudioWindowController::flexibleSpaceIdentifier = QStringLiteral("Toolbar.FlexibleSpace");
const QString StudioWindowController::emptyPreviewText =
    QStringLiteral("Ouvrez un document .plmmap ou importez un fond historique depuis le menu Fichier.");

std::optional<StudioWindowController::Mode> StudioWindowController::modeFromRaw(qint64 raw)
{
    if (raw == 0)
        return Mode::fond;
    if (raw == 2)
        return Mode::carte;
    return std::nullopt;
}

StudioWindowController::StudioWindowController(PlmWorkDocument* document)
    : StudioWindowController(document, Outline::plain)
{
}

StudioWindowController::StudioWindowController(PlmWorkDocument* document, Outline outline)
{
    horizontal = new StudioSplit(true, columnsKey, {240, 320});
    vertical = new StudioSplit(false, bottomKey, {260});
    // Not named after their keys: "Studio.Bottom" already names a toolbar item.
    horizontal->setObjectName(QStringLiteral("Studio.ColumnsSplit"));
    vertical->setObjectName(QStringLiteral("Studio.BottomSplit"));

    // The panes read the work through the document, held weakly.
    setDocument(document);
    QPointer<PlmWorkDocument> weak(document);
    const auto readWork = [weak]() -> std::optional<PlmWork> {
        if (!weak)
            return std::nullopt;
        return weak->work();
    };
    const PlmMap map = document ? document->work().map : PlmMap();
    fond = new FondWindowController(map, this);
    data = new DataWindowController(readWork, this);

    fondContent = fond->view();
    dataContent = data->studioTableView();
    fondInspector = fond->makeInspector();
    dataInspector = data->studioInspectorView();

    preview = new VectorCanvas(document ? document->work().map : PlmMap(), false, emptyPreviewText);
    previewView = new ViewHost;
    previewView->setObjectName(QStringLiteral("Studio.Preview"));
    previewView->setRootNode(preview);

    QWidget* studioWindow = window(); // made by makeWindow(), 1536 × 940
    buildInspectors();
    // The Fond pane edits the work through the document (one undoable update per edit); without
    // a document it only shows the map.
    if (document)
        fond->attach(FondDocument::of(document));
    else
        fond->attach(readWork);
    fond->onAddToLibrary = [](const PlmMap& map) { LibraryCoordinator::shared().addToLibrary(map); };
    attachResponders();

    studioWindow->setMinimumSize(1100, 680);
    studioWindow->installEventFilter(this);
    restoreFrame();
    synchronizeWindowTitleWithDocumentName();

    registerWindowCommands();
    buildToolbar(static_cast<QMainWindow*>(studioWindow));
    buildContent(static_cast<QMainWindow*>(studioWindow));
    wireSelection();
    if (outline == Outline::own)
        objectsModel = nullptr; // the subclass's outline replaces the plain one's rows

    reloadObjects();
    const Mode restored = modeFromRaw(UserDefaults::integerValue(modeKey, 0)).value_or(Mode::fond);
    switchMode(restored, false);
    // A stored tab that no longer exists shows the data table rather than an empty panel.
    const qint64 storedTab = UserDefaults::integerValue(tabKey, 0);
    if (storedTab < 0 || storedTab > 2 || !selectTab(int(storedTab)))
        selectTab(0);
}

CarteWindowController* StudioWindowController::carte() const
{
    if (m_carte)
        return m_carte;
    auto* self = const_cast<StudioWindowController*>(this);
    PlmWorkDocument* document = workingDocument();
    QPointer<PlmWorkDocument> weak(document);
    const auto readWork = [weak]() -> std::optional<PlmWork> {
        if (!weak)
            return std::nullopt;
        return weak->work();
    };
    self->m_carte = document ? new CarteWindowController(FondDocument::of(document), true, self)
                             : new CarteWindowController(readWork, true, self);
    self->m_carteJustLoaded = true;
    self->carteDidLoad();
    return m_carte;
}

VectorCanvas* StudioWindowController::loadedCarteMapView() const
{
    return m_carte ? m_carte->mapView() : nullptr;
}

void StudioWindowController::carteDidLoad()
{
    m_carte->commitStudioEditing = [this] { return commitEditing(); };
    carteContent = m_carte->view();
    CommandRouter& router = CommandRouter::shared();
    router.attach(carteContent, m_carte, m_carte);
    router.attach(m_carte->inspectorScroll(), m_carte, m_carte);
    QPointer<StudioWindowController> self(this);
    if (VectorCanvas* layoutMap = m_carte->mapView()) {
        layoutMap->onStudioObjectSelection = [self](const QStringList& path) {
            if (self)
                self->canvasSelectionDidChange(path);
        };
    }
    m_carte->decorationController()->onObjectSelectionChange = [self](const std::optional<QString>& id) {
        if (!self)
            return;
        self->m_carte->decorationSelectionChanged();
        self->decorationSelectionDidChange(id);
    };
    // The selection made while the pane did not exist.
    if (PlmWorkDocument* doc = workingDocument()) {
        m_carte->selectEntity(doc->selectedEntityID());
        if (VectorCanvas* layoutMap = m_carte->mapView())
            layoutMap->creationSelection = doc->selectedEntityIDs();
    }
}

StudioWindowController::~StudioWindowController()
{
    saveFrame();
    // From here on the window, its panes and inspectors answer none of their fields: the
    // window goes before the panes, and each holds what the other's handlers use.
    if (isWindowLoaded())
        WindowTeardown::silence(window());
    // Views taken out of the window by embed() have no parent: they are ours to delete.
    // The others go with the window; the panes delete their own.
    for (QWidget* own : {static_cast<QWidget*>(previewView), static_cast<QWidget*>(statisticsScroll),
                         static_cast<QWidget*>(backgroundInspector), static_cast<QWidget*>(svgTextInspector)}) {
        if (own && !own->parent())
            WindowTeardown::destroy(own);
    }
}

void StudioWindowController::install()
{
    PlmWorkDocument::setStudioWindowFactory(
        [](PlmWorkDocument* document) -> DocumentWindowController* { return new StudioWindowController(document); });
}

void StudioWindowController::checkMainThread(const char* file)
{
    if (QCoreApplication::instance() && QThread::currentThread() != QCoreApplication::instance()->thread())
        qWarning("Studio window called off the main thread (%s)", file);
}

PlmWorkDocument* StudioWindowController::workingDocument() const
{
    return qobject_cast<PlmWorkDocument*>(document());
}

std::optional<PlmWork> StudioWindowController::currentWork() const
{
    if (PlmWorkDocument* doc = workingDocument())
        return doc->work();
    return std::nullopt;
}

QWidget* StudioWindowController::makeWindow()
{
    auto* studioWindow = new QMainWindow;
    studioWindow->setObjectName(QStringLiteral("Studio"));
    studioWindow->resize(1536, 940);
    return studioWindow;
}

void StudioWindowController::attachResponders()
{
    // Each pane answers before the window for the widgets it shows; the window and the
    // document follow through the window's own attachments.
    CommandRouter& router = CommandRouter::shared();
    const auto attachPane = [&router](QWidget* widget, QObject* pane) {
        if (auto* responder = dynamic_cast<CommandResponder*>(pane); widget && responder)
            router.attach(widget, responder, pane);
    };
    attachPane(fondContent, fond);
    attachPane(fondInspector, fond);
    attachPane(dataContent, data);
    attachPane(dataInspector, data);
}

void StudioWindowController::restoreFrame()
{
    QWidget* studioWindow = window();
    const QByteArray saved = UserDefaults::dataValue(frameKey);
    if (saved.isEmpty() || !studioWindow->restoreGeometry(saved)) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = studioWindow->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            studioWindow->move(frame.topLeft());
        }
    }
    // Every window restores the same frame: cascade it off the studio windows already open.
    QList<QPoint> taken;
    for (QWidget* other : QApplication::topLevelWidgets())
        if (other != studioWindow && other->isVisible() && other->objectName() == studioWindow->objectName())
            taken << other->pos();
    const QScreen* screen = studioWindow->screen() ? studioWindow->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QPoint corner = StudioWindowCascade::position(studioWindow->pos(), studioWindow->frameGeometry().size(), taken, available);
    if (corner != studioWindow->pos())
        studioWindow->move(corner);
}

void StudioWindowController::saveFrame()
{
    if (isWindowLoaded())
        UserDefaults::setValue(frameKey, window()->saveGeometry());
}

bool StudioWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (isWindowLoaded() && watched == window()) {
        if (event->type() == QEvent::Close || event->type() == QEvent::Hide)
            saveFrame();
    }
    return DocumentWindowController::eventFilter(watched, event);
}

QString StudioWindowController::windowTitleForDocumentDisplayName(const QString& displayName) const
{
    // An untitled work is named after its base map.
    PlmWorkDocument* doc = workingDocument();
    if (doc && doc->filePath().isEmpty() && displayName == QStringLiteral("Sans titre")) {
        const QString mapName = doc->work().map.name;
        if (!mapName.trimmed().isEmpty())
            return QStringLiteral("Studio — ") + mapName;
    }
    return QStringLiteral("Studio — ") + displayName;
}

void StudioWindowController::embed(QWidget* view, QWidget* host, int padding)
{
    if (!view || !host)
        return;
    const QList<QWidget*> children = host->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    if (children.size() == 1 && children.first() == view)
        return;
    for (QWidget* child : children) {
        if (child != view) {
            child->hide();
            child->setParent(nullptr); // the owner of the view keeps it for later
        }
    }
    delete host->layout();
    auto* layout = new QGridLayout(host);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(0);
    layout->addWidget(view, 0, 0);
    view->show();
}

QString StudioWindowController::statisticsSummary(const QString& name, const QList<PlmValue>& values)
{
    return StudioWindowText::statisticsSummary(name, values);
}
