#include "platform/LocalFileOpener.h"
#include "support/EventWait.h"

#include <QCoreApplication>
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
        QUrl url;
        bool opened;
    } rows[] = {
        {"helper not installed", {dir.filePath(QStringLiteral("xdg-open"))}, QUrl::fromLocalFile(manual), false},
        {"no application for the file", {QStringLiteral("false")}, QUrl::fromLocalFile(manual), false},
        {"the file handed over", {QStringLiteral("test"), QStringLiteral("-f")}, QUrl::fromLocalFile(manual), true},
        {"the path given to the helper", {QStringLiteral("test"), QStringLiteral("-f")}, QUrl::fromLocalFile(manual + "-absent"), false},
        {"a web address handed over whole",
         {QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("test \"$1\" = 'https://exemple.fr/licence%20ouverte?v=2'"), QStringLiteral("sh")},
         QUrl(QStringLiteral("https://exemple.fr/licence ouverte?v=2")), true},
    };
    for (const auto& row : rows) {
        LocalFileOpener::setCommand(row.command);
        std::optional<bool> reported;
        int reports = 0;
        LocalFileOpener::open(row.url, [&](bool opened) {
            reported = opened;
            ++reports;
        });
        EXPECT_FALSE(reported) << row.name << ": reported from inside the call";
        waitUntil([&] { return reported.has_value(); });
        QCoreApplication::processEvents();
        EXPECT_EQ(reported, std::optional<bool>(row.opened)) << row.name;
        EXPECT_EQ(reports, 1) << row.name;
    }
    LocalFileOpener::setCommand({});
}
