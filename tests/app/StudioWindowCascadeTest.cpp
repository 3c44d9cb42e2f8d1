#include "app/StudioWindowCascade.h"

#include <QList>
#include <gtest/gtest.h>

// A new studio window never lies exactly over an open one.
TEST(StudioWindowCascadeTest, aTakenCornerMovesTheWindowDownAndRight)
{
    const QRect screen(0, 0, 1920, 1080);
    const QSize size(1100, 680);
    struct Row {
        const char* name;
        QPoint wanted;
        QList<QPoint> taken;
        QPoint expected;
    };
    const QList<Row> rows = {
        {"first window", {410, 200}, {}, {410, 200}},
        {"over another", {410, 200}, {{410, 200}}, {434, 224}},
        {"over a cascade of two", {410, 200}, {{410, 200}, {434, 224}}, {458, 248}},
        {"others elsewhere", {410, 200}, {{0, 0}, {500, 500}}, {410, 200}},
        {"leaving the screen starts again at its corner", {820, 400}, {{820, 400}}, {0, 0}},
        {"and goes on from there", {820, 400}, {{820, 400}, {0, 0}}, {24, 24}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(StudioWindowCascade::position(row.wanted, size, row.taken, screen), row.expected) << row.name;
}
