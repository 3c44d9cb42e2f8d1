#pragma once

#include "model/PlmExpression.h"
#include "model/PlmVariable.h"

#include <QList>
#include <QString>

// The formula language of calculated variables: numbers (decimal comma or full stop),
// variable names (bare, or bracketed as "[Taux-actifs]" with "]]" for "]"), + - × ÷ (and
// − * /), signs and parentheses. Texts are read as user-perceived characters and any Unicode
// white space separates. The checks of a work's calculations live beside the recomputation.
namespace PlmFormula {

// Parses a formula against the work's variables (names resolved in list order, ignoring
// case and accents; text variables refused). Throws PlmWorkError with the French message of
// the first fault. Bounded: at most 4096 characters, 63 levels of parentheses and signs.
PlmExpression parse(const QString& text, const QList<PlmVariable>& variables);

// "[" + name with every "]" doubled + "]".
QString reference(const QString& name);

} // namespace PlmFormula
