#include "support/StudioWindowTestSupport.h"
#include "support/ImageBytes.h"

#include "app/StudioBackgroundInspector.h"
#include "app/StudioPrintFormat.h"
#include "app/StudioSplit.h"
#include "fond/FondWindowController.h"
#include "canvas/VectorCanvas.h"
#include "page/DecorationController.h"
#include "mapimport/VectorImportUI.h"
#include "carte/CarteWindowController.h"
#include "library/LibraryCoordinator.h"
#include "library/LibraryWindowController.h"
#include "model/PlmErrors.h"
#include "desktop/ViewHost.h"
#include "support/LibraryTestSupport.h"
#include "symbolcatalogue/SymbolPickerWindowController.h"
#include "support/WidgetInput.h"
#include "support/WidgetKeys.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>

#include <ostream>

inline void PrintTo(const PlmPrintPage& page, std::ostream* out)
{
    *out << page.width << " × " << page.height << " mm at (" << page.origin.x << ", " << page.origin.y << "), margin "
         << page.margin << (page.landscape ? ", landscape" : ", portrait") << (page.visible ? ", shown" : ", hidden");
}

namespace {

PlmEntity square(const QString& id, double x, double y, double side)
{
    PlmPolygon polygon;
    polygon.exterior = {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}};
    return PlmEntity(id, id, PlmGeometry::polygon(polygon), PlmStyle(PlmColor{0, 0, 0, 1}, PlmColor{1, 0, 0, 1}, 1, 3));
}

PlmWork sampleWork()
{
    PlmWork work;
    work.map.name = QStringLiteral("Carte");
    work.map.entities = PlmEntityList({square("A", 0, 0, 50), square("B", 50, 0, 50)});
    return work;
}

QStringList actionTitles(const QMenu* menu)
{
    QStringList titles;
    for (const QAction* action : menu->actions()) {
        if (!action->isSeparator())
            titles.append(action->text());
    }
    return titles;
}

class StudioWindowCommandsTest : public StudioWindowFixture {
protected:
    QString writePng(const QString& name, int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        const QString path = files.filePath(name);
        image.save(path, "PNG");
        return path;
    }

    // The sample work under a 1000 × 500 background picture placed at (652345.2, 10).
    static PlmWork workWithBackground(bool locked)
    {
        PlmWork work = sampleWork();
        PlmBackgroundImage image;
        image.data = plainPng(Qt::darkGreen, 4, 4);
        image.type = QStringLiteral("png");
        image.position = PlmPoint{652345.2, 10};
        image.width = 1000;
        image.height = 500;
        image.locked = locked;
        work.decoration = PlmDecoration();
        work.decoration->backgroundImage = image;
        return work;
    }

    QTemporaryDir files;
};

TEST_F(StudioWindowCommandsTest, PrintFormatsFollowThePageOrientation)
{
    open(sampleWork());
    window->printFormat->setCurrentIndex(StudioPrintFormat::a3);
    ASSERT_TRUE(window->performCommand("changePrintFormat:", window->printFormat));
    ASSERT_TRUE(work().decoration && work().decoration->printPage);
    EXPECT_EQ(work().decoration->printPage->width, 420);
    EXPECT_EQ(work().decoration->printPage->height, 297);
    EXPECT_EQ(undoName(), QStringLiteral("Format de la page d’impression"));
    EXPECT_EQ(window->mode, StudioWindowController::Mode::carte);
    EXPECT_EQ(window->printWidth->text(), QStringLiteral("420,0"));

    // The same page again stores nothing.
    const int steps = undoCount();
    window->applyPrintFormat(StudioPrintFormat::a3);
    EXPECT_EQ(undoCount(), steps);

    // "Personnalisée" without a page creates the A4 landscape page.
    open(sampleWork());
    window->applyPrintFormat(StudioPrintFormat::custom);
    ASSERT_TRUE(work().decoration && work().decoration->printPage);
    EXPECT_EQ(work().decoration->printPage->width, 297);
    EXPECT_TRUE(work().decoration->printPage->visible);
    EXPECT_EQ(window->printFormat->currentIndex(), StudioPrintFormat::custom);
}

