#include "canvas/VectorCanvas.h"
#include "mapimport/ExternalFileAccess.h"
#include "library/LibraryDropPreview.h"
#include "library/LibraryOutlineModel.h"
#include "library/LibraryOutlineView.h"
#include "library/LibraryQuickLook.h"
#include "library/LibraryThumbnails.h"
#include "library/LibraryWindowController.h"
#include "librarystore/PlmLibraryError.h"
#include "desktop/CommandRouter.h"
#include "support/LibraryWindowTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPdfView>
#include <QPushButton>
#include <QUndoStack>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

const QString statusTail = QStringLiteral(" — déposer des fonds vectoriels pour les importer");

QByteArray geoJson(const QStringList& names)
{
    QStringList features;
    for (int i = 0; i < names.size(); ++i)
        features << QStringLiteral(R"({"type":"Feature","id":"f%1","properties":{"name":"%2"},)"
                                   R"("geometry":{"type":"Polygon","coordinates":[[[%1,0],[%3,0],[%3,1],[%1,0]]]}})")
                        .arg(i)
                        .arg(names[i])
                        .arg(i + 1);
    return QStringLiteral(R"({"type":"FeatureCollection","features":[%1]})").arg(features.join(QLatin1Char(','))).toUtf8();
}

class LibraryWindowControllerTest : public ::testing::Test {
protected:
    LibraryWindowScene scene;
    LibraryWindowController& window = *scene.controller;
    QUndoStack& undo = *scene.controller->undoStack();

    QStringList rowsShown() const
    {
        QStringList rows;
        std::function<void(const QModelIndex&, const QString&)> walk = [&](const QModelIndex& parent, const QString& indent) {
            for (int r = 0; r < window.model()->rowCount(parent); ++r) {
                const QModelIndex index = window.model()->index(r, 0, parent);
                rows << indent + index.data().toString();
                if (window.outline()->isExpanded(index))
                    walk(index, indent + QStringLiteral("  "));
            }
        };
        walk({}, QString());
        return rows;
    }
    QStringList selectedNames() const
    {
        QStringList names;
        for (const PlmLibraryItem& item : window.selectedItems())
            names << item.displayName();
        return names;
    }
    QStringList titles(QMenu* menu) const
    {
        QStringList list;
        for (QAction* a : menu->actions())
            list << (a->isSeparator() ? QStringLiteral("—") : a->text());
        return list;
    }
    QAction* find(QMenu* menu, const QString& title) const
    {
        for (QAction* a : menu->actions()) {
            if (a->text() == title)
                return a;
            if (a->menu())
                if (QAction* inner = find(a->menu(), title))
                    return inner;
        }
        return nullptr;
    }
    bool key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QKeyEvent event(QEvent::KeyPress, k, mods);
        return window.outline()->handleKey(&event);
    }
};

// Whether the quick look's page shows a drawing: a pixel that is neither the blank page's white
// nor the background around it (read in a corner), as soon as the page has been rendered.
bool showsDrawnPage(const LibraryQuickLook& quickLook)
{
    const QPdfView* view = quickLook.findChild<QPdfView*>();
    if (!view)
        return false;
    const QImage shown = view->viewport()->grab().toImage();
    if (shown.isNull())
        return false;
    const QRgb background = shown.pixel(0, 0);
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (const QRgb pixel = shown.pixel(x, y); pixel != background && pixel != qRgb(255, 255, 255))
                return true;
    return false;
}

} // namespace

