#pragma once

#include "canvas/CanvasEntityCache.h"
#include "canvas/SymbolPictureCache.h"
#include "model/PlmBackgroundImage.h"
#include "model/PlmDecorationViewport.h"
#include "model/PlmMap.h"
#include "model/PlmPointSymbol.h"
#include "model/PlmStyle.h"
#include "model/PlmVectorPath.h"
#include "desktop/ViewContextMenu.h"
#include "desktop/ViewNode.h"

#include <QColor>
#include <QPen>
#include <QMenu>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTransform>

#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ProportionalShape;
class QWidget;
struct VectorCanvasLayers;

// Fill overrides by class: the entity with id keys[k] is coloured colours[classes[k]], or
// `missing` when that class is out of range; a later duplicate id wins, as in a hash built
// in this order. Empty `keys`: none given.
struct VectorCanvasFillClasses {
    QStringList keys;  // shared storage: the very same list while the map is the same
    QList<int> classes;
    QList<PlmColor> colours;
    PlmColor missing;
};

// The one vector map view: it frames, zooms and draws a base map and finds
// what lies under the pointer. View coordinates grow upward. It never changes
// a document: finished edits go out through the callbacks.
//
// Split by concern: VectorCanvas.cpp (state), VectorCanvasCoordinates.cpp
// (transform, fit, zoom), VectorCanvasDrawables.cpp (paths and point
// symbols), VectorCanvasDrawing.cpp (drawing), VectorCanvasLayers.cpp (the
// screen's pixel layers of the areas), VectorCanvasSelection.cpp and
// VectorCanvasHitTesting.cpp (selection, hit tests, map replacement),
// VectorCanvasMouse.cpp, VectorCanvasKeyboard.cpp,
// VectorCanvasVertexEditing.cpp, VectorCanvasDrawingTools.cpp and
// VectorCanvasCreation.cpp (interaction), VectorCanvasTextPrompt.cpp.
class VectorCanvas : public ViewNode {
public:
    enum class DrawingTool { selection, rectangle, ellipse, polygon, polyline, line, text, vertices, point };
    // The tool of a raw value 0…8, none outside.
    static std::optional<DrawingTool> drawingToolFromRaw(int raw);
    static QList<DrawingTool> allDrawingTools();

    using IndexPath = QList<int>;
    using EntityIDPath = QStringList;
    struct MovingName {
        QString id;
        PlmPoint origin;
    };
    struct NameLabel {
        QString id;
        PlmVectorPath path;  // view coordinates
    };

    VectorCanvas(const PlmMap& map, bool interactive, const QString& emptyText);
    ~VectorCanvas() override;

    bool acceptsFirstResponder() const override { return isInteractive; }

    // ---- State (fields in the order the owners know them) ----
    // Plain fields are read at the next draw: an owner that changes one asks
    // for it with setNeedsDisplay(). The setters below redraw by themselves.
    const PlmMap& map() const { return m_map; }
    // Stores the map, then runs mapDidChange with the previous one.
    void setMap(const PlmMap& map);

