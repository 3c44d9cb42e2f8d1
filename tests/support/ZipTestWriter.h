#pragma once

// Small ZIP archives and XLSX workbooks written by the tests themselves, with the offsets of
// every record so that a test can damage one field on purpose.

#include <QByteArray>
#include <QList>
#include <QString>

#include <zlib.h>

namespace ZipTest {

struct Entry {
    QByteArray name;
    QByteArray content;
    bool deflate = true;
};

struct Archive {
    QByteArray bytes;
    QList<qint64> localOffsets;
    QList<qint64> centralOffsets;
    qint64 endOffset = 0;
};

inline void put16(QByteArray& out, quint32 v)
{
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

inline void put32(QByteArray& out, quint32 v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

inline void patch16(QByteArray& out, qint64 at, quint32 v)
{
    out[at] = char(v & 0xFF);
    out[at + 1] = char((v >> 8) & 0xFF);
}

inline void patch32(QByteArray& out, qint64 at, quint32 v)
{
    patch16(out, at, v & 0xFFFF);
    patch16(out, at + 2, v >> 16);
}

// Raw deflate (no zlib header), as ZIP stores it.
inline QByteArray rawDeflate(const QByteArray& data)
{
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&stream, uLong(data.size()))), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

inline quint32 crcOf(const QByteArray& data)
{
    return quint32(crc32(0L, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size())));
}

inline Archive makeZip(const QList<Entry>& entries, const QByteArray& comment = {})
{
    Archive archive;
    QByteArray& out = archive.bytes;
    QList<QByteArray> stored;
    for (const Entry& e : entries) {
        const QByteArray data = e.deflate ? rawDeflate(e.content) : e.content;
        stored.append(data);
        archive.localOffsets.append(out.size());
        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, 0);
        put16(out, e.deflate ? 8 : 0);
        put32(out, 0);
        put32(out, crcOf(e.content));
        put32(out, quint32(data.size()));
        put32(out, quint32(e.content.size()));
        put16(out, quint32(e.name.size()));
        put16(out, 0);
        out.append(e.name);
        out.append(data);
    }
    const qint64 directory = out.size();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Entry& e = entries.at(i);
        archive.centralOffsets.append(out.size());
        put32(out, 0x02014b50);
        put16(out, 20);
        put16(out, 20);
        put16(out, 0);
        put16(out, e.deflate ? 8 : 0);
        put32(out, 0);
        put32(out, crcOf(e.content));
        put32(out, quint32(stored.at(i).size()));
        put32(out, quint32(e.content.size()));
        put16(out, quint32(e.name.size()));
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put32(out, 0);
        put32(out, quint32(archive.localOffsets.at(i)));
        out.append(e.name);
    }
    archive.endOffset = out.size();
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint32(entries.size()));
    put16(out, quint32(entries.size()));
    put32(out, quint32(out.size() - 12 - directory));
    put32(out, quint32(directory));
    put16(out, quint32(comment.size()));
    out.append(comment);
    return archive;
}

} // namespace ZipTest

namespace XlsxTest {

inline QByteArray worksheet(const QByteArray& rows, const QByteArray& after = {})
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
           "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
           "<sheetData>"
        + rows + "</sheetData>" + after + "</worksheet>";
}

// A workbook: sheet i is the part xl/worksheets/sheet<i+1>.xml under relationship rId<i+1>.
struct Book {
    struct Sheet {
        QByteArray name;       // none when empty
        QByteArray attributes; // extra attributes of the sheet element
        QByteArray xml;
    };
    QList<Sheet> sheets;
    QByteArray sharedStrings; // the <si> elements; no part when empty
    QByteArray styles;        // the whole styles part; none when empty
    QByteArray workbookPr;    // an element put before <sheets>
    bool deflate = true;

    QList<ZipTest::Entry> entries() const
    {
        QByteArray sheetElements;
        QByteArray relationships;
        QList<ZipTest::Entry> list;
        for (qsizetype i = 0; i < sheets.size(); ++i) {
            const QByteArray n = QByteArray::number(i + 1);
            const Sheet& s = sheets.at(i);
            sheetElements += "<sheet " + (s.name.isEmpty() ? QByteArray() : "name=\"" + s.name + "\" ")
                + "sheetId=\"" + n + "\" r:id=\"rId" + n + "\" " + s.attributes + "/>";
            relationships += "<Relationship Id=\"rId" + n
                + "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
                  "Target=\"worksheets/sheet"
                + n + ".xml\"/>";
            list.append({"xl/worksheets/sheet" + n + ".xml", s.xml, deflate});
        }
        list.prepend({"xl/_rels/workbook.xml.rels",
                      "<?xml version=\"1.0\"?><Relationships "
                      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                          + relationships + "</Relationships>",
                      deflate});
        list.prepend({"xl/workbook.xml",
                      "<?xml version=\"1.0\"?><workbook "
                      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                          + workbookPr + "<sheets>" + sheetElements + "</sheets></workbook>",
                      deflate});
        if (!sharedStrings.isEmpty())
            list.append({"xl/sharedStrings.xml",
                          "<?xml version=\"1.0\"?><sst "
                          "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                              + sharedStrings + "</sst>",
                          deflate});
        if (!styles.isEmpty())
            list.append({"xl/styles.xml", styles, deflate});
        return list;
    }

    QByteArray bytes() const { return ZipTest::makeZip(entries()).bytes; }
};

// A one-sheet workbook named "Feuil1" holding the given rows.
inline QByteArray oneSheet(const QByteArray& rows, const QByteArray& styles = {}, const QByteArray& shared = {})
{
    Book book;
    book.sheets.append({"Feuil1", {}, worksheet(rows)});
    book.styles = styles;
    book.sharedStrings = shared;
    return book.bytes();
}

// A styles part whose cell style i uses the number-format id ids[i], with custom formats.
inline QByteArray stylesPart(const QList<int>& ids, const QByteArray& numFmts = {})
{
    QByteArray xfs;
    for (int id : ids)
        xfs += "<xf numFmtId=\"" + QByteArray::number(id) + "\" fontId=\"0\"/>";
    return "<?xml version=\"1.0\"?><styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
           "<numFmts>"
        + numFmts + "</numFmts><cellXfs count=\"" + QByteArray::number(ids.size()) + "\">" + xfs
        + "</cellXfs></styleSheet>";
}

} // namespace XlsxTest
