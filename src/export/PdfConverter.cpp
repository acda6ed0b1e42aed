#include "PdfConverter.h"

#include "CheckedFile.h"
#include "Interrupt.h"
#include "PrintLayout.h"
#include "ReportFile.h"

#include <QFileDevice>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <cerrno>
#include <system_error>

namespace {

[[noreturn]] void throwFileError(int error, const QString &what, const QString &fileName) {
    throw std::system_error(error ? error : EIO, std::generic_category(),
                            (what + u' ' + fileName).toStdString());
}

} // namespace

void PdfConverter::convertToPdf(const PrintLayout &layout, const QString &fileName) const {
    ReportFile::writeReplacing(fileName, [&](ReplacingFile &out) {
        convertToPdf(layout, out.file(), fileName);
        return true;
    });
}

void PdfConverter::convertToPdf(const PrintLayout &layout, QIODevice &file,
                                const QString &fileName) const {
    // The file is opened by the caller rather than by the PDF writer, which would only report
    // that painting could not begin; this way the reason reaches the user.
    QPdfWriter writer(&file);
    writer.setCreator(QStringLiteral("Cairnmeter"));
    writer.setResolution(layout.resolution());
    // Layout positions are measured from the paper's corner, so the writer adds no margins.
    writer.setPageLayout(
        QPageLayout(layout.pageSize(), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));

    // The PDF writer neither looks at what its writes return nor writes on after one fell short;
    // a file that keeps count (as a report's new file does) tells why it failed.
    const auto *checked = dynamic_cast<const CheckedFile *>(&file);
    const auto failure = [checked](int otherwise) {
        return checked && checked->writeError() != 0 ? checked->writeError() : otherwise;
    };
    QPainter painter;
    if (!painter.begin(&writer))
        throwFileError(failure(EIO), QStringLiteral("Cannot write"), fileName);
    for (int i = 0; i < layout.pageCount(); ++i) {
        // Pages take most of a large report's time: an interrupt is heard between them, and a
        // disk that filled up ends the report there.
        Interrupt::check();
        if (const int code = failure(0))
            throwFileError(code, QStringLiteral("Cannot write"), fileName);
        if (i > 0)
            writer.newPage();
        layout.paintPage(i, painter);
    }
    errno = 0;
    painter.end();
    const int code = errno;
    auto *disk = qobject_cast<QFileDevice *>(&file);
    if (failure(0) != 0 || (disk && (!disk->flush() || disk->error() != QFileDevice::NoError)))
        throwFileError(failure(code), QStringLiteral("Cannot write"), fileName);
}
