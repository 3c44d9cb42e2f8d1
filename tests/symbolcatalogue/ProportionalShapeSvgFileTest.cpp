#include "symbolcatalogue/ProportionalShapeSvgFile.h"

#include "model/PlmEntity.h"
#include "model/PlmErrors.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

} // namespace

TEST(ProportionalShapeSvgFileTest, SvgFileBecomesPathsAndOtherFormatsAreRefused)
{
    QTemporaryDir dir;
    const QString svg = writeFile(dir, QStringLiteral("carre.svg"),
                                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20\" height=\"20\">"
                                  "<rect id=\"r\" x=\"2\" y=\"2\" width=\"10\" height=\"10\" fill=\"red\"/>"
                                  "<circle cx=\"15\" cy=\"15\" r=\"3\"/></svg>");
    const PlmMap map = ProportionalShapeSvgFile::importSVGSymbol(svg);
    EXPECT_EQ(map.metadata.value(QStringLiteral("source.format")), QStringLiteral("SVG"));
    ASSERT_FALSE(map.entities.isEmpty());
    for (const PlmEntity& leaf : PlmEntity::leafEntities(map.entities))
        EXPECT_EQ(leaf.geometry.kind(), PlmGeometry::Kind::path);

    const QString json = writeFile(dir, QStringLiteral("point.geojson"),
                                   R"({"type":"FeatureCollection","features":[{"type":"Feature","properties":{},)"
                                   R"("geometry":{"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1],[0,0]]]}}]})");
    try {
        ProportionalShapeSvgFile::importSVGSymbol(json);
        ADD_FAILURE() << "a GeoJSON file was accepted";
    } catch (const PlmError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Choisissez un fichier SVG vectoriel."));
    }
}