    QHash<QString, PlmColor> fillOverrides;
    // The same overrides by class (see VectorCanvasFillClasses), set by an owner that keeps
    // both in step, so that the screen layers recolour without reading the hash.
    VectorCanvasFillClasses fillClasses;
    bool showEntityNames = false;
    QString entityNameFontName = QStringLiteral("Helvetica");
    double entityNameFontSize = 12;
    QHash<QString, PlmPoint> entityNameAutomaticPositions;
    QHash<QString, PlmPoint> entityNamePositions;
    std::function<void(const QString&, const PlmPoint&)> onEntityNameMove;
    std::optional<MovingName> movingEntityName;
    QSet<QString> hiddenEntityIDs;
    QSet<QString> lockedEntityIDs;
    bool isInteractive = false;
    QString emptyText;
    std::optional<int> selectedIndex;
    std::function<void(int, const PlmEntity&, const QString&)> onEntityEdit;
    std::function<void(bool)> onEditingGroup;
    std::optional<IndexPath> editingGroup;
    std::optional<IndexPath> keyboardPath;
    std::optional<IndexPath> movingPath;
    std::optional<PlmEntity> movingOriginal;
    std::function<void(const EntityIDPath&)> onStudioObjectSelection;
    bool creationEnabled = false;
    DrawingTool drawingTool() const { return m_drawingTool; }
    void setDrawingTool(DrawingTool tool);
    std::function<void()> onDrawingToolChange;
    PlmStyle creationStyle;
    std::optional<PlmPointSymbol> pendingPointSymbol;
    bool usesSFExportFallback = false;
    QHash<QString, std::shared_ptr<const ProportionalShape>> pointShapes;
    QSet<QString> creationSelection;
    bool showsGrid = false;
    bool snapsToGrid = false;
    double gridStep = 20;
    std::function<void(const PlmGeometry&, const QString&)> onCreate;
    std::function<void(const QSet<QString>&, const std::optional<QString>&)> onSelectionSet;
    std::function<void(const QList<QPair<int, PlmEntity>>&, const QString&)> onCreationEdit;
    std::function<void(const QString&)> onCreationCommand;
    QList<PlmPoint> drawingPoints;
    std::optional<PlmPoint> drawingEnd;
    QList<QPair<int, PlmEntity>> creationOriginals;
    std::optional<PlmPoint> creationStart;
    std::optional<QRectF> creationBox;
    std::optional<int> resizingCorner;
    std::optional<int> movingVertex;
    bool rendersForExport = false;
    // Simple rings drawn from their points in one call, and wide strokes in
    // images as filled pieces (CanvasStrokeOutline); off, every leaf goes
    // through Qt's path fill and stroker (only to compare the pictures).
    bool usesFastDrawing = true;
    std::optional<PlmPoint> vertexMenuPoint;
    std::optional<int> vertexMenuIndex;
    std::function<void(std::optional<int>)> onSelection;
    QTransform blockTransform;
    // How much a block transform enlarges what is drawn through it, the symbols over the map
    // included: the square root of its area factor, so a stretched block keeps their areas.
    static double blockScale(const QTransform& block);
    bool rendersOriginalBlock = false;
    std::function<void(double, const QPointF&)> onCompositionZoom;
    std::function<void(const QPointF&)> onCompositionPan;
    std::function<void(const QRectF&)> onCompositionZoomRect;
    std::function<void()> onViewportChange;
    double scale() const { return m_scale; }
    void setScale(double scale);  // reports onViewportChange
    QPointF offset() const { return m_offset; }
    void setOffset(const QPointF& offset);  // reports onViewportChange
    std::optional<QRectF> fitRegion;
    bool fitted = false;
    bool tracksFit = true;
    // Fits made so far, so that a caller can tell the layout pass has just fitted the map.
    quint64 fitCount() const { return m_fitCount; }
    std::optional<QRectF> zoomRectangle;
    QPointF down;
    QPointF previous;
    bool dragged = false;
    std::optional<QRectF> compositionReferenceBounds;
    const std::optional<PlmBackgroundImage>& backgroundImage() const { return m_backgroundImage; }
    // Stores the image, then runs backgroundImageDidChange with the previous one.
    void setBackgroundImage(const std::optional<PlmBackgroundImage>& image);
    std::optional<QImage> backgroundBitmap;
    bool paintsBackground = true;

