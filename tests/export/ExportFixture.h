#pragma once

// A small scanned tree for the report tests, the same on every machine: the walk starts at a
// relative path so the root's name does not depend on the temporary folder, and every level is
// sorted by name.
#include "OutlineGrid.h"
#include "ScanTree.h"
#include "Settings.h"
#include "mdlFileSearch.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

inline void makeSizedFile(const QByteArray &path, qint64 size) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

inline QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct ExportFixture : ::testing::Test {
    QTemporaryDir dir;
    QString savedCwd = QDir::currentPath();
    Settings settings;
    OutlineGrid grid;
    ScanTree tree{grid, settings};
    mdlFileSearch search{tree};

    // fixture/
    //   a.txt                                              1,000 bytes
    //   say "hi"/q                                         2,048
    //   a folder name long enough to pass column 30/f     5,000
    //   caf<0xE9>/  (not valid UTF-8)   x                     10
    //   sub/deep/c                                            30, and sub/s 1,536
    //   📁 photos/p                                        1,048,576
    //   empty/
    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        const QByteArray f = "fixture/";
        for (const char *d : {"", "say \"hi\"", "a folder name long enough to pass column 30",
                              "caf\xe9", "sub", "sub/deep", "\xf0\x9f\x93\x81 photos", "empty"})
            ASSERT_EQ(::mkdir((f + d).constData(), 0755), 0) << d;
        makeSizedFile(f + "a.txt", 1000);
        makeSizedFile(f + "say \"hi\"/q", 2048);
        makeSizedFile(f + "a folder name long enough to pass column 30/f", 5000);
        makeSizedFile(f + "caf\xe9/x", 10);
        makeSizedFile(f + "sub/deep/c", 30);
        makeSizedFile(f + "sub/s", 1536);
        makeSizedFile(f + "\xf0\x9f\x93\x81 photos/p", 1048576);

        settings.Object_Size = 1; // KB, so sizes have decimals
        tree.InitTreeGrid();
        search.setYieldFunction([] {});
        const int root = tree.AddTreeRow(QStringLiteral("fixture/"), 0, RowKind::HardDisk, Fixed(),
                                         true, Fixed());
        grid.setRowDataBytes(root, f);
        search.SearchFolder(f, 1, root);
        tree.UpdateRoots();
        grid.setColSort(0, GridSort::GenericAscending);
        grid.sortAllNodes();
        for (int r = 1; r < grid.rows(); ++r)
            grid.setOutlineState(r, OutlineExpanded);
    }
    void TearDown() override {
        QDir::setCurrent(savedCwd);
        // QDir cannot name the folder that is not valid UTF-8, so the tree goes by its bytes.
        ::nftw(
            QFile::encodeName(dir.path()).constData(),
            [](const char *path, const struct stat *, int, FTW *) { return ::remove(path); }, 16,
            FTW_DEPTH | FTW_PHYS);
    }

    int rowNamed(const QString &name) const {
        for (int r = 0; r < grid.rows(); ++r)
            if (grid.text(r, 0) == name)
                return r;
        return -1;
    }
    QString out(const QString &name) const { return dir.filePath(name); }
};
