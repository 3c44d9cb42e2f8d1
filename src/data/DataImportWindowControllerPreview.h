#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>

class DataImportWindowControllerModel;

// The import dialog's preview as a table model: one row per visible data row, the zone column
// ("0") then the table columns shown (k + 1 for column k). Only the rows on screen are ever
// asked for, so a table of 35,000 rows costs nothing until it is scrolled.
class DataImportWindowControllerPreview : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DataImportWindowControllerPreview(const DataImportWindowControllerModel& model, QObject* parent = nullptr);

    // Resets the rows, and the columns when their identifiers changed; true when they did.
    bool reload();
    const QStringList& identifiers() const { return m_identifiers; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The colour of a zone text on a row that needs attention.
    static QColor attentionColor();

private:
    const DataImportWindowControllerModel& m_model;
    QStringList m_identifiers;
};
