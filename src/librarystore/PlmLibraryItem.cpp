#include "librarystore/PlmLibraryItem.h"

#include <QFileInfo>

QString PlmLibraryItem::displayName() const
{
    const QString name = QFileInfo(url).fileName();
    if (isFolder)
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}