    // ---- Coordinates, viewport, fit and zoom ----
    QPointF viewPoint(const QPointF& mapPoint) const;
    QPointF mapPoint(const QPointF& viewPoint) const;
    // Map units → view: the y-axis sign, scale, offset and (unless
    // rendersOriginalBlock) the block transform.
    QTransform mapToViewTransform() const;
    double yAxisSign() const { return m_yAxisSign; }
    PlmDecorationViewport currentViewport() const;
    void apply(const PlmDecorationViewport& viewport);
    void fit(bool resettingFitRegion);
    void zoom(double factor, std::optional<QPointF> around = std::nullopt);
    void layout() override;
    void scrollWheel(const ViewWheelEvent& event) override;
    void magnify(const ViewMagnifyEvent& event) override;
    // The mouse-up of creation mode; true when it consumed the event.
    bool finishCreationGesture();
    // The fit region that a map's "source.category" asks for.
    static std::optional<QRectF> defaultFitRegion(const PlmMap& map);

    // ---- Drawables ----
    PlmVectorPath path(const PlmGeometry& geometry, const QMap<QString, QString>& attributes) const;
    double pointRadiusInView(const PlmEntity& entity) const;
    std::shared_ptr<const ProportionalShape> pointShape(const PlmEntity& entity);
    // The class colour of a leaf is its top-level entity's: `classID` names that entity
    // (the entity's own id when absent).
    PlmColor pointSymbolColor(const PlmEntity& entity, const QString* classID = nullptr) const;
    void appendRing(const QList<PlmPoint>& ring, bool closing, PlmVectorPath& path) const;
    void appendPolygon(const PlmPolygon& polygon, PlmVectorPath& path) const;
    // Whether a point entity's radius is in map units.
    static bool usesMapUnitRadius(const PlmEntity& entity);

    // ---- Drawing ----
    void draw(QPainter& painter, const QRectF& dirty) override;
    std::optional<QRectF> backgroundImageViewRect() const;
    void backgroundImageDidChange(const std::optional<PlmBackgroundImage>& previous);
    QList<NameLabel> entityNameLabels();
    std::optional<QString> entityNameLabel(const QPointF& viewPoint);
    QRectF originalBlockBounds();
    void drawEditingGroupFrame(QPainter& painter);
    // Colours of the view; owners may change them (the defaults follow the
    // application palette).
    QColor backgroundColor;
    QColor secondaryLabelColor;
    QColor accentColor;

    // ---- Selection and hit testing ----
    std::optional<PlmEntity> entity(const IndexPath& path) const;
    bool isPathVisible(const IndexPath& path) const;
    bool isEditable(const IndexPath& path, bool includingHidden) const;
    std::optional<IndexPath> indexPath(const EntityIDPath& idPath) const;
    std::optional<EntityIDPath> selectedEntityIDPath() const;
    bool select(const EntityIDPath& idPath);
    void clearSelection();
    void replaceEntity(const IndexPath& path, const PlmEntity& entity);
    bool hits(const PlmEntity& entity, const QPointF& viewPoint);
    std::optional<IndexPath> indexPath(const QPointF& viewPoint);
    std::optional<PlmPoint> entityNameAnchor(const PlmEntity& entity);
    std::optional<NameLabel> entityNameLabel(const PlmEntity& entity);
    // The same label as a drawable; with `visible`, an empty path for a label
    // that cannot reach that rectangle.
    std::optional<QPainterPath> entityNameLabelPath(const PlmEntity& entity, const QRectF* visible);
    void rebuildVisibilitySets();
    void mapDidChange(const PlmMap& previous);
    // Indices, ascending, of the top-level entities whose id is in the set;
    // a few ids are looked up, not matched against every entity.
    QList<int> topLevelIndices(const QSet<QString>& ids);

    // ---- Mouse (events in y-up view coordinates) ----
    void mouseDown(const ViewMouseEvent& e) override;
    void mouseDragged(const ViewMouseEvent& e) override;
    void mouseUp(const ViewMouseEvent& e) override;
    // A secondary click: the vertex menu, else the superview's handling.
    void rightMouseDown(const ViewMouseEvent& e) override;
    // Makes the view its host's first responder.
    void becomeFirstResponder();

