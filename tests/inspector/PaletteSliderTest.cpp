#include "inspector/PaletteSlider.h"
#include "support/WidgetInput.h"

#include <QStringList>
#include <QStyle>
#include <gtest/gtest.h>

namespace {

// A shown slider 200 points wide whose drag reports and value changes are recorded in order.
struct RecordedSlider {
    PaletteSlider slider;
    QStringList calls;

    RecordedSlider(double value, double minimum, double maximum)
        : slider(value, minimum, maximum)
    {
        slider.resize(200, 20);
        slider.show();
        slider.begin = [this] { calls << "begin"; };
        slider.end = [this] { calls << "end"; };
        QObject::connect(&slider, &PaletteSlider::doubleValueChanged, [this](double) { calls << "value"; });
    }
};

} // namespace

TEST(PaletteSlider, ADragThatChangesNothingStillReportsBeginThenEndOnce)
{
    RecordedSlider t(0.5, 0, 1);
    const QPoint handle(100, 10);
    sendMouse(&t.slider, QEvent::MouseButtonPress, handle);
    EXPECT_TRUE(t.slider.isDragging());
    sendMouse(&t.slider, QEvent::MouseButtonRelease, handle);
    EXPECT_EQ(t.calls, (QStringList{"begin", "end"}));
    EXPECT_FALSE(t.slider.isDragging());
    EXPECT_DOUBLE_EQ(t.slider.doubleValue(), 0.5);
}

TEST(PaletteSlider, ChangesDuringTheDragFallBetweenBeginAndEnd)
{
    RecordedSlider t(0, 0, 100);
    const QPoint start(t.slider.style()->sliderPositionFromValue(0, PaletteSlider::steps, 0, 200) + 2, 10);
    sendMouse(&t.slider, QEvent::MouseButtonPress, start);
    sendMouse(&t.slider, QEvent::MouseMove, start + QPoint(80, 0));
    sendMouse(&t.slider, QEvent::MouseButtonRelease, start + QPoint(80, 0));
    ASSERT_GE(t.calls.size(), 3);
    EXPECT_EQ(t.calls.first(), "begin");
    EXPECT_EQ(t.calls.last(), "end");
    EXPECT_EQ(t.calls.count("begin"), 1);
    EXPECT_EQ(t.calls.count("end"), 1);
    EXPECT_GT(t.slider.doubleValue(), 0);
}

TEST(PaletteSlider, HidingTheSliderMidDragClosesTheDragOnce)
{
    RecordedSlider t(0.2, 0, 1);
    sendMouse(&t.slider, QEvent::MouseButtonPress, QPoint(40, 10));
    t.slider.hide();
    sendMouse(&t.slider, QEvent::MouseButtonRelease, QPoint(40, 10));
    EXPECT_EQ(t.calls.count("end"), 1);
}

TEST(PaletteSlider, UnsetClosuresAreSkipped)
{
    PaletteSlider slider;
    slider.resize(200, 20);
    slider.show();
    sendClick(&slider, QPoint(40, 10));
    EXPECT_FALSE(slider.isDragging());
}

TEST(PaletteSlider, DoubleValuesAreClampedToTheRange)
{
    PaletteSlider slider(6, 6, 96);
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 6);
    slider.setDoubleValue(51);
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 51);
    slider.setDoubleValue(500);
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 96);
    slider.setDoubleValue(std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 6);
    slider.setDoubleRange(10, 0); // reversed bounds are put in order
    EXPECT_DOUBLE_EQ(slider.doubleMinimum(), 0);
    EXPECT_DOUBLE_EQ(slider.doubleMaximum(), 10);
}
