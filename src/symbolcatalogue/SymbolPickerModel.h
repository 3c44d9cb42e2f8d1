#pragma once

#include "canvas/PlmSymbolCatalogue.h"
#include "canvas/ProportionalShape.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QStyledItemDelegate>

#include <memory>

// The rows of the symbol picker: a preview column (painted by SymbolPreviewDelegate) and the
// display name. The shapes of the previews are built when a row is first painted and kept.
class SymbolPickerModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setEntries(const QList<PlmSymbolCatalogue::Entry>& entries);
    const QList<PlmSymbolCatalogue::Entry>& entries() const { return m_entries; }
    // Forgets the shapes of library symbols (their documents may have changed).
    void forgetSVGShapes();
    // The preview's shape of a row, built on first use.
    const ProportionalShape* shape(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<PlmSymbolCatalogue::Entry> m_entries;
    mutable QHash<QString, std::shared_ptr<ProportionalShape>> m_sfShapes;
    mutable QHash<QString, std::shared_ptr<ProportionalShape>> m_svgShapes;
};

// Draws a row's symbol 28 points large, centred in its cell, in the label colour.
class SymbolPreviewDelegate : public QStyledItemDelegate {
public:
    explicit SymbolPreviewDelegate(const SymbolPickerModel* model, QObject* parent = nullptr)
        : QStyledItemDelegate(parent), m_model(model) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static constexpr double previewSize = 28;

private:
    const SymbolPickerModel* m_model;
};
