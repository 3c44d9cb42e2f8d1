#pragma once

#include <QByteArray>
#include <QStringList>

// A written export: the file's bytes and the French notes shown to the person afterwards.
struct PlmExportResult {
    QByteArray data;
    QStringList notes;
};
