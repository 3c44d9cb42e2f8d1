#pragma once

#include "model/PlmValue.h"

#include <QList>
#include <QString>

struct PlmVariable;
struct PlmWork;

// The texts the studio window writes, computed without any widget.
namespace StudioWindowText {

// "12 entités · 3 variables", then " · 2 sélectionnées" (or " · 1 sélectionnée") when
// rows of the data table are selected.
QString statusLine(qsizetype entities, qsizetype variables, qsizetype selectedRows);

// Three lines for one numeric variable: its name; the count, minimum and maximum; the mean
// and the population standard deviation. Texts and non-finite numbers are left out; a
// missing statistic reads "—".
QString statisticsSummary(const QString& name, const QList<PlmValue>& values);
QString statisticsText(const PlmVariable& variable);
// The statistics tab: one summary per numeric variable, in work order, separated by a blank
// line, or the invitation to add data.
QString statisticsText(const PlmWork& work);
extern const QString noNumericVariable;

// A statistic: the shortest decimal text that reads back to the number, with a decimal
// comma and no trailing ",0"; "—" when absent.
QString statisticNumber(std::optional<double> value);

// Print-format item for a page size in millimetres, whatever its orientation:
// 0 for 210 × 297, 1 for 297 × 420, 2 for any other size.
int printFormatIndex(double width, double height);
// The page sizes of the first two items (portrait width and height).
struct PageSize { double width; double height; };
PageSize printFormatSize(int index);
// A page side as the print fields show it: "297,0", "297,5".
QString printDimension(double millimetres);

} // namespace StudioWindowText
