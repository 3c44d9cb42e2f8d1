#include "model/PlmWork.h"

#include <utility>

PlmWork::PlmWork(PlmMap map, std::optional<QString> sourceMapURL, QList<PlmVariable> variables,
                 std::optional<PlmThematicSettings> thematic, std::optional<PlmDecoration> decoration)
    : map(std::move(map))
    , sourceMapURL(std::move(sourceMapURL))
    , variables(std::move(variables))
    , thematic(std::move(thematic))
    , decoration(std::move(decoration))
{
}

qsizetype PlmWork::variableIndex(const QString& id) const
{
    for (qsizetype i = 0; i < variables.size(); ++i)
        if (variables[i].id == id)
            return i;
    return -1;
}

const PlmVariable* PlmWork::variable(const QString& id) const
{
    const qsizetype i = variableIndex(id);
    return i < 0 ? nullptr : &variables[i];
}

QSet<QString> PlmWork::topLevelEntityIDs() const
{
    QSet<QString> ids;
    ids.reserve(map.entities.size());
    for (const PlmEntity& entity : map.entities)
        ids.insert(entity.id);
    return ids;
}

