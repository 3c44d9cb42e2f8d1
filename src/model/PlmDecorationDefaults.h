#pragma once

#include "model/PlmColor.h"
#include "model/PlmDecorationKind.h"
#include "model/PlmPoint.h"

// What a new layout element of a kind looks like before the user touches it.
struct PlmDecorationKindDefaults {
    double width = 180;
    double height = 100;
    // A pair of fractions of the free space of the composition.
    PlmPoint position{0.5, 0.5};
    double fontSize = 12;
    bool bold = false;
    PlmColor background{1, 1, 1, 0.9};
};

PlmDecorationKindDefaults decorationKindDefaults(PlmDecorationKind kind);
