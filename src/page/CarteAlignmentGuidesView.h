#pragma once

#include "desktop/ViewNode.h"

#include <QColor>

class ThematicCanvas;

// The alignment guides as a node of the layout page: it reads the canvas's selected
// decoration views and draws the centre guides (CarteAlignmentGuides). It never takes a
// click. Its frame is the canvas bounds.
class CarteAlignmentGuidesView : public ViewNode {
public:
    explicit CarteAlignmentGuidesView(ThematicCanvas* canvas = nullptr);

    // Not owned: the canvas owns the guides.
    ThematicCanvas* canvas = nullptr;

    ViewNode* hitTest(const QPointF& pointInSuperview) override;
    void draw(QPainter& painter, const QRectF& dirty) override;

    QColor accentColor{0, 122, 255};
};
