#include "export/CarteExportOverflow.h"
#include "support/ExportTestComposition.h"

#include <gtest/gtest.h>

// The test composition is 400 × 300 points: a legend at (280, 20, 110, 90), a title at
// (20, 250, 200, 40).
TEST(CarteExportOverflow, CountsTheElementsReachingBeyondThePageInsideItsMargins)
{
    const double mmPerPoint = 25.4 / 72;
    struct Row {
        const char* name;
        QPointF origin;  // composition point at the page's lower-left corner
        double margin;   // mm
        bool titleHidden;
        int outside;
    };
    const Row rows[] = {
        {"the composition's own size, no margin", {0, 0}, 0, false, 0},
        {"10 mm margins cut the legend's foot and the title's head", {0, 0}, 10, false, 2},
        {"a hidden title is not exported", {0, 0}, 10, true, 1},
        {"a page moved right leaves the title out", {100, 0}, 0, false, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ExportTest::Composition composition;
        composition.title->setHidden(row.titleHidden);
        PlmExportSize size;
        size.width = 400 * mmPerPoint;
        size.height = 300 * mmPerPoint;
        size.margin = row.margin;
        size.actualSize = true;
        size.compositionOrigin = row.origin;
        EXPECT_EQ(CarteExportOverflow::count(composition, size), row.outside);
    }
}

TEST(CarteExportOverflow, StatusLineNamesOneOrSeveralElements)
{
    EXPECT_EQ(CarteExportOverflow::statusLine(0), QString());
    EXPECT_EQ(CarteExportOverflow::statusLine(1), QStringLiteral("Un élément dépasse de la zone exportée."));
    EXPECT_EQ(CarteExportOverflow::statusLine(3), QStringLiteral("3 éléments dépassent de la zone exportée."));
}
