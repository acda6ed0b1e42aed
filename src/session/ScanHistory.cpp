#include "ScanHistory.h"

#include "Gzip.h"
#include "HandlerTrap.h"
#include "OutlineGrid.h"
#include "ReplacingFile.h"
#include "ScanFile.h"
#include "ScanTree.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <optional>
#include <system_error>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ScanHistory {

namespace {

const QString Suffix = QStringLiteral(".json.gz");
const QString StampFormat = QStringLiteral("yyyyMMdd-HHmmss");
constexpr int HashChars = 16;
constexpr int StampChars = 15;
// Scans of one folder kept within one second, at most: beyond, the scan is not kept.
constexpr int MaxSameSecond = 100;

QString keyOf(const QByteArray &path) {
    return QString::fromLatin1(
        QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex().left(HashChars));
}

// A name the history gives its files: "<key>-<stamp>-<readable name>.json.gz", the key telling
// the folder and the stamp the date; a further scan of the folder within the same second has
// ".<n>" after the stamp. Nothing else in the folder is the program's to remove.
struct KeptName {
    QString key;
    QDateTime taken;
    int n = 1;
    bool operator<(const KeptName &other) const {
        return taken != other.taken ? taken < other.taken : n < other.n;
    }
};

std::optional<KeptName> parse(const QString &name) {
    thread_local const QRegularExpression pattern(
        QStringLiteral("^([0-9a-f]{16})-([0-9]{8}-[0-9]{6})(?:\\.([1-9][0-9]{0,2}))?-"
                       "[A-Za-z0-9_]{1,40}\\.json\\.gz$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    return KeptName{match.captured(1), QDateTime::fromString(match.captured(2), StampFormat),
                    match.hasCaptured(3) ? match.captured(3).toInt() : 1};
}

// The name of the `n`th scan of a folder within the second of `first`'s stamp.
QString numbered(const QString &first, int n) {
    return n == 1 ? first
                  : first.left(HashChars + 1 + StampChars) + u'.' + QString::number(n) +
                        first.mid(HashChars + 1 + StampChars);
}

[[noreturn]] void throwError(int code, const QString &what) {
    throw std::system_error(code != 0 ? code : EIO, std::generic_category(), what.toStdString());
}

// Owns a descriptor.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

struct Listed {
    QByteArray name;
    struct stat st {};
};

// The user's own regular files in the folder: another user's file (in a folder made shared) is
// never the program's, and neither is a link.
std::vector<Listed> ownFiles(int folder) {
    std::vector<Listed> files;
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return files;
    DIR *dir = ::fdopendir(listing);
    if (!dir) {
        ::close(listing);
        return files;
    }
    while (const dirent *entry = ::readdir(dir)) {
        Listed file{QByteArray(entry->d_name), {}};
        if (::fstatat(folder, entry->d_name, &file.st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(file.st.st_mode) && file.st.st_uid == ::geteuid())
            files.push_back(file);
    }
    ::closedir(dir);
    return files;
}

// Unfinished files of a write that was killed, by the rules of the program's other files:
// only under a name the history gives them, and only once older than any write can take.
void removeLeftovers(int folder) {
    thread_local const QRegularExpression part(QStringLiteral("^\\.(.+)\\.[0-9a-z]+\\.part$"));
    const time_t before = std::time(nullptr) - ReplacingFile::StaleSeconds;
    for (const Listed &file : ownFiles(folder)) {
        const QRegularExpressionMatch match = part.match(QString::fromLatin1(file.name));
        if (match.hasMatch() && parse(match.captured(1)) && file.st.st_mtime < before)
            ::unlinkat(folder, file.name.constData(), 0);
    }
}

// Writes `packed` to a new hidden file and gives it the name `first`, or the next one free of
// the same second: two copies of the program that finish a scan of one folder within a second
// keep both. Returns the name given.
QString store(int folder, const QString &shownFolder, const QString &first,
              const QByteArray &packed) {
    QByteArray part;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        part = ReplacingFile::partialName(first.toLatin1(), QRandomGenerator::system()->generate());
        fd = ::openat(folder, part.constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt > 100))
            throwError(errno, QStringLiteral("Could not create a file in ") + shownFolder);
    }
    int code = 0;
    for (qsizetype done = 0; done < packed.size() && code == 0;) {
        const ssize_t n =
            ::write(fd, packed.constData() + done, static_cast<std::size_t>(packed.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0 || errno != EINTR)
            code = n == 0 ? ENOSPC : errno;
    }
    if (code == 0 && ::fsync(fd) != 0)
        code = errno;
    if (::close(fd) != 0 && code == 0)
        code = errno;
    if (code != 0) {
        ::unlinkat(folder, part.constData(), 0);
        throwError(code, QStringLiteral("Could not write ") + shownFolder + u'/' + first);
    }
    for (int n = 1; n <= MaxSameSecond; ++n) {
        const QString name = numbered(first, n);
        if (ReplacingFile::renameExclusive(folder, part, name.toLatin1())) {
            if (const Fd sync(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
                sync.fd >= 0)
                ::fsync(sync.fd);
            return name;
        }
        if (errno != EEXIST)
            break;
    }
    const int failed = errno;
    ::unlinkat(folder, part.constData(), 0);
    throwError(failed, QStringLiteral("Could not save ") + shownFolder + u'/' + first);
}

// The newest `keep` scans of the folder `key` stay; then the oldest of any folder go while all
// together exceed `capBytes`. The file just written always stays.
void prune(int folder, const QString &written, const QString &key, int keep, qint64 capBytes) {
    struct Kept {
        QByteArray name;
        KeptName parsed;
        qint64 size = 0;
        bool gone = false;
    };
    std::vector<Kept> kept;
    qint64 total = 0;
    int ofKey = 0;
    for (const Listed &file : ownFiles(folder)) {
        if (const std::optional<KeptName> parsed = parse(QString::fromLatin1(file.name))) {
            kept.push_back({file.name, *parsed, file.st.st_size});
            total += file.st.st_size;
            ofKey += parsed->key == key ? 1 : 0;
        }
    }
    std::sort(kept.begin(), kept.end(), [](const Kept &a, const Kept &b) {
        return a.parsed < b.parsed || (!(b.parsed < a.parsed) && a.name < b.name);
    });
    const QByteArray writtenName = written.toLatin1();
    const auto remove = [&](Kept &k) {
        if (k.gone || k.name == writtenName)
            return;
        if (::unlinkat(folder, k.name.constData(), 0) == 0 || errno == ENOENT) {
            k.gone = true;
            total -= k.size;
        }
    };
    for (Kept &k : kept) {
        if (ofKey <= std::max(keep, 1))
            break;
        if (k.parsed.key != key)
            continue;
        remove(k);
        --ofKey;
    }
    for (Kept &k : kept) {
        if (total <= capBytes)
            break;
        remove(k);
    }
}

} // namespace

QString folder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Velmoria/Cairnmeter/History");
}

QString fileNameFor(const QString &folder, const QByteArray &path, const QDateTime &taken) {
    QByteArray base = path;
    while (base.size() > 1 && base.endsWith('/'))
        base.chop(1);
    base = base.mid(base.lastIndexOf('/') + 1);
    QString readable;
    for (const char c : base.left(40))
        readable.append(QChar::isLetterOrNumber(static_cast<unsigned char>(c)) && c > 0
                            ? QChar(c)
                            : QChar(u'_'));
    return folder + u'/' + keyOf(path) + u'-' + taken.toString(StampFormat) + u'-' +
           (readable.isEmpty() ? QStringLiteral("root") : readable) + Suffix;
}

std::vector<Entry> entriesFor(const QString &folder, const QByteArray &path, int *skipped) {
    std::vector<std::pair<KeptName, QString>> named;
    const QString key = keyOf(path);
    const QDir dir(folder);
    for (const QString &name : dir.entryList({key + QStringLiteral("-*") + Suffix}, QDir::Files))
        if (const std::optional<KeptName> parsed = parse(name); parsed && parsed->key == key)
            named.emplace_back(*parsed, dir.filePath(name));
    std::sort(named.begin(), named.end(),
              [](const auto &a, const auto &b) { return b.first < a.first; }); // newest first
    std::vector<Entry> entries;
    int bad = 0;
    for (const auto &[parsed, fileName] : named) {
        QFile file(fileName);
        if (!parsed.taken.isValid() || !file.open(QIODevice::ReadOnly) ||
            !Gzip::isGzip(file.read(2))) {
            ++bad;
            continue;
        }
        entries.push_back({fileName, parsed.taken});
    }
    if (skipped)
        *skipped = bad;
    return entries;
}

QString write(const QString &folder, const QByteArray &path, const QDateTime &taken,
              const QByteArray &scanText, int keep, qint64 capBytes) {
    const Fd dir(ReplacingFile::openFolders(folder));
    removeLeftovers(dir.fd);
    const QByteArray packed = Gzip::compress(scanText);
    if (packed.isEmpty())
        throwError(ENOMEM, QStringLiteral("Could not compress the scan"));
    const QString written =
        store(dir.fd, folder, QFileInfo(fileNameFor(folder, path, taken)).fileName(), packed);
    prune(dir.fd, written, keyOf(path), keep, capBytes);
    return folder + u'/' + written;
}

Writer::Writer(QObject *parent) : QObject(parent) {}

Writer::~Writer() {
    waitForDone();
}

void Writer::waitForDone() {
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
}

void Writer::save(const ScanTree &tree, int root, const QString &folder, int keep,
                  qint64 capBytes) {
    const QByteArray text = ScanFile::Encode(tree, root);
    const QByteArray path = tree.grid().rowDataBytes(root);
    const QDateTime taken = QDateTime::currentDateTime();
    waitForDone(); // one at a time; each takes a fraction of a second
    m_thread = QThread::create([this, text, path, taken, folder, keep, capBytes] {
        QString fileName, error;
        try {
            fileName = write(folder, path, taken, text, keep, capBytes);
        } catch (...) { // a refused link on the way is named, as every reason is
            error = HandlerTrap::toAppError(std::current_exception()).description();
        }
        // Delivered on the writer's own thread through the event loop.
        QMetaObject::invokeMethod(
            this, [this, fileName, error] { Q_EMIT saved(fileName, error); }, Qt::QueuedConnection);
    });
    m_thread->start();
}

} // namespace ScanHistory