TEST_F(LibraryWindowControllerTest, anEmptyLibraryShowsTheEmptyStateAndItsImportButton)
{
    EXPECT_EQ(window.window()->windowTitle(), QStringLiteral("Bibliothèque — Atlas"));
    EXPECT_EQ(window.model()->rowCount(), 0);
    EXPECT_EQ(window.statusLabel()->text(), QStringLiteral("0 élément affiché") + statusTail);
    EXPECT_EQ(window.detailLabel()->text(), QStringLiteral("Sélectionnez un fond pour voir son aperçu vectoriel."));
    auto* title = window.preview()->findChild<QLabel*>(QStringLiteral("Bibliothèque.Vide.Titre"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), QStringLiteral("Vos fonds, prêts à cartographier"));
    EXPECT_EQ(window.previewCanvas(), nullptr);
    window.window()->grab().toImage().save(QStringLiteral("library-empty.png")); // looked at

    auto* button = window.preview()->findChild<QPushButton*>(QStringLiteral("Bibliothèque.Vide.Importer"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("Importer un fond…"));
    button->click();
    ASSERT_EQ(scene.openPanels.size(), 1);
    EXPECT_EQ(scene.openPanels[0].title, QStringLiteral("Importer un fond"));
    EXPECT_TRUE(scene.openPanels[0].allowsMultipleSelection);
    EXPECT_EQ(undo.count(), 0); // cancelled: nothing
}

TEST_F(LibraryWindowControllerTest, detailsAndStatusFollowTheSelectionWithFrenchCounts)
{
    scene.folder(QStringLiteral("Vide"));
    scene.writeMap(QStringLiteral("Un/Seul.plmmap"), LibraryWindowScene::squares(QStringLiteral("Seul"), 1));
    scene.writeMap(QStringLiteral("Deux/A.plmmap"), LibraryWindowScene::squares(QStringLiteral("A"), 2));
    scene.writeMap(QStringLiteral("Deux/B.plmmap"), LibraryWindowScene::squares(QStringLiteral("B"), 0));
    scene.writeMap(QStringLiteral("Sourcé.plmmap"),
                   LibraryWindowScene::squares(QStringLiteral("Sourcé"), 3,
                                               {{QStringLiteral("source"), QStringLiteral("IGN")},
                                                {QStringLiteral("source.attribution"), QStringLiteral("© IGN 2024")}}));
    LibraryWindowScene::writeFile(scene.path(QStringLiteral("Abîmé.plmmap")), "{pas du JSON");
    window.reload();

    struct Row {
        const char* name;
        QStringList select;
        QString details;
        QString status;
        bool preview;
    };
    const QString deux = scene.path(QStringLiteral("Deux"));
    const QList<Row> rows = {
        {"folder of none", {scene.path(QStringLiteral("Vide"))}, QStringLiteral("Vide\n0 élément"), QStringLiteral("1 élément sélectionné"), false},
        {"folder of one", {scene.path(QStringLiteral("Un"))}, QStringLiteral("Un\n1 élément"), QStringLiteral("1 élément sélectionné"), false},
        {"folder of two", {deux}, QStringLiteral("Deux\n2 éléments"), QStringLiteral("1 élément sélectionné"), false},
        {"map of one entity", {scene.path(QStringLiteral("Un/Seul.plmmap"))}, QStringLiteral("Seul\n1 entité"),
         QStringLiteral("1 élément sélectionné"), true},
        {"empty map", {scene.path(QStringLiteral("Deux/B.plmmap"))}, QStringLiteral("B\n0 entité"), QStringLiteral("1 élément sélectionné"), true},
        {"map with two of four sources", {scene.path(QStringLiteral("Sourcé.plmmap"))},
         QStringLiteral("Sourcé\n3 entités\nIGN\n© IGN 2024"), QStringLiteral("1 élément sélectionné"), true},
        {"damaged map", {scene.path(QStringLiteral("Abîmé.plmmap"))}, QString(), QStringLiteral("1 élément sélectionné"), false},
        {"two items", {deux, scene.path(QStringLiteral("Vide"))}, QStringLiteral("2 éléments sélectionnés"),
         QStringLiteral("2 éléments sélectionnés"), false},
    };
    for (const Row& row : rows) {
        window.reload(row.select);
        EXPECT_EQ(window.selectedItems().size(), row.select.size()) << row.name;
        if (!row.details.isEmpty())
            EXPECT_EQ(window.detailLabel()->text(), row.details) << row.name;
        EXPECT_EQ(window.statusLabel()->text(), row.status) << row.name;
        EXPECT_EQ(window.previewCanvas() != nullptr, row.preview) << row.name;
        if (row.preview)
            EXPECT_EQ(window.previewCanvas()->map(), scene.store.map(row.select.first())) << row.name;
    }
    // The damaged map: its name and the documents' sentence naming its file, no alert.
    window.reload(scene.path(QStringLiteral("Abîmé.plmmap")));
    EXPECT_EQ(window.detailLabel()->text(), QStringLiteral("Abîmé\nLe document « Abîmé.plmmap » n’a pas pu être ouvert."));
    EXPECT_TRUE(scene.errors.isEmpty());

    window.reload(QStringList());
    EXPECT_EQ(window.statusLabel()->text(), QString::number(rowsShown().size()) + QStringLiteral(" éléments affichés") + statusTail);
}

TEST_F(LibraryWindowControllerTest, reloadKeepsExpansionAndSelectionAndSearchOpensEveryFolder)
{
    scene.writeMap(QStringLiteral("Europe/France/Corse.plmmap"), LibraryWindowScene::squares(QStringLiteral("Corse"), 1));
    scene.writeMap(QStringLiteral("Europe/Italie.plmmap"), LibraryWindowScene::squares(QStringLiteral("Italie"), 1));
    scene.writeMap(QStringLiteral("Monde/Pays.plmmap"), LibraryWindowScene::squares(QStringLiteral("Pays"), 1));
    window.reload();
    EXPECT_EQ(rowsShown(), (QStringList{"Europe", "Monde"}));

    // A selected map deep in collapsed folders is revealed.
    window.reload(scene.path(QStringLiteral("Europe/France/Corse.plmmap")));
    EXPECT_EQ(rowsShown(), (QStringList{"Europe", "  France", "    Corse", "  Italie", "Monde"}));
    EXPECT_EQ(selectedNames(), QStringList{"Corse"});
    EXPECT_EQ(window.selectedFolderURL(), scene.path(QStringLiteral("Europe/France")));

    // A plain reload: new nodes, same expansion and selection.
    window.reload();
    EXPECT_EQ(rowsShown(), (QStringList{"Europe", "  France", "    Corse", "  Italie", "Monde"}));
    EXPECT_EQ(selectedNames(), QStringList{"Corse"});

    // Searching opens every folder of the filtered tree; clearing keeps what was open.
    window.searchField()->setText(QStringLiteral("pays"));
    EXPECT_EQ(rowsShown(), (QStringList{"Monde", "  Pays"}));
    window.searchField()->clear();
    EXPECT_EQ(rowsShown(), (QStringList{"Europe", "Monde", "  Pays"}));

    // A file removed behind the window's back goes when the window comes to the front.
    window.reload(scene.path(QStringLiteral("Monde/Pays.plmmap")));
    QFile::remove(scene.path(QStringLiteral("Monde/Pays.plmmap")));
    window.refreshIfChanged();
    EXPECT_EQ(rowsShown(), (QStringList{"Europe", "Monde"}));
    EXPECT_TRUE(window.selectedItems().isEmpty());
    EXPECT_EQ(window.selectedFolderURL(), scene.store.root());
}

TEST_F(LibraryWindowControllerTest, everyCommandUndoesAndRedoesUnderItsName)
{
    scene.writeMap(QStringLiteral("Europe/France.plmmap"), LibraryWindowScene::squares(QStringLiteral("France"), 2));
    scene.folder(QStringLiteral("Monde"));
    window.reload();
    const QString france = scene.path(QStringLiteral("Europe/France.plmmap"));
    const QString europe = scene.path(QStringLiteral("Europe"));

    struct Row {
        const char* name;
        std::function<void()> act;
        QString undoName;
        QStringList selectedAfter; // names
    };
    const QList<Row> rows = {
        {"new folder", [&] { scene.nameAnswers = {QStringLiteral("Asie")}; window.reload(QStringList());
             window.perform(QStringLiteral("newFolder:"), nullptr); },
         QStringLiteral("Ajouter à la bibliothèque"), {"Asie"}},
        {"new map", [&] { scene.nameAnswers = {QStringLiteral("Croquis")}; window.reload(europe);
             window.perform(QStringLiteral("newMap:"), nullptr); },
         QStringLiteral("Ajouter à la bibliothèque"), {"Croquis"}},
        {"rename", [&] { scene.nameAnswers = {QStringLiteral("Hexagone")}; window.reload(france);
             window.perform(QStringLiteral("renameSelected:"), nullptr); },
         QStringLiteral("Renommer"), {"Hexagone"}},
        {"duplicate", [&] { window.reload(QStringList{france, europe}); window.perform(QStringLiteral("duplicateSelected:"), nullptr); },
         QStringLiteral("Dupliquer"), {"Europe copie"}},
        {"delete", [&] { window.reload(QStringList{france, scene.path(QStringLiteral("Monde"))});
             window.perform(QStringLiteral("deleteSelected:"), nullptr); },
         QStringLiteral("Supprimer"), {}},
        {"move", [&] { window.reload(france); window.moveItems({france}, scene.path(QStringLiteral("Monde"))); },
         QStringLiteral("Déplacer"), {"France"}},
    };
    for (const Row& row : rows) {
        const QMap<QString, QByteArray> before = scene.contents();
        const int steps = undo.index();
        row.act();
        const QMap<QString, QByteArray> after = scene.contents();
        EXPECT_NE(after, before) << row.name;
        EXPECT_EQ(undo.index(), steps + 1) << row.name;
        EXPECT_EQ(undo.undoText(), row.undoName) << row.name;
        EXPECT_EQ(selectedNames(), row.selectedAfter) << row.name;
        for (int round = 0; round < 2; ++round) {
            undo.undo();
            EXPECT_EQ(scene.contents(), before) << row.name << " undo " << round;
            undo.redo();
            EXPECT_EQ(scene.contents(), after) << row.name << " redo " << round;
        }
        undo.undo();
        EXPECT_TRUE(scene.errors.isEmpty()) << row.name << scene.errors.join(' ').toStdString();
    }
    // The new map also opened as a work document, from its library file.
    ASSERT_EQ(scene.opened.size(), 1);
    EXPECT_EQ(scene.opened[0].map.name, QStringLiteral("Croquis"));
    EXPECT_EQ(scene.opened[0].path, scene.path(QStringLiteral("Europe/Croquis.plmmap")));
    // The prompts asked what the commands say.
    EXPECT_EQ(scene.namePrompts[0], (std::pair{QStringLiteral("Nouveau dossier"), QStringLiteral("Nouveau dossier")}));
    EXPECT_EQ(scene.namePrompts[1], (std::pair{QStringLiteral("Nouveau fond"), QStringLiteral("Nouveau fond")}));
    EXPECT_EQ(scene.namePrompts[2], (std::pair{QStringLiteral("Renommer « France »"), QStringLiteral("France")}));
}

TEST_F(LibraryWindowControllerTest, refusedOrCancelledCommandsLeaveNoUndoStep)
{
    scene.writeMap(QStringLiteral("Europe/France.plmmap"), LibraryWindowScene::squares(QStringLiteral("France"), 1));
    scene.folder(QStringLiteral("Europe/Ouest"));
    window.reload();
    const QString europe = scene.path(QStringLiteral("Europe"));
    const QMap<QString, QByteArray> before = scene.contents();

    // A folder into its own subfolder: refused by the check, and by the store if forced.
    EXPECT_FALSE(window.canMove({europe}, scene.path(QStringLiteral("Europe/Ouest"))));
    EXPECT_FALSE(window.canMove({europe}, europe));
    EXPECT_FALSE(window.canMove({scene.path(QStringLiteral("Europe/France.plmmap"))}, europe)); // already there
    EXPECT_TRUE(window.canMove({scene.path(QStringLiteral("Europe/France.plmmap"))}, scene.store.root()));
    window.moveItems({europe}, scene.path(QStringLiteral("Europe/Ouest")));
    EXPECT_EQ(scene.errors, QStringList{PlmLibraryError::description(PlmLibraryError::Kind::descendantMove)});

    // A delete whose first item fails, a rename to its own name, a cancelled prompt.
    window.deleteItems({scene.path(QStringLiteral("Absent.plmmap"))});
    EXPECT_EQ(scene.errors.size(), 2);
    window.reload(europe);
    scene.nameAnswers = {QStringLiteral("Europe")};
    window.renameSelected();
    window.newFolder(); // cancelled
    scene.nameAnswers = {QStringLiteral(".caché")};
    window.newFolder();
    EXPECT_EQ(scene.errors.last(), PlmLibraryError::description(PlmLibraryError::Kind::invalidName));
    EXPECT_EQ(undo.count(), 0);
    EXPECT_EQ(scene.contents(), before);

    // Deleting a folder and a map inside it trashes the folder only; one undo restores both.
    window.reload(QStringList{europe, scene.path(QStringLiteral("Europe/France.plmmap"))});
    EXPECT_EQ(window.selectedTopLevelItems().size(), 1);
    window.perform(QStringLiteral("deleteSelected:"), nullptr);
    EXPECT_EQ(scene.contents(), (QMap<QString, QByteArray>{}));
    EXPECT_EQ(scene.errors.size(), 3);
    undo.undo();
    EXPECT_EQ(scene.contents(), before);
}

TEST_F(LibraryWindowControllerTest, theMenusOfferOnlyWhatCanBeDone)
{
    scene.writeMap(QStringLiteral("Europe/France.plmmap"), LibraryWindowScene::squares(QStringLiteral("France"), 1));
    scene.folder(QStringLiteral("Europe/Ouest"));
    scene.folder(QStringLiteral("Monde"));
    window.reload(scene.path(QStringLiteral("Europe")));

    QMenu* menu = window.actionsMenu();
    window.fillMenu(menu, false);
    EXPECT_EQ(titles(menu), (QStringList{"Ouvrir", "Coup d’œil", "—", "Nouveau dossier…", "Nouveau fond…", "Importer des fonds…",
                                         "Fonds en ligne…", "—", "Renommer…", "Déplacer vers", "Dupliquer",
                                         "Placer dans la Corbeille", "—", "Afficher dans le gestionnaire de fichiers"}));
    EXPECT_FALSE(find(menu, QStringLiteral("Coup d’œil"))->isEnabled()); // only a folder is selected
    EXPECT_TRUE(find(menu, QStringLiteral("Renommer…"))->isEnabled());
    QMenu* move = find(menu, QStringLiteral("Déplacer vers"))->menu();
    EXPECT_EQ(titles(move), (QStringList{"Racine de la bibliothèque", "Europe", "Monde"}));
    EXPECT_FALSE(find(move, QStringLiteral("Racine de la bibliothèque"))->isEnabled()); // already there
    EXPECT_FALSE(find(move, QStringLiteral("Dans « Europe »"))->isEnabled());
    EXPECT_FALSE(find(move, QStringLiteral("Dans « Ouest »"))->isEnabled()); // its own subfolder
    QAction* monde = find(move, QStringLiteral("Dans « Monde »"));
    ASSERT_TRUE(monde->isEnabled());
    monde->trigger();
    EXPECT_TRUE(QFileInfo::exists(scene.path(QStringLiteral("Monde/Europe/France.plmmap"))));
    EXPECT_EQ(undo.undoText(), QStringLiteral("Déplacer"));

    window.reload(QStringList());
    window.fillMenu(menu, false);
    EXPECT_FALSE(find(menu, QStringLiteral("Ouvrir"))->isEnabled());
    EXPECT_FALSE(find(menu, QStringLiteral("Renommer…"))->isEnabled());
    EXPECT_TRUE(find(menu, QStringLiteral("Nouveau dossier…"))->isEnabled());
    find(menu, QStringLiteral("Afficher dans le gestionnaire de fichiers"))->trigger();
    EXPECT_EQ(scene.revealed, QStringList{scene.store.root()});
}

TEST_F(LibraryWindowControllerTest, theWindowIsInTheCommandChainForUndoAndRedo)
{
    window.showWindow();
    const QList<CommandResponder*> chain = CommandRouter::shared().chainFrom(window.outline());
    ASSERT_FALSE(chain.isEmpty());
    EXPECT_EQ(chain.first(), &window);

    window.registerAddition(scene.writeMap(QStringLiteral("Ajout.plmmap"), LibraryWindowScene::squares(QStringLiteral("Ajout"), 1)),
                            QStringLiteral("Ajouter à la bibliothèque"));
    CommandRouter::shared().setStartWidget(window.outline());
    const CommandValidation undoState = CommandRouter::shared().validate(QStringLiteral("undo:"));
    EXPECT_TRUE(undoState.enabled);
    EXPECT_EQ(undoState.title, QStringLiteral("Annuler Ajouter à la bibliothèque"));
    EXPECT_TRUE(CommandRouter::shared().perform(QStringLiteral("undo:")));
    EXPECT_FALSE(QFileInfo::exists(scene.path(QStringLiteral("Ajout.plmmap"))));
    EXPECT_EQ(CommandRouter::shared().validate(QStringLiteral("redo:")).title, QStringLiteral("Rétablir Ajouter à la bibliothèque"));
    EXPECT_TRUE(CommandRouter::shared().perform(QStringLiteral("redo:")));
    EXPECT_TRUE(QFileInfo::exists(scene.path(QStringLiteral("Ajout.plmmap"))));
    CommandRouter::shared().setStartWidget(nullptr);
}

TEST_F(LibraryWindowControllerTest, importingSeveralFilesReportsEachAndUndoesTogether)
{
    const QString outside = scene.dir.filePath(QStringLiteral("dehors"));
    const QString ok = LibraryWindowScene::writeFile(outside + QStringLiteral("/communes.geojson"), geoJson({"Arles", "Nîmes"}));
    const QString bad = LibraryWindowScene::writeFile(outside + QStringLiteral("/cassé.geojson"), "{\"type\": 12}");
    const QString skipped = LibraryWindowScene::writeFile(outside + QStringLiteral("/autre.geojson"), geoJson({"Gap"}));
    const QString native = LibraryWindowScene::writeFile(outside + QStringLiteral("/dessin.plmmap"),
                                                         PlmMapCodec::encode(LibraryWindowScene::squares(QStringLiteral("Dessin"), 2)));
    const QString folder = scene.folder(QStringLiteral("Sud"));
    window.reload();
    const QMap<QString, QByteArray> before = scene.contents();

    scene.alertAnswers = {0, 1, 0}; // "Importer le fond", "Annuler", "Importer le fond"
    scene.importAndWait({ok, bad, skipped, native}, folder);
    const QString summary = ExternalFileAccess::importWithRelatedFiles(ok).summary();
    ASSERT_EQ(scene.alerts.size(), 4); // three choices, then the report
    EXPECT_EQ(scene.alerts[0].message, QStringLiteral("Fond trouvé — communes"));
    const DialogHooks::Alert report = scene.alerts.last();
    EXPECT_EQ(report.message, QStringLiteral("Résultat de l’import"));
    EXPECT_EQ(report.buttons, QStringList{"OK"});
    EXPECT_EQ(report.window, window.window());
    const QStringList lines = report.informativeText.split(QStringLiteral("\n\n"));
    ASSERT_EQ(lines.size(), 3) << report.informativeText.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("communes.geojson\n") + summary);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("dessin.plmmap\n")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("cassé.geojson : "))) << lines[2].toStdString();

    // The GeoJSON file became a new document, the ".plmmap" was copied byte for byte.
    EXPECT_EQ(scene.store.map(scene.path(QStringLiteral("Sud/communes.plmmap"))).entities.size(), 2);
    QFile original(native);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(scene.contents().value(QStringLiteral("Sud/dessin.plmmap")), original.readAll());
    EXPECT_EQ(selectedNames(), (QStringList{"communes", "dessin"}));
    EXPECT_EQ(undo.count(), 1);
    EXPECT_EQ(undo.undoText(), QStringLiteral("Ajouter à la bibliothèque"));
    undo.undo();
    EXPECT_EQ(scene.contents(), before);

    // Nothing stored (a failure and a cancel): a report, and no empty undo step.
    scene.alerts.clear();
    scene.alertAnswers = {1};
    scene.importAndWait({bad, skipped}, folder);
    EXPECT_EQ(scene.alerts.last().informativeText.split(QStringLiteral("\n\n")).size(), 1);
    EXPECT_TRUE(scene.alerts.last().informativeText.startsWith(QStringLiteral("cassé.geojson : ")));
    EXPECT_EQ(undo.index(), 0);
    EXPECT_TRUE(undo.canRedo()); // nothing was pushed over the undone import
}

