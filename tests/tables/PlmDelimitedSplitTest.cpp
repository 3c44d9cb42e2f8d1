// The delimited-text splitter walks runs of characters; this checks it against the plain
// character-by-character state machine on random texts rich in separators, quotes, line
// breaks and combining marks, for every separator, and the separator choice built on it.
#include "tables/PlmInputReader.h"
#include "model/PlmErrors.h"

#include <gtest/gtest.h>

#include <QHash>

#include <algorithm>
#include <optional>
#include <random>
#include <variant>

namespace {

using Grid = QList<QStringList>;
using Outcome = std::variant<Grid, QString>; // the rows, or the failure's sentence

bool extendsPrevious(const QString& text, qsizetype i)
{
    if (i >= text.size())
        return false;
    char32_t c = text.at(i).unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
        c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
    if (c == 0x200D)
        return true;
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
        || category == QChar::Mark_Enclosing;
}

// One character at a time, as the rule reads.
Outcome referenceSplit(const QString& text, QChar separator)
{
    Grid rows;
    QStringList row;
    QString field;
    bool inQuotes = false;
    bool justClosed = false;
    const auto endField = [&] {
        row.append(field);
        field.clear();
        inQuotes = false;
        justClosed = false;
    };
    const auto endRow = [&] {
        endField();
        rows.append(row);
        row.clear();
    };
    const qsizetype n = text.size();
    const auto bare = [&](qsizetype i, QChar expected) {
        return i < n && text.at(i) == expected && !extendsPrevious(text, i + 1);
    };
    const bool separatorExtends = separator != u'\t';
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (bare(i, u'"')) {
                if (bare(i + 1, u'"')) {
                    field.append(u'"');
                    ++i;
                } else {
                    inQuotes = false;
                    justClosed = true;
                }
            } else {
                field.append(c);
            }
            continue;
        }
        if (c == separator && (!separatorExtends || !extendsPrevious(text, i + 1))) {
            endField();
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            endRow();
        } else if (bare(i, u'"')) {
            if (!field.isEmpty() || justClosed)
                return QStringLiteral("Guillemets mal formés.");
            inQuotes = true;
        } else {
            if (justClosed)
                return QStringLiteral("Guillemets mal formés.");
            field.append(c);
        }
    }
    if (inQuotes)
        return QStringLiteral("Guillemet non fermé.");
    if (!row.isEmpty() || !field.isEmpty() || justClosed || rows.isEmpty())
        endRow();
    return rows;
}

Outcome split(const QString& text, QChar separator)
{
    try {
        return PlmInputReader::parseDelimited(text, separator);
    } catch (const PlmWorkError& error) {
        return error.message();
    }
}

QString randomText(std::mt19937& rng)
{
    // Combining acute, joiner, a spacing mark, a surrogate pair: the characters that change
    // what a quote or a separator is.
    static const QList<QString> pieces = {"a", "b", "é", ";", ",", "\t", "\"", "\"\"", "\n", "\r", "\r\n",
                                          "\u0301", "\u200D", "\u0903", "\U0001F600", " ", "x;y", "\"q\""};
    std::uniform_int_distribution<int> length(0, 24);
    std::uniform_int_distribution<int> piece(0, int(pieces.size()) - 1);
    QString text;
    for (int i = length(rng); i > 0; --i)
        text += pieces.at(piece(rng));
    return text;
}

} // namespace

TEST(PlmDelimitedSplit, RandomTextsSplitAsCharacterByCharacter)
{
    std::mt19937 rng(20261207);
    int failures = 0;
    for (int round = 0; round < 20000; ++round) {
        const QString text = randomText(rng);
        for (QChar separator : {QChar(u';'), QChar(u','), QChar(u'\t')}) {
            const Outcome expected = referenceSplit(text, separator);
            failures += std::holds_alternative<QString>(expected) ? 1 : 0;
            ASSERT_EQ(split(text, separator), expected) << text.toStdString() << " sep " << int(separator.unicode());
        }
    }
    // Both kinds of outcome were met often.
    EXPECT_GT(failures, 10000);
    EXPECT_LT(failures, 50000);
}

