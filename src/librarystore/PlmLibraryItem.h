#pragma once

#include <QList>
#include <QString>

// One node of the library tree: a folder or a ".plmmap" document, by its standardized path.
struct PlmLibraryItem {
    QString url;
    bool isFolder = false;
    QList<PlmLibraryItem> children; // sorted; empty for a document

    // A folder's last path component; a document's without its extension.
    QString displayName() const;

    bool operator==(const PlmLibraryItem&) const = default;
};

// The undo record of one deletion.
struct PlmLibraryDeletion {
    QString originalURL;
    QString trashedURL;

    bool operator==(const PlmLibraryDeletion&) const = default;
};
