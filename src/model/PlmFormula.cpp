#include "model/PlmFormula.h"

#include "model/PlmErrors.h"
#include "model/PlmTextFolding.h"
#include "model/PlmValueDecimal.h"

#include <QTextBoundaryFinder>

#include <vector>

namespace {

const QString kLength = QStringLiteral("Saisissez une formule simple (maximum 4 096 caractères).");
const QString kTooDeep = QStringLiteral("Trop de parenthèses dans cette formule simple.");
const QString kIncomplete = QStringLiteral("Formule incomplète : une valeur ou une variable est attendue.");
const QString kMissingParenthesis = QStringLiteral("Il manque une parenthèse fermante.");
const QString kMissingBracket = QStringLiteral("Il manque ] après le nom de variable.");
const QString kEmptyToken = QStringLiteral("Valeur ou nom de variable attendu.");
const QString kUnexpected =
    QStringLiteral("Caractère inattendu dans la formule. Utilisez + − × ÷ et des parenthèses.");

[[noreturn]] void fail(const QString& message)
{
    throw PlmWorkError::invalid(message);
}

// One user-perceived character of the formula.
struct Character {
    QStringView text;
    bool isWhiteSpace = false;

    bool is(char16_t c) const { return text.size() == 1 && text[0] == c; }
};

bool isStopCharacter(const Character& c)
{
    if (c.text.size() != 1)
        return false;
    switch (c.text[0].unicode()) {
    case u'+': case u'-': case u'\u2212': case u'*': case u'\u00D7': case u'/': case u'\u00F7':
    case u'(': case u')': case u'[': case u']':
        return true;
    default:
        return false;
    }
}

class Parser {
public:
    Parser(const QString& text, const PlmFormulaScope& scope)
        : m_scope(scope)
    {
        // Limits come first, counted in user-perceived characters.
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
        qsizetype start = 0;
        while (start < text.size()) {
            if (m_characters.size() >= size_t(PlmExpression::maximumLength))
                fail(kLength);
            qsizetype end = finder.toNextBoundary();
            if (end <= start)
                end = text.size();
            Character c;
            c.text = QStringView(text).mid(start, end - start);
            char32_t first = c.text[0].unicode();
            if (c.text[0].isHighSurrogate() && c.text.size() > 1 && c.text[1].isLowSurrogate())
                first = QChar::surrogateToUcs4(c.text[0], c.text[1]);
            c.isWhiteSpace = PlmTextFolding::isWhiteSpace(first);
            m_characters.push_back(c);
            start = end;
        }
        if (m_characters.empty())
            fail(kLength);
    }

    PlmExpression parseWhole()
    {
        PlmExpression result = expression(0);
        skipWhiteSpace();
        if (!atEnd())
            fail(kUnexpected);
        return result;
    }

private:
    bool atEnd() const { return m_position >= m_characters.size(); }
    const Character& current() const { return m_characters[m_position]; }

    void skipWhiteSpace()
    {
        while (!atEnd() && current().isWhiteSpace)
            ++m_position;
    }

    PlmExpression expression(int depth)
    {
        PlmExpression result = term(depth);
        for (;;) {
            skipWhiteSpace();
            if (atEnd())
                return result;
            char operation = 0;
            if (current().is(u'+'))
                operation = '+';
            else if (current().is(u'-') || current().is(u'\u2212'))
                operation = '-';
            else
                return result;
            ++m_position;
            result = PlmExpression::binary(operation, std::move(result), term(depth));
        }
    }

    PlmExpression term(int depth)
    {
        PlmExpression result = operand(depth);
        for (;;) {
            skipWhiteSpace();
            if (atEnd())
                return result;
            char operation = 0;
            if (current().is(u'*') || current().is(u'\u00D7'))
                operation = '*';
            else if (current().is(u'/') || current().is(u'\u00F7'))
                operation = '/';
            else
                return result;
            ++m_position;
            result = PlmExpression::binary(operation, std::move(result), operand(depth));
        }
    }

