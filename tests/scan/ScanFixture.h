#pragma once

// A scan set up the way the program sets it up, for tests: the grid prepared, a walker whose
// yields are counted, and helpers to make fixture trees in a temporary folder.
#include "OutlineGrid.h"
#include "ScanTree.h"
#include "Settings.h"
#include "mdlFileSearch.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <chrono>

#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct ScanFixture {
    Settings settings;
    OutlineGrid grid;
    ScanTree tree{grid, settings};
    mdlFileSearch search{tree};
    int yields = 0;
    std::function<void()> onYield;

    ScanFixture() {
        tree.InitTreeGrid();
        // Yields that depend on how long a folder takes to read would make the counts of
        // yields depend on the machine; tests that want them set a gap of their own.
        search.setInFolderYieldGap(std::chrono::hours(1));
        search.setYieldFunction([this] {
            ++yields;
            if (onYield)
                onYield();
        });
    }

    /// Appends a root row for `path` and walks it, as the scan command does.
    int scan(const QByteArray &path) {
        QByteArray start = path;
        if (!start.endsWith('/'))
            start.append('/');
        const int root =
            tree.AddTreeRow(QString::fromUtf8(start), 0, RowKind::Folder, Fixed(), true, Fixed());
        grid.setRowDataBytes(root, start);
        search.SearchFolder(start, 1, root);
        return root;
    }

    /// The children of a row, in grid order.
    std::vector<int> children(int row) const {
        std::vector<int> out;
        for (int c = grid.firstChild(row); c >= 0; c = grid.nextSibling(c))
            out.push_back(c);
        return out;
    }

    /// One row as "level name size unit files bytes", for readable expectations.
    std::string line(int row) const {
        QString s = QString::number(grid.level(row));
        for (int c = 0; c <= 4; ++c)
            s += u'|' + grid.text(row, c);
        return s.toStdString();
    }
};

/// A file of the given size (sparse: the size is set, not written).
inline void makeFile(const QByteArray &path, qint64 size) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        if (::ftruncate(fd, size) != 0) {
        }
        ::close(fd);
    }
}

inline void makeDir(const QByteArray &path) {
    ::mkdir(path.constData(), 0755);
}

inline QByteArray tempPath(const QTemporaryDir &dir) {
    return QFile::encodeName(dir.path());
}

/// Runs `body` in a forked child, for what a test must not do to its own process (drop its
/// rights, lower its limits). Returns the failure the body describes, empty when all went as
/// expected, or how the child ended when it did not say.
inline std::string inChild(const std::function<std::string()> &body) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child < 0)
        return "no fork";
    if (child == 0) {
        ::close(pipeFds[0]);
        const std::string failure = body();
        const ssize_t written = ::write(pipeFds[1], failure.data(), failure.size());
        ::_exit(written < 0 || !failure.empty() ? 1 : 0);
    }
    ::close(pipeFds[1]);
    std::string said;
    char buffer[512];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeFds[0]);
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return "lost the child";
    if (said.empty() && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
        return "the child ended with status " + std::to_string(status);
    return said;
}

/// In a child of inChild(): takes the rights of the user "nobody" when running as root, so that
/// permissions deny access. True when the process is (now) unprivileged.
inline bool becomeNobody() {
    return ::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0);
}
