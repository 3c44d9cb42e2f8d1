#include "library/LibraryCoordinator.h"
#include "librarystore/PlmLibrarySymbols.h"
#include "symbolcatalogue/SymbolPickerWindowController.h"
#include "model/PlmErrors.h"
#include "desktop/DialogHooks.h"
#include "platform/UserDefaults.h"
#include "support/EventWait.h"
#include "support/FilePermissionScope.h"
#include "support/LibraryTestSupport.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include "support/WidgetKeys.h"
#include <gtest/gtest.h>

namespace {

const QByteArray drawing = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 10 10">
    <path d="M0 0 L10 0 L5 8 Z" fill="#c02020"/></svg>)";

class SymbolPickerWindowControllerTest : public ::testing::Test {
protected:
    SymbolPickerWindowControllerTest()
    {
        DialogHooks::Hooks h;
        h.presentError = [this](const QString& message, QWidget*) { errors << message; };
        h.sheet = [this](const DialogHooks::Alert& alert, std::function<void(int)> completion) {
            sheets << alert;
            completion(sheetAnswer);
        };
        h.openPanel = [this](const DialogHooks::OpenPanelRequest& r) -> std::optional<QStringList> {
            panels << r;
            return panelAnswer;
        };
        hooks = std::make_unique<DialogHooks::ScopedHooks>(h);
    }
    ~SymbolPickerWindowControllerTest() override
    {
        if (picker)
            delete picker.data();
    }

    // A picker over the remembered library; SVG symbols accepted unless told otherwise.
    SymbolPickerWindowController* open(bool svg = true)
    {
        SymbolPickerWindowController::SvgCompletion svgChosen;
        if (svg)
            svgChosen = [this](const PlmMap& map, const QString& name) { chosenSVG.append({map, name}); };
        picker = new SymbolPickerWindowController([this](const QString& name) { chosen << name; },
                                                  svgChosen, std::nullopt, [this] { ++closes; });
        return picker;
    }

    QString file(const QString& relative, const QByteArray& bytes) const
    {
        writeBytes(files.filePath(relative), bytes);
        return files.filePath(relative);
    }

    QStringList names() const
    {
        QStringList result;
        for (const auto& entry : picker->entries())
            result << entry.displayName();
        return result;
    }
    template <typename T> T* child(const QString& name) const { return picker->findChild<T*>(name); }
    void type(const QString& text) const { child<QLineEdit>(QStringLiteral("Symbols.Search"))->setText(text); }

    UserDefaults::TemporaryScope scope;
    RememberedLibrary library;
    QTemporaryDir files;
    std::unique_ptr<DialogHooks::ScopedHooks> hooks;
    QPointer<SymbolPickerWindowController> picker;
    QStringList chosen;
    QList<QPair<PlmMap, QString>> chosenSVG;
    int closes = 0;
    QStringList errors;
    QList<DialogHooks::Alert> sheets;
    int sheetAnswer = 1;
    QList<DialogHooks::OpenPanelRequest> panels;
    std::optional<QStringList> panelAnswer;
};

TEST_F(SymbolPickerWindowControllerTest, TheWindowsControlsWithAndWithoutLibrarySymbols)
{
    open();
    EXPECT_EQ(picker->windowTitle(), QStringLiteral("Catalogue de symboles"));
    EXPECT_EQ(picker->size(), QSize(620, 560));
    EXPECT_EQ(picker->minimumSize(), QSize(420, 330));
    EXPECT_EQ(child<QLineEdit>(QStringLiteral("Symbols.Search"))->placeholderText(),
              QStringLiteral("Rechercher un symbole ou saisir le nom d’un pictogramme"));
    QComboBox* category = child<QComboBox>(QStringLiteral("Symbols.Category"));
    ASSERT_TRUE(category);
    EXPECT_EQ(category->count(), 12);
    EXPECT_EQ(category->itemText(0), QStringLiteral("Tous"));
    EXPECT_EQ(category->itemText(11), QStringLiteral("SVG bibliothèque"));
    EXPECT_FALSE(child<QPushButton>(QStringLiteral("Symbols.ImportSVG"))->isHidden());
    EXPECT_EQ(child<QPushButton>(QStringLiteral("Symbols.ImportSVG"))->text(), QStringLiteral("Import SVG…"));
    EXPECT_FALSE(child<QPushButton>(QStringLiteral("Symbols.DeleteSVG"))->isHidden());
    delete picker.data();

    open(false);
    EXPECT_EQ(child<QComboBox>(QStringLiteral("Symbols.Category"))->count(), 11);
    EXPECT_TRUE(child<QPushButton>(QStringLiteral("Symbols.ImportSVG"))->isHidden());
    EXPECT_TRUE(child<QPushButton>(QStringLiteral("Symbols.DeleteSVG"))->isHidden());
}

