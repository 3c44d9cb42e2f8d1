#include "librarystore/PlmLibraryError.h"
#include "librarystore/PlmLibraryStore.h"
#include "model/PlmMapCodec.h"
#include "support/LibraryRefusal.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using Kind = PlmLibraryError::Kind;

namespace {

class PlmLibraryStoreTest : public ::testing::Test {
protected:
    PlmLibraryStoreTest()
        : root(dir.path() + QStringLiteral("/Fonds"))
        , store(root, dir.path() + QStringLiteral("/Corbeille"), true)
    {
        root = store.root();
    }

    QString path(const QString& relative) const { return root + QLatin1Char('/') + relative; }
    void write(const QString& relative, const QByteArray& bytes) const { writeBytes(path(relative), bytes); }
    static QByteArray mapBytes(const QString& name) { return PlmMapCodec::encode(PlmMap(name, {})); }
    void writeMap(const QString& relative, const QString& name = QStringLiteral("Carte")) const
    {
        write(relative, mapBytes(name));
    }
    static QStringList names(const QList<PlmLibraryItem>& items)
    {
        QStringList list;
        for (const PlmLibraryItem& item : items)
            list << item.displayName();
        return list;
    }

    QTemporaryDir dir;
    QString root;
    PlmLibraryStore store;
};

} // namespace

TEST(PlmLibraryErrorTest, sentencesAreTheOnesShownToTheUser)
{
    EXPECT_EQ(PlmLibraryError(Kind::invalidName).message(),
              QStringLiteral("Choisissez un nom non vide, sans / ni :, qui ne commence pas par un point."));
    EXPECT_EQ(PlmLibraryError(Kind::outsideLibrary).message(),
              QStringLiteral("Cette opération doit rester dans la bibliothèque locale, sans lien symbolique."));
    EXPECT_EQ(PlmLibraryError(Kind::invalidFolder).message(), QStringLiteral("Le dossier de destination n\u2019existe pas."));
    EXPECT_EQ(PlmLibraryError(Kind::descendantMove).message(),
              QStringLiteral("Un dossier ne peut pas être déplacé dans lui-même ou dans un de ses sous-dossiers."));
    EXPECT_EQ(PlmLibraryError(Kind::unsupportedFile).message(), QStringLiteral("Seuls les documents .plmmap sont acceptés."));
    EXPECT_EQ(PlmLibraryError(Kind::collision).message(), QStringLiteral("Un élément portant ce nom existe déjà."));
    EXPECT_STREQ(PlmLibraryError(Kind::collision).what(), "Un élément portant ce nom existe déjà.");
}

TEST_F(PlmLibraryStoreTest, nameRuleTrimsAndRefuses)
{
    EXPECT_EQ(PlmLibraryStore::validatedName(QStringLiteral("  Europe  ")), QStringLiteral("Europe"));
    EXPECT_EQ(PlmLibraryStore::validatedName(QStringLiteral("Région Île-de-France")), QStringLiteral("Région Île-de-France"));
    for (const QString& bad : {QString(), QStringLiteral("   \n"), QStringLiteral(".cache"), QStringLiteral("a/b"),
                               QStringLiteral("a:b"), QStringLiteral("a\tb"), QStringLiteral("a\u200Db")})
        EXPECT_EQ(storeRefusal([&] { PlmLibraryStore::validatedName(bad); }), Kind::invalidName) << bad.toStdString();
}

