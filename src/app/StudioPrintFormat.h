#pragma once

#include "model/PlmPrintPage.h"

#include <QString>
#include <optional>

struct PlmWork;

// The print page of a work as the studio window's print-format controls change it. Plain
// functions on values; the window runs each change as one undoable update.
namespace StudioPrintFormat {

// Items of the print-format pop-up.
enum Item { a4 = 0, a3 = 1, custom = 2 };

// The work's print page, or the default A4 landscape page (297 × 210, margin 10, visible)
// when the work has no layout or no print page.
PlmPrintPage currentPage(const PlmWork& work);
bool hasPrintPage(const PlmWork& work);

// The page of format item 0 (A4) or 1 (A3) with the orientation, origin, margin and
// visibility of `current`: in landscape the width is the long side.
PlmPrintPage formatPage(int item, const PlmPrintPage& current);

// A typed side: commas read as decimal points, the whole text must be a finite decimal
// number (white space around it is ignored).
std::optional<double> parseDimension(const QString& text);
// The page of two typed sides: landscape when the height is at most the width; origin,
// margin and visibility from the work's page, or (0, 0), 10 and visible without one.
// Throws PlmWorkError "Dimensions de page incorrectes." when a side does not read.
PlmPrintPage typedPage(const QString& width, const QString& height, const PlmWork& work);
extern const QString wrongDimensionsMessage;

// Stores a page in the work's layout, creating the default layout when there is none.
void storePage(PlmWork& work, const PlmPrintPage& page);
// Shows or hides the print page; a work without one gets the default page, visible.
void togglePageVisibility(PlmWork& work);
bool isPageVisible(const PlmWork& work);

// Switches the display of entity names (absent counts as off).
void toggleEntityNames(PlmWork& work);
bool showsEntityNames(const PlmWork& work);

} // namespace StudioPrintFormat