    // A modal question with one text field: the typed text when the first
    // button is chosen, else none. Tests install promptForText; without it
    // the dialog of runTextDialog is shown.
    struct TextPrompt {
        QString message;
        QString text;
        QStringList buttons;
    };
    std::function<std::optional<QString>(const TextPrompt&)> promptForText;
    static std::optional<QString> runTextDialog(const TextPrompt& prompt, QWidget* parent);
    std::optional<QString> askText(const TextPrompt& prompt);
    // The text dialog of a double-click on a text entity at the path.
    void editText(const IndexPath& path);

    // ---- Keyboard and vertex editing ----
    void keyDown(const ViewKeyEvent& e) override;
    // The map delta of a move of (dx, dy) view points.
    QPointF mapDelta(double dx, double dy) const;
    enum class VertexMenu { inherited, none, shown };
    // Records vertexMenuPoint and vertexMenuIndex for a secondary click at a
    // view point and tells which menu applies.
    VertexMenu vertexMenu(const QPointF& viewPoint);
    static QString insertVertexTitle() { return QStringLiteral("Insérer un sommet ici"); }
    static QString deleteVertexTitle() { return QStringLiteral("Supprimer le sommet proche"); }
    void editVertex(bool insert);
    // Distance in map units from p to the segment from points[segment] to the
    // next point (the first one after the last).
    static double segmentDistance(const PlmPoint& p, int segment, const QList<PlmPoint>& points);
    // Points of a polyline or the exterior ring of a polygon; none otherwise.
    static QList<PlmPoint> editableVertices(const PlmGeometry& geometry);
    // The point on the grid when snapping is on (halves away from zero).
    PlmPoint snapped(const PlmPoint& p) const;

    // ---- Drawing tools ----
    void drawingToolDidChange();
    std::optional<PlmGeometry> drawingGeometry() const;
    void finishDrawing();
    void makeTextGeometry(const PlmPoint& at, const QString& text);
    QRectF creationSelectionBounds();
    void drawCreationOverlay(QPainter& painter);
    // The distance between drawn grid lines, in map units.
    static double gridSpacing(double step, double scale);
    // The name of an entity created by a shape tool.
    static QString drawingName(DrawingTool tool);

    // ---- Creation ----
    bool creationMouseDown(const ViewMouseEvent& e);
    bool creationMouseDragged(const ViewMouseEvent& e);
    // Ids of the top-level entities of a creation group, in map order.
    QStringList creationGroupMembers(const QString& group) const;
    static QString creationGroupKey() { return QStringLiteral("studio.creation.group"); }

    // Paths in map units and bounds, kept between draws.
    CanvasEntityCache& entityCache() { return m_cache; }

