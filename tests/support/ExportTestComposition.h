#pragma once

// A composition assembled for the export writers' tests: a canvas (painted in a dark "theme"
// colour on screen) holding a map view, a symbol overlay, a legend, layout objects, the page
// guide and an open text editor, answering what the writers ask of the Carte pane's canvas.

#include "support/CanvasTestMaps.h"
#include "canvas/VectorCanvas.h"
#include "page/DecorationDrawing.h"
#include "page/LegendDrawing.h"
#include "page/LegendLayout.h"
#include "export/CarteExportComposition.h"
#include "export/PlmExportSize.h"
#include "export/SFExportPDFRenderer.h"
#include "model/PlmOutlineTitle.h"
#include "desktop/ViewNode.h"
#include "canvas/ProportionalShape.h"

#include <QPainter>

#include <memory>

namespace ExportTest {

inline QColor qcolor(const PlmColor& c) { return QColor::fromRgbF(c.red, c.green, c.blue, c.alpha); }

// A point symbol drawn with an SF Symbol this computer does not have.
inline std::shared_ptr<ProportionalShape> unavailableSymbolShape()
{
    PlmProportionalSettings s;
    s.kind = PlmSymbolKind::sfSymbol;
    s.sfSymbolName = QStringLiteral("figure.walk");
    return std::make_shared<ProportionalShape>(s, false);
}

// The canvas: its background follows the desktop theme on screen and is white while exporting.
class Canvas : public ViewNode {
public:
    bool exporting = false;
    QColor themeBackground{40, 40, 44};
    void draw(QPainter& painter, const QRectF&) override
    {
        painter.fillRect(bounds(), exporting ? QColor(Qt::white) : themeBackground);
    }
};

class Legend : public ViewNode {
public:
    LegendData data;
    bool selected = false;
    void draw(QPainter& painter, const QRectF&) override
    {
        LegendData d = data;
        d.size = bounds().size();
        drawLegendContent(painter, d, false, selected, QColor(0, 122, 255));
    }
};

class Object : public ViewNode {
public:
    explicit Object(const PlmDecorationObject& o)
        : object(o)
    {
    }
    PlmDecorationObject object;
    bool selected = false;
    void draw(QPainter& painter, const QRectF&) override
    {
        DecorationDrawingContext context;
        context.selected = selected;
        drawDecorationObject(painter, object, bounds().size(), context);
    }
};

// Proportional symbols at view points of the map view (the overlay covers it exactly).
class Overlay : public ViewNode {
public:
    struct Item {
        QString id;
        QPointF point;
        double size = 0;
    };
    std::shared_ptr<const ProportionalShape> shape;
    PlmColor color{0.8, 0.18, 0.16, 1};
    QList<Item> items;
    std::optional<QString> selectedID;
    void draw(QPainter& painter, const QRectF&) override
    {
        if (!shape)
            return;
        for (const Item& item : items) {
            shape->draw(painter, item.point, item.size, color, 1);
            if (selectedID == item.id) {
                painter.setPen(QPen(QColor(0, 122, 255), 2));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(QRectF(item.point.x() - item.size / 2 - 3, item.point.y() - item.size / 2 - 3,
                                        item.size + 6, item.size + 6));
            }
        }
    }
};

// Marks that must never reach a file.
class Marker : public ViewNode {
public:
    QColor color;
    void draw(QPainter& painter, const QRectF&) override { painter.fillRect(bounds(), color); }
};

class Composition : public CarteExportComposition {
public:
    // A 400 × 300 composition: a map of two squares filling it at scale 1, an overlay, a
    // legend at the right, a title at the top, the guide and a text editor.
    Composition()
    {
        root = std::make_unique<Canvas>();
        root->setFrame(QRectF(0, 0, 400, 300));
        PlmMap map = CanvasTestMaps::mapOf(
            {CanvasTestMaps::squareEntity(QStringLiteral("a"), 0, 0, 200, 300, PlmColor{0.9, 0.1, 0.1, 1}),
             CanvasTestMaps::squareEntity(QStringLiteral("b"), 200, 0, 400, 300, PlmColor{0.1, 0.2, 0.9, 1})});
        map.name = QStringLiteral("France");
        vector = new VectorCanvas(map, false, QString());
        vector->setFrame(QRectF(0, 0, 400, 300));
        vector->paintsBackground = false;
        vector->tracksFit = false;
        vector->fitted = true;
        vector->setScale(1);
        vector->setOffset(QPointF(0, 0));
        root->addSubview(vector);
        overlay = new Overlay;
        overlay->setFrame(QRectF(0, 0, 400, 300));
        root->addSubview(overlay);
        legend = new Legend;
        legend->data.title = QStringLiteral("Densité");
        legend->data.labels = {QStringLiteral("Faible"), QStringLiteral("Forte")};
        legend->data.colors = {PlmColor{0.9, 0.1, 0.1, 1}, PlmColor{0.1, 0.2, 0.9, 1}};
        legend->data.showsMissing = false;
        legend->setFrame(QRectF(280, 20, 110, 90));
        root->addSubview(legend);
        title = new Object(PlmDecorationObject(QStringLiteral("t1"), PlmDecorationKind::title,
                                               QStringLiteral("Carte de France")));
        title->setFrame(QRectF(20, 250, 200, 40));
        root->addSubview(title);
        guide = new Marker;
        guide->color = QColor(0, 255, 0);
        guide->setFrame(QRectF(0, 0, 40, 40));
        root->addSubview(guide);
        editor = new Marker;
        editor->color = QColor(255, 0, 255);
        editor->setFrame(QRectF(20, 250, 60, 40));
        title->addSubview(editor);
        editor->setFrame(QRectF(0, 0, 60, 40));
    }

