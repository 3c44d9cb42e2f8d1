#pragma once

#include "model/PlmWork.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// What the data pane's copy and paste exchange with the clipboard, apart from the widgets: the
// cells a copy writes for a list of entities and where a pasted block lands. Copies carry no
// header line; values are written in their editing text, so that pasting them back gives the
// same values (calculated values at full precision, not with their display decimals).
namespace DataClipboard {

// Identifiers of the two leading columns of the data table.
QString identifierColumn(); // "identifier"
QString nameColumn();       // "name"

// The names of the map's top-level entities by id.
QHash<QString, QString> entityNames(const PlmWork& work);

// The text of one variable's value for an entity: its editing text, empty when absent.
QString valueText(const PlmVariable& variable, const QString& entityID);

// One line of a copy. Cells: the active column's content (the id, the name, or the value of
// the variable with that id; empty for anything else). Rows: id, name, then every variable
// in the work's order.
QStringList clipboardRow(const QString& entityID, bool rows, const QString& activeColumn, const PlmWork& work,
                         const QHash<QString, QString>& names);

// The whole copied text for the entities, in the order given; empty for no entity.
QString copyText(const QList<QString>& entityIDs, bool rows, const QString& activeColumn, const PlmWork& work);

// The entities a pasted block runs down: the rows from the selected one to the last, in
// display order. None when the selected row lies outside the rows.
QList<QString> pasteTargets(const QList<QString>& rows, qsizetype selectedRow);

// The entities that received the lines of a pasted block of `lineCount` lines.
QList<QString> pastedEntities(const QList<QString>& targets, qsizetype lineCount);

} // namespace DataClipboard
