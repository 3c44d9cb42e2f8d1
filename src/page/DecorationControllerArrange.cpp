#include "page/DecorationController.h"

#include "page/DecorationObjectView.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "model/PlmErrors.h"

#include <algorithm>

namespace {

const QString legendID = QStringLiteral("legend");
const QString secondLegendID = QStringLiteral("secondLegend");

bool isLegendID(const QString& id) { return id == legendID || id == secondLegendID; }

bool locked(const PlmPresentation& presentation)
{
    return presentation.editing && presentation.editing->lockPosition;
}

} // namespace

double DecorationController::positionValue(int index) const
{
    if (!selected)
        return 0;
    const ViewNode* view = isLegendID(*selected) ? static_cast<ViewNode*>(legendView(*selected))
                                                 : static_cast<ViewNode*>(objectView(*selected));
    if (!view)
        return 0;
    const QRectF f = view->frame();
    switch (index) {
    case 0: return f.left();
    case 1: return f.top();
    case 2: return f.width();
    case 3: return f.height();
    default: return 0;
    }
}

void DecorationController::setPositionValue(int index, double value)
{
    if (!selected || !work() || !m_document.updateWork)
        return;
    const std::optional<PlmPresentation> presentation = selectedPresentation();
    if (!presentation || presentation->effectiveEditingStyle().lockPosition)
        return;
    const QString id = *selected;
    try {
        if (isLegendID(id)) {
            const QPointF origin = legendOrigin(id);
            if (index == 2 || index == 3) {
                const bool width = index == 2;
                m_document.updateWork(width ? QStringLiteral("Largeur de légende") : QStringLiteral("Hauteur de légende"),
                                      [&](PlmWork& w) {
                                          updateLegend(
                                              w, id,
                                              [&](PlmPresentation& p) {
                                                  (width ? p.width : p.height) = value;
                                                  p.legendFitsContent = false;
                                              },
                                              width ? std::nullopt
                                                    : std::optional<PlmPoint>(PlmPoint{origin.x(), origin.y()}));
                                      });
            } else {
                const PlmPoint moved = index == 0 ? PlmPoint{value, origin.y()} : PlmPoint{origin.x(), value};
                m_document.updateWork(QStringLiteral("Position de légende"), [&](PlmWork& w) {
                    updateLegend(w, id, [](PlmPresentation&) {}, moved);
                });
            }
            return;
        }
        m_document.updateWork(QStringLiteral("Position / taille"), [&](PlmWork& w) {
            PlmDecoration decoration = decorationOf(w);
            for (PlmDecorationObject& object : decoration.objects) {
                if (object.id != id)
                    continue;
                QPointF origin = objectOrigin(object, QSizeF(object.width, object.height));
                if (index == 0)
                    origin.setX(value);
                if (index == 1)
                    origin.setY(value);
                object.position = PlmPoint{origin.x(), origin.y()};
                object.presentation.positionInPoints = true;
                const bool ratio = object.presentation.effectiveEditingStyle().lockRatio;
                if (index == 2) {
                    if (ratio)
                        object.height = object.height * value / object.width;
                    object.width = value;
                } else if (index == 3) {
                    if (ratio)
                        object.width = object.width * value / object.height;
                    object.height = value;
                }
                break;
            }
            w.decoration = decoration;
        });
    } catch (const PlmError& error) {
        presentError(error.message());
        updateSelection();
    }
}

void DecorationController::alignSelection(double x, double y)
{
    if (!work() || !m_document.updateWork)
        return;
    if (m_document.beginUndoGrouping)
        m_document.beginUndoGrouping();
    const QSizeF page = pageSize();
    const QSet<QString> ids = selectedIDs;
    try {
        m_document.updateWork(QStringLiteral("Aligner"), [&](PlmWork& w) {
            PlmDecoration decoration = decorationOf(w);
            for (PlmDecorationObject& object : decoration.objects) {
                if (!ids.contains(object.id) || locked(object.presentation))
                    continue;
                QPointF origin = objectOrigin(object, QSizeF(object.width, object.height));
                if (x >= 0)
                    origin.setX(x * std::max(0.0, page.width() - object.width));
                if (y >= 0)
                    origin.setY(y * std::max(0.0, page.height() - object.height));
                object.position = PlmPoint{origin.x(), origin.y()};
                object.presentation.positionInPoints = true;
            }
            w.decoration = decoration;
        });
    } catch (const PlmError& error) {
        presentError(error.message());
        updateSelection();
    }
    for (const QString& id : {legendID, secondLegendID}) {
        if (!ids.contains(id))
            continue;
        ThematicLegend* view = legendView(id);
        if (locked(view->presentation()))
            continue;
        const QPointF current = legendOrigin(id);
        const QSizeF size = view->frame().size();
        const PlmPoint moved{x >= 0 ? x * std::max(0.0, page.width() - size.width()) : current.x(),
                             y >= 0 ? y * std::max(0.0, page.height() - size.height()) : current.y()};
        try {
            m_document.updateWork(QStringLiteral("Aligner la légende"),
                                  [&](PlmWork& w) { updateLegend(w, id, [](PlmPresentation&) {}, moved); });
        } catch (const PlmError& error) {
            presentError(error.message());
        }
    }
    if (m_document.endUndoGrouping)
        m_document.endUndoGrouping();
}

void DecorationController::changeObjectOrder(bool toFront)
{
    QList<PlmDecorationObject> legends;
    for (const QString& id : {legendID, secondLegendID}) {
        if (!selectedIDs.contains(id))
            continue;
        const PlmDecorationObject object = legendObject(id);
        legends.append(object);
        selectedIDs.remove(id);
        selectedIDs.insert(object.id);
        if (selected == id)
            selected = object.id;
    }
    const QSet<QString> ids = selectedIDs;
    applyChange(QStringLiteral("Ordre des objets"), [&](PlmDecoration& d) {
        for (const PlmDecorationObject& object : legends) {
            d.objects.append(object);
            (object.legendSeries == 0 ? d.legend : d.secondLegend).hidden = true;
        }
        QList<PlmDecorationObject> chosen, others;
        for (const PlmDecorationObject& object : d.objects)
            (ids.contains(object.id) ? chosen : others).append(object);
        d.objects = toFront ? others + chosen : chosen + others;
    });
    updateSelection();
}
