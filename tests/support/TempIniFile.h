#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

/// A settings file in a fresh temporary folder, written and read back as raw bytes.
struct TempIniFile : ::testing::Test {
    QTemporaryDir dir;
    QString path = dir.filePath("Cairnmeter.ini");

    void writeRaw(const QByteArray &bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray raw() const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};
