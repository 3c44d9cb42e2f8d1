#include "model/PlmVariable.h"

#include "model/PlmFrenchNumber.h"

#include <utility>

PlmCalculation PlmCalculation::fromJson(const PlmJsonValue& value)
{
    PlmCalculation calculation;
    calculation.expression = value.field<QString>("expression");
    calculation.decimals = value.field<int>("decimals");
    return calculation;
}

void PlmCalculation::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("decimals", decimals);
    writer.field("expression", expression);
    writer.endObject();
}

PlmVariable::PlmVariable(QString id, QString name, PlmVariableType type, PlmVariableValues values,
                         std::optional<PlmCalculation> calculation)
    : id(std::move(id))
    , name(std::move(name))
    , type(type)
    , values(std::move(values))
    , calculation(std::move(calculation))
{
}

std::optional<QString> PlmVariable::displayText(const QString& entityID) const
{
    const auto it = values.constFind(entityID);
    if (it == values.cend())
        return std::nullopt;
    const PlmValue& value = it.value();
    if (value.isText())
        return value.textValue();
    if (!calculation)
        return value.editingText();

    QString text = formatFrenchFixed(*value.numericValue(), calculation->decimals, false);
    if (type == PlmVariableType::percentage)
        text.append(QStringLiteral(" %"));
    return text;
}

PlmVariable PlmVariable::fromJson(const PlmJsonValue& value)
{
    PlmVariable variable;
    variable.calculation = value.optionalField<PlmCalculation>("calculation");
    variable.id = value.field<QString>("id");
    variable.name = value.field<QString>("name");
    variable.type = value.field<PlmVariableType>("type");
    variable.values = value.field<PlmVariableValues>("values");
    return variable;
}

void PlmVariable::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.optionalField("calculation", calculation);
    writer.field("id", id);
    writer.field("name", name);
    writer.field("type", type);
    writer.field("values", values);
    writer.endObject();
}

bool PlmVariable::sameDefinitions(const QList<PlmVariable>& a, const QList<PlmVariable>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (!a[i].sameDefinition(b[i]))
            return false;
    return true;
}
