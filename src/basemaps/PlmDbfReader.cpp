// The dBASE table beside a Shapefile: header sizes checked against the file, one text row
// per record in the encoding the .cpg or the language byte names.
#include "basemaps/ShapefileReader.h"

#include "basemaps/PlmMacRoman.h"

#include "model/PlmErrors.h"
#include "model/PlmFrenchNumberDigits.h"
#include "model/PlmNumberText.h"
#include "model/PlmValueDecimal.h"

#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <optional>

namespace ShapefileReader {

namespace {

[[noreturn]] void fail(const char* message)
{
    throw PlmImportError::invalid(QString::fromUtf8(message));
}

enum class TextEncoding { utf8, windows1252, macRoman, latin1 };

// Windows-1252 from 0x80 to 0x9F; 0 marks the five bytes it leaves undefined.
constexpr std::array<char16_t, 32> windows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Names of code pages as spreadsheet and GIS programs write them in a .cpg, compared without
// spaces, hyphens and underscores ("UTF8", "ISO 8859-1", "CP1252"…).
QString normalisedCodePage(const std::optional<QByteArray>& codePage)
{
    if (!codePage)
        return {};
    for (const char c : *codePage)
        if (static_cast<unsigned char>(c) >= 0x80)
            return {};
    QString text = QString::fromLatin1(*codePage).trimmed().toUpper();
    text.remove(QLatin1Char(' ')).remove(QLatin1Char('-')).remove(QLatin1Char('_'));
    return text;
}

// Text with no declared encoding is UTF-8 when every field is valid UTF-8 and at least one
// holds a multi-byte sequence (Latin-1 accents seldom form valid sequences by chance).
bool looksLikeUtf8(const QByteArray& data, qint64 headerLength, qint64 recordLength, quint64 recordCount,
                   const QList<qsizetype>& fieldLengths)
{
    bool multiByte = false;
    for (quint64 index = 0; index < recordCount; ++index) {
        qint64 at = headerLength + qint64(index) * recordLength + 1;
        for (const qsizetype length : fieldLengths) {
            const QByteArrayView bytes(data.constData() + at, length);
            at += length;
            bool high = false;
            for (const char c : bytes)
                high = high || static_cast<unsigned char>(c) >= 0x80;
            if (!high)
                continue;
            QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString decoded = utf8.decode(bytes); // decoding happens on conversion
            if (utf8.hasError())
                return false;
            multiByte = true;
        }
    }
    return multiByte;
}

std::optional<TextEncoding> declaredEncoding(const std::optional<QByteArray>& codePage, unsigned char languageDriver)
{
    const QString declared = normalisedCodePage(codePage);
    if (declared == QLatin1String("UTF8") || declared == QLatin1String("65001"))
        return TextEncoding::utf8;
    if (declared == QLatin1String("1252") || declared == QLatin1String("WINDOWS1252")
        || declared == QLatin1String("CP1252") || declared == QLatin1String("ANSI1252") || languageDriver == 0x57)
        return TextEncoding::windows1252;
    if (declared == QLatin1String("MACROMAN") || languageDriver == 0x96)
        return TextEncoding::macRoman;
    // Latin-1 named in the .cpg is a declaration too: no note.
    for (const char* name : {"ISO88591", "88591", "LATIN1", "28591", "CP819"})
        if (declared == QLatin1String(name))
            return TextEncoding::latin1;
    return std::nullopt;
}

QString decode(const char* bytes, qsizetype length, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::utf8: {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(QByteArrayView(bytes, length));
        if (utf8.hasError())
            fail("Texte DBF invalide.");
        return text;
    }
    case TextEncoding::latin1:
        return QString::fromLatin1(bytes, length);
    case TextEncoding::windows1252:
    case TextEncoding::macRoman: {
        QString text(length, Qt::Uninitialized);
        QChar* out = text.data();
        for (qsizetype k = 0; k < length; ++k) {
            const auto byte = static_cast<unsigned char>(bytes[k]);
            char16_t unit = byte;
            if (encoding == TextEncoding::macRoman && byte >= 0x80)
                unit = plmMacRomanUnit(byte);
            else if (encoding == TextEncoding::windows1252 && byte >= 0x80 && byte < 0xA0)
                unit = windows1252High[byte - 0x80];
            if (unit == 0 && byte != 0)
                fail("Texte DBF invalide.");
            out[k] = QChar(unit);
        }
        return text;
    }
    }
    return {};
}

// White space, line breaks and NUL characters at both ends.
QString trimmedValue(const QString& text)
{
    auto isTrimmed = [](QChar c) { return c.isSpace() || c.unicode() == 0; };
    qsizetype begin = 0, end = text.size();
    while (begin < end && isTrimmed(text[begin]))
        ++begin;
    while (end > begin && isTrimmed(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// Bytes that decode to a character trimmedValue() cuts, whatever the encoding.
bool isAsciiPadding(char c)
{
    return c == ' ' || c == '\0' || (c >= '\t' && c <= '\r');
}

struct Field {
    QString name;
    qsizetype length;
    bool numeric; // N or F: its text is a number
};

// Digits alone, with an optional sign: a whole number as an integer field holds it.
bool isWholeNumberText(const QString& text)
{
    qsizetype at = !text.isEmpty() && (text[0] == u'+' || text[0] == u'-') ? 1 : 0;
    if (at == text.size())
        return false;
    for (; at < text.size(); ++at)
        if (text[at] < u'0' || text[at] > u'9')
            return false;
    return true;
}

} // namespace

QString numberFieldText(const QString& text)
{
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c == u'*'; }))
        return {};
    // A whole number keeps every digit, also past what a double holds (a 19-digit id); only
    // its sign and padding zeros go.
    if (isWholeNumberText(text)) {
        const bool negative = text[0] == u'-';
        qsizetype first = text[0] == u'+' || negative ? 1 : 0;
        while (first + 1 < text.size() && text[first] == u'0')
            ++first;
        const QString digits = text.mid(first);
        return negative && digits != QLatin1String("0") ? QLatin1Char('-') + digits : digits;
    }
    const std::optional<double> value = plmReadDecimal(text);
    if (!value)
        return text; // not a number: the writer's text, as a character field would give it
    // Other numbers were written with padding decimals or an exponent, and the digits past a
    // double's are the writer's rounding noise: the shortest digits that read back to the same
    // double, without exponent from 10^-24 up to 10^24, where a plain text is still mostly
    // digits rather than zeros.
    const PlmDecimalDigits digits = PlmDecimalDigits::shortest(*value);
    if (digits.isZero())
        return QStringLiteral("0");
    if (digits.pointPosition < -23 || digits.pointPosition > 24)
        return PlmNumberText::shortest(*value);
    std::string plain = PlmDecimalDigits::plainDecimalText(*value);
    if (plain.size() >= 2 && plain.compare(plain.size() - 2, 2, ".0") == 0)
        plain.resize(plain.size() - 2);
    return QString::fromLatin1(plain.data(), qsizetype(plain.size()));
}

