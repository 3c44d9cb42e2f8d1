#include "export/PdfPageBox.h"

#include <cmath>
#include <cstdio>

namespace {

bool isNumberByte(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+'; }

// The number written in exactly `width` bytes: more decimals when the exact value is shorter
// than what it replaces, fewer when it is longer. Empty when it cannot fit.
QByteArray fixedWidthNumber(double value, int width)
{
    for (int decimals = 6; decimals >= 0; --decimals) {
        char text[64];
        const int n = std::snprintf(text, sizeof text, "%.*f", decimals, value);
        if (n <= 0 || n >= int(sizeof text))
            return {};
        if (n == width)
            return QByteArray(text, n);
        if (n < width) {
            QByteArray padded(text, n);
            if (decimals == 0)
                padded.append('.');
            while (padded.size() < width)
                padded.append('0');
            return padded;
        }
    }
    return {};
}

} // namespace

bool setExactMediaBox(QByteArray& pdf, double widthPoints, double heightPoints)
{
    if (!std::isfinite(widthPoints) || !std::isfinite(heightPoints))
        return false;
    static const QByteArray key("/MediaBox");
    bool changed = false;
    qsizetype from = 0;
    while ((from = pdf.indexOf(key, from)) >= 0) {
        qsizetype p = from + key.size();
        from = p;
        while (p < pdf.size() && (pdf[p] == ' ' || pdf[p] == '\n' || pdf[p] == '\r'))
            ++p;
        if (p >= pdf.size() || pdf[p] != '[')
            continue;
        ++p;
        // Four numbers: the first two stay, the last two are the page's width and height.
        qsizetype starts[4];
        qsizetype ends[4];
        bool ok = true;
        for (int i = 0; i < 4 && ok; ++i) {
            while (p < pdf.size() && (pdf[p] == ' ' || pdf[p] == '\n' || pdf[p] == '\r'))
                ++p;
            starts[i] = p;
            while (p < pdf.size() && isNumberByte(pdf[p]))
                ++p;
            ends[i] = p;
            ok = ends[i] > starts[i];
        }
        if (!ok)
            continue;
        const QByteArray w = fixedWidthNumber(widthPoints, int(ends[2] - starts[2]));
        const QByteArray h = fixedWidthNumber(heightPoints, int(ends[3] - starts[3]));
        if (w.isEmpty() || h.isEmpty())
            continue;
        pdf.replace(starts[2], w.size(), w);
        pdf.replace(starts[3], h.size(), h);
        changed = true;
    }
    return changed;
}
