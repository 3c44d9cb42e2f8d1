#pragma once

#include <QString>
#include <QStringList>

// What one data row resolves to under a key and the user's corrections.
struct PlmMatchRow {
    enum class Kind { matched, ambiguous, duplicate, missing, ignored };

    Kind kind = Kind::missing;
    QString entityID;       // the entity of a matched or duplicate row
    QStringList candidates; // the entities of an ambiguous row, in ascending order or map order

    static PlmMatchRow matched(const QString& id) { return {Kind::matched, id, {}}; }
    static PlmMatchRow ambiguous(const QStringList& ids) { return {Kind::ambiguous, {}, ids}; }
    static PlmMatchRow duplicate(const QString& id) { return {Kind::duplicate, id, {}}; }
    static PlmMatchRow missing() { return {Kind::missing, {}, {}}; }
    static PlmMatchRow ignored() { return {Kind::ignored, {}, {}}; }

    // Rows the user must correct or ignore before importing.
    bool needsAttention() const
    {
        return kind == Kind::ambiguous || kind == Kind::duplicate || kind == Kind::missing;
    }

    bool operator==(const PlmMatchRow&) const = default;
};
