#include "library/LibraryQuickLook.h"

#include "canvas/VectorCanvas.h"
#include "model/PlmErrors.h"
#include "platform/AtomicFileWriter.h"

#include <QBuffer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPageSize>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfView>
#include <QPdfWriter>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

class PreviewWriteError : public PlmError {
public:
    explicit PreviewWriteError(const QString& file)
        : PlmError(QStringLiteral("L’aperçu « %1 » n’a pas pu être écrit.").arg(file))
    {
    }
};

} // namespace

void LibraryQuickLook::writePreviewPDF(const PlmMap& map, const QString& path)
{
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("Pelmora Studio"));
        writer.setTitle(map.name);
        writer.setResolution(72);
        writer.setPageSize(QPageSize(pageSize(), QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        VectorCanvas canvas(map, false, QStringLiteral("Fond vide"));
        canvas.rendersForExport = true;
        canvas.setFrame(QRectF(QPointF(0, 0), pageSize()));
        canvas.fit(false);
        QPainter painter(&writer);
        canvas.renderInto(painter, QRectF(QPointF(0, 0), pageSize()));
    }
    if (!AtomicFileWriter::write(path, bytes).written())
        throw PreviewWriteError(QFileInfo(path).fileName());
}

LibraryQuickLook::LibraryQuickLook(QWidget* parent)
    : QWidget(parent, Qt::Tool)
    , document_(new QPdfDocument(this))
    , view_(new QPdfView(this))
    , caption_(new QLabel(this))
    , previous_(new QToolButton(this))
    , next_(new QToolButton(this))
{
    setObjectName(QStringLiteral("Coup d’œil"));
    setWindowTitle(QStringLiteral("Coup d’œil"));
    resize(760, 640);
    view_->setDocument(document_);
    view_->setZoomMode(QPdfView::ZoomMode::FitInView);
    view_->setPageMode(QPdfView::PageMode::SinglePage);
    view_->setFocusPolicy(Qt::NoFocus);
    caption_->setAlignment(Qt::AlignCenter);
    previous_->setText(QStringLiteral("‹"));
    previous_->setToolTip(QStringLiteral("Aperçu précédent"));
    next_->setText(QStringLiteral("›"));
    next_->setToolTip(QStringLiteral("Aperçu suivant"));
    connect(previous_, &QToolButton::clicked, this, [this] { showIndex(index_ - 1); });
    connect(next_, &QToolButton::clicked, this, [this] { showIndex(index_ + 1); });

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 8);
    column->addWidget(view_, 1);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(12, 0, 12, 0);
    row->addWidget(previous_);
    row->addWidget(caption_, 1);
    row->addWidget(next_);
    column->addLayout(row);
}

LibraryQuickLook::~LibraryQuickLook() = default;

void LibraryQuickLook::setFiles(const QStringList& files)
{
    files_ = files;
    showIndex(std::clamp(index_, 0, std::max(0, int(files.size()) - 1)));
}

void LibraryQuickLook::showIndex(int index)
{
    if (files_.isEmpty()) {
        index_ = 0;
        document_->close();
    } else {
        index_ = std::clamp(index, 0, int(files_.size()) - 1);
        document_->load(files_.at(index_));
    }
    caption_->setText(captionText());
    previous_->setEnabled(index_ > 0);
    next_->setEnabled(index_ + 1 < files_.size());
}

QString LibraryQuickLook::captionText() const
{
    if (files_.isEmpty())
        return {};
    const QString name = QFileInfo(files_.at(index_)).completeBaseName();
    if (files_.size() == 1)
        return name;
    return QStringLiteral("%1 — %2 sur %3").arg(name).arg(index_ + 1).arg(files_.size());
}

void LibraryQuickLook::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Escape:
        hide();
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (onOutlineKey)
            onOutlineKey(event);
        return;
    case Qt::Key_Left:
        showIndex(index_ - 1);
        return;
    case Qt::Key_Right:
        showIndex(index_ + 1);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
