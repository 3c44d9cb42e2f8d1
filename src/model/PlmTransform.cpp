#include "model/PlmTransform.h"

#include "model/PlmJson.h"

PlmTransform PlmTransform::concatenating(const PlmTransform& t) const
{
    return PlmTransform{a * t.a + b * t.c,         a * t.b + b * t.d,
                        c * t.a + d * t.c,         c * t.b + d * t.d,
                        tx * t.a + ty * t.c + t.tx, tx * t.b + ty * t.d + t.ty};
}

PlmTransform PlmTransform::fromJson(const PlmJsonValue& value)
{
    return PlmTransform{value.field<double>("a"),  value.field<double>("b"),
                        value.field<double>("c"),  value.field<double>("d"),
                        value.field<double>("tx"), value.field<double>("ty")};
}

void PlmTransform::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("a", a);
    writer.field("b", b);
    writer.field("c", c);
    writer.field("d", d);
    writer.field("tx", tx);
    writer.field("ty", ty);
    writer.endObject();
}
