#include "model/PlmDecoration.h"
#include "model/PlmDecorationObject.h"
#include "model/PlmErrors.h"

#include <gtest/gtest.h>

TEST(PlmDecorationKind, OrderTitlesAndTextKinds)
{
    const QList<PlmDecorationKind>& kinds = allPlmDecorationKinds();
    ASSERT_EQ(kinds.size(), 15);
    EXPECT_EQ(kinds.first(), PlmDecorationKind::title);
    EXPECT_EQ(kinds.last(), PlmDecorationKind::legend);
    for (int i = 0; i < kinds.size(); ++i) {
        EXPECT_EQ(isText(kinds[i]), i < 5) << i;
        EXPECT_EQ(plmDecorationKindFromRawValue(rawValue(kinds[i])), kinds[i]);
    }
    EXPECT_EQ(defaultTitle(PlmDecorationKind::scale), QStringLiteral("Échelle locale"));
    EXPECT_EQ(defaultTitle(PlmDecorationKind::image), QString::fromUtf8("Image / logo\xE2\x80\xA6"));
    EXPECT_EQ(defaultTitle(PlmDecorationKind::sfSymbol), QString::fromUtf8("Pictogramme\xE2\x80\xA6"));
    EXPECT_FALSE(plmDecorationKindFromRawValue(u"Title").has_value());
    EXPECT_FALSE(plmTextAlignmentFromRawValue(u"centre").has_value());
    EXPECT_EQ(plmTextAlignmentFromRawValue(u"justified"), PlmTextAlignment::justified);
}

TEST(PlmDecorationObject, NewTitle)
{
    const PlmDecorationObject title = PlmDecorationObject::make(QStringLiteral("id"), PlmDecorationKind::title);
    EXPECT_EQ(title.text, QStringLiteral("Titre"));
    EXPECT_EQ(title.width, 600);
    EXPECT_EQ(title.height, 52);
    EXPECT_EQ(title.position, (PlmPoint{0.5, 0.98}));
    EXPECT_EQ(title.presentation.fontName, QStringLiteral("Helvetica"));
    EXPECT_EQ(title.presentation.fontSize, 24);
    EXPECT_TRUE(title.presentation.bold);
    EXPECT_EQ(title.presentation.background, (PlmColor{1, 1, 1, 0.9}));
    EXPECT_EQ(title.presentation.color, (PlmColor{0.12, 0.12, 0.12, 1}));
    EXPECT_FALSE(title.presentation.positionInPoints.has_value());
    EXPECT_FALSE(title.presentation.editing.has_value());
}

TEST(PlmDecorationObject, NewObjectsByKind)
{
    const PlmDecorationObject legend = PlmDecorationObject::make(QStringLiteral("l"), PlmDecorationKind::legend);
    EXPECT_EQ(legend.text, QStringLiteral("Légende"));
    EXPECT_EQ(legend.width, 180);
    EXPECT_EQ(legend.height, 100);
    EXPECT_EQ(legend.position, (PlmPoint{0.5, 0.5}));
    EXPECT_EQ(legend.presentation.fontSize, 12);
    EXPECT_FALSE(legend.presentation.bold);
    EXPECT_EQ(legend.presentation.background, (PlmColor{0.85, 0.9, 0.95, 1}));
    EXPECT_FALSE(legend.legendSeries.has_value());

    const PlmDecorationObject scale(QStringLiteral("s"), PlmDecorationKind::scale, std::nullopt, PlmPoint{0.3, 0.4});
    EXPECT_EQ(scale.position, (PlmPoint{0.3, 0.4}));
    EXPECT_EQ(scale.width, 220);
    EXPECT_EQ(scale.height, 64);
    EXPECT_EQ(scale.presentation.background, (PlmColor{1, 1, 1, 0.9}));

    const PlmDecorationObject subtitle =
        PlmDecorationObject::make(QStringLiteral("t"), PlmDecorationKind::subtitle, QStringLiteral("Année 2024"));
    EXPECT_EQ(subtitle.text, QStringLiteral("Année 2024"));
    EXPECT_EQ(subtitle.presentation.fontSize, 16);
    EXPECT_EQ(subtitle.position, (PlmPoint{0.5, 0.82}));

    const PlmDecorationObject author = PlmDecorationObject::make(QStringLiteral("a"), PlmDecorationKind::author);
    EXPECT_EQ(author.position, (PlmPoint{0.97, 0}));
    EXPECT_EQ((std::pair{author.width, author.height}), (std::pair{200.0, 32.0}));
    const PlmDecorationObject north = PlmDecorationObject::make(QStringLiteral("n"), PlmDecorationKind::north);
    EXPECT_EQ(north.position, (PlmPoint{0.92, 0.88}));
    EXPECT_EQ((std::pair{north.width, north.height}), (std::pair{64.0, 100.0}));
    EXPECT_EQ(PlmDecorationObject::make(QStringLiteral("r"), PlmDecorationKind::rectangle).text,
              QStringLiteral("Rectangle"));
}

