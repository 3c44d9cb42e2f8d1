// JSON of the layout records. Keys are written in ascending order, as the writer demands;
// reading checks types and required keys only (validation runs after every read).
#include "model/PlmBackgroundImage.h"
#include "model/PlmColor.h"
#include "model/PlmDecoration.h"
#include "model/PlmDecorationObject.h"
#include "model/PlmDecorationViewport.h"
#include "model/PlmEditingStyle.h"
#include "model/PlmJson.h"
#include "model/PlmPoint.h"
#include "model/PlmPresentation.h"
#include "model/PlmPrintPage.h"
#include "model/PlmTransform.h"

PlmEditingStyle PlmEditingStyle::fromJson(const PlmJsonValue& value)
{
    PlmEditingStyle style;
    style.italic = value.field<bool>("italic");
    style.underline = value.field<bool>("underline");
    style.wraps = value.field<bool>("wraps");
    style.condensed = value.field<bool>("condensed");
    style.fontWeight = value.field<int>("fontWeight");
    style.textWidth = value.optionalField<double>("textWidth");
    style.tracking = value.field<double>("tracking");
    style.baseline = value.field<double>("baseline");
    style.lineSpacing = value.field<double>("lineSpacing");
    style.paragraphBefore = value.field<double>("paragraphBefore");
    style.paragraphAfter = value.field<double>("paragraphAfter");
    style.indent = value.field<double>("indent");
    style.firstIndent = value.field<double>("firstIndent");
    style.tailIndent = value.field<double>("tailIndent");
    style.noFill = value.field<bool>("noFill");
    style.stroke = value.field<PlmColor>("stroke");
    style.strokeWidth = value.field<double>("strokeWidth");
    style.dash = value.field<int>("dash");
    style.cap = value.field<int>("cap");
    style.join = value.field<int>("join");
    style.frameFill = value.field<PlmColor>("frameFill");
    style.padding = value.field<double>("padding");
    style.cornerRadius = value.field<double>("cornerRadius");
    style.opacity = value.field<double>("opacity");
    style.shadow = value.field<bool>("shadow");
    style.shadowColor = value.field<PlmColor>("shadowColor");
    style.shadowX = value.field<double>("shadowX");
    style.shadowY = value.field<double>("shadowY");
    style.shadowBlur = value.field<double>("shadowBlur");
    style.rotation = value.field<double>("rotation");
    style.lockRatio = value.field<bool>("lockRatio");
    style.lockPosition = value.field<bool>("lockPosition");
    style.horizontal = value.field<bool>("horizontal");
    style.columns = value.field<int>("columns");
    style.legendSpacing = value.field<double>("legendSpacing");
    style.swatchSize = value.field<double>("swatchSize");
    style.northStyle = value.field<int>("northStyle");
    style.scaleStyle = value.field<int>("scaleStyle");
    style.scaleUnit = value.field<int>("scaleUnit");
    return style;
}

void PlmEditingStyle::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("baseline", baseline);
    writer.field("cap", cap);
    writer.field("columns", columns);
    writer.field("condensed", condensed);
    writer.field("cornerRadius", cornerRadius);
    writer.field("dash", dash);
    writer.field("firstIndent", firstIndent);
    writer.field("fontWeight", fontWeight);
    writer.field("frameFill", frameFill);
    writer.field("horizontal", horizontal);
    writer.field("indent", indent);
    writer.field("italic", italic);
    writer.field("join", join);
    writer.field("legendSpacing", legendSpacing);
    writer.field("lineSpacing", lineSpacing);
    writer.field("lockPosition", lockPosition);
    writer.field("lockRatio", lockRatio);
    writer.field("noFill", noFill);
    writer.field("northStyle", northStyle);
    writer.field("opacity", opacity);
    writer.field("padding", padding);
    writer.field("paragraphAfter", paragraphAfter);
    writer.field("paragraphBefore", paragraphBefore);
    writer.field("rotation", rotation);
    writer.field("scaleStyle", scaleStyle);
    writer.field("scaleUnit", scaleUnit);
    writer.field("shadow", shadow);
    writer.field("shadowBlur", shadowBlur);
    writer.field("shadowColor", shadowColor);
    writer.field("shadowX", shadowX);
    writer.field("shadowY", shadowY);
    writer.field("stroke", stroke);
    writer.field("strokeWidth", strokeWidth);
    writer.field("swatchSize", swatchSize);
    writer.field("tailIndent", tailIndent);
    writer.optionalField("textWidth", textWidth);
    writer.field("tracking", tracking);
    writer.field("underline", underline);
    writer.field("wraps", wraps);
    writer.endObject();
}

PlmPresentation PlmPresentation::fromJson(const PlmJsonValue& value)
{
    PlmPresentation presentation;
    presentation.frameHidden = value.optionalField<bool>("frameHidden");
    presentation.hidden = value.optionalField<bool>("hidden");
    presentation.editing = value.optionalField<PlmEditingStyle>("editing");
    presentation.fontName = value.field<QString>("fontName");
    presentation.fontSize = value.field<double>("fontSize");
    presentation.bold = value.field<bool>("bold");
    presentation.alignment = value.field<PlmTextAlignment>("alignment");
    presentation.color = value.field<PlmColor>("color");
    presentation.background = value.field<PlmColor>("background");
    presentation.border = value.field<bool>("border");
    presentation.width = value.optionalField<double>("width");
    presentation.height = value.optionalField<double>("height");
    presentation.positionInPoints = value.optionalField<bool>("positionInPoints");
    presentation.legendFitsContent = value.optionalField<bool>("legendFitsContent");
    presentation.title = value.optionalField<QString>("title");
    return presentation;
}