TEST_F(PlmLibraryStoreTest, addingWithoutANameCleansTheMapNameAndNumbersTakenNames)
{
    const QString a = store.addMap(PlmMap(QStringLiteral("a/b:c"), {}), std::nullopt, root);
    EXPECT_EQ(QFileInfo(a).fileName(), QStringLiteral("a\u2013b\u2013c.plmmap"));
    EXPECT_EQ(fileBytes(a), mapBytes(QStringLiteral("a/b:c")));
    EXPECT_EQ(QFileInfo(store.addMap(PlmMap(QStringLiteral("..."), {}), std::nullopt, root)).fileName(), QStringLiteral("Fond.plmmap"));
    EXPECT_EQ(QFileInfo(store.addMap(PlmMap(QStringLiteral("   "), {}), std::nullopt, root)).fileName(), QStringLiteral("Fond (2).plmmap"));
    EXPECT_EQ(QFileInfo(store.addMap(PlmMap(QString(), {}), std::nullopt, root)).fileName(), QStringLiteral("Fond (3).plmmap"));
    EXPECT_EQ(PlmLibraryStore::cleanedName(QStringLiteral("..Carte.")), QStringLiteral("Carte"));
    EXPECT_EQ(storeRefusal([&] { store.addMap(PlmMap(QStringLiteral("x"), {}), QStringLiteral("a/b"), root); }), Kind::invalidName);
    // A folder outside the library, or missing, is refused before anything is written.
    EXPECT_EQ(storeRefusal([&] { store.addMap(PlmMap(QStringLiteral("x"), {}), std::nullopt, dir.path()); }), Kind::outsideLibrary);
    EXPECT_THROW(store.addMap(PlmMap(QStringLiteral("x"), {}), std::nullopt, path(QStringLiteral("absent"))), PlmLibraryFileError);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("x.plmmap"))));
}

TEST_F(PlmLibraryStoreTest, importAcceptsOnlyDecodableMapsAndNeverChangesTheSource)
{
    const QString outside = dir.path() + QStringLiteral("/Carte.PLMMAP");
    writeBytes(outside, mapBytes(QStringLiteral("Carte")));
    const QString imported = store.importMap(outside, root);
    EXPECT_EQ(QFileInfo(imported).fileName(), QStringLiteral("Carte.plmmap"));
    EXPECT_EQ(fileBytes(imported), fileBytes(outside));
    EXPECT_EQ(QFileInfo(store.importMap(outside, root)).fileName(), QStringLiteral("Carte (2).plmmap"));

    const QString json = dir.path() + QStringLiteral("/carte.json");
    QFile(outside).copy(json);
    EXPECT_EQ(storeRefusal([&] { store.importMap(json, root); }), Kind::unsupportedFile);

    const QString damaged = dir.path() + QStringLiteral("/Abîmée.plmmap");
    writeBytes(damaged, "{\"version\": 1, \"map\": [");
    EXPECT_THROW(store.importMap(damaged, root), PlmError);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("Abîmée.plmmap"))));
}

TEST_F(PlmLibraryStoreTest, renameKeepsTheExtensionAndRefusesTakenNames)
{
    writeMap(QStringLiteral("Europe.plmmap"));
    writeMap(QStringLiteral("Asie.plmmap"));
    const QString europe = path(QStringLiteral("Europe.plmmap"));
    EXPECT_EQ(store.rename(europe, QStringLiteral("Europe")), europe);
    EXPECT_EQ(storeRefusal([&] { store.rename(europe, QStringLiteral("Asie")); }), Kind::collision);
    const QString monde = store.rename(europe, QStringLiteral(" Monde "));
    EXPECT_EQ(monde, path(QStringLiteral("Monde.plmmap")));
    EXPECT_FALSE(QFileInfo::exists(europe));
    QDir(root).mkdir(QStringLiteral("Dossier"));
    EXPECT_EQ(store.rename(path(QStringLiteral("Dossier")), QStringLiteral("Classeur")), path(QStringLiteral("Classeur")));
}

