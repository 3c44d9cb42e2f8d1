// The data pane's inspector and status: the details of the selection and the active variable,
// the availability of the data actions, clearing cells and the refused action's message.
#include "support/DataPaneTestSupport.h"

namespace {

class DataWindowControllerInspectorTest : public DataPaneTest::Fixture {};

using DataPaneTest::ModelSignals;
using DataPaneTest::tenEntities;

} // namespace

TEST_F(DataWindowControllerInspectorTest, TheDetailsDescribeTheSelectionAndTheWholeActiveVariable)
{
    pane.studioInspectorView();
    pane.activateColumn(1);
    EXPECT_EQ(pane.detailsLabel()->text(), QStringLiteral("0 ligne sélectionnée"));

    pane.activateColumn(2);
    pane.selectRows({"E5", "E1"});
    // 12 and 30: two values, mean 21; the selected rows change the count of rows only.
    EXPECT_EQ(pane.detailsLabel()->text(), QStringLiteral("2 lignes sélectionnées\n\nPopulation · Nombre\n\n"
                                                          "2 valeurs numériques · Moyenne 21"));

    work.variables = {PlmWorkTest::textVariable("t", "Texte libre", {{"E1", "a"}}),
                      PlmWorkTest::calculatedVariable("c", "Taux", "pop / 3", PlmVariableType::percentage)};
    work.variables[1].values = {{"E1", PlmValue::percentage(2)}, {"E2", PlmValue::percentage(3)}};
    pane.reloadTable();
    pane.activateColumn(2);
    EXPECT_EQ(pane.detailsLabel()->text(),
              QStringLiteral("2 lignes sélectionnées\n\nTexte libre · Texte\n\n0 valeur numérique · Moyenne —"));
    pane.activateColumn(3);
    EXPECT_EQ(pane.detailsLabel()->text(), QStringLiteral("2 lignes sélectionnées\n\nTaux · Pourcentage\n\n"
                                                          "Formule : pop / 3\n\n2 valeurs numériques · Moyenne 2,5"));

    EXPECT_EQ(DataWindowController::formattedMean(1.0 / 3.0), QStringLiteral("0,333333"));
    EXPECT_EQ(DataWindowController::formattedMean(2.0 / 3.0), QStringLiteral("0,666667"));
    EXPECT_EQ(DataWindowController::formattedMean(1500), QStringLiteral("1\u202F500"));
    EXPECT_EQ(DataWindowController::formattedMean(-2.5), QStringLiteral("-2,5"));
}

TEST_F(DataWindowControllerInspectorTest, TheActionsAreAvailableAsTheActiveColumnAllows)
{
    pane.studioInspectorView();
    ASSERT_EQ(pane.commandButtons().size(), 11);
    EXPECT_EQ(pane.commandButtons().first()->text(), QStringLiteral("Importer des données…"));
    EXPECT_EQ(pane.commandButtons().last()->text(), QStringLiteral("Supprimer la variable"));
    QApplication::clipboard()->setText(QStringLiteral("1\n2"));

    work.variables.append(PlmWorkTest::calculatedVariable("c", "Double", "pop * 2"));
    pane.reloadTable();
    pane.selectRows({"E1"});
    pane.activateColumn(3);
    EXPECT_TRUE(button("Modifier la formule…")->isEnabled());
    EXPECT_FALSE(button("Effacer les cellules")->isEnabled());
    EXPECT_FALSE(button("Coller")->isEnabled());
    EXPECT_TRUE(button("Recalculer les variables")->isEnabled());
    EXPECT_TRUE(button("Copier")->isEnabled());

    pane.activateColumn(2);
    EXPECT_FALSE(button("Modifier la formule…")->isEnabled());
    EXPECT_TRUE(button("Effacer les cellules")->isEnabled());
    EXPECT_TRUE(button("Coller")->isEnabled());
    EXPECT_TRUE(button("Recalculer les variables")->isEnabled());
    EXPECT_TRUE(button("Renommer la variable…")->isEnabled());

    pane.activateColumn(0);
    pane.selectRows({});
    EXPECT_FALSE(button("Copier")->isEnabled());
    EXPECT_FALSE(button("Renommer la variable…")->isEnabled());
    EXPECT_FALSE(button("Supprimer la variable")->isEnabled());

    work = PlmWork();
    pane.reloadTable();
    EXPECT_TRUE(button("Ajouter une variable…")->isEnabled());
    EXPECT_TRUE(button("Nouvelle variable calculée…")->isEnabled());
    EXPECT_FALSE(button("Recalculer les variables")->isEnabled());

    // The context menu has the same items in the same order.
    std::unique_ptr<QMenu> menu(pane.actionsMenu());
    ASSERT_EQ(menu->actions().size(), 11);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(menu->actions().at(i)->text(), pane.commandButtons().at(i)->text());
}

