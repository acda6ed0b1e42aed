#include "mdlAppMutex.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

TEST(AppLockTest, ASecondCopyTakesTheSameLockWithoutFailing) {
    QTemporaryDir dir;
    const int first = mdlAppMutex::CreateAppMutex(dir.path());
    const int second = mdlAppMutex::CreateAppMutex(dir.path());
    EXPECT_GE(first, 0);
    EXPECT_GE(second, 0);
    EXPECT_TRUE(QFile::exists(dir.path() + "/Velmoria_Cairnmeter.lock"));
    ::close(first);
    ::close(second);
}