TEST_F(PlmLibraryStoreTest, moveRefusesDescendantsAndCollisions)
{
    writeMap(QStringLiteral("A/B/Carte.plmmap"));
    writeMap(QStringLiteral("Carte.plmmap"));
    const QString a = path(QStringLiteral("A"));
    EXPECT_EQ(storeRefusal([&] { store.moveInto(a, a); }), Kind::descendantMove);
    EXPECT_EQ(storeRefusal([&] { store.moveInto(a, path(QStringLiteral("A/B"))); }), Kind::descendantMove);
    EXPECT_EQ(storeRefusal([&] { store.moveInto(path(QStringLiteral("Carte.plmmap")), path(QStringLiteral("A/B"))); }), Kind::collision);
    EXPECT_EQ(store.moveInto(path(QStringLiteral("A/B/Carte.plmmap")), path(QStringLiteral("A/B"))), path(QStringLiteral("A/B/Carte.plmmap")));
    EXPECT_EQ(storeRefusal([&] { store.moveInto(a, path(QStringLiteral("Carte.plmmap"))); }), Kind::invalidFolder);
    // A sibling whose name merely starts like the folder is not a descendant.
    QDir(root).mkdir(QStringLiteral("AB"));
    EXPECT_EQ(store.moveInto(a, path(QStringLiteral("AB"))), path(QStringLiteral("AB/A")));
    EXPECT_EQ(fileBytes(path(QStringLiteral("AB/A/B/Carte.plmmap"))), mapBytes(QStringLiteral("Carte")));
}

TEST_F(PlmLibraryStoreTest, itemCheckKeepsEverythingInsideTheRoot)
{
    writeMap(QStringLiteral("EUROPE.PLMMAP"));
    write(QStringLiteral("notes.txt"), "texte");
    QDir(root).mkdir(QStringLiteral("x.plmmap"));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("EUROPE.PLMMAP")), path(QStringLiteral("lien.plmmap"))));
    ASSERT_TRUE(QFile::link(dir.path(), path(QStringLiteral("dehors"))));

    EXPECT_FALSE(store.item(path(QStringLiteral("EUROPE.PLMMAP"))).isFolder);
    EXPECT_TRUE(store.item(path(QStringLiteral("x.plmmap"))).isFolder);
    EXPECT_EQ(storeRefusal([&] { store.item(root); }), Kind::outsideLibrary);
    EXPECT_EQ(storeRefusal([&] { store.item(path(QStringLiteral("../Fonds/../Corbeille"))); }), Kind::outsideLibrary);
    EXPECT_EQ(storeRefusal([&] { store.item(path(QStringLiteral("lien.plmmap"))); }), Kind::outsideLibrary);
    EXPECT_EQ(storeRefusal([&] { store.item(path(QStringLiteral("dehors/Fonds/EUROPE.PLMMAP"))); }), Kind::outsideLibrary);
    EXPECT_EQ(storeRefusal([&] { store.item(path(QStringLiteral("notes.txt"))); }), Kind::unsupportedFile);
    // Writing through a link to a folder outside is refused too.
    EXPECT_EQ(storeRefusal([&] { store.addMap(PlmMap(QStringLiteral("x"), {}), std::nullopt, path(QStringLiteral("dehors"))); }),
              Kind::outsideLibrary);
}

TEST_F(PlmLibraryStoreTest, treeListsFoldersAndMapsInFinderOrder)
{
    writeMap(QStringLiteral("Carte 10.plmmap"));
    writeMap(QStringLiteral("carte 2.plmmap"));
    writeMap(QStringLiteral("Atlas/Zone.plmmap"));
    writeMap(QStringLiteral(".symbols/Étoile.plmmap"));
    write(QStringLiteral("lisez-moi.txt"), "x");
    write(QStringLiteral(".plmlibrary.json"), "{}");
    ASSERT_TRUE(QFile::link(path(QStringLiteral("Carte 10.plmmap")), path(QStringLiteral("Lien.plmmap"))));

    const QList<PlmLibraryItem> items = store.tree();
    EXPECT_EQ(names(items), (QStringList{"Atlas", "carte 2", "Carte 10"}));
    ASSERT_EQ(items.first().children.size(), 1);
    EXPECT_TRUE(items.first().isFolder);
    EXPECT_EQ(items.first().children.first().url, path(QStringLiteral("Atlas/Zone.plmmap")));
}

