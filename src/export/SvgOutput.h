#pragma once

#include <QByteArray>
#include <QString>

#include <cstdlib>
#include <cstring>

#include <string>
#include <string_view>

// The one UTF-8 buffer an SVG document is written into: numbers, colours and escaped texts
// are appended in place, without a string per element.
class SvgOutput {
public:
    SvgOutput() = default;
    SvgOutput(const SvgOutput&) = delete;
    SvgOutput& operator=(const SvgOutput&) = delete;

    std::string_view view() const { return {m_data, m_size}; }
    std::string str() const { return std::string(view()); }
    size_t size() const { return m_size; }
    void reserve(size_t capacity);
    // Frees the buffer; the output is empty again.
    void release()
    {
        m_bytes = QByteArray();
        m_data = nullptr;
        m_size = m_capacity = 0;
    }
    // The text with `front` before it and `back` after it, in the same storage (moved up in
    // place rather than copied into a new block); the output is empty afterwards.
    QByteArray take(std::string_view front, std::string_view back);

    SvgOutput& raw(std::string_view s)
    {
        if (s.empty())
            return *this; // an empty view may have no data at all
        ensure(s.size());
        std::memcpy(m_data + m_size, s.data(), s.size());
        m_size += s.size();
        return *this;
    }
    // Leaves room for n bytes, to be filled later through data(); answers where it starts.
    size_t skip(size_t n)
    {
        ensure(n);
        const size_t at = m_size;
        m_size += n;
        return at;
    }
    char* data() { return m_data; }
    SvgOutput& raw(char c)
    {
        ensure(1);
        m_data[m_size++] = c;
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
    // for a lone surrogate, which UTF-8 cannot carry, and "Un texte de la carte contient un
    // caractère incompatible avec le format SVG." for a control character other than tab, line
    // feed and carriage return, or U+FFFE / U+FFFF, which XML cannot carry.
    SvgOutput& escaped(const QString& s);
    // Standard Base64 without line breaks.
    SvgOutput& base64(const QByteArray& bytes);
    // Opens an attribute: ` name="`.
    SvgOutput& attribute(std::string_view name)
    {
        raw(' ');
        raw(name);
        return raw(std::string_view("=\"", 2));
    }
    SvgOutput& close() { return raw('"'); }

private:
    void ensure(size_t n)
    {
        if (m_capacity - m_size < n)
            grow(n);
    }
    void grow(size_t n);

    QByteArray m_bytes;  // its size is the capacity
    char* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

// Stroke cap and join names of the style integers (0 butt / miter, 1 round, 2 square / bevel);
// values without a name are written as 0.
inline const char* svgLineCap(int cap) { return cap == 1 ? "round" : cap == 2 ? "square" : "butt"; }
inline const char* svgLineJoin(int join) { return join == 1 ? "round" : join == 2 ? "bevel" : "miter"; }

// The same conversions as texts, for tests and small pieces.
std::string svgNumber(double value);
std::string svgColor(double red, double green, double blue);
std::string svgEscaped(const QString& s);
