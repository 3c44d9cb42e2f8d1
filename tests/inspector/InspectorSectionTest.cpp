#include "inspector/InspectorSection.h"
#include "platform/UserDefaults.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

class InspectorSectionTest : public ::testing::Test {
protected:
    UserDefaults::TemporaryScope m_scope;
};

// A colour well as other inspectors make them: recognised by its class name.
class TestColorWell : public QPushButton {
    Q_OBJECT
public:
    TestColorWell() { setFixedSize(48, 24); }
};

QLabel* rowLabel(QWidget* row) { return row->findChild<QLabel*>("InspectorSection.RowLabel"); }

} // namespace

TEST_F(InspectorSectionTest, ANeverToggledTitleOpens)
{
    InspectorSection section(QStringLiteral("Texte / Caractères"));
    EXPECT_TRUE(section.isOpen());
    EXPECT_FALSE(section.body()->isHidden());
    EXPECT_EQ(section.preference(), QStringLiteral("Carte.Inspecteur.section.Texte / Caractères"));
    EXPECT_TRUE(section.header()->isCheckable());
    EXPECT_TRUE(section.header()->text().isEmpty());
    EXPECT_EQ(section.header()->accessibleName(), QStringLiteral("Texte / Caractères"));
    EXPECT_EQ(section.header()->width(), 16);
    auto* title = section.findChild<QLabel*>("InspectorSection.Title");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), QStringLiteral("Texte / Caractères"));
    EXPECT_EQ(title->font().weight(), QFont::DemiBold);
}

TEST_F(InspectorSectionTest, ClosingIsRememberedForEveryLaterSectionOfTheTitle)
{
    {
        InspectorSection section(QStringLiteral(" Forme "));
        section.header()->click();
        EXPECT_FALSE(section.isOpen());
        EXPECT_TRUE(section.body()->isHidden());
    }
    // The title is used unchanged, spaces included.
    QSettings& settings = UserDefaults::settings();
    EXPECT_EQ(settings.value(QStringLiteral("Carte.Inspecteur.section. Forme ")), QVariant(false));
    EXPECT_FALSE(settings.contains(QStringLiteral("Carte.Inspecteur.section.Forme")));

    InspectorSection later(QStringLiteral(" Forme "));
    EXPECT_FALSE(later.isOpen());
    EXPECT_TRUE(later.body()->isHidden());
    InspectorSection other(QStringLiteral("Forme"));
    EXPECT_TRUE(other.isOpen());

    later.toggle();
    EXPECT_TRUE(later.isOpen());
    EXPECT_EQ(UserDefaults::settings().value(QStringLiteral("Carte.Inspecteur.section. Forme ")), QVariant(true));
}

TEST_F(InspectorSectionTest, ARenamedSectionKeepsTheStateStoredUnderItsEarlierTitle)
{
    UserDefaults::setValue(QStringLiteral("Carte.Inspecteur.section.Ancien titre"), false);
    InspectorSection section(QStringLiteral("Nouveau titre"), QStringLiteral("Ancien titre"));
    EXPECT_EQ(section.title(), QStringLiteral("Nouveau titre"));
    EXPECT_EQ(section.header()->accessibleName(), QStringLiteral("Nouveau titre"));
    EXPECT_FALSE(section.isOpen());
    section.toggle();
    EXPECT_EQ(UserDefaults::settings().value(QStringLiteral("Carte.Inspecteur.section.Ancien titre")), QVariant(true));
    EXPECT_FALSE(UserDefaults::settings().contains(QStringLiteral("Carte.Inspecteur.section.Nouveau titre")));
}

TEST_F(InspectorSectionTest, LiveSectionsOfOneTitleKeepTheirOwnStateUntilRebuilt)
{
    InspectorSection first(QStringLiteral("Légende"));
    InspectorSection second(QStringLiteral("Légende"));
    first.toggle();
    EXPECT_FALSE(first.isOpen());
    EXPECT_TRUE(second.isOpen());
    EXPECT_FALSE(InspectorSection(QStringLiteral("Légende")).isOpen());
}

