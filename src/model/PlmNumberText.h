#pragma once

#include <QString>
#include <QStringView>
#include <optional>
#include <string>
#include <string_view>

// Numbers of the data as text, independent of any locale: the shortest text that reads back
// to the same double, and strict parsers of whole texts ("1.5", "-2e3"; no spaces, no '+',
// no decimal comma). Display texts in French are another matter (formatFrenchNumber).
namespace PlmNumberText {

// Shortest round-trip text: 1 -> "1", 0.1 -> "0.1", -0.0 -> "-0", 1e21 -> "1e+21".
// Non-finite values give "nan", "inf" and "-inf".
QString shortest(double value);
void appendShortest(std::string& out, double value);

// The whole text as a finite double, or nothing (overflow, "inf", "nan", trailing characters).
std::optional<double> parseDouble(std::string_view text);
std::optional<double> parseDouble(QStringView text);

// The whole text as an integer in decimal digits with an optional leading '-', or nothing.
std::optional<qint64> parseInteger(std::string_view text);
std::optional<qint64> parseInteger(QStringView text);

} // namespace PlmNumberText
