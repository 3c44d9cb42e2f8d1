#include "tables/PlmInputReader.h"

#include "model/PlmErrors.h"

#include <QMutex>

#include <charconv>
#include <cmath>
#include <memory>

namespace {

QMutex parserMutex;
std::shared_ptr<const PlmInputReader::LegacyTableParser> registeredParser;

// The shortest text that reads back to the same double, "12.0" for an integral value.
QString legacyNumberText(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    if (std::isfinite(value) && !text.contains(u'.') && !text.contains(u'e'))
        text += QStringLiteral(".0");
    return text;
}

} // namespace

void PlmInputReader::setLegacyTableParser(LegacyTableParser parser)
{
    QMutexLocker lock(&parserMutex);
    registeredParser = parser ? std::make_shared<const LegacyTableParser>(std::move(parser)) : nullptr;
}

bool PlmInputReader::isLegacyTable(const QByteArray& data)
{
    if (data.size() < 2052)
        return false;
    const auto byte = [&](int i) { return static_cast<unsigned char>(data.at(i)); };
    const int version = (byte(6) << 8) | byte(7);
    return byte(4) == 0x00 && byte(5) == 0x01 && (version == 9 || version == 10);
}

PlmLegacyTableContent PlmInputReader::parseLegacyTable(const QByteArray& data)
{
    std::shared_ptr<const LegacyTableParser> parser;
    {
        QMutexLocker lock(&parserMutex);
        parser = registeredParser;
    }
    if (!parser)
        throw PlmMapError::invalid(QStringLiteral("Tableau Pelmora : en-tête historique non reconnu."));
    return (*parser)(data);
}

PlmInputSheet PlmInputReader::legacySheet(const PlmLegacyTableContent& table, const QString& fileName)
{
    PlmInputSheet sheet;
    sheet.name = fileName;
    sheet.warnings = table.warnings;
    QStringList header{QStringLiteral("Identifiant")};
    for (const PlmLegacyTableContent::Column& column : table.columns)
        header.append(column.name);
    sheet.grid.reserve(table.rows.size() + 1);
    sheet.grid.append(header);
    for (const PlmLegacyTableContent::Row& row : table.rows) {
        QStringList cells;
        cells.reserve(header.size());
        cells.append(row.label.isEmpty() ? QString::number(row.index) : row.label);
        for (const PlmLegacyTableContent::Column& column : table.columns) {
            const auto value = column.values.constFind(row.index);
            cells.append(value == column.values.cend() ? QString() : legacyNumberText(*value));
        }
        sheet.grid.append(cells);
    }
    return sheet;
}
