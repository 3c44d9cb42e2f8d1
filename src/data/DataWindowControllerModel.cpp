#include "data/DataWindowControllerModel.h"

DataWindowControllerModel::DataWindowControllerModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void DataWindowControllerModel::setWork(const PlmWork& work)
{
    // The same rows and columns: only values or names changed, the rows stay as they are.
    if (sameRows(work) && m_work.variables.size() == work.variables.size()) {
        m_work = work;
        if (!m_rows.isEmpty())
            emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, columnCount() - 1));
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
        return;
    }
    beginResetModel();
    m_work = work;
    m_rows.clear();
    m_rowOfEntity.clear();
    m_rows.reserve(work.map.entities.size());
    m_rowOfEntity.reserve(work.map.entities.size());
    for (const PlmEntity& entity : work.map.entities) {
        m_rowOfEntity.insert(entity.id, int(m_rows.size()));
        m_rows.append(entity.id);
    }
    endResetModel();
}

bool DataWindowControllerModel::sameRows(const PlmWork& work) const
{
    const PlmEntityList& entities = work.map.entities;
    if (entities.size() != m_rows.size())
        return false;
    if (m_work.map.entities == entities)
        return true;
    // An entity edited in place (renamed, moved, restyled) keeps its row: the hash of rows is
    // not rebuilt for one changed entity of a large map.
    for (qsizetype i = 0; i < entities.size(); ++i) {
        if (entities.at(i).id != m_rows.at(i))
            return false;
    }
    return true;
}

int DataWindowControllerModel::row(const QString& entityID) const
{
    return m_rowOfEntity.value(entityID, -1);
}

int DataWindowControllerModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int DataWindowControllerModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2 + int(m_work.variables.size());
}

QVariant DataWindowControllerModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_rows.size())
        return {};
    const int row = index.row();
    if (index.column() == 0)
        return m_rows.at(row);
    if (index.column() == 1)
        return m_work.map.entities.at(row).name;
    const int variable = index.column() - 2;
    if (variable < 0 || variable >= m_work.variables.size())
        return {};
    return m_work.variables.at(variable).displayText(m_rows.at(row)).value_or(QString());
}

QVariant DataWindowControllerModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == 0)
        return QStringLiteral("Identifiant");
    if (section == 1)
        return QStringLiteral("Nom");
    const int variable = section - 2;
    return variable >= 0 && variable < m_work.variables.size() ? m_work.variables.at(variable).name : QString();
}