    // On screen, the areas are kept as pixel layers (VectorCanvasLayers.h), so
    // that a change of their colours draws no geometry again; off, every
    // frame draws the vectors (only to compare the pictures).
    bool usesScreenLayers = true;
    // A pan or zoom showed the last picture moved; it is drawn sharp again
    // once the view rests.
    bool hasPendingRefinement() const;
    // How many times the layers were drawn from the geometry (for tests and benchmarks).
    int layerRenderCount() const;

private:
    // After one top-level entity changed in place: the work of mapDidChange
    // for that entity alone, so that a live edit costs the same on any map.
    // Gives the view rectangle to redraw, or none when the whole view must be.
    std::optional<QRectF> entityDidChange(int index, const PlmMap& previous);
    std::optional<QRectF> liveEditRect(const std::optional<QRectF>& before, const CanvasEntry& after);
    void moveCreationCapture(const PlmPoint& p);
    // Whether the entity at movingPath is still the one the drag began on.
    bool movedEntityStillThere() const;
    void drawGrid(QPainter& painter);
    void drawEntities(QPainter& painter, const QRectF& dirty);
    // The entities from the screen layers; false when they must be drawn directly.
    bool drawLayered(QPainter& painter, const QRectF& dirty);
    bool renderLayers(const QTransform& device, const QRect& rect, const QTransform& world);
    void drawSelectedGroupFrame(QPainter& painter);
    // What drawLeaf carries from one leaf to the next: one per painter, so that bands of an
    // image can be drawn on threads of their own.
    struct LeafDrawing {
        std::optional<PlmStyle> lastPenStyle;
        QPen lastPen;
        double strokeOutlineScale = 0;  // device pixels per unit of the pen, 0: Qt strokes
        bool drawsVectors = false;  // the painter writes paths (PDF), not pixels
        bool copiesPaths = false;  // shared cached paths are copied before Qt sees them
        QPainterPath strokePieces;  // reused from one stroke to the next
    };
    void drawLeaf(QPainter& painter, const QTransform& world, const CanvasLeaf& leaf, bool selectedSingle,
                  const QString& classID, LeafDrawing& state);
    bool drawEntityBands(QPainter& painter, const QTransform& mapT, double margin);
    void drawPointSymbol(QPainter& painter, const PlmEntity& leaf, const ProportionalShape& shape, bool selectedSingle);
    QPen strokePen(const PlmStyle& style, bool selectedSingle, double factor) const;
    void drawNameLabelOutlines(QPainter& painter, const QRectF& visible);
    void drawNameLabelGlyphs(QPainter& painter, const QRectF& visible);
    bool hitsLeaf(const CanvasLeaf& leaf, const QPointF& viewPoint, const QTransform& toView);
    bool hitsCachedEntity(int index, const QPointF& viewPoint, const QTransform& toView);
    static std::optional<PlmEntity> entityAt(const PlmEntityList& entities, const IndexPath& path);
    static EntityIDPath idPathAlong(const PlmMap& map, const IndexPath& path);

    PlmMap m_map;
    double m_yAxisSign = 1;
    // The extent of the map's shapes other than texts (in view orientation), kept for the
    // entities it was measured on: every layout of a fitted view fits again, and walking two
    // million points each time is the bulk of a fit.
    struct ShapeExtent {
        PlmEntityList entities;
        double yAxisSign = 1;
        double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
        bool any = false;
        std::vector<qsizetype> textEntities; // top-level entities holding texts
    };
    std::optional<ShapeExtent> m_shapeExtent;
    // The first index of each top-level id, for the entities it was made from: the outline
    // asks for every row it paints, and searching a large map for each was most of that paint.
    // The first lookup in a new list searches it; the next ones index it once.
    struct TopLevelIndex {
        PlmEntityList entities;
        QHash<QString, qsizetype> first;
        bool built = false;
    };
    mutable std::optional<TopLevelIndex> m_topLevelIndex;
    qsizetype topLevelIndexOf(const QString& id) const;
    DrawingTool m_drawingTool = DrawingTool::selection;
    double m_scale = 1;
    QPointF m_offset;
    quint64 m_fitCount = 0;
    std::optional<PlmBackgroundImage> m_backgroundImage;
    CanvasEntityCache m_cache;
    std::unique_ptr<VectorCanvasLayers> m_layers;
    // originalBlockBounds() scans every entity; the block editor's fields and
    // handles ask for it on each drag step, while only the block transform moves.
    struct BlockBoundsMemo {
        quint64 revision = 0;
        double scale = 0;
        QPointF offset;
        double yAxisSign = 0;
        QRectF bounds;
    };
    std::optional<BlockBoundsMemo> m_blockBoundsMemo;
    // Per-frame drawing state.
    int m_detailLevel = 0;
    LeafDrawing m_leafDrawing;
    ViewContextMenu m_vertexMenu;
    // Rasterized point symbols of the export fallback, one per glyph and colour, so that a
    // file embeds each image once; bounded in count.
    SymbolPictureCache m_symbolPictures{256};
    QHash<QString, int> m_topLevelIndexByID;  // first index of each id, built on demand
    bool m_topLevelIndexValid = false;
    bool m_topLevelIDsUnique = true;
};
