#include "canvas/VectorCanvas.h"
#include "page/CarteBlockHandles.h"
#include "model/PlmJson.h"
#include "support/DecorationTestPage.h"
#include "support/PresentationTestSupport.h"
#include "support/ShownPixels.h"

#include <QDir>
#include <QImage>
#include <QWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

using namespace DecorationTestSupport;

namespace {

// A WGS84 base map of a few degrees, so that a scale bar measures and the north is known.
PlmMap geographicMap()
{
    PlmEntityList entities;
    for (int i = 0; i < 4; ++i) {
        const double x = 2 + i, y = 44 + (i % 2);
        entities.append(CanvasTestMaps::squareEntity(QStringLiteral("e%1").arg(i), x, y, x + 0.9, y + 0.9,
                                                     PlmColor{0.75, 0.85, 0.95, 1}, 0.5));
    }
    return CanvasTestMaps::mapOf(entities, {{QStringLiteral("coordinates"),
                                             QStringLiteral("longitude/latitude WGS84 (sans reprojection)")}});
}

// A small drawing of vector paths, as an imported SVG symbol is.
PlmMap svgSymbol()
{
    PlmVectorPath path;
    path.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({40, 0}), PlmPathCommand::line({20, 30}),
                     PlmPathCommand::close()};
    PlmEntity entity = CanvasTestMaps::squareEntity(QStringLiteral("s"), 0, 0, 40, 30, PlmColor{0.2, 0.6, 0.2, 1}, 0);
    entity.geometry = PlmGeometry::path(path);
    return CanvasTestMaps::mapOf({entity});
}

int inkedPixels(const QImage& image, const QRectF& yUp, double pixelRatio)
{
    const QRect r = QRectF(yUp.left() * pixelRatio, image.height() - yUp.bottom() * pixelRatio,
                           yUp.width() * pixelRatio, yUp.height() * pixelRatio)
                        .toAlignedRect()
                        .intersected(image.rect());
    int count = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixelColor(x, y).lightness() < 235)
                ++count;
    return count;
}

} // namespace

// Every kind added from the menu's entry point, placed on a grid and drawn with the page.
// PELMORA_RENDER_DIR keeps the picture for a look.
TEST(DecorationPageRender, EveryKindIsDrawnWhereItIsPlaced)
{
    PlmWork work;
    work.map = geographicMap();
    DecorationTestPage t(work, QSizeF(900, 620));
    QTemporaryDir dir;
    QImage logo(120, 60, QImage::Format_ARGB32);
    logo.fill(QColor(40, 120, 200));
    const QString logoPath = dir.filePath(QStringLiteral("logo.png"));
    ASSERT_TRUE(logo.save(logoPath));

    for (PlmDecorationKind kind : allPlmDecorationKinds()) {
        if (kind == PlmDecorationKind::image)
            t.controller->importImage(logoPath, kind);
        else if (kind == PlmDecorationKind::svg)
            t.controller->addSVGSymbol(svgSymbol(), QStringLiteral("Bloc"));
        else if (kind == PlmDecorationKind::sfSymbol)
            t.controller->addSFSymbol(QStringLiteral("star.fill"));
        else
            t.controller->addObject(kind);
        t.controller->commitTextEdit();
    }
    EXPECT_TRUE(t.document.alerts.isEmpty()) << t.document.alerts.join(' ').toStdString();
    EXPECT_TRUE(t.document.errors.isEmpty()) << t.document.errors.join(' ').toStdString();
    ASSERT_EQ(t.decoration().objects.size(), allPlmDecorationKinds().size());

    // A 5 × 3 grid of cells; shapes get a visible fill and outline.
    PlmDecoration decoration = t.decoration();
    for (qsizetype i = 0; i < decoration.objects.size(); ++i) {
        PlmDecorationObject& o = decoration.objects[i];
        o.width = std::min(o.width, 170.0);
        o.height = std::min(o.height, 150.0);
        o.position = PlmPoint{10 + (i % 5) * 178.0, 620 - 200 - (i / 5) * 200.0};
        o.presentation.positionInPoints = true;
        if (o.kind == PlmDecorationKind::rectangle || o.kind == PlmDecorationKind::ellipse)
            o.presentation.background = PlmColor{0.95, 0.8, 0.3, 1};
    }
    t.document.work.decoration = decoration;
    t.controller->syncObjectViews();
    t.controller->select(decoration.objects.at(7).id, false);  // the rectangle shows its handles

    const QImage image = t.h.canvas->renderToImage(1.0);
    if (const QString keep = qEnvironmentVariable("PELMORA_RENDER_DIR"); !keep.isEmpty()) {
        image.save(QDir(keep).filePath(QStringLiteral("decoration-page.png")));
        QWidget* bar = t.controller->bar();
        bar->resize(260, bar->sizeHint().height());
        bar->grab().save(QDir(keep).filePath(QStringLiteral("decoration-inspector.png")));
        t.controller->select(decoration.objects.at(0).id, false);
        bar->resize(260, bar->sizeHint().height());
        bar->grab().save(QDir(keep).filePath(QStringLiteral("decoration-inspector-text.png")));
        t.controller->select(decoration.objects.at(7).id, false);
    }
    for (DecorationObjectView* view : t.controller->objectViews()) {
        SCOPED_TRACE(rawValue(view->object.kind).toStdString());
        EXPECT_GT(inkedPixels(image, view->frame().adjusted(4, 4, -4, -4), 1.0), 40);
    }
    // Saved and read again, every element is found as placed.
    EXPECT_EQ(PlmJson::decode<PlmWork>(PlmJson::encode(t.document.work)), t.document.work);
    // The scale bar measured a ground length on this framing.
    for (DecorationObjectView* view : t.controller->objectViews())
        if (view->object.kind == PlmDecorationKind::scale) {
            EXPECT_TRUE(view->measureScale().has_value());
        }
}

