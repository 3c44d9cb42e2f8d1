#include "support/FilePermissionScope.h"
#include "support/TestFiles.h"

#include "platform/AtomicFileWriter.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Refusal = AtomicFileWriter::Refusal;

QStringList listing(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

std::optional<int> modeOf(const QString& path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return int(status.st_mode & 07777);
}

// Another program's write: a new file renamed over the path.
void theirWrite(const QString& path)
{
    QSaveFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("leur version");
    ASSERT_TRUE(file.commit());
}

// What a write leaves, whatever is at the name and whatever happens meanwhile: the new bytes
// under the name, or what was there (or what another program put there) with no change at all;
// never a temporary beside it. The temporary is flushed whole before it takes the name, and the
// version given back is that of the file the rename left, not of what came after it.
TEST(AtomicFileWriterTest, AFileHoldsItsOldBytesOrTheNewOnesAndNoTemporaryIsLeft)
{
    FilePermissionScope permissions;
    ASSERT_TRUE(permissions.holds());
    const mode_t umask = ::umask(0);
    ::umask(umask);

    // The path written, and the file it leads to.
    struct Scene {
        QString path;
        QString file;
    };
    struct Row {
        const char* name;
        std::function<void(Scene&)> before;            // what is at the name
        Refusal refusal;
        AtomicFileWriter::Options options = {};
        std::function<void(const Scene&)> meanwhile;   // just before the rename
        bool changedAfterRename = false;               // another program writes right after it
    };
    const auto existing = [](int mode) {
        return [mode](Scene& scene) {
            writeBytes(scene.file, "ancien");
            ASSERT_TRUE(::chmod(QFile::encodeName(scene.file).constData(), mode_t(mode)) == 0);
        };
    };
    AtomicFileWriter::Options noReplace;
    noReplace.replaceExisting = false;
    const std::vector<Row> rows{
        {"a new file", [](Scene&) {}, Refusal::none},
        {"a file replaced keeps its permissions", existing(0640), Refusal::none},
        {"through a link, its target",
         [](Scene& scene) {
             scene.file = QFileInfo(scene.path).absolutePath() + QStringLiteral("/cible/Carte.plm");
             writeBytes(scene.file, "ancien");
             ASSERT_TRUE(QFile::link(QStringLiteral("cible/Carte.plm"), scene.path));
         },
         Refusal::none},
        {"a read-only file in a folder the person may write", existing(0444), Refusal::notWritable},
        {"a folder", [](Scene& scene) { ASSERT_TRUE(QDir().mkdir(scene.file)); }, Refusal::isFolder},
        {"a writable file in a folder the person may not write",
         [&](Scene& scene) {
             existing(0644)(scene);
             ASSERT_TRUE(::chmod(QFile::encodeName(QFileInfo(scene.file).absolutePath()).constData(), 0555) == 0);
         },
         Refusal::temporary},
        {"a name taken, for a write that replaces nothing", existing(0644), Refusal::exists, noReplace},
        {"a name taken during a write that replaces nothing", [](Scene&) {}, Refusal::exists, noReplace,
         [](const Scene& scene) { theirWrite(scene.file); }},
        {"changed by another program before the rename", existing(0644), Refusal::changedMeanwhile, {},
         [](const Scene& scene) { theirWrite(scene.file); }},
        {"the flush refused", existing(0644), Refusal::syncing},
        {"changed by another program right after the rename", existing(0644), Refusal::none, {}, {}, true},
        {"a name as long as the system allows",
         [](Scene& scene) {
             scene.path = scene.file = QFileInfo(scene.path).absolutePath() + QLatin1Char('/') + QString(251, QLatin1Char('n'))
                 + QStringLiteral(".plm");
         },
         Refusal::none},
    };
    const QByteArray written = "nouveau contenu";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        Scene scene{dir.filePath(QStringLiteral("Carte.plm")), dir.filePath(QStringLiteral("Carte.plm"))};
        row.before(scene);
        const QString& path = scene.path;
        const QString& target = scene.file;
        const QByteArray old = fileBytes(target);
        const std::optional<int> oldMode = modeOf(target);
        const QStringList names = listing(QFileInfo(target).absolutePath());

        AtomicFileWriter::Options options = row.options;
        if (row.meanwhile) {
            options.beforeComparing = [&] { row.meanwhile(scene); };
            if (options.replaceExisting)
                options.expected = FileVersion::of(target);
        }
        // What the flush met: the temporary whole, beside a file still as it was.
        int syncs = 0;
        AtomicFileWriter::Hooks hooks;
        hooks.sync = [&](int descriptor) {
            ++syncs;
            struct stat status {};
            EXPECT_EQ(::fstat(descriptor, &status), 0);
            EXPECT_EQ(qint64(status.st_size), written.size());
            EXPECT_EQ(fileBytes(target), old);
            QStringList temporaries = listing(QFileInfo(target).absolutePath());
            for (const QString& name : names)
                temporaries.removeOne(name);
            EXPECT_EQ(temporaries.size(), 1);
            for (const QString& name : temporaries) {
                EXPECT_TRUE(AtomicFileWriter::isTemporaryName(name)) << name.toStdString();
                EXPECT_TRUE(name.startsWith(QLatin1Char('.') + QFileInfo(target).fileName().left(200))) << name.toStdString();
                EXPECT_TRUE(AtomicFileWriter::isWritingTemporary(QFileInfo(target).absolutePath() + QLatin1Char('/') + name));
            }
            if (row.refusal == Refusal::syncing) {
                errno = EIO;
                return -1;
            }
            return ::fsync(descriptor);
        };
        std::optional<FileVersion> ours;
        if (row.changedAfterRename) {
            hooks.afterRename = [&](const QString& renamed) {
                ours = FileVersion::of(renamed);
                theirWrite(renamed);
            };
        }
        const AtomicFileWriter::Result result = [&] {
            const AtomicFileWriter::ScopedHooks scoped(hooks);
            return AtomicFileWriter::write(path, written, options);
        }();
        ::chmod(QFile::encodeName(dir.path()).constData(), 0700);

        EXPECT_EQ(result.refusal, row.refusal);
        const bool reachedTheFlush = row.refusal == Refusal::none || row.refusal == Refusal::syncing
            || row.refusal == Refusal::changedMeanwhile || (row.refusal == Refusal::exists && row.meanwhile);
        EXPECT_EQ(syncs, reachedTheFlush ? 1 : 0);
        EXPECT_FALSE(AtomicFileWriter::isWritingTemporary(result.temporary));
        QStringList expectedNames = names;
        if (!names.contains(QFileInfo(target).fileName()) && (row.refusal == Refusal::none || row.meanwhile))
            expectedNames = QStringList(names) << QFileInfo(target).fileName();
        expectedNames.sort();
        EXPECT_EQ(listing(QFileInfo(target).absolutePath()), expectedNames);
        if (row.meanwhile || row.changedAfterRename) {
            EXPECT_EQ(fileBytes(target), QByteArray("leur version"));
        } else if (row.refusal == Refusal::none) {
            EXPECT_EQ(fileBytes(target), written);
            EXPECT_EQ(modeOf(target), oldMode ? *oldMode : int(0666 & ~umask));
        } else {
            EXPECT_EQ(fileBytes(target), old);
            EXPECT_EQ(modeOf(target), oldMode);
        }
        if (row.refusal == Refusal::none) {
            EXPECT_TRUE(QFileInfo(path).isSymLink() == (path != target));
            // The version of the file this write made, as the rename left it.
            ASSERT_TRUE(result.version);
            if (row.changedAfterRename) {
                ASSERT_TRUE(ours);
                EXPECT_TRUE(result.version->isSameFileAs(*ours));
                EXPECT_FALSE(result.version->isSameFileAs(*FileVersion::of(target)));
            } else {
                EXPECT_EQ(result.version, FileVersion::of(target));
            }
        }
    }
}

} // namespace
