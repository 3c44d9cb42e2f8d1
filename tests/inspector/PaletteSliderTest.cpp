#include "inspector/PaletteSlider.h"

#include <QApplication>
#include <QMouseEvent>
#include <QStringList>
#include <QStyle>
#include <gtest/gtest.h>

namespace {

void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

TEST(PaletteSlider, ADragThatChangesNothingStillReportsBeginThenEndOnce)
{
    PaletteSlider slider(0.5, 0, 1);
    slider.resize(200, 20);
    slider.show();
    QStringList calls;
    slider.begin = [&] { calls << "begin"; };
    slider.end = [&] { calls << "end"; };
    const QPoint handle(100, 10);
    sendMouse(&slider, QEvent::MouseButtonPress, handle, Qt::LeftButton);
    EXPECT_TRUE(slider.isDragging());
    sendMouse(&slider, QEvent::MouseButtonRelease, handle, Qt::NoButton);
    EXPECT_EQ(calls, (QStringList{"begin", "end"}));
    EXPECT_FALSE(slider.isDragging());
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 0.5);
}

TEST(PaletteSlider, ChangesDuringTheDragFallBetweenBeginAndEnd)
{
    PaletteSlider slider(0, 0, 100);
    slider.resize(200, 20);
    slider.show();
    QStringList calls;
    slider.begin = [&] { calls << "begin"; };
    slider.end = [&] { calls << "end"; };
    QObject::connect(&slider, &PaletteSlider::doubleValueChanged, [&](double) { calls << "value"; });
    const QPoint start(slider.style()->sliderPositionFromValue(0, PaletteSlider::steps, 0, 200) + 2, 10);
    sendMouse(&slider, QEvent::MouseButtonPress, start, Qt::LeftButton);
    sendMouse(&slider, QEvent::MouseMove, start + QPoint(80, 0), Qt::LeftButton);
    sendMouse(&slider, QEvent::MouseButtonRelease, start + QPoint(80, 0), Qt::NoButton);
    ASSERT_GE(calls.size(), 3);
    EXPECT_EQ(calls.first(), "begin");
    EXPECT_EQ(calls.last(), "end");
    EXPECT_EQ(calls.count("begin"), 1);
    EXPECT_EQ(calls.count("end"), 1);
    EXPECT_GT(slider.doubleValue(), 0);
}

TEST(PaletteSlider, HidingTheSliderMidDragClosesTheDragOnce)
{
    PaletteSlider slider(0.2, 0, 1);
    slider.resize(200, 20);
    slider.show();
    int ends = 0;
    slider.end = [&] { ++ends; };
    sendMouse(&slider, QEvent::MouseButtonPress, QPoint(40, 10), Qt::LeftButton);
    slider.hide();
    sendMouse(&slider, QEvent::MouseButtonRelease, QPoint(40, 10), Qt::NoButton);
    EXPECT_EQ(ends, 1);
}

TEST(PaletteSlider, UnsetClosuresAreSkipped)
{
    PaletteSlider slider;
    slider.resize(200, 20);
    slider.show();
    sendMouse(&slider, QEvent::MouseButtonPress, QPoint(40, 10), Qt::LeftButton);
    sendMouse(&slider, QEvent::MouseButtonRelease, QPoint(40, 10), Qt::NoButton);
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
