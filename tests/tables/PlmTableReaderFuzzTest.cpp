#include "tables/PlmInputReader.h"
#include "tables/XMLNode.h"
#include "tables/ZIP.h"
#include "support/TableReaderTestSupport.h"
#include "support/ZipTestWriter.h"

#include <gtest/gtest.h>

#include <random>

// Damaged files, made by mutating and truncating valid ones: every reading must either succeed
// or fail with one of our French messages, never crash, hang or throw anything else.

namespace {

QByteArray sampleText()
{
    return "sep=;\r\nCode;Nom;\"Population\";Part\n01;\"Ain; \"\"l’\"\"\";652 432;12,5 %\n"
           "02;Aisne\n\n2A;\"Corse\ndu Sud\";158 507;3,1 %\n";
}

XlsxTest::Book sampleBook()
{
    XlsxTest::Book book;
    book.sharedStrings = "<si><t>Code</t></si><si><r><t>Nom</t></r><r><t> long</t></r></si><si><t>Ain</t></si>";
    book.styles = XlsxTest::stylesPart({0, 14, 10, 164, 22},
                                       "<numFmt numFmtId=\"164\" formatCode=\"00000\"/>");
    book.workbookPr = "<workbookPr date1904=\"0\"/>";
    book.sheets.append(
        {"Données", {},
         XlsxTest::worksheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c></row>"
                             "<row r=\"2\"><c r=\"A2\" s=\"3\"><v>1001</v></c><c r=\"B2\" t=\"s\"><v>2</v></c>"
                             "<c r=\"C2\" s=\"1\"><v>44927</v></c><c r=\"D2\" s=\"2\"><v>0.125</v></c>"
                             "<c r=\"E2\" s=\"4\"><f>C2</f><v>44927.5</v></c><c r=\"F2\" t=\"b\"><v>1</v></c></row>",
                             "<mergeCells><mergeCell ref=\"A1:B1\"/></mergeCells>")});
    book.sheets.append({"Deux", "state=\"hidden\"",
                        XlsxTest::worksheet("<row><c r=\"A1\" t=\"inlineStr\"><is><t>x</t></is></c></row>")});
    return book;
}

class Mutator {
public:
    // PELMORA_FUZZ_SEED shifts every seed, for longer runs by hand.
    explicit Mutator(unsigned seed)
        : m_random(seed + unsigned(qEnvironmentVariableIntValue("PELMORA_FUZZ_SEED")))
    {
    }

    int below(int n) { return std::uniform_int_distribution<int>(0, std::max(0, n - 1))(m_random); }

    QByteArray mutate(QByteArray bytes)
    {
        const int steps = 1 + below(4);
        for (int i = 0; i < steps && !bytes.isEmpty(); ++i) {
            const int at = below(int(bytes.size()));
            switch (below(6)) {
            case 0: bytes[at] = char(bytes.at(at) ^ (1 << below(8))); break;
            case 1: bytes[at] = char(below(256)); break;
            case 2: bytes.truncate(at); break;
            case 3: bytes.insert(at, bytes.mid(below(int(bytes.size())), 1 + below(16))); break;
            case 4: bytes.remove(at, 1 + below(8)); break;
            default: bytes[at] = "<>\"&;/:0xF"[below(10)]; break;
            }
        }
        return bytes;
    }

private:
    std::mt19937 m_random;
};

// Runs the reading; true when it succeeded, false for our refusal. Anything else fails the test.
template <typename F>
bool readsOrRefuses(F&& read, const QByteArray& input)
{
    try {
        read();
        return true;
    } catch (const PlmError& error) {
        EXPECT_FALSE(error.message().isEmpty());
        return false;
    } catch (const std::exception& other) {
        ADD_FAILURE() << "unexpected exception " << other.what() << " for " << input.toHex().constData();
    } catch (...) {
        ADD_FAILURE() << "unknown exception for " << input.toHex().constData();
    }
    return false;
}

} // namespace

TEST(TableReaderFuzz, ValidSamplesAreRead)
{
    EXPECT_EQ(PlmInputReader::read(sampleText(), QStringLiteral("t.csv")).first().grid.size(), 5);
    const auto sheets = PlmInputReader::read(sampleBook().bytes(), QStringLiteral("t.xlsx"));
    ASSERT_EQ(sheets.size(), 2);
    EXPECT_EQ(sheets.first().grid.at(1),
              QStringList({"01001", "Ain", "2023-01-01", "12,5 %", "2023-01-01T12:00:00.000Z", "Vrai"}));
}

TEST(TableReaderFuzz, MutatedTextsAndWholeFiles)
{
    Mutator mutator(20261207);
    const QByteArray text = sampleText();
    XlsxTest::Book book = sampleBook();
    const QByteArray deflated = book.bytes();
    book.deflate = false;
    const QByteArray stored = book.bytes();
    int read = 0;
    for (int i = 0; i < 3000; ++i) {
        for (const QByteArray* source : {&text, &deflated, &stored}) {
            const QByteArray input = mutator.mutate(*source);
            read += readsOrRefuses([&] { PlmInputReader::read(input, QStringLiteral("f")); }, input);
        }
    }
    EXPECT_GT(read, 0);
}

TEST(TableReaderFuzz, EveryTruncationOfAWorkbook)
{
    const QByteArray bytes = sampleBook().bytes();
    // From "PK" on, a cut workbook is never text.
    for (qsizetype n = 2; n < bytes.size(); ++n) {
        const QByteArray input = bytes.left(n);
        EXPECT_FALSE(readsOrRefuses([&] { PlmInputReader::read(input, QStringLiteral("f")); }, input)) << n;
    }
}

TEST(TableReaderFuzz, MutatedPartsInsideSoundArchives)
{
    // The archive stays sound (sizes and CRCs rewritten) so the damage reaches the XML and
    // the cell rules.
    Mutator mutator(7);
    const QList<ZipTest::Entry> entries = sampleBook().entries();
    int read = 0;
    for (int i = 0; i < 2500; ++i) {
        QList<ZipTest::Entry> changed = entries;
        const int part = mutator.below(int(changed.size()));
        changed[part].content = mutator.mutate(changed[part].content);
        changed[part].deflate = false;
        const QByteArray input = ZipTest::makeZip(changed).bytes;
        read += readsOrRefuses([&] { PlmInputReader::read(input, QStringLiteral("f")); }, input);
        readsOrRefuses([&] { XMLNode::parse(changed[part].content); }, changed[part].content);
    }
    EXPECT_GT(read, 0);
}

TEST(TableReaderFuzz, MutatedArchiveRecords)
{
    Mutator mutator(11);
    const auto archive = ZipTest::makeZip(sampleBook().entries());
    QList<qint64> fields = archive.centralOffsets + archive.localOffsets;
    fields.append(archive.endOffset);
    for (int i = 0; i < 3000; ++i) {
        QByteArray input = archive.bytes;
        // Damage one header field: a count, a size, an offset or a length.
        const qint64 at = fields.at(mutator.below(int(fields.size()))) + mutator.below(46);
        if (at + 4 <= input.size())
            ZipTest::patch32(input, at, quint32(mutator.below(1 << 16)) * (mutator.below(2) ? 1u : 65537u));
        readsOrRefuses(
            [&] {
                const ZIP zip(input);
                for (auto it = zip.entries().cbegin(); it != zip.entries().cend(); ++it)
                    readsOrRefuses([&] { zip.data(it.key()); }, input);
            },
            input);
    }
}