TEST_F(PlmLibraryStoreTest, searchIgnoresCaseAndAccentsAndKeepsMatchingDescendants)
{
    writeMap(QStringLiteral("Europe de l\u2019Ouest.plmmap"));
    writeMap(QStringLiteral("EUROPE.plmmap"));
    writeMap(QStringLiteral("Monde/Europe centrale.plmmap"));
    writeMap(QStringLiteral("Monde/Asie.plmmap"));
    writeMap(QStringLiteral("Européen/Afrique.plmmap"));
    writeMap(QStringLiteral("Divers/Afrique.plmmap"));

    const QList<PlmLibraryItem> found = store.tree(QStringLiteral("  europe "));
    EXPECT_EQ(names(found), (QStringList{"EUROPE", "Europe de l\u2019Ouest", "Européen", "Monde"}));
    EXPECT_EQ(names(found[2].children), QStringList{"Afrique"}); // a matching folder keeps all it holds
    EXPECT_EQ(names(found[3].children), QStringList{"Europe centrale"});
    EXPECT_EQ(store.tree(QStringLiteral("   ")).size(), 5);
}

TEST_F(PlmLibraryStoreTest, duplicateNumbersCopiesAndRefusesLinks)
{
    writeMap(QStringLiteral("Europe.plmmap"));
    const QString europe = path(QStringLiteral("Europe.plmmap"));
    EXPECT_EQ(store.duplicate(europe), path(QStringLiteral("Europe copie.plmmap")));
    EXPECT_EQ(store.duplicate(europe), path(QStringLiteral("Europe copie (2).plmmap")));
    EXPECT_EQ(fileBytes(path(QStringLiteral("Europe copie (2).plmmap"))), fileBytes(europe));

    writeMap(QStringLiteral("Atlas/Sous/Zone.plmmap"));
    write(QStringLiteral("Atlas/.cache"), "caché");
    EXPECT_EQ(store.duplicate(path(QStringLiteral("Atlas"))), path(QStringLiteral("Atlas copie")));
    EXPECT_EQ(fileBytes(path(QStringLiteral("Atlas copie/.cache"))), QByteArray("caché"));
    EXPECT_EQ(fileBytes(path(QStringLiteral("Atlas copie/Sous/Zone.plmmap"))), mapBytes(QStringLiteral("Carte")));

    ASSERT_TRUE(QFile::link(dir.path(), path(QStringLiteral("Atlas/Sous/lien"))));
    EXPECT_EQ(storeRefusal([&] { store.duplicate(path(QStringLiteral("Atlas"))); }), Kind::outsideLibrary);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("Atlas copie (2)"))));

    write(QStringLiteral("Cassée.plmmap"), "pas du JSON");
    EXPECT_THROW(store.duplicate(path(QStringLiteral("Cassée.plmmap"))), PlmError);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("Cassée copie.plmmap"))));
    // Opening it and its « Coup d’œil » read it through map(): the French sentence naming it.
    try {
        store.map(path(QStringLiteral("Cassée.plmmap")));
        ADD_FAILURE() << "a damaged map was read";
    } catch (const PlmError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Le document « Cassée.plmmap » n’a pas pu être ouvert."));
    }
}

