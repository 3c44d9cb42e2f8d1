#include "librarystore/PlmLibraryError.h"
#include "librarystore/PlmLibraryManifest.h"
#include "librarystore/PlmLibraryStore.h"
#include "support/LibraryRefusal.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using PackageKind = PlmLibraryPackageError::Kind;
using StoreKind = PlmLibraryError::Kind;

namespace {

class PlmLibraryPackageTest : public ::testing::Test {
protected:
    ~PlmLibraryPackageTest() override { PlmLibraryStore::setMigrationCopyObserver(nullptr); }

    QString path(const QString& relative) const { return dir.path() + QLatin1Char('/') + relative; }
    void write(const QString& relative, const QByteArray& bytes) const { writeBytes(path(relative), bytes); }
    void makeLegacyFolder() const
    {
        write(QStringLiteral("Fonds/Europe/France.plmmap"), "france");
        write(QStringLiteral("Fonds/Europe/Italie.plmmap"), "italie");
        write(QStringLiteral("Fonds/.réglages"), "caché");
    }

    QTemporaryDir dir;
};

} // namespace

TEST(PlmLibraryPackageErrorTest, sentencesAreTheOnesShownToTheUser)
{
    EXPECT_EQ(PlmLibraryPackageError(PackageKind::invalidPackage).message(),
              QStringLiteral("Ce package n\u2019est pas une bibliothèque Pelmora valide ou sa version n\u2019est pas prise en charge."));
    EXPECT_EQ(PlmLibraryPackageError(PackageKind::unavailable).message(),
              QStringLiteral("La bibliothèque est indisponible. Reconnectez son disque ou localisez le package déplacé. "
                             "Aucun dossier de remplacement n\u2019a été créé."));
    EXPECT_EQ(PlmLibraryPackageError(PackageKind::integrity).message(),
              QStringLiteral("La copie ne correspond pas à l\u2019ancienne bibliothèque, ou celle-ci a changé pendant la "
                             "migration. L\u2019original est conservé."));
}

TEST(PlmLibraryManifestTest, writesOneCompactLineAndReadsItBack)
{
    const PlmLibraryManifest manifest = PlmLibraryManifest::make();
    const QByteArray bytes = manifest.encode();
    EXPECT_FALSE(bytes.contains('\n'));
    EXPECT_FALSE(bytes.contains(' '));
    EXPECT_TRUE(bytes.startsWith("{\"version\":1,\"id\":\"" + manifest.idString().toLatin1() + "\",\"created\":"));
    EXPECT_EQ(manifest.idString(), manifest.idString().toUpper());
    EXPECT_EQ(manifest.idString().size(), 36);
    EXPECT_EQ(PlmLibraryManifest::decode(bytes), manifest);
    // Seconds since 2001: a launch today is between 20 and 100 years' worth.
    EXPECT_GT(manifest.created, 20 * 365.0 * 86400);
    EXPECT_LT(manifest.created, 100 * 365.0 * 86400);
}

TEST(PlmLibraryManifestTest, readingAcceptsAnyOrderAndCaseButRefusesWrongShapes)
{
    const PlmLibraryManifest read = PlmLibraryManifest::decode(
        " { \"created\" : 1.5e8, \"extra\": [1, {}], \"id\": \"8c0f6a52-3b1e-4a4e-9d55-0123456789ab\", \"version\": 1 }\n");
    EXPECT_EQ(read.idString(), QStringLiteral("8C0F6A52-3B1E-4A4E-9D55-0123456789AB"));
    EXPECT_EQ(read.created, 1.5e8);

    const QList<QByteArray> refused = {
        "",
        "[]",
        "{\"version\":2,\"id\":\"8C0F6A52-3B1E-4A4E-9D55-0123456789AB\",\"created\":1}",
        "{\"version\":1,\"id\":\"8C0F6A52-3B1E-4A4E-9D55-0123456789AB\"}",
        "{\"version\":\"1\",\"id\":\"8C0F6A52-3B1E-4A4E-9D55-0123456789AB\",\"created\":1}",
        "{\"version\":1.5,\"id\":\"8C0F6A52-3B1E-4A4E-9D55-0123456789AB\",\"created\":1}",
        "{\"version\":1,\"id\":\"{8C0F6A52-3B1E-4A4E-9D55-0123456789AB}\",\"created\":1}",
        "{\"version\":1,\"id\":42,\"created\":1}",
        "{\"version\":1,\"id\":\"8C0F6A52-3B1E-4A4E-9D55-0123456789AB\",\"created\":\"hier\"}",
        "{\"version\":1,\"id\":\"8C0F6A52-3B1E-4A4E-9D55-0123456789AB\",\"created\":1e999}",
        QByteArray(100000, '[') + QByteArray(100000, ']'),
    };
    for (const QByteArray& bytes : refused)
        EXPECT_EQ(packageRefusal([&] { PlmLibraryManifest::decode(bytes); }), PackageKind::invalidPackage) << bytes.left(80).toStdString();
}