TEST_F(StudioWindowCommandsTest, TypedPageSizesReadCommasAndRefuseWords)
{
    open(sampleWork());
    window->printWidth->setText(QStringLiteral("297,5"));
    window->performCommand("controlTextDidEndEditing:", window->printWidth);
    ASSERT_TRUE(work().decoration && work().decoration->printPage);
    EXPECT_EQ(work().decoration->printPage->width, 297.5);
    EXPECT_EQ(work().decoration->printPage->height, 210);
    EXPECT_EQ(undoName(), QStringLiteral("Format de la page d’impression"));

    const int steps = undoCount();
    window->printHeight->setText(QStringLiteral("abc"));
    window->performCommand("controlTextDidEndEditing:", window->printHeight);
    EXPECT_EQ(errors, QStringList{QStringLiteral("Dimensions de page incorrectes.")});
    EXPECT_EQ(window->printHeight->text(), QStringLiteral("210,0")); // restored from the work
    EXPECT_EQ(undoCount(), steps);

    // Below the minimum size: the page's own refusal.
    window->printWidth->setText(QStringLiteral("5"));
    window->applyTypedPageSize();
    EXPECT_EQ(errors.last(), QStringLiteral("Page ou marges d’impression incorrectes."));
    EXPECT_EQ(undoCount(), steps);
}

TEST_F(StudioWindowCommandsTest, LeavingAPrintFieldWithoutTypingChangesNothing)
{
    open(sampleWork());
    ASSERT_EQ(window->mode, StudioWindowController::Mode::fond);
    window->performCommand("controlTextDidEndEditing:", window->printWidth);
    EXPECT_EQ(window->mode, StudioWindowController::Mode::fond);
    EXPECT_EQ(undoCount(), 0);
    EXPECT_FALSE(work().decoration.has_value());
}

