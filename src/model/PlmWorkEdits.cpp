#include "model/PlmWorkEdits.h"

#include "model/PlmDependencyPlan.h"
#include "model/PlmEntity.h"
#include "model/PlmErrors.h"
#include "model/PlmFormula.h"
#include "model/PlmTabularText.h"
#include "model/PlmTextFolding.h"
#include "model/PlmWork.h"

#include <QUuid>

namespace {

const QString variableMissing = QStringLiteral("Variable absente.");
const QString calculatedVariableMissing = QStringLiteral("Variable calculée absente.");
const QString cellMissing = QStringLiteral("Cellule absente.");
const QString entityMissing = QStringLiteral("Entité absente.");
const QString calculatedCells =
    QStringLiteral("Les résultats calculés ne se saisissent pas : modifiez la formule.");
const QString blockTooLarge = QStringLiteral(
    "Le bloc à coller dépasse les lignes ou variables disponibles. Choisissez une cellule de "
    "départ et créez les variables nécessaires.");
const QString formulaTooLong = QStringLiteral("Saisissez une formule simple (maximum 4 096 caractères).");
const QString blockOnCalculated = QStringLiteral(
    "Le bloc contient une variable calculée. Collez uniquement dans les colonnes de saisie.");

bool isFormulaStop(QChar c)
{
    switch (c.unicode()) {
    case u'+': case u'-': case u'\u2212': case u'*': case u'\u00D7': case u'/': case u'\u00F7':
    case u'(': case u')': case u'[': case u']':
        return true;
    default:
        return false;
    }
}

// One more digit of the same number: "100.0" → "100.00", "1e21" → "1.0e21".
QString lengthenedNumber(const QString& token)
{
    const qsizetype exponent = token.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
    if (exponent < 0)
        return token.contains(QLatin1Char('.')) ? token + QLatin1Char('0') : token + QLatin1String(".0");
    QString mantissa = token.left(exponent);
    mantissa += mantissa.contains(QLatin1Char('.')) ? QStringLiteral("0") : QStringLiteral(".0");
    return mantissa + token.mid(exponent);
}

// A normal-form text whose bare number tokens are respelled, without changing their value,
// wherever a variable name would take them.
QString respellNumbersCapturedByNames(const QString& text, const QSet<QString>& foldedNames)
{
    QString out;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('[')) {
            // A bracketed name, "]]" standing for "]", copied as it is.
            qsizetype j = i + 1;
            while (j < n) {
                if (text.at(j) == QLatin1Char(']')) {
                    if (j + 1 < n && text.at(j + 1) == QLatin1Char(']')) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const qsizetype end = std::min(j + 1, n);
            out += text.mid(i, end - i);
            i = end;
        } else if (isFormulaStop(c)) {
            out += c;
            ++i;
        } else {
            qsizetype j = i;
            while (j < n && !isFormulaStop(text.at(j)))
                ++j;
            QString token = text.mid(i, j - i);
            const QString trimmed = PlmTextFolding::trimmed(token);
            if (!trimmed.isEmpty() && foldedNames.contains(PlmTextFolding::folded(trimmed))) {
                const qsizetype lead = token.indexOf(trimmed);
                QString spelled = trimmed;
                for (qsizetype tries = 0; tries <= foldedNames.size() && foldedNames.contains(PlmTextFolding::folded(spelled)); ++tries)
                    spelled = lengthenedNumber(spelled);
                token.replace(lead, trimmed.size(), spelled);
            }
            out += token;
            i = j;
        }
    }
    return out;
}

std::optional<PlmExpression> tryParse(const QString& text, const PlmFormulaScope& scope)
{
    try {
        return PlmFormula::parse(text, scope);
    } catch (const PlmWorkError&) {
        return std::nullopt;
    }
}

bool namesAreUsable(const QList<PlmVariable>& variables, QSet<QString>& foldedNames)
{
    for (const PlmVariable& variable : variables) {
        const QString folded = PlmTextFolding::folded(variable.name);
        if (folded.isEmpty() || foldedNames.contains(folded))
            return false;
        foldedNames.insert(folded);
    }
    return true;
}

void requireTopLevelEntity(const PlmWork& work, const QString& id, const QString& message)
{
    if (work.map.entities.indexOfId(id) < 0)
        throw PlmWorkError::invalid(message);
}

} // namespace

