#include "model/PlmExpression.h"

#include "model/PlmFormula.h"
#include "model/PlmFrenchNumberDigits.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>
#include <cstring>

PlmExpression PlmExpression::number(double value)
{
    PlmExpression e;
    e.m_kind = Kind::number;
    e.m_number = value;
    return e;
}

PlmExpression PlmExpression::variable(const QString& variableID)
{
    PlmExpression e;
    e.m_kind = Kind::variable;
    e.m_variableID = variableID;
    return e;
}

PlmExpression PlmExpression::unary(char sign, PlmExpression operand)
{
    PlmExpression e;
    e.m_kind = Kind::unary;
    e.m_operator = sign;
    e.m_left = std::make_shared<const PlmExpression>(std::move(operand));
    return e;
}

PlmExpression PlmExpression::binary(char operation, PlmExpression left, PlmExpression right)
{
    PlmExpression e;
    e.m_kind = Kind::binary;
    e.m_operator = operation;
    e.m_left = std::make_shared<const PlmExpression>(std::move(left));
    e.m_right = std::make_shared<const PlmExpression>(std::move(right));
    return e;
}

namespace {

template <typename SameNumber>
bool sameTree(const PlmExpression& a, const PlmExpression& b, SameNumber sameNumber)
{
    if (a.kind() != b.kind())
        return false;
    switch (a.kind()) {
    case PlmExpression::Kind::number:
        return sameNumber(a.numberValue(), b.numberValue());
    case PlmExpression::Kind::variable:
        return a.variableID() == b.variableID();
    case PlmExpression::Kind::unary:
        return a.operatorCharacter() == b.operatorCharacter() && sameTree(a.operand(), b.operand(), sameNumber);
    case PlmExpression::Kind::binary:
        return a.operatorCharacter() == b.operatorCharacter() && sameTree(a.left(), b.left(), sameNumber)
            && sameTree(a.right(), b.right(), sameNumber);
    }
    return false;
}

std::optional<double> finite(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

template <typename LookupFunction>
std::optional<double> evaluateNode(const PlmExpression& e, const LookupFunction& lookup)
{
    switch (e.kind()) {
    case PlmExpression::Kind::number:
        return finite(e.numberValue());
    case PlmExpression::Kind::variable: {
        const std::optional<double> value = lookup(e.variableID());
        return value ? finite(*value) : std::nullopt;
    }
    case PlmExpression::Kind::unary: {
        const std::optional<double> value = evaluateNode(e.operand(), lookup);
        if (!value)
            return std::nullopt;
        return e.operatorCharacter() == '-' ? -*value : *value;
    }
    case PlmExpression::Kind::binary: {
        const std::optional<double> left = evaluateNode(e.left(), lookup);
        if (!left)
            return std::nullopt;
        const std::optional<double> right = evaluateNode(e.right(), lookup);
        if (!right)
            return std::nullopt;
        switch (e.operatorCharacter()) {
        case '+': return finite(*left + *right);
        case '-': return finite(*left - *right);
        case '*': return finite(*left * *right);
        case '/':
            if (*right == 0)
                return std::nullopt;
            return finite(*left / *right);
        }
        return std::nullopt;
    }
    }
    return std::nullopt;
}

void collectReferences(const PlmExpression& e, QSet<QString>& ids)
{
    switch (e.kind()) {
    case PlmExpression::Kind::number:
        return;
    case PlmExpression::Kind::variable:
        ids.insert(e.variableID());
        return;
    case PlmExpression::Kind::unary:
        collectReferences(e.operand(), ids);
        return;
    case PlmExpression::Kind::binary:
        collectReferences(e.left(), ids);
        collectReferences(e.right(), ids);
        return;
    }
}

QString latin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// A constant as the parser's bare-token rule reads it back: the shortest text with a full
// stop, except that an exponent can carry no sign (a sign ends a token), so tiny numbers are
// written out in full and huge ones get an unsigned exponent.
QString normalNumber(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("(1.0 / 0.0)"); // has no value, as a non-finite constant
    const std::string standard = PlmDecimalDigits::standardText(std::fabs(value));
    std::string text;
    if (standard.find("e-") != std::string::npos) {
        text = PlmDecimalDigits::plainDecimalText(std::fabs(value));
    } else if (const size_t plus = standard.find("e+"); plus != std::string::npos) {
        text = standard.substr(0, plus + 1);
        size_t digits = plus + 2;
        while (digits + 1 < standard.size() && standard[digits] == '0')
            ++digits;
        text += standard.substr(digits);
    } else {
        text = standard;
    }
    // Parsed constants are never negative; a built one keeps its value behind a sign.
    if (std::signbit(value))
        return QStringLiteral("-(") + latin1(text) + QLatin1Char(')');
    return latin1(text);
}

// The same constant as briefly as the parser reads it back: no ".0", and a large integer
// written with its significant digits and an unsigned exponent ("12e20").
QString compactNumber(double value)
{
    if (!std::isfinite(value) || std::signbit(value))
        return normalNumber(value);
    std::string plain = PlmDecimalDigits::plainDecimalText(value);
    if (plain.size() >= 2 && plain.compare(plain.size() - 2, 2, ".0") == 0)
        plain.resize(plain.size() - 2);
    if (plain.size() >= 2 && plain[0] == '0' && plain[1] == '.')
        plain.erase(0, 1);
    const PlmDecimalDigits d = PlmDecimalDigits::shortest(value);
    if (!d.isZero() && d.pointPosition > int(d.digits.size())) {
        const std::string scaled = d.digits + "e" + std::to_string(d.pointPosition - int(d.digits.size()));
        if (scaled.size() < plain.size())
            plain = scaled;
    }
    return latin1(plain);
}

void appendNormal(const PlmExpression& e, const QHash<QString, QString>& names, QString& out)
{
    switch (e.kind()) {
    case PlmExpression::Kind::number:
        out += normalNumber(e.numberValue());
        return;
    case PlmExpression::Kind::variable: {
        const auto it = names.constFind(e.variableID());
        out += it == names.cend() ? QStringLiteral("[]") : PlmFormula::reference(it.value());
        return;
    }
    case PlmExpression::Kind::unary:
        out += QLatin1Char(e.operatorCharacter());
        out += QLatin1Char('(');
        appendNormal(e.operand(), names, out);
        out += QLatin1Char(')');
        return;
    case PlmExpression::Kind::binary:
        out += QLatin1Char('(');
        appendNormal(e.left(), names, out);
        out += QLatin1Char(' ');
        out += QLatin1Char(e.operatorCharacter());
        out += QLatin1Char(' ');
        appendNormal(e.right(), names, out);
        out += QLatin1Char(')');
        return;
    }
}

int precedence(const PlmExpression& e)
{
    if (e.kind() != PlmExpression::Kind::binary)
        return 3;
    return e.operatorCharacter() == '*' || e.operatorCharacter() == '/' ? 2 : 1;
}

void appendCompact(const PlmExpression& e, const QHash<QString, QString>& names, QString& out);

void appendCompactChild(const PlmExpression& child, bool parenthesised, const QHash<QString, QString>& names,
                        QString& out)
{
    if (parenthesised)
        out += QLatin1Char('(');
    appendCompact(child, names, out);
    if (parenthesised)
        out += QLatin1Char(')');
}

void appendCompact(const PlmExpression& e, const QHash<QString, QString>& names, QString& out)
{
    switch (e.kind()) {
    case PlmExpression::Kind::number:
        out += compactNumber(e.numberValue());
        return;
    case PlmExpression::Kind::variable:
        appendNormal(e, names, out);
        return;
    case PlmExpression::Kind::unary:
        // A sign takes one operand: only an operation behind it needs parentheses.
        out += QLatin1Char(e.operatorCharacter());
        appendCompactChild(e.operand(), e.operand().kind() == PlmExpression::Kind::binary, names, out);
        return;
    case PlmExpression::Kind::binary: {
        // Operations of one level group from the left, so a right operand of the same level
        // keeps its parentheses.
        const int level = precedence(e);
        appendCompactChild(e.left(), precedence(e.left()) < level, names, out);
        out += QLatin1Char(e.operatorCharacter());
        appendCompactChild(e.right(), precedence(e.right()) <= level, names, out);
        return;
    }
    }
}

// Grapheme clusters, counted only as far as the limit needs.
bool fitsLength(const QString& text)
{
    if (text.size() <= PlmExpression::maximumLength)
        return true;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() != -1) {
        if (++count > PlmExpression::maximumLength)
            return false;
    }
    return true;
}

} // namespace

