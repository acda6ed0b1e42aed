#pragma once

#include "RecordingPrompts.h"
#include "frmMain.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

inline void makeFile(const QString &path, int size) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(size, 'x'));
}

// A window with recorded prompts and a small tree on disk:
//   root/a.txt (100), root/sub/b.bin (2000), root/sub/deep/c (30), root/empty/
struct MainFixture : ::testing::Test {
    RecordingPrompts prompts;
    std::unique_ptr<frmMain> form;
    QTemporaryDir dir;
    QString root;

    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        root = dir.path() + "/root";
        QDir().mkpath(root + "/sub/deep");
        QDir().mkpath(root + "/empty");
        makeFile(root + "/a.txt", 100);
        makeFile(root + "/sub/b.bin", 2000);
        makeFile(root + "/sub/deep/c", 30);
        form = std::make_unique<frmMain>(&prompts);
        form->settings().Object_Size = 0; // bytes, so sizes are easy to read
        form->show();
    }

    void scan(const QString &path) {
        form->startPathBox()->setEditText(path);
        form->cmdBeginScan_Click();
    }
    // The first row whose name is `name`, or -1 when none is (see rowNamed).
    int findRow(const QString &name) const {
        for (int r = 0; r < form->grid().rows(); ++r)
            if (form->grid().text(r, 0) == name)
                return r;
        return -1;
    }
    // The row named `name`; a test that asks for a row that is not there fails, rather than
    // going on with row -1 and checking nothing.
    int rowNamed(const QString &name) const {
        const int r = findRow(name);
        if (r < 0)
            ADD_FAILURE() << "no row named " << name.toStdString();
        return r;
    }
};
