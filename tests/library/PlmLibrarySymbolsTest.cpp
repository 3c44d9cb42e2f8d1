#include "librarystore/PlmLibraryError.h"
#include "librarystore/PlmLibraryFiles.h"
#include "librarystore/PlmLibraryStore.h"
#include "librarystore/PlmLibrarySymbols.h"
#include "basemaps/PlmSvgReader.h"
#include "model/PlmMapCodec.h"
#include "support/LibraryRefusal.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using StoreKind = PlmLibraryError::Kind;
using PackageKind = PlmLibraryPackageError::Kind;

namespace {

PlmEntity pathEntity(const QString& id)
{
    PlmVectorPath path;
    path.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({10, 0}), PlmPathCommand::line({10, 10}),
                     PlmPathCommand::close()};
    return PlmEntity(id, id, PlmGeometry::path(path), PlmStyle{});
}

PlmEntity groupOf(const QString& id, const PlmEntityList& members)
{
    return PlmEntity(id, id, PlmGeometry::group(members), PlmStyle{});
}

PlmMap symbolMap(const PlmEntityList& entities)
{
    return PlmMap(QStringLiteral("Étoile"), entities, {{QStringLiteral("source.format"), QStringLiteral("SVG")}});
}

class PlmLibrarySymbolsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        PlmLibraryStore::createPackage(package, std::nullopt);
        store.emplace(package, dir.filePath(QStringLiteral("Corbeille")));
    }
    QString symbolsFolder() const { return store->root() + QStringLiteral("/.symbols"); }
    QStringList symbolFiles() const { return QDir(symbolsFolder()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir dir;
    QString package = dir.filePath(QStringLiteral("Bibliothèque.plmlibrary"));
    std::optional<PlmLibraryStore> store;
};

TEST_F(PlmLibrarySymbolsTest, ALibraryWithoutSymbolsListsNoneAndCreatesNothing)
{
    EXPECT_TRUE(store->symbolItems().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(symbolsFolder()));
}

TEST_F(PlmLibrarySymbolsTest, PathsInsideGroupsAreStoredMarkedAndListedButNotInTheTree)
{
    PlmMap map = symbolMap({pathEntity("a"), groupOf("g", {pathEntity("b"), groupOf("h", {pathEntity("c")})})});
    map.metadata.insert(PlmLibrarySymbols::markerKey, QStringLiteral("autre"));
    const QString url = store->addSymbol(map, QStringLiteral("Étoile"));
    EXPECT_EQ(url, symbolsFolder() + QStringLiteral("/Étoile.plmmap"));

    QFile file(url);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const PlmMap stored = PlmMapCodec::decode(file.readAll());
    EXPECT_EQ(stored.metadata.value(QStringLiteral("library.symbol")), QStringLiteral("svg"));
    EXPECT_EQ(stored.metadata.value(QStringLiteral("source.format")), QStringLiteral("SVG"));
    EXPECT_EQ(stored.entities, map.entities);

    const QList<PlmLibraryItem> items = store->symbolItems();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].url, url);
    EXPECT_FALSE(items[0].isFolder);
    EXPECT_TRUE(store->tree().isEmpty());
}

TEST_F(PlmLibrarySymbolsTest, ASecondSymbolOfTheSameNameIsNumberedAndTheListIsSorted)
{
    const PlmMap map = symbolMap({pathEntity("a")});
    store->addSymbol(map, QStringLiteral("flèche"));
    const QString second = store->addSymbol(map, QStringLiteral("flèche"));
    store->addSymbol(map, QStringLiteral("Arbre"));
    EXPECT_EQ(QFileInfo(second).fileName(), QStringLiteral("flèche (2).plmmap"));

    QStringList names;
    for (const PlmLibraryItem& item : store->symbolItems())
        names.append(item.displayName());
    EXPECT_EQ(names, (QStringList{"Arbre", "flèche", "flèche (2)"}));
}

