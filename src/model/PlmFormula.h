#pragma once

#include "model/PlmExpression.h"
#include "model/PlmVariable.h"

#include <QHash>
#include <QList>
#include <QString>

// The formula language of calculated variables: numbers (decimal comma or full stop),
// variable names (bare, or bracketed as "[Taux-actifs]" with "]]" for "]"), + - × ÷ (and
// − * /), signs and parentheses. Texts are read as user-perceived characters and any Unicode
// white space separates. The checks of a work's calculations live beside the recomputation.
// The variables a formula may name, with their names folded once, for parsing many
// formulas against the same list (as a recomputation does).
class PlmFormulaScope {
public:
    explicit PlmFormulaScope(const QList<PlmVariable>& variables);

    // The first variable in list order whose trimmed, folded name equals the name's.
    const PlmVariable* find(const QString& name) const;

private:
    QList<PlmVariable> m_variables;
    QHash<QString, qsizetype> m_firstIndexByFoldedName;
};

namespace PlmFormula {

// Parses a formula against the work's variables (names resolved in list order, ignoring
// case and accents; text variables refused). Throws PlmWorkError with the French message of
// the first fault. Bounded: at most 4096 characters, 63 levels of parentheses and signs.
PlmExpression parse(const QString& text, const QList<PlmVariable>& variables);
PlmExpression parse(const QString& text, const PlmFormulaScope& scope);

// "[" + name with every "]" doubled + "]".
QString reference(const QString& name);

} // namespace PlmFormula