    std::unique_ptr<Canvas> root;
    VectorCanvas* vector = nullptr;
    Overlay* overlay = nullptr;
    Legend* legend = nullptr;
    Object* title = nullptr;
    Marker* guide = nullptr;
    Marker* editor = nullptr;
    std::optional<PlmWork> storedWork;
    QList<bool> exportingChanges;
    // Adds a layout object's view on top, framed in canvas points; the view.
    Object* addObject(const PlmDecorationObject& object, const QRectF& frame)
    {
        auto* view = new Object(object);
        view->setFrame(frame);
        root->addSubview(view);
        return view;
    }
    // The objects' views in subview order.
    QList<Object*> objects() const
    {
        QList<Object*> list;
        for (ViewNode* v : root->subviews())
            if (auto* o = dynamic_cast<Object*>(v))
                list << o;
        return list;
    }

    ViewNode& canvas() override { return *root; }
    VectorCanvas* mapView() override { return vector; }
    ViewRole role(const ViewNode& view) const override
    {
        if (&view == vector)
            return ViewRole::map;
        if (&view == overlay)
            return ViewRole::symbols;
        if (&view == guide)
            return ViewRole::pageGuide;
        if (&view == editor)
            return ViewRole::textEditor;
        if (dynamic_cast<const Legend*>(&view))
            return ViewRole::legend;
        if (dynamic_cast<const Object*>(&view))
            return ViewRole::decoration;
        return ViewRole::plain;
    }
    void setExporting(bool exporting) override
    {
        root->exporting = exporting;
        exportingChanges << exporting;
    }
    CarteExportSelection selection() const override
    {
        CarteExportSelection s;
        s.mapIndex = vector->selectedIndex;
        s.symbolsID = overlay->selectedID;
        s.legend = legend->selected;
        for (Object* o : objects())
            s.decorations << o->selected;
        return s;
    }
    void setSelection(const CarteExportSelection& s) override
    {
        vector->selectedIndex = s.mapIndex;
        overlay->selectedID = s.symbolsID;
        legend->selected = s.legend;
        const QList<Object*> list = objects();
        for (int i = 0; i < list.size() && i < s.decorations.size(); ++i)
            list[i]->selected = s.decorations[i];
    }
    bool showsUnavailableSymbol() const override
    {
        return !overlay->isHidden() && overlay->shape && overlay->shape->nativeSymbolUnavailable;
    }
    QList<std::shared_ptr<const ProportionalShape>> shownSymbolShapes() const override
    {
        QList<std::shared_ptr<const ProportionalShape>> shapes;
        if (!overlay->isHidden() && overlay->shape)
            shapes << overlay->shape;
        if (!legend->isHidden() && legend->data.proportionalShape)
            shapes << legend->data.proportionalShape;
        return shapes;
    }
    QList<PlmDecorationObject> decorationObjects() const override
    {
        QList<PlmDecorationObject> list;
        for (Object* o : objects())
            list << o->object;
        return list;
    }
    std::optional<PlmWork> work() const override { return storedWork; }
    std::optional<PlmDecorationObject> decorationObject(const ViewNode& view) const override
    {
        if (auto* o = dynamic_cast<const Object*>(&view))
            return o->object;
        return std::nullopt;
    }
    QString legendTitle(const ViewNode& view) const override
    {
        auto* l = dynamic_cast<const Legend*>(&view);
        return l ? l->data.presentation.title.value_or(l->data.title) : QString();
    }
    QString outlineTitle(const ViewNode& view) const override
    {
        if (auto* o = dynamic_cast<const Object*>(&view))
            return PlmOutlineTitle::object(o->object);
        if (auto* l = dynamic_cast<const Legend*>(&view))
            return PlmOutlineTitle::legend(l->data.presentation, false);
        return {};
    }
    bool drawSymbolFallback(ViewNode& view, QPainter& painter, SFExportPDFRenderer& renderer) override
    {
        if (&view != overlay || !overlay->shape || !overlay->shape->nativeSymbol)
            return false;
        for (const Overlay::Item& item : overlay->items)
            renderer.drawSymbol(painter, overlay->shape, item.point, item.size, overlay->color);
        return true;
    }
};

// A page that shows a composition of `size` points at scale 1 from its origin: page points are
// composition points.
inline PlmExportSize compositionPage(const QSizeF& size, double margin = 0)
{
    PlmExportSize s;
    s.width = size.width() * 25.4 / 72;
    s.height = size.height() * 25.4 / 72;
    s.margin = margin;
    s.compositionOrigin = QPointF(0, 0);
    return s;
}

// The same for the 400 × 300 composition (page 141.1 × 105.8 mm).
inline PlmExportSize compositionPage(double margin = 0) { return compositionPage(QSizeF(400, 300), margin); }

} // namespace ExportTest
