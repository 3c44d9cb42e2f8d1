#include "platform/LaunchLock.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

// Launches decide one at a time which is the running instance. What a launch left behind when
// it was killed, whatever its file holds, keeps nobody waiting; a live launch's lock is waited
// for, and taken once let go.
TEST(LaunchLock, OnlyALiveHolderIsWaitedFor)
{
    using std::chrono::milliseconds;
    enum class Left { nothing, emptyFile, anotherProgramsDetails, liveHolder };
    struct Row {
        const char* name;
        Left left;
    };
    const Row rows[] = {
        {"no lock file yet", Left::nothing},
        {"an empty file, left by a launch killed while taking it", Left::emptyFile},
        {"the details of a launch on another computer", Left::anotherProgramsDetails},
        {"a live launch deciding", Left::liveHolder},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("pelmora-studio-:1.lock"));
        std::unique_ptr<LaunchLock> holder;
        if (row.left == Left::emptyFile)
            writeBytes(path, {});
        if (row.left == Left::anotherProgramsDetails)
            writeBytes(path, "4242\npelmora-studio\nun-autre-ordinateur\n");
        if (row.left == Left::liveHolder) {
            holder = std::make_unique<LaunchLock>(path, milliseconds(0));
            ASSERT_TRUE(holder->isHeld());
        }
        const bool waited = row.left == Left::liveHolder;
        LaunchLock launch(path, milliseconds(0));
        EXPECT_EQ(launch.isHeld(), !waited);
        // Let go, it is the next launch's.
        holder.reset();
        launch.release();
        EXPECT_TRUE(LaunchLock(path, milliseconds(0)).isHeld());
    }
}
