#include "inspector/InspectorScroll.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPaintEvent>
#include <QVBoxLayout>

namespace {

// The document view of the column: paints the tinted background behind the sections.
class FlippedInspector : public QWidget {
public:
    // The colour is the column's, computed once from the column's own palette: the
    // document's palette already carries the tinted window colour.
    QColor background;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.fillRect(event->rect(), background);
    }
};

} // namespace

InspectorScroll::InspectorScroll(QWidget* parent)
    : QScrollArea(parent), m_stack(new QWidget), m_stackLayout(new QVBoxLayout(m_stack))
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWidgetResizable(true);

    m_stackLayout->setContentsMargins(0, 0, 0, 0);
    m_stackLayout->setSpacing(0);

    const QColor background = backgroundColor(palette());
    auto* document = new FlippedInspector;
    document->background = background;
    auto* documentLayout = new QVBoxLayout(document);
    documentLayout->setContentsMargins(0, 0, 0, 0);
    documentLayout->setSpacing(0);
    documentLayout->addWidget(m_stack);
    documentLayout->addStretch(1); // the stack starts at the top and grows downwards
    setWidget(document);
    document->installEventFilter(this);

    QPalette tinted = viewport()->palette();
    tinted.setColor(QPalette::Window, background);
    viewport()->setPalette(tinted);
    viewport()->setAutoFillBackground(true);
}

void InspectorScroll::addSection(QWidget* section)
{
    if (section)
        m_stackLayout->addWidget(section);
}

bool InspectorScroll::eventFilter(QObject* watched, QEvent* event)
{
    // A section opened, closed or added changes the column's height: the scroll area only
    // looks again when it is asked to lay out.
    if (watched == widget() && event->type() == QEvent::LayoutRequest)
        QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
    return QScrollArea::eventFilter(watched, event);
}

void InspectorScroll::showEvent(QShowEvent* event)
{
    QScrollArea::showEvent(event);
    QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
}

QColor InspectorScroll::backgroundColor(const QPalette& palette)
{
    const QColor window = palette.color(QPalette::Window);
    const QColor label = palette.color(QPalette::WindowText);
    constexpr double fraction = 0.1;
    return QColor::fromRgbF(float(window.redF() * (1 - fraction) + label.redF() * fraction),
                            float(window.greenF() * (1 - fraction) + label.greenF() * fraction),
                            float(window.blueF() * (1 - fraction) + label.blueF() * fraction));
}
