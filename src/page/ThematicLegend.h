#pragma once

#include "page/LegendData.h"
#include "page/LegendLayout.h"
#include "page/PageObjectInteraction.h"
#include "model/PlmColor.h"
#include "model/PlmDecoration.h"
#include "model/PlmPoint.h"
#include "model/PlmPresentation.h"
#include "desktop/ViewContextMenu.h"
#include "desktop/ViewNode.h"
#include "canvas/ProportionalShape.h"

#include <QColor>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QMenu;

// One thematic legend on the layout page: a framed box with a title, one row per class or
// per reference symbol, the "Sans donnée" row and a footer. The user selects, moves,
// resizes and rotates it with the mouse, moves it with the arrow keys and sends clipboard
// commands; every gesture goes out through the callbacks. Its layout (text measurements) is
// cached until its content or size changes, so moving it costs a redraw only.
class ThematicLegend : public ViewNode {
public:
    ThematicLegend();
    ~ThematicLegend() override;

    static constexpr double dragThreshold = 3;
    static constexpr double minimumWidth = PageObjectInteraction::minimumWidth;
    static constexpr double minimumHeight = PageObjectInteraction::minimumHeight;
    static constexpr double maximumWidth = 1200;
    static constexpr double maximumHeight = 1600;

    // ---- Observed fields: a change redraws (and re-lays out the page for the presentation) ----
    const PlmPresentation& presentation() const { return m_presentation; }
    void setPresentation(const PlmPresentation& presentation);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    const QString& title() const { return m_title; }
    void setTitle(const QString& title);
    const QStringList& labels() const { return m_labels; }
    void setLabels(const QStringList& labels);
    const QList<PlmColor>& colors() const { return m_colors; }
    void setColors(const QList<PlmColor>& colors);
    bool showsMissing() const { return m_showsMissing; }
    void setShowsMissing(bool shows);
    const PlmColor& missingColor() const { return m_missingColor; }
    void setMissingColor(const PlmColor& color);
    // Present: a symbol legend.
    std::shared_ptr<const ProportionalShape> proportionalShape() const { return m_shape; }
    void setProportionalShape(std::shared_ptr<const ProportionalShape> shape);
    const QList<double>& referenceSizes() const { return m_referenceSizes; }
    void setReferenceSizes(const QList<double>& sizes);
    // The map block's scale, which the symbols take as they do on the map (set by the page);
    // a change re-lays out the page.
    double symbolScale() const { return m_symbolScale; }
    void setSymbolScale(double scale);
    const PlmColor& symbolColor() const { return m_symbolColor; }
    void setSymbolColor(const PlmColor& color);
    const std::optional<QString>& footer() const { return m_footer; }
    void setFooter(const std::optional<QString>& footer);

    // ---- Callbacks ----
    std::function<void(const QString&)> onCommand;  // "copy", "paste", "cut", "duplicate", "delete"
    std::function<void()> onSelect;
    std::function<void()> onEdit;
    std::function<void(const QSizeF&, const PlmPoint&)> onSize;
    std::function<void(Qt::KeyboardModifiers)> onModifiedSelect;
    std::function<void(double)> onRotation;
    std::function<void(const PlmPoint&, bool finished)> onPosition;

    // ---- Gesture state ----
    bool resizing = false;
    bool moved = false;
    bool rotating = false;
    bool resizingLeft = false;
    bool resizingBottom = false;
    bool isManipulating = false;
    QPointF previous;
    QPointF dragStart;
    QRectF resizeStart;

    // Everything the layout and the drawing read, sized to the bounds.
    LegendData legendData() const;
    // The effective editing style of the text presentation (opacity, rotation, locks…).
    PlmEditingStyle effectiveStyle() const;
    // Natural width and the content's height at that width (cached).
    double preferredWidth() const;
    double contentHeight(double width) const;
    // The legend's height for a width: measured unless the presentation fits no content
    // and carries its own height.
    double layoutHeight(double width) const;

    // Draws the legend in its own bounds; rasterizing asks for symbol glyphs as bitmaps.
    void drawContent(QPainter& painter, bool rasterizing) const;
    // A point of the view mapped into the legend's unrotated frame.
    QPointF unrotatedPoint(const QPointF& p) const;

    static QString editTitle() { return QStringLiteral("Modifier le titre de la légende"); }
    static QString defaultToolTip()
    {
        return QStringLiteral("Glissez la légende pour la déplacer ; les flèches la déplacent aussi.");
    }
    // The context menu (parented to the host widget, not shown): its one item runs
    // editFromMenu().
    QMenu* menuForEvent(const ViewMouseEvent& e);
    void editFromMenu();

    bool acceptsFirstResponder() const override { return true; }
    void draw(QPainter& painter, const QRectF& dirty) override;
    QRectF paintedRect() const override;
    void mouseDown(const ViewMouseEvent& e) override;
    void mouseDragged(const ViewMouseEvent& e) override;
    void mouseUp(const ViewMouseEvent& e) override;
    void rightMouseDown(const ViewMouseEvent& e) override;
    void keyDown(const ViewKeyEvent& e) override;

    QColor accentColor{0, 122, 255};

private:
    void contentChanged();
    // A change that can change the legend's size: the page lays its legends out again.
    void sizeChanged();
    // The layout for the current size, measured once per content and size.
    const LegendLayout& cachedLayout() const;

    PlmPresentation m_presentation = PlmDecoration::defaultLegend();
    bool m_selected = false;
    QString m_title;
    QStringList m_labels;
    QList<PlmColor> m_colors;
    bool m_showsMissing = true;
    PlmColor m_missingColor{0.78, 0.78, 0.78, 1};
    std::shared_ptr<const ProportionalShape> m_shape;
    QList<double> m_referenceSizes;
    double m_symbolScale = 1;
    PlmColor m_symbolColor{0.8, 0.18, 0.16, 0.85};
    std::optional<QString> m_footer;

    mutable std::optional<LegendLayout> m_layout;
    mutable QSizeF m_layoutSize;
    mutable std::optional<double> m_preferredWidth;
    mutable std::optional<std::pair<double, double>> m_contentHeight;  // width, height
    ViewContextMenu m_menu;
};
