#include "app/StudioOutlineDelegate.h"

#include "app/StudioOutlineModel.h"
#include "desktop/FocusLoss.h"
#include "inspector/InspectorIcon.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <utility>

StudioOutlineDelegate::StudioOutlineDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

void StudioOutlineDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* field = qobject_cast<QLineEdit*>(editor);
    auto* outline = qobject_cast<StudioOutlineModel*>(model);
    if (!field || !outline) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    const StudioObjectNode* node = outline->node(index);
    if (!node || !node->reference)
        return;
    // Posted: every way the view ends an edit (Return, leaving the field, its current row
    // moved by code) closes the editor right after this call, before the name is stored.
    m_pendingRename = PendingRename{outline, *node->reference, field->text()};
    QMetaObject::invokeMethod(
        const_cast<StudioOutlineDelegate*>(this), [this] { storePendingRename(); }, Qt::QueuedConnection);
}

void StudioOutlineDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const
{
    if (editor == m_openEditor)
        m_openEditor = nullptr;
    QStyledItemDelegate::destroyEditor(editor, index);
}

void StudioOutlineDelegate::commitRename()
{
    if (QWidget* editor = m_openEditor) {
        emit commitData(editor);
        emit closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    storePendingRename();
}

bool StudioOutlineDelegate::eventFilter(QObject* object, QEvent* event)
{
    if (object == m_openEditor && FocusLoss::endsNothing(event))
        return false;
    return QStyledItemDelegate::eventFilter(object, event);
}

void StudioOutlineDelegate::storePendingRename() const
{
    const std::optional<PendingRename> rename = std::exchange(m_pendingRename, std::nullopt);
    if (rename && rename->model && rename->model->onRename)
        rename->model->onRename(rename->reference, rename->name);
}

QString StudioOutlineDelegate::symbolName(const QModelIndex& index)
{
    if (!index.isValid() || index.data(StudioOutlineModel::SectionRole).toBool())
        return {};
    switch (index.column()) {
    case StudioOutlineModel::visibleColumn:
        return index.data(StudioOutlineModel::HiddenRole).toBool() ? QStringLiteral("eye.slash") : QStringLiteral("eye");
    case StudioOutlineModel::lockedColumn:
        return index.data(StudioOutlineModel::LockedRole).toBool() ? QStringLiteral("lock.fill")
                                                                   : QStringLiteral("lock.open");
    case StudioOutlineModel::deleteColumn:
        return QStringLiteral("trash");
    default:
        return {};
    }
}

bool StudioOutlineDelegate::isButtonEnabled(const QModelIndex& index)
{
    if (symbolName(index).isEmpty())
        return false;
    if (index.column() == StudioOutlineModel::deleteColumn)
        return index.data(StudioOutlineModel::EditableRole).toBool();
    return index.data(StudioOutlineModel::AvailableRole).toBool();
}

QRect StudioOutlineDelegate::buttonRect(const QRect& cell, int column)
{
    const int side = column == StudioOutlineModel::deleteColumn ? 26 : 22;
    QRect square(0, 0, std::min(side, cell.width()), std::min(side, cell.height()));
    square.moveCenter(cell.center());
    return square;
}

void StudioOutlineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (index.column() == StudioOutlineModel::objectColumn) {
        QStyleOptionViewItem titleOption(option);
        // 4 points inside the leading and trailing edges, truncated at the tail.
        titleOption.rect.adjust(4, 0, -4, 0);
        titleOption.textElideMode = Qt::ElideRight;
        QStyledItemDelegate::paint(painter, titleOption, index);
        return;
    }
    // The row's selection background, then the button.
    QStyleOptionViewItem background(option);
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    const QString symbol = symbolName(index);
    if (symbol.isEmpty())
        return;
    const bool hidden = index.data(StudioOutlineModel::HiddenRole).toBool();
    const bool locked = index.data(StudioOutlineModel::LockedRole).toBool();
    const bool dimmed = (index.column() == StudioOutlineModel::visibleColumn && hidden)
        || (index.column() == StudioOutlineModel::lockedColumn && locked);
    const QPalette& palette = option.palette;
    QColor tint = dimmed ? palette.color(QPalette::PlaceholderText) : palette.color(QPalette::Text);
    const bool enabled = isButtonEnabled(index);
    if (!enabled)
        tint.setAlphaF(tint.alphaF() * 0.35f);
    const QRect square = buttonRect(option.rect, index.column());
    const int iconSide = std::min(16, std::min(square.width(), square.height()));
    QRect iconRect(0, 0, iconSide, iconSide);
    iconRect.moveCenter(square.center());
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QString key = symbol + QLatin1Char('|') + QString::number(tint.rgba(), 16) + QLatin1Char('|')
        + QString::number(iconSide) + QLatin1Char('|') + QString::number(ratio) + (enabled ? u'+' : u'-');
    auto cached = m_buttonPixmaps.constFind(key);
    if (cached == m_buttonPixmaps.constEnd()) {
        QPixmap pixmap(QSize(iconSide, iconSide) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter iconPainter(&pixmap);
        InspectorIcon::symbol(symbol, tint)
            .paint(&iconPainter, QRect(0, 0, iconSide, iconSide), Qt::AlignCenter, enabled ? QIcon::Normal : QIcon::Disabled);
        iconPainter.end();
        cached = m_buttonPixmaps.insert(key, pixmap);
    }
    painter->drawPixmap(iconRect, *cached);
}

QSize StudioOutlineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), 24));
    if (index.column() != StudioOutlineModel::objectColumn)
        size.setWidth(index.column() == StudioOutlineModel::deleteColumn ? 30 : 26);
    return size;
}

QWidget* StudioOutlineDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    if (index.column() != StudioOutlineModel::objectColumn || index.data(StudioOutlineModel::SectionRole).toBool())
        return nullptr;
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setObjectName(QStringLiteral("Studio.Objects.Rename"));
    m_openEditor = editor;
    return editor;
}

bool StudioOutlineDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                        const QModelIndex& index)
{
    const int column = index.column();
    if (column == StudioOutlineModel::objectColumn || symbolName(index).isEmpty())
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const bool press = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    const bool release = event->type() == QEvent::MouseButtonRelease;
    if (!press && !release)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton || !buttonRect(option.rect, column).contains(mouse->position().toPoint()))
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    // A click on a button neither selects the row nor starts a drag.
    if (press)
        return true;
    if (!isButtonEnabled(index))
        return true;
    const auto* outline = qobject_cast<const StudioOutlineModel*>(model);
    const StudioObjectNode* node = outline ? outline->node(index) : nullptr;
    if (!node || !node->reference)
        return true;
    const StudioObjectReference reference = *node->reference; // the callbacks rebuild the tree
    if (column == StudioOutlineModel::deleteColumn) {
        if (onDelete)
            onDelete(reference);
    } else if (onToggle) {
        onToggle(reference, column == StudioOutlineModel::visibleColumn);
    }
    return true;
}