bool PlmExpression::operator==(const PlmExpression& other) const
{
    return sameTree(*this, other, [](double a, double b) { return a == b; });
}

bool PlmExpression::isIdentical(const PlmExpression& other) const
{
    return sameTree(*this, other, [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; });
}

std::optional<double> PlmExpression::evaluate(const Lookup& lookup) const
{
    return evaluateNode(*this, lookup);
}

std::optional<double> PlmExpression::evaluate(const QHash<QString, double>& values) const
{
    return evaluateNode(*this, [&values](const QString& id) -> std::optional<double> {
        const auto it = values.constFind(id);
        if (it == values.cend())
            return std::nullopt;
        return it.value();
    });
}

QSet<QString> PlmExpression::referencedVariables() const
{
    QSet<QString> ids;
    collectReferences(*this, ids);
    return ids;
}

int PlmExpression::normalFormDepth() const
{
    switch (m_kind) {
    case Kind::number:
    case Kind::variable:
        return 0;
    case Kind::unary:
        return 2 + operand().normalFormDepth();  // the sign, then "("
    case Kind::binary:
        return 1 + std::max(left().normalFormDepth(), right().normalFormDepth());
    }
    return 0;
}

QString PlmExpression::formulaText(const QHash<QString, QString>& names) const
{
    QString normal;
    appendNormal(*this, names, normal);
    if (normalFormDepth() <= maximumDepth && fitsLength(normal))
        return normal;
    QString compact;
    appendCompact(*this, names, compact);
    return compact;
}
