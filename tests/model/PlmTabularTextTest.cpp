#include "model/PlmErrors.h"
#include "model/PlmTabularText.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Rows = QList<QStringList>;

QString refusal(const QString& text)
{
    return thrownMessage<PlmWorkError>([&] { PlmTabularText::parse(text); });
}

const QString malformed = QStringLiteral("Texte à coller mal formé après un guillemet.");
const QString unclosed = QStringLiteral("Guillemet non fermé dans le texte à coller.");

} // namespace

TEST(PlmTabularTextTest, TabsAndLineBreaksSplitCellsAndRows)
{
    const Rows expected{{"a", "b"}, {"c", "d"}};
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("a\tb\nc\td\n")), expected);
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("a\tb\r\nc\td")), expected);
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("a\tb\rc\td\r\n")), expected);
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("a\n\nb")), (Rows{{"a"}, {""}, {"b"}}));
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("a\t")), (Rows{{"a", ""}}));
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("a\tb\n\tc")), (Rows{{"a", "b"}, {"", "c"}}));
}

TEST(PlmTabularTextTest, EmptyTextsGiveOneEmptyCell)
{
    EXPECT_EQ(PlmTabularText::parse(QString()), (Rows{{""}}));
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("\n")), (Rows{{""}}));
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("\r\n")), (Rows{{""}}));
}

TEST(PlmTabularTextTest, QuotedCellsKeepTabsLineBreaksAndQuotes)
{
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("\"x\ty\"\tz")), (Rows{{"x\ty", "z"}}));
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("\"x\"\"y\"")), (Rows{{"x\"y"}}));
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("\"\"")), (Rows{{""}}));
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("\"l1\r\nl2\"\n")), (Rows{{"l1\r\nl2"}}));
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("\"\"\n")), (Rows{{""}}));
    // A quote inside an unquoted cell is an ordinary character.
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("ab\"c")), (Rows{{"ab\"c"}}));
    // A quote stays a quote even when a combining mark follows it.
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("\"\u0301\ta\"")), (Rows{{"\u0301\ta"}}));
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("a\"\u0301")), (Rows{{"a\"\u0301"}}));
}

TEST(PlmTabularTextTest, MalformedQuotesAreRefused)
{
    EXPECT_EQ(refusal(QStringLiteral("\"x\"y")), malformed);
    EXPECT_EQ(refusal(QStringLiteral("\"x\" \tb")), malformed);
    EXPECT_EQ(refusal(QStringLiteral("\"x\"\t\"y\"\"")), unclosed);
    EXPECT_EQ(refusal(QStringLiteral("\"x\"\"")), unclosed);
    EXPECT_EQ(refusal(QStringLiteral("\"abc")), unclosed);
    EXPECT_EQ(refusal(QStringLiteral("a\t\"b\nc")), unclosed);
}

TEST(PlmTabularTextTest, FormatQuotesOnlyWhatNeedsIt)
{
    EXPECT_EQ(PlmTabularText::format(Rows{{"a", "b\tc"}, {"d\"e"}}),
              QStringLiteral("a\t\"b\tc\"\n\"d\"\"e\"\n"));
    EXPECT_EQ(PlmTabularText::format(Rows{{"x\ry", "12,5 %"}}), QStringLiteral("\"x\ry\"\t12,5 %\n"));
    EXPECT_EQ(PlmTabularText::format(Rows{}), QStringLiteral("\n"));
    EXPECT_EQ(PlmTabularText::parse(PlmTabularText::format(Rows{})), (Rows{{""}}));
}

TEST(PlmTabularTextTest, FormattedBlocksParseBack)
{
    const Rows blocks[] = {
        {{"a", "b\tc"}, {"d\"e"}},
        {{""}, {"", ""}, {"\"", "\"\""}},
        {{"l1\nl2", "l1\r\nl2", "\r"}, {"Île-de-France", "1\u202F234,5"}},
        {{"x"}, {""}},
        {{"trailing\n"}},
        {{"\u0301\tmark first", "\"\u0301", "\"\u0301\""}, {"𝐀\t😀"}},
    };
    for (const Rows& rows : blocks)
        EXPECT_EQ(PlmTabularText::parse(PlmTabularText::format(rows)), rows);
}

TEST(PlmTabularTextTest, AnyAcceptedTextSurvivesFormatting)
{
    std::mt19937_64 rng(5);
    const QString alphabet = QStringLiteral("ab\t\t\n\r\"\"\" \u0301é");
    int accepted = 0;
    for (int i = 0; i < 5000; ++i) {
        QString text;
        const int length = int(rng() % 30);
        for (int k = 0; k < length; ++k)
            text += alphabet.at(qsizetype(rng() % quint64(alphabet.size())));
        Rows rows;
        try {
            rows = PlmTabularText::parse(text);
        } catch (const PlmWorkError& error) {
            EXPECT_TRUE(error.message() == malformed || error.message() == unclosed);
            continue;
        }
        ++accepted;
        ASSERT_FALSE(rows.isEmpty());
        EXPECT_EQ(PlmTabularText::parse(PlmTabularText::format(rows)), rows) << text.toStdString();

        // A reading bounded by the block's own size keeps it whole; one row or cell less does not.
        qsizetype widest = 0;
        for (const QStringList& row : rows)
            widest = std::max(widest, row.size());
        bool complete = false;
        EXPECT_EQ(PlmTabularText::parse(text, rows.size(), widest, &complete), rows);
        EXPECT_TRUE(complete);
        PlmTabularText::parse(text, rows.size() - 1, widest, &complete);
        EXPECT_FALSE(complete);
        PlmTabularText::parse(text, rows.size(), widest - 1, &complete);
        EXPECT_FALSE(complete);
    }
    EXPECT_GT(accepted, 500);
}

TEST(PlmTabularTextTest, BoundedReadingKeepsOnlyWhatFitsButChecksTheWholeText)
{
    bool complete = true;
    EXPECT_EQ(PlmTabularText::parse(QStringLiteral("a\tb\tc\nd\ne\n"), 2, 2, &complete), (Rows{{"a", "b"}, {"d"}}));
    EXPECT_FALSE(complete);
    // Millions of empty lines for two rows: two rows are kept, not millions.
    EXPECT_EQ(PlmTabularText::parse(QString(3000000, QLatin1Char('\n')), 2, 1, &complete), (Rows{{""}, {""}}));
    EXPECT_FALSE(complete);
    // A malformed quote past the limits is still refused.
    EXPECT_EQ(thrownMessage<PlmWorkError>([&] { PlmTabularText::parse(QStringLiteral("1\n2\n\"x"), 1, 1, &complete); }),
              unclosed);
}
