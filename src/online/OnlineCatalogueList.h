#pragma once

#include "catalogue/OnlineCatalogBrowsing.h"

#include <QAbstractListModel>
#include <QStyledItemDelegate>

// The rows of the catalogue window's list: the filtered entries of a search index, read by
// position, so that a refilter of a large catalogue copies no entry.
class OnlineCatalogueListModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void setRows(const OnlineCatalogBrowsing::SearchIndex& index, const QList<qsizetype>& rows);
    const OnlineMap& entry(int row) const;
    // The row showing the entry with that id, or -1.
    int rowOf(const QString& id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    OnlineCatalogBrowsing::SearchIndex m_index;
    QList<qsizetype> m_rows;
};

// A cell of 56 points: the name, then the vintage and the source, in the 12-point system font,
// at most three lines, 10 points from each side, centred vertically.
class OnlineCatalogueCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int rowHeight = 56;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
