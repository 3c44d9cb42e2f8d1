#pragma once

#include <QHash>
#include <QString>

// The user's correction of one table row: it belongs to the entity with this id, or it is
// left out of the import on purpose.
struct PlmMatchResolution {
    enum class Kind { entity, ignored };

    Kind kind = Kind::ignored;
    QString entityID; // for Kind::entity only

    static PlmMatchResolution entity(const QString& id) { return {Kind::entity, id}; }
    static PlmMatchResolution ignored() { return {Kind::ignored, {}}; }
    bool isIgnored() const { return kind == Kind::ignored; }

    bool operator==(const PlmMatchResolution&) const = default;
};

// Corrections by row index (from 0, into the table's data rows).
using PlmMatchCorrections = QHash<int, PlmMatchResolution>;
