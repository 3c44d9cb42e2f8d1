#pragma once

#include <QAbstractListModel>
#include <QList>

class DataImportWindowControllerModel;

// The entities the import dialog's zone search offers ("id — name"), as a list model so that
// resetting the offer to every entity of a large map stays cheap.
class DataImportWindowControllerZones : public QAbstractListModel {
    Q_OBJECT
public:
    explicit DataImportWindowControllerZones(const DataImportWindowControllerModel& model, QObject* parent = nullptr);

    void setPositions(const QList<int>& entityPositions);
    const QList<int>& positions() const { return m_positions; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    const DataImportWindowControllerModel& m_model;
    QList<int> m_positions;
};
