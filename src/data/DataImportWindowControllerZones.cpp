#include "data/DataImportWindowControllerZones.h"

#include "data/DataImportWindowControllerModel.h"

DataImportWindowControllerZones::DataImportWindowControllerZones(const DataImportWindowControllerModel& model,
                                                                 QObject* parent)
    : QAbstractListModel(parent)
    , m_model(model)
{
}

void DataImportWindowControllerZones::setPositions(const QList<int>& entityPositions)
{
    beginResetModel();
    m_positions = entityPositions;
    endResetModel();
}

int DataImportWindowControllerZones::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_positions.size());
}

QVariant DataImportWindowControllerZones::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_positions.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::ToolTipRole)
        return m_model.zoneItemText(m_positions.at(index.row()));
    return {};
}
