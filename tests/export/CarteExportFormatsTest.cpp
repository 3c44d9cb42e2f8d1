#include "page/DecorationObjectView.h"
#include "export/CarteBitmapExport.h"
#include "export/CartePDFExport.h"
#include "export/SvgCompositionExport.h"
#include "export/ThematicCanvasExport.h"
#include "support/PresentationTestSupport.h"
#include "support/ImageBytes.h"
#include "support/CompositionTestSupport.h"
#include "support/ImageCompare.h"
#include "support/PopplerTools.h"
#include "support/SvgTestSupport.h"
#include "support/UncoveredScripts.h"
#include "support/YUpImage.h"

#include <QDir>
#include <QStandardPaths>

#include <functional>
#include <ostream>

#include <gtest/gtest.h>

using namespace CompositionTestSupport;
using namespace SvgTestSupport;

// One page exported as PNG, PDF and SVG: the PDF drawn by pdftoppm and the SVG by rsvg-convert
// and by headless Chromium must show what the PNG export shows, within antialiasing. Each page
// holds one thing the formats once drew differently. PELMORA_KEEP_RENDERS=dir keeps the renders.
namespace {

constexpr double kWidth = 480;   // the composition and the page, in points: one point lands on one
constexpr double kHeight = 320;  // point of the page
constexpr double kPixelsPerPoint = 2;

struct FormatPage {
    PlmMap map = gridMap(3);
    Hosted hosted = CompositionTestSupport::hosted(map, {kWidth, kHeight}, {kWidth + 24, kHeight + 24});
    ThematicCanvas& canvas = *hosted.canvas;
    ThematicCanvasExport composition{canvas};

    FormatPage()
    {
        canvas.vector()->setHidden(true);
        canvas.legend()->setHidden(true);
    }

    void add(const PlmDecorationObject& object, const QRectF& frame) { addDecoration(canvas, object, frame); }

    static PlmExportSize size()
    {
        PlmExportSize s;
        s.width = kWidth * 25.4 / 72;
        s.height = kHeight * 25.4 / 72;
        s.margin = 0;
        return s;
    }
};

PlmPresentation styled(const std::function<void(PlmEditingStyle&)>& edit, double fontSize = 30)
{
    PlmPresentation p;
    p.fontSize = fontSize;
    changeEditingStyle(p, [&](PlmEditingStyle& style) {
        style.frameFill = PlmColor{1, 1, 1, 0};
        edit(style);
    });
    return p;
}

// Red and blue cells of 3 × 3 pixels, drawn pixel for pixel (15 points at 2 pixels a point) so
// that no renderer resamples it; a lossy encoding blends neighbouring cells into purple.
constexpr int kCell = 3;
constexpr int kCells = 10;
QColor cellColour(int i, int j) { return (i + j) % 2 ? QColor(30, 30, 220) : QColor(220, 30, 30); }

QByteArray checkerboardPng()
{
    QImage image(kCell * kCells, kCell * kCells, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, cellColour(x / kCell, y / kCell).rgb());
    return encodedImage(image);
}

// The pixel of a page render at a y-up page point.
QColor at(const QImage& image, double x, double y)
{
    return image.pixelColor(int(x * kPixelsPerPoint), int((kHeight - y) * kPixelsPerPoint));
}

// The longest run of dark pixels on one row (left, right, row), searched in rows [top, bottom).
struct Run {
    int left = 0, right = -1, row = -1;
    int length() const { return right - left + 1; }
};
Run longestDarkRun(const QImage& image, int top, int bottom)
{
    Run best;
    for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y) {
        for (int x = 0; x < image.width();) {
            if (qGray(image.pixel(x, y)) >= 128) {
                ++x;
                continue;
            }
            Run run{x, x, y};
            while (run.right + 1 < image.width() && qGray(image.pixel(run.right + 1, y)) < 128)
                ++run.right;
            if (run.length() > best.length())
                best = run;
            x = run.right + 1;
        }
    }
    return best;
}

