#include "app/StudioSplit.h"

#include "platform/UserDefaults.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

// The grab area of one divider, laid over the panes so a drag can start a few points
// on either side of the thin line.
class StudioSplitHandle : public QWidget {
public:
    StudioSplitHandle(StudioSplit* split, int index)
        : QWidget(split), m_split(split), m_index(index)
    {
        setCursor(split->isVertical() ? Qt::SplitHCursor : Qt::SplitVCursor);
        setAttribute(Qt::WA_NoSystemBackground);
        setObjectName(QStringLiteral("StudioSplit.Divider.%1").arg(index));
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        // Offset from the divider's line to the press, so the line does not jump.
        const QPointF inSplit = mapToParent(event->position());
        m_grab = (m_split->isVertical() ? inSplit.x() - (x() + StudioSplitLayout::dividerGrip)
                                        : inSplit.y() - (y() + StudioSplitLayout::dividerGrip));
        m_dragging = true;
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!m_dragging)
            return;
        const QPointF inSplit = mapToParent(event->position());
        m_split->moveDivider(m_index, (m_split->isVertical() ? inSplit.x() : inSplit.y()) - m_grab);
    }
    void mouseReleaseEvent(QMouseEvent*) override { m_dragging = false; }

private:
    StudioSplit* m_split;
    int m_index;
    double m_grab = 0;
    bool m_dragging = false;
};

StudioSplit::StudioSplit(bool vertical, const QString& key, const QList<double>& defaultSizes, QWidget* parent)
    : QWidget(parent), m_vertical(vertical), m_key(key)
{
    for (int i = 0; i < defaultSizes.size(); ++i) {
        const double stored = UserDefaults::doubleValue(settingsKey(QStringLiteral(".Size.%1").arg(i)), 0);
        m_sizes.append(std::isfinite(stored) && stored > 0 ? stored : defaultSizes.at(i));
    }
    m_expanded = UserDefaults::boolValue(settingsKey(QStringLiteral(".Expanded")));
    // Three indexes are read for both splits.
    for (int i = 0; i <= 2; ++i) {
        if (UserDefaults::boolValue(settingsKey(QStringLiteral(".Hidden.%1").arg(i))))
            m_hiddenPanels.insert(i);
    }
}

StudioSplit::~StudioSplit() = default;

void StudioSplit::addPane(QWidget* pane)
{
    if (!pane || m_panes.contains(pane))
        return;
    pane->setParent(this);
    m_panes.append(pane);
    if (m_panes.size() > 1) {
        auto* handle = new StudioSplitHandle(this, int(m_panes.size()) - 2);
        m_handles.append(handle);
    }
    pane->show();
    for (StudioSplitHandle* handle : std::as_const(m_handles))
        handle->raise();
    arrange();
}

QWidget* StudioSplit::pane(int index) const
{
    return index >= 0 && index < m_panes.size() ? m_panes.at(index) : nullptr;
}

StudioSplitLayout StudioSplit::layoutState() const
{
    StudioSplitLayout layout;
    layout.vertical = m_vertical;
    layout.bounds = QSizeF(size());
    layout.dividerThickness = dividerThickness();
    layout.sizes = m_sizes;
    layout.expanded = m_expanded;
    layout.hiddenPanels = m_hiddenPanels;
    layout.paneCount = int(m_panes.size());
    return layout;
}

QList<QRectF> StudioSplit::paneFrames() const
{
    QList<QRectF> frames;
    for (QWidget* pane : m_panes)
        frames.append(QRectF(pane->geometry()));
    return frames;
}

void StudioSplit::arrange()
{
    if (m_arranging || width() <= 0 || height() <= 0)
        return;
    m_arranging = true;
    const StudioSplitLayout::Frames frames = layoutState().arrange();
    if (frames.arranged) {
        for (int i = 0; i < m_panes.size(); ++i)
            m_panes[i]->setGeometry(frames.panes.at(i).toRect());
    }
    for (int i = 0; i < m_panes.size(); ++i)
        m_panes[i]->setVisible(!frames.hidden.value(i));
    placeHandles();
    update();
    m_arranging = false;
}

void StudioSplit::placeHandles()
{
    const StudioSplitLayout layout = layoutState();
    const QList<QRectF> frames = paneFrames();
    for (int i = 0; i < m_handles.size(); ++i) {
        const QRectF grab = layout.effectiveDividerRect(i, frames);
        m_handles[i]->setVisible(!grab.isEmpty());
        if (!grab.isEmpty()) {
            m_handles[i]->setGeometry(grab.toAlignedRect());
            m_handles[i]->raise();
        }
    }
}

void StudioSplit::togglePanel(int index)
{
    const bool hide = !m_hiddenPanels.contains(index);
    if (hide)
        m_hiddenPanels.insert(index);
    else
        m_hiddenPanels.remove(index);
    UserDefaults::setValue(settingsKey(QStringLiteral(".Hidden.%1").arg(index)), hide);
    arrange();
}

void StudioSplit::toggleExpanded()
{
    m_expanded = !m_expanded;
    UserDefaults::setValue(settingsKey(QStringLiteral(".Expanded")), m_expanded);
    m_hiddenPanels.remove(1);
    UserDefaults::setValue(settingsKey(QStringLiteral(".Hidden.1")), false);
    arrange();
}

void StudioSplit::moveDivider(int divider, double coordinate)
{
    // A position that is no number moves nothing (it would otherwise snap to a limit).
    if (m_arranging || divider < 0 || divider >= m_handles.size() || isDividerHidden(divider)
        || !std::isfinite(coordinate))
        return;
    const StudioSplitLayout layout = layoutState();
    const QList<QRectF> moved = layout.framesAfterMovingDivider(divider, coordinate, paneFrames());
    for (int i = 0; i < m_panes.size(); ++i)
        m_panes[i]->setGeometry(moved.at(i).toRect());
    didResizeByUser(moved);
    arrange();
}

void StudioSplit::didResizeByUser(const QList<QRectF>& frames)
{
    if (m_arranging || width() <= 0 || height() <= 0)
        return;
    m_sizes = layoutState().sizesAfterResize(frames);
    for (int i = 0; i < m_sizes.size(); ++i)
        UserDefaults::setValue(settingsKey(QStringLiteral(".Size.%1").arg(i)), m_sizes.at(i));
    emit panesResized();
}

QRectF StudioSplit::effectiveDividerRect(int divider) const
{
    return layoutState().effectiveDividerRect(divider, paneFrames());
}

bool StudioSplit::isDividerHidden(int divider) const
{
    return layoutState().isDividerHidden(divider);
}

QSize StudioSplit::sizeHint() const
{
    return m_vertical ? QSize(1100, 600) : QSize(440, 240);
}

void StudioSplit::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange();
}

void StudioSplit::paintEvent(QPaintEvent*)
{
    // The thin divider lines; the panes paint themselves.
    QPainter painter(this);
    const StudioSplitLayout layout = layoutState();
    const QList<QRectF> frames = paneFrames();
    QColor line = palette().color(QPalette::WindowText);
    line.setAlphaF(0.18);
    for (int i = 0; i + 1 < m_panes.size(); ++i) {
        if (layout.isDividerHidden(i))
            continue;
        painter.fillRect(layout.dividerRect(i, frames), line);
    }
}
