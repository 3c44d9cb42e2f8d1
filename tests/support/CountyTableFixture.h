#pragma once

// A hundred counties with a shapefile's attributes (CNTY_ID as a text written to its full
// decimal count, which no key of the CSV names, an integer CRESS_ID 1..100 in record order)
// and the French CSV a person brings for them: CNTY_ID, FIPS, NAME, a text region, AREA and
// PERIMETER with decimal commas. Two perimeters happen to be round numbers: 3 on the third
// county (its own CRESS_ID) and 2 on the eleventh (the second county's CRESS_ID).

#include "model/PlmEntity.h"
#include "model/PlmGeometry.h"
#include "model/PlmMap.h"

#include <QByteArray>
#include <QString>

namespace CountyTableFixture {

constexpr int countyCount = 100;

inline QString countyName(int i)
{
    return QStringLiteral("Comté %1").arg(i + 1);
}

inline PlmMap countyMap()
{
    QList<PlmEntity> entities;
    for (int i = 0; i < countyCount; ++i) {
        const double x = double(i % 10), y = double(i / 10);
        const PlmPolygon square{{{x, y}, {x, y + 1}, {x + 1, y + 1}, {x + 1, y}, {x, y}}, {}};
        const QMap<QString, QString> attributes = {
            {QStringLiteral("CNTY_ID"), QStringLiteral("%1.000000000000000").arg(1825 + i)},
            {QStringLiteral("CRESS_ID"), QString::number(i + 1)},
            {QStringLiteral("FIPS"), QString::number(37001 + 2 * i)},
            {QStringLiteral("NAME"), countyName(i)},
        };
        entities << PlmEntity(QStringLiteral("shp:%1").arg(i + 1), countyName(i), PlmGeometry::polygon(square),
                              PlmStyle(), attributes);
    }
    return PlmMap(QStringLiteral("Comtés"), PlmEntityList(entities));
}

inline QByteArray countyCsv()
{
    static const char* regions[] = {"Montagnes", "Piémont", "Plaine côtière"};
    QString text = QStringLiteral("CNTY_ID;FIPS;NAME;REGION;AREA;PERIMETER\r\n");
    for (int i = 0; i < countyCount; ++i) {
        QString perimeter = QStringLiteral("%1,%2").arg(1 + (i * 389) % 2000 / 1000).arg(1 + (i * 389) % 999, 3, 10, QLatin1Char('0'));
        if (i == 2)
            perimeter = QStringLiteral("3");
        if (i == 10)
            perimeter = QStringLiteral("2");
        text += QStringLiteral("%1;%2;%3;%4;0,%5;%6\r\n")
                    .arg(1825 + i)
                    .arg(37001 + 2 * i)
                    .arg(countyName(i), QString::fromUtf8(regions[i % 3]))
                    .arg(40 + i * 7 % 200, 3, 10, QLatin1Char('0'))
                    .arg(perimeter);
    }
    return text.toUtf8();
}

} // namespace CountyTableFixture
