#include "canvas/SymbolPictureCache.h"
#include "canvas/ProportionalShape.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

struct Symbol {
    const char* glyph;
    PlmColor color;
    double size;
    std::optional<PlmStyle> visibleOutline;
};

ProportionalShape shapeOf(const Symbol& symbol)
{
    PlmProportionalSettings settings;
    settings.kind = PlmSymbolKind::sfSymbol;
    settings.sfSymbolName = QString::fromLatin1(symbol.glyph);
    settings.outline = symbol.visibleOutline;
    settings.outlineVisible = symbol.visibleOutline.has_value();
    return ProportionalShape(settings, false);
}

} // namespace

// A picture is shared by whatever draws the same pixels, and only by that: each row draws a
// symbol through a shape made for the moment and must get exactly its own rendering.
TEST(SymbolPictureCacheTest, OnePicturePerGlyphColourAndVisibleOutline)
{
    const PlmColor red{1, 0, 0, 1};
    const PlmColor blue{0, 0, 1, 1};
    const PlmStyle thin(PlmColor{0, 0, 0, 1}, std::nullopt, 1, 0);
    const PlmStyle thick(PlmColor{0, 0, 0, 1}, std::nullopt, 3, 0);
    const PlmStyle thinGreen(PlmColor{0, 1, 0, 1}, std::nullopt, 1, 0);
    struct Row {
        const char* name;
        Symbol symbol;
        qsizetype pictures;  // after this row
    };
    const Row rows[] = {
        {"a glyph in red", {"circle.fill", red, 10, std::nullopt}, 1},
        {"the same glyph and colour", {"circle.fill", red, 10, std::nullopt}, 1},
        {"another size without outline", {"circle.fill", red, 30, std::nullopt}, 1},
        {"another colour", {"circle.fill", blue, 10, std::nullopt}, 2},
        {"another glyph", {"square.fill", red, 10, std::nullopt}, 3},
        {"a visible outline", {"circle.fill", red, 10, thin}, 4},
        {"the same outlined symbol", {"circle.fill", red, 10, thin}, 4},
        {"an outlined symbol of another size", {"circle.fill", red, 20, thin}, 5},
        {"a wider outline", {"circle.fill", red, 10, thick}, 6},
        {"an outline of another colour", {"circle.fill", red, 10, thinGreen}, 7},
    };
    SymbolPictureCache cache;
    for (const Row& row : rows) {
        const ProportionalShape shape = shapeOf(row.symbol);
        ASSERT_TRUE(shape.nativeSymbol) << row.name;
        const QImage picture = cache.picture(shape, row.symbol.color, row.symbol.size).image;
        EXPECT_EQ(picture, shape.renderBitmap(row.symbol.color, row.symbol.size)) << row.name;
        EXPECT_EQ(cache.size(), row.pictures) << row.name;
    }
}
