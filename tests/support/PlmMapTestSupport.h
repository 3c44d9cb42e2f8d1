#pragma once

#include "model/PlmEntity.h"
#include "model/PlmJsonWriter.h"
#include "model/PlmMap.h"

#include <QList>
#include <QString>

#include <ostream>

// A style as the documents write it, where a test compares whole styles.
inline void PrintTo(const PlmStyle& style, std::ostream* os)
{
    PlmJsonWriter writer;
    style.writeJson(writer);
    *os << writer.takeBytes().toStdString();
}

// Small builders for map tests.
namespace PlmMapTest {

inline PlmStyle plainStyle()
{
    return PlmStyle(PlmColor{0, 0, 0, 1}, std::nullopt, 1, 3);
}

inline PlmStyle filledStyle()
{
    return PlmStyle(PlmColor{0, 0, 0, 1}, PlmColor{0.5, 0.25, 1, 1}, 1, 3);
}

inline QList<PlmPoint> square(double x, double y, double size)
{
    return {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}};
}

inline PlmEntity pointEntity(const QString& id, PlmPoint p = {1, 2})
{
    return PlmEntity(id, QStringLiteral("Point ") + id, PlmGeometry::point(p), plainStyle());
}

inline PlmEntity polygonEntity(const QString& id, double x = 0, double y = 0)
{
    return PlmEntity(id, id, PlmGeometry::polygon(PlmPolygon{square(x, y, 10), {}}), filledStyle());
}

inline PlmEntity groupEntity(const QString& id, const PlmEntityList& members)
{
    return PlmEntity(id, id, PlmGeometry::group(members), plainStyle());
}

inline PlmVectorPath closedSquarePath()
{
    PlmVectorPath path;
    path.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({1, 0}),
                     PlmPathCommand::line({1, 1}), PlmPathCommand::close()};
    return path;
}

inline PlmEntity pathEntity(const QString& id, const PlmVectorPath& path = closedSquarePath())
{
    return PlmEntity(id, id, PlmGeometry::path(path), filledStyle());
}

// Groups nested `levels` deep around one point: the point sits at depth `levels`.
inline PlmEntity nestedGroups(int levels, const PlmEntity& innermost)
{
    PlmEntity entity = innermost;
    for (int i = levels; i > 0; --i)
        entity = groupEntity(QStringLiteral("g%1").arg(i), PlmEntityList{entity});
    return entity;
}

inline PlmMap mapOf(const PlmEntityList& entities)
{
    return PlmMap(QStringLiteral("Carte"), entities);
}

// A map with every kind of geometry, style option, flag, point symbol, clip path and source,
// and strings with escapes and non-ASCII characters.
inline PlmMap everyKindMap()
{
    PlmEntity hidden = pointEntity(QStringLiteral("p"));
    hidden.isHidden = false;
    hidden.isLocked = true;
    hidden.pointSymbol = PlmPointSymbol(QStringLiteral("star.fill"), std::nullopt);
    hidden.pointSymbol->colorMode = PlmPointSymbolColorMode::fixed;
    hidden.attributes = {{QStringLiteral("INSEE"), QStringLiteral("75056")},
                         {QStringLiteral("nom"), QStringLiteral("Paris « centre »\n\"quoted\"")}};

    PlmPolygon withHole{square(0, 0, 10), {square(2, 2, 2), square(5, 5, 1)}};
    PlmEntity multi(QStringLiteral("mp"), QStringLiteral("Îles"),
                    PlmGeometry::multipolygon({withHole, PlmPolygon{square(20, 0, 3), {}}}), filledStyle());
    multi.style.dash = QList<double>{4, 2, 0};
    multi.style.lineCap = 1;
    multi.style.lineJoin = 2;
    multi.clipPaths = QList<PlmVectorPath>{closedSquarePath()};

    PlmVectorPath curvy;
    curvy.evenOdd = true;
    curvy.commands = {PlmPathCommand::move({0.1, -0.2}),
                      PlmPathCommand::cubic({1, 2}, {3, 4}, {5, 6}),
                      PlmPathCommand::arc({1, 1}, {2, 0}, {0, 1}, -0.5, 3.14),
                      PlmPathCommand::line({1e-300, 1e300}), PlmPathCommand::close()};

    PlmText label{QStringLiteral("Étiquette"), QStringLiteral("Helvetica"), 9.5,
                  PlmTransform{1, 0.5, -0.5, 1, 100, 200}, QStringLiteral("middle")};

    PlmMap symbolMap(QStringLiteral("symbole"), PlmEntityList{pathEntity(QStringLiteral("s"))});
    PlmEntity svgPoint = pointEntity(QStringLiteral("svg"), {-3, 4});
    svgPoint.pointSymbol = PlmPointSymbol(std::nullopt, symbolMap);

    PlmEntityList entities{
        hidden,
        PlmEntity(QStringLiteral("l"), QString(), PlmGeometry::polyline({{0, 0}, {0, 0}}), plainStyle()),
        polygonEntity(QStringLiteral("poly")),
        multi,
        pathEntity(QStringLiteral("path"), curvy),
        PlmEntity(QStringLiteral("t"), QStringLiteral("texte"), PlmGeometry::text(label), plainStyle()),
        groupEntity(QStringLiteral("g"), PlmEntityList{pointEntity(QStringLiteral("p")),
                                                       groupEntity(QStringLiteral("g"), {svgPoint})}),
    };
    PlmMap map(QStringLiteral("Fond « test »"), entities,
               {{QStringLiteral("source.name"), QStringLiteral("x.geojson")}});
    map.sources = QList<PlmSource>{{QStringLiteral("a.bin"), QByteArray("\x00\x01\xff\xfe", 4)},
                                   {QStringLiteral("vide"), QByteArray()}};
    return map;
}

} // namespace PlmMapTest
