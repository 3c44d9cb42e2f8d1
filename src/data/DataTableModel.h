#pragma once

#include "model/PlmWork.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>

// The rows and columns of the data table over one snapshot of the work: "identifier",
// "name", then one column per variable, rows in the order given. Nothing is stored per
// cell; a cell's text is made when it is shown. A new snapshot is compared with the last
// one so that only the changed cells are redrawn.
class DataTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // What the last setWork() changed.
    enum class Change { none, cells, rows, columns };

    explicit DataTableModel(QObject* parent = nullptr);

    Change setWork(const PlmWork& work, const QStringList& rowEntityIDs);

    const PlmWork& work() const { return m_work; }
    const QStringList& rowEntityIDs() const { return m_rows; }
    const QStringList& columnIDs() const { return m_columns; }
    int row(const QString& entityID) const;
    int column(const QString& columnID) const { return int(m_columns.indexOf(columnID)); }
    QString entityID(int row) const { return row >= 0 && row < m_rows.size() ? m_rows.at(row) : QString(); }
    QString columnID(int column) const
    {
        return column >= 0 && column < m_columns.size() ? m_columns.at(column) : QString();
    }
    // The variable shown in a column, or null for "identifier" and "name".
    const PlmVariable* variable(int column) const;
    // The top-level entity of a row, or null.
    const PlmEntity* entity(int row) const;
    // The cell's text as shown ("" for a missing value).
    QString text(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void emitChangedCells(const PlmWork& previous);
    void emitChangedRows(int column, const QList<int>& changed);

    PlmWork m_work;
    QStringList m_rows;
    QStringList m_columns;
    // Made at the first lookup by id: opening a large table never needs it.
    mutable QHash<QString, int> m_rowOfEntity;
    mutable bool m_rowOfEntityValid = false;
    QList<int> m_entityIndexOfRow; // index in the map's entity list of each row
};
