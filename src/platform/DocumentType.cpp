#include "platform/DocumentType.h"

#include <QFileInfo>

namespace DocumentTypes {
namespace {

QList<DocumentType>& registry()
{
    static QList<DocumentType> types;
    return types;
}

} // namespace

void registerType(const DocumentType& type)
{
    for (DocumentType& t : registry()) {
        if (t.identifier == type.identifier) {
            t = type;
            return;
        }
    }
    registry().append(type);
}

void unregisterType(const QString& identifier)
{
    registry().removeIf([&](const DocumentType& t) { return t.identifier == identifier; });
}

QList<DocumentType> all()
{
    return registry();
}

const DocumentType* find(const QString& identifier)
{
    for (const DocumentType& t : registry())
        if (t.identifier == identifier)
            return &t;
    return nullptr;
}

const DocumentType* forPath(const QString& path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext.isEmpty())
        return nullptr;
    for (const DocumentType& t : registry())
        if (t.extensions.contains(ext))
            return &t;
    return nullptr;
}

QString preferredExtension(const QString& identifier)
{
    const DocumentType* t = find(identifier);
    return t && !t->extensions.isEmpty() ? t->extensions.first() : QString();
}

} // namespace DocumentTypes
