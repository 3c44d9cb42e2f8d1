#include "layout/CarteWindowController.h"

#include "canvas/VectorCanvas.h"
#include "decorations/DecorationController.h"
#include "decorations/InspectorScroll.h"
#include "platform/ViewHost.h"

CarteWindowController::CarteWindowController(WorkReader readWork, bool studioPresentation, QObject* parent)
    : QObject(parent)
    , m_readWork(std::move(readWork))
    , m_host(new ViewHost)
    , m_inspector(new InspectorScroll)
    , m_decorations(new DecorationController(studioPresentation, this))
{
    PlmMap map;
    if (m_readWork) {
        if (const auto work = m_readWork())
            map = work->map;
    }
    m_canvas = new VectorCanvas(map, false, QString());
    m_host->setObjectName(QStringLiteral("Carte.Canvas"));
    m_host->setFocusPolicy(Qt::StrongFocus);
    m_host->setRootNode(m_canvas);
    m_inspector->setObjectName(QStringLiteral("Carte.Inspector"));
}

CarteWindowController::~CarteWindowController()
{
    delete m_host.data();
    delete m_inspector.data();
}

QWidget* CarteWindowController::view() const
{
    return m_host.data();
}

void CarteWindowController::refreshControls()
{
    if (!m_readWork || !m_canvas)
        return;
    const std::optional<PlmWork> work = m_readWork();
    if (!work)
        return;
    // A new map redraws the view by itself.
    if (!(m_canvas->map() == work->map))
        m_canvas->setMap(work->map);
    applyEntityNames(*work);
}

void CarteWindowController::applyEntityNames(const PlmWork& work)
{
    // The layout map shows the entity names as the work's layout asks; the view finds each
    // name's automatic anchor itself.
    const std::optional<PlmDecoration>& decoration = work.decoration;
    const bool show = decoration && decoration->showEntityNames.value_or(false);
    QHash<QString, PlmPoint> positions;
    if (decoration && decoration->entityNamePositions) {
        for (auto it = decoration->entityNamePositions->cbegin(); it != decoration->entityNamePositions->cend(); ++it)
            positions.insert(it.key(), it.value());
    }
    const QString fontName = decoration ? decoration->entityNameFontName.value_or(QStringLiteral("Helvetica"))
                                        : QStringLiteral("Helvetica");
    const double fontSize = decoration ? decoration->entityNameFontSize.value_or(12.0) : 12.0;
    if (m_canvas->showEntityNames == show && m_canvas->entityNamePositions == positions
        && m_canvas->entityNameFontName == fontName && m_canvas->entityNameFontSize == fontSize)
        return;
    m_canvas->showEntityNames = show;
    m_canvas->entityNamePositions = positions;
    m_canvas->entityNameFontName = fontName;
    m_canvas->entityNameFontSize = fontSize;
    m_canvas->setNeedsDisplay();
}

void CarteWindowController::selectEntity(const std::optional<QString>& entityID)
{
    if (!m_canvas)
        return;
    if (entityID)
        m_canvas->select(VectorCanvas::EntityIDPath{*entityID});
    else
        m_canvas->clearSelection();
}
