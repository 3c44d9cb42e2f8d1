#pragma once

#include <QHash>
#include <QRawFont>
#include <QString>

// Values kept per glyph of a font on the calling thread (outlines, outline bounds): texts
// repeat the same few letters and digits, and asking the font for each again is most of laying
// them out. Fonts are told by what selects their outlines (no engine is kept alive); a few fonts
// are kept, each with a bounded count of glyphs. The font must be usable (UsableFonts::isUsable),
// as its names are read.
template <typename Value>
QHash<quint32, Value>& fontGlyphCache(const QRawFont& font)
{
    thread_local QHash<QString, QHash<quint32, Value>> cache;
    const QString key = font.familyName() + QLatin1Char('\n') + font.styleName() + QLatin1Char('\n')
                        + QString::number(font.pixelSize(), 'g', 17) + QLatin1Char('/') + QString::number(font.weight())
                        + QLatin1Char('/') + QString::number(int(font.style())) + QLatin1Char('/')
                        + QString::number(int(font.hintingPreference()));
    if (cache.size() >= 64 && !cache.contains(key))
        cache.clear();
    QHash<quint32, Value>& values = cache[key];
    if (values.size() >= 4096)
        values.clear();
    return values;
}
