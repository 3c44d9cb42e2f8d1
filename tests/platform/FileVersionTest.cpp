#include "support/TestFiles.h"

#include "platform/FileVersion.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// Sets the file's modification time (its access time too), as touch -d and touch -r do.
void setModified(const QString& path, qint64 seconds, long nanoseconds)
{
    const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

// Another program's change is a new version, even when its length and modification date are
// those of the version before; nothing done to the file is the same version.
TEST(FileVersionTest, EveryChangeOfTheFileIsANewVersion)
{
    enum class Change { none, rewrittenWithinTheSecond, rewrittenDatePutBack, modeChanged };
    struct Row {
        const char* name;
        Change change;
        bool newVersion;
    };
    const Row rows[] = {
        {"nothing done", Change::none, false},
        {"rewritten in place, same length, within the same second", Change::rewrittenWithinTheSecond, true},
        {"rewritten in place, same length, its date put back", Change::rewrittenDatePutBack, true},
        {"its mode changed", Change::modeChanged, true},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString file = dir.filePath(QStringLiteral("version.plm"));
        writeBytes(file, "notre texte");
        setModified(file, 1700000000, 100);
        const std::optional<FileVersion> before = FileVersion::of(file);
        ASSERT_TRUE(before);
        switch (row.change) {
        case Change::none: break;
        case Change::rewrittenWithinTheSecond:
            writeBytes(file, "leur texte!");
            setModified(file, 1700000000, 900);
            break;
        case Change::rewrittenDatePutBack:
            writeBytes(file, "leur texte!");
            setModified(file, 1700000000, 100);
            break;
        case Change::modeChanged:
            ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
            break;
        }
        const std::optional<FileVersion> after = FileVersion::of(file);
        ASSERT_TRUE(after);
        EXPECT_TRUE(after->isSameFileAs(*before));
        EXPECT_EQ(*after != *before, row.newVersion);
        QFile::remove(file);
    }
}

} // namespace