QList<Row> readDBF(const QByteArray& data, const std::optional<QByteArray>& givenCodePage, PlmImportBuilder& builder)
{
    // A .cpg of nothing but blanks and line breaks (GIS programs write an empty one when asked
    // for no encoding) declares nothing: the table reads as if it had none.
    std::optional<QByteArray> codePage = givenCodePage;
    if (codePage && codePage->trimmed().isEmpty())
        codePage.reset();
    if (data.size() < 32)
        fail("DBF tronqué.");
    const quint64 recordCount = integer(4, 4, false, data);
    const qint64 headerLength = qint64(integer(8, 2, false, data));
    const qint64 recordLength = qint64(integer(10, 2, false, data));
    if (headerLength < 33 || data.size() < headerLength || recordLength == 0
        || quint64((data.size() - headerLength) / recordLength) < recordCount)
        fail("DBF tronqué.");

    QList<Field> fields;
    if (headerLength != 33) {
        for (qint64 at = 32;; at += 32) {
            // `at` always lies inside the header here (see the stop rule below).
            if (static_cast<unsigned char>(data[at]) == 0x0D)
                break;
            if (at + 32 > headerLength)
                fail("Champ DBF tronqué.");
            qsizetype nameLength = 0;
            while (nameLength < 11 && data[at + nameLength] != '\0')
                ++nameLength;
            bool ascii = true;
            for (qsizetype k = 0; k < nameLength; ++k)
                ascii = ascii && static_cast<unsigned char>(data[at + k]) < 0x80;
            const QString name = ascii ? QString::fromLatin1(data.constData() + at, nameLength)
                                       : QStringLiteral("champ") + QString::number(fields.size() + 1);
            const char type = data[at + 11];
            fields << Field{name, qsizetype(static_cast<unsigned char>(data[at + 16])), type == 'N' || type == 'F'};
            if (at + 32 >= headerLength - 1)
                break;
        }
    }
    qint64 used = 1;
    for (const Field& field : fields)
        used += field.length;
    if (used > recordLength)
        fail("Longueur de ligne DBF invalide.");

    std::optional<TextEncoding> declared = declaredEncoding(codePage, static_cast<unsigned char>(data[29]));
    if (!declared) {
        QList<qsizetype> lengths;
        for (const Field& field : fields)
            lengths << field.length;
        const bool utf8 = !codePage && data[29] == 0
                          && looksLikeUtf8(data, headerLength, recordLength, recordCount, lengths);
        builder.note(utf8 ? QStringLiteral("encodage DBF non déclaré, lecture UTF-8")
                          : QStringLiteral("encodage DBF non déclaré, lecture Latin-1"));
        declared = utf8 ? TextEncoding::utf8 : TextEncoding::latin1;
    }
    const TextEncoding encoding = *declared;

    QList<Row> rows;
    rows.reserve(qsizetype(recordCount));
    for (quint64 index = 0; index < recordCount; ++index) {
        const qint64 start = headerLength + qint64(index) * recordLength;
        Row row;
        if (data[start] == '*')
            row.insert(QStringLiteral("source.deleted"), QStringLiteral("true"));
        qint64 at = start + 1;
        for (const Field& field : fields) {
            // The padding (ASCII blanks and NULs, the same characters in every encoding read
            // here) is cut before decoding, so that a padded value is not copied twice; other
            // white space at the ends is cut after.
            const char* bytes = data.constData() + at;
            qsizetype length = field.length;
            while (length > 0 && isAsciiPadding(bytes[length - 1]))
                --length;
            while (length > 0 && isAsciiPadding(bytes[0])) {
                ++bytes;
                --length;
            }
            const QString value = trimmedValue(decode(bytes, length, encoding));
            row.insert(field.name, field.numeric ? numberFieldText(value) : value);
            at += field.length;
        }
        rows << std::move(row);
    }
    return rows;
}

} // namespace ShapefileReader
