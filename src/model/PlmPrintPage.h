#pragma once

#include "model/PlmPoint.h"

class PlmJsonValue;
class PlmJsonWriter;

// The print page drawn over the composition, in millimetres.
// The default is an A4 sheet lying on its long side.
struct PlmPrintPage {
    PlmPoint origin{0, 0};
    double width = 297;
    double height = 210;
    double margin = 10;
    bool landscape = true;
    bool visible = true;

    bool operator==(const PlmPrintPage&) const = default;

    // Keys are the field names; absent optionals are left out.
    static PlmPrintPage fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;

    // Throws PlmWorkError "Page ou marges d’impression incorrectes.".
    void validate() const;
};
