#pragma once

#include <QString>

#include <optional>

// The numbers and names of the export form: typed numbers read with a decimal comma or point,
// numbers written back with a comma ("210,0"), and the file name proposed for an export.
namespace CarteExportForm {

// The whole text as a finite number once every "," became "."; none otherwise.
std::optional<double> parseNumber(const QString& text);
// The shortest decimal form, with ".0" for a whole number, "." written ",".
QString formatNumber(double value);
// The map's name made safe as a file name with the extension: separators and control
// characters become "-", leading dots and surrounding spaces go, and an empty result becomes
// "Carte".
QString proposedFileName(const QString& mapName, const QString& extension);

} // namespace CarteExportForm
