#pragma once

// Small works for the tests of the work record: point entities named after their
// ids and variables built from (entity id, value) pairs.
#include "model/PlmWork.h"

#include <QList>
#include <QMap>
#include <QString>
#include <utility>

namespace PlmWorkTest {

inline PlmEntity pointEntity(const QString& id, double x = 0, double y = 0)
{
    return PlmEntity(id, id, PlmGeometry::point(PlmPoint{x, y}), PlmStyle());
}

inline PlmMap mapWithEntities(const QStringList& ids)
{
    PlmEntityList entities;
    for (qsizetype i = 0; i < ids.size(); ++i)
        entities.append(pointEntity(ids[i], double(i), double(i)));
    return PlmMap(QStringLiteral("Carte"), entities);
}

inline PlmVariable numberVariable(const QString& id, const QString& name,
                                  const QList<std::pair<QString, double>>& cells,
                                  PlmVariableType type = PlmVariableType::number)
{
    QMap<QString, PlmValue> values;
    for (const auto& [entity, number] : cells)
        values.insert(entity, type == PlmVariableType::percentage ? PlmValue::percentage(number)
                                                                  : PlmValue::number(number));
    return PlmVariable(id, name, type, values, std::nullopt);
}

inline PlmVariable textVariable(const QString& id, const QString& name,
                                const QList<std::pair<QString, QString>>& cells)
{
    QMap<QString, PlmValue> values;
    for (const auto& [entity, text] : cells)
        values.insert(entity, PlmValue::text(text));
    return PlmVariable(id, name, PlmVariableType::text, values, std::nullopt);
}

inline PlmVariable calculatedVariable(const QString& id, const QString& name, const QString& expression,
                                      PlmVariableType type = PlmVariableType::number, int decimals = 2)
{
    return PlmVariable(id, name, type, {}, PlmCalculation{expression, decimals});
}

} // namespace PlmWorkTest