namespace PlmWorkEdits {

QString newVariableID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

void keepFormulaMeanings(PlmWork& work, const QList<PlmVariable>& variablesBefore,
                         const QString& newName, const QSet<QString>& rewrittenIDs)
{
    QSet<QString> foldedNames;
    if (!namesAreUsable(work.variables, foldedNames))
        return;
    QHash<QString, QString> names;
    for (const PlmVariable& variable : work.variables)
        names.insert(variable.id, variable.name);
    // The names are folded once for all the formulas; only formula texts change below.
    const PlmFormulaScope scopeBefore(variablesBefore);
    const PlmFormulaScope scopeAfter(work.variables);

    for (qsizetype i = 0; i < work.variables.size(); ++i) {
        const PlmVariable& variable = work.variables.at(i);
        if (!variable.calculation)
            continue;
        const QString& text = variable.calculation->expression;
        const std::optional<PlmExpression> before = tryParse(text, scopeBefore);
        if (!before)
            continue; // already unreadable: validation reports it
        bool rewrite = false;
        for (const QString& id : before->referencedVariables())
            rewrite = rewrite || rewrittenIDs.contains(id);
        if (!rewrite) {
            const std::optional<PlmExpression> after = tryParse(text, scopeAfter);
            if (after && after->isIdentical(*before))
                continue;
        }
        const QString normal = respellNumbersCapturedByNames(before->formulaText(names), foldedNames);
        std::optional<PlmExpression> check;
        try {
            check = PlmFormula::parse(normal, scopeAfter);
        } catch (const PlmWorkError& error) {
            // A formula rewritten for a rename that a longer name pushes past the length limit
            // is refused as the validation refuses it; any other misreading is the name's fault.
            if (rewrite && error.message() == formulaTooLong)
                throw;
        }
        if (!check || !check->isIdentical(*before)) {
            throw PlmWorkError::invalid(QStringLiteral("Le nom « ") + newName
                                        + QStringLiteral(" » changerait le sens de la formule de « ")
                                        + variable.name
                                        + QStringLiteral(" ». Choisissez un autre nom."));
        }
        work.variables[i].calculation->expression = normal;
    }
}

} // namespace PlmWorkEdits

QString PlmWork::addVariable(const QString& name, PlmVariableType type)
{
    PlmWork copy = *this;
    const QString id = PlmWorkEdits::newVariableID();
    const QString trimmed = PlmTextFolding::trimmed(name);
    copy.variables.append(PlmVariable(id, trimmed, type, {}, std::nullopt));
    PlmWorkEdits::keepFormulaMeanings(copy, variables, trimmed);
    copy.validate();
    *this = copy;
    return id;
}

void PlmWork::renameVariable(const QString& id, const QString& newName)
{
    const qsizetype index = variableIndex(id);
    if (index < 0)
        throw PlmWorkError::invalid(variableMissing);
    PlmFormula::validate(*this); // a rename rewrites formulas that must read as they are
    PlmWork copy = *this;
    const QString trimmed = PlmTextFolding::trimmed(newName);
    copy.variables[index].name = trimmed;
    PlmWorkEdits::keepFormulaMeanings(copy, variables, trimmed, {id});
    copy.validate();
    copy.recomputeCalculatedVariables();
    *this = copy;
}

void PlmWork::deleteVariable(const QString& id)
{
    if (variableIndex(id) < 0)
        throw PlmWorkError::invalid(variableMissing);
    const PlmDependencyPlan plan = PlmFormula::validate(*this);
    QStringList users;
    for (const PlmPlanStep& step : plan) {
        if (step.expression.referencedVariables().contains(id))
            users.append(variables.at(step.index).name);
    }
    if (!users.isEmpty()) {
        throw PlmWorkError::invalid(QStringLiteral("Cette variable est utilisée par : ")
                                    + users.join(QStringLiteral(", "))
                                    + QStringLiteral(". Modifiez ou supprimez d’abord ces formules."));
    }
    PlmWork copy = *this;
    copy.variables.removeIf([&id](const PlmVariable& variable) { return variable.id == id; });
    copy.recomputeThematicThresholds();
    *this = copy;
}

