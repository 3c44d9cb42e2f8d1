#include "tables/PlmInputReader.h"
#include "tables/PlmXlsxCell.h"
#include "support/TableReaderTestSupport.h"
#include "support/ZipTestWriter.h"

#include <gtest/gtest.h>

using XlsxTest::Book;
using XlsxTest::oneSheet;
using XlsxTest::stylesPart;
using XlsxTest::worksheet;
using Grid = QList<QStringList>;

namespace {

const QString formulaNote =
    QStringLiteral("Formules : seules les valeurs déjà enregistrées sont lues ; aucune formule n’est calculée.");
const QString mergedNote =
    QStringLiteral("Cellules fusionnées : seule la cellule supérieure gauche contient une valeur.");
const QString hiddenNote = QStringLiteral("Feuille masquée dans le classeur d’origine.");
const QString tooManyColumns = QStringLiteral("Trop de colonnes XLSX.");

QByteArray numberCell(const QByteArray& ref, const QByteArray& value, int style)
{
    return "<c r=\"" + ref + "\" s=\"" + QByteArray::number(style) + "\"><v>" + value + "</v></c>";
}

// The text of one number cell stored with the given style of the styles part.
QString oneNumber(const QByteArray& value, int style, const QByteArray& styles)
{
    const QByteArray bytes = oneSheet("<row r=\"1\">" + numberCell("A1", value, style) + "</row>", styles);
    return PlmInputReader::read(bytes, QStringLiteral("x.xlsx")).first().grid.first().first();
}

} // namespace

TEST(XlsxWorkbook, ArchivesThatAreNotWorkbooks)
{
    const QByteArray zip = ZipTest::makeZip({{"readme.txt", "bonjour", true}}).bytes;
    EXPECT_EQ(errorOf([&] { PlmInputReader::read(zip, QStringLiteral("x.xlsx")); }),
              QStringLiteral("Fichier XLSX absent : xl/workbook.xml."));
    EXPECT_EQ(errorOf([] { PlmInputReader::read(QByteArray("PK\3\4"), QStringLiteral("x.xlsx")); }),
              QStringLiteral("Archive XLSX tronquée."));
}

TEST(XlsxWorkbook, SheetsNamesEmptySheetsAndHiddenSheets)
{
    Book book;
    book.sheets.append({{}, {}, worksheet("<row><c r=\"A1\" t=\"str\"><v>x</v></c></row>")});
    book.sheets.append({"Vide", {}, worksheet("<row><c r=\"A1\"/></row>")});
    book.sheets.append({"Cachée", "state=\"hidden\"", worksheet("<row><c r=\"B1\" t=\"b\"><v>1</v></c></row>")});
    const QList<PlmInputSheet> sheets = PlmInputReader::read(book.bytes(), QStringLiteral("x.xlsx"));
    ASSERT_EQ(sheets.size(), 2);
    EXPECT_EQ(sheets.at(0).name, QStringLiteral("Feuille"));
    EXPECT_EQ(sheets.at(0).grid, Grid({{"x"}}));
    EXPECT_TRUE(sheets.at(0).warnings.isEmpty());
    EXPECT_EQ(sheets.at(1).name, QStringLiteral("Cachée"));
    EXPECT_EQ(sheets.at(1).grid, Grid({{"", "Vrai"}}));
    EXPECT_EQ(sheets.at(1).warnings, QStringList{hiddenNote});

    Book empty;
    empty.sheets.append({"Seule", {}, worksheet("<row/>")});
    EXPECT_EQ(errorOf([&] { PlmInputReader::read(empty.bytes(), QStringLiteral("x.xlsx")); }),
              QStringLiteral("Classeur vide."));
}

TEST(XlsxWorkbook, CellsArePlacedByColumnAndRowsFollowTheParts)
{
    const QByteArray rows = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>un</t></is></c>"
                            "<c r=\"C1\" t=\"inlineStr\"><is><r><t>de</t></r><r><t>ux</t></r></is></c></row>"
                            "<row r=\"3\"><c r=\"D3\"><v>4</v></c></row><row r=\"4\"/>";
    const PlmInputSheet sheet = PlmInputReader::read(oneSheet(rows), QStringLiteral("x")).first();
    EXPECT_EQ(sheet.grid, Grid({{"un", "", "deux"}, {"", "", "", "4"}, {}}));
}

