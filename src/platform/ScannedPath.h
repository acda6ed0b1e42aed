#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

/// Reaching again what a scan found. A scan records the identity (device and inode) of the
/// folder it started in; a folder below it is then reached from that folder's descriptor one
/// name at a time, never through a symbolic link. A folder on the way that was swapped for a
/// link, or a start folder that is no longer the one scanned, is refused rather than followed,
/// so a command acts on what was scanned and not on whatever the path names today.
namespace ScannedPath {

/// A folder's device and inode; zero when unknown.
struct Identity {
    std::uint64_t device = 0, inode = 0;
    bool known() const { return inode != 0; }
    friend bool operator==(const Identity &, const Identity &) = default;
    /// The identity of an open descriptor's file, or an unknown one.
    static Identity ofDescriptor(int fd);
    /// The identity of what `path` names, links followed as a scan's start follows them.
    static Identity ofPath(const QByteArray &path);
};

/// A scan's start folder: its path's bytes and its identity when it was scanned.
struct Start {
    QByteArray path;
    Identity identity;
};

/// A descriptor opened here (owned by the caller once taken), or the reason it could not be.
struct Opened {
    int fd = -1;
    QString problem;
    bool ok() const { return problem.isEmpty(); }
};

/// Opens the folder `folder`, which is `start`'s folder or lies below it, for reading. The start
/// folder is opened by its path (links leading to it are followed, as the scan followed them) and
/// must still have the recorded identity; every name below it is opened with O_NOFOLLOW.
Opened openFolder(const Start &start, const QByteArray &folder);

/// The words for a folder that is not the one scanned any more.
QString replacedText(const QByteArray &folder);

} // namespace ScannedPath
