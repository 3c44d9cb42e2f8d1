#include "model/PlmEditingStyle.h"
#include "model/PlmErrors.h"
#include "model/PlmPresentation.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

template <typename T> QString failure(const T& value)
{
    return thrownMessage<PlmWorkError>([&] { value.validate(); });
}

QString styleFailure(const std::function<void(PlmEditingStyle&)>& change)
{
    PlmEditingStyle style;
    change(style);
    return failure(style);
}

const QString propertyMessage = QStringLiteral("Propriété d’inspecteur incorrecte.");
const QString inspectorColorMessage = QStringLiteral("Couleur d’inspecteur incorrecte.");
const QString textMessage = QStringLiteral("Présentation de texte incorrecte.");
const QString colorMessage = QStringLiteral("Couleur d’habillage incorrecte.");

}  // namespace

TEST(PlmEditingStyle, DefaultStyle)
{
    const PlmEditingStyle style;
    EXPECT_EQ(failure(style), QString());
    EXPECT_TRUE(style.wraps);
    EXPECT_EQ(style.fontWeight, 1);
    EXPECT_FALSE(style.textWidth.has_value());
    EXPECT_EQ(style.stroke, (PlmColor{0.12, 0.12, 0.12, 1}));
    EXPECT_EQ(style.frameFill, (PlmColor{1, 1, 1, 0}));
    EXPECT_EQ(style.shadowColor, (PlmColor{0, 0, 0, 0.25}));
    EXPECT_EQ(style.padding, 6);
    EXPECT_EQ(style.shadowX, 3);
    EXPECT_EQ(style.shadowY, -3);
    EXPECT_EQ(style.shadowBlur, 4);
    EXPECT_EQ(style.columns, 1);
    EXPECT_EQ(style.legendSpacing, 12);
    EXPECT_EQ(style.swatchSize, 22);
}

TEST(PlmEditingStyle, TextWidth)
{
    EXPECT_EQ(styleFailure([](auto& s) { s.textWidth = 0.5; }), QString());
    EXPECT_EQ(styleFailure([](auto& s) { s.textWidth = 2; }), QString());
    const QString message = QStringLiteral("Largeur des caractères incorrecte.");
    EXPECT_EQ(styleFailure([](auto& s) { s.textWidth = 0.49; }), message);
    EXPECT_EQ(styleFailure([](auto& s) { s.textWidth = kNaN; }), message);
    // The width is checked before the other properties.
    EXPECT_EQ(styleFailure([](auto& s) { s.textWidth = 3; s.columns = 0; }), message);
}

TEST(PlmEditingStyle, NumberBounds)
{
    EXPECT_EQ(styleFailure([](auto& s) { s.tracking = -20; }), QString());
    EXPECT_EQ(styleFailure([](auto& s) { s.tracking = -21; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.tracking = 100.5; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.baseline = -100; }), QString());
    EXPECT_EQ(styleFailure([](auto& s) { s.baseline = 101; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.lineSpacing = 300; }), QString());
    EXPECT_EQ(styleFailure([](auto& s) { s.lineSpacing = -1; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.paragraphBefore = 301; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.paragraphAfter = 301; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.indent = 301; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.firstIndent = -0.5; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.tailIndent = 301; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.strokeWidth = 40; }), QString());
    EXPECT_EQ(styleFailure([](auto& s) { s.strokeWidth = 41; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.padding = 101; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.cornerRadius = 201; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.opacity = 1.01; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.shadowX = -101; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.shadowY = 101; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.shadowBlur = -1; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.rotation = -360; }), QString());
    EXPECT_EQ(styleFailure([](auto& s) { s.rotation = 360.5; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.legendSpacing = 101; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.swatchSize = 3.9; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.swatchSize = kNaN; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.padding = std::numeric_limits<double>::infinity(); }), propertyMessage);
}

TEST(PlmEditingStyle, IntegerCodes)
{
    EXPECT_EQ(styleFailure([](auto& s) { s.columns = 6; }), QString());
    EXPECT_EQ(styleFailure([](auto& s) { s.columns = 0; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.columns = 7; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.columns = -1; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.fontWeight = 3; }), QString());
    EXPECT_EQ(styleFailure([](auto& s) { s.fontWeight = 4; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.fontWeight = -1; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.dash = 3; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.cap = -2; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.join = 3; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.northStyle = 3; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.scaleStyle = 2; }), QString());
    EXPECT_EQ(styleFailure([](auto& s) { s.scaleStyle = 3; }), propertyMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.scaleUnit = std::numeric_limits<int>::min(); }), propertyMessage);
}

TEST(PlmEditingStyle, Colours)
{
    EXPECT_EQ(styleFailure([](auto& s) { s.shadowColor.alpha = 1.5; }), inspectorColorMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.stroke.red = kNaN; }), inspectorColorMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.frameFill.blue = -0.01; }), inspectorColorMessage);
    EXPECT_EQ(styleFailure([](auto& s) { s.frameFill.blue = -0.0; }), QString());
    // Numbers come before colours.
    EXPECT_EQ(styleFailure([](auto& s) { s.stroke.red = 2; s.columns = 9; }), propertyMessage);
}

TEST(PlmPresentation, Validation)
{
    PlmPresentation presentation;
    EXPECT_EQ(failure(presentation), QString());
    presentation.fontName = QStringLiteral("   ");
    EXPECT_EQ(failure(presentation), QString());  // a name of blanks is still a name
    presentation.fontName.clear();
    EXPECT_EQ(failure(presentation), textMessage);

    presentation = PlmPresentation();
    presentation.fontSize = 96;
    EXPECT_EQ(failure(presentation), QString());
    presentation.fontSize = 96.5;
    EXPECT_EQ(failure(presentation), textMessage);
    presentation.fontSize = 5.9;
    EXPECT_EQ(failure(presentation), textMessage);

    presentation = PlmPresentation();
    presentation.width = 1200;
    presentation.height = 30;
    EXPECT_EQ(failure(presentation), QString());
    presentation.width = 39;
    EXPECT_EQ(failure(presentation), textMessage);
    presentation.width = 40;
    presentation.height = 1601;
    EXPECT_EQ(failure(presentation), textMessage);

    presentation = PlmPresentation();
    presentation.color.red = 1.0000001;
    EXPECT_EQ(failure(presentation), colorMessage);
    presentation.color.red = 1;
    presentation.background.green = kNaN;
    EXPECT_EQ(failure(presentation), colorMessage);

    // The editing style is checked first.
    presentation.editing = PlmEditingStyle();
    presentation.editing->swatchSize = 1;
    EXPECT_EQ(failure(presentation), propertyMessage);
}

TEST(PlmPresentation, EffectiveEditingStyle)
{
    PlmPresentation presentation;
    presentation.background = PlmColor{0.2, 0.4, 0.6, 0.8};
    presentation.bold = true;
    presentation.border = true;
    presentation.color = PlmColor{1, 0, 0, 1};

    PlmEditingStyle expected;
    expected.frameFill = presentation.background;
    EXPECT_EQ(presentation.effectiveEditingStyle(), expected);
    EXPECT_FALSE(presentation.editing.has_value());

    PlmEditingStyle chosen = presentation.effectiveEditingStyle();
    chosen.rotation = 12;
    presentation.setEffectiveEditingStyle(chosen);
    ASSERT_TRUE(presentation.editing.has_value());
    EXPECT_EQ(*presentation.editing, chosen);
    // A stored style is used as it is, whatever the background.
    presentation.background = PlmColor{0, 0, 0, 1};
    EXPECT_EQ(presentation.effectiveEditingStyle(), chosen);
}
