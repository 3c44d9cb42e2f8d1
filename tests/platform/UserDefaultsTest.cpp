#include "platform/Bookmark.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(UserDefaultsTest, TemporaryScopeIsolatesAndNests)
{
    UserDefaults::TemporaryScope outer;
    UserDefaults::setValue(QStringLiteral("Studio.Mode"), 2);
    {
        UserDefaults::TemporaryScope inner;
        EXPECT_FALSE(UserDefaults::contains(QStringLiteral("Studio.Mode")));
        UserDefaults::setValue(QStringLiteral("Studio.Mode"), 0);
        EXPECT_NE(inner.filePath(), outer.filePath());
    }
    EXPECT_EQ(UserDefaults::integerValue(QStringLiteral("Studio.Mode")), 2);
}

TEST(UserDefaultsTest, DottedKeysSurviveAReload)
{
    UserDefaults::TemporaryScope scope;
    UserDefaults::setValue(QStringLiteral("Carte.Inspecteur.section.Légende"), true);
    UserDefaults::setValue(QStringLiteral("Studio.Columns"), 220.5);
    UserDefaults::settings().sync();
    QSettings reread(scope.filePath(), QSettings::IniFormat);
    EXPECT_TRUE(reread.contains(QStringLiteral("Carte.Inspecteur.section.Légende")));
    EXPECT_TRUE(UserDefaults::boolValue(QStringLiteral("Carte.Inspecteur.section.Légende")));
    EXPECT_DOUBLE_EQ(UserDefaults::doubleValue(QStringLiteral("Studio.Columns")), 220.5);
}

TEST(UserDefaultsTest, ValuesOfTheWrongKindFallBack)
{
    UserDefaults::TemporaryScope scope;
    UserDefaults::setValue(QStringLiteral("Studio.Tab"), QStringLiteral("deux"));
    EXPECT_EQ(UserDefaults::integerValue(QStringLiteral("Studio.Tab"), 1), 1);
    UserDefaults::setValue(QStringLiteral("Studio.Tab"), QStringLiteral("12abc"));
    EXPECT_EQ(UserDefaults::integerValue(QStringLiteral("Studio.Tab"), 1), 1);
    UserDefaults::setValue(QStringLiteral("Studio.Tab"), QStringLiteral("2"));
    EXPECT_EQ(UserDefaults::integerValue(QStringLiteral("Studio.Tab"), 1), 2);
    UserDefaults::setValue(QStringLiteral("Studio.Bottom"), QStringLiteral("nan"));
    EXPECT_DOUBLE_EQ(UserDefaults::doubleValue(QStringLiteral("Studio.Bottom"), 180), 180);
    UserDefaults::setValue(QStringLiteral("Studio.Flag"), QStringLiteral("peut-être"));
    EXPECT_TRUE(UserDefaults::boolValue(QStringLiteral("Studio.Flag"), true));
    EXPECT_EQ(UserDefaults::stringValue(QStringLiteral("absent"), QStringLiteral("défaut")), QStringLiteral("défaut"));
}

TEST(BookmarkTest, BookmarkIsAnAbsolutePathCheckedForExistence)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("carte.plm"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    const QByteArray data = Bookmark::make(file);
    EXPECT_EQ(Bookmark::resolve(data), QDir::cleanPath(file));
    EXPECT_TRUE(Bookmark::startAccessing(file));

    QFile::remove(file);
    try {
        Bookmark::resolve(data);
        ADD_FAILURE() << "a deleted file must not resolve";
    } catch (const Bookmark::Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Le fichier « %1 » est introuvable.").arg(QDir::cleanPath(file)));
    }
    EXPECT_THROW(Bookmark::make(file), Bookmark::Error);
}

TEST(BookmarkTest, GarbageDataIsRefused)
{
    EXPECT_THROW(Bookmark::resolve(QByteArray()), Bookmark::Error);
    EXPECT_THROW(Bookmark::resolve("relative/path.plm"), Bookmark::Error);
    EXPECT_THROW(Bookmark::resolve(QByteArray("/tmp\0/x", 7)), Bookmark::Error);
    EXPECT_THROW(Bookmark::resolve(QByteArray(20000, '/')), Bookmark::Error);
}

} // namespace
