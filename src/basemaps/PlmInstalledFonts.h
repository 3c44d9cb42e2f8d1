#pragma once

#include <QString>

// Whether a font name read from a file names an installed font, either by its family name
// ("Arial") or by the PostScript name of one of its faces ("ArialMT", "Helvetica-Bold"), as
// drawings written by PostScript-minded programs name their fonts.
namespace PlmInstalledFonts {

bool isInstalled(const QString& name);

// The PostScript name (name id 6) in the bytes of an OpenType "name" table, or an empty text
// when the table holds none or is malformed.
QString postScriptName(const QByteArray& nameTable);

} // namespace PlmInstalledFonts
