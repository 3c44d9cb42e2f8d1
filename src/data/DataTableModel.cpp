#include "data/DataTableModel.h"

#include <algorithm>
#include <numeric>

namespace {

const QString identifierID = QStringLiteral("identifier");
const QString nameID = QStringLiteral("name");

QStringList columnsOf(const PlmWork& work)
{
    QStringList columns{identifierID, nameID};
    columns.reserve(2 + work.variables.size());
    for (const PlmVariable& variable : work.variables)
        columns.append(variable.id);
    return columns;
}

} // namespace

DataTableModel::DataTableModel(QObject* parent)
    : QAbstractTableModel(parent)
{
    m_columns = {identifierID, nameID};
}

DataTableModel::Change DataTableModel::setWork(const PlmWork& work, const QStringList& rowEntityIDs)
{
    const QStringList columns = columnsOf(work);
    const bool sameColumns = columns == m_columns;
    const bool sameRows = rowEntityIDs.isSharedWith(m_rows) || rowEntityIDs == m_rows;
    if (!sameColumns || !sameRows) {
        beginResetModel();
        m_work = work;
        m_rows = rowEntityIDs;
        m_columns = columns;
        m_rowOfEntity.clear();
        m_rowOfEntityValid = false;
        const PlmEntityList& list = work.map.entities;
        // Rows in base map order (the unsorted table) name the entities at their own index.
        bool inMapOrder = m_rows.size() == list.size();
        for (qsizetype i = 0; i < m_rows.size() && inMapOrder; ++i)
            inMapOrder = m_rows.at(i) == list.at(i).id;
        m_entityIndexOfRow.resize(m_rows.size());
        if (inMapOrder) {
            std::iota(m_entityIndexOfRow.begin(), m_entityIndexOfRow.end(), 0);
        } else {
            m_entityIndexOfRow.fill(-1);
            for (qsizetype i = 0; i < list.size(); ++i) {
                const int row = this->row(list.at(i).id);
                if (row >= 0)
                    m_entityIndexOfRow[row] = int(i);
            }
        }
        endResetModel();
        return sameColumns ? Change::rows : Change::columns;
    }
    // Comparing whole works would compare every geometry; the cells are compared instead.
    const PlmWork previous = m_work;
    m_work = work;
    emitChangedCells(previous);
    return Change::cells;
}

void DataTableModel::emitChangedCells(const PlmWork& previous)
{
    // Names: the entities may have moved in the map's list while the rows stayed (a sorted
    // table), so the index of each row's entity is checked and rebuilt when stale.
    const PlmEntityList& before = previous.map.entities;
    const PlmEntityList& after = m_work.map.entities;
    if (!(after == before)) {
        const QList<int> oldIndex = m_entityIndexOfRow;
        bool stale = false;
        for (qsizetype row = 0; row < m_rows.size() && !stale; ++row) {
            const int i = m_entityIndexOfRow.at(row);
            if (i >= 0 && i < after.size() && i < before.size() && after.sharesEntity(i, before, i))
                continue; // the entity the row named is still there, unchanged
            stale = i >= 0 && (i >= after.size() || after.at(i).id != m_rows.at(row));
        }
        if (stale) {
            QHash<QString, int> indexOfEntity;
            indexOfEntity.reserve(after.size());
            for (qsizetype i = 0; i < after.size(); ++i)
                indexOfEntity.insert(after.at(i).id, int(i));
            for (qsizetype row = 0; row < m_rows.size(); ++row)
                m_entityIndexOfRow[row] = indexOfEntity.value(m_rows.at(row), -1);
        }
        QList<int> renamed;
        for (qsizetype row = 0; row < m_rows.size(); ++row) {
            const int was = oldIndex.at(row);
            const int now = m_entityIndexOfRow.at(row);
            // The very same shared entity has the same name: most rows are skipped unread.
            if (was >= 0 && now >= 0 && was < before.size() && after.sharesEntity(now, before, was))
                continue;
            const QString oldName = was >= 0 && was < before.size() ? before.at(was).name : QString();
            const QString newName = now >= 0 ? after.at(now).name : QString();
            if (oldName != newName)
                renamed.append(int(row));
        }
        emitChangedRows(1, renamed);
    }

    for (qsizetype v = 0; v < m_work.variables.size(); ++v) {
        const PlmVariable& now = m_work.variables.at(v);
        const PlmVariable& was = previous.variables.at(v);
        const int column = int(v) + 2;
        if (now.name != was.name)
            emit headerDataChanged(Qt::Horizontal, column, column);
        if (now.type != was.type || now.calculation != was.calculation) {
            if (!m_rows.isEmpty())
                emit dataChanged(index(0, column), index(int(m_rows.size()) - 1, column));
            continue;
        }
        if (now.values.isSharedWith(was.values))
            continue;
        // Only the rows whose cells changed are refreshed; blocks the two columns share are
        // skipped unread.
        QList<int> changed;
        PlmVariableValues::forEachDifference(was.values, now.values,
                                             [this, &changed](const QString& entityID, const PlmValue* x, const PlmValue* y) {
                                                 if (x && y && *x == *y)
                                                     return;
                                                 const int row = this->row(entityID);
                                                 if (row >= 0)
                                                     changed.append(row);
                                             });
        emitChangedRows(column, changed);
    }
}

