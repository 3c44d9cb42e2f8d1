#pragma once

#include <QString>

struct PlmDecorationObject;
struct PlmPresentation;

// The names the objects outline gives the layout's elements; the export panel names what it
// cuts by the same names, so that the person finds them in the outline.
namespace PlmOutlineTitle {

// A layout object: its presentation title, else the first line of its text, else the kind's
// default title.
QString object(const PlmDecorationObject& object);
// A thematic legend: its presentation title, else « Légende » (the first) or « Légende
// secondaire ».
QString legend(const PlmPresentation& presentation, bool second);

} // namespace PlmOutlineTitle
