#pragma once

#include <QString>

/// Facts about the operating system the program runs on.
namespace SystemInfo {

struct OSVersion {
    int number = 0; ///< major × 100 + minor of the kernel (6.1 gives 601)
    QString text;   ///< "major.minor.patch"
    QString name;   ///< the distribution's pretty name, else "Linux"
};

/// Asks the system once and keeps the answer for later calls.
const OSVersion &GetOSVersion();

/// Parses a kernel release such as "6.1.0-18-amd64" into the version number and text.
OSVersion parseRelease(const QString &release);
/// PRETTY_NAME from os-release text, unquoted; empty when it has none.
QString prettyName(const QString &osRelease);

/// The root of the file system that holds the operating system.
inline QString SystemDriveRoot() {
    return QStringLiteral("/");
}

} // namespace SystemInfo