// Named cases at the edges of a field: the walk's own boundaries.
TEST(PlmDelimitedSplit, FieldEdges)
{
    struct Case {
        const char* name;
        QString text;
        Outcome expected;
    };
    const QList<Case> cases = {
        {"empty text", "", Grid{{""}}},
        {"one line break", "\n", Grid{{""}}},
        {"trailing separator", "a;", Grid{{"a", ""}}},
        {"empty quoted field at the end", "a;\"\"", Grid{{"a", ""}}},
        {"doubled quotes at both ends", "\"\"\"x\"\"\"", Grid{{"\"x\""}}},
        {"quote with a mark opens nothing", "\"\u0301a;b", Grid{{"\"\u0301a", "b"}}},
        {"closing quote then text", "\"a\"b", QStringLiteral("Guillemets mal formés.")},
        {"quote inside a field", "ab\"c", QStringLiteral("Guillemets mal formés.")},
        {"unclosed quote", "\"a;b\n", QStringLiteral("Guillemet non fermé.")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(split(c.text, u';'), c.expected) << c.name;
    // Any character may separate, not only the ASCII ones the reader tries.
    EXPECT_EQ(split(QStringLiteral("a§b\n\"c§\"§d"), u'§'), Outcome(Grid{{"a", "b"}, {"c§", "d"}}));
}

// The separator choice scores candidates without keeping their fields: it must pick what
// a score over the full grids picks, and skip candidates whose split fails.
TEST(PlmDelimitedSplit, TheChosenSeparatorIsTheOneWhoseGridScoresBest)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        const QString text = randomText(rng) + QStringLiteral("\n") + randomText(rng);
        std::optional<QChar> best;
        qint64 bestScore = -1;
        for (QChar separator : {QChar(u'\t'), QChar(u';'), QChar(u',')}) {
            const Outcome outcome = referenceSplit(text, separator);
            if (!std::holds_alternative<Grid>(outcome))
                continue;
            QHash<qsizetype, qint64> widths;
            const Grid& grid = std::get<Grid>(outcome);
            for (qsizetype r = 0; r < std::min<qsizetype>(grid.size(), PlmInputReader::sampledRows); ++r)
                if (std::any_of(grid[r].cbegin(), grid[r].cend(), [](const QString& f) { return !f.isEmpty(); }))
                    ++widths[grid[r].size()];
            qint64 score = 0;
            for (auto it = widths.cbegin(); it != widths.cend(); ++it)
                if (it.key() > 1)
                    score = std::max(score, it.value() * PlmInputReader::rowCountWeight + it.key());
            if (score > bestScore) {
                bestScore = score;
                best = separator;
            }
        }
        const QByteArray bytes = text.toUtf8();
        if (!best) {
            EXPECT_THROW(PlmInputReader::readTextSheet(bytes, QStringLiteral("t.csv")), PlmWorkError);
            continue;
        }
        if (bytes.startsWith("sep=") || text.contains(QChar(0)))
            continue;
        const PlmInputSheet sheet = PlmInputReader::readTextSheet(bytes, QStringLiteral("t.csv"));
        EXPECT_EQ(sheet.grid, std::get<Grid>(referenceSplit(text, *best))) << text.toStdString();
    }
}

// The ranking reads the first rows only: a leader that fails further on gives way to the next.
TEST(PlmDelimitedSplit, ALeaderFailingAfterTheSampledRowsGivesWay)
{
    QString text;
    for (int row = 0; row < PlmInputReader::sampledRows + 20; ++row)
        text += QStringLiteral("1;2;3\n");
    text += QStringLiteral("\"a;b\",c\n");
    ASSERT_FALSE(std::holds_alternative<Grid>(referenceSplit(text, u';')));
    ASSERT_FALSE(std::holds_alternative<Grid>(referenceSplit(text, u'\t')));
    const PlmInputSheet sheet = PlmInputReader::readTextSheet(text.toUtf8(), QStringLiteral("t.csv"));
    EXPECT_EQ(sheet.grid, std::get<Grid>(referenceSplit(text, u',')));
    EXPECT_EQ(sheet.warnings.first(), QStringLiteral("Séparateur détecté : ,."));
}
