#pragma once

#include "model/PlmJson.h"
#include "model/PlmValue.h"
#include "model/PlmVariableType.h"
#include "model/PlmVariableValues.h"

#include <QMap>
#include <QString>
#include <optional>

// The formula of a calculated variable and the number of fraction digits of its display.
struct PlmCalculation {
    QString expression;
    int decimals = 0; // 0 to 10, checked with the other calculations of the work

    bool operator==(const PlmCalculation&) const = default;

    // {"decimals": <integer>, "expression": <string>}, both required.
    static PlmCalculation fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};

// One column of the data table: at most one value per top-level entity, keyed by entity id.
// An input variable has no calculation; a calculated variable's values are derived from its
// formula and are replaced on every recomputation.
struct PlmVariable {
    QString id;
    QString name;
    PlmVariableType type = PlmVariableType::number;
    PlmVariableValues values;
    std::optional<PlmCalculation> calculation;

    PlmVariable() = default;
    PlmVariable(QString id, QString name, PlmVariableType type, PlmVariableValues values,
                std::optional<PlmCalculation> calculation);

    bool operator==(const PlmVariable&) const = default;

    bool isCalculated() const { return calculation.has_value(); }

    // Equal but for the values: what formulas and derived columns read of a variable.
    bool sameDefinition(const PlmVariable& other) const
    {
        return id == other.id && name == other.name && type == other.type && calculation == other.calculation;
    }
    // Two variable lists of the same definitions in the same order.
    static bool sameDefinitions(const QList<PlmVariable>& a, const QList<PlmVariable>& b);

    // The text of this variable's cell for an entity, none without a value. Inputs show their
    // editing text; calculated numbers show exactly `decimals` fraction digits, with " %"
    // for a percentage variable ("1234,50", "12 %").
    std::optional<QString> displayText(const QString& entityID) const;

    // {"calculation"?, "id", "name", "type", "values"}.
    static PlmVariable fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};