TEST_F(InspectorSectionTest, ContentIsCompactedAndAddedInOrder)
{
    auto* field = new QLineEdit;
    auto* button = new QPushButton(QStringLiteral("Remplacer l’image…"));
    InspectorSection section(QStringLiteral("Image de fond"), {field, button});
    EXPECT_EQ(field->parentWidget(), section.body());
    EXPECT_EQ(button->parentWidget(), section.body());
    EXPECT_LT(section.body()->layout()->indexOf(field), section.body()->layout()->indexOf(button));
    EXPECT_EQ(field->font().pixelSize(), 11);
    EXPECT_TRUE(button->testAttribute(Qt::WA_MacSmallSize));

    auto* late = new QSpinBox;
    section.addRow(late);
    EXPECT_EQ(late->parentWidget(), section.body());
    EXPECT_EQ(late->font().pixelSize(), 11);
}

TEST_F(InspectorSectionTest, CompactStyleReachesNestedControlsButNotColourWellFonts)
{
    QWidget container;
    auto* inner = new QWidget(&container);
    auto* combo = new QComboBox(inner);
    combo->setEditable(true);
    auto* well = new TestColorWell;
    well->setParent(inner);
    QFont wellFont = well->font();
    wellFont.setPixelSize(20);
    well->setFont(wellFont);
    InspectorSection::applyCompactStyle(&container);
    EXPECT_EQ(combo->font().pixelSize(), 11);
    ASSERT_NE(combo->lineEdit(), nullptr);
    EXPECT_TRUE(combo->lineEdit()->testAttribute(Qt::WA_MacSmallSize)); // inside a control
    EXPECT_TRUE(well->testAttribute(Qt::WA_MacSmallSize));
    EXPECT_EQ(well->font().pixelSize(), 20);
    EXPECT_FALSE(container.testAttribute(Qt::WA_MacSmallSize)); // not a control
}

TEST(InspectorSectionLabels, QualifiersAreRemovedWhereverTheyOccur)
{
    EXPECT_EQ(InspectorSection::shortenedLabel(QStringLiteral("Opacité du texte (0–1)")), QStringLiteral("Opacité"));
    EXPECT_EQ(InspectorSection::shortenedLabel(QStringLiteral("Coins arrondis (pt)")), QStringLiteral("Coins arrondis"));
    EXPECT_EQ(InspectorSection::shortenedLabel(QStringLiteral("X (pt)")), QStringLiteral("X"));
    EXPECT_EQ(InspectorSection::shortenedLabel(QStringLiteral("Angle (°)")), QStringLiteral("Angle (°)"));
    EXPECT_EQ(InspectorSection::shortenedLabel(QStringLiteral("Fond (opacité dans le panneau)")), QStringLiteral("Fond"));
    EXPECT_EQ(InspectorSection::shortenedLabel(QStringLiteral("Marge du bloc (pt)")), QStringLiteral("Marge"));
    // A hyphen is not the en dash of the qualifier.
    EXPECT_EQ(InspectorSection::shortenedLabel(QStringLiteral("Opacité (0-1)")), QStringLiteral("Opacité (0-1)"));
}

TEST(InspectorSectionRows, LabelColumnAndSpacing)
{
    auto* control = new QLineEdit;
    std::unique_ptr<QWidget> row(InspectorSection::labeledRow(QStringLiteral("Opacité du texte (0–1)"), control));
    QLabel* label = rowLabel(row.get());
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Opacité"));
    EXPECT_EQ(label->toolTip(), QStringLiteral("Opacité du texte (0–1)"));
    EXPECT_EQ(label->minimumWidth(), 90);
    EXPECT_EQ(label->maximumWidth(), 90);
    EXPECT_EQ(label->font().pixelSize(), 11);
    auto* layout = qobject_cast<QHBoxLayout*>(row->layout());
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->spacing(), 8);
    EXPECT_EQ(layout->indexOf(control), 1);

    row->resize(300, 30);
    row->show();
    EXPECT_EQ(control->x() - (label->x() + label->width()), 8);
    EXPECT_EQ(control->x() + control->width(), 300); // the control takes the free width
}

