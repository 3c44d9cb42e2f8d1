#include "support/BenchPages.h"

#include "canvas/VectorCanvas.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "model/PlmPaletteRamps.h"

#include <future>

namespace BenchPages {

namespace {

struct Classes {
    QStringList keys;
    QList<PlmColor> colours;
    QHash<QString, PlmColor> fills;
};

// The entities' class colours: model data only, read from the work without changing it.
Classes classesOf(const PlmWork& work)
{
    Classes out;
    const PlmThematicSettings settings = *work.thematic;
    out.keys = work.thematicClassKeys(settings);
    out.colours = classColors(settings, out.keys);
    out.fills.reserve(work.map.entities.size());
    for (const PlmEntity& entity : work.map.entities)
        if (std::optional<int> index = work.thematicClassIndex(entity.id, settings, out.keys);
            index && *index < out.colours.size())
            out.fills.insert(entity.id, out.colours[*index]);
    return out;
}

} // namespace

void layOutLargeChoropleth(ThematicCanvas& canvas, const PlmWork& work, QSizeF size)
{
    // The classes do not depend on the page: found on another core while the map is fitted.
    std::future<Classes> pending = std::async(std::launch::async, classesOf, std::cref(work));
    canvas.compositionSize = size;
    canvas.setFrame(QRectF(QPointF(0, 0), size));
    canvas.layoutComposition();
    const Classes classes = pending.get();
    canvas.vector()->fillOverrides = classes.fills;
    canvas.legend()->setTitle(QStringLiteral("Variable 1"));
    QStringList labels;
    for (int i = 0; i < classes.keys.size(); ++i)
        labels.append(QStringLiteral("Classe ") + QString::number(i + 1));
    canvas.legend()->setLabels(labels);
    canvas.legend()->setColors(classes.colours);
    canvas.layoutComposition();
}

} // namespace BenchPages
