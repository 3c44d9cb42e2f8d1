#pragma once

#include "model/PlmMap.h"

#include <QMap>
#include <QString>

// The outcome of importing one file: the map, how many elements of each kind (a French
// phrase) were left unconverted, and whether the file was a ".plmmap" document taken as is.
struct PlmImportResult {
    PlmMap map;
    QMap<QString, int> unconverted;
    bool isNativeDocument = false;

    bool operator==(const PlmImportResult&) const = default;

    // The one French summary shown after an import: the entity count and the unconverted
    // total, then at most eight kinds and a word on the kept sources.
    QString summary() const;

    // "kind: count; kind: count" in ascending order of kind, as stored in the metadata
    // "import.unconverted"; empty without entries.
    static QString unconvertedText(const QMap<QString, int>& counts);
};