TEST(InspectorSectionRows, ColourWellKeepsItsWidthAndASpacerTakesTheRest)
{
    auto* well = new TestColorWell;
    std::unique_ptr<QWidget> row(InspectorSection::labeledRow(QStringLiteral("Couleur"), well));
    auto* spacer = row->findChild<QWidget*>("InspectorSection.Spacer");
    ASSERT_NE(spacer, nullptr);
    EXPECT_EQ(row->layout()->indexOf(spacer), 2);
    row->resize(300, 30);
    row->show();
    EXPECT_EQ(well->width(), 48);
    EXPECT_EQ(spacer->x() + spacer->width(), 300);
}

TEST(InspectorSectionRows, MissingSymbolGivesAnEmptyIconButton)
{
    std::unique_ptr<QToolButton> button(InspectorSection::iconButton(QStringLiteral("no.such.symbol"), QStringLiteral("Aligner")));
    EXPECT_EQ(button->size(), QSize(32, 28));
    EXPECT_TRUE(button->icon().isNull());
    EXPECT_EQ(button->toolTip(), QStringLiteral("Aligner"));
}

TEST_F(InspectorSectionTest, IconRowsKeepTheirNaturalWidth)
{
    InspectorSection section(QStringLiteral("Alignement"));
    auto* icons = new QWidget;
    auto* row = new QHBoxLayout(icons);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    for (const char* tip : {"Gauche", "Centre horizontal", "Droite"})
        row->addWidget(InspectorSection::iconButton(QStringLiteral("align.horizontal.left"), QString::fromUtf8(tip)));
    auto* field = new QLineEdit;
    section.addIconRow(icons);
    section.addRow(field);
    section.resize(300, 200);
    section.show();
    EXPECT_EQ(icons->width(), 3 * 32 + 2 * 6);
    EXPECT_EQ(field->width(), 300 - 24);
    EXPECT_EQ(icons->x(), field->x());
}

TEST_F(InspectorSectionTest, SeparatorIsDrawnOnlyWhenThereIsRoom)
{
    const auto rowAtTop = [](int width) {
        InspectorSection section(QStringLiteral("Objet"));
        section.resize(width, 60);
        QImage image(section.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        section.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        return image;
    };
    const QImage wide = rowAtTop(200);
    EXPECT_EQ(wide.pixel(5, 0), qRgb(255, 255, 255));
    EXPECT_NE(wide.pixel(100, 0), qRgb(255, 255, 255));
    EXPECT_EQ(wide.pixel(195, 0), qRgb(255, 255, 255));
    const QImage narrow = rowAtTop(20);
    for (int x = 0; x < 20; ++x)
        EXPECT_EQ(narrow.pixel(x, 0), qRgb(255, 255, 255)) << x;
}

TEST_F(InspectorSectionTest, HeadingAndSeparatorColours)
{
    InspectorSection section(QStringLiteral("Objet"));
    section.resize(200, 80);
    section.show();
    QImage image(section.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    section.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());

    const QPalette palette = section.palette();
    const QColor base = palette.color(QPalette::Base);
    const QColor label = palette.color(QPalette::WindowText);
    const auto mix = [](const QColor& a, const QColor& b, double f) {
        return QColor::fromRgbF(float(a.redF() * (1 - f) + b.redF() * f), float(a.greenF() * (1 - f) + b.greenF() * f),
                                float(a.blueF() * (1 - f) + b.blueF() * f));
    };
    const auto near = [](QRgb pixel, const QColor& expected) {
        return std::abs(qRed(pixel) - expected.red()) <= 2 && std::abs(qGreen(pixel) - expected.green()) <= 2
            && std::abs(qBlue(pixel) - expected.blue()) <= 2;
    };
    // The heading row: the field background tinted 14 % with the text colour, inside its rounded corners.
    const QRect heading = section.headingView()->geometry();
    const QPoint inside(heading.right() - 4, heading.center().y());
    EXPECT_TRUE(near(image.pixel(inside), mix(base, label, 0.14)))
        << std::hex << image.pixel(inside) << " " << mix(base, label, 0.14).rgb();
    EXPECT_TRUE(near(image.pixel(heading.topRight()), Qt::white)) << "rounded corner";
    // The separator: the text colour at 35 % over what lies below.
    EXPECT_TRUE(near(image.pixel(100, 0), mix(Qt::white, label, 0.35))) << std::hex << image.pixel(100, 0);
}

#include "InspectorSectionTest.moc"
