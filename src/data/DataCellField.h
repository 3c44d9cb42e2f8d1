#pragma once

#include <QLineEdit>
#include <QString>

// The editor of one data cell: remembers the entity of its row and the identifier of its
// column ("identifier", "name" or a variable id), so a finished edit knows what it belongs to.
class DataCellField : public QLineEdit {
    Q_OBJECT
public:
    explicit DataCellField(QWidget* parent = nullptr)
        : QLineEdit(parent)
    {
    }

    QString entityID;
    QString variableID;
};
