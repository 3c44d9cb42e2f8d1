#pragma once

#include "support/TestFiles.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A test that writes the files it reads into a temporary folder of its own.
class ScratchFilesTest : public ::testing::Test {
protected:
    // Writes `bytes` as `name` in the folder; the file's path.
    QString write(const QString& name, const QByteArray& bytes)
    {
        writeBytes(dir.filePath(name), bytes);
        return dir.filePath(name);
    }

    QTemporaryDir dir;
};