TEST_F(SymbolPickerWindowControllerTest, AFrenchSearchThenReturnChoosesAndClosesOnce)
{
    open();
    picker->show();
    type(QStringLiteral("  voiture "));
    ASSERT_FALSE(picker->entries().isEmpty());
    EXPECT_EQ(names().first(), QStringLiteral("car.fill"));
    EXPECT_EQ(picker->selectedRow(), 0);
    keyClick(child<QLineEdit>(QStringLiteral("Symbols.Search")), Qt::Key_Return);
    EXPECT_EQ(chosen, QStringList{QStringLiteral("car.fill")});
    EXPECT_EQ(closes, 1);
    QApplication::processEvents(); // the closed window deletes itself
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(picker.isNull());
}

TEST_F(SymbolPickerWindowControllerTest, NoMatchShowsTheSentenceSelectsNothingAndReturnDoesNothing)
{
    open();
    picker->show();
    type(QStringLiteral("zzzz introuvable"));
    EXPECT_TRUE(picker->entries().isEmpty());
    QLabel* empty = child<QLabel>(QStringLiteral("Symbols.Empty"));
    EXPECT_FALSE(empty->isHidden());
    EXPECT_EQ(empty->text(), QStringLiteral("Aucun symbole disponible pour cette recherche."));
    EXPECT_EQ(picker->selectedRow(), -1);
    EXPECT_FALSE(child<QPushButton>(QStringLiteral("Symbols.Choose"))->isEnabled());
    keyClick(child<QLineEdit>(QStringLiteral("Symbols.Search")), Qt::Key_Return);
    EXPECT_TRUE(chosen.isEmpty());
    EXPECT_EQ(closes, 0);
    // Escape cancels.
    keyClick(child<QLineEdit>(QStringLiteral("Symbols.Search")), Qt::Key_Escape);
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(chosen.isEmpty());
}

TEST_F(SymbolPickerWindowControllerTest, AFolderImportSkipsHiddenCompressedAndLinkedFilesInPathOrder)
{
    file(QStringLiteral("choix/phare.svg"), drawing);
    file(QStringLiteral("choix/Gare.svg"), drawing);
    file(QStringLiteral("choix/.cache.svg"), drawing);
    file(QStringLiteral("choix/plan.svgz"), drawing);
    file(QStringLiteral("choix/sous/Ecole.SVG"), drawing);
    QFile::link(files.filePath(QStringLiteral("choix/phare.svg")), files.filePath(QStringLiteral("choix/lien.svg")));
    open();
    type(QStringLiteral("maison"));
    const QStringList stored = picker->importSVGFiles({files.filePath(QStringLiteral("choix"))});
    QStringList storedNames;
    for (const QString& path : stored)
        storedNames << QFileInfo(path).completeBaseName();
    // Capitals sort before small letters; the sub-folder's path comes after "phare.svg".
    EXPECT_EQ(storedNames, (QStringList{QStringLiteral("Gare"), QStringLiteral("phare"), QStringLiteral("Ecole")}));
    // The list shows the library's symbols in its own order, the first imported one selected.
    EXPECT_EQ(names(), (QStringList{QStringLiteral("Ecole"), QStringLiteral("Gare"), QStringLiteral("phare")}));
    EXPECT_EQ(child<QComboBox>(QStringLiteral("Symbols.Category"))->currentText(), QStringLiteral("SVG bibliothèque"));
    EXPECT_TRUE(child<QLineEdit>(QStringLiteral("Symbols.Search"))->text().isEmpty());
    EXPECT_EQ(picker->selectedRow(), 1);
    EXPECT_TRUE(child<QPushButton>(QStringLiteral("Symbols.DeleteSVG"))->isEnabled());
}

