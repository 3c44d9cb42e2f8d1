#include "data/DataImportWindowControllerPreview.h"

#include "data/DataImportWindowControllerModel.h"

DataImportWindowControllerPreview::DataImportWindowControllerPreview(const DataImportWindowControllerModel& model,
                                                                     QObject* parent)
    : QAbstractTableModel(parent)
    , m_model(model)
{
}

bool DataImportWindowControllerPreview::reload()
{
    const QStringList wanted = m_model.previewColumnIdentifiers();
    const bool columnsChanged = wanted != m_identifiers;
    beginResetModel();
    m_identifiers = wanted;
    endResetModel();
    return columnsChanged;
}

int DataImportWindowControllerPreview::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_model.visibleRows().size());
}

int DataImportWindowControllerPreview::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_identifiers.size());
}

QColor DataImportWindowControllerPreview::attentionColor()
{
    return QColor(255, 149, 0); // the system orange
}

QVariant DataImportWindowControllerPreview::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() >= m_identifiers.size() || index.row() >= m_model.visibleRows().size())
        return {};
    const QString& identifier = m_identifiers.at(index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return m_model.previewText(index.row(), identifier);
    case Qt::ForegroundRole:
        if (identifier == QLatin1String("0") && m_model.previewNeedsAttention(index.row()))
            return attentionColor();
        return {};
    default:
        return {};
    }
}

QVariant DataImportWindowControllerPreview::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_identifiers.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_model.previewTitle(m_identifiers.at(section));
    return {};
}
