#pragma once

#include <QString>

#include <string>
#include <string_view>

// The one UTF-8 buffer an SVG document is written into: numbers, colours and escaped texts
// are appended in place, without a string per element.
class SvgOutput {
public:
    std::string text;

    SvgOutput& raw(std::string_view s)
    {
        text.append(s);
        return *this;
    }
    SvgOutput& raw(char c)
    {
        text.push_back(c);
        return *this;
    }
    // "%.15g" in the C locale; zero and negative zero are written "0".
    SvgOutput& number(double value);
    // A decimal integer.
    SvgOutput& integer(long long value);
    // "rgb(r,g,b)" with each component times 255, written as it is.
    SvgOutput& color(double red, double green, double blue);
    // "x y"; throws PlmWorkError "Tracé non fini dans le cadrage exporté." unless both are finite.
    SvgOutput& point(double x, double y);
    // The text in UTF-8 with & < > " ' escaped; throws PlmWorkError "Impossible d’encoder le SVG."
    // for a lone surrogate, which UTF-8 cannot carry.
    SvgOutput& escaped(const QString& s);
    // Opens an attribute: ` name="`.
    SvgOutput& attribute(std::string_view name)
    {
        text.push_back(' ');
        text.append(name);
        text.append("=\"", 2);
        return *this;
    }
    SvgOutput& close()
    {
        text.push_back('"');
        return *this;
    }
};

// The same conversions as texts, for tests and small pieces.
std::string svgNumber(double value);
std::string svgColor(double red, double green, double blue);
std::string svgEscaped(const QString& s);
