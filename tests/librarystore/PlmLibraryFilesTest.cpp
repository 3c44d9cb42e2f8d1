// Library writes killed in the middle, or cleaned up by another program sharing the library,
// and files too large to take: what a person finds in the library folder afterwards.
#include "librarystore/PlmLibraryError.h"
#include "librarystore/PlmLibraryFiles.h"
#include "librarystore/PlmLibraryStore.h"
#include "model/PlmFileLimits.h"
#include "platform/AtomicFileWriter.h"
#include "support/ErrorCapture.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace Files = PlmLibraryFiles;

namespace {

// Entries of a folder, hidden ones included, sorted.
QStringList listing(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    return names;
}

// Runs `write` in a child process and kills it once something it writes in the folder holds
// bytes (or once it has finished): the final name must then hold everything or nothing.
template <typename Write>
void killWhileWriting(const QString& folder, Write write)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        write();
        ::_exit(0);
    }
    // Polls for the temporary rather than waiting a fixed time: the kill lands mid-write on
    // any machine fast or slow enough to show it, and otherwise after the end.
    for (int k = 0; k < 200000; ++k) {
        bool writing = false;
        for (const QString& name : listing(folder))
            if (QFileInfo(folder + QLatin1Char('/') + name).size() > 0)
                writing = true;
        int status = 0;
        if (writing || ::waitpid(child, &status, WNOHANG) == child)
            break;
        ::usleep(50);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

QStringList visible(const QStringList& names)
{
    QStringList kept;
    for (const QString& name : names)
        if (!name.startsWith(QLatin1Char('.')))
            kept << name;
    return kept;
}

} // namespace

TEST(PlmLibraryFilesTest, aKilledWriteLeavesNoPartialFileUnderItsName)
{
    QTemporaryDir dir;
    const QByteArray bytes(128 << 20, 'x'); // long enough to be caught in the middle
    const QString target = dir.filePath(QStringLiteral("Grande carte.plmmap"));
    killWhileWriting(dir.path(), [&] { Files::writeNew(target, bytes); });
    const QStringList names = visible(listing(dir.path()));
    // Killed mid-write, only a hidden temporary remains (the library lists no hidden entry).
    EXPECT_TRUE(names.isEmpty() || names == QStringList{QStringLiteral("Grande carte.plmmap")});
    if (!names.isEmpty()) {
        EXPECT_EQ(QFileInfo(target).size(), bytes.size());
    }
}

TEST(PlmLibraryFilesTest, aKilledFolderCopyLeavesNoPartialFolderUnderItsName)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source/Dossier"));
    ASSERT_TRUE(QDir().mkpath(source));
    for (int k = 0; k < 4; ++k) {
        QFile file(source + QStringLiteral("/carte %1.plmmap").arg(k));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(32 << 20, char('a' + k)));
    }
    const QString library = dir.filePath(QStringLiteral("Fonds"));
    ASSERT_TRUE(QDir().mkpath(library));
    const QString target = library + QStringLiteral("/Dossier");
    killWhileWriting(library, [&] { Files::copyTree(source, target); });
    const QStringList names = visible(listing(library));
    EXPECT_TRUE(names.isEmpty() || names == QStringList{QStringLiteral("Dossier")});
    if (!names.isEmpty()) {
        EXPECT_EQ(listing(target).size(), 4);
    }
}

TEST(PlmLibraryFilesTest, writesNeverReplaceAndLeaveNoTemporaryBehind)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("Carte.plmmap"));
    Files::writeNew(target, "un");
    EXPECT_THROW(Files::writeNew(target, "deux"), PlmLibraryError);
    Files::copyTree(target, dir.filePath(QStringLiteral("Copie.plmmap")));
    EXPECT_THROW(Files::copyTree(target, dir.filePath(QStringLiteral("Copie.plmmap"))), PlmLibraryError);
    EXPECT_EQ(listing(dir.path()), (QStringList{QStringLiteral("Carte.plmmap"), QStringLiteral("Copie.plmmap")}));
    QFile written(target);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("un"));
}

TEST(PlmLibraryFilesTest, aMapTooLargeIsRefusedBySizeWithTheDocumentsSentence)
{
    QTemporaryDir dir;
    const QString huge = dir.filePath(QStringLiteral("Monde détaillé.plmmap"));
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(2) << 30)); // sparse: nothing is read or written
    }
    const PlmLibraryStore store(dir.filePath(QStringLiteral("Fonds")), dir.filePath(QStringLiteral("Corbeille")), true);
    try {
        store.importMap(huge, store.root());
        ADD_FAILURE() << "imported";
    } catch (const PlmError& error) {
        EXPECT_EQ(error.message(), plmLargeFileMessage(huge));
        EXPECT_EQ(error.message(),
                  QStringLiteral("Le fichier « Monde détaillé.plmmap » est trop volumineux pour être ouvert "
                                 "(256 Mo au plus)."));
    }
}

