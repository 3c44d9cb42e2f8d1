// Reading a 35,000-row table: as delimited text (UTF-8, ";" with quoted fields) and as an
// XLSX workbook (shared strings, numbers, percentages, codes with leading zeros), both
// generated here; then the import dialog's first steps on the sheet.
#include "data/PlmInputReader.h"
#include "data/PlmInputTable.h"

#include "../tests/support/ZipTestWriter.h"

#include <QHash>

#include <benchmark/benchmark.h>

#include <cmath>

#include <random>

namespace {

constexpr int rows = 35000;
constexpr int numericColumns = 8;

struct Table {
    QList<QStringList> cells; // with the header row
};

const Table& table()
{
    static const Table t = [] {
        Table table;
        std::mt19937_64 rng(11);
        std::lognormal_distribution<double> population(8.0, 2.0);
        std::uniform_real_distribution<double> share(0.0, 1.0);
        QStringList header{QStringLiteral("code_insee"), QStringLiteral("Nom"), QStringLiteral("Région")};
        for (int c = 0; c < numericColumns; ++c)
            header.append(QStringLiteral("Valeur %1").arg(c + 1));
        header.append(QStringLiteral("Part"));
        table.cells.append(header);
        const QStringList regions{QStringLiteral("Île-de-France"), QStringLiteral("Bretagne"),
                                  QStringLiteral("Provence; Alpes"), QStringLiteral("Grand \"Est\"")};
        for (int i = 0; i < rows; ++i) {
            QStringList row{QStringLiteral("%1").arg(i + 1001, 5, 10, QLatin1Char('0')),
                            QStringLiteral("Commune n° %1 de l’Étang").arg(i), regions.at(i % regions.size())};
            for (int c = 0; c < numericColumns; ++c)
                row.append(QString::number(std::round(population(rng) * 10) / 10, 'g', 12));
            row.append(QString::number(std::round(share(rng) * 1000) / 1000, 'g', 6));
            table.cells.append(row);
        }
        return table;
    }();
    return t;
}

QByteArray csvBytes()
{
    QString text;
    for (const QStringList& row : table().cells) {
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

QByteArray escaped(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

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
    for (qsizetype r = 0; r < table().cells.size(); ++r) {
        const QStringList& row = table().cells.at(r);
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
    return book.bytes();
}

void BM_ReadCsv(benchmark::State& state)
{
    const QByteArray bytes = csvBytes();
    for (auto _ : state) {
        const QList<PlmInputSheet> sheets = PlmInputReader::read(bytes, QStringLiteral("communes.csv"));
        if (sheets.first().grid.size() != rows + 1)
            state.SkipWithError("wrong row count");
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.SetItemsProcessed(state.iterations() * rows);
}

void BM_ReadXlsx(benchmark::State& state)
{
    const QByteArray bytes = xlsxBytes();
    for (auto _ : state) {
        const QList<PlmInputSheet> sheets = PlmInputReader::read(bytes, QStringLiteral("communes.xlsx"));
        if (sheets.first().grid.size() != rows + 1 || sheets.first().grid.at(1).first() != QLatin1String("01001"))
            state.SkipWithError("wrong sheet");
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.SetItemsProcessed(state.iterations() * rows);
}

// What the import dialog does first with a sheet: the header guess, the table and each
// column's suggested type.
void BM_PrepareImport(benchmark::State& state)
{
    const QList<QStringList> grid = PlmInputReader::read(csvBytes(), QStringLiteral("communes.csv")).first().grid;
    for (auto _ : state) {
        const PlmInputTable cut(PlmInputReader::hasHeaderRow(grid), grid);
        for (qsizetype c = 0; c < cut.names.size(); ++c)
            benchmark::DoNotOptimize(PlmInputReader::suggestedType(c, cut.rows));
    }
    state.SetItemsProcessed(state.iterations() * rows);
}

} // namespace

BENCHMARK(BM_ReadCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadXlsx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrepareImport)->Unit(benchmark::kMillisecond);
