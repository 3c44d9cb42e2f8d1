#include "tables/PlmInputReader.h"
#include "tables/PlmInputTable.h"
#include "support/TableReaderTestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Grid = QList<QStringList>;

PlmInputSheet readOne(const QByteArray& bytes, const QString& name = QStringLiteral("t.csv"))
{
    const QList<PlmInputSheet> sheets = PlmInputReader::read(bytes, name);
    EXPECT_EQ(sheets.size(), 1);
    return sheets.value(0);
}

const QString tabNote = QStringLiteral("Séparateur détecté : tabulation.");
const QString unevenNote =
    QStringLiteral("Les lignes ont des longueurs différentes ; les cellules manquantes restent vides.");
const QString notText = QStringLiteral("Fichier texte ou XLSX attendu.");

} // namespace

TEST(PlmInputReaderText, EmptyAndSingleColumnFilesAreReadWithTheTab)
{
    const PlmInputSheet empty = readOne({}, QStringLiteral("vide.csv"));
    EXPECT_EQ(empty.name, QStringLiteral("vide.csv"));
    EXPECT_EQ(empty.grid, Grid({{QString()}}));
    EXPECT_EQ(empty.warnings, QStringList{tabNote});

    const PlmInputSheet single = readOne("a\nb\nc\n");
    EXPECT_EQ(single.grid, Grid({{"a"}, {"b"}, {"c"}}));
    EXPECT_EQ(single.warnings, QStringList{tabNote});
}

TEST(PlmInputReaderText, SeparatorSharedByMostRowsWins)
{
    // Under "," the rows split into 3, 2 and 4 fields; under ";" every row has 2.
    const PlmInputSheet sheet = readOne("nom;valeur\nA,B;1,5\nC;2,5,7\n");
    EXPECT_EQ(sheet.warnings, QStringList{QStringLiteral("Séparateur détecté : ;.")});
    EXPECT_EQ(sheet.grid, Grid({{"nom", "valeur"}, {"A,B", "1,5"}, {"C", "2,5,7"}}));

    const PlmInputSheet commas = readOne("a,b,c\n1,2,3\n");
    EXPECT_EQ(commas.warnings, QStringList{QStringLiteral("Séparateur détecté : ,.")});
    EXPECT_EQ(commas.grid, Grid({{"a", "b", "c"}, {"1", "2", "3"}}));
}

TEST(PlmInputReaderText, SepLineForcesTheSeparatorInAnyCase)
{
    for (const QByteArray& line : {QByteArray("sep=;"), QByteArray("SEP=;"), QByteArray("Sep=;")}) {
        const PlmInputSheet sheet = readOne(line + "\r\na,b;c\n");
        EXPECT_EQ(sheet.grid, Grid({{"a,b", "c"}})) << line.constData();
        EXPECT_EQ(sheet.warnings.value(0), QStringLiteral("Séparateur détecté : ;."));
    }
    const PlmInputSheet tab = readOne("sep=\t\na;b\tc\n");
    EXPECT_EQ(tab.grid, Grid({{"a;b", "c"}}));

    const PlmInputSheet pipe = readOne("sep=|\na;b\nc;d\n");
    EXPECT_EQ(pipe.grid, Grid({{"sep=|"}, {"a", "b"}, {"c", "d"}}));

    // Only the first line is a sep= line, and nothing follows it.
    EXPECT_EQ(readOne("sep=,").grid, Grid({{QString()}}));
}

TEST(PlmInputReaderText, QuotedFieldsHoldSeparatorsBreaksAndQuotes)
{
    const Grid rows = PlmInputReader::parseDelimited(
        QStringLiteral("\"a;b\";\"ligne 1\nligne 2\";\"il dit \"\"oui\"\"\"\n\"\";x\n"), u';');
    EXPECT_EQ(rows, Grid({{"a;b", "ligne 1\nligne 2", "il dit \"oui\""}, {"", "x"}}));
}

TEST(PlmInputReaderText, SplitterRefusesMalformedQuotes)
{
    EXPECT_EQ(errorOf([] { PlmInputReader::parseDelimited(QStringLiteral("ab\"c"), u';'); }),
              QStringLiteral("Guillemets mal formés."));
    EXPECT_EQ(errorOf([] { PlmInputReader::parseDelimited(QStringLiteral("\"ab\"c;d"), u';'); }),
              QStringLiteral("Guillemets mal formés."));
    EXPECT_EQ(errorOf([] { PlmInputReader::parseDelimited(QStringLiteral("\"ab;c"), u';'); }),
              QStringLiteral("Guillemet non fermé."));
    // Every candidate refuses the text, so the reader names the whole problem.
    EXPECT_EQ(errorOf([] { PlmInputReader::read(QByteArray("a\"b\n"), QStringLiteral("x.csv")); }),
              QStringLiteral("Texte vide ou guillemets mal formés."));
}

