#include "ItemProperties.h"

#include "NativePath.h"
#include "NumberFormat.h"

#include <QDateTime>
#include <QMimeDatabase>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <limits>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/// The stat(2) facts the dialog shows, from statx when the system has it (it also knows the
/// creation time) and from lstat otherwise.
struct ItemStat {
    unsigned mode = 0;
    unsigned uid = 0, gid = 0;
    qint64 size = 0, blocks = 0;
    QDateTime modified, changed, accessed, created;
};

QString linkTarget(const QByteArray &path) {
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t n = ::readlink(path.constData(), target.data(), target.size());
    return n < 0 ? QString() : NativePath::display(target.first(n));
}

QDateTime toDateTime(qint64 seconds, qint64 nanoseconds) {
    return QDateTime::fromMSecsSinceEpoch(seconds * 1000 + nanoseconds / 1000000);
}

/// Fills `out`; on failure returns the errno.
int statItem(const QByteArray &path, ItemStat &out) {
    struct statx x {};
    if (::statx(AT_FDCWD, path.constData(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME,
                &x) == 0) {
        out.mode = x.stx_mode;
        out.uid = x.stx_uid;
        out.gid = x.stx_gid;
        out.size = qint64(x.stx_size);
        out.blocks = qint64(x.stx_blocks);
        out.modified = toDateTime(x.stx_mtime.tv_sec, x.stx_mtime.tv_nsec);
        out.changed = toDateTime(x.stx_ctime.tv_sec, x.stx_ctime.tv_nsec);
        out.accessed = toDateTime(x.stx_atime.tv_sec, x.stx_atime.tv_nsec);
        // Some file systems claim a creation time but give zero; that is no time at all.
        if ((x.stx_mask & STATX_BTIME) && (x.stx_btime.tv_sec != 0 || x.stx_btime.tv_nsec != 0))
            out.created = toDateTime(x.stx_btime.tv_sec, x.stx_btime.tv_nsec);
        return 0;
    }
    if (errno != ENOSYS)
        return errno;
    struct stat s {};
    if (::lstat(path.constData(), &s) != 0)
        return errno;
    out.mode = s.st_mode;
    out.uid = s.st_uid;
    out.gid = s.st_gid;
    out.size = qint64(s.st_size);
    out.blocks = qint64(s.st_blocks);
    out.modified = toDateTime(s.st_mtim.tv_sec, s.st_mtim.tv_nsec);
    out.changed = toDateTime(s.st_ctim.tv_sec, s.st_ctim.tv_nsec);
    out.accessed = toDateTime(s.st_atim.tv_sec, s.st_atim.tv_nsec);
    return 0;
}

/// "ann (1000)", or the bare number when the system has no name for it.
QString userText(unsigned uid) {
    struct passwd entry {};
    struct passwd *found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QStringLiteral("%1 (%2)").arg(QString::fromLocal8Bit(found->pw_name)).arg(uid);
    return QString::number(uid);
}

QString groupText(unsigned gid) {
    struct group entry {};
    struct group *found = nullptr;
    char buffer[4096];
    if (::getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QStringLiteral("%1 (%2)").arg(QString::fromLocal8Bit(found->gr_name)).arg(gid);
    return QString::number(gid);
}

QString typeText(const QByteArray &path, unsigned mode) {
    switch (mode & S_IFMT) {
    case S_IFDIR:
        return QStringLiteral("Folder");
    case S_IFLNK:
        return QStringLiteral("Link to ") + linkTarget(path);
    case S_IFREG: {
        // By the name alone: the content would be read through Qt, which takes names as text.
        const QMimeType type = QMimeDatabase().mimeTypeForFile(NativePath::display(path),
                                                               QMimeDatabase::MatchExtension);
        return QStringLiteral("File: %1 (%2)").arg(type.comment(), type.name());
    }
    case S_IFIFO:
        return QStringLiteral("Named pipe");
    case S_IFSOCK:
        return QStringLiteral("Socket");
    case S_IFCHR:
        return QStringLiteral("Character device");
    case S_IFBLK:
        return QStringLiteral("Block device");
    default:
        return QStringLiteral("Other");
    }
}

QString timeText(const QDateTime &time, const QLocale &locale) {
    return locale.toString(time, QLocale::LongFormat);
}

} // namespace

QString ItemProperties::value(const QString &label) const {
    for (const Field &field : m_fields) {
        if (field.label == label)
            return field.value;
    }
    return {};
}

QString ItemProperties::formatCount(FixedRaw count, const QLocale &locale) {
    constexpr qint64 max64 = std::numeric_limits<qint64>::max();
    if (count <= max64 && count >= -max64) {
        QLocale grouped = locale;
        grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
        return grouped.toString(static_cast<qint64>(count));
    }
    return NumberFormat(QStringLiteral("#,##0"), locale).formatFixed(count * Fixed::Scale);
}

QString ItemProperties::formatBytes(FixedRaw bytes, const QLocale &locale) {
    QString text = formatCount(bytes, locale) +
                   (bytes == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
    constexpr qint64 max64 = std::numeric_limits<qint64>::max();
    if (bytes >= 1024 && bytes <= max64)
        text += QStringLiteral(" (%1)").arg(locale.formattedDataSize(
            static_cast<qint64>(bytes), 2, QLocale::DataSizeTraditionalFormat));
    else if (bytes > max64) // beyond 8 EB, which is as far as Qt's sizes go
        text += QStringLiteral(" (%1 EB)")
                    .arg(locale.toString(
                        static_cast<double>(bytes) / static_cast<double>(1LL << 60), 'f', 2));
    return text;
}

QString ItemProperties::formatMode(unsigned mode) {
    QString text(10, QLatin1Char('-'));
    switch (mode & S_IFMT) {
    case S_IFDIR:
        text[0] = QLatin1Char('d');
        break;
    case S_IFLNK:
        text[0] = QLatin1Char('l');
        break;
    case S_IFIFO:
        text[0] = QLatin1Char('p');
        break;
    case S_IFSOCK:
        text[0] = QLatin1Char('s');
        break;
    case S_IFCHR:
        text[0] = QLatin1Char('c');
        break;
    case S_IFBLK:
        text[0] = QLatin1Char('b');
        break;
    default:
        break;
    }
    static const char letters[] = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
        if (mode & (0400u >> bit))
            text[1 + bit] = QLatin1Char(letters[bit]);
    }
    // The set-id and sticky bits share the execute places: lower case when execute is set too.
    const auto special = [&](int at, unsigned flag, char withExec, char withoutExec) {
        if (mode & flag)
            text[at] = QLatin1Char(text[at] == QLatin1Char('x') ? withExec : withoutExec);
    };
    special(3, S_ISUID, 's', 'S');
    special(6, S_ISGID, 's', 'S');
    special(9, S_ISVTX, 't', 'T');
    return QStringLiteral("%1 (%2)").arg(text).arg(mode & 07777, 4, 8, QLatin1Char('0'));
}

ItemProperties ItemProperties::read(const QByteArray &path, const ScanFigures &figures,
                                    const QLocale &locale) {
    ItemProperties item;
    const QByteArray clean = NativePath::clean(path);
    item.m_path = NativePath::display(clean);
    const bool top = clean == "/";
    item.add(QStringLiteral("Name"),
             top ? item.m_path : NativePath::display(NativePath::fileNameOf(clean)));
    item.add(QStringLiteral("Location"),
             top ? QString() : NativePath::display(NativePath::parentOf(clean)));

    ItemStat st;
    const int error = statItem(clean, st);
    if (error != 0) {
        item.add(QStringLiteral("Type"),
                 QStringLiteral("Cannot be read: ") + QString::fromLocal8Bit(std::strerror(error)));
        return item;
    }
    item.m_folder = S_ISDIR(st.mode);
    item.add(QStringLiteral("Type"), typeText(clean, st.mode));

    if (figures.bytes >= 0)
        item.add(QStringLiteral("Size"), formatBytes(figures.bytes, locale));
    else if (!item.m_folder)
        item.add(QStringLiteral("Size"), formatBytes(st.size, locale));
    else
        item.add(QStringLiteral("Size"), QStringLiteral("Not scanned"));
    if (figures.files >= 0) {
        item.add(QStringLiteral("Files"),
                 formatCount(figures.files, locale) +
                     (figures.files == 1 ? QStringLiteral(" file") : QStringLiteral(" files")));
    }
    // A folder's blocks are only its own entry list, never its contents.
    QString onDisk = formatBytes(st.blocks * 512, locale);
    if (item.m_folder)
        onDisk += QStringLiteral(", the folder entry itself");
    item.add(QStringLiteral("Size on disk"), onDisk);

    item.add(QStringLiteral("Owner"), userText(st.uid));
    item.add(QStringLiteral("Group"), groupText(st.gid));
    item.add(QStringLiteral("Permissions"), formatMode(st.mode));
    item.add(QStringLiteral("Modified"), timeText(st.modified, locale));
    item.add(QStringLiteral("Changed"), timeText(st.changed, locale));
    item.add(QStringLiteral("Accessed"), timeText(st.accessed, locale));
    if (st.created.isValid())
        item.add(QStringLiteral("Created"), timeText(st.created, locale));
    return item;
}
