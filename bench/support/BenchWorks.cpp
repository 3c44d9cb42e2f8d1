#include "support/BenchWorks.h"

#include "support/BenchMaps.h"

#include "model/PlmFormula.h"

#include <cmath>
#include <random>

namespace BenchWorks {

namespace {

PlmVariableType inputType(int index)
{
    if (index % 5 == 4)
        return PlmVariableType::text;
    return index % 5 == 3 ? PlmVariableType::percentage : PlmVariableType::number;
}

QString inputName(int index)
{
    return QStringLiteral("Variable %1").arg(index + 1);
}

// The numeric input variables, by index, that formulas may name.
QList<int> numericInputs(int variables)
{
    QList<int> out;
    for (int i = 0; i < variables; ++i)
        if (inputType(i) != PlmVariableType::text)
            out.append(i);
    return out;
}

QString formula(int index, const QList<int>& numeric)
{
    if (numeric.isEmpty())
        return QStringLiteral("%1 * 2").arg(index + 1);
    const QString a = PlmFormula::reference(inputName(numeric[index % numeric.size()]));
    const QString b = PlmFormula::reference(inputName(numeric[(index + 1) % numeric.size()]));
    if (index == 0)
        return a + QStringLiteral(" / ") + b + QStringLiteral(" * 100");
    const QString previous = PlmFormula::reference(QStringLiteral("Calcul %1").arg(index));
    switch (index % 3) {
    case 0: return QStringLiteral("(") + a + QStringLiteral(" − ") + b + QStringLiteral(") ÷ 1000 + ") + previous;
    case 1: return previous + QStringLiteral(" × 2 + ") + a;
    default: return QStringLiteral("-") + previous + QStringLiteral(" / (") + b + QStringLiteral(" + 1,5)");
    }
}

} // namespace

QString inputVariableID(int index)
{
    return QStringLiteral("6F1C2A3B-0000-4000-8000-%1").arg(index, 12, 10, QLatin1Char('0'));
}

QString calculatedVariableID(int index)
{
    return QStringLiteral("C4A1D2E3-0000-4000-8000-%1").arg(index, 12, 10, QLatin1Char('0'));
}

PlmWork makeLargeWork(int entities, int variables, int calculated)
{
    PlmWork work;
    work.map = BenchMaps::makeLargeMap(entities);
    work.sourceMapURL = QStringLiteral("file:///bench/communes.plmmap");

    std::mt19937_64 rng(2024);
    std::lognormal_distribution<double> population(7.5, 1.4);
    std::uniform_real_distribution<double> share(0.0, 100.0);
    static const QStringList zones{"Nord", "Sud", "Est", "Ouest", "Centre", "Littoral", "Montagne"};

    for (int v = 0; v < variables; ++v) {
        const PlmVariableType type = inputType(v);
        QMap<QString, PlmValue> values;
        int row = 0;
        for (const PlmEntity& entity : work.map.entities) {
            ++row;
            if ((row + v) % 37 == 0)
                continue; // an empty cell
            switch (type) {
            case PlmVariableType::number:
                values.insert(entity.id, PlmValue::number(std::round(population(rng))));
                break;
            case PlmVariableType::percentage:
                values.insert(entity.id, PlmValue::percentage(std::round(share(rng) * 10) / 10));
                break;
            case PlmVariableType::text:
                values.insert(entity.id, PlmValue::text(zones[int(rng() % std::uint64_t(zones.size()))]));
                break;
            }
        }
        work.variables.append(PlmVariable(inputVariableID(v), inputName(v), type, values, std::nullopt));
    }

    const QList<int> numeric = numericInputs(variables);
    for (int c = 0; c < calculated; ++c) {
        const PlmVariableType type = c == 0 ? PlmVariableType::percentage : PlmVariableType::number;
        work.variables.append(PlmVariable(calculatedVariableID(c), QStringLiteral("Calcul %1").arg(c + 1), type, {},
                                          PlmCalculation{formula(c, numeric), 2}));
    }

    if (!numeric.isEmpty()) {
        PlmThematicSettings settings;
        settings.variableID = inputVariableID(numeric.first());
        settings.method = PlmClassificationMethod::jenks;
        settings.classCount = 5;
        work.thematic = settings;
    }
    work.recomputeCalculatedVariables();
    work.recomputeThematicThresholds();
    return work;
}

} // namespace BenchWorks
