#include "fond/PointSymbolColorInspector.h"

#include "inspector/FondInspectorColorWell.h"
#include "model/PlmErrors.h"
#include "desktop/DialogHooks.h"
#include "support/CanvasTestMaps.h"
#include "support/FondTestDocument.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>

using namespace CanvasTestMaps;

namespace {

PlmEntity symbolPoint(const QString& id, const std::optional<PlmPointSymbol>& symbol)
{
    PlmEntity entity = pointEntity(id, 0, 0);
    entity.style.stroke = {0.2, 0.4, 0.6, 1};
    entity.pointSymbol = symbol;
    return entity;
}

PlmPointSymbol sfSymbol()
{
    return PlmPointSymbol(QStringLiteral("star.fill"), std::nullopt);
}

PlmPointSymbol svgSymbol(bool multicolour)
{
    PlmEntityList leaves{squareEntity("s1", 0, 0, 1, 1, PlmColor{1, 0, 0, 1})};
    if (multicolour)
        leaves.append(squareEntity("s2", 1, 0, 2, 1, PlmColor{0, 0, 1, 1}));
    return PlmPointSymbol(std::nullopt, mapOf(leaves));
}

PlmWork sampleWork()
{
    PlmWork work;
    PlmEntity lockedSymbol = symbolPoint("locked", sfSymbol());
    lockedSymbol.isLocked = true;
    PlmPointSymbol fixed = sfSymbol();
    fixed.colorMode = PlmPointSymbolColorMode::fixed;
    work.map = mapOf({symbolPoint("sf", sfSymbol()), symbolPoint("plain", std::nullopt), squareEntity("poly", 0, 0, 1, 1),
                      lockedSymbol, symbolPoint("multi", svgSymbol(true)), symbolPoint("mono", svgSymbol(false)),
                      symbolPoint("fixed", fixed),
                      groupEntity("group", {symbolPoint("member", sfSymbol())})});
    return work;
}

struct Inspector {
    Inspector()
        : document(sampleWork())
    {
        link = document.link();
        document.afterChange = [this] { inspector.refresh(&link); };
    }

    void selectAndRefresh(const QString& id)
    {
        document.select({id}, id);
        inspector.refresh(&link);
    }

    PlmEntity entity(const QString& id) const
    {
        const PlmWork work = document.work();
        return work.map.entities.at(work.map.entities.indexOfId(id));
    }

    FondTestDocument document;
    FondDocument link;
    PointSymbolColorInspector inspector;
};

} // namespace

TEST(PointSymbolColorInspectorTest, TheSectionAndItsControls)
{
    PointSymbolColorInspector inspector;
    EXPECT_EQ(inspector.section()->title(), "Couleur du symbole ponctuel");
    EXPECT_TRUE(inspector.section()->isHidden());
    EXPECT_EQ(inspector.mode()->objectName(), "PointSymbol.ColorMode");
    EXPECT_EQ(inspector.color()->objectName(), "PointSymbol.FixedColor");
    ASSERT_EQ(inspector.mode()->count(), 2);
    EXPECT_EQ(inspector.mode()->itemText(0), "Automatique (classes)");
    EXPECT_EQ(inspector.mode()->itemText(1), "Fixe");
    EXPECT_EQ(inspector.note()->text(), "SVG multicolore : couleurs d’origine conservées.");
    EXPECT_TRUE(InspectorSection::isColorWell(inspector.color()));
}

TEST(PointSymbolColorInspectorTest, HiddenWithoutAPointSymbol)
{
    Inspector t;
    t.inspector.refresh(&t.link);
    EXPECT_TRUE(t.inspector.section()->isHidden()); // nothing selected
    for (const char* id : {"plain", "poly", "member", "group"}) {
        t.selectAndRefresh(QString::fromUtf8(id));
        EXPECT_TRUE(t.inspector.section()->isHidden()) << id;
    }
    t.selectAndRefresh("sf");
    EXPECT_FALSE(t.inspector.section()->isHidden());
    t.inspector.refresh(nullptr);
    EXPECT_TRUE(t.inspector.section()->isHidden());
}