void PlmWork::setCell(const QString& entityID, const QString& variableID, const QString& text)
{
    const qsizetype index = variableIndex(variableID);
    if (index < 0)
        throw PlmWorkError::invalid(cellMissing);
    requireTopLevelEntity(*this, entityID, cellMissing);
    if (variables.at(index).isCalculated())
        throw PlmWorkError::invalid(calculatedCells);
    const std::optional<PlmValue> value = PlmValue::parse(text, variables.at(index).type);
    PlmWork copy = *this;
    if (value)
        copy.variables[index].values.insert(entityID, *value);
    else
        copy.variables[index].values.remove(entityID);
    copy.recomputeCalculatedVariables();
    *this = copy;
}

void PlmWork::clearCells(const QList<QString>& entityIDs, const QString& variableID)
{
    const QSet<QString> rows = topLevelEntityIDs();
    for (const QString& id : entityIDs) {
        if (!rows.contains(id))
            throw PlmWorkError::invalid(entityMissing);
    }
    const qsizetype index = variableIndex(variableID);
    if (index < 0 || variables.at(index).isCalculated())
        throw PlmWorkError::invalid(calculatedCells);
    PlmWork copy = *this;
    PlmVariableValues& values = copy.variables[index].values;
    for (const QString& id : entityIDs)
        values.remove(id);
    copy.recomputeCalculatedVariables();
    *this = copy;
}

int PlmWork::pasteBlock(const QString& text, const QList<QString>& entityIDs,
                        const QString& startVariableID)
{
    const qsizetype start = variableIndex(startVariableID);
    const qsizetype columns = start < 0 ? 0 : variables.size() - start;
    // Only what can land in the table is kept: a pasted text of millions of empty lines is
    // refused without first becoming millions of rows.
    bool complete = true;
    const QList<QStringList> rows = PlmTabularText::parse(text, entityIDs.size(), columns, &complete);
    if (start < 0 || !complete || rows.size() > entityIDs.size())
        throw PlmWorkError::invalid(blockTooLarge);
    for (const QStringList& row : rows) {
        if (row.size() > columns)
            throw PlmWorkError::invalid(blockTooLarge);
    }
    const QSet<QString> known = topLevelEntityIDs();
    for (const QString& id : entityIDs) {
        if (!known.contains(id))
            throw PlmWorkError::invalid(blockTooLarge);
    }

    PlmWork copy = *this;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QStringList& row = rows.at(r);
        const QString& entityID = entityIDs.at(r);
        for (qsizetype c = 0; c < row.size(); ++c) {
            PlmVariable& target = copy.variables[start + c];
            if (target.isCalculated())
                throw PlmWorkError::invalid(blockOnCalculated);
            const std::optional<PlmValue> value = PlmValue::parse(row.at(c), target.type);
            if (value)
                target.values.insert(entityID, *value);
            else
                target.values.remove(entityID);
        }
    }
    copy.recomputeCalculatedVariables();
    *this = copy;
    return int(rows.size());
}

QString PlmWork::saveCalculatedVariable(const std::optional<QString>& id, const QString& name,
                                        PlmVariableType type, const QString& expression, int decimals)
{
    PlmWork copy = *this;
    QString savedID;
    if (!id) {
        savedID = PlmWorkEdits::newVariableID();
        const QString trimmed = PlmTextFolding::trimmed(name);
        // The other formulas keep their meaning; this one is read with the names as they now are.
        copy.variables.append(PlmVariable(savedID, trimmed, type, {}, std::nullopt));
        PlmWorkEdits::keepFormulaMeanings(copy, variables, trimmed);
        copy.variables.last().calculation = PlmCalculation{expression, decimals};
    } else {
        const qsizetype index = variableIndex(*id);
        if (index < 0 || !variables.at(index).isCalculated())
            throw PlmWorkError::invalid(calculatedVariableMissing);
        savedID = *id;
        copy.renameVariable(savedID, name);
        PlmVariable& variable = copy.variables[index];
        variable.type = type;
        variable.values.clear();
        variable.calculation = PlmCalculation{expression, decimals};
    }
    copy.validate();
    copy.recomputeCalculatedVariables();
    *this = copy;
    return savedID;
}
