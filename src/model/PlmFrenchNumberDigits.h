#pragma once

#include <string>

// The shortest decimal digits of a double (those that read back as the same double), and
// half-even rounding applied to those digits. Rounding the shortest digits rather than the
// binary value is what makes 2.675 round to 2.68, as a reader of "2.675" expects.
struct PlmDecimalDigits {
    bool negative = false;
    std::string digits;       // significant digits without leading or trailing zeros; empty for 0
    int pointPosition = 0;    // value = 0.digits × 10^pointPosition

    // Only for finite values.
    static PlmDecimalDigits shortest(double value);

    bool isZero() const { return digits.empty(); }

    // Keeps `count` significant digits (at least 1), ties to even.
    PlmDecimalDigits roundedToSignificant(int count) const;
    // Keeps `places` digits after the decimal point (at least 0), ties to even.
    PlmDecimalDigits roundedToPlaces(int places) const;

    // The shortest round-trip text in the standard library's usual notation: decimal with at
    // least one fraction digit from 0.0001 up to 2^53 ("2.0", "1234.5", "0.0001"), else
    // exponential with a signed exponent of at least two digits ("1e-05", "1.5e+16").
    static std::string standardText(double value);
    // The same digits written without any exponent ("0.00001", "10000000000000000.0").
    static std::string plainDecimalText(double value);

    // The digit at position `index` counted from the first significant digit; 0 outside.
    char digitAt(int index) const;

private:
    PlmDecimalDigits roundedToKeep(int keep) const;
};