TEST(PointSymbolColorInspectorTest, ChoosingFixedStoresTheModeInOneStep)
{
    Inspector t;
    t.selectAndRefresh("sf");
    EXPECT_EQ(t.inspector.mode()->currentIndex(), 0);
    EXPECT_TRUE(t.inspector.mode()->isEnabled());
    EXPECT_FALSE(t.inspector.color()->isEnabled());
    EXPECT_TRUE(t.inspector.note()->isHidden());
    EXPECT_EQ(t.inspector.color()->color(), QColor::fromRgbF(0.2f, 0.4f, 0.6f));

    t.inspector.mode()->setCurrentIndex(1);
    t.inspector.changeMode();
    ASSERT_EQ(t.document.undoSteps().size(), 1);
    EXPECT_EQ(t.document.undoName(), "Couleur du symbole");
    EXPECT_EQ(t.entity("sf").pointSymbol->colorMode, PlmPointSymbolColorMode::fixed);
    EXPECT_TRUE(t.inspector.color()->isEnabled());

    DialogHooks::Hooks red;
    red.colorPanel = [](const QColor&, const QString&, QWidget*) { return std::optional<QColor>(QColor(255, 0, 0)); };
    DialogHooks::ScopedHooks hooks(red);
    t.inspector.color()->click();
    ASSERT_EQ(t.document.undoSteps().size(), 2);
    EXPECT_EQ(t.document.undoName(), "Couleur fixe du symbole");
    EXPECT_EQ(t.entity("sf").style.stroke, (PlmColor{1, 0, 0, 1}));

    t.inspector.mode()->setCurrentIndex(0);
    t.inspector.changeMode();
    EXPECT_EQ(t.entity("sf").pointSymbol->colorMode, PlmPointSymbolColorMode::automatic);
    EXPECT_FALSE(t.inspector.color()->isEnabled());
}

TEST(PointSymbolColorInspectorTest, LockedAndMulticolourSymbolsCannotChange)
{
    Inspector t;
    t.selectAndRefresh("fixed");
    EXPECT_EQ(t.inspector.mode()->currentIndex(), 1);
    EXPECT_TRUE(t.inspector.color()->isEnabled());

    t.selectAndRefresh("locked");
    EXPECT_FALSE(t.inspector.section()->isHidden());
    EXPECT_FALSE(t.inspector.mode()->isEnabled());
    EXPECT_FALSE(t.inspector.color()->isEnabled());
    t.inspector.mode()->setCurrentIndex(1);
    t.inspector.changeMode();
    EXPECT_TRUE(t.document.undoSteps().isEmpty());
    EXPECT_EQ(t.entity("locked"), sampleWork().map.entities.at(3));

    t.selectAndRefresh("multi");
    EXPECT_FALSE(t.inspector.note()->isHidden());
    EXPECT_FALSE(t.inspector.mode()->isEnabled());
    EXPECT_FALSE(t.inspector.color()->isEnabled());
    PlmWork work = t.document.work();
    EXPECT_FALSE(PointSymbolColorInspector::updatePointSymbol(work, "multi", [](PlmEntity& e) { e.name = "x"; }));
    EXPECT_EQ(work, t.document.work());

    t.selectAndRefresh("mono");
    EXPECT_TRUE(t.inspector.note()->isHidden());
    EXPECT_TRUE(t.inspector.mode()->isEnabled());
}

TEST(PointSymbolColorInspectorTest, FollowsThePrimarySelectionOnly)
{
    Inspector t;
    t.document.select({"sf", "poly", "fixed"}, QStringLiteral("fixed"));
    t.inspector.refresh(&t.link);
    EXPECT_EQ(t.inspector.mode()->currentIndex(), 1);
    t.inspector.mode()->setCurrentIndex(0);
    t.inspector.changeMode();
    EXPECT_EQ(t.entity("fixed").pointSymbol->colorMode, PlmPointSymbolColorMode::automatic);
    EXPECT_EQ(t.entity("sf").pointSymbol->colorMode, std::nullopt);
}

TEST(PointSymbolColorInspectorTest, RefusedUpdateShowsTheStoredValuesAgain)
{
    Inspector t;
    QWidget window;
    t.inspector.section()->setParent(&window);
    QStringList errors;
    DialogHooks::Hooks recording;
    recording.presentError = [&errors](const QString& message, QWidget*) { errors.append(message); };
    DialogHooks::ScopedHooks hooks(recording);
    t.document.refuse = [](const PlmWork&) { throw PlmWorkError(QStringLiteral("Symbole refusé.")); };
    t.selectAndRefresh("sf");
    t.inspector.mode()->setCurrentIndex(1);
    t.inspector.changeMode();
    EXPECT_EQ(errors, QStringList({"Symbole refusé."}));
    EXPECT_TRUE(t.document.undoSteps().isEmpty());
    EXPECT_EQ(t.inspector.mode()->currentIndex(), 0);
    t.inspector.section()->setParent(nullptr);
}
