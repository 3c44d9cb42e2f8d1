#pragma once

#include <QPainterPath>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

// A symbol image named like the system symbols of other platforms
// ("star.fill", "circle"…). Linux has no such catalogue, so a few common
// glyphs are drawn in code; every other name is reported unavailable.
struct SymbolGlyph {
    QString name;
    // Outline in a y-up box (0, 0, size), as the glyph would be at a point
    // size of 100.
    QPainterPath outline;
    QSizeF size;
};

class SymbolGlyphProvider {
public:
    // The glyph of a name, or none when the name is not one of ours.
    static std::optional<SymbolGlyph> glyph(const QString& name);
    static bool isAvailable(const QString& name);
    // The names that give a glyph, in a stable order.
    static QStringList availableNames();
};
