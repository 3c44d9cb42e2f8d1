#pragma once

#include <QByteArray>

// Qt's PDF writer rounds the page to whole points (A4 becomes 595 × 842). The drawing is made
// against that rounded height, which keeps the bottom-left origin exact; this puts the exact
// page size back into every /MediaBox of the file. Qt writes the box numbers with six
// decimals, so the exact numbers are written in the same width and no object moves (the
// cross-reference offsets stay valid). False when no box could be rewritten.
bool setExactMediaBox(QByteArray& pdf, double widthPoints, double heightPoints);
