#include "page/DecorationSymbolChooser.h"
#include "inspector/InspectorSection.h"
#include "support/DecorationTestPage.h"
#include "support/PresentationTestSupport.h"
#include "support/WidgetInput.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>

#include "desktop/DialogHooks.h"
#include <gtest/gtest.h>

using namespace DecorationTestSupport;

namespace {

QLineEdit* field(const DecorationTestPage& t, const QString& label)
{
    return qobject_cast<QLineEdit*>(t.controller->control(label));
}

void type(const DecorationTestPage& t, const QString& label, const QString& text)
{
    QLineEdit* f = field(t, label);
    ASSERT_TRUE(f) << label.toStdString();
    ::type(f, text);
}

void press(const DecorationTestPage& t, const QString& label)
{
    auto* button = qobject_cast<QAbstractButton*>(t.controller->control(label));
    ASSERT_TRUE(button) << label.toStdString();
    button->click();
}

PlmDecorationObject fractional(const QString& id, PlmDecorationKind kind, double x, double y)
{
    PlmDecorationObject object = PlmDecorationObject::make(id, kind);
    object.position = {x, y};
    return object;
}

} // namespace

TEST(DecorationClipboard, PastedCopiesAreOffsetSelectedAndOnTop)
{
    struct Row {
        const char* name;
        PlmDecorationObject object;
        PlmPoint expected;
    };
    const Row rows[] = {
        {"fractions", fractional("f", PlmDecorationKind::title, 0.5, 0.5), {0.52, 0.48}},
        {"fractions at the edges", fractional("f", PlmDecorationKind::title, 0.99, 0.01), {1.0, 0.0}},
        {"points", placed("p", PlmDecorationKind::title, 100, 200, 180, 52), {120, 180}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PlmDecorationObject hidden = row.object;
        hidden.presentation.hidden = true;
        DecorationTestPage t(workWith({hidden}));
        t.controller->select(row.object.id, false);
        t.controller->performClipboardCommand(QStringLiteral("copy"));
        t.controller->performClipboardCommand(QStringLiteral("paste"));
        ASSERT_EQ(t.decoration().objects.size(), 2);
        PlmDecorationObject copy = t.object(1);
        EXPECT_NE(copy.id, row.object.id);
        EXPECT_EQ(copy.position.x, row.expected.x);
        EXPECT_EQ(copy.position.y, row.expected.y);
        EXPECT_EQ(copy.presentation.hidden, std::nullopt);  // a copy of a hidden element shows
        EXPECT_EQ(t.controller->selected, std::optional<QString>(copy.id));
        EXPECT_EQ(t.controller->selectedIDs, QSet<QString>{copy.id});
        EXPECT_EQ(t.document.undoName(), QStringLiteral("Coller / dupliquer"));
        copy.id = row.object.id;
        copy.position = row.object.position;
        EXPECT_EQ(copy, row.object);  // everything else is the object's
    }
}

TEST(DecorationClipboard, ForeignOrBrokenClipboardPastesNothing)
{
    DecorationTestPage t(workWith({}));
    auto* mime = new QMimeData;
    mime->setData(DecorationController::clipboardType(), "[{\"kind\": 3}]");
    QGuiApplication::clipboard()->setMimeData(mime);
    t.controller->performClipboardCommand(QStringLiteral("paste"));
    QGuiApplication::clipboard()->setText(QStringLiteral("texte"));
    t.controller->performClipboardCommand(QStringLiteral("paste"));
    EXPECT_TRUE(t.document.undo.isEmpty());
    EXPECT_TRUE(t.document.errors.isEmpty());
}

TEST(DecorationClipboard, ALegendBecomesAVisibleLegendObject)
{
    PlmWork work = workWith({});
    work.decoration = PlmDecoration();
    work.decoration->legend.hidden = true;  // "deleted" earlier
    DecorationTestPage t(work);
    t.h.canvas->legend()->setFrame(QRectF(10, 10, 3000, 2000));  // wider than an object may be
    t.controller->select(QStringLiteral("legend"), false);
    t.controller->performClipboardCommand(QStringLiteral("duplicate"));
    EXPECT_TRUE(t.document.errors.isEmpty());
    ASSERT_EQ(t.decoration().objects.size(), 1);
    const PlmDecorationObject& object = t.object(0);
    EXPECT_EQ(object.kind, PlmDecorationKind::legend);
    EXPECT_EQ(object.legendSeries, std::optional<int>(0));
    EXPECT_EQ(object.presentation.hidden, std::nullopt);
    EXPECT_EQ(object.width, 2400);
    EXPECT_EQ(object.height, 1600);
}

TEST(DecorationClipboard, DeleteHidesLegendsAndRemovesObjectsInOneStep)
{
    PlmWork work = workWith({placed("a", PlmDecorationKind::text, 10, 10, 100, 40),
                             placed("b", PlmDecorationKind::line, 200, 10, 100, 40),
                             placed("c", PlmDecorationKind::arrow, 300, 10, 100, 40)});
    DecorationTestPage t(work);
    for (const char* id : {"a", "c", "legend", "secondLegend"})
        t.controller->select(QString::fromLatin1(id), true);
    t.controller->deleteSelection();
    EXPECT_EQ(t.document.undoNames(), QStringList({"Supprimer l’habillage"}));
    ASSERT_EQ(t.decoration().objects.size(), 1);
    EXPECT_EQ(t.object(0).id, QStringLiteral("b"));
    EXPECT_EQ(t.decoration().legend.hidden, std::optional<bool>(true));
    EXPECT_EQ(t.decoration().secondLegend.hidden, std::optional<bool>(true));
    EXPECT_TRUE(t.controller->selectedIDs.isEmpty());
    t.document.undoLast();
    EXPECT_EQ(t.document.work, work);
}

TEST(DecorationAdding, KindsAtTheirDefaults)
{
    PlmWork work = workWith({});
    work.map.metadata.insert(QStringLiteral("attribution"), QStringLiteral("IGN 2024"));
    DecorationTestPage t(work);
    t.controller->addObject(PlmDecorationKind::rectangle);
    EXPECT_EQ(t.document.undoName(), QStringLiteral("Ajouter Rectangle"));
    EXPECT_EQ(t.object(0).position, (PlmPoint{0.5, 0.5}));
    EXPECT_EQ(t.object(0).width, 180);
    EXPECT_EQ(t.object(0).height, 100);
    EXPECT_EQ(t.controller->selected, std::optional<QString>(t.object(0).id));
    EXPECT_FALSE(t.controller->editor());
    t.controller->addObject(PlmDecorationKind::source);
    EXPECT_EQ(t.object(1).text, QStringLiteral("IGN 2024"));
    ASSERT_TRUE(t.controller->editor());  // a text opens for typing
    t.controller->commitTextEdit();
    // No geographic base map: neither a scale bar nor a north arrow.
    t.controller->addObject(PlmDecorationKind::scale);
    t.controller->addObject(PlmDecorationKind::north);
    EXPECT_EQ(t.document.alerts, QStringList({DecorationController::scaleAlert(), DecorationController::northAlert()}));
    EXPECT_EQ(t.decoration().objects.size(), 2);
    EXPECT_EQ(t.document.undoNames(), QStringList({"Ajouter Rectangle", "Ajouter Source"}));
}

TEST(DecorationAdding, ImagesKeepTheirRatioAndTheSizeLimit)
{
    QTemporaryDir dir;
    const auto png = [&](const QString& name, int w, int h, qint64 padTo = 0) {
        const QString path = dir.filePath(name);
        QImage image(w, h, QImage::Format_ARGB32);
        image.fill(Qt::red);
        EXPECT_TRUE(image.save(path, "PNG"));
        if (padTo > 0) {
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::Append));
            file.write(QByteArray(padTo - file.size(), '\0'));
        }
        return path;
    };
    struct Row {
        const char* name;
        int w, h;
        double height;
    };
    for (const Row& row : {Row{"400 × 100", 400, 100, 45}, Row{"10 × 1000", 10, 1000, 1600},
                           Row{"1000 × 10", 1000, 10, 30}}) {
        SCOPED_TRACE(row.name);
        const PlmDecorationObject object =
            DecorationController::imageObject(png(QStringLiteral("i.png"), row.w, row.h), QStringLiteral("x"));
        EXPECT_EQ(object.width, 180);
        EXPECT_EQ(object.height, row.height);
        EXPECT_TRUE(object.presentation.effectiveEditingStyle().lockRatio);
        EXPECT_EQ(object.bitmapType, std::optional<QString>("png"));
    }
    const QString limit = png(QStringLiteral("limit.png"), 4, 2, 33'554'432);
    EXPECT_EQ(DecorationController::imageObject(limit, QStringLiteral("x")).bitmap->size(), 33'554'432);
    DecorationTestPage t(workWith({}));
    t.controller->importImage(png(QStringLiteral("over.png"), 4, 2, 33'554'433), PlmDecorationKind::image);
    t.controller->importImage(dir.filePath(QStringLiteral("missing.png")), PlmDecorationKind::image);
    QFile text(dir.filePath(QStringLiteral("texte.png")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("pas une image");
    text.close();
    t.controller->importImage(text.fileName(), PlmDecorationKind::image);
    ASSERT_EQ(t.document.errors.size(), 3);
    EXPECT_EQ(t.document.errors.at(0), QStringLiteral("Image illisible ou trop volumineuse (32 Mo maximum)."));
    EXPECT_EQ(t.document.errors.at(2), QStringLiteral("Image illisible ou trop volumineuse (32 Mo maximum)."));
    EXPECT_TRUE(t.document.undo.isEmpty());
    t.controller->importImage(limit, PlmDecorationKind::image);
    EXPECT_EQ(t.document.undoName(), QStringLiteral("Ajouter Image / logo…"));
}

TEST(DecorationInspector, RowsStoreTheirValues)
{
    DecorationTestPage t(workWith({placed("a", PlmDecorationKind::text, 10, 10, 100, 50),
                                   placed("b", PlmDecorationKind::title, 10, 100, 100, 50),
                                   placed("c", PlmDecorationKind::source, 10, 200, 100, 50)}));
    t.controller->select(QStringLiteral("a"), false);
    type(t, QStringLiteral("Opacité (0–1)"), QStringLiteral("50"));
    EXPECT_EQ(t.object(0).presentation.effectiveEditingStyle().opacity, 0.5);
    EXPECT_EQ(field(t, QStringLiteral("Opacité (0–1)"))->text(), QStringLiteral("50"));  // whole percentages
    EXPECT_EQ(t.document.undoName(), QStringLiteral("Opacité (0–1)"));
    type(t, QStringLiteral("Opacité (0–1)"), QStringLiteral("lettres"));
    EXPECT_EQ(t.beeps, 1);
    // The range only bounds the slider: the model refuses the size.
    type(t, QStringLiteral("Taille (pt)"), QStringLiteral("250"));
    EXPECT_EQ(t.document.errors, QStringList({"Présentation de texte incorrecte."}));
    EXPECT_EQ(t.object(0).presentation.fontSize, 12);
    // Several selected texts take one size in one step.
    t.controller->select(QStringLiteral("b"), true);
    t.controller->select(QStringLiteral("c"), true);
    const qsizetype steps = t.document.undo.size();
    type(t, QStringLiteral("Taille (pt)"), QStringLiteral("18,5"));
    EXPECT_EQ(t.document.undo.size(), steps + 1);
    EXPECT_EQ(t.document.undoName(), QStringLiteral("Taille de texte"));
    for (qsizetype i = 0; i < 3; ++i)
        EXPECT_EQ(t.object(i).presentation.fontSize, 18.5);
    // "G" on a bold text: weight 3, bold off, the segment still on "G".
    t.controller->select(QStringLiteral("b"), false);
    t.controller->setBold(true);
    t.controller->setStyleInt(&PlmEditingStyle::fontWeight, 3, QStringLiteral("Graisse"));
    EXPECT_EQ(t.object(1).presentation.effectiveEditingStyle().fontWeight, 3);
    // Columns: whole numbers from 1 to 6.
    t.controller->setColumns(2.5);
    EXPECT_EQ(t.beeps, 2);
    t.controller->setColumns(4);
    EXPECT_EQ(t.object(1).presentation.effectiveEditingStyle().columns, 4);
}

TEST(DecorationArrangement, AlignmentSizesAndOrder)
{
    PlmWork work = workWith({placed("a", PlmDecorationKind::rectangle, 10, 20, 100, 50),
                             placed("b", PlmDecorationKind::ellipse, 10, 100, 100, 50)});
    changeEditingStyle(work.decoration->objects[1].presentation, [](PlmEditingStyle& s) { s.lockPosition = true; });
    DecorationTestPage t(work);
    t.controller->select(QStringLiteral("a"), false);
    t.controller->select(QStringLiteral("b"), true);
    press(t, QStringLiteral("Droite"));
    EXPECT_EQ(t.object(0).position, (PlmPoint{500, 20}));
    EXPECT_EQ(t.object(1).position, (PlmPoint{10, 100}));
    press(t, QStringLiteral("Centrer sur la carte"));
    EXPECT_EQ(t.object(0).position, (PlmPoint{250, 175}));
    t.controller->select(QStringLiteral("a"), false);
    press(t, QStringLiteral("Proportions fixes"));
    type(t, QStringLiteral("Largeur (pt)"), QStringLiteral("200"));
    EXPECT_EQ(t.object(0).width, 200);
    EXPECT_EQ(t.object(0).height, 100);
    EXPECT_EQ(t.document.undoName(), QStringLiteral("Position / taille"));
    press(t, QStringLiteral("Arrière-plan"));  // already at the back: nothing stored
    press(t, QStringLiteral("Premier plan"));
    EXPECT_EQ(t.object(0).id, QStringLiteral("b"));
    EXPECT_EQ(t.document.undoName(), QStringLiteral("Ordre des objets"));
    // The legend brought to the front becomes an element; the built-in one hides.
    t.controller->select(QStringLiteral("legend"), false);
    press(t, QStringLiteral("Premier plan"));
    ASSERT_EQ(t.decoration().objects.size(), 3);
    EXPECT_EQ(t.object(2).kind, PlmDecorationKind::legend);
    EXPECT_EQ(t.decoration().legend.hidden, std::optional<bool>(true));
    EXPECT_EQ(t.controller->selected, std::optional<QString>(t.object(2).id));
    EXPECT_EQ(t.document.undoNames(), QStringList({"Aligner", "Aligner", "Proportions fixes", "Position / taille",
                                                   "Ordre des objets", "Ordre des objets"}));
    // Every step undone gives back the exact work.
    while (!t.document.undo.isEmpty())
        t.document.undoLast();
    EXPECT_EQ(t.document.work, work);
}

TEST(DecorationObjectViewHit, UnfilledShapesAreGrabbedNearTheirOutline)
{
    struct Row {
        const char* name;
        PlmDecorationKind kind;
        QPointF point;
        bool filled, selected, hit;
    };
    // A 200 × 100 box with a stroke of 1: tolerance max(1 + 4, 8) = 8.
    const Row rows[] = {
        {"rectangle edge", PlmDecorationKind::rectangle, {7.5, 50}, false, false, true},
        {"rectangle just inside the band", PlmDecorationKind::rectangle, {8.5, 50}, false, false, false},
        {"rectangle middle", PlmDecorationKind::rectangle, {100, 50}, false, false, false},
        {"selected rectangle middle", PlmDecorationKind::rectangle, {100, 50}, false, true, true},
        {"filled rectangle middle", PlmDecorationKind::rectangle, {100, 50}, true, false, true},
        {"ellipse outline", PlmDecorationKind::ellipse, {100, 97}, false, false, true},
        {"ellipse middle", PlmDecorationKind::ellipse, {100, 50}, false, false, false},
        {"line middle", PlmDecorationKind::line, {100, 50}, false, false, true},
        {"outside", PlmDecorationKind::line, {201, 50}, false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PlmDecorationObject object = placed("r", row.kind, 0, 0, 200, 100);
        object.presentation.background = PlmColor{1, 1, 1, row.filled ? 1.0 : 0.0};
        DecorationObjectView view(object);
        view.setFrame(QRectF(0, 0, 200, 100));
        view.selected = row.selected;
        EXPECT_EQ(view.containsHit(row.point), row.hit);
    }
}

TEST(DecorationUndo, EveryEditUndoneGivesBackTheExactWork)
{
    PlmWork work = workWith({placed("a", PlmDecorationKind::title, 40, 300, 200, 52),
                             placed("b", PlmDecorationKind::rectangle, 300, 100, 100, 60)});
    work.thematic = PlmThematicSettings();
    DecorationTestPage t(work);
    DecorationController& c = *t.controller;
    c.addObject(PlmDecorationKind::arrow);
    c.select(QStringLiteral("a"), false);
    c.performClipboardCommand(QStringLiteral("duplicate"));
    c.select(QStringLiteral("a"), false);
    c.setFontSize(30);
    c.setTextColor(PlmColor{0.5, 0.1, 0.1, 1});
    c.setTextAlignment(1);
    c.setStyleBool(&PlmEditingStyle::shadow, true, QStringLiteral("Activer l’ombre"));
    c.setStyleColor(&PlmEditingStyle::stroke, PlmColor{0, 0, 1, 0.5}, QStringLiteral("Couleur / opacité"));
    c.setFrameShown(false);
    c.beginTextEdit();
    c.editor()->insertPlainText(QStringLiteral(" du monde"));
    c.commitTextEdit();
    c.setPositionValue(0, 12);
    c.select(QStringLiteral("legend"), false);
    c.setLegendFitsContent(false);
    c.moveLegend(QStringLiteral("legend"), PlmPoint{30, 30}, true);
    c.changeObjectOrder(false);
    c.select(QStringLiteral("b"), false);
    c.deleteSelection();
    EXPECT_TRUE(t.document.errors.isEmpty()) << t.document.errors.join(' ').toStdString();
    EXPECT_EQ(t.document.undoNames(),
              QStringList({"Ajouter Flèche", "Coller / dupliquer", "Taille de texte", "Couleur du texte",
                           "Alignement du texte", "Activer l’ombre", "Couleur / opacité",
                           "Afficher / masquer le cadre", "Modifier le texte", "Position / taille",
                           "Ajuster le cadre de légende", "Déplacer la légende", "Ordre des objets",
                           "Supprimer l’habillage"}));
    while (!t.document.undo.isEmpty())
        t.document.undoLast();
    EXPECT_EQ(t.document.work, work);
}

TEST(DecorationAdding, SymbolsAreChosenInTheirWindow)
{
    EXPECT_TRUE(DecorationSymbolChooser::names(QStringLiteral("STAR")).contains(QStringLiteral("star.fill")));
    EXPECT_TRUE(DecorationSymbolChooser::names(QStringLiteral("pas un symbole")).isEmpty());

    DecorationTestPage t(workWith({}));
    t.controller->addObject(PlmDecorationKind::sfSymbol);
    DecorationSymbolChooser* chooser = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* c = qobject_cast<DecorationSymbolChooser*>(w); c && c->isVisible())
            chooser = c;
    ASSERT_TRUE(chooser);
    if (const QString keep = qEnvironmentVariable("PELMORA_RENDER_DIR"); !keep.isEmpty())
        chooser->grab().save(keep + QStringLiteral("/decoration-symbols.png"));
    chooser->filterField()->setText(QStringLiteral("star.fill"));
    ASSERT_EQ(chooser->list()->count(), 1);
    chooser->choose();
    ASSERT_EQ(t.decoration().objects.size(), 1);
    ASSERT_TRUE(t.object(0).symbol);
    EXPECT_EQ(t.object(0).symbol->sfSymbolName, std::optional<QString>("star.fill"));
    EXPECT_EQ(t.object(0).symbol->maximumSize, 60);
    EXPECT_EQ(t.document.undoName(), QStringLiteral("Ajouter Pictogramme…"));
    // The inspector's button changes the symbol of the selected element.
    t.controller->chooseSFSymbol = [](std::function<void(const QString&)> chosen) { chosen(QStringLiteral("circle")); };
    t.controller->chooseSymbol();
    EXPECT_EQ(t.object(0).symbol->sfSymbolName, std::optional<QString>("circle"));
    EXPECT_EQ(t.document.undoName(), QStringLiteral("Changer le pictogramme"));
}

TEST(DecorationAdding, TheOpenPanelBringsTheImage)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("carte.PNG"));
    QImage image(40, 20, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(path, "PNG"));
    DecorationTestPage t(workWith({}));
    std::optional<QStringList> answer;
    QStringList asked;
    DialogHooks::Hooks hooks;
    hooks.openPanel = [&](const DialogHooks::OpenPanelRequest& request) {
        asked = request.extensions;
        return answer;
    };
    DialogHooks::ScopedHooks scoped(hooks);
    t.controller->addObject(PlmDecorationKind::image);  // cancelled
    EXPECT_TRUE(t.document.undo.isEmpty());
    EXPECT_TRUE(asked.contains(QStringLiteral("png")));
    answer = QStringList{path};
    t.controller->addObject(PlmDecorationKind::image);
    ASSERT_EQ(t.decoration().objects.size(), 1);
    EXPECT_EQ(t.object(0).bitmapType, std::optional<QString>("png"));
    EXPECT_EQ(t.object(0).height, 90);
    EXPECT_EQ(t.controller->selected, std::optional<QString>(t.object(0).id));
    // The view draws the image decoded once.
    const QImage* decoded = t.view(t.object(0).id)->decodedBitmap();
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->size(), QSize(40, 20));
    const qint64 key = decoded->cacheKey();
    t.controller->syncObjectViews();  // the view takes the stored object again: same bytes
    EXPECT_EQ(t.view(t.object(0).id)->decodedBitmap()->cacheKey(), key);
}
