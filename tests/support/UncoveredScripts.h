#pragma once

#include <QFontDatabase>
#include <QList>
#include <QString>
#include <QStringList>

#include <ostream>
#include <string>

#include <gtest/gtest.h>

// Texts in scripts that none of the fonts the tests rely on (scripts/packages.txt) covers, and
// that Qt lays out with a stand-in font of its own: the case of a work written in a script the
// computer has no font for.
namespace UncoveredScripts {

struct Sample {
    const char* name;
    QString text;
    QFontDatabase::WritingSystem system;
};

inline QList<Sample> samples()
{
    return {
        {"Devanagari", QStringLiteral("नमस्ते"), QFontDatabase::Devanagari},
        {"Syriac", QStringLiteral("ܫܠܡܐ"), QFontDatabase::Syriac},
        {"Thaana", QStringLiteral("ދިވެހި"), QFontDatabase::Thaana},
        {"Khmer", QStringLiteral("ខ្មែរ"), QFontDatabase::Khmer},
        {"Sinhala", QStringLiteral("සිංහල"), QFontDatabase::Sinhala},
    };
}

// The Devanagari sample, the one the checks across layers use.
inline QString devanagari() { return samples().first().text; }

// Why these texts would find a font on this computer (one with more fonts than the tests'),
// or empty when none does. CTest runs the tests that use them with the tests' fonts alone
// (tests/fixtures/fonts/fonts.conf), where none does.
inline QString coveredHere()
{
    QStringList covered;
    for (const Sample& sample : samples())
        if (!QFontDatabase::families(sample.system).isEmpty())
            covered << QString::fromLatin1(sample.name);
    return covered.isEmpty() ? QString()
                             : QStringLiteral("a font here covers ") + covered.join(QStringLiteral(", "));
}

// A named row of a table: a text, and the text that must draw exactly as it does.
struct DrawnAs {
    std::string name;
    QString text;
    QString drawn;
};

inline void PrintTo(const DrawnAs& row, std::ostream* out)
{
    *out << row.name;
}

// The row's name, as a parameterised test names its rows.
inline std::string rowName(const testing::TestParamInfo<DrawnAs>& info)
{
    return info.param.name;
}

} // namespace UncoveredScripts