TEST(PlmInputReaderText, LineEndsAndTrailingSeparators)
{
    EXPECT_EQ(PlmInputReader::parseDelimited(QStringLiteral("a;b\r\nc;d\re;f\n"), u';'),
              Grid({{"a", "b"}, {"c", "d"}, {"e", "f"}}));
    EXPECT_EQ(PlmInputReader::parseDelimited(QStringLiteral("a;b\nc;"), u';'), Grid({{"a", "b"}, {"c", ""}}));
    EXPECT_EQ(PlmInputReader::parseDelimited(QStringLiteral("a\n\nb"), u';'), Grid({{"a"}, {""}, {"b"}}));
    EXPECT_EQ(PlmInputReader::parseDelimited(QString(), u';'), Grid({{""}}));
    // A separator carrying a combining mark is another character; a tab never carries one.
    EXPECT_EQ(PlmInputReader::parseDelimited(QStringLiteral("a;\u0301b;c"), u';'), Grid({{"a;\u0301b", "c"}}));
    EXPECT_EQ(PlmInputReader::parseDelimited(QStringLiteral("a\t\u0301b"), u'\t'), Grid({{"a", "\u0301b"}}));
    EXPECT_EQ(PlmInputReader::parseDelimited(QStringLiteral("x\"\u0301y"), u';'), Grid({{"x\"\u0301y"}}));
    EXPECT_EQ(errorOf([] { PlmInputReader::parseDelimited(QStringLiteral("\"a\"\u0301;b"), u';'); }),
              QStringLiteral("Guillemet non fermé."));
    EXPECT_EQ(PlmInputReader::parseDelimited(QStringLiteral("\"\""), u';'), Grid({{""}}));
}

TEST(PlmInputReaderText, EncodingsAndMarks)
{
    const QByteArray utf8 = "nom;pop\nÉvry;5\n";
    const PlmInputSheet plain = readOne(utf8);
    EXPECT_EQ(readOne("\xEF\xBB\xBF" + utf8).grid, plain.grid);
    EXPECT_EQ(plain.grid.at(1).at(0), QStringLiteral("Évry"));

    // One invalid byte switches the whole file to Windows-1252.
    const PlmInputSheet latin = readOne("nom;prix\n\xC9vry;5 \x80\n");
    EXPECT_EQ(latin.grid.at(1), QStringList({QStringLiteral("Évry"), QStringLiteral("5 €")}));
    EXPECT_EQ(latin.warnings.value(1), QStringLiteral("Texte lu en Windows-1252."));
    // A sequence cut at the end, an overlong form and an encoded surrogate are not UTF-8.
    EXPECT_EQ(readOne("a;b\xC3").grid, Grid({{"a", "b\u00C3"}}));
    EXPECT_EQ(readOne("a;\xC0\xAF").grid, Grid({{"a", "\u00C0\u00AF"}}));
    EXPECT_EQ(readOne("a;\xED\xA0\x80").warnings.value(1), QStringLiteral("Texte lu en Windows-1252."));
    // A byte that Windows-1252 leaves undefined ends the reading.
    EXPECT_EQ(errorOf([] { PlmInputReader::read(QByteArray("a\x81\xC9"), QStringLiteral("x")); }), notText);

    const QString text = QStringLiteral("a;é\n1;2\n");
    QByteArray le("\xFF\xFE"), be("\xFE\xFF");
    for (QChar c : text) {
        le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    }
    EXPECT_EQ(readOne(le).grid, Grid({{"a", "é"}, {"1", "2"}}));
    EXPECT_EQ(readOne(be).grid, Grid({{"a", "é"}, {"1", "2"}}));
    // Without its mark, UTF-16 of Latin letters decodes to NUL characters.
    EXPECT_EQ(errorOf([&] { PlmInputReader::read(le.mid(2), QStringLiteral("x")); }), notText);
}

