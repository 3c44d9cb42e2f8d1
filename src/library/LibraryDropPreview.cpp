#include "library/LibraryDropPreview.h"

#include "library/LibraryOutlineModel.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>

namespace {

// Drawn above the preview's content: the frame is what the person watches while dropping.
class DropFrame : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor accent = palette().color(QPalette::Highlight);
        QColor fill = accent;
        fill.setAlphaF(0.12);
        p.fillRect(rect(), fill);
        p.setPen(QPen(accent, 4));
        p.drawRect(QRectF(rect()).adjusted(2, 2, -2, -2));
        p.setPen(QPen(accent, 3));
        p.drawRoundedRect(QRectF(rect()).adjusted(4, 4, -4, -4), 8, 8);
    }
};

} // namespace

LibraryDropPreview::LibraryDropPreview(QWidget* parent)
    : QWidget(parent)
    , frame_(new DropFrame(this))
{
    setAcceptDrops(true);
    frame_->setAttribute(Qt::WA_TransparentForMouseEvents);
    frame_->hide();
}

void LibraryDropPreview::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    frame_->setGeometry(rect());
}

void LibraryDropPreview::setHighlighted(bool on)
{
    if (highlighted_ == on)
        return;
    highlighted_ = on;
    frame_->setGeometry(rect());
    frame_->setVisible(on);
    if (on)
        frame_->raise();
}

void LibraryDropPreview::dragEnterEvent(QDragEnterEvent* event)
{
    // Interested in any files, so that the moves that follow reach the preview.
    dragMoveEvent(event);
    if (event->mimeData() && event->mimeData()->hasUrls())
        event->accept();
}

void LibraryDropPreview::dragMoveEvent(QDragMoveEvent* event)
{
    setHighlighted(accepts(LibraryOutlineModel::fileURLs(event->mimeData())));
    if (highlighted_) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void LibraryDropPreview::dragLeaveEvent(QDragLeaveEvent* event)
{
    setHighlighted(false);
    event->accept();
}

void LibraryDropPreview::dropEvent(QDropEvent* event)
{
    setHighlighted(false);
    const QStringList paths = LibraryOutlineModel::fileURLs(event->mimeData());
    if (!accepts(paths)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (receive)
        receive(paths);
}

