#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class Document;

// One kind of document the program reads or writes: its type identifier, the extensions
// of its files and how to make an empty document of it.
struct DocumentType {
    QString identifier;       // "ondrel.pelmorastudio.plm"
    QString description;      // shown in the save panel's type menu
    QStringList extensions;   // lower case, without dot; the first is written by default
    std::function<Document*()> factory; // an empty document; nullptr for write-only types
};

// The types known to the program, registered once at start-up (and by tests).
namespace DocumentTypes {

void registerType(const DocumentType& type); // replaces a type of the same identifier
void unregisterType(const QString& identifier);
QList<DocumentType> all();
const DocumentType* find(const QString& identifier);
// The type whose extensions hold the path's extension, compared in lower case.
const DocumentType* forPath(const QString& path);
QString preferredExtension(const QString& identifier);

} // namespace DocumentTypes