// Moving or turning an element on the shown page repaints all it covered: shadows, rotated
// corners and the map block's handles leave nothing behind on screen.
TEST(DecorationPageRender, MovesLeaveNothingBehindOnScreen)
{
    PlmDecorationObject turned = placed(QStringLiteral("r"), PlmDecorationKind::rectangle, 80, 60, 160, 50);
    changeEditingStyle(turned.presentation, [](PlmEditingStyle& s) { s.rotation = 40; });
    // A tall page in a wide window: the block's handles can stand beside the page.
    DecorationTestPage t(workWith({turned}), {300, 400});
    CompositionTestSupport::resizeWidget(*t.h.widget, 700, 424);
    ThematicLegend* legend = t.h.canvas->legend();
    legend->setTitle(QStringLiteral("Population"));
    legend->setLabels({QStringLiteral("moins de 10"), QStringLiteral("10 et plus")});
    legend->setColors({PlmColor{0.9, 0.8, 0.5, 1}, PlmColor{0.7, 0.3, 0.1, 1}});
    PlmPresentation shadowed = legend->presentation();
    changeEditingStyle(shadowed, [](PlmEditingStyle& s) {
        s.shadow = true;
        s.shadowX = 14;
        s.shadowY = -14;
        s.shadowColor = PlmColor{0, 0, 0, 1};
    });
    legend->setPresentation(shadowed);
    auto* handles = new CarteBlockHandles(t.h.canvas);
    t.h.canvas->addSubview(handles);
    t.h.canvas->layoutComposition();
    handles->setSelected(true);
    t.h.widget->show();
    ASSERT_EQ(ShownPixels::staleCount(*t.h.widget), 0);

    const struct {
        const char* name;
        std::function<void()> change;
    } rows[] = {
        {"legend with a shadow", [&] { legend->setFrame(legend->frame().translated(40, 30)); }},
        {"turned rectangle", [&] {
             DecorationObjectView* view = t.view(QStringLiteral("r"));
             view->setFrame(view->frame().translated(-30, 60));
         }},
        {"map block beside the page", [&] {
             for (int i = 0; i < 12; ++i)  // Shift-Left: 10 points
                 handles->keyDown({Qt::Key_Left, QString(), Qt::ShiftModifier, false});
         }},
        {"block handles hidden", [&] { handles->setSelected(false); }},
    };
    for (const auto& row : rows) {
        row.change();
        EXPECT_EQ(ShownPixels::staleCount(*t.h.widget), 0) << row.name;
    }
}
