#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// A parsed formula: constants, references to variables (by id, so that a rename keeps them),
// signs and the four operations. Operators are kept in their ASCII form ('+', '-', '*', '/')
// whatever was typed. Sub-expressions are shared, so copies are cheap.
class PlmExpression {
public:
    enum class Kind { number, variable, unary, binary };

    // Formulas longer than this many user-perceived characters are refused, and no operand
    // may sit deeper than this many parentheses and signs.
    static constexpr int maximumLength = 4096;
    static constexpr int maximumDepth = 63;

    static PlmExpression number(double value);
    static PlmExpression variable(const QString& variableID);
    // `sign` is '+' or '-'.
    static PlmExpression unary(char sign, PlmExpression operand);
    // `operation` is '+', '-', '*' or '/'.
    static PlmExpression binary(char operation, PlmExpression left, PlmExpression right);

    Kind kind() const { return m_kind; }
    double numberValue() const { return m_number; }
    const QString& variableID() const { return m_variableID; }
    // The sign of a unary node or the operation of a binary node.
    char operatorCharacter() const { return m_operator; }
    // The operand of a unary node, the left operand of a binary node.
    const PlmExpression& operand() const { return *m_left; }
    const PlmExpression& left() const { return *m_left; }
    const PlmExpression& right() const { return *m_right; }

    // Same tree; constants compared as doubles.
    bool operator==(const PlmExpression& other) const;
    // Same tree, constants compared bit for bit (tells 0 from -0).
    bool isIdentical(const PlmExpression& other) const;

    // The value for one entity. `lookup` gives a variable's value by id, or none when the
    // entity has no usable value. No result for a missing operand, a division by zero or any
    // non-finite intermediate value; evaluation never fails.
    using Lookup = std::function<std::optional<double>(const QString& variableID)>;
    std::optional<double> evaluate(const Lookup& lookup) const;
    std::optional<double> evaluate(const QHash<QString, double>& values) const;

    // The ids of every variable the expression refers to.
    QSet<QString> referencedVariables() const;

    // The normal form written back when a variable is renamed: every operation in
    // parentheses with spaced ASCII operators, signs as "-(…)", names bracketed and numbers in
    // their shortest text ("([Population] * 2.0)"). An id missing from `names` gives "[]".
    // Parsing the text again against the same variables gives the same expression, numbers
    // bit for bit; when the fully parenthesised form would be too deep or too long to parse
    // (a long chain such as 1 + 2 + … + 70), the form with only the parentheses the meaning
    // needs is returned instead ("[A]+2*[B]").
    QString formulaText(const QHash<QString, QString>& names) const;

    // Nesting levels the parser meets when reading the fully parenthesised form.
    int normalFormDepth() const;

    // The constant 0.
    PlmExpression() = default;

private:
    Kind m_kind = Kind::number;
    char m_operator = 0;
    double m_number = 0;
    QString m_variableID;
    std::shared_ptr<const PlmExpression> m_left;
    std::shared_ptr<const PlmExpression> m_right;
};