TEST(XlsxWorkbook, SharedStringsIncludeEveryRun)
{
    const QByteArray shared = "<si><t>Nord</t></si><si><r><t>Sud</t></r><r><t xml:space=\"preserve\"> Est</t></r></si>";
    const QByteArray rows = "<row><c r=\"A1\" t=\"s\"><v>1</v></c><c r=\"B1\" t=\"s\"><v>0</v></c></row>";
    EXPECT_EQ(PlmInputReader::read(oneSheet(rows, {}, shared), QStringLiteral("x")).first().grid,
              Grid({{"Sud Est", "Nord"}}));
    for (const QByteArray& index : {QByteArray("2"), QByteArray("-1"), QByteArray("x"), QByteArray("")}) {
        const QByteArray bad = "<row><c r=\"B7\" t=\"s\"><v>" + index + "</v></c></row>";
        EXPECT_EQ(errorOf([&] { PlmInputReader::read(oneSheet(bad, {}, shared), QStringLiteral("x")); }),
                  QStringLiteral("Texte XLSX invalide en B7."));
    }
}

// The shared strings are read beside the sheets, yet their error is the one given, as the
// first part read, whatever the styles or the sheets hold.
TEST(XlsxWorkbook, AnErrorOfTheSharedStringsComesFirst)
{
    const QByteArray broken = "<si><t>Nord</t></si><si><t>Sud</t>";
    const QString expected =
        errorOf([&] { PlmInputReader::read(oneSheet("<row><c r=\"A1\" t=\"s\"><v>0</v></c></row>", {}, broken), "x"); });
    ASSERT_TRUE(expected.startsWith(QStringLiteral("XML XLSX invalide : "))) << qPrintable(expected);
    const struct {
        const char* name;
        QByteArray styles;
        QByteArray rows;
    } cases[] = {
        {"an index past the strings", {}, "<row><c r=\"A1\" t=\"s\"><v>5</v></c></row>"},
        {"an index before an invalid cell", {}, "<row><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"x\"/></row>"},
        {"an invalid cell", {}, "<row><c r=\"A1\" t=\"x\"><v>1</v></c></row>"},
        {"invalid styles", "<styleSheet>", "<row><c r=\"A1\"><v>1</v></c></row>"},
        {"no value", {}, "<row/>"},
        {"no string used", {}, "<row><c r=\"A1\"><v>1</v></c></row>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorOf([&] { PlmInputReader::read(oneSheet(c.rows, c.styles, broken), "x"); }), expected) << c.name;
}

TEST(XlsxCells, DatesInBothSystems)
{
    const QByteArray styles = stylesPart({0, 14, 22});
    EXPECT_EQ(oneNumber("44927", 1, styles), QStringLiteral("2023-01-01"));
    EXPECT_EQ(oneNumber("44927.5", 2, styles), QStringLiteral("2023-01-01T12:00:00.000Z"));
    EXPECT_EQ(oneNumber("44927.5", 1, styles), QStringLiteral("2023-01-01T12:00:00.000Z"));
    EXPECT_EQ(oneNumber("44927", 0, styles), QStringLiteral("44927"));

    Book book;
    book.workbookPr = "<workbookPr date1904=\"1\"/>";
    book.styles = styles;
    book.sheets.append({"A", {}, worksheet("<row>" + numberCell("A1", "44927", 1) + numberCell("B1", "44927.5", 2) + "</row>")});
    EXPECT_EQ(PlmInputReader::read(book.bytes(), QStringLiteral("x")).first().grid,
              Grid({{"2027-01-02", "2027-01-02T12:00:00.000Z"}}));
}

TEST(XlsxCells, CustomFormatsPercentagesAndLeadingZeros)
{
    const QByteArray styles = stylesPart(
        {0, 164, 165, 166, 167, 10, 168, 169, 170},
        "<numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd\"/><numFmt numFmtId=\"165\" formatCode=\"0.00\"/>"
        "<numFmt numFmtId=\"166\" formatCode=\"00000\"/><numFmt numFmtId=\"167\" formatCode=\"0\"/>"
        "<numFmt numFmtId=\"168\" formatCode=\"0%\"/>"
        "<numFmt numFmtId=\"169\" formatCode=\"0.0&quot; days&quot;\"/>"
        "<numFmt numFmtId=\"170\" formatCode=\"[h]:mm\"/>");
    EXPECT_EQ(oneNumber("44927", 1, styles), QStringLiteral("2023-01-01"));
    EXPECT_EQ(oneNumber("3.50", 2, styles), QStringLiteral("3.50"));
    EXPECT_EQ(oneNumber("1234", 3, styles), QStringLiteral("01234"));
    EXPECT_EQ(oneNumber("1234567", 3, styles), QStringLiteral("1234567"));
    EXPECT_EQ(oneNumber("12.5", 3, styles), QStringLiteral("12.5"));
    EXPECT_EQ(oneNumber("7", 4, styles), QStringLiteral("7"));
    EXPECT_EQ(oneNumber("0.125", 5, styles), QStringLiteral("12,5 %"));
    EXPECT_EQ(oneNumber("1", 6, styles), QStringLiteral("100 %"));
    // The product × 100 loses its binary noise.
    EXPECT_EQ(oneNumber("0.07", 6, styles), QStringLiteral("7 %"));
    // A quoted suffix never makes a date; an elapsed-hours section leaves only :mm.
    EXPECT_EQ(oneNumber("2.5", 7, styles), QStringLiteral("2.5"));
    EXPECT_EQ(oneNumber("2.5", 8, styles), QStringLiteral("2.5"));
    // A style index outside the styles is the general format.
    EXPECT_EQ(oneNumber("1e3", 99, styles), QStringLiteral("1e3"));
}

// Plain decimals are read as the same numbers as their exponent forms.
TEST(XlsxCells, PlainDecimalsAndTheirExponentForms)
{
    const QByteArray styles = stylesPart({0, 22, 10});
    const QList<QPair<QByteArray, QByteArray>> pairs = {
        {"0.1", "1E-1"}, {"+44927.123456789", "44927123456789E-9"}, {"-2.675", "-2675E-3"},
        {"12345.0123456789", "123450123456789E-10"}, {"0.000000000000001", "1E-15"}, {"007.5", "75E-1"},
        {"98765.4321", "987654321E-4"}};
    for (const auto& [plain, exponent] : pairs) {
        for (const int style : {1, 2}) {
            EXPECT_EQ(oneNumber(plain, style, styles), oneNumber(exponent, style, styles)) << plain.constData();
        }
    }
}

TEST(XlsxCells, StrippedFormatCodes)
{
    EXPECT_EQ(PlmXlsxCell::strippedFormatCode(QStringLiteral("DD/MM/YYYY")), QStringLiteral("dd/mm/yyyy"));
    EXPECT_EQ(PlmXlsxCell::strippedFormatCode(QStringLiteral("[h]:mm")), QStringLiteral(":mm"));
    EXPECT_EQ(PlmXlsxCell::strippedFormatCode(QStringLiteral("[Red]0.0\"h\"\\d_)*x")), QStringLiteral("0.0"));
}

TEST(XlsxCells, NumbersBooleansAndTypes)
{
    const QByteArray rows = "<row><c r=\"A1\" t=\"b\"><v>0</v></c><c r=\"B1\" t=\"b\"><v>1</v></c>"
                            "<c r=\"C1\" t=\"d\"><v>2023-01-01T00:00:00Z</v></c><c r=\"D1\" t=\"\"><v>-1.5E-3</v></c>"
                            "<c r=\"E1\"><v></v></c><c r=\"F1\" t=\"n\"><v>12</v></c></row>";
    EXPECT_EQ(PlmInputReader::read(oneSheet(rows), QStringLiteral("x")).first().grid,
              Grid({{"Faux", "Vrai", "2023-01-01T00:00:00Z", "-1.5E-3", "", "12"}}));

    for (const QByteArray& value : {QByteArray(" 1"), QByteArray("abc"), QByteArray("1e999"), QByteArray("nan")})
        EXPECT_EQ(errorOf([&] { PlmInputReader::read(oneSheet("<row><c r=\"C2\"><v>" + value + "</v></c></row>"), "x"); }),
                  QStringLiteral("Nombre XLSX invalide en C2."))
            << value.constData();
    EXPECT_EQ(errorOf([] { PlmInputReader::read(oneSheet("<row><c r=\"A1\" t=\"x\"><v>1</v></c></row>"), "x"); }),
              QStringLiteral("Type de cellule XLSX non pris en charge : x."));
    EXPECT_EQ(errorOf([] { PlmInputReader::read(oneSheet("<row><c r=\"B4\" t=\"e\"><v>#N/A</v></c></row>"), "x"); }),
              QStringLiteral("Erreur Excel #N/A en B4. Corrigez le classeur avant l’import."));
}

TEST(XlsxCells, OutOfRangeValues)
{
    const QByteArray styles = stylesPart({0, 14, 10});
    EXPECT_EQ(errorOf([&] { oneNumber("3000000", 1, styles); }), QStringLiteral("Date XLSX hors limites."));
    EXPECT_EQ(errorOf([&] { oneNumber("-3000000", 1, styles); }), QStringLiteral("Date XLSX hors limites."));
    EXPECT_EQ(oneNumber("2958465", 1, styles), QStringLiteral("9999-12-31"));
    EXPECT_EQ(errorOf([&] { oneNumber("1e307", 2, styles); }), QStringLiteral("Pourcentage hors limites."));
}

TEST(XlsxCells, FormulasUseTheirStoredValues)
{
    const QByteArray rows = "<row><c r=\"A1\"><f>1+1</f><v>2</v></c><c r=\"B1\"><f>2+2</f><v>4</v></c>"
                            "<c r=\"C1\" t=\"str\"><f>IF(A1&gt;5,\"x\",\"\")</f><v></v></c></row>";
    const PlmInputSheet sheet = PlmInputReader::read(oneSheet(rows), QStringLiteral("x")).first();
    EXPECT_EQ(sheet.grid, Grid({{"2", "4", ""}}));
    EXPECT_EQ(sheet.warnings, QStringList{formulaNote});

    EXPECT_EQ(errorOf([] { PlmInputReader::read(oneSheet("<row><c r=\"A9\"><f>1+1</f></c></row>"), "x"); }),
              QStringLiteral("La cellule A9 contient une formule sans valeur enregistrée. "
                             "Recalculez le classeur dans votre tableur puis enregistrez-le."));
    EXPECT_EQ(errorOf([] { PlmInputReader::read(oneSheet("<row><c r=\"A9\" t=\"str\"><f>A1</f></c></row>"), "x"); }),
              QStringLiteral("La cellule A9 contient une formule sans valeur enregistrée. "
                             "Recalculez le classeur dans votre tableur puis enregistrez-le."));
}

TEST(XlsxCells, ColumnReferences)
{
    const auto readRef = [](const QByteArray& ref) {
        return PlmInputReader::read(oneSheet("<row><c r=\"" + ref + "\"><v>1</v></c></row>"), QStringLiteral("x"));
    };
    EXPECT_EQ(readRef("FAN1").first().grid.first().size(), 4096);
    EXPECT_EQ(errorOf([&] { readRef("FAO1"); }), tooManyColumns);
    EXPECT_EQ(errorOf([&] { readRef("XFD1"); }), tooManyColumns);
    EXPECT_EQ(errorOf([&] { readRef("AAAAAAAAAAAAAAAAAAAAAAAA1"); }), tooManyColumns);
    EXPECT_EQ(errorOf([&] { readRef("1"); }), QStringLiteral("Adresse de cellule XLSX absente."));
    EXPECT_EQ(errorOf([&] { readRef("a1"); }), QStringLiteral("Adresse de cellule XLSX absente."));
    EXPECT_EQ(errorOf([] { PlmInputReader::read(oneSheet("<row><c><v>1</v></c></row>"), "x"); }),
              QStringLiteral("Adresse de cellule XLSX absente."));
}

TEST(XlsxWorkbook, MergedCellsAndSortedWarnings)
{
    Book book;
    book.sheets.append({"M", "state=\"veryHidden\"",
                        worksheet("<row><c r=\"A1\"><f>1</f><v>1</v></c><c r=\"B1\"><f>1</f><v>1</v></c></row>",
                                  "<mergeCells><mergeCell ref=\"A1:B1\"/></mergeCells>")});
    EXPECT_EQ(PlmInputReader::read(book.bytes(), QStringLiteral("x")).first().warnings,
              QStringList({mergedNote, hiddenNote, formulaNote}));
}

TEST(XlsxWorkbook, RelationshipsAndPaths)
{
    Book book;
    book.sheets.append({"A", {}, worksheet("<row><c r=\"A1\"><v>1</v></c></row>")});
    QList<ZipTest::Entry> entries = book.entries();
    const auto withRels = [&](const QByteArray& rels) {
        QList<ZipTest::Entry> changed = entries;
        changed[1].content = "<Relationships>" + rels + "</Relationships>";
        return ZipTest::makeZip(changed).bytes;
    };
    const auto readBytes = [](const QByteArray& bytes) { return PlmInputReader::read(bytes, QStringLiteral("x")); };

    EXPECT_EQ(readBytes(withRels("<Relationship Id=\"rId1\" Target=\"/xl/worksheets/sheet1.xml\"/>")).size(), 1);
    EXPECT_EQ(errorOf([&] { readBytes(withRels("<Relationship Id=\"rId1\" Target=\"../x.xml\"/>")); }),
              QStringLiteral("Chemin XLSX non pris en charge."));
    EXPECT_EQ(errorOf([&] {
                  readBytes(withRels("<Relationship Id=\"rId1\" Target=\"a\"/><Relationship Id=\"rId1\" Target=\"b\"/>"));
              }),
              QStringLiteral("Entrée XLSX répétée."));
    EXPECT_EQ(errorOf([&] {
                  readBytes(withRels("<Relationship Id=\"rId1\" TargetMode=\"External\" Target=\"worksheets/sheet1.xml\"/>"));
              }),
              QStringLiteral("Feuille XLSX sans fichier associé."));
    EXPECT_EQ(errorOf([&] { readBytes(withRels("<Relationship Id=\"rId1\" Target=\"worksheets/absent.xml\"/>")); }),
              QStringLiteral("Fichier XLSX absent : xl/worksheets/absent.xml."));

    Book repeatedFormats;
    repeatedFormats.sheets = book.sheets;
    repeatedFormats.styles = stylesPart({0}, "<numFmt numFmtId=\"164\" formatCode=\"0\"/><numFmt numFmtId=\"164\" formatCode=\"0.0\"/>");
    EXPECT_EQ(errorOf([&] { readBytes(repeatedFormats.bytes()); }), QStringLiteral("Entrée XLSX répétée."));
}

TEST(XlsxWorkbook, RowAndCellLimits)
{
    QByteArray rows;
    for (int i = 0; i < 1221; ++i)
        rows += "<row><c r=\"FAN1\"><v>1</v></c></row>";
    // 1,221 rows of 4,096 cells pass 5,000,000 cells.
    EXPECT_EQ(errorOf([&] { PlmInputReader::read(oneSheet(rows), QStringLiteral("x")); }),
              QStringLiteral("Table XLSX trop volumineuse."));

    const QByteArray tall = QByteArray("<row/>").repeated(199'999) + "<row><c r=\"A1\"><v>1</v></c></row>";
    EXPECT_EQ(PlmInputReader::read(oneSheet(tall), QStringLiteral("x")).first().grid.size(), 200'000);
    EXPECT_EQ(errorOf([&] { PlmInputReader::read(oneSheet(tall + "<row/>"), QStringLiteral("x")); }),
              QStringLiteral("Table XLSX trop volumineuse."));

    // More shared strings than any sheet could use.
    const QByteArray strings = QByteArray("<si/>").repeated(5'000'001);
    EXPECT_EQ(errorOf([&] { PlmInputReader::read(oneSheet("<row><c r=\"A1\"><v>1</v></c></row>", {}, strings), "x"); }),
              QStringLiteral("Table XLSX trop volumineuse."));

    // Sheets naming one part cannot together hold more cells than one sheet may.
    Book book;
    const QByteArray part = worksheet(QByteArray("<row><c r=\"FAN1\"><v>1</v></c></row>").repeated(500));
    book.sheets.append({"S1", {}, part});
    book.sheets.append({"S2", {}, part});
    EXPECT_EQ(PlmInputReader::read(book.bytes(), QStringLiteral("x")).size(), 2);
    QList<ZipTest::Entry> entries = book.entries();
    entries[0].content.replace("</sheets>", "<sheet name=\"S3\" sheetId=\"3\" r:id=\"rId1\"/></sheets>");
    EXPECT_EQ(errorOf([&] { PlmInputReader::read(ZipTest::makeZip(entries).bytes, QStringLiteral("x")); }),
              QStringLiteral("Table XLSX trop volumineuse."));
}

TEST(XlsxWorkbook, SheetsAreNotBoundByTheElementsOfATree)
{
    // 80,000 rows of 5 cells are 880,000 elements, more than one tree of a part may hold.
    QByteArray rows;
    rows.reserve(80'000 * 120);
    for (int i = 1; i <= 80'000; ++i) {
        const QByteArray n = QByteArray::number(i);
        rows += "<row r=\"" + n + "\">";
        for (const char* column : {"A", "B", "C", "D", "E"})
            rows += "<c r=\"" + QByteArray(column) + n + "\"><v>" + n + "</v></c>";
        rows += "</row>";
    }
    const PlmInputSheet sheet = PlmInputReader::read(oneSheet(rows), QStringLiteral("x")).first();
    ASSERT_EQ(sheet.grid.size(), 80'000);
    EXPECT_EQ(sheet.grid.last(), QStringList(5, QStringLiteral("80000")));
}

TEST(XlsxWorkbook, StoredAndDeflatedWorkbooksReadAlike)
{
    Book book;
    book.sharedStrings = "<si><t>Code</t></si>";
    book.sheets.append({"A", {}, worksheet("<row><c r=\"A1\" t=\"s\"><v>0</v></c></row><row><c r=\"A2\"><v>5</v></c></row>")});
    const auto deflated = PlmInputReader::read(book.bytes(), QStringLiteral("x"));
    book.deflate = false;
    EXPECT_EQ(PlmInputReader::read(book.bytes(), QStringLiteral("x")), deflated);
    EXPECT_EQ(deflated.first().grid, Grid({{"Code"}, {"5"}}));
}

TEST(XlsxWorkbook, DeclarationsAreRefusedWhereverTheyFallInALargePart)
{
    // The part is parsed as it is inflated, 64 KiB at a time: a declaration is still found
    // when those pieces cut it, even in a comment after the last row.
    const QByteArray declaration = "<!DOCTYPE";
    for (int cut = 0; cut <= declaration.size(); ++cut) {
        QByteArray part = worksheet("<row><c r=\"A1\"><v>1</v></c></row>");
        const qsizetype at = part.indexOf("</worksheet>");
        const qsizetype filler = 65'536 - cut - at - 4;
        part.insert(at, "<!--" + QByteArray(filler, 'x') + declaration + "-->");
        Book book;
        book.sheets.append({"A", {}, part});
        EXPECT_EQ(errorOf([&] { PlmInputReader::read(book.bytes(), QStringLiteral("x")); }),
                  QStringLiteral("Déclaration XML externe non prise en charge."))
            << "cut after " << cut << " bytes";
    }
}