TEST_F(PlmLibraryPackageTest, createAndOpenByExtensionCaseInsensitively)
{
    const PlmLibraryStore created = PlmLibraryStore::createPackage(path(QStringLiteral("Atlas.PLMLIBRARY")), std::nullopt);
    EXPECT_EQ(created.root(), path(QStringLiteral("Atlas.PLMLIBRARY")));
    EXPECT_FALSE(created.trashDirectory().has_value());
    EXPECT_EQ(QFileInfo(created.root()).permissions() & 0x0777, QFileDevice::Permissions(0x0755) & 0x0777);
    const QByteArray manifest = fileBytes(created.root() + QStringLiteral("/.plmlibrary.json"));
    EXPECT_EQ(PlmLibraryManifest::decode(manifest), PlmLibraryManifest::read(created.root()));
    EXPECT_EQ(PlmLibraryStore::openPackage(path(QStringLiteral("Atlas.PLMLIBRARY"))), created);

    QDir().mkpath(path(QStringLiteral("Atlas.zip")));
    EXPECT_EQ(packageRefusal([&] { PlmLibraryStore::openPackage(path(QStringLiteral("Atlas.zip"))); }), PackageKind::invalidPackage);
    EXPECT_EQ(packageRefusal([&] { PlmLibraryStore::createPackage(path(QStringLiteral("Neuve.zip")), std::nullopt); }),
              PackageKind::invalidPackage);
    EXPECT_EQ(packageRefusal([&] { PlmLibraryStore::openPackage(path(QStringLiteral("Absente.plmlibrary"))); }), PackageKind::unavailable);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("Absente.plmlibrary"))));
}

