// Reports written onto a disk that stops taking them part way, as a full disk does: every
// format fails with the disk's own reason, and the old report of that name stays as it was.
#include "PdfFixture.h"
#include "ReportFile.h"
#include "ReportFormat.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <system_error>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A disk that fills up part way through a write, for the descriptor of a report's file: a scratch
// file takes its place whose writes start `room` bytes below the process's file size limit, so
// the write that passes the limit is cut short and later ones fail (EFBIG), as on a full disk.
class FillingDisk {
public:
    FillingDisk() {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = Limit; // far above any other file the writers make
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FillingDisk() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FillingDisk(const FillingDisk &) = delete;
    FillingDisk &operator=(const FillingDisk &) = delete;

    void under(QFile &file, off_t room) const {
        const int fd = ::open(QFile::encodeName(m_scratch.filePath("disk")).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::lseek(fd, off_t(Limit) - room, SEEK_SET), off_t(Limit) - room);
        ASSERT_EQ(::dup3(fd, file.handle(), O_CLOEXEC), file.handle());
        ::close(fd);
    }

private:
    static constexpr rlim_t Limit = rlim_t(1) << 30;
    QTemporaryDir m_scratch;
    rlimit m_saved{};
    void (*m_handler)(int) = SIG_DFL;
};

using ReportWriteFailure = PdfFixture;

} // namespace

TEST_F(ReportWriteFailure, EveryFormatFailsWithTheDisksReasonAndKeepsTheOldReport) {
    addScan(300);
    std::vector<ReportFormat> formats = standardReportFormats();
    formats.at(1).write = [&](const ReportSource &s, ReplacingFile &out) {
        return GridExport::GridToPDF(*view, s.chartPicture, layout, converter, out,
                                     s.chartIncluded);
    };
    const FillingDisk disk;
    for (const ReportFormat &format : formats) {
        SCOPED_TRACE(format.caption.toStdString());
        const QString target = dir.filePath("report." + format.folder);
        ReportSource source{grid};
        ASSERT_TRUE(ReportFile::writeReplacing(
            target, [&](ReplacingFile &out) { return format.write(source, out); }));
        const QByteArray old = readAll(target);
        // Full from the start, half way, and in the last lines (a PDF's trailer): a little
        // under the size, as a PDF written again may come out some bytes shorter.
        for (const off_t room :
             {off_t(0), off_t(old.size() / 2), off_t(old.size() - old.size() / 64)}) {
            SCOPED_TRACE(room);
            try {
                ReportFile::writeReplacing(target, [&](ReplacingFile &out) {
                    disk.under(out.file(), room);
                    return format.write(source, out);
                });
                ADD_FAILURE() << "the report was taken as written";
            } catch (const std::system_error &e) {
                EXPECT_EQ(e.code().value(), EFBIG) << e.what(); // the disk's reason
                EXPECT_TRUE(QString::fromLocal8Bit(e.what()).contains(target)) << e.what();
                EXPECT_FALSE(std::string(e.what()).find('\n') != std::string::npos);
            }
            EXPECT_EQ(readAll(target), old);
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                      QStringList{QFileInfo(target).fileName()});
        }
        QFile::remove(target);
    }
}
