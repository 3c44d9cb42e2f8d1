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

QString folded(const QString& text)
{
    const QString core = trimmed(text);
    if (isPlainAscii(core))
        return core.toLower();

    const QString decomposed = core.normalized(QString::NormalizationForm_D);
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
    return withoutMarks.toCaseFolded();
}

bool equalFolded(const QString& a, const QString& b)
{
    return folded(a) == folded(b);
}

} // namespace PlmTextFolding
