#include "library/LibraryOutlineModel.h"
#include "library/LibraryOutlineView.h"
#include "library/LibraryThumbnails.h"
#include "library/LibraryWindowController.h"
#include "support/FilePermissionScope.h"
#include "support/LibraryWindowTestSupport.h"

#include <QDateTime>
#include <QFile>
#include <QSplitter>
#include <gtest/gtest.h>

namespace {

// Share of pixels that are neither transparent nor the background white.
double inkedShare(const QImage& image)
{
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 200 && (c.red() < 230 || c.green() < 230 || c.blue() < 230))
                ++inked;
        }
    return double(inked) / (image.width() * image.height());
}

class LibraryThumbnailsTest : public ::testing::Test {
protected:
    QTemporaryDir cacheDir;
    LibraryWindowScene scene;
    LibraryThumbnails thumbnails{cacheDir.path()};
};

} // namespace

TEST_F(LibraryThumbnailsTest, aMapIsDrawnOnceOffTheMainThreadAndKeptOnDiskByItsModificationTime)
{
    const QString file = scene.writeMap(QStringLiteral("Carte.plmmap"), LibraryWindowScene::squares(QStringLiteral("Carte"), 6));
    QStringList ready;
    QObject::connect(&thumbnails, &LibraryThumbnails::thumbnailReady, [&](const QString& path) { ready << path; });

    EXPECT_TRUE(thumbnails.thumbnail(file).isNull()); // asked, not waited for
    EXPECT_TRUE(thumbnails.isPending(file));
    EXPECT_TRUE(thumbnails.thumbnail(file).isNull());
    EXPECT_EQ(thumbnails.pendingCount(), 1); // one request per file
    thumbnails.waitForPending();
    EXPECT_EQ(ready, QStringList{file});
    const QImage image = thumbnails.thumbnail(file);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), LibraryThumbnails::imageSize() * 2);
    EXPECT_EQ(image.deviceIndependentSize(), QSizeF(LibraryThumbnails::imageSize()));
    EXPECT_GT(inkedShare(image), 0.05); // the squares are there
    const QString cached = thumbnails.cacheFile(file);
    EXPECT_TRUE(QFileInfo::exists(cached));

    // A second window (a later launch) reads the disk cache, not the map, which it cannot
    // read. Its worker starts within the scope, and so is bound by the file's permissions too.
    {
        FilePermissionScope permissions;
        ASSERT_TRUE(permissions.holds());
        QFile::setPermissions(file, QFileDevice::Permissions());
        LibraryThumbnails later(cacheDir.path());
        later.thumbnail(file);
        later.waitForPending();
        EXPECT_EQ(later.thumbnail(file).size(), image.size());
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    // An edited map gets a new key and a new picture.
    scene.writeMap(QStringLiteral("Carte.plmmap"), LibraryWindowScene::squares(QStringLiteral("Carte"), 0));
    QFile touched(file);
    ASSERT_TRUE(touched.open(QIODevice::ReadWrite));
    touched.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
    touched.close();
    EXPECT_NE(thumbnails.cacheFile(file), cached);
    EXPECT_TRUE(thumbnails.thumbnail(file).isNull());
    thumbnails.waitForPending();
    EXPECT_LT(inkedShare(thumbnails.thumbnail(file)), inkedShare(image));
}

TEST_F(LibraryThumbnailsTest, aDamagedMapKeepsItsSymbolAndIsAskedAgain)
{
    const QString file = LibraryWindowScene::writeFile(scene.path(QStringLiteral("Abîmé.plmmap")), "{\"version\": 1}");
    thumbnails.thumbnail(file);
    thumbnails.waitForPending();
    EXPECT_FALSE(thumbnails.isPending(file));
    EXPECT_TRUE(thumbnails.thumbnail(file).isNull());
    EXPECT_TRUE(thumbnails.isPending(file)); // asked again at the next drawing
    thumbnails.waitForPending();
    EXPECT_FALSE(QFileInfo::exists(thumbnails.cacheFile(file)));
}

TEST_F(LibraryThumbnailsTest, theWindowShowsThumbnailsInItsRows)
{
    // Looked at: build/library-window.png (the window with a few maps and a preview).
    scene.writeMap(QStringLiteral("Europe/France.plmmap"), LibraryWindowScene::squares(QStringLiteral("France"), 9));
    scene.writeMap(QStringLiteral("Europe/Italie.plmmap"), LibraryWindowScene::squares(QStringLiteral("Italie"), 4));
    const QString selected = scene.writeMap(
        QStringLiteral("Monde.plmmap"),
        LibraryWindowScene::squares(QStringLiteral("Monde"), 12,
                                    {{QStringLiteral("source"), QStringLiteral("Natural Earth")},
                                     {QStringLiteral("source.license"), QStringLiteral("Domaine public")}}));
    scene.folder(QStringLiteral("Archives"));
    LibraryWindowController& window = *scene.controller;
    window.window()->resize(1060, 700);
    window.showWindow();
    window.reload(QStringList{selected, scene.path(QStringLiteral("Europe/France.plmmap"))});
    window.reload(selected);
    QCoreApplication::processEvents();
    window.outline()->viewport()->grab(); // the rows ask for their pictures as they are drawn
    window.thumbnails()->waitForPending();
    const QString france = scene.path(QStringLiteral("Europe/France.plmmap"));
    EXPECT_FALSE(window.thumbnails()->thumbnail(france).isNull());
    const QImage row = window.model()->indexForURL(france).data(Qt::DecorationRole).value<QImage>();
    EXPECT_EQ(row, window.thumbnails()->thumbnail(france));
    const QImage folder = window.model()->indexForURL(scene.path(QStringLiteral("Europe"))).data(Qt::DecorationRole).value<QImage>();
    EXPECT_NE(folder, row);

    const QImage shot = window.window()->grab().toImage();
    shot.save(QStringLiteral("library-window.png"));
    EXPECT_EQ(shot.size(), window.window()->size() * shot.devicePixelRatio());
}