// A format choice that comes once the print format group is gone, its controls with it,
// neither fails nor touches the page; the group made next shows the page and changes it.
TEST_F(StudioWindowCommandsTest, AFormatChoiceAfterTheGroupIsGoneChangesNothingAndTheNextGroupWorks)
{
    open(sampleWork());
    window->applyPrintFormat(StudioPrintFormat::a3);
    const PlmWork before = work();
    ASSERT_TRUE(before.decoration && before.decoration->printPage);
    const int steps = undoCount();
    std::unique_ptr<QWidget> group(window->makeToolbarItem(QStringLiteral("Studio.PrintFormat")));
    group.reset();
    ASSERT_TRUE(window->printFormat.isNull());

    EXPECT_TRUE(window->performCommand("changePrintFormat:"));
    EXPECT_EQ(work().decoration->printPage, before.decoration->printPage);
    EXPECT_TRUE(work() == before);
    EXPECT_EQ(undoCount(), steps);
    EXPECT_TRUE(errors.isEmpty());

    group.reset(window->makeToolbarItem(QStringLiteral("Studio.PrintFormat")));
    ASSERT_FALSE(window->printFormat.isNull() || window->printWidth.isNull() || window->printHeight.isNull());
    EXPECT_EQ(window->printFormat->currentIndex(), StudioPrintFormat::a3);
    EXPECT_EQ(window->printWidth->text(), QStringLiteral("420,0"));
    PlmPrintPage expected = *before.decoration->printPage;
    choose(window->printFormat, StudioPrintFormat::a4);
    expected.width = 297;
    expected.height = 210;
    EXPECT_EQ(work().decoration->printPage, expected);
    type(window->printWidth, QStringLiteral("300"));
    expected.width = 300;
    EXPECT_EQ(work().decoration->printPage, expected);
    type(window->printHeight, QStringLiteral("200"));
    expected.height = 200;
    EXPECT_EQ(work().decoration->printPage, expected);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(StudioWindowCommandsTest, FirstPageToggleShowsAnA4LandscapePage)
{
    open(sampleWork());
    EXPECT_EQ(window->validate("togglePrintPage:", nullptr).checked, std::optional<bool>(false));
    window->performCommand("togglePrintPage:");
    ASSERT_TRUE(work().decoration && work().decoration->printPage);
    const PlmPrintPage page = *work().decoration->printPage;
    EXPECT_EQ(page.width, 297);
    EXPECT_EQ(page.height, 210);
    EXPECT_EQ(page.margin, 10);
    EXPECT_TRUE(page.landscape);
    EXPECT_TRUE(page.visible);
    EXPECT_EQ(undoName(), QStringLiteral("Afficher / masquer la page"));
    EXPECT_EQ(window->validate("togglePrintPage:", nullptr).checked, std::optional<bool>(true));
    window->performCommand("togglePrintPage:");
    EXPECT_FALSE(work().decoration->printPage->visible);
}

TEST_F(StudioWindowCommandsTest, EntityNamesUndoAndRedo)
{
    open(sampleWork());
    EXPECT_FALSE(window->validate("undo:", nullptr).enabled);
    EXPECT_EQ(window->validate("toggleEntityNames:", nullptr).checked, std::optional<bool>(false));
    window->performCommand("toggleEntityNames:");
    EXPECT_EQ(undoName(), QStringLiteral("Afficher les noms des entités"));
    EXPECT_TRUE(StudioPrintFormat::showsEntityNames(work()));
    EXPECT_EQ(window->validate("toggleEntityNames:", nullptr).checked, std::optional<bool>(true));
    ASSERT_TRUE(window->validate("undo:", nullptr).enabled);
    window->performCommand("undo:");
    EXPECT_FALSE(StudioPrintFormat::showsEntityNames(work()));
    EXPECT_TRUE(window->validate("redo:", nullptr).enabled);
    window->performCommand("redo:");
    EXPECT_TRUE(StudioPrintFormat::showsEntityNames(work()));
}

TEST_F(StudioWindowCommandsTest, AddingDrawingsInFondChoosesATool)
{
    open(sampleWork());
    QAction rectangle;
    rectangle.setProperty("representedObject", QStringLiteral("rectangle"));
    window->performCommand("addObject:", &rectangle);
    EXPECT_EQ(window->fond->canvas()->drawingTool(), VectorCanvas::DrawingTool::rectangle);
    ASSERT_TRUE(window->fond->canvas()->host());
    EXPECT_EQ(window->fond->canvas()->host()->firstResponder(), window->fond->canvas());
    EXPECT_EQ(undoCount(), 0);
    EXPECT_EQ(window->mode, StudioWindowController::Mode::fond);
    EXPECT_FALSE(window->addObject(QStringLiteral("nothing")));

    // A title switches to Carte, creating the Carte.
    window->addObject(QStringLiteral("title"));
    EXPECT_EQ(window->mode, StudioWindowController::Mode::carte);
    EXPECT_TRUE(work().thematic.has_value());
}

TEST_F(StudioWindowCommandsTest, MenusOfTheDrawingAndAddButtons)
{
    open(sampleWork());
    QMenu* drawing = window->showAddMenu(nullptr);
    ASSERT_TRUE(drawing);
    EXPECT_EQ(drawing->title(), QStringLiteral("Dessiner des entités statistiques"));
    QStringList expected = StudioWindowCommands::drawingToolTitles();
    expected.append(QStringLiteral("Catalogue de symboles ponctuels…"));
    EXPECT_EQ(actionTitles(drawing), expected);
    EXPECT_TRUE(drawing->actions().at(0)->isChecked()); // the selection tool

    // Choosing "Point" draws plain points again.
    window->fond->canvas()->pendingPointSymbol = PlmPointSymbol();
    drawing->actions().at(8)->trigger();
    EXPECT_EQ(window->fond->canvas()->drawingTool(), VectorCanvas::DrawingTool::point);
    EXPECT_FALSE(window->fond->canvas()->pendingPointSymbol.has_value());

    window->switchMode(StudioWindowController::Mode::carte, true);
    QMenu* add = window->showDrawingMenu(nullptr);
    ASSERT_TRUE(add);
    EXPECT_EQ(add->title(), QStringLiteral("Ajouter de l’habillage"));
    EXPECT_EQ(actionTitles(add),
              QStringList({"Titre", "Sous-titre", "Texte libre", "Source", "Auteur", "Échelle locale", "Flèche du Nord",
                           "Rectangle", "Ellipse", "Ligne", "Flèche", "Image / logo…", "Symbole SVG…", "Pictogramme…",
                           "Légende"}));
    EXPECT_EQ(add->actions().at(13)->property("representedObject").toString(), QStringLiteral("sfSymbol"));
}

TEST_F(StudioWindowCommandsTest, AddingLayoutElementsReachesTheLayoutController)
{
    open(sampleWork());
    ASSERT_TRUE(window->carte()->decorationController()->canEditObjects());
    // In Fond, the drawings choose a tool; the rest goes to the layout's controller in Carte.
    QAction rectangle;
    rectangle.setProperty("representedObject", QStringLiteral("rectangle"));
    QAction title;
    title.setProperty("representedObject", QStringLiteral("title"));
    EXPECT_TRUE(window->validate("addObject:", &rectangle).enabled);
    EXPECT_TRUE(window->validate("addObject:", &title).enabled);
    EXPECT_TRUE(window->performCommand("addObject:", &title));
    EXPECT_EQ(window->mode, StudioWindowController::Mode::carte);
    ASSERT_TRUE(work().decoration);
    ASSERT_EQ(work().decoration->objects.size(), 1);
    EXPECT_EQ(work().decoration->objects.at(0).kind, PlmDecorationKind::title);
    EXPECT_EQ(undoName(), QStringLiteral("Ajouter Titre"));

    // In Carte, every item of the add menu is enabled.
    QMenu* add = window->showAddMenu(nullptr);
    ASSERT_TRUE(add);
    ASSERT_EQ(add->actions().size(), allPlmDecorationKinds().size());
    for (QAction* action : add->actions())
        EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
    EXPECT_TRUE(window->performCommand("addObject:", &rectangle));
    ASSERT_EQ(work().decoration->objects.size(), 2);
    EXPECT_EQ(work().decoration->objects.at(1).kind, PlmDecorationKind::rectangle);
    EXPECT_EQ(undoName(), QStringLiteral("Ajouter Rectangle"));
}

TEST_F(StudioWindowCommandsTest, ImportAndLibraryReachTheirPanes)
{
    open(sampleWork());
    EXPECT_TRUE(window->validate("importForMode:", nullptr).enabled);
    ASSERT_TRUE(window->performCommand("importForMode:"));
    EXPECT_EQ(panels, QStringList{VectorImportUI::openPanelTitle()}); // cancelled: nothing opens
    EXPECT_EQ(undoCount(), 0);
    // The Carte imports a base map too, never a table into this work.
    ASSERT_TRUE(window->switchMode(StudioWindowController::Mode::carte, true));
    ASSERT_TRUE(window->performCommand("importForMode:"));
    EXPECT_EQ(panels, (QStringList{VectorImportUI::openPanelTitle(), VectorImportUI::openPanelTitle()}));

    RememberedLibrary remembered;
    ASSERT_TRUE(window->performCommand("openLibrary:"));
    LibraryWindowController* library = LibraryCoordinator::shared().libraryWindowController();
    ASSERT_NE(library, nullptr);
    EXPECT_TRUE(library->window()->isVisible());
    EXPECT_EQ(QFileInfo(library->store().root()).absoluteFilePath(), QFileInfo(remembered.path).absoluteFilePath());
}

TEST_F(StudioWindowCommandsTest, ImportsPlacesAndReplacesTheBackgroundImage)
{
    open(sampleWork());
    QMenu* menu = window->background()->showMenu(nullptr);
    EXPECT_EQ(actionTitles(menu), QStringList({"Importer une image…", "Réglages du fond", "Supprimer le fond"}));
    EXPECT_FALSE(menu->actions().at(1)->isEnabled());

    chosenFile = writePng("fond.png", 200, 100);
    window->performCommand("importBackgroundPanel:");
    EXPECT_EQ(panels, QStringList{QStringLiteral("Image de fond")});
    ASSERT_TRUE(work().decoration && work().decoration->backgroundImage);
    PlmBackgroundImage image = *work().decoration->backgroundImage;
    EXPECT_EQ(undoName(), QStringLiteral("Importer l’image de fond"));
    // Over the map's extent (100 wide), keeping the image's proportions.
    EXPECT_NEAR(image.width, 100, 1e-6);
    EXPECT_NEAR(image.height, 50, 1e-6);
    EXPECT_NEAR(image.position.x, 0, 1e-6);
    EXPECT_TRUE(image.locked);
    EXPECT_TRUE(window->inspectingBackground);
    EXPECT_EQ(actionTitles(window->background()->showMenu(nullptr)).first(), QStringLiteral("Remplacer l’image…"));

    window->background()->importBackgroundImage(writePng("autre.png", 10, 40));
    EXPECT_EQ(undoName(), QStringLiteral("Remplacer l’image de fond"));
    EXPECT_EQ(work().decoration->backgroundImage->width, image.width);

    // A GIF named .png: refused, nothing stored.
    static const unsigned char gif[] = {0x47, 0x49, 0x46, 0x38, 0x37, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00,
                                        0x00, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00,
                                        0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3b};
    QFile gifFile(files.filePath("faux.png"));
    ASSERT_TRUE(gifFile.open(QIODevice::WriteOnly));
    gifFile.write(reinterpret_cast<const char*>(gif), sizeof gif);
    gifFile.close();
    chosenFile = gifFile.fileName();
    const int steps = undoCount();
    window->performCommand("importBackgroundPanel:");
    EXPECT_EQ(errors, QStringList{QStringLiteral("Image JPG/PNG illisible ou trop volumineuse.")});
    EXPECT_EQ(undoCount(), steps);

    // One byte above 32 MiB is refused from the file's size; a missing file names itself.
    QFile large(writePng("grand.png", 2, 2));
    ASSERT_TRUE(large.open(QIODevice::ReadWrite));
    ASSERT_TRUE(large.resize(33554433));
    large.close();
    chosenFile = large.fileName();
    window->performCommand("importBackgroundPanel:");
    EXPECT_EQ(errors.size(), 2);
    EXPECT_EQ(errors.last(), QStringLiteral("Image JPG/PNG illisible ou trop volumineuse."));
    chosenFile = files.filePath("absent.png");
    window->performCommand("importBackgroundPanel:");
    ASSERT_EQ(errors.size(), 3);
    EXPECT_TRUE(errors.last().contains(QStringLiteral("absent.png"))) << errors.last().toStdString();
    EXPECT_EQ(undoCount(), steps);
}

TEST_F(StudioWindowCommandsTest, BackgroundFieldsStoreOnlyWhatWasTyped)
{
    open(workWithBackground(true));
    // The inspector column comes back to show the background's settings.
    window->horizontal->togglePanel(2);
    ASSERT_TRUE(window->horizontal->isPanelHidden(2));
    window->performCommand("showBackgroundInspector:");
    EXPECT_FALSE(window->horizontal->isPanelHidden(2));
    EXPECT_TRUE(window->inspectingBackground);
    ASSERT_EQ(window->backgroundFields.size(), 5);
    QLineEdit* x = window->backgroundFields.at(0);
    QLineEdit* opacity = window->backgroundFields.at(4);
    EXPECT_EQ(x->objectName(), QStringLiteral("Studio.Background.0"));
    EXPECT_FALSE(x->isEnabled()); // locked
    EXPECT_TRUE(opacity->isEnabled());

    type(opacity, QStringLiteral("50"));
    EXPECT_EQ(work().decoration->backgroundImage->opacity, 0.5);
    EXPECT_EQ(undoName(), QStringLiteral("Réglage de l’image de fond"));
    EXPECT_EQ(opacity->text(), QStringLiteral("50"));

    // While locked, a new X stores nothing and the field shows the stored value again.
    int steps = undoCount();
    type(x, QStringLiteral("10"));
    EXPECT_EQ(undoCount(), steps);
    EXPECT_EQ(x->text(), QStringLiteral("652345,2"));

    window->backgroundLock->setChecked(false);
    window->performCommand("changeBackgroundLock:");
    EXPECT_EQ(undoName(), QStringLiteral("Verrouiller l’image de fond"));
    EXPECT_FALSE(work().decoration->backgroundImage->locked);
    EXPECT_TRUE(x->isEnabled());

    // The exact value is shown; ending the edit without typing moves nothing.
    steps = undoCount();
    emit x->editingFinished();
    emit window->backgroundFields.at(2)->editingFinished();
    EXPECT_EQ(undoCount(), steps);
    EXPECT_EQ(work().decoration->backgroundImage->position.x, 652345.2);

    type(x, QStringLiteral("652000"));
    EXPECT_EQ(work().decoration->backgroundImage->position.x, 652000);
    // A text that is no number stores nothing and stays for the person to correct.
    type(window->backgroundFields.at(2), QStringLiteral("abc"));
    EXPECT_EQ(work().decoration->backgroundImage->width, 1000);
    EXPECT_EQ(window->backgroundFields.at(2)->text(), QStringLiteral("abc"));

    window->performCommand("removeBackground:");
    EXPECT_EQ(undoName(), QStringLiteral("Supprimer l’image de fond"));
    EXPECT_FALSE(work().decoration->backgroundImage.has_value());
    EXPECT_FALSE(window->inspectingBackground);
    EXPECT_FALSE(opacity->isEnabled());
}

TEST_F(StudioWindowCommandsTest, ZoomsTheCurrentMapViewAboutItsCentre)
{
    open(sampleWork());
    VectorCanvas* view = window->fond->canvas();
    view->setFrame(QRectF(0, 0, 400, 300));
    view->fit(true);
    const double scale = view->scale();
    const QPointF centre = view->mapPoint(QPointF(200, 150));
    window->performCommand("zoomIn:");
    EXPECT_NEAR(view->scale(), scale * 1.25, 1e-9 * scale);
    window->performCommand("zoomOut:");
    EXPECT_NEAR(view->scale(), scale, 1e-9 * scale);
    const QPointF after = view->mapPoint(QPointF(200, 150));
    EXPECT_NEAR(after.x(), centre.x(), 1e-6);
    EXPECT_NEAR(after.y(), centre.y(), 1e-6);
}


TEST_F(StudioWindowCommandsTest, TypingInABackgroundFieldThenReturnStoresOnce)
{
    open(workWithBackground(false));
    window->window()->resize(1400, 900);
    window->window()->show();
    window->window()->activateWindow();
    window->performCommand("showBackgroundInspector:");
    QApplication::processEvents();
    const auto key = [](QWidget* target, int code, const QString& text = {}) {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, text);
        QApplication::sendEvent(target, &release);
    };
    const auto typeInto = [&key](QLineEdit* field, const QString& text) {
        field->setFocus();
        field->selectAll();
        for (const QChar c : text)
            key(field, 0, QString(c));
    };

    QLineEdit* opacity = window->backgroundFields.at(4);
    typeInto(opacity, QStringLiteral("50"));
    key(opacity, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(work().decoration->backgroundImage->opacity, 0.5);
    EXPECT_EQ(undoCount(), 1);
    EXPECT_EQ(undoName(), QStringLiteral("Réglage de l’image de fond"));
    EXPECT_EQ(opacity->text(), QStringLiteral("50"));

    // Return in X without typing, then Tab out of it: the image stays where it is.
    QLineEdit* x = window->backgroundFields.at(0);
    x->setFocus();
    key(x, Qt::Key_Return);
    x->setFocus();
    key(x, Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_EQ(undoCount(), 1);
    EXPECT_EQ(work().decoration->backgroundImage->position.x, 652345.2);

    // A typed width is one step, shown back exactly.
    QLineEdit* width = window->backgroundFields.at(2);
    typeInto(width, QStringLiteral("1234,5"));
    key(width, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(work().decoration->backgroundImage->width, 1234.5);
    EXPECT_EQ(undoCount(), 2);
    EXPECT_EQ(width->text(), QStringLiteral("1234,5"));
    window->window()->hide();
}


TEST_F(StudioWindowCommandsTest, TypingAPrintSizeThenReturnIsOneStep)
{
    open(sampleWork());
    window->window()->resize(1400, 900);
    window->window()->show();
    window->window()->activateWindow();
    QApplication::processEvents();
    const auto key = [](QWidget* target, int code, const QString& text = {}) {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, text);
        QApplication::sendEvent(target, &release);
    };
    QLineEdit* height = window->printHeight;
    height->setFocus();
    height->selectAll();
    for (const QChar c : QStringLiteral("400"))
        key(height, 0, QString(c));
    key(height, Qt::Key_Return);
    QApplication::processEvents();
    ASSERT_TRUE(work().decoration && work().decoration->printPage);
    EXPECT_EQ(work().decoration->printPage->height, 400);
    EXPECT_EQ(work().decoration->printPage->width, 297);
    EXPECT_FALSE(work().decoration->printPage->landscape);
    EXPECT_EQ(undoCount(), 1);
    EXPECT_EQ(window->mode, StudioWindowController::Mode::carte);
    EXPECT_TRUE(errors.isEmpty());

    // Leaving the other field by Tab without typing stores nothing more.
    window->printWidth->setFocus();
    key(window->printWidth, Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_EQ(undoCount(), 1);

    // "Personnalisée" puts the cursor in the width field and stores nothing for a page
    // that exists.
    window->printFormat->setCurrentIndex(StudioPrintFormat::custom);
    window->performCommand("changePrintFormat:", window->printFormat);
    QApplication::processEvents();
    EXPECT_TRUE(window->printWidth->hasFocus());
    EXPECT_EQ(window->printFormat->currentIndex(), StudioPrintFormat::custom);
    EXPECT_EQ(undoCount(), 1);
    window->window()->hide();
}

// The page's width in the toolbar speaks only for what is typed in it: only clicked, it shows
// the page a change elsewhere gives, and leaving it stores nothing; a word typed and Return is
// refused in one alert, and the field shows the stored width again.
TEST_F(StudioWindowCommandsTest, APrintFieldSpeaksOnlyForWhatIsTypedInIt)
{
    open(sampleWork());
    window->window()->show();
    window->window()->activateWindow();
    QApplication::setActiveWindow(window->window());
    window->applyPrintFormat(StudioPrintFormat::a4);
    QLineEdit* width = window->printWidth;
    width->setFocus(Qt::MouseFocusReason);
    // The export panel's width, say.
    document->updateWork(QStringLiteral("Page d’impression"), [](PlmWork& w) { w.decoration->printPage->width = 320; });
    const int steps = undoCount();
    EXPECT_EQ(width->text(), QStringLiteral("320,0"));
    keyClick(width, Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_EQ(undoCount(), steps) << "a step nobody made";
    EXPECT_EQ(work().decoration->printPage->width, 320);

    width->setFocus(Qt::MouseFocusReason);
    width->selectAll();
    typeKeys(width, QStringLiteral("abc"));
    keyClick(width, Qt::Key_Return);
    EXPECT_EQ(errors, QStringList{QStringLiteral("Dimensions de page incorrectes.")});
    EXPECT_EQ(width->text(), QStringLiteral("320,0"));
    EXPECT_EQ(undoCount(), steps);
    window->window()->hide();
}

TEST_F(StudioWindowCommandsTest, ThePointSymbolCatalogueStartsPlacingTheChosenSymbol)
{
    StudioWindowCommands::install();
    open(sampleWork());
    QMenu* drawing = window->showDrawingMenu(nullptr);
    QAction* catalogue = drawing->actions().last();
    ASSERT_EQ(catalogue->text(), QStringLiteral("Catalogue de symboles ponctuels…"));
    ASSERT_TRUE(catalogue->isEnabled());
    catalogue->trigger();
    auto* picker = qobject_cast<SymbolPickerWindowController*>(window->pointSymbolPicker());
    ASSERT_TRUE(picker);
    EXPECT_TRUE(picker->acceptsSVG());
    picker->findChild<QLineEdit*>(QStringLiteral("Symbols.Search"))->setText(QStringLiteral("hôpital"));
    keyClick(picker->findChild<QLineEdit*>(QStringLiteral("Symbols.Search")), Qt::Key_Return);

    VectorCanvas* canvas = window->fond->canvas();
    ASSERT_TRUE(canvas->pendingPointSymbol.has_value());
    EXPECT_EQ(*canvas->pendingPointSymbol, PlmPointSymbol(QStringLiteral("cross.case.fill"), std::nullopt));
    EXPECT_EQ(canvas->drawingTool(), VectorCanvas::DrawingTool::point);
    EXPECT_EQ(window->pointSymbolPicker(), nullptr); // closed once chosen
}

TEST_F(StudioWindowCommandsTest, SymbolKindsAddedInFondOpenThePointSymbolCatalogue)
{
    StudioWindowCommands::install();
    open(sampleWork());
    for (const QString& kind : {QStringLiteral("svg"), QStringLiteral("sfSymbol")}) {
        SCOPED_TRACE(kind.toStdString());
        ASSERT_TRUE(window->switchMode(StudioWindowController::Mode::fond, true));
        QAction item;
        item.setProperty("representedObject", kind);
        EXPECT_TRUE(window->validate("addObject:", &item).enabled);
        ASSERT_TRUE(window->performCommand("addObject:", &item));
        auto* picker = qobject_cast<SymbolPickerWindowController*>(window->pointSymbolPicker());
        ASSERT_TRUE(picker);
        EXPECT_TRUE(picker->acceptsSVG());
        EXPECT_EQ(window->mode, StudioWindowController::Mode::fond);
        EXPECT_EQ(undoCount(), 0);
        picker->close();
    }
}

} // namespace