TEST(PlmInputReaderText, CellsAreIndependentTerminatedStrings)
{
    // With a BOM, a sep= line, quotes, CR LF and a last line without a break.
    PlmInputSheet sheet = readOne("\xEF\xBB\xBFsep=;\r\nab;\"c;d\";\"e\"\"f\"\r\ngh;ij\n\"k\";l");
    const Grid expected = {{"ab", "c;d", "e\"f"}, {"gh", "ij"}, {"k", "l"}};
    ASSERT_EQ(sheet.grid, expected);
    for (const QStringList& row : std::as_const(sheet.grid))
        for (const QString& cell : row)
            EXPECT_EQ(cell.utf16()[cell.size()], 0) << cell.toStdString();

    // Growing or editing a cell in place changes no other cell nor a copy of the sheet.
    const PlmInputSheet copy = sheet;
    sheet.grid[0][0].append(QStringLiteral("XYZ"));
    sheet.grid[1][0][0] = u'G';
    sheet.grid[2][1].append(QStringLiteral("MNOP"));
    EXPECT_EQ(sheet.grid, Grid({{"abXYZ", "c;d", "e\"f"}, {"Gh", "ij"}, {"k", "lMNOP"}}));
    EXPECT_EQ(copy.grid, expected);
    sheet = PlmInputSheet();
    QStringList survivor = copy.grid[1];
    survivor[0].append(QStringLiteral("++++++++"));
    EXPECT_EQ(survivor, QStringList({"gh++++++++", "ij"}));
    EXPECT_EQ(copy.grid, expected);
}

TEST(PlmInputReaderText, UnevenRowsKeepTheirLengthsAndAreNoted)
{
    const PlmInputSheet sheet = readOne("a;b;c\n1;2\n\n3;4;5\n");
    EXPECT_EQ(sheet.grid, Grid({{"a", "b", "c"}, {"1", "2"}, {""}, {"3", "4", "5"}}));
    EXPECT_EQ(sheet.warnings, QStringList({QStringLiteral("Séparateur détecté : ;."), unevenNote}));
    // Blank rows do not count as a different length.
    EXPECT_EQ(readOne("a;b\n\n1;2\n").warnings.size(), 1);

    const PlmInputTable table(true, sheet.grid);
    EXPECT_EQ(table.names, QStringList({"a", "b", "c"}));
    EXPECT_EQ(table.rows, Grid({{"1", "2", ""}, {"3", "4", "5"}}));
}

TEST(PlmInputReaderText, SplitterLimits)
{
    QString wide = QString(PlmInputReader::maximumFieldsPerRow - 1, u';');
    EXPECT_EQ(PlmInputReader::parseDelimited(wide, u';').first().size(), 4096);
    // The last row of the text counts like the others.
    EXPECT_EQ(errorOf([&] { PlmInputReader::parseDelimited(wide + u';', u';'); }),
              QStringLiteral("Table trop volumineuse."));
    EXPECT_EQ(errorOf([&] { PlmInputReader::parseDelimited(wide + QStringLiteral(";\n"), u';'); }),
              QStringLiteral("Table trop volumineuse."));

    const QString tall(PlmInputReader::maximumRows, u'\n');
    EXPECT_EQ(PlmInputReader::parseDelimited(tall, u';').size(), 200000);
    EXPECT_EQ(errorOf([&] { PlmInputReader::parseDelimited(tall + u'x', u';'); }),
              QStringLiteral("Table trop volumineuse."));

    // 2,000 rows of 2,500 fields are 5,000,000 fields; one more is too many.
    const QString row = QString(2499, u';') + u'\n';
    QString many;
    many.reserve(row.size() * 2001);
    for (int i = 0; i < 2000; ++i)
        many += row;
    EXPECT_EQ(errorOf([&] { PlmInputReader::parseDelimited(many + u'x', u';'); }),
              QStringLiteral("Table trop volumineuse."));
}

TEST(PlmInputReaderBytes, SizeLimitAndSignatures)
{
    // The compound-file signature shows that a buffer of exactly 64 MiB passes the size check.
    QByteArray big(PlmInputReader::maximumFileSize, 'a');
    big[0] = char(0xD0), big[1] = char(0xCF), big[2] = char(0x11), big[3] = char(0xE0);
    const QString compound = QStringLiteral(
        "Ce classeur ancien ou chiffré ne peut pas être lu. Enregistrez une copie .xlsx non chiffrée.");
    EXPECT_EQ(errorOf([&] { PlmInputReader::read(big, QStringLiteral("x")); }), compound);
    big.append('a');
    EXPECT_EQ(errorOf([&] { PlmInputReader::read(big, QStringLiteral("x")); }),
              QStringLiteral("Fichier trop volumineux."));
    EXPECT_EQ(errorOf([&] { PlmInputReader::read(QByteArray("a\0b", 3), QStringLiteral("x")); }), notText);
}

