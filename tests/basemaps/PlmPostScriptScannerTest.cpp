#include "basemaps/PlmPostScriptScanner.h"
#include "model/PlmErrors.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

namespace {

QList<PSToken> scan(const QByteArray& bytes)
{
    PSScanner scanner(bytes);
    QList<PSToken> tokens;
    PSToken token;
    while (scanner.next(token))
        tokens.append(token);
    return tokens;
}

QString failure(const QByteArray& bytes)
{
    return thrownMessage<PlmImportError>([&] { scan(bytes); });
}

PSToken op(const char* text) { return PSToken::makeOp(QString::fromUtf8(text)); }
PSToken num(double value) { return PSToken::makeNumber(value); }

} // namespace

TEST(PostScriptScannerTest, separatorsAndCommentsYieldNothing)
{
    EXPECT_TRUE(scan(" \t\r\n\x00 % comment\n%%BoundingBox: 0 0 1 1\r  ").isEmpty());
    EXPECT_EQ(scan("moveto% trailing\nstroke"), (QList<PSToken>{op("moveto"), op("stroke")}));
}

TEST(PostScriptScannerTest, stringsResolveNestingAndEscapes)
{
    EXPECT_EQ(scan("(a(b)c)"), QList<PSToken>{PSToken::makeString(QStringLiteral("a(b)c"))});
    EXPECT_EQ(scan("(a\\)b)"), QList<PSToken>{PSToken::makeString(QStringLiteral("a)b"))});
    EXPECT_EQ(scan("(\\101\\7)"), QList<PSToken>{PSToken::makeString(QStringLiteral("A\x07"))});
    EXPECT_EQ(scan("(\\400)").first().text, QString(QChar(0)));
    EXPECT_EQ(scan("(\\1012)").first().text, QStringLiteral("A2"));
    EXPECT_EQ(scan("(x\\\r\ny)").first().text, QStringLiteral("xy"));
    EXPECT_EQ(scan("(\\n\\t\\q\\\\)").first().text, QStringLiteral("\n\tq\\"));
    // Mac OS Roman: 0x8E is é.
    EXPECT_EQ(scan("(caf\x8e)").first().text, QStringLiteral("café"));
    EXPECT_EQ(failure("(abc"), QStringLiteral("Chaîne PostScript tronquée."));
    EXPECT_EQ(failure("(abc\\"), QStringLiteral("Chaîne PostScript tronquée."));
}

TEST(PostScriptScannerTest, arraysAndProceduresNestInOrder)
{
    const QList<PSToken> tokens = scan("[1 [2] /n (s) {dup}]");
    ASSERT_EQ(tokens.size(), 1);
    EXPECT_EQ(tokens[0], PSToken::makeArray({num(1), PSToken::makeArray({num(2)}), PSToken::makeLiteral(QStringLiteral("n")),
                                             PSToken::makeString(QStringLiteral("s")), PSToken::makeProcedure({op("dup")})}));
    EXPECT_EQ(scan("[ } ]"), QList<PSToken>{PSToken::makeArray({op("}")})});
    EXPECT_EQ(failure("[ 1 }"), QStringLiteral("Tableau PostScript tronqué."));
    EXPECT_EQ(failure("{ 1"), QStringLiteral("Tableau PostScript tronqué."));

    EXPECT_EQ(scan(QByteArray(64, '[') + QByteArray(64, ']')).size(), 1);
    EXPECT_EQ(failure(QByteArray(65, '{') + QByteArray(65, '}')), QStringLiteral("Imbrication PostScript excessive."));
}

TEST(PostScriptScannerTest, numbersLiteralsAndOperators)
{
    EXPECT_EQ(scan("12 -3.5 .5 1e3 0x1p4 +2"), (QList<PSToken>{num(12), num(-3.5), num(0.5), num(1000), num(16), num(2)}));
    EXPECT_EQ(scan("16#FF 1.2.3 1e"), (QList<PSToken>{op("16#FF"), op("1.2.3"), op("1e")}));
    EXPECT_EQ(failure("1e999"), QStringLiteral("Nombre PostScript non fini."));
    EXPECT_EQ(failure("nan"), QStringLiteral("Nombre PostScript non fini."));
    EXPECT_EQ(scan("1e-999").first(), num(0));
    EXPECT_EQ(scan("/Name / //x"), (QList<PSToken>{PSToken::makeLiteral(QStringLiteral("Name")), PSToken::makeLiteral(QString()),
                                                 PSToken::makeLiteral(QStringLiteral("/x"))}));
    EXPECT_EQ(scan("<48656C6C6F>"), (QList<PSToken>{op("<"), op("48656C6C6F"), op(">")}));
    EXPECT_EQ(scan("<<"), (QList<PSToken>{op("<"), op("<")}));
    EXPECT_EQ(scan(")abc(x)"), (QList<PSToken>{op(")abc"), PSToken::makeString(QStringLiteral("x"))}));
    EXPECT_EQ(scan("a/b"), QList<PSToken>{op("a/b")});
}

TEST(PostScriptScannerTest, hostileSizesAreRefused)
{
    const QByteArray longString = "(" + QByteArray(PSScanner::maximumStringBytes + 1, 'a') + ")";
    EXPECT_EQ(failure(longString), QStringLiteral("Chaîne PostScript trop longue."));

    QByteArray manyOperands;
    for (int i = 0; i <= PSScanner::maximumTokensSinceMark; ++i)
        manyOperands += "1 ";
    EXPECT_EQ(failure("[" + manyOperands + "]"), QStringLiteral("Pile PostScript saturée : trop d’opérandes avant un opérateur."));

    // Marking between tokens (as the interpreter does at each operator) lifts that bound.
    PSScanner scanner(manyOperands);
    PSToken token;
    int count = 0;
    while (scanner.next(token)) {
        scanner.mark();
        ++count;
    }
    EXPECT_EQ(count, PSScanner::maximumTokensSinceMark + 1);
}
