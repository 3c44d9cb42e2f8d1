#include "data/DataClipboard.h"

#include "model/PlmTabularText.h"

#include <algorithm>

namespace DataClipboard {

QString identifierColumn()
{
    return QStringLiteral("identifier");
}

QString nameColumn()
{
    return QStringLiteral("name");
}

QHash<QString, QString> entityNames(const PlmWork& work)
{
    QHash<QString, QString> names;
    names.reserve(work.map.entities.size());
    for (const PlmEntity& entity : work.map.entities)
        names.insert(entity.id, entity.name);
    return names;
}

QString valueText(const PlmVariable& variable, const QString& entityID)
{
    const auto found = variable.values.constFind(entityID);
    return found == variable.values.constEnd() ? QString() : found->editingText();
}

QStringList clipboardRow(const QString& entityID, bool rows, const QString& activeColumn, const PlmWork& work,
                         const QHash<QString, QString>& names)
{
    QStringList cells;
    if (rows) {
        cells.reserve(2 + work.variables.size());
        cells << entityID << names.value(entityID);
        for (const PlmVariable& variable : work.variables)
            cells << valueText(variable, entityID);
        return cells;
    }
    if (activeColumn == identifierColumn()) {
        cells << entityID;
    } else if (activeColumn == nameColumn()) {
        cells << names.value(entityID);
    } else {
        const PlmVariable* variable = work.variable(activeColumn);
        cells << (variable ? valueText(*variable, entityID) : QString());
    }
    return cells;
}

QString copyText(const QList<QString>& entityIDs, bool rows, const QString& activeColumn, const PlmWork& work)
{
    if (entityIDs.isEmpty())
        return {};
    const QHash<QString, QString> names = entityNames(work);
    QList<QStringList> lines;
    lines.reserve(entityIDs.size());
    for (const QString& id : entityIDs)
        lines.append(clipboardRow(id, rows, activeColumn, work, names));
    return PlmTabularText::format(lines);
}

QList<QString> pasteTargets(const QList<QString>& rows, qsizetype selectedRow)
{
    if (selectedRow < 0 || selectedRow >= rows.size())
        return {};
    return rows.mid(selectedRow);
}

QList<QString> pastedEntities(const QList<QString>& targets, qsizetype lineCount)
{
    return targets.mid(0, std::clamp<qsizetype>(lineCount, 0, targets.size()));
}

} // namespace DataClipboard
