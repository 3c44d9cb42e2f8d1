#include "export/SvgCompositionExport.h"

#include "canvas/VectorCanvas.h"
#include "page/DecorationObjectView.h"
#include "page/ThematicLegend.h"
#include "export/CarteExportComposition.h"
#include "export/CarteExportScope.h"
#include "export/CarteExportSymbolNames.h"
#include "export/SVGCarteExport.h"
#include "model/PlmErrors.h"
#include "desktop/ViewNode.h"
#include "canvas/ProportionalOverlay.h"

#include <QCoreApplication>
#include <QThread>

namespace {

SvgSymbolSeries seriesOf(const ProportionalOverlay& overlay)
{
    SvgSymbolSeries series;
    series.shape = overlay.sharedShape();
    series.color = overlay.color();
    const QList<ProportionalOverlay::Item> items = overlay.visibleItems();
    series.items.reserve(items.size());
    for (const ProportionalOverlay::Item& item : items)
        series.items.append(SvgSymbolItem{item.id, item.size, item.point});
    return series;
}

} // namespace

SvgComposition SvgCompositionExport::compositionOf(CarteExportComposition& composition)
{
    using Role = CarteExportComposition::ViewRole;
    ViewNode& canvas = composition.canvas();
    VectorCanvas* map = composition.mapView();
    SvgComposition result;
    result.size = canvas.bounds().size();
    result.title = map ? map->map().name : QString();
    for (ViewNode* view : canvas.subviews()) {
        if (view->isHidden())
            continue;
        // Editing aids (page guide, alignment guides, block handles, text editor) get neither a
        // group nor a clip: the clip numbering follows what is drawn.
        const Role role = composition.role(*view);
        if (role == Role::pageGuide || role == Role::textEditor)
            continue;
        SvgCompositionView item;
        item.frame = view->frame();
        item.bounds = view->bounds();
        switch (role) {
        case Role::map:
            item.vector = dynamic_cast<VectorCanvas*>(view);
            item.kind = item.vector ? SvgCompositionView::Kind::map : SvgCompositionView::Kind::other;
            break;
        case Role::symbols:
            if (auto* overlay = dynamic_cast<ProportionalOverlay*>(view)) {
                item.kind = SvgCompositionView::Kind::symbols;
                item.vector = overlay->vector ? overlay->vector : map;
                item.series = seriesOf(*overlay);
                if (const ProportionalOverlay* partner = overlay->concentricPartner())
                    item.partner = seriesOf(*partner);
                item.partnerInFront = overlay->partnerInFront();
            }
            break;
        case Role::legend:
            if (auto* legend = dynamic_cast<ThematicLegend*>(view)) {
                item.kind = SvgCompositionView::Kind::legend;
                item.legend = legend->legendData();
                item.legend.size = view->bounds().size();
            }
            break;
        case Role::decoration:
            if (std::optional<PlmDecorationObject> object = composition.decorationObject(*view)) {
                item.kind = SvgCompositionView::Kind::decoration;
                item.object = *object;
                if (auto* objectView = dynamic_cast<DecorationObjectView*>(view)) {
                    // The scale bar and the north arrow read what the view itself draws on screen,
                    // in PNG and in PDF.
                    item.context = objectView->pageContext();
                    objectView->syncLegendCopy();
                    item.context.legend = objectView->legendCopy;
                }
            }
            break;
        case Role::plain:
        case Role::pageGuide:
        case Role::textEditor:
            break;
        }
        result.views.append(std::move(item));
    }
    result.sfSymbolNames = exportSFSymbolNames(composition);
    return result;
}

PlmExportResult SvgCompositionExport::exportSVG(CarteExportComposition& composition, const PlmExportSize& size)
{
    Q_ASSERT(!QCoreApplication::instance() || QThread::currentThread() == QCoreApplication::instance()->thread());
    ViewNode& canvas = composition.canvas();
    canvas.layoutSubtreeIfNeeded();
    CarteExportScope scope(composition);
    size.validate();
    const QRectF bounds = canvas.bounds();
    if (!(bounds.width() > 0) || !(bounds.height() > 0))
        throw PlmWorkError::invalid(QStringLiteral("La carte n’a pas encore de cadrage visible."));
    canvas.layoutSubtreeIfNeeded();
    const PlmExportSize::Placement placement = size.placement(bounds.width(), bounds.height());
    SvgPage page;
    page.width = size.width;
    page.height = size.height;
    page.margin = size.margin;
    page.scale = placement.scale;
    page.offsetX = placement.offsetX;
    page.offsetY = placement.offsetY;
    SVGCarteExport writer(compositionOf(composition), page);
    return writer.makeDocument();
}
