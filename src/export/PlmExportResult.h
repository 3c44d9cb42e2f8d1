#pragma once

#include <QByteArray>
#include <QStringList>

// What an export writer returns: the file's bytes and French remarks for the person.
struct PlmExportResult {
    QByteArray data;
    QStringList notes;
};
