#pragma once

#include <QByteArray>
#include <QString>
#include <QUuid>

// The manifest ".plmlibrary.json" at the root of a library package: it marks the folder as a
// library and gives it an identity that never changes.
struct PlmLibraryManifest {
    int version = 1;
    QUuid id;
    double created = 0; // seconds since 1 January 2001 00:00:00 UTC

    // Version 1, a new random id, now.
    static PlmLibraryManifest make();

    // One compact line: {"version":1,"id":"<UPPER-CASE UUID>","created":<seconds>}.
    QByteArray encode() const;
    // Any white space and key order; other keys ignored. Throws PlmLibraryPackageError
    // invalidPackage for anything else, a version other than 1 included.
    static PlmLibraryManifest decode(const QByteArray& bytes);
    // Reads root/".plmlibrary.json" (file errors pass through) and decodes it.
    static PlmLibraryManifest read(const QString& packageRoot);

    // The id's text as stored: upper case, without braces.
    QString idString() const;

    bool operator==(const PlmLibraryManifest&) const = default;
};