struct PageCase {
    const char* name;
    std::function<void(FormatPage&)> build;
    // What the page must show in the PNG export itself, or hold in the SVG's text.
    std::function<void(const QImage& png)> checkPng = {};
    std::function<void(const QString& svg)> checkSvg = {};
    // Pixels a renderer may draw otherwise (its own text metrics), and what each render must
    // then show as the PNG export does.
    int budget = 150;
    std::function<void(const QImage& render, const QImage& png)> checkRender = {};
};

const PageCase kPages[] = {
    {"Map",
     [](FormatPage& page) {
         // Outlines of 2 points: hairlines are drawn a pixel wide by one renderer, two by another.
         PlmEntityList squares;
         for (int i = 0; i < 9; ++i) {
             const double x = (i % 3) * 10, y = (i / 3) * 10;
             squares.append(CanvasTestMaps::squareEntity(QStringLiteral("e%1").arg(i), x, y, x + 9, y + 9,
                                                         PlmColor{0.75, 0.85, 0.95, 1}, 2));
         }
         page.canvas.vector()->setMap(CanvasTestMaps::mapOf(squares));
         page.canvas.vector()->setHidden(false);
         page.canvas.legend()->setHidden(false);
         const QList<PlmColor> classes = {PlmColor{0.94, 0.95, 1, 1}, PlmColor{0.55, 0.75, 0.87, 1},
                                          PlmColor{0.13, 0.44, 0.71, 1}};
         for (int i = 0; i < 9; ++i)
             page.canvas.vector()->fillOverrides.insert(QStringLiteral("e%1").arg(i), classes[i % 3]);
         page.canvas.symbols()->setHidden(false);
         page.canvas.symbols()->setItems({{QStringLiteral("e4"), 30, PlmPoint{14.5, 14.5}}});
         page.canvas.legend()->setTitle(QStringLiteral("Densité"));
         page.canvas.legend()->setLabels({QStringLiteral("faible"), QStringLiteral("moyenne"), QStringLiteral("forte")});
         page.canvas.legend()->setColors(classes);
         page.canvas.legend()->setShowsMissing(false);
         page.canvas.legendPosition = {0.98, 0.04};
         page.add(PlmDecorationObject(QStringLiteral("t"), PlmDecorationKind::title, QStringLiteral("Carte des densités")),
                  QRectF(10, 10, 180, 40));
     }},
    {"LosslessPicture",
     [](FormatPage& page) {
         PlmDecorationObject logo(QStringLiteral("i"), PlmDecorationKind::image);
         logo.bitmap = checkerboardPng();
         page.add(logo, QRectF(40, 40, 27, 27));  // the picture inside the 6-point padding
     },
     {},
     {},
     150,
     [](const QImage& render, const QImage& png) {
         // The centre of every cell keeps its colour (the picture's top left at (46, 61) points).
         int blended = 0;
         for (int j = 0; j < kCells; ++j)
             for (int i = 0; i < kCells; ++i) {
                 const QPoint p(int(46 * kPixelsPerPoint) + i * kCell + 1,
                                int((kHeight - 61) * kPixelsPerPoint) + j * kCell + 1);
                 EXPECT_TRUE(nearColor(png.pixelColor(p), cellColour(i, j))) << i << "," << j;
                 blended += nearColor(render.pixelColor(p), cellColour(i, j), 40) ? 0 : 1;
             }
         EXPECT_EQ(blended, 0);
     }},
    {"TrackedCentredText",
     [](FormatPage& page) {
         PlmDecorationObject text(QStringLiteral("t"), PlmDecorationKind::text, QStringLiteral("Espace large au centre"));
         text.presentation = styled([](PlmEditingStyle& s) { s.tracking = 9; });
         text.presentation.alignment = PlmTextAlignment::center;
         page.add(text, QRectF(60, 100, 360, 160));
     }},
    {"RightAlignedUnderlinedText",
     [](FormatPage& page) {
         // No descenders, which Chromium's underline skips, and a size at which its own underline
         // offset stays within the two pixels forgiven.
         PlmDecorationObject text(QStringLiteral("t"), PlmDecorationKind::text, QStringLiteral("Trait à droite"));
         text.presentation = styled([](PlmEditingStyle& s) { s.underline = true; }, 18);
         text.presentation.alignment = PlmTextAlignment::right;
         page.add(text, QRectF(40, 160, 400, 60));
     },
     {},
     {},
     // Pango rounds glyph advances and Chromium sets its underline a little lower.
     1000,
     [](const QImage& render, const QImage& png) {
         // The underline: the longest dark row below the text, under the text alone.
         const Run expected = longestDarkRun(png, 0, png.height());
         ASSERT_GT(expected.length(), 150);
         EXPECT_GT(expected.left, int(200 * kPixelsPerPoint));
         const Run drawn = longestDarkRun(render, expected.row - 8, expected.row + 8);
         EXPECT_LE(std::abs(drawn.left - expected.left), 6) << drawn.left << " " << expected.left;
         EXPECT_LE(std::abs(drawn.right - expected.right), 6) << drawn.right << " " << expected.right;
     }},
    {"JustifiedUnderlinedText",
     [](FormatPage& page) {
         // Wrapped lines spread to the box, one underline under each; the first line holds one
         // word alone, which is not the paragraph's last.
         PlmDecorationObject text(QStringLiteral("t"), PlmDecorationKind::text,
                                  QStringLiteral("Voies Départementales et routes du réseau national"));
         text.presentation = styled([](PlmEditingStyle& s) { s.underline = true; }, 24);
         text.presentation.alignment = PlmTextAlignment::justified;
         page.add(text, QRectF(40, 60, 240, 220));
     },
     {},
     {},
     // Each reader sets the letters of every word itself, from where the page put the word.
     400},
    {"OverflowingText",
     [](FormatPage& page) {
         // Cut at the box on the right (no wrapping) and at the bottom, across the second line.
         PlmDecorationObject text(QStringLiteral("t"), PlmDecorationKind::text,
                                  QStringLiteral("Une ligne bien trop longue pour son cadre\nSeconde ligne coupée"));
         text.presentation = styled([](PlmEditingStyle& s) { s.wraps = false; }, 30);
         page.add(text, QRectF(60, 160, 260, 74));
         // The message of a north arrow that cannot point, in type too large for its box.
         PlmDecorationObject north(QStringLiteral("n"), PlmDecorationKind::north);
         north.presentation.fontSize = 40;
         page.add(north, QRectF(60, 40, 140, 70));
     }},
    {"TranslucentObject",
     [](FormatPage& page) {
         PlmDecorationObject box(QStringLiteral("r"), PlmDecorationKind::rectangle);
         box.presentation = styled([](PlmEditingStyle& s) {
             s.opacity = 0.5;
             s.strokeWidth = 24;
             s.stroke = PlmColor{0.1, 0.2, 0.8, 1};
         });
         box.presentation.background = PlmColor{0.9, 0.2, 0.1, 1};
         page.add(box, QRectF(80, 60, 320, 200));
     }},
    {"ColouredNamedSymbol",
     [](FormatPage& page) {
         PlmDecorationObject symbol(QStringLiteral("f"), PlmDecorationKind::sfSymbol);
         PlmProportionalSettings circle;
         circle.kind = PlmSymbolKind::sfSymbol;
         circle.sfSymbolName = QStringLiteral("circle.fill");
         symbol.symbol = circle;
         symbol.presentation.color = PlmColor{0.1, 0.6, 0.2, 1};
         page.add(symbol, QRectF(140, 60, 200, 200));
     },
     [](const QImage& png) { EXPECT_TRUE(nearColor(at(png, 240, 160), QColor::fromRgbF(0.1f, 0.6f, 0.2f))); }},
    {"RequestedFontFirst",
     [](FormatPage& page) {
         PlmDecorationObject text(QStringLiteral("t"), PlmDecorationKind::title, QStringLiteral("Helvetica"));
         text.presentation.fontName = QStringLiteral("Helvetica-Bold");
         text.presentation.fontSize = 24;
         page.add(text, QRectF(40, 140, 400, 60));
     },
     {},
     [](const QString& svg) {
         // A reader that has the requested family shows it; its stand-in here comes after.
         const QStringList families = capturesOf(svg, QStringLiteral("font-family=\"([^\"]*)\""));
         ASSERT_EQ(families.size(), 1);
         EXPECT_TRUE(families[0].startsWith(QStringLiteral("Helvetica, "))) << qPrintable(families[0]);
     }},
    {"GeographicScaleBar",
     [](FormatPage& page) {
         // Longitudes framed 19.8° across the page: within the 20° at which a bar is measured,
         // while the map view, reaching 8 points past each edge of the page, shows more.
         page.canvas.vector()->setMap(geographicMap({{2, 46}, {8.5, 47}, {15, 46}}));
         page.canvas.vector()->setHidden(false);
         frameMap(page.canvas, PlmPoint{10, 45}, 19.8 / kWidth);
         page.add(PlmDecorationObject(QStringLiteral("s"), PlmDecorationKind::scale), QRectF(40, 40, 120, 60));
     },
     {},
     // (That the SVG and the PDF read the page's own measure is the SVG writer's test; here the
     // bar itself.)
     {},
     150,
     [](const QImage& render, const QImage& png) {
         // The bar, 100 points long, 20 points above the object's bottom at y = 40.
         const int row = int((kHeight - 60) * kPixelsPerPoint);
         const Run expected = longestDarkRun(png, row - 6, row + 6);
         ASSERT_GE(expected.length(), int(100 * kPixelsPerPoint));
         const Run drawn = longestDarkRun(render, row - 6, row + 6);
         EXPECT_LE(std::abs(drawn.left - expected.left), 2) << drawn.left << " " << expected.left;
         EXPECT_LE(std::abs(drawn.right - expected.right), 2) << drawn.right << " " << expected.right;
     }},
};

