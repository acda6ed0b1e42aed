#pragma once

#include "ReplacingFile.h"

#include <QString>

#include <functional>

/// Writing a report without ever leaving a broken one, and without being turned against its
/// writer in a folder others can write: the writer fills a new file beside the target (see
/// ReplacingFile), and only when it reports success does that file take the target's name in
/// one rename. A writer that returns false or throws leaves the target as it was and no
/// partial file behind.
namespace ReportFile {

/// Writes the report through `out.file()` (and any companion files it adds); true when the
/// report is complete.
using Writer = std::function<bool(ReplacingFile &out)>;

/// Runs `writer` on a fresh file in the target's folder and puts it in the target's place when
/// the writer succeeded. Returns the writer's result; errors of the writer are passed on after
/// the fresh file is removed, and a refused link or a failed rename throws std::system_error.
/// A link at the target (or on the way to it) is followed only when ReplacingFile trusts it;
/// the file it points to is then replaced, so the link stays.
bool writeReplacing(const QString &target, const Writer &writer);

} // namespace ReportFile
