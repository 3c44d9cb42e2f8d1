#include "basemaps/LegacyPelmoraImporter.h"
#include "basemaps/PlmVectorImporter.h"
#include "model/PlmBase64.h"
#include "model/PlmEntity.h"
#include "support/PelmoraTestFiles.h"
#include "support/TableReaderTestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace PelmoraTestFiles;

namespace {

PlmMap read(const QByteArray& bytes)
{
    return LegacyPelmoraImporter::importMap(bytes, QStringLiteral("Carte"), QStringLiteral("carte.dep"));
}

QString failure(const QByteArray& bytes)
{
    return errorOf([&] { read(bytes); });
}

QByteArray fromBase64(const QString& text)
{
    return PlmBase64::decode(text.toStdString()).value_or(QByteArray("?"));
}

TEST(PelmoraBaseMapTest, RecognisesTheFourLayoutsByTheirFirstBytes)
{
    EXPECT_TRUE(LegacyPelmoraImporter::isLegacyBaseMap(compactMap(0, 0, 0)));
    EXPECT_FALSE(LegacyPelmoraImporter::isLegacyBaseMap(compactMap(0, 0, 0).left(41)));
    EXPECT_TRUE(LegacyPelmoraImporter::isLegacyBaseMap(detailedMap({}, {}, {})));
    EXPECT_TRUE(LegacyPelmoraImporter::isLegacyBaseMap(dressedMap({}, {})));
    QByteArray collection(6, '\0');
    collection[1] = 3;
    collection.replace(2, 4, QByteArray("\x00\x00\x0F\xA2", 4));
    EXPECT_TRUE(LegacyPelmoraImporter::isLegacyBaseMap(collection));
    collection[0] = 1; // 256 entries and more: read, but not recognised
    EXPECT_FALSE(LegacyPelmoraImporter::isLegacyBaseMap(collection));
    EXPECT_FALSE(LegacyPelmoraImporter::isLegacyBaseMap(QByteArray("\x00\x00\x27\x0a", 4)));
}

TEST(PelmoraBaseMapTest, CompactMapKeepsCoordinatesNamesAndUninterpretedBytes)
{
    QByteArray bytes = compactHeader(1, 2, 1);
    bytes += compactLine("Ain", {{-1, 2}, {30, 2}, {30, 40}}, 0xBEEF);
    bytes += compactLine(QByteArray("Cr\x8E" "ate sans fin de nom!!", 24), {{1, 1}});
    bytes += compactLine("Route", {{0, 0}, {5, 5}});
    bytes += compactPoint("Lyon", 12, 0xFFFF);
    const PlmMap map = read(bytes);

    ASSERT_EQ(map.entities.size(), 4);
    const PlmEntity& polygon = map.entities.at(0);
    EXPECT_EQ(polygon.id, QStringLiteral("legacy:polygon:1"));
    EXPECT_EQ(polygon.name, QStringLiteral("Ain"));
    const PlmPolygon* ring = std::get_if<PlmPolygon>(&polygon.geometry.value);
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(ring->exterior, (QList<PlmPoint>{{-1, 2}, {30, 2}, {30, 40}}));
    EXPECT_TRUE(polygon.style.fill.has_value());
    EXPECT_EQ(polygon.attributes.value("legacy.opaqueWord"), QStringLiteral("48879"));
    EXPECT_EQ(polygon.attributes.value("legacy.vertexCount"), QStringLiteral("3"));
    EXPECT_EQ(polygon.attributes.value("legacy.recordIndex"), QStringLiteral("1"));
    EXPECT_EQ(fromBase64(polygon.attributes.value("legacy.nameBytes")), nameField("Ain"));

    // One vertex: a point that keeps the kind of its record, without fill; a 24-byte name.
    const PlmEntity& single = map.entities.at(1);
    EXPECT_EQ(single.id, QStringLiteral("legacy:polyline:1"));
    EXPECT_EQ(single.name, QStringLiteral("Créate sans fin de nom!!"));
    EXPECT_EQ(single.name.size(), 24);
    EXPECT_NE(std::get_if<PlmPoint>(&single.geometry.value), nullptr);
    EXPECT_FALSE(single.style.fill.has_value());
    EXPECT_EQ(map.entities.at(2).id, QStringLiteral("legacy:polyline:2"));
    EXPECT_EQ(map.entities.at(2).attributes.value("legacy.recordIndex"), QStringLiteral("3"));

    const PlmEntity& point = map.entities.at(3);
    EXPECT_EQ(point.id, QStringLiteral("legacy:point:1"));
    EXPECT_EQ(std::get<PlmPoint>(point.geometry.value), (PlmPoint{12, -1}));
    EXPECT_TRUE(point.style.fill.has_value()); // compact points are filled
    EXPECT_FALSE(point.attributes.contains("legacy.recordIndex"));

    EXPECT_EQ(map.name, QStringLiteral("Carte"));
    EXPECT_EQ(map.metadata.value("legacy.variant"), QStringLiteral("compact-v1"));
    EXPECT_EQ(map.metadata.value("coordinates.yAxis"), QStringLiteral("down"));
    EXPECT_EQ(map.metadata.value("source"), QStringLiteral("carte.dep"));
    EXPECT_EQ(map.metadata.value("source.format"), QStringLiteral("Pelmora historique"));
    EXPECT_EQ(PlmMap::yAxisSign(map.metadata), -1);
    ASSERT_TRUE(map.sources.has_value());
    EXPECT_EQ(map.sources->value(0), (PlmSource{QStringLiteral("carte.dep"), bytes}));
}

TEST(PelmoraBaseMapTest, EmptyCompactMapKeepsItsHeader)
{
    const QByteArray bytes = compactHeader(0, 0, 0, "entête");
    ASSERT_EQ(bytes.size(), 42);
    const PlmMap map = read(bytes);
    EXPECT_TRUE(map.entities.isEmpty());
    EXPECT_EQ(fromBase64(map.metadata.value("legacy.headerBytes")), bytes);
}

TEST(PelmoraBaseMapTest, CompactPointBlockOfTheWrongSizeIsKeptAndReported)
{
    QByteArray bytes = compactHeader(1, 0, 1);
    bytes += compactLine("Ain", triangle);
    const QByteArray block = compactPoint("X", 1, 1).left(29);
    const PlmMap map = read(bytes + block);
    EXPECT_EQ(map.entities.size(), 1);
    EXPECT_EQ(map.metadata.value("import.unconverted"), QStringLiteral("points historiques non reconnus : 1"));
    EXPECT_EQ(map.metadata.value("legacy.pointsCount"), QStringLiteral("1"));
    EXPECT_EQ(fromBase64(map.metadata.value("legacy.unconvertedBytes")), block);

    EXPECT_EQ(failure(bytes), QStringLiteral("Enregistrements ponctuels historiques manquants."));
    QByteArray noPoints = compactHeader(1, 0, 0);
    noPoints += compactLine("Ain", triangle);
    EXPECT_EQ(failure(noPoints + "x"), QStringLiteral("Fond historique tronqué ou données restantes non reconnues."));
}

TEST(PelmoraBaseMapTest, CompactFaultsHaveTheirMessages)
{
    EXPECT_EQ(failure(QByteArray("\x00\x01\x00\x00\x00\x05", 6) + QByteArray(40, '\0')),
              QStringLiteral("Variante historique non prise en charge. Ce fichier n’est pas un fond compact Pelmora reconnu."));
    QByteArray header = compactHeader(1, 0, 0);
    EXPECT_EQ(failure(header + QByteArray(27, '\0')), QStringLiteral("Enregistrement historique tronqué."));
    EXPECT_EQ(failure(header + compactLine("Ain", {{0, 0}, {1, 1}})),
              QStringLiteral("Nombre de sommets historique invalide."));
    // A vertex count that runs past the end of the file.
    QByteArray huge = header + compactLine("Ain", triangle);
    huge[42 + 24] = char(0xFF);
    EXPECT_EQ(failure(huge), QStringLiteral("Nombre de sommets historique invalide."));
    EXPECT_EQ(errorOf([] { LegacyPelmoraImporter::readWord(41, QByteArray(42, '\0')); }),
              QStringLiteral("Fond historique tronqué à l’octet 41."));
}

QByteArray collection(const QList<QByteArray>& entries)
{
    QByteArray b;
    putWord(b, entries.size());
    b.append(QByteArray(4000, '\0'));
    for (int i = 0; i < entries.size(); ++i) {
        setLong(b, 2 + 4 * i, b.size());
        b += entries[i];
    }
    return b;
}

// A collection entry: name field, a long holding its own length minus 2, counts, records.
QByteArray entry(const QByteArray& name, int polygons)
{
    const QByteArray compact = compactMap(polygons, 0, 0);
    QByteArray e = nameField(name);
    e.append(QByteArray(6, '\0'));
    e += compact.mid(36);
    setLong(e, 24, e.size() - 2);
    return e;
}

TEST(PelmoraBaseMapTest, CollectionImportsItsFirstMapAndNamesTheOthers)
{
    const QByteArray bytes = collection({entry("France", 2), entry("Corse", 1), entry("Europe", 3)});
    EXPECT_TRUE(LegacyPelmoraImporter::isLegacyBaseMap(bytes));
    const PlmMap map = read(bytes);
    EXPECT_EQ(map.entities.size(), 2);
    EXPECT_EQ(map.metadata.value("legacy.variant"), QStringLiteral("indexed-compact-v1"));
    EXPECT_EQ(map.metadata.value("legacy.collectionCount"), QStringLiteral("3"));
    EXPECT_EQ(map.metadata.value("legacy.collectionName.1"), QStringLiteral("France"));
    EXPECT_EQ(map.metadata.value("legacy.collectionName.3"), QStringLiteral("Europe"));
    EXPECT_EQ(map.metadata.value("legacy.collection"),
              QStringLiteral("Collection de 3 fonds indépendants : premier fond importé ; 2 autres fonds conservés "
                             "dans l’original intégré, sans superposition."));
    EXPECT_FALSE(map.metadata.contains("source"));
    EXPECT_FALSE(map.metadata.contains("legacy.headerBytes"));
    EXPECT_EQ(map.sources->size(), 1);
    EXPECT_EQ(map.sources->first().data, bytes);

    QByteArray badIndex = bytes;
    badIndex[4001] = 1;
    EXPECT_EQ(failure(badIndex), QStringLiteral("Index de collection historique invalide."));
    QByteArray badLength = bytes;
    setLong(badLength, 4002 + 24, 5);
    EXPECT_EQ(failure(badLength), QStringLiteral("Dessin de collection historique tronqué."));
    QByteArray withPoints = entry("A", 1);
    withPoints.replace(34, 2, QByteArray("\x00\x01", 2));
    withPoints += "abc";
    setLong(withPoints, 24, withPoints.size() - 2);
    EXPECT_EQ(failure(collection({withPoints})), QStringLiteral("Points de collection historique non qualifiés."));
}

TEST(PelmoraBaseMapTest, DressedMapReadsFixedPointGeometryAfterItsBlocks)
{
    const QByteArray bytes = dressedMap({{{0, 0}, {1.5, 0}, {0, 2}}}, {{-1.5, 3}});
    const PlmMap map = read(bytes);
    ASSERT_EQ(map.entities.size(), 2);
    EXPECT_EQ(std::get<PlmPolygon>(map.entities.at(0).geometry.value).exterior,
              (QList<PlmPoint>{{0, 0}, {1.5, 0}, {0, 2}}));
    EXPECT_EQ(map.entities.at(0).name, QStringLiteral("Zone"));
    EXPECT_TRUE(map.entities.at(0).style.fill.has_value());
    EXPECT_EQ(std::get<PlmPoint>(map.entities.at(1).geometry.value), (PlmPoint{-1.5, 3}));
    EXPECT_FALSE(map.entities.at(1).style.fill.has_value()); // only polygons are filled here
    EXPECT_EQ(fromBase64(map.entities.at(1).attributes.value("legacy.recordBytes")).size(), 112);
    EXPECT_EQ(map.metadata.value("legacy.variant"), QStringLiteral("styled-fixed16.16-v1"));
    EXPECT_EQ(map.metadata.value("legacy.styles"),
              QStringLiteral("Mise en forme non interprétée ; original intégral conservé."));
    EXPECT_FALSE(map.metadata.contains("source"));

    EXPECT_EQ(failure(dressedMap({}, {}, packBitsBlock(1))), QStringLiteral("Bloc historique non qualifié."));
    QByteArray literalPast = QByteArray(1, '\x05') + "abc";
    EXPECT_EQ(failure(dressedMap({}, {}, literalPast)), QStringLiteral("Bloc historique tronqué."));
    QByteArray badLength = dressedMap({}, {});
    setLong(badLength, 68, 0);
    EXPECT_EQ(failure(badLength), QStringLiteral("Bloc historique invalide."));
    EXPECT_EQ(failure(dressedMap({}, {}) + "z"), QStringLiteral("Fin du fond habillé non qualifiée."));
    EXPECT_EQ(failure(bytes.left(bytes.size() - 1)), QStringLiteral("Enregistrement du fond habillé non qualifié."));
}

TEST(PelmoraBaseMapTest, DetailedMapReadsItsRecordsAndRefusesLeftovers)
{
    const QByteArray empty = detailedMap({}, {}, {});
    ASSERT_EQ(empty.size(), 86);
    EXPECT_TRUE(read(empty).entities.isEmpty());
    EXPECT_EQ(failure(empty + "x"), QStringLiteral("Données restantes du fond historique détaillé non reconnues."));

    const QByteArray bytes = detailedMap({{{0, 0}, {1, 0}, {1, 1}}}, {{{2.5, 1}}}, {{1.5, -2}});
    const PlmMap map = read(bytes);
    ASSERT_EQ(map.entities.size(), 3);
    EXPECT_EQ(map.entities.at(1).id, QStringLiteral("legacy:polyline:1"));
    EXPECT_EQ(std::get<PlmPoint>(map.entities.at(1).geometry.value), (PlmPoint{2.5, 1}));
    EXPECT_FALSE(map.entities.at(1).style.fill.has_value());
    EXPECT_EQ(std::get<PlmPoint>(map.entities.at(2).geometry.value), (PlmPoint{1.5, -2}));
    EXPECT_EQ(map.entities.at(2).attributes.value("legacy.recordIndex"), QStringLiteral("3"));
    EXPECT_EQ(fromBase64(map.entities.at(2).attributes.value("legacy.recordHeaderBytes")).size(), 74);
    EXPECT_EQ(map.metadata.value("legacy.variant"), QStringLiteral("extended-fixed16.16-v1"));
    EXPECT_EQ(fromBase64(map.metadata.value("legacy.headerBytes")), bytes.left(86));
    EXPECT_EQ(PlmMap::yAxisSign(map.metadata), -1);

    EXPECT_EQ(failure(bytes.left(86 + 70)), QStringLiteral("Enregistrement historique détaillé tronqué."));
    EXPECT_EQ(failure(bytes.left(86 + 80)), QStringLiteral("Sommets historiques détaillés invalides."));
    QByteArray twoVertexPolygon = detailedMap({{{0, 0}, {1, 0}}}, {}, {});
    EXPECT_EQ(failure(twoVertexPolygon), QStringLiteral("Sommets historiques détaillés invalides."));
}

TEST(PelmoraBaseMapTest, ImporterRoutesPelmoraFilesAndCountsWhatIsLeft)
{
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    const PlmImportResult num = PlmVectorImporter::importMap(write("France.num", compactMap(2, 0, 0)));
    EXPECT_EQ(num.map.name, QStringLiteral("France"));
    EXPECT_EQ(num.map.entities.size(), 2);
    EXPECT_EQ(num.map.metadata.value("source.filename"), QStringLiteral("France.num"));
    EXPECT_EQ(num.map.sources->size(), 1);

    const PlmImportResult dep = PlmVectorImporter::importMap(write("FRANCE.DEP", compactMap(0, 0, 0)));
    EXPECT_EQ(dep.map.name, QStringLiteral("FRANCE.DEP"));

    QByteArray points = compactHeader(0, 0, 4) + "xy";
    const PlmImportResult partial = PlmVectorImporter::importMap(write("p.dep", points));
    EXPECT_EQ(partial.unconverted.value(QStringLiteral("points historiques non reconnus")), 4);

    const PlmImportResult several =
        PlmVectorImporter::importMap(write("c.col", collection({entry("A", 1), entry("B", 1), entry("C", 1)})));
    EXPECT_EQ(several.unconverted.value(QStringLiteral("fonds indépendants conservés dans la collection")), 2);

    EXPECT_EQ(errorOf([&] { PlmVectorImporter::importMap(write("bad.num", compactMap(1, 0, 0) + "!")); }),
              QStringLiteral("Le fichier « bad.num » ne peut pas être importé : fond historique tronqué ou données "
                             "restantes non reconnues."));
}

} // namespace
