#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <sys/stat.h>

/// Paths as the file system's bytes. A scan keeps every name as the bytes the kernel gave, and
/// everything that touches the file system for the program (looking an item up, opening it with
/// the desktop, showing it in the file manager) goes through these, with those bytes; text for
/// the screen is decoded from them, never the other way round. A folder whose name is not UTF-8
/// thus works like any other.
namespace NativePath {

/// The bytes behind a path typed or chosen as text (lossless for text that display() made).
QByteArray fromText(QStringView text);
/// A path's text for the screen: invalid UTF-8 shows as replacement glyphs, yet fromText()
/// turns it back into the same bytes.
QString display(QByteArrayView path);

/// The path without "." and ".." steps, repeated or trailing "/", made absolute against the
/// working folder: "/home/ann/" names the folder "/home/ann". The root stays "/".
QByteArray clean(QByteArrayView path);
/// The folder that holds the item ("/" for an item in the root); `path` must be clean.
QByteArray parentOf(QByteArrayView path);
/// The item's last name; `path` must be clean.
QByteArray fileNameOf(QByteArrayView path);

/// stat(2), or lstat(2) when `followLink` is false; 0, or the errno value of the failure.
int status(const QByteArray &path, struct stat &st, bool followLink = true);
/// Whether something of that name exists (a dangling link counts).
bool exists(const QByteArray &path);
/// Whether the path names a folder, through links. A path with trailing "/" is looked up as
/// it stands; an empty one is no folder.
bool isFolder(const QByteArray &path);
/// Whether the user may read the item, and enter it when it is a folder.
bool mayAccess(const QByteArray &path, bool folder);

/// The item's file:// URI, every byte outside the unreserved set percent-encoded, so the bytes
/// reach the desktop (D-Bus, xdg-open) as they are.
QString fileUri(const QByteArray &path);
/// The path a local file:// URL names, as bytes (percent escapes decoded byte for byte); empty
/// for any other URL.
QByteArray fromFileUri(const QByteArray &encodedUrl);

} // namespace NativePath
