#include "export/CarteBitmapExport.h"
#include "export/CarteExportForm.h"
#include "export/CarteExportPanel.h"
#include "export/ThematicCanvasExport.h"
#include "model/PlmErrors.h"
#include "desktop/DialogHooks.h"
#include "support/CompositionTestSupport.h"
#include "support/TestFiles.h"
#include "support/WidgetInput.h"
#include "support/WidgetKeys.h"
#include "support/WindowActivation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPdfDocument>
#include <QPdfView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUndoStack>

#include <gtest/gtest.h>

namespace {

using namespace CompositionTestSupport;

// A work kept as a value with its undo stack, as the work document keeps it.
class WorkStore {
public:
    PlmWork work;
    QUndoStack stack;
    std::function<void()> changed;

    class Step : public QUndoCommand {
    public:
        Step(WorkStore& store, PlmWork before, PlmWork after, const QString& name)
            : QUndoCommand(name)
            , m_store(store)
            , m_before(std::move(before))
            , m_after(std::move(after))
        {
        }
        void undo() override { m_store.set(m_before); }
        void redo() override { m_store.set(m_after); }

    private:
        WorkStore& m_store;
        PlmWork m_before, m_after;
    };

    void set(const PlmWork& w)
    {
        work = w;
        if (changed)
            changed();
    }

    CarteExportPanel::WorkAccess access()
    {
        return {[this] { return std::optional<PlmWork>(work); },
                [this](const QString& name, const std::function<void(PlmWork&)>& change) {
                    PlmWork next = work;
                    change(next);
                    if (next.decoration && next.decoration->printPage)
                        next.decoration->printPage->validate();
                    stack.push(new Step(*this, work, next, name));
                },
                &stack};
    }
};

struct Fixture {
    PlmMap map = [] {
        PlmMap m = gridMap(4);
        m.name = QStringLiteral("France");
        return m;
    }();
    Hosted h = hosted(map, {600, 420}, {624, 444});
    WorkStore store;
    std::unique_ptr<CarteExportPanel> panel;
    int closes = 0;

    Fixture()
    {
        store.work.map = map;
        panel = std::make_unique<CarteExportPanel>(std::make_unique<ThematicCanvasExport>(*h.canvas), store.access());
        panel->onClose = [this] { ++closes; };
        // As the Carte pane does: the canvas shows the stored print page, then the panel refreshes.
        store.changed = [this] {
            h.canvas->printPage = store.work.decoration ? store.work.decoration->printPage : std::nullopt;
            h.canvas->setNeedsLayout();
            if (panel)
                panel->refreshFromDocument();
        };
        panel->present(h.widget.get());
    }

