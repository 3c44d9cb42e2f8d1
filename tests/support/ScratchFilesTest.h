#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A test that writes the files it reads into a temporary folder of its own.
class ScratchFilesTest : public ::testing::Test {
protected:
    // Writes `bytes` as `name` in the folder; the file's path.
    QString write(const QString& name, const QByteArray& bytes)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
        EXPECT_EQ(file.write(bytes), bytes.size()) << name.toStdString();
        return file.fileName();
    }

    QTemporaryDir dir;
};
