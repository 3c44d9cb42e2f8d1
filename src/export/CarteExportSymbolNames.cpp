#include "export/CarteExportSymbolNames.h"

#include "canvas/VectorCanvas.h"
#include "export/CarteExportComposition.h"
#include "model/PlmRepresentation.h"
#include "canvas/ProportionalShape.h"

#include <algorithm>

namespace {

bool isSystemSymbol(const ProportionalShape& shape)
{
    return shape.nativeSymbol.has_value() || shape.nativeSymbolUnavailable;
}

} // namespace

QStringList exportSFSymbolNames(CarteExportComposition& composition)
{
    const QList<PlmDecorationObject> objects = composition.decorationObjects();
    VectorCanvas* vector = composition.mapView();

    // Shown shapes: those of the views, then of the objects' own symbols, then of the map's
    // visible point symbols.
    bool shown = false;
    for (const std::shared_ptr<const ProportionalShape>& shape : composition.shownSymbolShapes())
        shown = shown || (shape && isSystemSymbol(*shape));
    for (const PlmDecorationObject& object : objects) {
        if (shown)
            break;
        if (object.symbol)
            shown = isSystemSymbol(ProportionalShape(*object.symbol, false));
    }
    const PlmEntityList leaves = vector ? PlmEntity::visibleLeafEntities(vector->map().entities) : PlmEntityList();
    if (!shown && vector) {
        for (const PlmEntity& leaf : leaves) {
            if (std::shared_ptr<const ProportionalShape> shape = vector->pointShape(leaf); shape && isSystemSymbol(*shape)) {
                shown = true;
                break;
            }
        }
    }
    if (!shown)
        return {};

    QStringList names;
    if (const std::optional<PlmWork> work = composition.work(); work && work->thematic) {
        const PlmThematicSettings& t = *work->thematic;
        const PlmRepresentation r = t.representation.value_or(PlmRepresentation::aplats);
        if (isSymbolsOnly(r) && t.proportional && t.proportional->sfSymbolName)
            names << *t.proportional->sfSymbolName;
        if (hasSecondLayer(r) && t.secondSymbols && t.secondSymbols->symbols.sfSymbolName)
            names << *t.secondSymbols->symbols.sfSymbolName;
    }
    for (const PlmEntity& leaf : leaves)
        if (leaf.pointSymbol && leaf.pointSymbol->sfSymbolName)
            names << *leaf.pointSymbol->sfSymbolName;
    for (const PlmDecorationObject& object : objects)
        if (object.symbol && object.symbol->sfSymbolName)
            names << *object.symbol->sfSymbolName;
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}
