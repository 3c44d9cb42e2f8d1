#pragma once

// The 48 contiguous states as a Shapefile without .prj brings them (degree squares on a grid;
// a table with STATE_NAME, STATE_FIPS as text with leading zeros and STATE_ID numbering the
// records from 1, no field called name, nom or label) and as a GeoJSON file, the map the
// Shapefile's import gives, and the CSV of incomes a person brings for them: Name, STATE_FIPS
// as plain numbers, then one column per year. The records do not run in FIPS order, so 41 of
// the FIPS numbers happen to be some other state's STATE_ID.

#include "model/PlmEntity.h"
#include "model/PlmGeometry.h"
#include "model/PlmMap.h"
#include "support/ShapefileTestWriter.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <algorithm>
#include <numeric>

namespace UsStatesFixture {

struct State {
    const char* name;
    int fips;
};

constexpr int stateCount = 48;

// In record order, west to east by rows as the usual file has them, Washington first.
inline constexpr State states[stateCount] = {
    {"Washington", 53}, {"Montana", 30}, {"Maine", 23}, {"North Dakota", 38}, {"South Dakota", 46},
    {"Wyoming", 56}, {"Wisconsin", 55}, {"Idaho", 16}, {"Vermont", 50}, {"Minnesota", 27},
    {"Oregon", 41}, {"New Hampshire", 33}, {"Iowa", 19}, {"Massachusetts", 25}, {"Nebraska", 31},
    {"New York", 36}, {"Pennsylvania", 42}, {"Connecticut", 9}, {"Rhode Island", 44}, {"New Jersey", 34},
    {"Indiana", 18}, {"Nevada", 32}, {"Utah", 49}, {"California", 6}, {"Ohio", 39},
    {"Illinois", 17}, {"Delaware", 10}, {"West Virginia", 54}, {"Maryland", 24}, {"Colorado", 8},
    {"Kentucky", 21}, {"Kansas", 20}, {"Virginia", 51}, {"Missouri", 29}, {"Arizona", 4},
    {"Oklahoma", 40}, {"North Carolina", 37}, {"Tennessee", 47}, {"Texas", 48}, {"New Mexico", 35},
    {"Alabama", 1}, {"Mississippi", 28}, {"Georgia", 13}, {"South Carolina", 45}, {"Arkansas", 5},
    {"Louisiana", 22}, {"Florida", 12}, {"Michigan", 26},
};

// State k's outline: a 4° square of an 8 × 6 grid, 7° apart eastward, over lon −125…−72, lat 25…49.
inline QList<PlmPoint> outline(int k)
{
    return ShapefileTestWriter::square(-125.0 + 7.0 * (k % 8), 25.0 + 4.0 * (k / 8), 4.0);
}

// The table's fields and values of state k, in the file's order, as the dBASE reader gives them.
inline QList<std::pair<QString, QString>> fields(int k)
{
    return {{QStringLiteral("STATE_NAME"), QString::fromUtf8(states[k].name)},
            {QStringLiteral("STATE_FIPS"), QStringLiteral("%1").arg(states[k].fips, 2, 10, QLatin1Char('0'))},
            {QStringLiteral("STATE_ID"), QString::number(k + 1)}};
}

inline ShapefileTestWriter::Shp shp()
{
    ShapefileTestWriter::Shp out;
    for (int k = 0; k < stateCount; ++k)
        out.addParts(5, {outline(k)});
    return out;
}

inline ShapefileTestWriter::Dbf dbf()
{
    ShapefileTestWriter::Dbf out;
    for (const auto& [field, value] : fields(0))
        out.fields << ShapefileTestWriter::Dbf::Field{field.toLatin1(), field == QLatin1String("STATE_NAME") ? 25 : 4};
    for (int k = 0; k < stateCount; ++k) {
        ShapefileTestWriter::Dbf::Row record;
        for (const auto& [field, value] : fields(k))
            record.values << value.toUtf8();
        out.rows << record;
    }
    out.languageDriver = 0x57; // Windows-1252, declared
    return out;
}

// The map the import gives: ids from the record numbers, names from STATE_NAME, outlines one
// pixel wide at the fitted view (the grid is 53° wide).
inline PlmMap map()
{
    PlmEntityList entities;
    const PlmStyle style(PlmColor{0.2, 0.25, 0.3, 1}, PlmColor{0.85, 0.9, 0.95, 1}, 53.0 / 1000, 4.0);
    for (int k = 0; k < stateCount; ++k) {
        QMap<QString, QString> attributes;
        for (const auto& [field, value] : fields(k))
            attributes.insert(field, value);
        entities.append(PlmEntity(QStringLiteral("shp:%1").arg(k + 1), QString::fromUtf8(states[k].name),
                                  PlmGeometry::polygon(PlmPolygon{outline(k), {}}), style, attributes));
    }
    return PlmMap(QStringLiteral("states"), entities);
}

// The same states as a GeoJSON file brings them: the table's fields as properties (STATE_ID a
// number), no feature id and no property called name, NAME or nom.
inline QByteArray geojson()
{
    QByteArrayList features;
    for (int k = 0; k < stateCount; ++k) {
        const QList<std::pair<QString, QString>> values = fields(k); // STATE_NAME, STATE_FIPS, STATE_ID
        QByteArrayList ring;
        for (const PlmPoint& p : outline(k))
            ring << '[' + QByteArray::number(p.x, 'g', 17) + ',' + QByteArray::number(p.y, 'g', 17) + ']';
        features << R"({"type":"Feature","properties":{"STATE_NAME":")" + values.at(0).second.toUtf8() + R"(","STATE_FIPS":")"
                        + values.at(1).second.toUtf8()
                        + R"(","STATE_ID":)" + QByteArray::number(k + 1) + R"(},"geometry":{"type":"Polygon","coordinates":[[)"
                        + ring.join(',') + "]]}}";
    }
    return R"({"type":"FeatureCollection","features":[)" + features.join(",\n") + "]}";
}

// Incomes by state in alphabetical order, FIPS written as plain numbers.
inline QByteArray incomeCsv()
{
    int order[stateCount];
    std::iota(order, order + stateCount, 0);
    std::sort(order, order + stateCount, [](int a, int b) { return qstrcmp(states[a].name, states[b].name) < 0; });
    QByteArray text = "Name,STATE_FIPS,2019,2020,2021\n";
    for (int k : order)
        text += QByteArray(states[k].name) + ',' + QByteArray::number(states[k].fips) + ','
            + QByteArray::number(41000 + 613 * k) + ',' + QByteArray::number(42500 + 587 * k) + ','
            + QByteArray::number(44100 + 641 * k) + '\n';
    return text;
}

} // namespace UsStatesFixture
