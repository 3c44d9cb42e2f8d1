#pragma once

#include <QString>

#include <optional>

// The one number formatter of the program (legends, inspectors, scale bar, data table,
// exports): decimal comma, thousands grouped by a narrow no-break space (U+202F), "—" for a
// missing value. Without decimal places, at most `significantDigits` significant digits, and
// scientific form ("1,23E12", "5E-5") from 1e12 upward and for non-zero values below 0.0001.
// With decimal places, always decimal notation with exactly that many digits after the comma.
// Rounding is half to even, judged on the shortest decimal digits of the double.
// `significantDigits` below 1 counts as 1; `decimalPlaces` is kept within 0 to 340.
QString formatFrenchNumber(std::optional<double> value, int significantDigits,
                           std::optional<int> decimalPlaces = std::nullopt);

// Decimal notation with exactly `decimalPlaces` digits after the comma, no scientific form,
// grouped by U+202F only when asked. A number that rounds to zero never shows a minus sign.
QString formatFrenchFixed(double value, int decimalPlaces, bool grouping);
