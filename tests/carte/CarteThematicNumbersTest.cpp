#include "carte/CarteThematicLayers.h"
#include "model/PlmVariable.h"

#include <cmath>
#include <gtest/gtest.h>

// Each entity's number comes from its own value, whatever the order of the identifiers,
// repeated, missing, text or non-finite; new thresholds only place the same numbers again.
TEST(CarteThematicNumbers, EachEntityGetsItsOwnFiniteNumberAndItsClass)
{
    PlmVariable variable;
    variable.id = QStringLiteral("v");
    variable.type = PlmVariableType::number;
    for (int i = 0; i < 40; ++i)
        variable.values.insert(QStringLiteral("e%1").arg(i), PlmValue::number(i * 10));
    variable.values.insert(QStringLiteral("texte"), PlmValue::text(QStringLiteral("abc")));
    variable.values.insert(QStringLiteral("infini"), PlmValue::number(INFINITY));

    const QStringList ids{QStringLiteral("e7"),    QStringLiteral("absent"), QStringLiteral("e30"),
                          QStringLiteral("e0"),    QStringLiteral("e7"),     QStringLiteral("texte"),
                          QStringLiteral("infini"), QStringLiteral("e39"),   QStringLiteral("zz")};
    const QList<double> numbers = CarteThematicLayers::entityNumbers(variable, ids);
    ASSERT_EQ(numbers.size(), ids.size());
    const QList<double> expected{70, NAN, 300, 0, 70, NAN, NAN, 390, NAN};
    for (qsizetype i = 0; i < ids.size(); ++i) {
        SCOPED_TRACE(ids[i].toStdString());
        if (std::isnan(expected[i]))
            EXPECT_TRUE(std::isnan(numbers[i]));
        else
            EXPECT_EQ(numbers[i], expected[i]);
    }
    EXPECT_EQ(CarteThematicLayers::classIndices(numbers, {100, 200}),
              (QList<int>{0, -1, 2, 0, 0, -1, -1, 2, -1}));
}