TEST_F(PlmLibraryPackageTest, openingRemovesWhatKilledWritesLeftAndNothingElse)
{
    const PlmLibraryStore created = PlmLibraryStore::createPackage(path(QStringLiteral("Atlas.plmlibrary")), std::nullopt);
    const QString stale = QStringLiteral(".tmp-8c0f6a52-3b1e-4a4e-9d55-0123456789ab");
    for (const QString& relative : {stale, QStringLiteral("Europe/") + stale, QStringLiteral("Europe/") + stale + QStringLiteral("x/a"),
                                    QStringLiteral("Europe/France.plmmap"), QStringLiteral(".tmp-brouillon"),
                                    QStringLiteral("Europe/") + stale.mid(1)})
        write(QStringLiteral("Atlas.plmlibrary/") + relative, "x");
    // A copied folder's temporary holds a folder of its own.
    write(QStringLiteral("Atlas.plmlibrary/Asie/.tmp-0b8e8d8e-49a4-45b4-9e43-7e5f1f3c2a10/Japon/Tokyo.plmmap"), "x");
    // A file's write leaves a temporary named after the file.
    write(QStringLiteral("Atlas.plmlibrary/Europe/.Italie.plmmap.k3v9x2ab.pelmora-tmp"), "x");

    PlmLibraryStore::openPackage(created.root());
    QStringList left;
    QDirIterator it(created.root(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        left << it.next().mid(created.root().size() + 1);
    left.sort();
    EXPECT_EQ(left, QStringList({QStringLiteral(".plmlibrary.json"), QStringLiteral(".tmp-brouillon"), QStringLiteral("Asie"),
                                 QStringLiteral("Europe"), QStringLiteral("Europe/") + stale + QStringLiteral("x"),
                                 QStringLiteral("Europe/") + stale + QStringLiteral("x/a"), QStringLiteral("Europe/France.plmmap"),
                                 QStringLiteral("Europe/") + stale.mid(1)}));
}

TEST_F(PlmLibraryPackageTest, openingRefusesBadManifestsLinksAndFiles)
{
    write(QStringLiteral("V2.plmlibrary/.plmlibrary.json"), "{\"version\":2,\"id\":\"8C0F6A52-3B1E-4A4E-9D55-0123456789AB\",\"created\":1}");
    EXPECT_EQ(packageRefusal([&] { PlmLibraryStore::openPackage(path(QStringLiteral("V2.plmlibrary"))); }), PackageKind::invalidPackage);
    write(QStringLiteral("Sans.plmlibrary/.plmlibrary.json"), "{\"version\":1,\"id\":\"8C0F6A52-3B1E-4A4E-9D55-0123456789AB\"}");
    EXPECT_EQ(packageRefusal([&] { PlmLibraryStore::openPackage(path(QStringLiteral("Sans.plmlibrary"))); }), PackageKind::invalidPackage);
    QDir().mkpath(path(QStringLiteral("Vide.plmlibrary")));
    try {
        PlmLibraryStore::openPackage(path(QStringLiteral("Vide.plmlibrary")));
        ADD_FAILURE() << "a package without a manifest was opened";
    } catch (const PlmLibraryFileError& error) {
        EXPECT_EQ(error.kind(), PlmLibraryFileError::Kind::noSuchFile);
        EXPECT_EQ(error.message(), QStringLiteral("Le fichier « .plmlibrary.json » est introuvable."));
    }
    write(QStringLiteral("Énorme.plmlibrary/.plmlibrary.json"), QByteArray(200000, ' '));
    EXPECT_EQ(packageRefusal([&] { PlmLibraryStore::openPackage(path(QStringLiteral("Énorme.plmlibrary"))); }), PackageKind::invalidPackage);

    PlmLibraryStore::createPackage(path(QStringLiteral("Vraie.plmlibrary")), std::nullopt);
    ASSERT_TRUE(QFile::link(path(QStringLiteral("Vraie.plmlibrary")), path(QStringLiteral("Lien.plmlibrary"))));
    EXPECT_EQ(storeRefusal([&] { PlmLibraryStore::openPackage(path(QStringLiteral("Lien.plmlibrary"))); }), StoreKind::outsideLibrary);
    write(QStringLiteral("Fichier.plmlibrary"), "x");
    EXPECT_EQ(storeRefusal([&] { PlmLibraryStore::openPackage(path(QStringLiteral("Fichier.plmlibrary"))); }), StoreKind::invalidFolder);
}

TEST_F(PlmLibraryPackageTest, creationNeverReplacesAnythingAndNeedsAFolderAsParent)
{
    write(QStringLiteral("Pris.plmlibrary/carte.plmmap"), "à moi");
    EXPECT_EQ(storeRefusal([&] { PlmLibraryStore::createPackage(path(QStringLiteral("Pris.plmlibrary")), std::nullopt); }),
              StoreKind::collision);
    EXPECT_EQ(fileBytes(path(QStringLiteral("Pris.plmlibrary/carte.plmmap"))), QByteArray("à moi"));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("Pris.plmlibrary/.plmlibrary.json"))));

    write(QStringLiteral("plat"), "fichier");
    EXPECT_EQ(packageRefusal([&] { PlmLibraryStore::createPackage(path(QStringLiteral("plat/Neuve.plmlibrary")), std::nullopt); }),
              PackageKind::unavailable);
    EXPECT_EQ(fileBytes(path(QStringLiteral("plat"))), QByteArray("fichier"));
}

TEST_F(PlmLibraryPackageTest, migrationCopiesEverythingAndProvesIt)
{
    makeLegacyFolder();
    const QMap<QString, QString> before = PlmLibraryStore::fileDigests(path(QStringLiteral("Fonds")));
    EXPECT_EQ(before.value(QStringLiteral("Europe")), QStringLiteral("directory"));
    EXPECT_NE(before.value(QStringLiteral("Europe/France.plmmap")), before.value(QStringLiteral("Europe/Italie.plmmap")));
    EXPECT_EQ(before.value(QStringLiteral(".réglages")).size(), 64);

    const PlmLibraryStore store = PlmLibraryStore::createPackage(path(QStringLiteral("Neuve.plmlibrary")), path(QStringLiteral("Fonds")));
    EXPECT_EQ(fileBytes(store.root() + QStringLiteral("/Europe/France.plmmap")), QByteArray("france"));
    EXPECT_EQ(fileBytes(store.root() + QStringLiteral("/Europe/Italie.plmmap")), QByteArray("italie"));
    EXPECT_EQ(fileBytes(store.root() + QStringLiteral("/.réglages")), QByteArray("caché"));
    EXPECT_EQ(PlmLibraryStore::fileDigests(store.root()), before); // the manifest is not part of the proof
    EXPECT_NO_THROW(PlmLibraryManifest::read(store.root()));
    EXPECT_EQ(fileBytes(path(QStringLiteral("Fonds/Europe/France.plmmap"))), QByteArray("france"));
    EXPECT_EQ(PlmLibraryStore::fileDigests(path(QStringLiteral("Fonds"))), before);
}

