#include "inspector/InspectorIcon.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <gtest/gtest.h>

namespace {

const QString iconFolder = QDir::cleanPath(QStringLiteral(PELMORA_SOURCE_DIR "/src/inspector/icons"));

} // namespace

TEST(StudioIcons, EverySymbolOfTheStudioIsInTheSet)
{
    const QStringList used = {
        // toolbar
        "square.stack.3d.up", "map", "square.and.pencil", "square.and.arrow.down", "photo.on.rectangle.angled",
        "books.vertical", "plus", "minus.magnifyingglass", "arrow.up.left.and.arrow.down.right",
        "plus.magnifyingglass", "sidebar.left", "rectangle.bottomthird.inset.filled", "sidebar.right", "doc.text",
        "square.and.arrow.up",
        // bottom bar, outline, sections
        "arrow.up.and.down", "trash", "eye", "eye.slash", "lock.fill", "lock.open", "chevron.down", "chevron.right"};
    for (const QString& name : used)
        EXPECT_TRUE(InspectorIcon::exists(name)) << name.toStdString();
    EXPECT_FALSE(InspectorIcon::exists(QStringLiteral("no.such.symbol")));
    EXPECT_FALSE(InspectorIcon::exists(QStringLiteral("../icons/plus")));
    EXPECT_TRUE(InspectorIcon::symbol(QStringLiteral("no.such.symbol")).isNull());
}

TEST(StudioIcons, TheResourceFileListsExactlyTheDrawings)
{
    QFile qrc(iconFolder + QStringLiteral("/icons.qrc"));
    ASSERT_TRUE(qrc.open(QIODevice::ReadOnly));
    QStringList listed;
    const QRegularExpression file(QStringLiteral("<file>([^<]+)</file>"));
    for (auto match = file.globalMatch(QString::fromUtf8(qrc.readAll())); match.hasNext();)
        listed << match.next().captured(1);
    listed.sort();
    QStringList drawn = QDir(iconFolder).entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name);
    EXPECT_EQ(listed, drawn);
    EXPECT_GE(drawn.size(), 23);
}

TEST(StudioIcons, EveryDrawingRendersInOneColour)
{
    const QStringList drawings = QDir(iconFolder).entryList({QStringLiteral("*.svg")}, QDir::Files);
    ASSERT_FALSE(drawings.isEmpty());
    for (const QString& name : drawings) {
        QSvgRenderer renderer(iconFolder + QLatin1Char('/') + name);
        ASSERT_TRUE(renderer.isValid()) << name.toStdString();
        EXPECT_EQ(renderer.viewBoxF(), QRectF(0, 0, 24, 24)) << name.toStdString();
        const QString symbol = name.chopped(4);
        const QImage image = InspectorIcon::symbol(symbol, QColor(20, 120, 220)).pixmap(QSize(48, 48)).toImage();
        int inked = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.alpha() < 250)
                    continue;
                ++inked;
                EXPECT_NEAR(c.red(), 20, 2) << symbol.toStdString();
                EXPECT_NEAR(c.blue(), 220, 2) << symbol.toStdString();
            }
        }
        EXPECT_GT(inked, 40) << symbol.toStdString();
    }
}
