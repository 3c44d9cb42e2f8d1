#include "online/OnlineCatalogueList.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

void OnlineCatalogueListModel::setRows(const OnlineCatalogBrowsing::SearchIndex& index, const QList<qsizetype>& rows)
{
    beginResetModel();
    m_index = index;
    m_rows = rows;
    endResetModel();
}

const OnlineMap& OnlineCatalogueListModel::entry(int row) const
{
    return m_index.catalogue().at(m_rows.at(row));
}

int OnlineCatalogueListModel::rowOf(const QString& id) const
{
    const QList<OnlineMap>& catalogue = m_index.catalogue();
    for (qsizetype row = 0; row < m_rows.size(); ++row)
        if (catalogue.at(m_rows.at(row)).id == id)
            return int(row);
    return -1;
}

int OnlineCatalogueListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant OnlineCatalogueListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_rows.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
        return OnlineCatalogBrowsing::cellText(entry(index.row()));
    return {};
}

void OnlineCatalogueCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const
{
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    QFont font = option.font;
    font.setPixelSize(12); // the desktop's 12 points
    const QRectF area = QRectF(option.rect).adjusted(10, 0, -10, 0);
    // Lay the text out by hand: wrapped at the cell's width, three lines at most.
    QTextLayout layout(index.data(Qt::DisplayRole).toString().replace(u'\n', QChar::LineSeparator), font);
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(textOption);
    layout.beginLayout();
    qreal height = 0;
    for (int line = 0; line < 3; ++line) {
        QTextLine textLine = layout.createLine();
        if (!textLine.isValid())
            break;
        textLine.setLineWidth(area.width());
        textLine.setPosition(QPointF(0, height));
        height += textLine.height();
    }
    layout.endLayout();

    const bool selected = option.state.testFlag(QStyle::State_Selected);
    painter->save();
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setClipRect(option.rect);
    layout.draw(painter, QPointF(area.left(), area.top() + (area.height() - height) / 2));
    painter->restore();
}

QSize OnlineCatalogueCellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return QSize(option.rect.width(), rowHeight);
}
