#pragma once

#include <QString>

// One way of identifying the map's entities from a table: the cells of `column` compared with
// the entity property `field` ("id", "name" or "attr:" followed by an attribute name).
struct PlmMatchCandidate {
    int column = 0;
    QString field = QStringLiteral("id");
    int recognized = 0; // rows naming exactly one entity that no other such row names
    // 0 for "id", 1 for a code-like attribute, 2 for "name", 3 for an attribute that is a key
    // only by its distinct values; lower is preferred
    int priority = 0;
    bool claimsTwice = false; // some entity is the only one named by two rows or more

    bool operator==(const PlmMatchCandidate&) const = default;
};