TEST_F(DataWindowControllerInspectorTest, EveryStatusRefreshReachesTheStudioStatusLine)
{
    showTable();
    const int before = studioStatusUpdates;
    click(3, 0);
    EXPECT_GT(studioStatusUpdates, before);
    const int afterClick = studioStatusUpdates;
    pane.activateColumn(1);
    EXPECT_GT(studioStatusUpdates, afterClick);
}

TEST_F(DataWindowControllerInspectorTest, DeleteClearsTheSelectedCellsAsOneStepOrShowsWhyNot)
{
    work.variables[0].values.insert(QStringLiteral("E3"), PlmValue::number(7));
    pane.reloadTable();
    showTable();
    pane.table()->setFocus();
    pane.selectRows({"E1", "E2"});
    press(Qt::Key_Backspace);
    EXPECT_EQ(updates, QStringList{QStringLiteral("Effacer les cellules")});
    EXPECT_FALSE(work.variables[0].values.contains(QStringLiteral("E1")));
    EXPECT_FALSE(work.variables[0].values.contains(QStringLiteral("E2")));
    EXPECT_TRUE(work.variables[0].values.contains(QStringLiteral("E3")));
    EXPECT_EQ(pane.selectedEntityIDs(), (QList<QString>{"E1", "E2"}));

    // The identifier column: nothing at all.
    pane.activateColumn(0);
    press(Qt::Key_Delete);
    EXPECT_EQ(updates.size(), 1);

    work.variables.append(PlmWorkTest::calculatedVariable("c", "Double", "pop * 2"));
    pane.reloadTable();
    pane.activateColumn(3);
    press(Qt::Key_Delete);
    EXPECT_EQ(updates.size(), 1);
    EXPECT_EQ(pane.beepCount, 1);
    EXPECT_FALSE(pane.statusLabel()->isHidden());
    EXPECT_EQ(pane.statusLabel()->text(), QStringLiteral("Les résultats calculés ne se saisissent pas : modifiez la formule."));
    EXPECT_EQ(pane.statusLabel()->palette().color(QPalette::WindowText), QColor(255, 59, 48));
    // The next refresh hides the message.
    pane.updateStatus();
    EXPECT_TRUE(pane.statusLabel()->isHidden());
}

TEST_F(DataWindowControllerInspectorTest, TheMeanFollowsATypedValue)
{
    pane.studioInspectorView();
    pane.activateColumn(2);
    EXPECT_TRUE(pane.detailsLabel()->text().endsWith(QStringLiteral("2 valeurs numériques · Moyenne 21")));
    work.variables[0].values.insert(QStringLiteral("E5"), PlmValue::number(3));
    pane.reloadTable();
    EXPECT_TRUE(pane.detailsLabel()->text().endsWith(QStringLiteral("3 valeurs numériques · Moyenne 15")));
    // A whole selection counts its rows; the mean is the variable's.
    pane.selectRows(work.topLevelEntityIDs());
    EXPECT_TRUE(pane.detailsLabel()->text().startsWith(QStringLiteral("10 lignes sélectionnées")));
    EXPECT_TRUE(pane.detailsLabel()->text().endsWith(QStringLiteral("Moyenne 15")));
}