void DataTableModel::emitChangedRows(int column, const QList<int>& changed)
{
    if (changed.isEmpty())
        return;
    QList<int> rows = changed;
    std::sort(rows.begin(), rows.end());
    // Many scattered rows make one range rather than thousands of signals.
    if (rows.size() > 64) {
        emit dataChanged(index(rows.first(), column), index(rows.last(), column));
        return;
    }
    for (qsizetype i = 0; i < rows.size();) {
        qsizetype j = i;
        while (j + 1 < rows.size() && rows.at(j + 1) <= rows.at(j) + 1)
            ++j;
        emit dataChanged(index(rows.at(i), column), index(rows.at(j), column));
        i = j + 1;
    }
}

int DataTableModel::row(const QString& entityID) const
{
    if (!m_rowOfEntityValid) {
        m_rowOfEntity.clear();
        m_rowOfEntity.reserve(m_rows.size());
        for (qsizetype i = 0; i < m_rows.size(); ++i)
            m_rowOfEntity.insert(m_rows.at(i), int(i));
        m_rowOfEntityValid = true;
    }
    return m_rowOfEntity.value(entityID, -1);
}

const PlmEntity* DataTableModel::entity(int row) const
{
    const int i = row >= 0 && row < m_entityIndexOfRow.size() ? m_entityIndexOfRow.at(row) : -1;
    return i >= 0 && i < m_work.map.entities.size() ? &m_work.map.entities.at(i) : nullptr;
}

const PlmVariable* DataTableModel::variable(int column) const
{
    const int v = column - 2;
    return v >= 0 && v < m_work.variables.size() ? &m_work.variables.at(v) : nullptr;
}

QString DataTableModel::text(int row, int column) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    if (column == 0)
        return m_rows.at(row);
    if (column == 1) {
        const PlmEntity* shown = entity(row);
        return shown ? shown->name : QString();
    }
    if (const PlmVariable* shown = variable(column))
        return shown->displayText(m_rows.at(row)).value_or(QString());
    return {};
}

int DataTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int DataTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant DataTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole) {
        const PlmVariable* shown = variable(index.column());
        if (shown && shown->type != PlmVariableType::text)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

QVariant DataTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == 0)
        return QStringLiteral("Identifiant");
    if (section == 1)
        return QStringLiteral("Nom");
    const PlmVariable* shown = variable(section);
    return shown ? shown->name : QString();
}

Qt::ItemFlags DataTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const PlmVariable* shown = variable(index.column());
    if (shown && !shown->isCalculated())
        flags |= Qt::ItemIsEditable;
    return flags;
}