TEST_F(LibraryWindowControllerTest, dropsMoveRowsAndImportFilesFromTheFileManager)
{
    scene.writeMap(QStringLiteral("Europe/France.plmmap"), LibraryWindowScene::squares(QStringLiteral("France"), 1));
    scene.writeMap(QStringLiteral("Monde/Pays.plmmap"), LibraryWindowScene::squares(QStringLiteral("Pays"), 1));
    window.reload(QStringList{scene.path(QStringLiteral("Europe/France.plmmap")), scene.path(QStringLiteral("Monde/Pays.plmmap"))});
    window.showWindow();
    LibraryOutlineView* outline = window.outline();
    QWidget* viewport = outline->viewport();
    const auto rowCentre = [&](const QString& relative) {
        return outline->visualRect(window.model()->indexForURL(scene.path(relative))).center();
    };
    const auto drag = [&](const QMimeData& data, const QPoint& at, bool drop) {
        // As the window system does: the drag enters, then moves.
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &move);
        const Qt::DropAction answer = move.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
        if (drop && answer != Qt::IgnoreAction) {
            QDropEvent event(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(viewport, &event);
        }
        return answer;
    };

    // The rows carry their paths as files and under the library's own type.
    const QModelIndexList rows{window.model()->indexForURL(scene.path(QStringLiteral("Europe")))};
    std::unique_ptr<QMimeData> europe(window.model()->mimeData(rows));
    EXPECT_EQ(europe->urls(), QList<QUrl>{QUrl::fromLocalFile(scene.path(QStringLiteral("Europe")))});
    EXPECT_EQ(LibraryOutlineModel::libraryItemURLs(europe.get()), QStringList{scene.path(QStringLiteral("Europe"))});

    // A folder onto a map inside it, or onto itself: no operation.
    EXPECT_EQ(drag(*europe, rowCentre(QStringLiteral("Europe/France.plmmap")), false), Qt::IgnoreAction);
    EXPECT_EQ(drag(*europe, rowCentre(QStringLiteral("Europe")), false), Qt::IgnoreAction);
    // A map dropped on a map row goes into that map's folder, highlighted as a whole.
    std::unique_ptr<QMimeData> france(window.model()->mimeData({window.model()->indexForURL(scene.path(QStringLiteral("Europe/France.plmmap")))}));
    EXPECT_EQ(drag(*france, rowCentre(QStringLiteral("Monde/Pays.plmmap")), false), Qt::MoveAction);
    EXPECT_EQ(outline->dropHighlight(), QPersistentModelIndex(window.model()->indexForURL(scene.path(QStringLiteral("Monde")))));
    EXPECT_EQ(drag(*france, rowCentre(QStringLiteral("Monde/Pays.plmmap")), true), Qt::MoveAction);
    EXPECT_TRUE(QFileInfo::exists(scene.path(QStringLiteral("Monde/France.plmmap"))));
    EXPECT_EQ(undo.undoText(), QStringLiteral("Déplacer"));
    EXPECT_FALSE(outline->dropHighlight().isValid());

    // Files from the file manager: all importable or refused as a whole.
    const QString outside = scene.dir.filePath(QStringLiteral("dehors"));
    const QString a = LibraryWindowScene::writeFile(outside + QStringLiteral("/a.geojson"), geoJson({"A"}));
    const QString b = LibraryWindowScene::writeFile(outside + QStringLiteral("/b.geojson"), geoJson({"B"}));
    const QString png = LibraryWindowScene::writeFile(outside + QStringLiteral("/image.png"), QByteArray("\x89PNG\r\n\x1a\n", 8));
    QMimeData mixed;
    mixed.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(png)});
    EXPECT_EQ(drag(mixed, rowCentre(QStringLiteral("Europe")), false), Qt::IgnoreAction);
    QMimeData two;
    two.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
    const QPoint below(10, viewport->height() - 3); // empty space: the root
    EXPECT_EQ(drag(two, below, false), Qt::CopyAction);
    EXPECT_TRUE(outline->highlightsRoot());
    QEventLoop loop;
    QObject::connect(&window, &LibraryWindowController::importFinished, &loop, &QEventLoop::quit);
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, &loop, &QEventLoop::quit);
    watchdog.start(EventWait::guard);
    scene.alertAnswers = {0, 0}; // "Importer le fond", twice
    EXPECT_EQ(drag(two, below, true), Qt::CopyAction);
    loop.exec();
    EXPECT_TRUE(QFileInfo::exists(scene.path(QStringLiteral("a.plmmap"))));
    EXPECT_TRUE(QFileInfo::exists(scene.path(QStringLiteral("b.plmmap"))));
    EXPECT_EQ(scene.alerts.last().message, QStringLiteral("Résultat de l’import"));

    // The preview lights up only for importable files and imports into the selected folder.
    LibraryDropPreview* preview = window.preview();
    QDragLeaveEvent leaveOutline;
    QCoreApplication::sendEvent(viewport, &leaveOutline);
    QDragEnterEvent enterMixed(QPoint(5, 5), Qt::CopyAction, &mixed, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(preview, &enterMixed);
    EXPECT_FALSE(preview->highlighted());
    QDragEnterEvent enterTwo(QPoint(5, 5), Qt::CopyAction, &two, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(preview, &enterTwo);
    EXPECT_TRUE(preview->highlighted());
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(preview, &leave);
    EXPECT_FALSE(preview->highlighted());
    window.reload(scene.path(QStringLiteral("Europe")));
    scene.alertAnswers = {0, 0};
    QDragEnterEvent enterAgain(QPoint(5, 5), Qt::CopyAction, &two, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(preview, &enterAgain);
    QDropEvent dropTwo(QPoint(5, 5), Qt::CopyAction, &two, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(preview, &dropTwo);
    loop.exec();
    EXPECT_TRUE(QFileInfo::exists(scene.path(QStringLiteral("Europe/a.plmmap"))));
    EXPECT_TRUE(scene.errors.isEmpty());
}

TEST_F(LibraryWindowControllerTest, outlineKeysAndQuickLookPreviews)
{
    const QString one = scene.writeMap(QStringLiteral("Europe/Carte.plmmap"), LibraryWindowScene::squares(QStringLiteral("Carte"), 2));
    const QString two = scene.writeMap(QStringLiteral("Monde/Carte.plmmap"), LibraryWindowScene::squares(QStringLiteral("Carte"), 3));
    window.reload(QStringList{one, two, scene.path(QStringLiteral("Monde"))});
    window.showWindow();

    // Space: one PDF per map, in numbered subfolders of a new temporary folder.
    EXPECT_TRUE(key(Qt::Key_Space));
    const QString first = window.previewDirectory();
    EXPECT_TRUE(QFileInfo(first).fileName().startsWith(QStringLiteral("PlmQuickLook-")));
    EXPECT_EQ(window.previewURLs(), (QStringList{first + "/0/Carte.pdf", first + "/1/Carte.pdf"}));
    QFile pdf(window.previewURLs().first());
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    ASSERT_NE(window.quickLook(), nullptr);
    EXPECT_TRUE(window.quickLook()->isVisible());
    EXPECT_EQ(window.quickLook()->captionText(), QStringLiteral("Carte — 1 sur 2"));
    QFile::remove(QStringLiteral("library-quicklook.pdf"));
    QFile::copy(window.previewURLs().first(), QStringLiteral("library-quicklook.pdf")); // looked at
    // The page is drawn in the background: the picture is taken once it shows.
    ASSERT_TRUE(waitUntil([&] { return showsDrawnPage(*window.quickLook()); }));
    window.quickLook()->grab().toImage().save(QStringLiteral("library-quicklook.png"));
    // Space again hides it without writing anything.
    EXPECT_TRUE(key(Qt::Key_Space));
    EXPECT_FALSE(window.quickLook()->isVisible());
    EXPECT_EQ(window.previewDirectory(), first);
    // Again: a new folder, the previous one gone.
    key(Qt::Key_Space);
    EXPECT_NE(window.previewDirectory(), first);
    EXPECT_FALSE(QFileInfo::exists(first));
    key(Qt::Key_Space);
    // Only folders: nothing prepared, nothing shown.
    window.reload(scene.path(QStringLiteral("Monde")));
    key(Qt::Key_Space);
    EXPECT_TRUE(window.previewURLs().isEmpty());
    EXPECT_FALSE(window.quickLook()->isVisible());

    // Return renames, Ctrl+O opens, Delete trashes at once; other keys are the outline's.
    window.reload(one);
    scene.nameAnswers = {QStringLiteral("Continent")};
    EXPECT_TRUE(key(Qt::Key_Return));
    const QString renamed = scene.path(QStringLiteral("Europe/Continent.plmmap"));
    EXPECT_TRUE(QFileInfo::exists(renamed));
    EXPECT_TRUE(key(Qt::Key_O, Qt::ControlModifier));
    ASSERT_EQ(scene.opened.size(), 1);
    EXPECT_EQ(scene.opened[0].path, renamed);
    EXPECT_TRUE(key(Qt::Key_Delete));
    EXPECT_FALSE(QFileInfo::exists(renamed));
    EXPECT_EQ(undo.undoText(), QStringLiteral("Supprimer"));
    EXPECT_FALSE(key(Qt::Key_Down));
    EXPECT_FALSE(key(Qt::Key_Return, Qt::ControlModifier));
    // The outline's Ctrl+O wins over the menu's « Ouvrir… »; other shortcuts go to the menus.
    QKeyEvent ctrlO(QEvent::ShortcutOverride, Qt::Key_O, Qt::ControlModifier);
    QCoreApplication::sendEvent(window.outline(), &ctrlO);
    EXPECT_TRUE(ctrlO.isAccepted());
    QKeyEvent ctrlS(QEvent::ShortcutOverride, Qt::Key_S, Qt::ControlModifier);
    ctrlS.ignore();
    QCoreApplication::sendEvent(window.outline(), &ctrlS);
    EXPECT_FALSE(ctrlS.isAccepted());
    EXPECT_TRUE(scene.errors.isEmpty());
}

TEST_F(LibraryWindowControllerTest, aLargeMapIsReadOffTheMainThreadAndItsDetailsAreKept)
{
    const QString big = scene.writeMap(QStringLiteral("Grand.plmmap"),
                                       LibraryWindowScene::squares(QStringLiteral("Grand"), 8000, {{QStringLiteral("source"), QStringLiteral("INSEE")}}));
    ASSERT_GT(QFileInfo(big).size(), LibraryThumbnails::livePreviewLimit());
    window.reload(big);
    EXPECT_EQ(window.detailLabel()->text(), QStringLiteral("Grand\nLecture du fond…"));
    EXPECT_EQ(window.previewCanvas(), nullptr);
    window.thumbnails()->waitForPending();
    ASSERT_NE(window.previewCanvas(), nullptr);
    EXPECT_EQ(window.previewCanvas()->map().entities.size(), 8000);
    EXPECT_EQ(window.detailLabel()->text(), QStringLiteral("Grand\n8000 entités\nINSEE"));

    // Seen once: its details and a picture show at once the next time, before the live view.
    window.reload(QStringList());
    window.reload(big);
    EXPECT_EQ(window.detailLabel()->text(), QStringLiteral("Grand\n8000 entités\nINSEE"));
    EXPECT_EQ(window.previewCanvas(), nullptr);
    EXPECT_NE(window.preview()->findChild<QWidget*>(QStringLiteral("Bibliothèque.Image")), nullptr);
    // A late reading for a selection that has changed is dropped.
    window.reload(QStringList());
    window.thumbnails()->waitForPending();
    EXPECT_EQ(window.previewCanvas(), nullptr);
    EXPECT_EQ(window.detailLabel()->text(), QStringLiteral("Sélectionnez un fond pour voir son aperçu vectoriel."));

    // A large map whose row was drawn is ready for its first selection.
    const QString other = scene.writeMap(QStringLiteral("Autre.plmmap"), LibraryWindowScene::squares(QStringLiteral("Autre"), 8000));
    window.reload();
    window.thumbnails()->thumbnail(other);
    window.thumbnails()->waitForPending();
    window.reload(other);
    EXPECT_EQ(window.detailLabel()->text(), QStringLiteral("Autre\n8000 entités"));
    EXPECT_NE(window.preview()->findChild<QWidget*>(QStringLiteral("Bibliothèque.Image")), nullptr);
    window.thumbnails()->waitForPending();
    EXPECT_NE(window.previewCanvas(), nullptr);
}
