#pragma once

#include <QString>

// Where and how a library keeps its SVG symbols: ".plmmap" documents in a hidden folder at the
// package root (so the library tree never shows them), each marked in its map metadata.
namespace PlmLibrarySymbols {

inline const QString folderName = QStringLiteral(".symbols");
inline const QString markerKey = QStringLiteral("library.symbol");
inline const QString markerValue = QStringLiteral("svg");

} // namespace PlmLibrarySymbols