TEST_F(PlmLibraryPackageTest, digestsAreSha256InLowerCaseHexadecimal)
{
    write(QStringLiteral("D/abc"), "abc");
    write(QStringLiteral("D/.plmlibrary.json"), "ignoré");
    write(QStringLiteral("D/S/.plmlibrary.json"), "compté");
    const QMap<QString, QString> digests = PlmLibraryStore::fileDigests(path(QStringLiteral("D")));
    EXPECT_EQ(digests.value(QStringLiteral("abc")), QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_FALSE(digests.contains(QStringLiteral(".plmlibrary.json")));
    EXPECT_TRUE(digests.contains(QStringLiteral("S/.plmlibrary.json")));
    EXPECT_EQ(digests.size(), 3);
    write(QStringLiteral("f"), "x");
    EXPECT_EQ(storeRefusal([&] { PlmLibraryStore::fileDigests(path(QStringLiteral("f"))); }), StoreKind::invalidFolder);
}

TEST_F(PlmLibraryPackageTest, migrationRefusesNestingLinksAndSpecialFilesBeforeMakingThePackage)
{
    makeLegacyFolder();
    EXPECT_EQ(storeRefusal([&] {
                  PlmLibraryStore::createPackage(path(QStringLiteral("Fonds/Europe/Dedans.plmlibrary")), path(QStringLiteral("Fonds")));
              }),
              StoreKind::descendantMove);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("Fonds/Europe/Dedans.plmlibrary"))));

    ASSERT_TRUE(QFile::link(path(QStringLiteral("Fonds/Europe/France.plmmap")), path(QStringLiteral("Fonds/lien"))));
    EXPECT_EQ(storeRefusal([&] { PlmLibraryStore::createPackage(path(QStringLiteral("L.plmlibrary")), path(QStringLiteral("Fonds"))); }),
              StoreKind::outsideLibrary);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("L.plmlibrary"))));
    QFile::remove(path(QStringLiteral("Fonds/lien")));

    // A socket is neither a folder nor a file.
    const QByteArray socketPath = QFile::encodeName(path(QStringLiteral("Fonds/prise")));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() < qsizetype(sizeof address.sun_path)) {
        std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(packageRefusal([&] { PlmLibraryStore::createPackage(path(QStringLiteral("S.plmlibrary")), path(QStringLiteral("Fonds"))); }),
                  PackageKind::integrity);
        EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("S.plmlibrary"))));
    }
    ::close(fd);
}

TEST_F(PlmLibraryPackageTest, aFolderChangedDuringTheCopyLeavesNoPackageAndTheOriginalIntact)
{
    makeLegacyFolder();
    PlmLibraryStore::setMigrationCopyObserver([this] { write(QStringLiteral("Fonds/Europe/France.plmmap"), "modifiée"); });
    EXPECT_EQ(packageRefusal([&] { PlmLibraryStore::createPackage(path(QStringLiteral("N.plmlibrary")), path(QStringLiteral("Fonds"))); }),
              PackageKind::integrity);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("N.plmlibrary"))));
    EXPECT_EQ(fileBytes(path(QStringLiteral("Fonds/Europe/Italie.plmmap"))), QByteArray("italie"));

    // A copy damaged after it was made is caught by the same proof.
    PlmLibraryStore::setMigrationCopyObserver([this] { write(QStringLiteral("M.plmlibrary/Europe/Italie.plmmap"), "abîmée"); });
    EXPECT_EQ(packageRefusal([&] { PlmLibraryStore::createPackage(path(QStringLiteral("M.plmlibrary")), path(QStringLiteral("Fonds"))); }),
              PackageKind::integrity);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("M.plmlibrary"))));
    EXPECT_EQ(fileBytes(path(QStringLiteral("Fonds/Europe/Italie.plmmap"))), QByteArray("italie"));
}

TEST_F(PlmLibraryPackageTest, legacyStoreIsMadeInThePerUserDataFolder)
{
    // The test main puts the per-user folders in test mode, away from the user's own.
    const QString folder = PlmLibraryStore::legacyFolderPath();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(folder.endsWith(QStringLiteral("/PelmoraStudio/Fonds")));
    const PlmLibraryStore legacy = PlmLibraryStore::legacyStore();
    EXPECT_EQ(legacy.root(), folder);
    EXPECT_TRUE(QFileInfo(legacy.root()).isDir());
    EXPECT_FALSE(legacy.trashDirectory().has_value());
}
