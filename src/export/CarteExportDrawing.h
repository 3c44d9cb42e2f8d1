#pragma once

#include <functional>

class CarteExportComposition;
class QPainter;
class ViewNode;

// Draws a view given the painter in its y-up coordinates; true when it has drawn the view
// itself (its own drawing is then skipped, its subviews still drawn).
using CarteExportViewDrawing = std::function<bool(ViewNode& view, QPainter& painter)>;

// The one walk of the composition's view tree shared by the bitmap and PDF writers: the
// painter maps the root's coordinates. Hidden views and the page guide are skipped with their
// subviews, an open text editor too; each other view is moved by its frame (less its bounds'
// origin) and clipped to its bounds unless it is a decoration or a legend, which may draw
// beyond them. `skipRootDrawing` leaves out the root's own drawing (its background), so that a
// transparent image stays transparent. Exceptions of `drawing` pass on with the painter
// restored.
void drawExportViewTree(QPainter& painter, ViewNode& view, ViewNode& root, const CarteExportComposition& composition,
                        bool skipRootDrawing, const CarteExportViewDrawing& drawing = {});
