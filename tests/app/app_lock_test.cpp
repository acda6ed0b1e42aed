#include "mdlAppMutex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString lockPath(const QString &folder) {
    return folder + "/" + mdlAppMutex::LockFileName;
}

// Sets an environment variable for one test and puts back what was there.
struct EnvGuard {
    QByteArray name, old;
    bool had;
    EnvGuard(const char *n, const QByteArray &value)
        : name(n), old(qgetenv(n)), had(qEnvironmentVariableIsSet(n)) {
        if (value.isNull())
            qunsetenv(n);
        else
            qputenv(n, value);
    }
    ~EnvGuard() {
        if (had)
            qputenv(name.constData(), old);
        else
            qunsetenv(name.constData());
    }
};

} // namespace

TEST(AppLockTest, EveryCopyHoldsTheSharedLockForItsLife) {
    QTemporaryDir dir;
    const int first = mdlAppMutex::CreateAppMutex(dir.path());
    const int second = mdlAppMutex::CreateAppMutex(dir.path());
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0); // a second copy starts all the same
    // The lock is really held: an exclusive one cannot be had while the copies run...
    const int probe = ::open(QFile::encodeName(lockPath(dir.path())).constData(), O_RDWR);
    ASSERT_GE(probe, 0);
    EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0);
    ::close(first);
    EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0);
    // ...and can once the last has ended.
    ::close(second);
    EXPECT_EQ(::flock(probe, LOCK_EX | LOCK_NB), 0);
    ::close(probe);
}

TEST(AppLockTest, ALinkPlantedAtTheLockFilesNameIsNotFollowed) {
    QTemporaryDir dir;
    const QString target = dir.filePath("victim");
    ASSERT_TRUE(QFile::link(target, lockPath(dir.path())));
    EXPECT_EQ(mdlAppMutex::CreateAppMutex(dir.path()), -1);
    EXPECT_FALSE(QFile::exists(target)); // not created through the link
    // Nor is anything that is not a plain file taken as the lock.
    QTemporaryDir other;
    ASSERT_TRUE(QDir().mkdir(lockPath(other.path())));
    EXPECT_EQ(mdlAppMutex::CreateAppMutex(other.path()), -1);
}

TEST(AppLockTest, WithoutARuntimeFolderTheLockGoesToThePrivateCacheFolder) {
    QTemporaryDir home;
    const QString cache = home.path() + "/fresh/cache";
    EnvGuard runtime("XDG_RUNTIME_DIR", QByteArray());
    EnvGuard cacheHome("XDG_CACHE_HOME", QFile::encodeName(cache));
    EXPECT_EQ(mdlAppMutex::LockFolder(), cache);
    const int fd = mdlAppMutex::CreateAppMutex();
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(QFile::exists(lockPath(cache)));
    for (const QString &made : {home.path() + "/fresh", cache}) {
        struct stat st;
        ASSERT_EQ(::stat(QFile::encodeName(made).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0700u) << made.toStdString();
    }
    ::close(fd);

    QTemporaryDir run;
    EnvGuard runtime2("XDG_RUNTIME_DIR", QFile::encodeName(run.path()));
    EXPECT_EQ(mdlAppMutex::LockFolder(), run.path());
}