// A large text file is decoded as it is read: whatever falls on the ends of the reads, the file
// gives the sheet (or the failure) that its bytes give.
TEST(PlmInputReaderBytes, LargeFileReadsAsItsBytes)
{
    QByteArray rows; // two- and three-byte characters everywhere, so some are cut by the reads
    for (int i = 0; rows.size() < 1'500'000; ++i)
        rows += "\xC3\x89vry \xE2\x82\xAC\xE2\x82\xAC" + QByteArray::number(i) + ";\xC3\xA9;" + QByteArray(i % 7, 'x') + "\r\n";
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"UTF-8", rows},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + rows},
        {"Windows-1252 near the end", rows + "caf\xE9;1\r\n"},
        {"cut character at the end", rows + "\xE2\x82"},
        {"NUL near the end", rows + QByteArray("a\0b", 3)},
        {"first separator failing near the end", rows + "\"a;b\",c\r\n"},
        {"unclosed quote at the end", rows + "\"a"},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const QString path = dir.filePath(QStringLiteral("grand.csv"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(c.bytes), c.bytes.size());
        file.close();
        QList<PlmInputSheet> fromFile, fromBytes;
        const QString fileError = errorOf([&] { fromFile = PlmInputReader::read(path); });
        const QString bytesError = errorOf([&] { fromBytes = PlmInputReader::read(c.bytes, QStringLiteral("grand.csv")); });
        EXPECT_EQ(fileError, bytesError) << c.name;
        EXPECT_TRUE(fromFile == fromBytes) << c.name;
    }
}

TEST(PlmInputReaderBytes, FilesAreCheckedBeforeReading)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("données.csv"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("code;valeur\n01;5\n");
    file.close();
    const QList<PlmInputSheet> sheets = PlmInputReader::read(path);
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(sheets.first().name, QStringLiteral("données.csv"));
    EXPECT_EQ(sheets.first().grid.size(), 2);

    // A sparse file larger than the limit is refused from its size alone.
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(PlmInputReader::maximumFileSize + 1));
    file.close();
    EXPECT_EQ(errorOf([&] { PlmInputReader::read(path); }), QStringLiteral("Fichier trop volumineux (maximum 64 Mo)."));
    EXPECT_EQ(errorOf([&] { PlmInputReader::read(dir.path()); }), notText);
    EXPECT_TRUE(errorOf([&] { PlmInputReader::read(dir.filePath(QStringLiteral("absent.csv"))); })
                    .startsWith(QStringLiteral("Lecture du fichier impossible")));
}

TEST(PlmInputReaderHeader, KnownWordsNumbersBelowAndRefusals)
{
    EXPECT_TRUE(PlmInputReader::hasHeaderRow({{"Code", "Population"}, {"01", "12"}}));
    EXPECT_TRUE(PlmInputReader::hasHeaderRow({{"Zone A", "Zone B"}, {"1", "2"}}));
    EXPECT_TRUE(PlmInputReader::hasHeaderRow({{"Département", "x"}, {"a", "b"}}));
    EXPECT_TRUE(PlmInputReader::hasHeaderRow({{"CODE_INSEE", "x"}, {"a", "b"}}));
    EXPECT_FALSE(PlmInputReader::hasHeaderRow({{"Code", ""}, {"1", "2"}}));
    EXPECT_FALSE(PlmInputReader::hasHeaderRow({{"Région", "region"}, {"1", "2"}}));
    EXPECT_FALSE(PlmInputReader::hasHeaderRow({{"Zone A", "12"}, {"1", "2"}}));
    EXPECT_FALSE(PlmInputReader::hasHeaderRow({{"Zone A", "Zone B"}, {"x", "y"}}));
    EXPECT_FALSE(PlmInputReader::hasHeaderRow({{"Code", "Population"}}));
    // Only rows 2 to 21 are examined for numbers.
    Grid grid{{"Alpha", "Beta"}};
    for (int i = 0; i < 20; ++i)
        grid.append(QStringList{"x", "y"});
    grid.append(QStringList{"1", "2"});
    EXPECT_FALSE(PlmInputReader::hasHeaderRow(grid));
    grid[20] = {"1", "y"};
    EXPECT_TRUE(PlmInputReader::hasHeaderRow(grid));
}

