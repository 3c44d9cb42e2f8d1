#include "model/PlmFrenchCount.h"

#include <QList>
#include <gtest/gtest.h>

// French writes 0 and 1 with the singular, from 2 on the plural.
TEST(PlmFrenchCountTest, theSingularServesZeroAndOne)
{
    struct Row {
        const char* name;
        qint64 count;
        QString expected;
    };
    const QList<Row> rows = {
        {"none", 0, QStringLiteral("0 entité importée")},
        {"one", 1, QStringLiteral("1 entité importée")},
        {"two", 2, QStringLiteral("2 entités importées")},
        {"many", 35000, QStringLiteral("35000 entités importées")},
        {"minus one", -1, QStringLiteral("-1 entité importée")},
        {"minus two", -2, QStringLiteral("-2 entités importées")},
    };
    for (const Row& row : rows)
        EXPECT_EQ(PlmFrenchCount::counted(row.count, QStringLiteral("entité importée"), QStringLiteral("entités importées")),
                  row.expected)
            << row.name;
}
