#include "canvas/FondWindowController.h"

#include "canvas/VectorCanvas.h"
#include "platform/ViewHost.h"

#include <QLabel>
#include <QVBoxLayout>

FondWindowController::FondWindowController(const PlmMap& map, QObject* parent)
    : QObject(parent)
    , m_host(new ViewHost)
    , m_canvas(new VectorCanvas(map, true, QString()))
{
    m_host->setObjectName(QStringLiteral("Fond.Canvas"));
    m_host->setFocusPolicy(Qt::StrongFocus);
    m_host->setRootNode(m_canvas);
}

FondWindowController::~FondWindowController()
{
    // The widgets may already belong to a window that was destroyed first.
    delete m_host.data();
    delete m_inspector.data();
}

QWidget* FondWindowController::view() const
{
    return m_host.data();
}

QWidget* FondWindowController::makeInspector()
{
    if (!m_inspector) {
        m_inspector = new QWidget;
        m_inspector->setObjectName(QStringLiteral("Fond.Inspector"));
        auto* layout = new QVBoxLayout(m_inspector);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addStretch(1);
    }
    return m_inspector;
}

void FondWindowController::attach(WorkReader readWork)
{
    m_readWork = std::move(readWork);
    reloadFromDocument();
}

void FondWindowController::reloadFromDocument()
{
    if (!m_readWork || !m_canvas)
        return;
    const std::optional<PlmWork> work = m_readWork();
    if (!work)
        return;
    if (!(m_canvas->map() == work->map))
        m_canvas->setMap(work->map);
    std::optional<PlmBackgroundImage> background;
    if (work->decoration)
        background = work->decoration->backgroundImage;
    // A new map or image redraws the view by itself; a change elsewhere in the work (a typed
    // cell) leaves a large map undrawn.
    if (!(m_canvas->backgroundImage() == background))
        m_canvas->setBackgroundImage(background);
    refreshInspector();
}

void FondWindowController::refreshInspector()
{
}

std::optional<int> FondWindowController::entityIndex(const QString& id) const
{
    if (!m_canvas)
        return std::nullopt;
    const auto& entities = m_canvas->map().entities;
    for (int i = 0; i < int(entities.size()); ++i) {
        if (entities.at(i).id == id)
            return i;
    }
    return std::nullopt;
}
