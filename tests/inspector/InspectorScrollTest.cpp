#include "inspector/InspectorAction.h"
#include "inspector/InspectorScroll.h"
#include "inspector/InspectorSection.h"
#include "platform/UserDefaults.h"
#include "support/WidgetInput.h"

#include <QApplication>
#include <QComboBox>
#include <QSpinBox>
#include <QWheelEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QToolButton>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// Layout requests travel up one widget per round of posted events.
void settle()
{
    for (int round = 0; round < 6; ++round)
        QCoreApplication::processEvents();
}

// One notch of the wheel towards the person, over the middle of a widget.
void wheelDown(QWidget* widget)
{
    const QPoint centre = widget->rect().center();
    QWheelEvent event(QPointF(centre), QPointF(widget->mapToGlobal(centre)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

} // namespace

TEST(InspectorScroll, SectionsStackFromTheTopAtTheColumnWidth)
{
    InspectorScroll scroll;
    scroll.resize(300, 400);
    auto* first = new QLabel(QStringLiteral("Inspecteur"));
    auto* second = new QLabel(QStringLiteral("Statistiques"));
    scroll.addSection(first);
    scroll.addSection(second);
    scroll.show();
    EXPECT_EQ(scroll.stackLayout()->indexOf(first), 0);
    EXPECT_EQ(scroll.stackLayout()->indexOf(second), 1);
    EXPECT_EQ(scroll.stackLayout()->spacing(), 0);
    EXPECT_EQ(first->mapTo(scroll.widget(), QPoint()).y(), 0);
    EXPECT_EQ(scroll.stack()->width(), scroll.viewport()->width());
    EXPECT_EQ(scroll.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST(InspectorScroll, TallContentScrollsVertically)
{
    InspectorScroll scroll;
    scroll.resize(300, 200);
    auto* tall = new QWidget;
    tall->setMinimumHeight(900);
    scroll.addSection(tall);
    scroll.show();
    settle();
    EXPECT_GT(scroll.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(scroll.horizontalScrollBar()->maximum(), 0);

    tall->setMinimumHeight(100); // the content shrinks while shown
    settle();
    EXPECT_EQ(scroll.verticalScrollBar()->maximum(), 0);
    scroll.addSection(new QLabel(QStringLiteral("Texte SVG"))); // and grows again
    auto* late = new QWidget;
    late->setMinimumHeight(400);
    scroll.addSection(late);
    settle();
    EXPECT_GT(scroll.verticalScrollBar()->maximum(), 0);
}

TEST(InspectorScroll, BackgroundIsTheWindowColourTintedWithTheText)
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(200, 200, 200));
    palette.setColor(QPalette::WindowText, QColor(0, 0, 0));
    const QColor tinted = InspectorScroll::backgroundColor(palette);
    EXPECT_EQ(tinted.red(), 180);
    EXPECT_EQ(tinted.green(), 180);
    EXPECT_EQ(tinted.blue(), 180);
}

TEST(InspectorAction, RunsItsClosureWhenTheControlFires)
{
    QPushButton button;
    int runs = 0;
    InspectorAction* action = InspectorAction::connectTo(&button, &QPushButton::clicked, [&] { ++runs; });
    EXPECT_EQ(action->parent(), &button);
    button.click();
    button.click();
    EXPECT_EQ(runs, 2);
    action->execute = nullptr;
    button.click(); // an emptied closure does nothing
    EXPECT_EQ(runs, 2);
}

TEST(InspectorScroll, TheColumnIsPaintedOnceTinted)
{
    InspectorScroll scroll;
    scroll.resize(200, 200);
    scroll.addSection(new QLabel(QStringLiteral("Statistiques")));
    scroll.show();
    settle();
    const QColor expected = InspectorScroll::backgroundColor(scroll.palette());
    const QColor painted = scroll.grab().toImage().pixelColor(150, 150);
    EXPECT_NEAR(painted.red(), expected.red(), 2);
    EXPECT_NEAR(painted.green(), expected.green(), 2);
    EXPECT_NEAR(painted.blue(), expected.blue(), 2);
}

TEST(InspectorScroll, ClosingASectionWithTheMouseShortensTheColumn)
{
    UserDefaults::TemporaryScope scope;
    InspectorScroll scroll;
    scroll.resize(300, 250);
    QList<QWidget*> rows;
    for (int i = 0; i < 12; ++i) {
        auto* field = new QWidget;
        field->setMinimumHeight(40);
        rows.append(field);
    }
    auto* section = new InspectorSection(QStringLiteral("Symboles"), rows);
    scroll.addSection(section);
    scroll.show();
    settle();
    ASSERT_GT(scroll.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(section->width(), scroll.viewport()->width());

    QToolButton* header = section->header();
    sendClick(header, header->rect().center());
    settle();
    EXPECT_FALSE(section->isOpen());
    EXPECT_EQ(scroll.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(UserDefaults::boolValue(QStringLiteral("Carte.Inspecteur.section.Symboles"), true), false);

    sendClick(header, header->rect().center());
    settle();
    EXPECT_TRUE(section->isOpen());
    EXPECT_GT(scroll.verticalScrollBar()->maximum(), 0);
}

// A wheel turned over a pop-up or a number field on the way down the column scrolls the
// column; the control takes the wheel only once it has the focus.
TEST(InspectorScroll, TheWheelChangesOnlyAFocusedControl)
{
    UserDefaults::TemporaryScope scope;
    InspectorScroll scroll;
    scroll.resize(300, 200);
    auto* decimals = new QComboBox;
    decimals->addItems({QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    decimals->setCurrentIndex(2);
    auto* size = new QSpinBox;
    size->setValue(5);
    auto* tall = new QWidget;
    tall->setMinimumHeight(900);
    scroll.addSection(new InspectorSection(QStringLiteral("Présentation"),
                                           {InspectorSection::labeledRow(QStringLiteral("Décimales"), decimals),
                                            InspectorSection::labeledRow(QStringLiteral("Taille"), size), tall}));
    scroll.show();
    settle();
    QApplication::setActiveWindow(&scroll);

    wheelDown(decimals);
    wheelDown(size);
    EXPECT_EQ(decimals->currentIndex(), 2);
    EXPECT_EQ(size->value(), 5);
    EXPECT_GT(scroll.verticalScrollBar()->value(), 0);

    decimals->setFocus();
    wheelDown(decimals);
    EXPECT_EQ(decimals->currentIndex(), 3);
}
