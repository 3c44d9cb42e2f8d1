#pragma once

#include "basemaps/PlmMacRoman.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <variant>

// One token of a PostScript body. Arrays and procedures hold their elements, so the type is
// recursive; their nesting is bounded by PSScanner::maximumDepth.
struct PSToken {
    enum class Kind { number, string, literal, array, procedure, op }; // order of the alternatives

    Kind kind = Kind::op;
    double number = 0;
    QString text;          // string, literal and op
    QList<PSToken> tokens; // array and procedure

    static PSToken makeNumber(double value) { return PSToken{Kind::number, value, {}, {}}; }
    static PSToken makeString(const QString& value) { return PSToken{Kind::string, 0, value, {}}; }
    static PSToken makeLiteral(const QString& value) { return PSToken{Kind::literal, 0, value, {}}; }
    static PSToken makeOp(const QString& value) { return PSToken{Kind::op, 0, value, {}}; }
    static PSToken makeArray(const QList<PSToken>& elements) { return PSToken{Kind::array, 0, {}, elements}; }
    static PSToken makeProcedure(const QList<PSToken>& elements)
    {
        return PSToken{Kind::procedure, 0, {}, elements};
    }

    // Written out: a defaulted comparison cannot see through the recursive list.
    bool operator==(const PSToken& other) const;
};

// Reads PostScript tokens from bytes, one per call; evaluates nothing. Failures are
// PlmImportError with one French sentence. Besides the nesting depth it bounds, for hostile
// input, the length of one string, the total number of tokens read and how much may be read
// between two marks (the interpreter marks at every operator, so this bounds its operand stack).
struct PSScanner {
    static constexpr int maximumDepth = 64;
    static constexpr qsizetype maximumStringBytes = qsizetype(16) << 20;
    static constexpr qint64 maximumTokens = 50'000'000;
    static constexpr qint64 maximumTokensSinceMark = 1'000'000;
    static constexpr qsizetype maximumBytesSinceMark = qsizetype(64) << 20;

    QByteArray bytes;
    qsizetype position = 0;
    int depth = 0;
    qint64 tokensRead = 0; // every token made, array and procedure elements included

    explicit PSScanner(const QByteArray& body = {}) : bytes(body) {}

    // The next token, or false at the end of the bytes (`token` is then unchanged).
    bool next(PSToken& token);

    // Starts a new span for the operand bound: what is read after this belongs to the next
    // operator.
    void mark();

private:
    qint64 markTokens_ = 0;
    qsizetype markPosition_ = 0;

    void count();
    PSToken readString();
    PSToken readRegular(qsizetype start);
};

