#include "ReportFile.h"

#include "Interrupt.h"

namespace ReportFile {

bool writeReplacing(const QString &target, const Writer &writer) {
    ReplacingFile out(target);
    if (!writer(out))
        return false;
    Interrupt::check(); // an interrupted run leaves no report, however far the writer got
    out.commit();
    return true;
}

} // namespace ReportFile