void PlmPresentation::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("alignment", alignment);
    writer.field("background", background);
    writer.field("bold", bold);
    writer.field("border", border);
    writer.field("color", color);
    writer.optionalField("editing", editing);
    writer.field("fontName", fontName);
    writer.field("fontSize", fontSize);
    writer.optionalField("frameHidden", frameHidden);
    writer.optionalField("height", height);
    writer.optionalField("hidden", hidden);
    writer.optionalField("legendFitsContent", legendFitsContent);
    writer.optionalField("positionInPoints", positionInPoints);
    writer.optionalField("title", title);
    writer.optionalField("width", width);
    writer.endObject();
}

PlmDecorationObject PlmDecorationObject::fromJson(const PlmJsonValue& value)
{
    PlmDecorationObject object;
    object.id = value.field<QString>("id");
    object.kind = value.field<PlmDecorationKind>("kind");
    object.text = value.field<QString>("text");
    object.position = value.field<PlmPoint>("position");
    object.width = value.field<double>("width");
    object.height = value.field<double>("height");
    object.presentation = value.field<PlmPresentation>("presentation");
    object.legendSeries = value.optionalField<int>("legendSeries");
    object.bitmap = value.optionalField<QByteArray>("bitmap");
    object.bitmapType = value.optionalField<QString>("bitmapType");
    object.symbol = value.optionalField<PlmProportionalSettings>("symbol");
    return object;
}

void PlmDecorationObject::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.optionalField("bitmap", bitmap);
    writer.optionalField("bitmapType", bitmapType);
    writer.field("height", height);
    writer.field("id", id);
    writer.field("kind", kind);
    writer.optionalField("legendSeries", legendSeries);
    writer.field("position", position);
    writer.field("presentation", presentation);
    writer.optionalField("symbol", symbol);
    writer.field("text", text);
    writer.field("width", width);
    writer.endObject();
}

PlmDecorationViewport PlmDecorationViewport::fromJson(const PlmJsonValue& value)
{
    PlmDecorationViewport viewport;
    viewport.center = value.field<PlmPoint>("center");
    viewport.unitsPerPoint = value.field<double>("unitsPerPoint");
    return viewport;
}

void PlmDecorationViewport::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("center", center);
    writer.field("unitsPerPoint", unitsPerPoint);
    writer.endObject();
}

PlmBackgroundImage PlmBackgroundImage::fromJson(const PlmJsonValue& value)
{
    PlmBackgroundImage image;
    image.data = value.field<QByteArray>("data");
    image.type = value.field<QString>("type");
    image.position = value.field<PlmPoint>("position");
    image.width = value.field<double>("width");
    image.height = value.field<double>("height");
    image.opacity = value.field<double>("opacity");
    image.locked = value.field<bool>("locked");
    return image;
}

void PlmBackgroundImage::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("data", data);
    writer.field("height", height);
    writer.field("locked", locked);
    writer.field("opacity", opacity);
    writer.field("position", position);
    writer.field("type", type);
    writer.field("width", width);
    writer.endObject();
}

PlmPrintPage PlmPrintPage::fromJson(const PlmJsonValue& value)
{
    PlmPrintPage page;
    page.origin = value.field<PlmPoint>("origin");
    page.width = value.field<double>("width");
    page.height = value.field<double>("height");
    page.margin = value.field<double>("margin");
    page.landscape = value.field<bool>("landscape");
    page.visible = value.field<bool>("visible");
    return page;
}

void PlmPrintPage::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("height", height);
    writer.field("landscape", landscape);
    writer.field("margin", margin);
    writer.field("origin", origin);
    writer.field("visible", visible);
    writer.field("width", width);
    writer.endObject();
}

PlmDecoration PlmDecoration::fromJson(const PlmJsonValue& value)
{
    PlmDecoration decoration;
    decoration.backgroundImage = value.optionalField<PlmBackgroundImage>("backgroundImage");
    decoration.viewport = value.optionalField<PlmDecorationViewport>("viewport");
    decoration.printPage = value.optionalField<PlmPrintPage>("printPage");
    decoration.showEntityNames = value.optionalField<bool>("showEntityNames");
    decoration.entityNameFontName = value.optionalField<QString>("entityNameFontName");
    decoration.entityNameFontSize = value.optionalField<double>("entityNameFontSize");
    decoration.entityNamePositions = value.optionalField<QMap<QString, PlmPoint>>("entityNamePositions");
    decoration.compositionSize = value.optionalField<PlmPoint>("compositionSize");
    decoration.mapTransform = value.optionalField<PlmTransform>("mapTransform");
    decoration.objects = value.field<QList<PlmDecorationObject>>("objects");
    decoration.legend = value.field<PlmPresentation>("legend");
    decoration.secondLegend = value.field<PlmPresentation>("secondLegend");
    return decoration;
}

void PlmDecoration::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.optionalField("backgroundImage", backgroundImage);
    writer.optionalField("compositionSize", compositionSize);
    writer.optionalField("entityNameFontName", entityNameFontName);
    writer.optionalField("entityNameFontSize", entityNameFontSize);
    writer.optionalField("entityNamePositions", entityNamePositions);
    writer.field("legend", legend);
    writer.optionalField("mapTransform", mapTransform);
    writer.field("objects", objects);
    writer.optionalField("printPage", printPage);
    writer.field("secondLegend", secondLegend);
    writer.optionalField("showEntityNames", showEntityNames);
    writer.optionalField("viewport", viewport);
    writer.endObject();
}
