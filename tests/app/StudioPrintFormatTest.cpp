#include "app/StudioPrintFormat.h"
#include "model/PlmErrors.h"
#include "model/PlmWork.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

namespace {

using namespace StudioPrintFormat;

PlmWork workWithPage(const PlmPrintPage& page)
{
    PlmWork work;
    work.decoration = PlmDecoration();
    work.decoration->printPage = page;
    return work;
}

QString refusal(const QString& width, const QString& height, const PlmWork& work)
{
    return thrownMessage<PlmWorkError>([&] { typedPage(width, height, work); });
}

TEST(StudioPrintFormatTest, FormatsFollowTheOrientation)
{
    PlmPrintPage landscape;
    landscape.margin = 15;
    landscape.visible = false;
    landscape.origin = PlmPoint{3, 4};
    const PlmPrintPage a3Page = formatPage(StudioPrintFormat::a3, landscape);
    EXPECT_EQ(a3Page.width, 420);
    EXPECT_EQ(a3Page.height, 297);
    EXPECT_EQ(a3Page.margin, 15);
    EXPECT_FALSE(a3Page.visible);
    EXPECT_EQ(a3Page.origin, (PlmPoint{3, 4}));

    PlmPrintPage portrait = landscape;
    portrait.landscape = false;
    const PlmPrintPage a3Portrait = formatPage(StudioPrintFormat::a3, portrait);
    EXPECT_EQ(a3Portrait.width, 297);
    EXPECT_EQ(a3Portrait.height, 420);
    const PlmPrintPage a4Portrait = formatPage(StudioPrintFormat::a4, portrait);
    EXPECT_EQ(a4Portrait.width, 210);
    EXPECT_EQ(a4Portrait.height, 297);
}

TEST(StudioPrintFormatTest, TypedSidesReadDecimalCommas)
{
    EXPECT_EQ(parseDimension("297,5"), 297.5);
    EXPECT_EQ(parseDimension(" 210 "), 210);
    EXPECT_EQ(parseDimension("2.5e2"), 250);
    for (const char* bad : {"abc", "", "297 mm", "1,2,3", "nan", "inf", "0x10", "12 5"})
        EXPECT_FALSE(parseDimension(QString::fromUtf8(bad))) << bad;

    PlmPrintPage current;
    current.margin = 12;
    current.visible = false;
    const PlmPrintPage page = typedPage("297,5", "200", workWithPage(current));
    EXPECT_EQ(page.width, 297.5);
    EXPECT_EQ(page.height, 200);
    EXPECT_TRUE(page.landscape);
    EXPECT_EQ(page.margin, 12);
    EXPECT_FALSE(page.visible);
    // A square page counts as landscape; a taller one as portrait.
    EXPECT_TRUE(typedPage("300", "300", PlmWork()).landscape);
    const PlmPrintPage tall = typedPage("200", "300", PlmWork());
    EXPECT_FALSE(tall.landscape);
    EXPECT_EQ(tall.margin, 10);
    EXPECT_TRUE(tall.visible);

    EXPECT_EQ(refusal("abc", "210", PlmWork()), QStringLiteral("Dimensions de page incorrectes."));
    EXPECT_EQ(refusal("297", "", PlmWork()), QStringLiteral("Dimensions de page incorrectes."));
}

TEST(StudioPrintFormatTest, FirstToggleGivesAVisibleA4LandscapePage)
{
    PlmWork work;
    EXPECT_EQ(currentPage(work), PlmPrintPage());
    togglePageVisibility(work);
    ASSERT_TRUE(work.decoration && work.decoration->printPage);
    const PlmPrintPage& page = *work.decoration->printPage;
    EXPECT_EQ(page.width, 297);
    EXPECT_EQ(page.height, 210);
    EXPECT_EQ(page.margin, 10);
    EXPECT_TRUE(page.landscape);
    EXPECT_TRUE(isPageVisible(work));
    togglePageVisibility(work);
    EXPECT_FALSE(isPageVisible(work));
    EXPECT_EQ(work.decoration->printPage->width, 297);
}

TEST(StudioPrintFormatTest, EntityNamesToggleFromAbsent)
{
    PlmWork work;
    EXPECT_FALSE(showsEntityNames(work));
    toggleEntityNames(work);
    EXPECT_TRUE(showsEntityNames(work));
    toggleEntityNames(work);
    ASSERT_TRUE(work.decoration->showEntityNames.has_value());
    EXPECT_FALSE(*work.decoration->showEntityNames);
}

} // namespace
