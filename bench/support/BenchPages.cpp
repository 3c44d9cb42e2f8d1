#include "support/BenchPages.h"

#include "canvas/VectorCanvas.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "model/PlmPaletteRamps.h"

namespace BenchPages {

void layOutLargeChoropleth(ThematicCanvas& canvas, const PlmWork& work, QSizeF size)
{
    canvas.compositionSize = size;
    canvas.setFrame(QRectF(QPointF(0, 0), size));
    canvas.layoutComposition();
    const PlmThematicSettings settings = *work.thematic;
    const QStringList keys = work.thematicClassKeys(settings);
    const QList<PlmColor> colours = classColors(settings, keys);
    QHash<QString, PlmColor> fills;
    for (const PlmEntity& entity : work.map.entities)
        if (std::optional<int> index = work.thematicClassIndex(entity.id, settings, keys); index && *index < colours.size())
            fills.insert(entity.id, colours[*index]);
    canvas.vector()->fillOverrides = fills;
    canvas.legend()->setTitle(QStringLiteral("Variable 1"));
    QStringList labels;
    for (int i = 0; i < keys.size(); ++i)
        labels.append(QStringLiteral("Classe ") + QString::number(i + 1));
    canvas.legend()->setLabels(labels);
    canvas.legend()->setColors(colours);
    canvas.layoutComposition();
}

} // namespace BenchPages
