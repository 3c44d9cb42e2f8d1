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
    EXPECT_EQ(defaultTitle(PlmDecorationKind::sfSymbol).size(), 10);  // one ellipsis character
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
