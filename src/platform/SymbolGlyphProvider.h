#pragma once

#include <QPainterPath>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// A symbol image named like the system symbols of other platforms ("star.fill", "car.fill"…).
// Linux has no such catalogue: each name of our table points at an icon of the Bootstrap Icons
// set (MIT licence, Debian package bootstrap-icons), read as vector paths by the program's own
// SVG reading. A name whose icon is not installed, or that the table does not hold, is
// unavailable. A few geometric glyphs are also drawn in code, so that the basic shapes draw
// where no SVG reading is installed (a tool, a test of a lower layer).
struct SymbolGlyph {
    QString name;
    // Outline in a y-up box (0, 0, size), its larger side 100 long.
    QPainterPath outline;
    QSizeF size;
};

class SymbolGlyphProvider {
public:
    // Turns an icon file into its filled outline, y growing upward; none when the file cannot
    // be read. Installed by the layer that reads SVG; may be called from any thread.
    using OutlineReader = std::function<std::optional<QPainterPath>(const QString& iconFile)>;

    // The glyph of a name, or none when the name is unavailable.
    static std::optional<SymbolGlyph> glyph(const QString& name);
    static bool isAvailable(const QString& name);
    // The names that give a glyph, in ascending byte order.
    static QStringList availableNames();

    // Every name of the table, in ascending byte order (each unique).
    static const QStringList& tableNames();
    // The icon file a name is drawn from (whether or not it is installed); empty for a name
    // outside the table.
    static QString iconFile(const QString& name);
    static QString iconDirectory();
    // Tests point the table at another folder; an empty text restores the installed one.
    static void setIconDirectory(const QString& directory);

    static void setOutlineReader(OutlineReader reader);
    static bool hasOutlineReader();
};
