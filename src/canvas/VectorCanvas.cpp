#include "canvas/VectorCanvas.h"

#include "canvas/VectorCanvasLayers.h"

#include "canvas/ProportionalShape.h"

#include <QGuiApplication>
#include <QPalette>

VectorCanvas::VectorCanvas(const PlmMap& map, bool interactive, const QString& emptyText)
    : isInteractive(interactive)
    , emptyText(emptyText)
    , m_map(map)
{
    creationStyle = PlmStyle(PlmColor{0.2, 0.25, 0.3, 1}, PlmColor{0.85, 0.9, 0.95, 1}, 1, 4);
    m_yAxisSign = PlmMap::yAxisSign(m_map.metadata);
    fitRegion = defaultFitRegion(m_map);
    const QPalette palette = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
        ? QGuiApplication::palette()
        : QPalette();
    backgroundColor = palette.color(QPalette::Base);
    secondaryLabelColor = palette.color(QPalette::PlaceholderText);
    accentColor = palette.color(QPalette::Highlight);
    m_cache.reset(m_map.entities);
    rebuildVisibilitySets();
    setToolTip(QStringLiteral("Molette ou pincement : zoom · Glisser : déplacer · Alt-glisser : zoom sur une "
                              "zone · Ajuster : cadrage du fond"));
}

VectorCanvas::~VectorCanvas() = default;

std::optional<VectorCanvas::DrawingTool> VectorCanvas::drawingToolFromRaw(int raw)
{
    if (raw < 0 || raw > 8)
        return std::nullopt;
    return DrawingTool(raw);
}

QList<VectorCanvas::DrawingTool> VectorCanvas::allDrawingTools()
{
    QList<DrawingTool> tools;
    for (int raw = 0; raw <= 8; ++raw)
        tools.append(DrawingTool(raw));
    return tools;
}

void VectorCanvas::setMap(const PlmMap& map)
{
    const PlmMap previous = m_map;
    m_map = map;
    m_yAxisSign = PlmMap::yAxisSign(m_map.metadata);
    mapDidChange(previous);
}

void VectorCanvas::setDrawingTool(DrawingTool tool)
{
    m_drawingTool = tool;
    drawingToolDidChange();
}

void VectorCanvas::setScale(double scale)
{
    m_scale = scale;
    setNeedsDisplay();
    if (onViewportChange)
        onViewportChange();
}

void VectorCanvas::setOffset(const QPointF& offset)
{
    m_offset = offset;
    setNeedsDisplay();
    if (onViewportChange)
        onViewportChange();
}

void VectorCanvas::setBackgroundImage(const std::optional<PlmBackgroundImage>& image)
{
    const std::optional<PlmBackgroundImage> previous = m_backgroundImage;
    m_backgroundImage = image;
    backgroundImageDidChange(previous);
}

bool VectorCanvas::finishCreationGesture()
{
    if (!creationEnabled)
        return false;
    if ((m_drawingTool == DrawingTool::rectangle || m_drawingTool == DrawingTool::ellipse
         || m_drawingTool == DrawingTool::line)
        && !drawingPoints.isEmpty()) {
        finishDrawing();
        return true;
    }
    if (m_drawingTool == DrawingTool::polygon || m_drawingTool == DrawingTool::polyline
        || m_drawingTool == DrawingTool::text)
        return true;
    if (!creationStart)
        return false;
    if (creationOriginals.isEmpty()) {
        creationStart.reset();
        return false;
    }
    QList<QPair<int, PlmEntity>> current;
    bool changed = false;
    for (const auto& [index, original] : creationOriginals) {
        if (index < 0 || index >= m_map.entities.size())
            continue;  // the map lost that entity meanwhile: nothing to report for it
        const PlmEntity& now = m_map.entities.at(index);
        current.append({index, now});
        if (!(now == original))
            changed = true;
    }
    creationOriginals.clear();
    creationStart.reset();
    resizingCorner.reset();
    movingVertex.reset();
    if (changed && onCreationEdit)
        onCreationEdit(current, QStringLiteral("Modifier les entités"));
    return true;
}
