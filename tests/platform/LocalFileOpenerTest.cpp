#include "platform/LocalFileOpener.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

// The helper's end decides: a missing helper, or one that finds no application for the file
// (xdg-open without a browser ends with an error), is no opened file.
TEST(LocalFileOpener, TheHelpersExitStatusSaysWhetherTheFileWasOpened)
{
    QTemporaryDir dir;
    const QString manual = dir.filePath(QStringLiteral("Manuel.html"));
    QFile file(manual);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const struct {
        const char* name;
        QStringList command;
        QString path;
        bool opened;
    } rows[] = {
        {"helper not installed", {dir.filePath(QStringLiteral("xdg-open"))}, manual, false},
        {"no application for the file", {QStringLiteral("false")}, manual, false},
        {"the file handed over", {QStringLiteral("test"), QStringLiteral("-f")}, manual, true},
        {"the path given to the helper", {QStringLiteral("test"), QStringLiteral("-f")}, manual + "-absent", false},
    };
    for (const auto& row : rows) {
        LocalFileOpener::setCommand(row.command);
        std::optional<bool> reported;
        int reports = 0;
        LocalFileOpener::open(row.path, [&](bool opened) {
            reported = opened;
            ++reports;
        });
        EXPECT_FALSE(reported) << row.name << ": reported from inside the call";
        const QDeadlineTimer deadline(10000);
        while (!reported && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::processEvents();
        EXPECT_EQ(reported, std::optional<bool>(row.opened)) << row.name;
        EXPECT_EQ(reports, 1) << row.name;
    }
    LocalFileOpener::setCommand({});
}
