#pragma once

#include <QString>

#include <functional>

/// Writing a report without ever leaving a broken one: the writer fills a new file beside the
/// target, and only when it reports success does that file take the target's name (an atomic
/// rename, so an older report of that name is replaced in one step). A writer that returns
/// false or throws leaves the target as it was and no partial file behind.
namespace ReportFile {

/// Writes the file at the path it is given; true when the file is complete.
using Writer = std::function<bool(const QString &path)>;

/// Runs `writer` on a fresh file in the target's folder and renames it to `target` when the
/// writer succeeded. Returns the writer's result; errors of the writer are passed on after the
/// fresh file is removed, and a failed rename throws std::system_error. When `target` is a
/// symbolic link the file it points to is replaced, so the link stays.
bool writeReplacing(const QString &target, const Writer &writer);

/// The name of the file writeReplacing() writes first, for a target and a distinguishing
/// number: hidden, in the same folder, and recognisable as an unfinished report.
QString partialName(const QString &target, quint32 tag);

} // namespace ReportFile