TEST(PlmDecorationObject, EveryNewKindPassesValidation)
{
    PlmDecoration decoration;
    for (PlmDecorationKind kind : allPlmDecorationKinds()) {
        const PlmDecorationObject object = PlmDecorationObject::make(rawValue(kind), kind);
        EXPECT_EQ(object.text, defaultTitle(kind));
        EXPECT_EQ(object.presentation.effectiveEditingStyle().frameFill, object.presentation.background);
        decoration.objects.append(object);
        try {
            decoration.validate({});
        } catch (const PlmError& error) {
            ADD_FAILURE() << rawValue(kind).toStdString() << ": " << error.message().toStdString();
        }
    }
    EXPECT_EQ(decoration.objects.size(), 15);
}

TEST(PlmDecorationObject, SizesPositionsAndFontsOfEveryKind)
{
    struct Row {
        PlmDecorationKind kind;
        double width, height, x, y, fontSize;
    };
    const Row table[] = {
        {PlmDecorationKind::title, 600, 52, 0.5, 0.98, 24},   {PlmDecorationKind::subtitle, 560, 40, 0.5, 0.82, 16},
        {PlmDecorationKind::text, 300, 58, 0.5, 0.08, 12},    {PlmDecorationKind::source, 600, 32, 0.02, 0, 12},
        {PlmDecorationKind::author, 200, 32, 0.97, 0, 12},    {PlmDecorationKind::scale, 220, 64, 0.06, 0.06, 12},
        {PlmDecorationKind::north, 64, 100, 0.92, 0.88, 12},  {PlmDecorationKind::rectangle, 180, 100, 0.5, 0.5, 12},
        {PlmDecorationKind::ellipse, 180, 100, 0.5, 0.5, 12}, {PlmDecorationKind::line, 180, 100, 0.5, 0.5, 12},
        {PlmDecorationKind::arrow, 180, 100, 0.5, 0.5, 12},   {PlmDecorationKind::image, 180, 100, 0.5, 0.5, 12},
        {PlmDecorationKind::svg, 180, 100, 0.5, 0.5, 12},     {PlmDecorationKind::sfSymbol, 180, 100, 0.5, 0.5, 12},
        {PlmDecorationKind::legend, 180, 100, 0.5, 0.5, 12},
    };
    const PlmColor white{1, 1, 1, 0.9};
    const PlmColor blueGrey{0.85, 0.9, 0.95, 1};
    for (const Row& row : table) {
        const PlmDecorationObject object = PlmDecorationObject::make(QStringLiteral("x"), row.kind);
        const std::string name = rawValue(row.kind).toStdString();
        EXPECT_EQ(object.width, row.width) << name;
        EXPECT_EQ(object.height, row.height) << name;
        EXPECT_EQ(object.position, (PlmPoint{row.x, row.y})) << name;
        EXPECT_EQ(object.presentation.fontSize, row.fontSize) << name;
        EXPECT_EQ(object.presentation.bold, row.kind == PlmDecorationKind::title) << name;
        EXPECT_EQ(object.presentation.alignment, PlmTextAlignment::left) << name;
        EXPECT_EQ(object.presentation.fontName, QStringLiteral("Helvetica")) << name;
        EXPECT_FALSE(object.presentation.border) << name;
        EXPECT_EQ(object.presentation.background, int(row.kind) <= int(PlmDecorationKind::north) ? white : blueGrey)
            << name;
        EXPECT_FALSE(object.legendSeries || object.bitmap || object.bitmapType || object.symbol) << name;
        // A given position is kept for every kind.
        EXPECT_EQ(PlmDecorationObject::make(QStringLiteral("x"), row.kind, std::nullopt, PlmPoint{0.25, 0.75}).position,
                  (PlmPoint{0.25, 0.75}))
            << name;
    }
}
