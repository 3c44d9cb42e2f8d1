#include "model/PlmColor.h"

#include "model/PlmJson.h"

#include <cmath>

PlmColor PlmColor::fromJson(const PlmJsonValue& value)
{
    return PlmColor{value.field<double>("red"), value.field<double>("green"),
                    value.field<double>("blue"), value.field<double>("alpha")};
}

void PlmColor::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("alpha", alpha);
    writer.field("blue", blue);
    writer.field("green", green);
    writer.field("red", red);
    writer.endObject();
}

bool PlmColor::hasValidComponents() const
{
    // Written so that NaN fails every bound.
    const auto unit = [](double value) { return std::isfinite(value) && value >= 0 && value <= 1; };
    return unit(red) && unit(green) && unit(blue) && unit(alpha);
}