// Whole components decide, once the paths are standardized; links count only when asked to,
// and then either way round reveals the nesting.
TEST(PlmLibraryFilesTest, aPathIsWithinAFolderByWholeComponents)
{
    QTemporaryDir dir;
    const QString lib = dir.filePath(QStringLiteral("lib"));
    ASSERT_TRUE(QDir().mkpath(lib + QStringLiteral("/Europe")));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("library"))));
    ASSERT_TRUE(QFile::link(lib, dir.filePath(QStringLiteral("lien"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("library")), lib + QStringLiteral("/dehors")));
    const struct {
        const char* name;
        QString path;
        QString folder;
        bool asWritten;
        bool alsoResolved;
    } rows[] = {
        {"the folder itself", lib, lib, true, true},
        {"a map below it", lib + "/Europe/France.plmmap", lib, true, true},
        {"the folder with a trailing slash", lib + "/Europe", lib + "/", true, true},
        {"the path with a trailing slash", lib + "/", lib, true, true},
        {"a sibling sharing the prefix", dir.filePath("library/Monde.plmmap"), lib, false, false},
        {"the sibling itself", dir.filePath("library"), lib, false, false},
        {"the folder's parent", dir.path(), lib, false, false},
        {"dot-dot climbing out", lib + "/Europe/../../library", lib, false, false},
        {"dot-dot staying in", lib + "/Europe/../Asie", lib, true, true},
        {"the root holds everything", lib, QStringLiteral("/"), true, true},
        {"a link leading into the folder", dir.filePath("lien/Europe"), lib, false, true},
        {"the folder named through a link", lib + "/Europe", dir.filePath("lien"), false, true},
        {"a link inside leading out", lib + "/dehors/Monde.plmmap", lib, true, true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Files::isWithin(row.path, row.folder), row.asWritten) << row.name;
        EXPECT_EQ(Files::isWithin(row.path, row.folder, Files::Links::alsoResolved), row.alsoResolved) << row.name;
    }
}

// Two sessions of the person's, each with its program, share one library; each cleans its
// folders as it opens them, while the other may be writing there. The other's write, of a map
// or of a folder copy, survives every clean-up and ends whole; what a killed write left, which
// nobody holds, is still removed.
TEST(PlmLibraryFilesTest, aCleanUpSparesAnotherProgramsWriteAndRemovesWhatAKillLeft)
{
    struct Row {
        const char* name;
        std::function<void(const QString& library, const QString& target)> write;
        qint64 size; // of what the write makes
    };
    const QByteArray bytes(64 << 20, 'x');
    const Row rows[] = {
        {"a map written", [&](const QString&, const QString& target) { Files::writeNew(target, bytes); }, bytes.size()},
        {"a folder copied",
         [&](const QString& library, const QString& target) {
             Files::copyTree(QFileInfo(library).absolutePath() + QStringLiteral("/Dossier"), target);
         },
         4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        for (int k = 0; k < 4; ++k)
            writeBytes(dir.filePath(QStringLiteral("Dossier/carte %1.plmmap").arg(k)), QByteArray(16 << 20, char('a' + k)));
        const QString library = dir.filePath(QStringLiteral("Fonds"));
        // Left by killed writes of each kind.
        writeBytes(library + QStringLiteral("/Europe/.Monde.plmmap.k1lled00.pelmora-tmp"), "partiel");
        writeBytes(library + QStringLiteral("/.tmp-0f8e2c1a-5b7d-4e36-9a41-2d6c8b3e7f90/carte.plmmap"), "partiel");
        const QString target = library + QStringLiteral("/Grande carte");

        const pid_t other = ::fork();
        ASSERT_GE(other, 0);
        if (other == 0) {
            try {
                row.write(library, target);
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        // This program opens the library over and over while the other writes.
        int status = 0;
        while (::waitpid(other, &status, WNOHANG) == 0)
            Files::removeStaleTemporaries(library);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the other program's write failed";
        const QFileInfo made(target);
        EXPECT_EQ(made.isDir() ? listing(target).size() : made.size(), row.size);
        Files::removeStaleTemporaries(library);
        EXPECT_EQ(listing(library), (QStringList{QStringLiteral("Europe"), QStringLiteral("Grande carte")}));
        EXPECT_TRUE(listing(library + QStringLiteral("/Europe")).isEmpty());
    }
}

// A write whose temporary went from under it says why its rename failed, about the file it
// writes: not that this file, which may well be there, cannot be found.
TEST(PlmLibraryFilesTest, aFailedRenameNamesItsFailure)
{
    QTemporaryDir dir;
    AtomicFileWriter::Hooks hooks;
    hooks.sync = [](int descriptor) {
        char path[PATH_MAX] = {};
        const QByteArray link = "/proc/self/fd/" + QByteArray::number(descriptor);
        if (::readlink(link.constData(), path, sizeof path - 1) > 0)
            ::unlink(path);
        return 0;
    };
    const AtomicFileWriter::ScopedHooks removedMeanwhile(hooks);
    EXPECT_EQ(thrownMessage([&] { Files::writeNew(dir.filePath(QStringLiteral("big.plmmap")), "carte"); }),
              QStringLiteral("L’opération sur « big.plmmap » a échoué (%1).").arg(QString::fromLocal8Bit(std::strerror(ENOENT))));
}
