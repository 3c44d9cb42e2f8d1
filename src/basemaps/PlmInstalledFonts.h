#pragma once

#include <QList>
#include <QRawFont>
#include <QString>

// Whether a font name read from a file names an installed font, either by its family name
// ("Arial") or by the PostScript name of one of its faces ("ArialMT", "Helvetica-Bold"), as
// drawings written by PostScript-minded programs name their fonts.
namespace PlmInstalledFonts {

bool isInstalled(const QString& name);

// The faces whose PostScript names count, out of the faces of every installed style: a
// stand-in face (UsableFonts) is left out, never asked for its tables.
QList<QRawFont> readableFaces(const QList<QRawFont>& faces);

// The PostScript name (name id 6) in the bytes of an OpenType "name" table, or an empty text
// when the table holds none or is malformed.
QString postScriptName(const QByteArray& nameTable);

} // namespace PlmInstalledFonts
