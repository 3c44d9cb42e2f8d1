// The import checks and the building of the new variables.
#include "tables/PlmMatch.h"

#include "model/PlmErrors.h"
#include "model/PlmTextFolding.h"
#include "model/PlmValue.h"
#include "model/PlmWorkEdits.h"

#include <algorithm>
#include <optional>
#include <utility>

QList<PlmVariable> PlmMatch::importedVariables(const PlmMatchCandidate& candidate,
                                               const PlmMatchCorrections& corrections,
                                               const PlmMatchColumns& columns,
                                               const QList<PlmVariable>& existingVariables) const
{
    const qsizetype columnCount = m_table.names.size();
    if (columns.isEmpty() || columns.firstKey() < 0 || columns.lastKey() >= columnCount)
        throw PlmWorkError::invalid(QStringLiteral("Choisissez au moins une colonne à importer."));
    const QList<PlmMatchRow> rows = resolutions(candidate, corrections);
    bool anyMatched = false;
    for (const PlmMatchRow& row : rows) {
        if (row.needsAttention())
            throw PlmWorkError::invalid(
                QStringLiteral("Corrigez ou ignorez explicitement les lignes non reconnues et les ambiguïtés."));
        anyMatched = anyMatched || row.kind == PlmMatchRow::Kind::matched;
    }
    if (!anyMatched)
        throw PlmWorkError::invalid(QStringLiteral("Aucune zone reconnue."));

    QSet<QString> usedNames;
    for (const PlmVariable& variable : existingVariables)
        usedNames.insert(normalizedKey(variable.name));
    QList<PlmVariable> variables;
    for (auto it = columns.cbegin(); it != columns.cend(); ++it)
        variables.append(makeVariable(it.key(), usedNames, columns, rows));
    return variables;
}

PlmVariable PlmMatch::makeVariable(int column, QSet<QString>& usedNames, const PlmMatchColumns& columns,
                                   const QList<PlmMatchRow>& resolutions) const
{
    // The cells of a text file share its whole decoded text: what the work keeps is copied,
    // so that it does not hold the rest of the file.
    const auto own = [](const QString& cell) { return cell.isEmpty() ? cell : QString(cell.constData(), cell.size()); };
    QString base = column >= 0 && column < m_table.names.size() ? own(PlmTextFolding::trimmed(m_table.names.at(column)))
                                                                 : QString();
    if (base.isEmpty())
        base = QStringLiteral("Colonne %1").arg(column + 1);
    // Clashes are judged on normalised names, as the work's own uniqueness rule ignores case
    // and accents too.
    QString name = base;
    for (int counter = 2; usedNames.contains(normalizedKey(name)); ++counter)
        name = base + QStringLiteral(" (") + QString::number(counter) + QLatin1Char(')');
    usedNames.insert(normalizedKey(name));

    const PlmVariableType type = columns.value(column, PlmVariableType::number);
    QList<std::pair<QString, PlmValue>> parsed;
    const qsizetype rowCount = std::min(resolutions.size(), m_table.rows.size());
    for (qsizetype row = 0; row < rowCount; ++row) {
        const PlmMatchRow& resolved = resolutions.at(row);
        if (resolved.kind != PlmMatchRow::Kind::matched)
            continue;
        const auto& cells = m_table.rows.at(row);
        QString cell = column >= 0 && column < cells.size() ? cells.at(column) : QString();
        if (type == PlmVariableType::text)
            cell = own(cell);
        std::optional<PlmValue> value;
        try {
            value = PlmValue::parse(cell, type);
        } catch (const PlmWorkError& error) {
            throw PlmWorkError::invalid(QStringLiteral("Ligne ") + QString::number(row + 1) + QStringLiteral(", ") + name
                                        + QStringLiteral(" : ") + error.message());
        }
        if (value)
            parsed.append({resolved.entityID, *value});
    }
    // Filled in key order: each insertion lands at the end, so blocks fill one after the
    // other. Matched rows name distinct entities, so no key repeats.
    std::sort(parsed.begin(), parsed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    PlmVariableValues values;
    for (const auto& [id, value] : std::as_const(parsed))
        values.insert(values.cend(), id, value);
    return PlmVariable(PlmWorkEdits::newVariableID(), name, type, values, std::nullopt);
}
