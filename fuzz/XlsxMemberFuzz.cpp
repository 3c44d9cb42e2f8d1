// One member of an otherwise valid workbook: the first byte chooses the member (workbook,
// relationships, sheet, shared strings, styles) that the rest of the input replaces, so that
// the XML readers are reached without the fuzzer having to build an archive.
#include "FuzzSupport.h"
#include "tables/PlmInputReader.h"
#include "support/ZipTestWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const QList<ZipTest::Entry> valid = [] {
        XlsxTest::Book book;
        book.sheets.append({"Feuil1", {},
                            XlsxTest::worksheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c></row>"
                                                "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>Lyon</t></is></c>"
                                                "<c r=\"B2\" s=\"1\"><v>45000.5</v></c></row>")});
        book.sharedStrings = "<si><t>Nom</t></si><si><r><t>Da</t></r><r><t>te</t></r></si>";
        book.styles = XlsxTest::stylesPart({0, 164}, "<numFmt numFmtId=\"164\" formatCode=\"dd/mm/yyyy\"/>");
        book.deflate = false;
        return book.entries();
    }();
    QList<ZipTest::Entry> entries = valid;
    const qsizetype chosen = qsizetype(data[0]) % entries.size();
    entries[chosen].content = Fuzz::bytes(data + 1, size - 1);
    const QByteArray workbook = ZipTest::makeZip(entries).bytes;
    Fuzz::refusalIsFine([&] { PlmInputReader::readWorkbook(workbook); });
    return 0;
}
