#pragma once

#include <QStringList>

class CarteExportComposition;

// The names of the system symbols (SF Symbols) the exported composition shows, distinct and in
// ascending order; empty when it shows none. The vector exports carry those symbols as
// bitmaps and name them in a note. Main thread.
QStringList exportSFSymbolNames(CarteExportComposition& composition);
