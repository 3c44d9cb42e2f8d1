#include "model/PlmFrenchNumber.h"

#include "model/PlmFrenchNumberDigits.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr char16_t kGroupSeparator = u'\u202F';
constexpr int kMaximumPlaces = 340;     // beyond this a double has no digit left to show
constexpr int kMaximumSignificant = 17; // the shortest digits of a double never exceed 17

QString nonFinite(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    return value < 0 ? QStringLiteral("-∞") : QStringLiteral("∞");
}

// The integer digits of a rounded number, grouped by three when asked.
QString integerPart(const PlmDecimalDigits& d, bool grouping)
{
    if (d.isZero() || d.pointPosition <= 0)
        return QStringLiteral("0");
    QString text;
    const int count = d.pointPosition;
    text.reserve(count + count / 3);
    for (int i = 0; i < count; ++i) {
        if (grouping && i > 0 && (count - i) % 3 == 0)
            text.append(QChar(kGroupSeparator));
        text.append(QLatin1Char(d.digitAt(i)));
    }
    return text;
}

QString decimalText(const PlmDecimalDigits& d, int places, bool grouping)
{
    QString text;
    if (d.negative && !d.isZero())
        text.append(QLatin1Char('-'));
    text.append(integerPart(d, grouping));
    if (places > 0) {
        text.append(QLatin1Char(','));
        for (int i = 0; i < places; ++i)
            text.append(QLatin1Char(d.digitAt(d.pointPosition + i)));
    }
    return text;
}

QString scientificText(const PlmDecimalDigits& d)
{
    QString text;
    if (d.negative)
        text.append(QLatin1Char('-'));
    text.append(QLatin1Char(d.digitAt(0)));
    if (d.digits.size() > 1) {
        text.append(QLatin1Char(','));
        text.append(QLatin1String(d.digits.data() + 1, qsizetype(d.digits.size() - 1)));
    }
    text.append(QLatin1Char('E'));
    text.append(QString::number(d.pointPosition - 1));
    return text;
}

} // namespace

QString formatFrenchFixed(double value, int decimalPlaces, bool grouping)
{
    if (!std::isfinite(value))
        return nonFinite(value);
    const int places = std::clamp(decimalPlaces, 0, kMaximumPlaces);
    return decimalText(PlmDecimalDigits::shortest(value).roundedToPlaces(places), places, grouping);
}

QString formatFrenchNumber(std::optional<double> value, int significantDigits,
                           std::optional<int> decimalPlaces)
{
    if (!value)
        return QStringLiteral("—");
    const double v = *value;
    if (decimalPlaces)
        return formatFrenchFixed(v, *decimalPlaces, true);
    if (!std::isfinite(v))
        return nonFinite(v);

    const int significant = std::clamp(significantDigits, 1, kMaximumSignificant);
    const double magnitude = std::fabs(v);
    const PlmDecimalDigits rounded = PlmDecimalDigits::shortest(v).roundedToSignificant(significant);
    if (magnitude >= 1e12 || (magnitude < 0.0001 && v != 0))
        return scientificText(rounded);

    // Decimal style: only the significant digits that remain after the point are written.
    const int fractionDigits = std::max(0, int(rounded.digits.size()) - rounded.pointPosition);
    return decimalText(rounded, fractionDigits, true);
}
