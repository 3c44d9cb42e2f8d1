#pragma once

#include "model/PlmWork.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

// The rows of the data table over one snapshot of the work: identifier, name, then one
// column per variable. Nothing is copied per cell; texts are made when a cell is shown.
class DataWindowControllerModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DataWindowControllerModel(QObject* parent = nullptr);

    void setWork(const PlmWork& work);
    const QList<QString>& rowEntityIDs() const { return m_rows; }
    int row(const QString& entityID) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    bool sameRows(const PlmWork& work) const;

    PlmWork m_work;
    QList<QString> m_rows;
    QHash<QString, int> m_rowOfEntity;
};
