#include "support/BenchTables.h"

#include "../../tests/support/ZipTestWriter.h"

#include <QHash>

#include <cmath>
#include <random>

namespace BenchTables {

const QList<QStringList>& cells()
{
    static const QList<QStringList> t = [] {
        QList<QStringList> table;
        std::mt19937_64 rng(11);
        std::lognormal_distribution<double> population(8.0, 2.0);
        std::uniform_real_distribution<double> share(0.0, 1.0);
        QStringList header{QStringLiteral("code_insee"), QStringLiteral("Nom"), QStringLiteral("Région")};
        for (int c = 0; c < numericColumns; ++c)
            header.append(QStringLiteral("Valeur %1").arg(c + 1));
        header.append(QStringLiteral("Part"));
        table.append(header);
        const QStringList regions{QStringLiteral("Île-de-France"), QStringLiteral("Bretagne"),
                                  QStringLiteral("Provence; Alpes"), QStringLiteral("Grand \"Est\"")};
        for (int i = 0; i < rows; ++i) {
            QStringList row{QStringLiteral("%1").arg(i + 1001, 5, 10, QLatin1Char('0')),
                            QStringLiteral("Commune n° %1 de l’Étang").arg(i), regions.at(i % regions.size())};
            for (int c = 0; c < numericColumns; ++c)
                row.append(QString::number(std::round(population(rng) * 10) / 10, 'g', 12));
            row.append(QString::number(std::round(share(rng) * 1000) / 1000, 'g', 6));
            table.append(row);
        }
        return table;
    }();
    return t;
}

QByteArray csvBytes()
{
    QString text;
    for (const QStringList& row : cells()) {
        QStringList fields;
        for (QString field : row) {
            if (field.contains(u';') || field.contains(u'"'))
                field = u'"' + field.replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
            fields.append(field.replace(u'.', u','));
        }
        text += fields.join(u';') + QStringLiteral("\r\n");
    }
    return text.toUtf8();
}

namespace {

QByteArray escaped(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

} // namespace

QByteArray xlsxBytes()
{
    XlsxTest::Book book;
    QHash<QString, int> shared;
    QByteArray strings;
    const auto stringIndex = [&](const QString& text) {
        auto it = shared.find(text);
        if (it == shared.end()) {
            it = shared.insert(text, int(shared.size()));
            strings += "<si><t>" + escaped(text) + "</t></si>";
        }
        return QByteArray::number(*it);
    };
    QByteArray sheetRows;
    sheetRows.reserve(rows * 400);
    const QByteArray letters = "ABCDEFGHIJKL";
    for (qsizetype r = 0; r < cells().size(); ++r) {
        const QStringList& row = cells().at(r);
        const QByteArray n = QByteArray::number(r + 1);
        sheetRows += "<row r=\"" + n + "\">";
        for (qsizetype c = 0; c < row.size(); ++c) {
            const QByteArray ref = letters.mid(c, 1) + n;
            if (r == 0 || c == 1 || c == 2)
                sheetRows += "<c r=\"" + ref + "\" t=\"s\"><v>" + stringIndex(row.at(c)) + "</v></c>";
            else if (c == 0)
                sheetRows += "<c r=\"" + ref + "\" s=\"1\"><v>" + QByteArray::number(row.at(c).toInt()) + "</v></c>";
            else if (c == row.size() - 1)
                sheetRows += "<c r=\"" + ref + "\" s=\"2\"><v>" + row.at(c).toLatin1() + "</v></c>";
            else
                sheetRows += "<c r=\"" + ref + "\"><v>" + row.at(c).toLatin1() + "</v></c>";
        }
        sheetRows += "</row>";
    }
    book.sharedStrings = strings;
    book.styles = XlsxTest::stylesPart({0, 164, 10}, "<numFmt numFmtId=\"164\" formatCode=\"00000\"/>");
    book.sheets.append({"Communes", {}, XlsxTest::worksheet(sheetRows)});
    // The package parts other readers need to find the workbook (ours goes by fixed names).
    QList<ZipTest::Entry> entries = book.entries();
    const QByteArray ct = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
    entries.prepend({"_rels/.rels",
                     "<?xml version=\"1.0\"?><Relationships "
                     "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                     "<Relationship Id=\"rId1\" "
                     "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
                     "Target=\"xl/workbook.xml\"/></Relationships>",
                     true});
    entries.prepend({"[Content_Types].xml",
                     "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                     "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                     "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                     "<Override PartName=\"/xl/workbook.xml\" ContentType=\""
                         + ct + "sheet.main+xml\"/>"
                     "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\""
                         + ct + "worksheet+xml\"/>"
                     "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\""
                         + ct + "sharedStrings+xml\"/>"
                     "<Override PartName=\"/xl/styles.xml\" ContentType=\""
                         + ct + "styles+xml\"/></Types>",
                     true});
    return ZipTest::makeZip(entries).bytes;
}

} // namespace BenchTables
