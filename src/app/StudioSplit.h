#pragma once

#include "app/StudioSplitLayout.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QWidget>

class StudioSplitHandle;

// The studio window's split view: three columns side by side, or an upper area over the
// bottom panel. QSplitter cannot keep room for the other panes, let the bottom panel take
// the whole height, or hide a pane while keeping its frame, so the panes are laid out here
// from StudioSplitLayout. Sizes, hidden panes and the expanded state are remembered in the
// settings under the split's key (key + ".Size." + i, ".Expanded", ".Hidden." + i), shared by
// every studio window.
class StudioSplit : public QWidget {
    Q_OBJECT
public:
    // vertical: dividers are vertical (columns side by side). Reads the remembered state.
    StudioSplit(bool vertical, const QString& key, const QList<double>& defaultSizes,
                QWidget* parent = nullptr);
    ~StudioSplit() override;

    // Panes are added in index order; the split lays them out itself.
    void addPane(QWidget* pane);
    QWidget* pane(int index) const;
    int paneCount() const { return int(m_panes.size()); }

    bool isVertical() const { return m_vertical; }
    const QString& key() const { return m_key; }
    const QList<double>& sizes() const { return m_sizes; }
    bool isArranging() const { return m_arranging; }
    bool isExpanded() const { return m_expanded; }
    const QSet<int>& hiddenPanels() const { return m_hiddenPanels; }
    bool isPanelHidden(int index) const { return m_hiddenPanels.contains(index); }
    double dividerThickness() const { return 1; }

    // Hides a shown pane or shows a hidden one, remembers it and lays out again.
    void togglePanel(int index);
    // The bottom panel takes the whole height, or gives it back; it is shown either way.
    void toggleExpanded();
    // Lays the panes out from the remembered sizes (re-entrant calls do nothing).
    void arrange();

    // The user drags a divider to a coordinate along the split: the panes follow within the
    // divider's limits and the new sizes are remembered.
    void moveDivider(int divider, double coordinate);
    // The grab area of a divider; empty while it is hidden.
    QRectF effectiveDividerRect(int divider) const;
    bool isDividerHidden(int divider) const;

    QSize sizeHint() const override;

    // The geometry input for the current state.
    StudioSplitLayout layoutState() const;

signals:
    void panesResized();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString settingsKey(const QString& suffix) const { return m_key + suffix; }
    QList<QRectF> paneFrames() const;
    void didResizeByUser(const QList<QRectF>& frames);
    void placeHandles();

    bool m_vertical;
    QString m_key;
    QList<double> m_sizes;
    bool m_arranging = false;
    bool m_expanded = false;
    QSet<int> m_hiddenPanels;
    QList<QWidget*> m_panes;
    QList<StudioSplitHandle*> m_handles;
};
