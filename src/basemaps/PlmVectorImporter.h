#pragma once

#include "model/PlmFileLimits.h"

#include "basemaps/PlmImportResult.h"
#include "model/PlmColor.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

class PlmJsonValue;

// Turns one file into a base map: the format is recognised by content, one reader runs, and
// every non-native result is finished the same way (the file kept as a source, provenance
// and unconverted counts in the metadata, font check, validation). Stateless and callable
// from any thread.
namespace PlmVectorImporter {

// Files above this size are refused before being read: every reader holds the whole file and
// its parsed form, as a document does.
constexpr qint64 maximumFileSize = plmMaximumFileBytes;

// Reads the file whole and imports it. Throws PlmImportError (unreadable, unrecognised,
// malformed or not yet supported file) or PlmMapError (the finished map is invalid); every
// refusal names the file, and a Shapefile companion or a PDF-based Illustrator file is refused
// with a sentence that says what to choose instead.
PlmImportResult importMap(const QString& path);

// The same on bytes already read; `path` names the file (its name, its base name and the
// folder where the companions of a Shapefile are looked for). Refusals are the readers' own.
PlmImportResult importData(const QByteArray& bytes, const QString& path);

// "Le fichier « name » ne peut pas être importé : reason", unless the reason already names the file.
QString refusalMessage(const QString& fileName, const QString& reason);
// The refusals of a Shapefile companion chosen alone and of a PDF-based Illustrator file.
QString companionMessage(const QString& fileName);
QString pdfIllustratorMessage(const QString& fileName);

// The finishing steps of every non-native road: keeps the file as a source (once), writes
// "source.filename" and "import.unconverted", counts substituted fonts and validates.
void finish(PlmImportResult& result, const QString& fileName, const QByteArray& bytes);

// Byte tests run before any parse.
bool isShapefile(const QByteArray& bytes);
bool isPostScript(const QByteArray& bytes);
// Whether the bytes parse as XML (no external entity resolved) whose root is an "svg" element.
bool isSVG(const QByteArray& bytes);

// Every decimal number of the text, in order (signs, fractions and exponents included).
QList<double> numbers(const QString& text);

// The text of one JSON value: a string unchanged, null as "null", anything else as compact
// JSON with sorted keys (12 gives "12", true "true").
QString jsonText(const PlmJsonValue& value);

// Shortest round-trip decimal text of a double (C locale).
QString shortestText(double value);

} // namespace PlmVectorImporter
