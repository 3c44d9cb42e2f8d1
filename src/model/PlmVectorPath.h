#pragma once

#include "model/PlmPathCommand.h"

#include <QList>

// A free vector path: commands in drawing order and the fill rule.
struct PlmVectorPath {
    QList<PlmPathCommand> commands;
    bool evenOdd = false; // true: even-odd; false: non-zero winding

    bool operator==(const PlmVectorPath&) const = default;

    // Every command mapped as PlmPathCommand::applying does; the fill rule is kept.
    PlmVectorPath applying(const PlmTransform& transform) const;
    // At least one command is a close.
    bool hasClose() const;

    // {"commands": [command...], "evenOdd": bool}
    static PlmVectorPath fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};