    PlmExpression operand(int depth)
    {
        if (depth > PlmExpression::maximumDepth)
            fail(kTooDeep);
        skipWhiteSpace();
        if (atEnd())
            fail(kIncomplete);
        const Character& c = current();
        if (c.is(u'+') || c.is(u'-') || c.is(u'\u2212')) {
            const char sign = c.is(u'+') ? '+' : '-';
            ++m_position;
            return PlmExpression::unary(sign, operand(depth + 1));
        }
        if (c.is(u'(')) {
            ++m_position;
            PlmExpression inner = expression(depth + 1);
            skipWhiteSpace();
            if (atEnd() || !current().is(u')'))
                fail(kMissingParenthesis);
            ++m_position;
            return inner;
        }
        if (c.is(u'[')) {
            ++m_position;
            return bracketedName();
        }
        return bareToken();
    }

    PlmExpression bracketedName()
    {
        QString name;
        for (;;) {
            if (atEnd())
                fail(kMissingBracket);
            const Character& c = current();
            ++m_position;
            if (c.is(u']')) {
                if (!atEnd() && current().is(u']')) {
                    name.append(QLatin1Char(']'));
                    ++m_position;
                    continue;
                }
                return resolve(name);
            }
            name.append(c.text);
        }
    }

    PlmExpression bareToken()
    {
        QString token;
        while (!atEnd() && !isStopCharacter(current())) {
            token.append(current().text);
            ++m_position;
        }
        token = PlmTextFolding::trimmed(token);
        if (token.isEmpty())
            fail(kEmptyToken);
        // A variable's name wins over a number: a variable called "2020" is that variable.
        if (const PlmVariable* variable = find(token))
            return reference(*variable);
        QString numberText = token;
        numberText.replace(QLatin1Char(','), QLatin1Char('.'));
        if (const std::optional<double> number = plmReadDecimal(numberText))
            return PlmExpression::number(*number);
        return resolve(token);
    }

    const PlmVariable* find(const QString& name) const { return m_scope.find(name); }

    PlmExpression resolve(const QString& name)
    {
        if (const PlmVariable* variable = find(name))
            return reference(*variable);
        fail(QStringLiteral("Variable inconnue : « ") + name
             + QStringLiteral(" ». Choisissez un nom dans la liste des variables."));
    }

    static PlmExpression reference(const PlmVariable& variable)
    {
        if (variable.type == PlmVariableType::text)
            fail(QStringLiteral("« ") + variable.name
                 + QStringLiteral(" » contient du texte : choisissez une variable numérique."));
        return PlmExpression::variable(variable.id);
    }

    const PlmFormulaScope& m_scope;
    std::vector<Character> m_characters;
    size_t m_position = 0;
};

} // namespace

PlmFormulaScope::PlmFormulaScope(const QList<PlmVariable>& variables)
    : m_variables(variables)
{
    m_firstIndexByFoldedName.reserve(variables.size());
    for (qsizetype i = 0; i < variables.size(); ++i) {
        const QString key = PlmTextFolding::folded(variables[i].name);
        if (!m_firstIndexByFoldedName.contains(key))
            m_firstIndexByFoldedName.insert(key, i);
    }
}

const PlmVariable* PlmFormulaScope::find(const QString& name) const
{
    const auto it = m_firstIndexByFoldedName.constFind(PlmTextFolding::folded(name));
    if (it == m_firstIndexByFoldedName.cend())
        return nullptr;
    return &m_variables[it.value()];
}

namespace PlmFormula {

PlmExpression parse(const QString& text, const PlmFormulaScope& scope)
{
    Parser parser(text, scope);
    return parser.parseWhole();
}

PlmExpression parse(const QString& text, const QList<PlmVariable>& variables)
{
    return parse(text, PlmFormulaScope(variables));
}

QString reference(const QString& name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char(']'), QStringLiteral("]]"));
    return QLatin1Char('[') + escaped + QLatin1Char(']');
}

} // namespace PlmFormula
