#include "ReportFile.h"

namespace ReportFile {

bool writeReplacing(const QString &target, const Writer &writer) {
    ReplacingFile out(target);
    if (!writer(out))
        return false;
    out.commit();
    return true;
}

} // namespace ReportFile
