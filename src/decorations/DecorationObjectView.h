#pragma once

#include "decorations/LegendData.h"
#include "model/PlmDecorationObject.h"
#include "platform/ViewNode.h"

#include <QColor>
#include <QPointF>

#include <functional>
#include <optional>

// The view of one decoration object on the layout page. The composition places it from
// its object (position, size, placement rule) and routes clicks to it; it draws the object
// through the shared decoration drawing. Gestures and editing belong to subclasses.
class DecorationObjectView : public ViewNode {
public:
    explicit DecorationObjectView(const PlmDecorationObject& object);

    PlmDecorationObject object;
    bool selected = false;
    // A gesture of this view is running: the composition leaves its frame alone.
    bool isManipulating = false;
    // A legend object's copy of the composition legend, sized to the view; refreshed by
    // syncLegendCopy() from the source the composition installs.
    std::optional<LegendData> legendCopy;
    std::function<std::optional<LegendData>()> legendSource;

    // Refreshes the legend copy from its source (none for other kinds).
    virtual void syncLegendCopy();
    // Whether a point of the view (already unrotated) hits the object.
    virtual bool containsHit(const QPointF& point) const;
    // The object's rotation in degrees (its effective editing style).
    double rotation() const;

    void draw(QPainter& painter, const QRectF& dirty) override;
    virtual void drawObject(QPainter& painter, bool exporting) const;

    QColor accentColor{0, 122, 255};
};
