#include "symbolcatalogue/SymbolPickerModel.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

namespace {

PlmProportionalSettings previewSettings(PlmSymbolKind kind)
{
    PlmProportionalSettings settings;
    settings.kind = kind;
    settings.maximumSize = 60;
    settings.color = PlmColor{0.8, 0.18, 0.16, 0.85};
    return settings;
}

} // namespace

void SymbolPickerModel::setEntries(const QList<PlmSymbolCatalogue::Entry>& entries)
{
    beginResetModel();
    m_entries = entries;
    endResetModel();
}

void SymbolPickerModel::forgetSVGShapes() { m_svgShapes.clear(); }

const ProportionalShape* SymbolPickerModel::shape(int row) const
{
    if (row < 0 || row >= m_entries.size())
        return nullptr;
    const PlmSymbolCatalogue::Entry& entry = m_entries.at(row);
    auto& cache = entry.isSVG() ? m_svgShapes : m_sfShapes;
    const QString key = entry.isSVG() ? entry.svg.url : entry.sfName;
    if (const auto found = cache.constFind(key); found != cache.cend())
        return found->get();
    PlmProportionalSettings settings = previewSettings(entry.isSVG() ? PlmSymbolKind::svg : PlmSymbolKind::sfSymbol);
    if (entry.isSVG())
        settings.svgVector = entry.svg.map;
    else
        settings.sfSymbolName = entry.sfName;
    auto made = std::make_shared<ProportionalShape>(settings, false);
    cache.insert(key, made);
    return made.get();
}

int SymbolPickerModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int SymbolPickerModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant SymbolPickerModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size() || index.column() != 1)
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_entries.at(index.row()).displayName();
    return {};
}

QVariant SymbolPickerModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return section == 1 ? QStringLiteral("Symbole") : QString();
    return {};
}

void SymbolPreviewDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, opt.widget); // the selection
    const ProportionalShape* shape = m_model->shape(index.row());
    if (!shape)
        return;
    const bool selected = option.state & QStyle::State_Selected;
    const QColor label = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text).toRgb();
    const PlmColor color{label.redF(), label.greenF(), label.blueF(), 1};
    painter->save();
    // Shapes are y-up: flip once about the cell's centre.
    painter->translate(QRectF(option.rect).center());
    painter->scale(1, -1);
    shape->draw(*painter, QPointF(0, 0), previewSize, color, 1);
    painter->restore();
}
