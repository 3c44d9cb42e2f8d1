#pragma once

#include <QStringView>
#include <optional>

// Reads a whole text as a decimal number: an optional "+" or "-", digits with an optional
// full stop, an optional exponent ("1e3", "1e-3", "1E+3"). Nothing may be left over, and the
// result must be finite (an overflow is refused; an underflow gives zero). Independent of the
// process locale. The one reader of typed numbers in cells and formulas.
std::optional<double> plmReadDecimal(QStringView text);