TEST(PlmInputReaderTypes, SuggestedTypeOfAColumn)
{
    EXPECT_EQ(PlmInputReader::suggestedType(0, {{"01"}, {"02"}}), PlmVariableType::text);
    EXPECT_EQ(PlmInputReader::suggestedType(0, {{"12 %"}, {"3,5 %"}, {" "}}), PlmVariableType::percentage);
    EXPECT_EQ(PlmInputReader::suggestedType(0, {{"12"}, {"n/a"}}), PlmVariableType::text);
    EXPECT_EQ(PlmInputReader::suggestedType(0, {{""}, {" "}}), PlmVariableType::text);
    EXPECT_EQ(PlmInputReader::suggestedType(0, {{"1 234,5"}, {"0,5"}, {"-3"}}), PlmVariableType::number);
    // A percentage sign on some cells only, all numbers: still numbers read as percentages.
    EXPECT_EQ(PlmInputReader::suggestedType(1, {{"a", "12"}, {"b", "4 %"}}), PlmVariableType::percentage);
    EXPECT_EQ(PlmInputReader::suggestedType(0, {{"0"}, {"7"}}), PlmVariableType::number);
}

TEST(PlmInputTableCut, NamesPaddingAndBlankRows)
{
    const PlmInputTable withHeader(true, {{"Code", ""}, {"a", "1", "x"}, {" ", "\n"}, {"b"}});
    EXPECT_EQ(withHeader.names, QStringList({"Code", "Colonne 2", "Colonne 3"}));
    EXPECT_EQ(withHeader.rows, Grid({{"a", "1", "x"}, {"b", "", ""}}));

    const PlmInputTable without(false, {{" Code "}, {"a", "b"}});
    EXPECT_EQ(without.names, QStringList({"Colonne 1", "Colonne 2"}));
    EXPECT_EQ(without.rows, Grid({{" Code ", ""}, {"a", "b"}}));

    const PlmInputTable empty(true, {});
    EXPECT_TRUE(empty.names.isEmpty());
    EXPECT_TRUE(empty.rows.isEmpty());
}

TEST(PlmInputReaderLegacy, SheetOfAnOlderTable)
{
    PlmLegacyTableContent table;
    table.rows = {{0, QStringLiteral("Ain")}, {1, QString()}, {7, QStringLiteral("Var")}};
    table.columns = {{QStringLiteral("POP"), {{0, 12.0}, {7, 0.1}}}, {QStringLiteral("Taux"), {{1, -2.5}}}};
    table.warnings = {QStringLiteral("Note du tableau.")};
    const PlmInputSheet sheet = PlmInputReader::legacySheet(table, QStringLiteral("t.tab"));
    EXPECT_EQ(sheet.name, QStringLiteral("t.tab"));
    EXPECT_EQ(sheet.warnings, table.warnings);
    EXPECT_EQ(sheet.grid, Grid({{"Identifiant", "POP", "Taux"}, {"Ain", "12.0", ""}, {"1", "", "-2.5"}, {"Var", "0.1", ""}}));
}

TEST(PlmInputReaderLegacy, RecognisedBytesGoToTheRegisteredParser)
{
    QByteArray bytes(2052, '\0');
    bytes[5] = 1;
    bytes[7] = 9;
    EXPECT_TRUE(PlmInputReader::isLegacyTable(bytes));
    EXPECT_FALSE(PlmInputReader::isLegacyTable(bytes.left(2051)));
    bytes[7] = 11;
    EXPECT_FALSE(PlmInputReader::isLegacyTable(bytes));
    bytes[7] = 10;

    PlmInputReader::setLegacyTableParser({});
    EXPECT_EQ(errorOf([&] { PlmInputReader::read(bytes, QStringLiteral("t.tab")); }),
              QStringLiteral("Tableau Pelmora : en-tête historique non reconnu."));

    PlmInputReader::setLegacyTableParser([](const QByteArray& data) {
        PlmLegacyTableContent table;
        table.rows = {{0, QStringLiteral("A")}};
        table.columns = {{QStringLiteral("N"), {{0, double(data.size())}}}};
        return table;
    });
    const PlmInputSheet sheet = readOne(bytes, QStringLiteral("t.tab"));
    EXPECT_EQ(sheet.grid, Grid({{"Identifiant", "N"}, {"A", "2052.0"}}));
    EXPECT_TRUE(sheet.warnings.isEmpty());

    const QString refusal = QStringLiteral("Tableau Pelmora : structure non qualifiée ou fichier tronqué "
                                           "(noms/cellules/lignes). L’original est conservé intact.");
    PlmInputReader::setLegacyTableParser([&](const QByteArray&) -> PlmLegacyTableContent {
        throw PlmMapError::invalid(refusal);
    });
    EXPECT_EQ(errorOf([&] { PlmInputReader::read(bytes, QStringLiteral("t.tab")); }), refusal);
    PlmInputReader::setLegacyTableParser({});
}