TEST_F(PlmLibraryStoreTest, trashAndRestoreRoundTripAndNeverReplace)
{
    writeMap(QStringLiteral("Atlas/Europe.plmmap"), QStringLiteral("Europe"));
    const QString europe = path(QStringLiteral("Atlas/Europe.plmmap"));
    const PlmLibraryDeletion deletion = store.trash(europe);
    EXPECT_EQ(deletion.originalURL, europe);
    EXPECT_FALSE(QFileInfo::exists(europe));
    EXPECT_TRUE(QFileInfo(deletion.trashedURL).fileName().endsWith(QStringLiteral("-Europe.plmmap")));
    EXPECT_EQ(QFileInfo(deletion.trashedURL).absolutePath(), *store.trashDirectory());
    EXPECT_EQ(fileBytes(deletion.trashedURL), mapBytes(QStringLiteral("Europe")));

    // A new map took the name: the restore is refused and the trashed map stays where it is.
    writeMap(QStringLiteral("Atlas/Europe.plmmap"), QStringLiteral("Nouvelle"));
    EXPECT_EQ(storeRefusal([&] { store.restore(deletion); }), Kind::collision);
    EXPECT_EQ(fileBytes(europe), mapBytes(QStringLiteral("Nouvelle")));
    EXPECT_TRUE(QFileInfo::exists(deletion.trashedURL));

    QFile::remove(europe);
    store.restore(deletion);
    EXPECT_EQ(fileBytes(europe), mapBytes(QStringLiteral("Europe")));
    EXPECT_FALSE(QFileInfo::exists(deletion.trashedURL));
    // Restoring outside the library is refused.
    EXPECT_EQ(storeRefusal([&] { store.restore({dir.path() + QStringLiteral("/x.plmmap"), europe}); }), Kind::outsideLibrary);
}

// The desktop's trash of a home of the test's own, whose per-user data folder does not exist
// yet: Qt makes that trash only inside it, and otherwise in the working directory.
TEST_F(PlmLibraryStoreTest, theDesktopTrashIsThePerUserOneAndKeepsNoRecordOfARestoredItem)
{
    struct OwnHome {
        QTemporaryDir dir;
        QByteArray saved = qgetenv("HOME");
        OwnHome() { qputenv("HOME", QFile::encodeName(dir.path())); }
        ~OwnHome() { qputenv("HOME", saved); }
    } home;
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
    ASSERT_TRUE(trash.startsWith(home.dir.path() + QLatin1Char('/')));
    ASSERT_FALSE(QFileInfo::exists(QFileInfo(trash).absolutePath()));
    const PlmLibraryStore desktop(root); // no trash folder of its own
    writeMap(QStringLiteral("Europe.plmmap"), QStringLiteral("Europe"));
    const QString europe = path(QStringLiteral("Europe.plmmap"));

    const PlmLibraryDeletion deletion = desktop.trash(europe);
    EXPECT_EQ(QFileInfo(deletion.trashedURL).path(), trash + QStringLiteral("/files"));
    EXPECT_EQ(fileBytes(deletion.trashedURL), mapBytes(QStringLiteral("Europe")));
    EXPECT_EQ(QDir(trash + QStringLiteral("/info")).entryList(QDir::Files).size(), 1);

    desktop.restore(deletion);
    EXPECT_EQ(fileBytes(europe), mapBytes(QStringLiteral("Europe")));
    EXPECT_TRUE(QDir(trash + QStringLiteral("/files")).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    EXPECT_TRUE(QDir(trash + QStringLiteral("/info")).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

TEST_F(PlmLibraryStoreTest, newFolderAndMapReading)
{
    const QString atlas = store.newFolder(QStringLiteral(" Atlas "), root);
    EXPECT_EQ(atlas, path(QStringLiteral("Atlas")));
    EXPECT_EQ(storeRefusal([&] { store.newFolder(QStringLiteral("Atlas"), root); }), Kind::collision);
    EXPECT_EQ(storeRefusal([&] { store.map(atlas); }), Kind::unsupportedFile);
    writeMap(QStringLiteral("Atlas/Zone.plmmap"), QStringLiteral("Zone"));
    EXPECT_EQ(store.map(path(QStringLiteral("Atlas/Zone.plmmap"))).name, QStringLiteral("Zone"));
}

TEST_F(PlmLibraryStoreTest, rootThatIsALinkOrAFileIsRefused)
{
    const QString link = dir.path() + QStringLiteral("/Lien");
    ASSERT_TRUE(QFile::link(root, link));
    EXPECT_EQ(storeRefusal([&] { PlmLibraryStore s(link); }), Kind::outsideLibrary);
    const QString file = dir.path() + QStringLiteral("/fichier");
    writeBytes(file, {});
    EXPECT_EQ(storeRefusal([&] { PlmLibraryStore s(file); }), Kind::invalidFolder);
}
