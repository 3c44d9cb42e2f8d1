#pragma once

#include "basemaps/PlmImportResult.h"
#include "model/PlmEntity.h"
#include "catalogue/OnlineError.h"
#include "catalogue/PlmCatalogue.h"

#include <QDateTime>

// Turns a downloaded GeoJSON answer into a base map: provider codes as ids, provider names as
// names, thin outlines and the provenance keys "source.*". Pure; callable from any thread.
namespace PlmCatalogueConversion {

// The answer is imported from memory (the importer sees the file name of the download
// address), so nothing is written to disk and nothing can be left behind.
// Throws the importer's and the validator's errors unchanged, or OnlineError::invalid.
PlmImportResult convert(const OnlineResponse& response, const OnlineMap& entry);
// The same with a fixed conversion time, for reproducible provenance.
PlmImportResult convert(const OnlineResponse& response, const OnlineMap& entry, const QDateTime& now);

} // namespace PlmCatalogueConversion