void PrintTo(const PageCase& row, std::ostream* out) { *out << row.name; }

class CarteExportFormatsTest : public testing::TestWithParam<PageCase> {};

// Why the page cannot be drawn by every renderer here, or empty.
QString missingRenderer()
{
    for (const char* tool : {"pdftoppm", "rsvg-convert"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return QString::fromLatin1(tool) + QStringLiteral(" is not installed");
    return chromiumMissing();
}

TEST_P(CarteExportFormatsTest, PdfAndSvgRendersShowThePngExport)
{
    if (const QString missing = missingRenderer(); !missing.isEmpty())
        GTEST_SKIP() << qPrintable(missing);
    const PageCase& row = GetParam();
    FormatPage page;
    row.build(page);
    const PlmExportSize size = FormatPage::size();
    const double dpi = 72 * kPixelsPerPoint;
    const QImage png = CarteBitmapExport::renderImage(page.composition, size, dpi, CarteBitmapExport::Format::png, false)
                           .convertToFormat(QImage::Format_ARGB32);
    const QByteArray svg = SvgCompositionExport::exportSVG(page.composition, size).data;
    const QByteArray pdf = CartePDFExport::exportPDF(page.composition, size).data;
    const struct {
        const char* name;
        QImage image;
    } renders[] = {
        {"pdftoppm", PopplerTools::raster(pdf, int(dpi))},
        {"rsvg-convert", renderWithRsvg(svg, kPixelsPerPoint)},
        {"chromium", renderWithChromium(svg, kWidth, kHeight, kPixelsPerPoint)},
    };
    const QString keep = qEnvironmentVariable("PELMORA_KEEP_RENDERS");
    if (!keep.isEmpty())
        png.save(QDir(keep).filePath(QStringLiteral("%1-png.png").arg(QString::fromLatin1(row.name))));
    for (const auto& render : renders) {
        ASSERT_FALSE(render.image.isNull()) << render.name << " failed";
        EXPECT_LE(std::abs(render.image.width() - png.width()), 2) << render.name;
        EXPECT_LE(std::abs(render.image.height() - png.height()), 2) << render.name;
        QImage marks;
        const int differing = ImageCompare::unmatched(render.image, png, 32, 2, &marks)
                              + ImageCompare::unmatched(png, render.image, 32, 2);
        if (!keep.isEmpty()) {
            render.image.save(QDir(keep).filePath(QStringLiteral("%1-%2.png").arg(QString::fromLatin1(row.name),
                                                                                   QString::fromLatin1(render.name))));
            marks.save(QDir(keep).filePath(QStringLiteral("%1-%2-marks.png").arg(QString::fromLatin1(row.name),
                                                                                  QString::fromLatin1(render.name))));
        }
        EXPECT_LE(differing, row.budget) << render.name << " differs from the PNG export in " << differing << " pixels";
        if (row.checkRender) {
            SCOPED_TRACE(render.name);
            row.checkRender(render.image, png);
        }
    }
    if (row.checkPng)
        row.checkPng(png);
    if (row.checkSvg)
        row.checkSvg(QString::fromUtf8(svg));
}

INSTANTIATE_TEST_SUITE_P(Pages, CarteExportFormatsTest, testing::ValuesIn(kPages),
                         [](const testing::TestParamInfo<PageCase>& info) { return std::string(info.param.name); });

// A page whose title and map names are `text`, with the map, its names and a legend shown.
void nameEverything(FormatPage& page, const QString& text)
{
    PlmEntityList entities;
    for (int i = 0; i < 4; ++i) {
        const double x = (i % 2) * 10, y = (i / 2) * 10;
        PlmEntity square = CanvasTestMaps::squareEntity(QStringLiteral("e%1").arg(i), x, y, x + 9, y + 9,
                                                        PlmColor{0.75, 0.85, 0.95, 1}, 1);
        square.name = text;
        entities.append(square);
    }
    page.canvas.vector()->setMap(CanvasTestMaps::mapOf(entities));
    page.canvas.vector()->showEntityNames = true;
    page.canvas.vector()->setHidden(false);
    page.canvas.legend()->setHidden(false);
    page.canvas.legend()->setTitle(QStringLiteral("Densité"));
    page.canvas.legend()->setLabels({QStringLiteral("faible"), UncoveredScripts::devanagari()});
    page.add(PlmDecorationObject(QStringLiteral("t"), PlmDecorationKind::title, text), QRectF(40, 250, 400, 50));
}

// Pixels of the map's fill: the page drew its map.
int mapPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += nearColor(image.pixelColor(x, y), QColor::fromRgbF(0.75f, 0.85f, 0.95f), 4) ? 1 : 0;
    return count;
}

// Letters that no font here covers, as a title, a legend label and the map's names: the PDF,
// drawn through its own paint engine, shows nothing of them (the page looks as with empty texts),
// and the SVG writes them as they are, for its reader to draw with its own fonts. (That they are
// drawn nowhere is the text layers' rule, tested there; the bitmaps and the screen draw as those
// tests do.)
TEST(CarteExportUncoveredScript, ThePdfDrawsNothingOfThemAndTheSvgKeepsThem)
{
    if (const QString covered = UncoveredScripts::coveredHere(); !covered.isEmpty())
        GTEST_SKIP() << qPrintable(covered);
    const QString devanagari = UncoveredScripts::devanagari();
    FormatPage written;
    FormatPage blank;
    nameEverything(written, devanagari);
    nameEverything(blank, QString());

    const PlmExportSize size = FormatPage::size();
    const int dpi = int(72 * kPixelsPerPoint);
    const QByteArray pdf = CartePDFExport::exportPDF(written.composition, size).data;
    const QImage page = PopplerTools::raster(pdf, dpi);
    EXPECT_GT(mapPixels(page), 1000);
    EXPECT_TRUE(PopplerTools::text(pdf).contains(QStringLiteral("faible"))) << "the legend's Latin label";
    const QImage blankPage = PopplerTools::raster(CartePDFExport::exportPDF(blank.composition, size).data, dpi);
    EXPECT_EQ(CanvasTestMaps::shareOfDifferentPixels(page, blankPage, 0), 0);

    QString error;
    const QList<XmlElement> elements = xmlElements(SvgCompositionExport::exportSVG(written.composition, size).data, &error);
    EXPECT_EQ(error, QString());
    QStringList texts;
    int names = 0;
    for (const XmlElement& element : elements) {
        if (element.name == QLatin1String("text"))
            texts << element.text;
        if (element.name == QLatin1String("path") && element.attributes.value(QStringLiteral("data-entity-name")) == devanagari)
            ++names;
    }
    EXPECT_EQ(texts.count(devanagari), 2) << qPrintable(texts.join(QLatin1Char('|')));  // the title and a legend label
    EXPECT_EQ(names, 4);
}

} // namespace