TEST_F(SymbolPickerWindowControllerTest, TheImportButtonAsksForFilesAndPresentsTheReport)
{
    open();
    picker->show();
    panelAnswer = QStringList{file(QStringLiteral("vide.svg"), R"(<svg xmlns="http://www.w3.org/2000/svg"/>)")};
    child<QPushButton>(QStringLiteral("Symbols.ImportSVG"))->click();
    QApplication::processEvents(); // the panel runs after the click has returned
    ASSERT_EQ(panels.size(), 1);
    EXPECT_EQ(panels.first().title, QStringLiteral("Import SVG"));
    EXPECT_EQ(panels.first().prompt, QStringLiteral("Importer"));
    EXPECT_TRUE(panels.first().allowsMultipleSelection && panels.first().canChooseDirectories);
    EXPECT_EQ(errors, QStringList{QStringLiteral("0 symbole(s) importé(s).\nvide.svg : SVG vide.")});
}

TEST_F(SymbolPickerWindowControllerTest, AFailedFileIsReportedAfterTheOthersAreStored)
{
    const QStringList chosenFiles{file(QStringLiteral("a.svg"), drawing),
                                  file(QStringLiteral("vide.svg"), R"(<svg xmlns="http://www.w3.org/2000/svg"/>)"),
                                  file(QStringLiteral("b.svg"), drawing)};
    open();
    try {
        picker->importSVGFiles(chosenFiles);
        FAIL() << "the import report was not thrown";
    } catch (const PlmWorkError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("2 symbole(s) importé(s).\nvide.svg : SVG vide."));
    }
    EXPECT_EQ(names(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(picker->selectedRow(), 0);
}

TEST_F(SymbolPickerWindowControllerTest, AnUnreadableFolderIsReportedWithWhatWasStoredBeforeIt)
{
    FilePermissionScope permissions;
    ASSERT_TRUE(permissions.holds());
    const QString first = file(QStringLiteral("a.svg"), drawing);
    file(QStringLiteral("fermé/b.svg"), drawing);
    QFile::setPermissions(files.filePath(QStringLiteral("fermé")), QFileDevice::Permissions());
    open();
    try {
        picker->importSVGFiles({first, files.filePath(QStringLiteral("fermé"))});
        FAIL() << "the import report was not thrown";
    } catch (const PlmWorkError& error) {
        EXPECT_EQ(error.message(),
                  QStringLiteral("1 symbole(s) importé(s).\nfermé : Le dossier de destination n’existe pas."));
    }
    QFile::setPermissions(files.filePath(QStringLiteral("fermé")), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                                       | QFileDevice::ExeOwner);
    EXPECT_EQ(names(), QStringList{QStringLiteral("a")});
}

TEST_F(SymbolPickerWindowControllerTest, OneUndecodableSymbolDocumentHidesOnlyItself)
{
    open();
    picker->importSVGFiles({file(QStringLiteral("a.svg"), drawing), file(QStringLiteral("b.svg"), drawing)});
    writeBytes(library.path + QLatin1Char('/') + PlmLibrarySymbols::folderName + QStringLiteral("/abimé.plmmap"),
               "{ pas une carte");
    picker->reloadSVGItems();
    picker->refilter();
    EXPECT_EQ(names(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

TEST_F(SymbolPickerWindowControllerTest, ChoosingALibrarySymbolHandsItsMapAndName)
{
    open();
    picker->importSVGFiles({file(QStringLiteral("phare.svg"), drawing)});
    picker->acceptSelection();
    ASSERT_EQ(chosenSVG.size(), 1);
    EXPECT_EQ(chosenSVG.first().second, QStringLiteral("phare"));
    EXPECT_EQ(chosenSVG.first().first.metadata.value(PlmLibrarySymbols::markerKey), PlmLibrarySymbols::markerValue);
    EXPECT_TRUE(chosen.isEmpty());
    EXPECT_EQ(closes, 1);
}

TEST_F(SymbolPickerWindowControllerTest, ReturnCancelsTheDeleteQuestionAndSupprimerDeletes)
{
    open();
    picker->importSVGFiles({file(QStringLiteral("phare.svg"), drawing)});
    picker->show();
    {
        // The real question: Return answers « Annuler ».
        DialogHooks::Hooks real;
        real.sheet = DialogHooks::defaultHooks().sheet;
        DialogHooks::ScopedHooks scoped(real);
        picker->confirmDeleteSelectedSVG();
        QPointer<QMessageBox> box = picker->findChild<QMessageBox*>();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text(), QStringLiteral("Supprimer « phare » de la bibliothèque ?"));
        keyClick(box, Qt::Key_Return);
        // The answered question closes and deletes itself; the real hooks stay until it is gone.
        ASSERT_TRUE(waitUntil([&] { return box.isNull(); }));
    }
    EXPECT_EQ(names(), QStringList{QStringLiteral("phare")});

    sheetAnswer = 0; // « Supprimer »
    picker->confirmDeleteSelectedSVG();
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(sheets.first().buttons, (QStringList{QStringLiteral("Supprimer"), QStringLiteral("Annuler")}));
    EXPECT_TRUE(names().isEmpty());
    EXPECT_TRUE(QDir(library.path + QLatin1Char('/') + PlmLibrarySymbols::folderName)
                    .entryList({QStringLiteral("*.plmmap")}, QDir::Files)
                    .isEmpty());
    EXPECT_EQ(library.trash.entries().size(), 1); // trashed, not erased
}

TEST_F(SymbolPickerWindowControllerTest, WithoutALibraryTheNamedSymbolsStayAndNothingIsAsked)
{
    UserDefaults::remove(LibraryCoordinator::bookmarkKey);
    open();
    EXPECT_FALSE(picker->entries().isEmpty());
    EXPECT_FALSE(picker->entries().first().isSVG());
    EXPECT_TRUE(sheets.isEmpty());
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SymbolPickerWindowControllerTest, PreviewsAreDrawnInTheRows)
{
    open();
    picker->importSVGFiles({file(QStringLiteral("phare.svg"), drawing)});
    child<QComboBox>(QStringLiteral("Symbols.Category"))->setCurrentIndex(0);
    type(QStringLiteral("maison"));
    picker->show();
    QApplication::processEvents();
    const QImage shot = picker->grab().toImage();
    const QString out = qEnvironmentVariable("PELMORA_SCREENSHOT_DIR");
    if (!out.isEmpty())
        shot.save(out + QStringLiteral("/symbol-picker.png"));
    // Each row's glyph covers much of the middle of its preview cell, in a colour far from the
    // row's background (the first row, house.fill, is selected; the second, the library
    // symbol, is not).
    QTableView* table = child<QTableView>(QStringLiteral("Symbols.Table"));
    ASSERT_EQ(names(), (QStringList{QStringLiteral("house.fill")}));
    child<QComboBox>(QStringLiteral("Symbols.Category"))->setCurrentIndex(0);
    type(QStringLiteral("e"));
    QApplication::processEvents();
    const QImage rows = picker->grab().toImage();
    if (!out.isEmpty())
        rows.save(out + QStringLiteral("/symbol-picker-rows.png"));
    for (int row = 0; row < 2; ++row) {
        const QRect cell = table->visualRect(table->model()->index(row, 0));
        const QPoint corner = table->viewport()->mapTo(picker, cell.topLeft() + QPoint(2, 2));
        const QPoint centre = table->viewport()->mapTo(picker, cell.center());
        const QColor background = rows.pixelColor(corner);
        int inked = 0;
        for (int dx = -8; dx <= 8; ++dx)
            for (int dy = -8; dy <= 8; ++dy) {
                const QColor c = rows.pixelColor(centre + QPoint(dx, dy));
                inked += std::abs(c.red() - background.red()) + std::abs(c.green() - background.green())
                        + std::abs(c.blue() - background.blue()) > 150 ? 1 : 0;
            }
        EXPECT_GT(inked, 60) << "row " << row;
    }
}

} // namespace