TEST_F(PlmLibrarySymbolsTest, AnImportedDrawingIsAcceptedAndImportedLetteringIsNot)
{
    const QByteArray drawing = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 10 10">
        <g id="pointe"><path d="M0 0 L10 0 L5 8 Z"/><rect x="1" y="1" width="2" height="2"/></g></svg>)";
    const PlmImportResult imported = PlmSvgReader::importSVG(drawing, QStringLiteral("Pointe"));
    const QString url = store->addSymbol(imported.map, QStringLiteral("Pointe"));
    EXPECT_EQ(store->symbolItems().value(0).url, url);

    const QByteArray lettering = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 10 10">
        <path d="M0 0 L10 0 L5 8 Z"/><g id="légende"><text x="1" y="5">A</text></g></svg>)";
    const PlmImportResult text = PlmSvgReader::importSVG(lettering, QStringLiteral("Lettre"));
    EXPECT_EQ(storeRefusal([&] { store->addSymbol(text.map, QStringLiteral("Lettre")); }), StoreKind::unsupportedFile);
    EXPECT_EQ(symbolFiles(), QStringList{QStringLiteral("Pointe.plmmap")});
}

TEST_F(PlmLibrarySymbolsTest, ListingSkipsHiddenAndOtherFilesAndFoldersNamedLikeMaps)
{
    store->addSymbol(symbolMap({pathEntity("a")}), QStringLiteral("Un"));
    writeBytes(symbolsFolder() + QStringLiteral("/.caché.plmmap"), "{}");
    writeBytes(symbolsFolder() + QStringLiteral("/notes.txt"), "texte");
    ASSERT_TRUE(QDir().mkpath(symbolsFolder() + QStringLiteral("/Dossier.plmmap/Deux.plmmap")));
    const QList<PlmLibraryItem> items = store->symbolItems();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].displayName(), QStringLiteral("Un"));
}

TEST_F(PlmLibrarySymbolsTest, ALinkOrAFileInPlaceOfTheFolderIsRefused)
{
    writeBytes(symbolsFolder(), "pas un dossier");
    QString message;
    EXPECT_EQ(storeRefusal([&] { store->symbolItems(); }, &message), StoreKind::invalidFolder);
    EXPECT_EQ(message, QStringLiteral("Le dossier de destination n’existe pas."));
    EXPECT_EQ(storeRefusal([&] { store->addSymbol(symbolMap({pathEntity("a")}), QStringLiteral("Un")); }),
              StoreKind::invalidFolder);
    QFile::remove(symbolsFolder());

    ASSERT_TRUE(QDir().mkpath(symbolsFolder()));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("Corbeille")), symbolsFolder() + QStringLiteral("/Lien.plmmap")));
    EXPECT_EQ(storeRefusal([&] { store->symbolItems(); }, &message), StoreKind::outsideLibrary);
    EXPECT_EQ(message, QStringLiteral("Cette opération doit rester dans la bibliothèque locale, sans lien symbolique."));
}

TEST_F(PlmLibrarySymbolsTest, MapsThatAreNotOnlyPathsAreRefusedWithoutTouchingTheDisk)
{
    const PlmEntity point(QStringLiteral("p"), QStringLiteral("p"), PlmGeometry::point({1, 2}), PlmStyle{});
    PlmText label;
    label.text = QStringLiteral("Texte");
    const PlmEntity text(QStringLiteral("t"), QStringLiteral("t"), PlmGeometry::text(label), PlmStyle{});
    const QList<PlmMap> refused = {
        symbolMap({}),
        symbolMap({pathEntity("a"), point}),
        symbolMap({pathEntity("a"), groupOf("g", {pathEntity("b"), groupOf("h", {text})})}),
    };
    for (const PlmMap& map : refused) {
        QString message;
        EXPECT_EQ(storeRefusal([&] { store->addSymbol(map, QStringLiteral("Refusé")); }, &message),
                  StoreKind::unsupportedFile);
        EXPECT_EQ(message, QStringLiteral("Seuls les documents .plmmap sont acceptés."));
    }
    QString message;
    EXPECT_EQ(storeRefusal([&] { store->addSymbol(symbolMap({pathEntity("a")}), QStringLiteral(".caché")); }, &message),
              StoreKind::invalidName);
    EXPECT_EQ(message, QStringLiteral("Choisissez un nom non vide, sans / ni :, qui ne commence pas par un point."));
    EXPECT_FALSE(QFileInfo::exists(symbolsFolder()));
}