    QStringList fields() const
    {
        return {panel->widthField()->text(), panel->heightField()->text(), panel->marginField()->text(),
                panel->xField()->text(), panel->yField()->text(), panel->paperPopup()->currentText(),
                panel->orientationPopup()->currentText()};
    }
    QString statusLastLine() const { return panel->statusLabel()->text().split(QLatin1Char('\n')).last(); }
};

TEST(CarteExportPanel, OpeningGivesAWorkWithoutPageTheA4LandscapePageAsOneStep)
{
    Fixture f;
    EXPECT_EQ(f.panel->window()->windowTitle(), QStringLiteral("Préparer l’export — France"));
    ASSERT_EQ(f.store.stack.count(), 1);
    EXPECT_EQ(f.store.stack.text(0), QStringLiteral("Définir la page d’impression"));
    PlmPrintPage expected;  // origin (0, 0), 297 × 210 mm, margin 10, landscape, visible
    EXPECT_EQ(f.store.work.decoration->printPage, expected);
    EXPECT_EQ(f.fields(), (QStringList{"297,0", "210,0", "10,0", "0,0", "0,0", "A4", "Paysage"}));
    EXPECT_EQ(f.panel->statusLabel()->text(), CarteExportPanel::pageStatus());
    f.panel->renderPreviewNow();
    EXPECT_EQ(f.panel->pdfPreview()->document()->status(), QPdfDocument::Status::Ready);
    EXPECT_TRUE(f.panel->exportButton()->isEnabled());

    // Undo takes the page away again: the open window says so.
    f.store.stack.undo();
    EXPECT_FALSE(f.store.work.decoration && f.store.work.decoration->printPage);
    EXPECT_EQ(f.panel->statusLabel()->text(), QStringLiteral("Aucune page définie."));
    EXPECT_FALSE(f.panel->exportButton()->isEnabled());
}

TEST(CarteExportPanel, FormatsPaperAndOrientationDriveTheFormAndOnlyRealChangesAreStored)
{
    Fixture f;
    choose(f.panel->formatPopup(), QStringLiteral("PNG"));
    choose(f.panel->orientationPopup(), QStringLiteral("Portrait"));
    EXPECT_EQ(f.statusLastLine(), QStringLiteral("2480 × 3508 pixels"));
    EXPECT_TRUE(f.panel->dpiField()->isEnabled());
    EXPECT_FALSE(f.panel->transparencyBox()->isHidden());
    choose(f.panel->formatPopup(), QStringLiteral("JPEG"));
    EXPECT_TRUE(f.panel->transparencyBox()->isHidden());
    EXPECT_TRUE(f.panel->dpiField()->isEnabled());
    f.panel->renderPreviewNow();
    EXPECT_FALSE(f.panel->imagePreview()->pixmap().isNull());
    for (const QString& vector : {QStringLiteral("PDF"), QStringLiteral("SVG")}) {
        choose(f.panel->formatPopup(), vector);
        EXPECT_FALSE(f.panel->dpiField()->isEnabled());
    }

    choose(f.panel->paperPopup(), QStringLiteral("A3"));
    EXPECT_EQ(f.fields().mid(0, 2), (QStringList{"297,0", "420,0"}));
    choose(f.panel->orientationPopup(), QStringLiteral("Paysage"));
    EXPECT_EQ(f.fields().mid(0, 2), (QStringList{"420,0", "297,0"}));
    EXPECT_EQ(f.store.work.decoration->printPage->width, 420);

    // An unchanged page records nothing; a margin typed with a comma is read.
    const int steps = f.store.stack.count();
    type(f.panel->xField(), QStringLiteral("0"));
    EXPECT_EQ(f.store.stack.count(), steps);
    type(f.panel->marginField(), QStringLiteral("12,5"));
    EXPECT_EQ(f.store.work.decoration->printPage->margin, 12.5);
    EXPECT_EQ(f.store.stack.text(f.store.stack.count() - 1), QStringLiteral("Page d’impression"));

    // A square page keeps the orientation chosen for it.
    type(f.panel->widthField(), QStringLiteral("200"));
    type(f.panel->heightField(), QStringLiteral("200"));
    choose(f.panel->orientationPopup(), QStringLiteral("Portrait"));
    EXPECT_FALSE(f.store.work.decoration->printPage->landscape);
    EXPECT_EQ(f.panel->orientationPopup()->currentText(), QStringLiteral("Portrait"));
}

TEST(CarteExportPanel, RefusedValuesShowInTheStatusAndDisableExport)
{
    Fixture f;
    const int steps = f.store.stack.count();
    type(f.panel->marginField(), QStringLiteral("abc"));
    EXPECT_EQ(f.panel->statusLabel()->text(), QStringLiteral("Valeur numérique incorrecte."));
    EXPECT_FALSE(f.panel->exportButton()->isEnabled());
    type(f.panel->marginField(), QStringLiteral("105"));
    EXPECT_EQ(f.panel->statusLabel()->text(), QStringLiteral("Page ou marges d’impression incorrectes."));
    type(f.panel->marginField(), QStringLiteral("10"));
    type(f.panel->xField(), QStringLiteral("100000001"));
    EXPECT_EQ(f.panel->statusLabel()->text(), QStringLiteral("Page ou marges d’impression incorrectes."));
    EXPECT_EQ(f.store.stack.count(), steps);
    type(f.panel->xField(), QStringLiteral("0"));
    EXPECT_TRUE(f.panel->exportButton()->isEnabled());
}

// The status line and « Exporter » follow the page fields: a refused text keeps its refusal
// until the field shows a stored value again. Closing the window takes what a field holds, or
// keeps the window open on a refusal.
TEST(CarteExportPanel, TheRefusalFollowsTheFieldsAndClosingTakesThem)
{
    const auto leave = [](Fixture&) {
        keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCoreApplication::processEvents();
    };
    const auto closeWindow = [](Fixture& f) { f.panel->window()->close(); QCoreApplication::processEvents(); };
    struct Row {
        const char* name;
        const char* typed;
        std::function<void(Fixture&)> then;
        bool open;
        double margin;
        QString status; // the status line's first line
    };
    const QString refused = QStringLiteral("Valeur numérique incorrecte.");
    const QList<Row> rows{
        {"refused as it is left, left again unchanged: the stored value, its status and « Exporter » back", "abc",
         [&](Fixture& f) { leave(f); leave(f); }, true, 10, CarteExportPanel::pageStatus()},
        {"typed, the window closed by its button: stored", "12", closeWindow, false, 12, {}},
        {"refused, the window closed: it stays open with its refusal", "abc", closeWindow, true, 10, refused},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fixture f;
        QLineEdit* margin = f.panel->marginField();
        WindowActivation::activate(margin);
        margin->setFocus(Qt::MouseFocusReason);
        margin->selectAll();
        typeKeys(margin, QString::fromUtf8(row.typed));
        row.then(f);
        EXPECT_EQ(f.closes == 0, row.open);
        EXPECT_EQ(f.store.work.decoration->printPage->margin, row.margin);
        if (row.open) {
            EXPECT_EQ(f.panel->statusLabel()->text().split(QLatin1Char('\n')).first(), row.status);
            EXPECT_EQ(f.panel->exportButton()->isEnabled(), row.status != refused);
        }
    }
}

// Records the save dialog and answers it with a path in a temporary folder.
struct SaveRecorder {
    QTemporaryDir dir;
    QList<DialogHooks::SavePanelRequest> requests;
    QStringList errors;
    QList<DialogHooks::Alert> sheets;
    QList<DialogHooks::Alert> alerts; // answered « Annuler », then the panel shown again is cancelled
    bool cancel = false;
    bool proposalAsIs = false; // Return on the name proposed, which has no extension
    DialogHooks::ScopedHooks hooks{[this] {
        DialogHooks::Hooks h;
        h.savePanel = [this](const DialogHooks::SavePanelRequest& r) -> std::optional<DialogHooks::SavePanelResult> {
            requests << r;
            if (cancel)
                return std::nullopt;
            return DialogHooks::SavePanelResult{
                dir.filePath(r.suggestedName + (proposalAsIs ? QString() : "." + r.types.first().extensions.first())),
                r.types.first().identifier};
        };
        h.alert = [this](const DialogHooks::Alert& a) {
            alerts << a;
            cancel = true;
            return 1;
        };
        h.presentError = [this](const QString& message, QWidget*) { errors << message; };
        h.sheet = [this](const DialogHooks::Alert& a, std::function<void(int)> done) {
            sheets << a;
            done(0);
        };
        return h;
    }()};
};

TEST(CarteExportPanel, TheStatusSaysWhenAnElementLiesOutsideTheExportedArea)
{
    Fixture f;
    EXPECT_EQ(f.panel->statusLabel()->text(), CarteExportPanel::pageStatus());
    // The page starts 500 points in: the map's left part is cut; the legend, placed
    // automatically, follows the page.
    type(f.panel->xField(), QStringLiteral("500"));
    EXPECT_EQ(f.statusLastLine(), QStringLiteral("Hors de la zone exportée : Carte."));
    // Back on the map, nothing is cut: no line.
    type(f.panel->xField(), QStringLiteral("0"));
    EXPECT_EQ(f.panel->statusLabel()->text(), CarteExportPanel::pageStatus());
}

TEST(CarteExportPanel, ExportProposesTheMapNameWritesTheFileAndClosesSilently)
{
    Fixture f;
    SaveRecorder save;
    choose(f.panel->formatPopup(), QStringLiteral("PNG"));
    type(f.panel->dpiField(), QStringLiteral("72"));
    f.panel->exportButton()->click();
    ASSERT_EQ(save.requests.size(), 1);
    const DialogHooks::SavePanelRequest& r = save.requests.first();
    EXPECT_EQ(r.title, QStringLiteral("Enregistrer l’export"));
    EXPECT_EQ(r.prompt, QStringLiteral("Enregistrer"));
    EXPECT_EQ(r.suggestedName + "." + r.types.first().extensions.first(), QStringLiteral("France.png"));
    const QImage written(save.dir.filePath(QStringLiteral("France.png")));
    EXPECT_EQ(written.size(), QSize(842, 595));
    EXPECT_TRUE(save.sheets.isEmpty());
    EXPECT_TRUE(save.errors.isEmpty());
    EXPECT_FALSE(f.panel->window()->isVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(f.closes, 1);

    // A JPEG proposes "jpg" and only that type.
    f.panel->present(f.h.widget.get());
    choose(f.panel->formatPopup(), QStringLiteral("JPEG"));
    save.cancel = true;
    f.panel->exportButton()->click();
    EXPECT_EQ(save.requests.last().suggestedName + "." + save.requests.last().types.first().extensions.first(),
              QStringLiteral("France.jpg"));
    EXPECT_EQ(save.requests.last().types.size(), 1);
    EXPECT_TRUE(f.panel->window()->isVisible());  // cancelled: nothing written, window open
    EXPECT_FALSE(QFile::exists(save.dir.filePath(QStringLiteral("France.jpg"))));

    // SVG goes through the SVG writer.
    save.cancel = false;
    choose(f.panel->formatPopup(), QStringLiteral("SVG"));
    f.panel->exportButton()->click();
    QFile svg(save.dir.filePath(QStringLiteral("France.svg")));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("<svg"));
    EXPECT_TRUE(save.errors.isEmpty());

    // Exporting again on the name proposed asks before replacing last time's file.
    svg.close();
    writeBytes(svg.fileName(), "dernier export");
    save.proposalAsIs = true;
    f.panel->present(f.h.widget.get());
    choose(f.panel->formatPopup(), QStringLiteral("SVG"));
    f.panel->exportButton()->click();
    ASSERT_EQ(save.alerts.size(), 1);
    EXPECT_EQ(save.alerts.first().message, QStringLiteral("« France.svg » existe déjà. Voulez-vous le remplacer ?"));
    EXPECT_EQ(fileBytes(svg.fileName()), QByteArray("dernier export"));
    EXPECT_TRUE(f.panel->window()->isVisible());
}

TEST(CarteExportPanel, ReturnInAFieldExportsWithTheValueBeingTyped)
{
    Fixture f;
    SaveRecorder save;
    choose(f.panel->formatPopup(), QStringLiteral("PNG"));
    type(f.panel->dpiField(), QStringLiteral("72"));
    QApplication::setActiveWindow(f.panel->window());
    QLineEdit* margin = f.panel->marginField();
    margin->setFocus();
    margin->setText(QStringLiteral("25"));
    keyClick(margin, Qt::Key_Return);
    ASSERT_EQ(save.requests.size(), 1);
    EXPECT_EQ(f.store.work.decoration->printPage->margin, 25);
    EXPECT_TRUE(QFile::exists(save.dir.filePath(QStringLiteral("France.png"))));
}

// After an undo the panel shows the page the work holds again, every field but the one the
// person is typing in.
TEST(CarteExportPanel, AnUndoShowsThePageTheWorkHoldsAgain)
{
    Fixture f;
    QApplication::setActiveWindow(f.panel->window());
    QLineEdit* margin = f.panel->marginField();
    margin->setFocus();
    margin->selectAll();
    typeKeys(margin, QStringLiteral("25"));
    keyClick(margin, Qt::Key_Tab);
    ASSERT_EQ(f.store.work.decoration->printPage->margin, 25);
    QLineEdit* x = f.panel->xField();
    x->setFocus();
    x->selectAll();
    typeKeys(x, QStringLiteral("5"));
    f.store.stack.undo();
    EXPECT_EQ(f.store.work.decoration->printPage->margin, 10);
    EXPECT_EQ(margin->text(), CarteExportForm::formatNumber(10));
    EXPECT_EQ(x->text(), QStringLiteral("5")) << "what is being typed stays";
}

TEST(CarteExportPanel, AZeroResolutionFailsBeforeTheDialogAndNotesComeInAnAlert)
{
    Fixture f;
    SaveRecorder save;
    choose(f.panel->formatPopup(), QStringLiteral("PNG"));
    f.panel->dpiField()->setText(QStringLiteral("0"));
    f.panel->exportButton()->click();
    EXPECT_EQ(save.errors, QStringList{QStringLiteral("Saisissez une résolution positive en dpi.")});
    EXPECT_TRUE(save.requests.isEmpty());

    PlmProportionalSettings s;
    s.kind = PlmSymbolKind::sfSymbol;
    s.sfSymbolName = QStringLiteral("figure.walk");
    f.h.canvas->symbols()->setShape(std::make_shared<ProportionalShape>(s, false));
    f.h.canvas->symbols()->setHidden(false);
    f.panel->dpiField()->setText(QStringLiteral("30"));
    f.panel->exportButton()->click();
    ASSERT_EQ(save.sheets.size(), 1);
    EXPECT_EQ(save.sheets.first().message, QStringLiteral("Carte exportée"));
    EXPECT_EQ(save.sheets.first().informativeText, CarteBitmapExport::unavailableSymbolNote());
    EXPECT_EQ(save.sheets.first().window, f.h.widget.get());
}

TEST(CarteExportForm, NumbersAndFileNames)
{
    using namespace CarteExportForm;
    EXPECT_EQ(parseNumber(QStringLiteral("12,5")), 12.5);
    EXPECT_EQ(parseNumber(QStringLiteral("-3.25")), -3.25);
    for (const char* bad : {"abc", "", " 12", "12 ", "inf", "nan", "1,2,3", "1e999"})
        EXPECT_FALSE(parseNumber(QString::fromLatin1(bad))) << bad;
    EXPECT_EQ(formatNumber(210), QStringLiteral("210,0"));
    EXPECT_EQ(formatNumber(12.5), QStringLiteral("12,5"));
    EXPECT_EQ(formatNumber(-0.1), QStringLiteral("-0,1"));
    struct Case {
        const char* name;
        QString map;
        QString expected;
    } cases[] = {
        {"plain", QStringLiteral("France"), QStringLiteral("France.png")},
        {"a path", QStringLiteral("../cartes/France"), QStringLiteral("-cartes-France.png")},
        {"empty", QString(), QStringLiteral("Carte.png")},
        {"hidden", QStringLiteral(".carte"), QStringLiteral("carte.png")},
        {"control characters", QStringLiteral("a\nb\tc"), QStringLiteral("a-b-c.png")},
        {"only dots and spaces", QStringLiteral(" . "), QStringLiteral("Carte.png")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(proposedFileName(c.map, QStringLiteral("png")), c.expected) << c.name;
}

} // namespace
