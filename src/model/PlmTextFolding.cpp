#include "model/PlmTextFolding.h"

#include <QChar>

namespace PlmTextFolding {

bool isWhiteSpace(char32_t c)
{
    switch (c) {
    case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0D:
    case 0x20: case 0x85: case 0xA0: case 0x1680:
    case 0x2028: case 0x2029: case 0x202F: case 0x205F: case 0x3000:
        return true;
    default:
        return c >= 0x2000 && c <= 0x200A;
    }
}

QString trimmed(const QString& text)
{
    // All White_Space code points are in the BMP, so UTF-16 units can be tested one by one.
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isWhiteSpace(text.at(begin).unicode()))
        ++begin;
    while (end > begin && isWhiteSpace(text.at(end - 1).unicode()))
        --end;
    if (begin == 0 && end == text.size())
        return text;
    return text.mid(begin, end - begin);
}

static bool isPlainAscii(QStringView text)
{
    for (QChar ch : text) {
        if (ch.unicode() >= 0x80)
            return false;
    }
    return true;
}

// Decomposing reorders each run of combining characters, at a cost that grows with the square
// of the run's length: a name of one letter and a million accents would hang. The marks are
// dropped after decomposing anyway, so they are dropped before as well; the few combining
// characters that are kept (spacing ones) get a grapheme joiner, itself dropped afterwards,
// after every 30 in a row, so that no run stays long.
static QString withoutMarksBeforeDecomposing(const QString& text)
{
    constexpr int longestRun = 30;
    QString result;
    result.reserve(text.size());
    int run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t cp = text.at(i).unicode();
        qsizetype units = 1;
        if (QChar::isHighSurrogate(cp) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            units = 2;
        }
        const QChar::Category category = QChar::category(cp);
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_Enclosing) {
            if (QChar::combiningClass(cp) == 0) {
                run = 0;
            } else if (++run > longestRun) {
                result.append(QChar(0x034F)); // combining grapheme joiner: a starter, and a mark
                run = 1;
            }
            result.append(text.constData() + i, units);
        }
        i += units - 1;
    }
    return result;
}

QString folded(const QString& text)
{
    const QString core = trimmed(text);
    if (isPlainAscii(core))
        return core.toLower();

    const QString decomposed = withoutMarksBeforeDecomposing(core).normalized(QString::NormalizationForm_D);
    QString withoutMarks;
    withoutMarks.reserve(decomposed.size());
    for (qsizetype i = 0; i < decomposed.size(); ++i) {
        char32_t cp = decomposed.at(i).unicode();
        qsizetype units = 1;
        if (QChar::isHighSurrogate(cp) && i + 1 < decomposed.size()
            && decomposed.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(decomposed.at(i), decomposed.at(i + 1));
            units = 2;
        }
        const QChar::Category category = QChar::category(cp);
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_Enclosing)
            withoutMarks.append(decomposed.constData() + i, units);
        i += units - 1;
    }
    QString result = withoutMarks.toCaseFolded();
    // Qt folds one character to one character; the full folding also expands the sharp s
    // and the Latin ligatures, so that "Straße" and "STRASSE" meet.
    static const struct { char16_t from; const char16_t* to; } expansions[] = {
        {0x00DF, u"ss"}, {0x1E9E, u"ss"}, {0xFB00, u"ff"}, {0xFB01, u"fi"}, {0xFB02, u"fl"},
        {0xFB03, u"ffi"}, {0xFB04, u"ffl"}, {0xFB05, u"st"}, {0xFB06, u"st"},
    };
    for (const auto& expansion : expansions) {
        if (result.contains(QChar(expansion.from)))
            result.replace(QChar(expansion.from), QString::fromUtf16(expansion.to));
    }
    return result;
}

bool equalFolded(const QString& a, const QString& b)
{
    return folded(a) == folded(b);
}

} // namespace PlmTextFolding
