#pragma once

// The 48 contiguous states as a Shapefile without .prj brings them (degree squares on a grid;
// a table with STATE_NAME, STATE_FIPS as text with leading zeros, SUB_REGION, STATE_ABBR and
// STATE_ID numbering the records from 1, no field called name, nom or label), the map its
// import gives, and the CSV of incomes a person brings for them: Name, STATE_FIPS as plain
// numbers, then one column per year. The records do not run in FIPS order, so 41 of the FIPS
// numbers happen to be some other state's STATE_ID.

#include "model/PlmEntity.h"
#include "model/PlmGeometry.h"
#include "model/PlmMap.h"
#include "support/ShapefileTestWriter.h"

#include <QByteArray>
#include <QString>
#include <algorithm>

namespace UsStatesFixture {

struct State {
    const char* name;
    const char* abbreviation;
    int fips;
    const char* subRegion;
};

constexpr int stateCount = 48;

// In record order, west to east by rows as the usual file has them, Washington first.
inline const State (&states())[stateCount]
{
    static const State list[stateCount] = {
        {"Washington", "WA", 53, "Pacific"},       {"Montana", "MT", 30, "Mountain"},
        {"Maine", "ME", 23, "New England"},        {"North Dakota", "ND", 38, "West North Central"},
        {"South Dakota", "SD", 46, "West North Central"}, {"Wyoming", "WY", 56, "Mountain"},
        {"Wisconsin", "WI", 55, "East North Central"}, {"Idaho", "ID", 16, "Mountain"},
        {"Vermont", "VT", 50, "New England"},      {"Minnesota", "MN", 27, "West North Central"},
        {"Oregon", "OR", 41, "Pacific"},           {"New Hampshire", "NH", 33, "New England"},
        {"Iowa", "IA", 19, "West North Central"},  {"Massachusetts", "MA", 25, "New England"},
        {"Nebraska", "NE", 31, "West North Central"}, {"New York", "NY", 36, "Middle Atlantic"},
        {"Pennsylvania", "PA", 42, "Middle Atlantic"}, {"Connecticut", "CT", 9, "New England"},
        {"Rhode Island", "RI", 44, "New England"}, {"New Jersey", "NJ", 34, "Middle Atlantic"},
        {"Indiana", "IN", 18, "East North Central"}, {"Nevada", "NV", 32, "Mountain"},
        {"Utah", "UT", 49, "Mountain"},            {"California", "CA", 6, "Pacific"},
        {"Ohio", "OH", 39, "East North Central"},  {"Illinois", "IL", 17, "East North Central"},
        {"Delaware", "DE", 10, "South Atlantic"},  {"West Virginia", "WV", 54, "South Atlantic"},
        {"Maryland", "MD", 24, "South Atlantic"},  {"Colorado", "CO", 8, "Mountain"},
        {"Kentucky", "KY", 21, "East South Central"}, {"Kansas", "KS", 20, "West North Central"},
        {"Virginia", "VA", 51, "South Atlantic"},  {"Missouri", "MO", 29, "West North Central"},
        {"Arizona", "AZ", 4, "Mountain"},          {"Oklahoma", "OK", 40, "West South Central"},
        {"North Carolina", "NC", 37, "South Atlantic"}, {"Tennessee", "TN", 47, "East South Central"},
        {"Texas", "TX", 48, "West South Central"}, {"New Mexico", "NM", 35, "Mountain"},
        {"Alabama", "AL", 1, "East South Central"}, {"Mississippi", "MS", 28, "East South Central"},
        {"Georgia", "GA", 13, "South Atlantic"},   {"South Carolina", "SC", 45, "South Atlantic"},
        {"Arkansas", "AR", 5, "West South Central"}, {"Louisiana", "LA", 22, "West South Central"},
        {"Florida", "FL", 12, "South Atlantic"},   {"Michigan", "MI", 26, "East North Central"},
    };
    return list;
}

// State k's outline: a 4° square of an 8 × 6 grid, 7° apart eastward, over lon −125…−72, lat 25…49.
inline QList<PlmPoint> outline(int k)
{
    return ShapefileTestWriter::square(-125.0 + 7.0 * (k % 8), 25.0 + 4.0 * (k / 8), 4.0);
}

// The table's fields and values of state k, as the dBASE reader gives them.
inline QMap<QString, QString> row(int k)
{
    const State& s = states()[k];
    return {{QStringLiteral("STATE_NAME"), QString::fromUtf8(s.name)},
            {QStringLiteral("STATE_FIPS"), QStringLiteral("%1").arg(s.fips, 2, 10, QLatin1Char('0'))},
            {QStringLiteral("SUB_REGION"), QString::fromUtf8(s.subRegion)},
            {QStringLiteral("STATE_ABBR"), QString::fromUtf8(s.abbreviation)},
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
    const QList<QByteArray> fields = {"STATE_NAME", "STATE_FIPS", "SUB_REGION", "STATE_ABBR", "STATE_ID"};
    for (const QByteArray& field : fields)
        out.fields << ShapefileTestWriter::Dbf::Field{field, field == "STATE_NAME" || field == "SUB_REGION" ? 25 : 4};
    for (int k = 0; k < stateCount; ++k) {
        const QMap<QString, QString> values = row(k);
        ShapefileTestWriter::Dbf::Row record;
        for (const QByteArray& field : fields)
            record.values << values.value(QString::fromLatin1(field)).toUtf8();
        out.rows << record;
    }
    out.languageDriver = 0x57; // Windows-1252, declared
    return out;
}

// The map the import gives: ids from the record numbers, names from STATE_NAME, outlines one
// pixel wide at the fitted view (the grid is 53° wide).
inline PlmMap map()
{
    QList<PlmEntity> entities;
    const PlmStyle style(PlmColor{0.2, 0.25, 0.3, 1}, PlmColor{0.85, 0.9, 0.95, 1}, 53.0 / 1000, 4.0);
    for (int k = 0; k < stateCount; ++k)
        entities << PlmEntity(QStringLiteral("shp:%1").arg(k + 1), QString::fromUtf8(states()[k].name),
                              PlmGeometry::polygon(PlmPolygon{outline(k), {}}), style, row(k));
    return PlmMap(QStringLiteral("states"), PlmEntityList(entities));
}

// Incomes by state in alphabetical order, FIPS written as plain numbers.
inline QByteArray incomeCsv()
{
    QList<int> order;
    for (int k = 0; k < stateCount; ++k)
        order << k;
    std::sort(order.begin(), order.end(),
              [](int a, int b) { return QByteArray(states()[a].name) < QByteArray(states()[b].name); });
    QByteArray text = "Name,STATE_FIPS,2019,2020,2021\n";
    for (int k : order)
        text += QByteArray(states()[k].name) + ',' + QByteArray::number(states()[k].fips) + ','
            + QByteArray::number(41000 + 613 * k) + ',' + QByteArray::number(42500 + 587 * k) + ','
            + QByteArray::number(44100 + 641 * k) + '\n';
    return text;
}

} // namespace UsStatesFixture
