#pragma once

#include <QString>
#include <QStringList>
#include <algorithm>

// Plain Unicode order of texts: by code points, with no locale collation. It differs
// from QString's UTF-16 order only for characters above U+FFFF, which must sort
// after every character of the basic plane (U+E000...U+FFFF included).
inline bool plmCodePointLess(const QString& a, const QString& b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x == y)
            continue;
        const bool xs = QChar::isSurrogate(x);
        const bool ys = QChar::isSurrogate(y);
        if (xs != ys)
            return ys; // the surrogate half stands for the larger code point
        return x < y;
    }
    return a.size() < b.size();
}

inline void plmSortByCodePoints(QStringList& texts)
{
    std::sort(texts.begin(), texts.end(), plmCodePointLess);
}