TEST_F(PlmLibrarySymbolsTest, DeletionTakesOnlyMarkedDocumentsOfTheSymbolsFolder)
{
    const PlmMap map = symbolMap({pathEntity("a")});
    const QString baseMap = store->addMap(map, QStringLiteral("Fond"), store->root());
    const QString symbol = store->addSymbol(map, QStringLiteral("Étoile"));
    const QString unmarked = symbolsFolder() + QStringLiteral("/Main.plmmap");
    writeBytes(unmarked, PlmMapCodec::encode(map));

    QString message;
    EXPECT_EQ(storeRefusal([&] { store->deleteSymbol(baseMap); }, &message), StoreKind::outsideLibrary);
    EXPECT_EQ(message, QStringLiteral("Cette opération doit rester dans la bibliothèque locale, sans lien symbolique."));
    EXPECT_EQ(storeRefusal([&] { store->deleteSymbol(unmarked); }), StoreKind::outsideLibrary);
    EXPECT_EQ(storeRefusal([&] { store->deleteSymbol(symbolsFolder()); }), StoreKind::outsideLibrary);
    EXPECT_TRUE(QFileInfo::exists(baseMap));
    EXPECT_TRUE(QFileInfo::exists(unmarked));

    ASSERT_TRUE(QDir().mkpath(symbolsFolder() + QStringLiteral("/Dossier.plmmap")));
    EXPECT_EQ(storeRefusal([&] { store->deleteSymbol(symbolsFolder() + QStringLiteral("/Dossier.plmmap")); }),
              StoreKind::unsupportedFile);

    const PlmLibraryDeletion deletion = store->deleteSymbol(symbol);
    EXPECT_EQ(deletion.originalURL, symbol);
    EXPECT_FALSE(QFileInfo::exists(symbol));
    EXPECT_TRUE(QFileInfo::exists(deletion.trashedURL));
    store->restore(deletion);
    EXPECT_TRUE(QFileInfo::exists(symbol));
}

TEST_F(PlmLibrarySymbolsTest, AMissingOrForeignManifestRefusesAllThreeOperations)
{
    const PlmMap map = symbolMap({pathEntity("a")});
    const QString symbol = store->addSymbol(map, QStringLiteral("Étoile"));
    const QString manifest = store->root() + QStringLiteral("/.plmlibrary.json");

    writeBytes(manifest, R"({"version":2,"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","created":0})");
    QString message;
    EXPECT_EQ(packageRefusal([&] { store->symbolItems(); }, &message), PackageKind::invalidPackage);
    EXPECT_EQ(message, QStringLiteral("Ce package n’est pas une bibliothèque Pelmora valide ou sa version n’est pas "
                                      "prise en charge."));
    EXPECT_EQ(packageRefusal([&] { store->addSymbol(map, QStringLiteral("Autre")); }), PackageKind::invalidPackage);
    EXPECT_EQ(packageRefusal([&] { store->deleteSymbol(symbol); }), PackageKind::invalidPackage);

    ASSERT_TRUE(QFile::remove(manifest));
    const auto fileError = [&](auto&& call) -> QString {
        try {
            call();
        } catch (const PlmLibraryFileError& error) {
            return QString::fromUtf8(error.what());
        }
        return {};
    };
    const QString expected = QStringLiteral("Le fichier « %1 » est introuvable.").arg(QFileInfo(manifest).fileName());
    EXPECT_EQ(fileError([&] { store->symbolItems(); }), expected);
    EXPECT_EQ(fileError([&] { store->addSymbol(map, QStringLiteral("Autre")); }), expected);
    EXPECT_EQ(fileError([&] { store->deleteSymbol(symbol); }), expected);
    EXPECT_EQ(symbolFiles(), QStringList{QStringLiteral("Étoile.plmmap")});
}

} // namespace
