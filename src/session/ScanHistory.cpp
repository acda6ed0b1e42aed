#include "ScanHistory.h"

#include "Gzip.h"
#include "OutlineGrid.h"
#include "ReplacingFile.h"
#include "ScanFile.h"
#include "ScanTree.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace ScanHistory {

namespace {

const QString Suffix = QStringLiteral(".json.gz");
const QString StampFormat = QStringLiteral("yyyyMMdd-HHmmss");
constexpr int HashChars = 16;
constexpr int StampChars = 15;

QString keyOf(const QByteArray &path) {
    return QString::fromLatin1(
        QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex().left(HashChars));
}

// "<key>-<stamp>-<readable name>.json.gz": the key tells the folder, the stamp the date.
QDateTime takenOf(const QString &name) {
    return QDateTime::fromString(name.mid(HashChars + 1, StampChars), StampFormat);
}

QStringList keptNames(const QDir &dir, const QString &key) {
    QStringList names = dir.entryList({key + QStringLiteral("-*") + Suffix}, QDir::Files);
    names.sort();
    return names;
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
    std::vector<Entry> entries;
    int bad = 0;
    const QDir dir(folder);
    for (const QString &name : keptNames(dir, keyOf(path))) {
        QFile file(dir.filePath(name));
        const QDateTime taken = takenOf(name);
        if (!taken.isValid() || !file.open(QIODevice::ReadOnly) || !Gzip::isGzip(file.read(2))) {
            ++bad;
            continue;
        }
        entries.push_back({file.fileName(), taken});
    }
    std::reverse(entries.begin(), entries.end());
    if (skipped)
        *skipped = bad;
    return entries;
}

QString write(const QString &folder, const QByteArray &path, const QDateTime &taken,
              const QByteArray &scanText, int keep, qint64 capBytes) {
    ReplacingFile::makeFolders(folder);
    const QString fileName = fileNameFor(folder, path, taken);
    const QByteArray packed = Gzip::compress(scanText);
    {
        ReplacingFile out(fileName);
        errno = 0;
        if (packed.isEmpty() || out.file().write(packed) != packed.size())
            throw std::system_error(errno != 0 ? errno : EIO, std::generic_category());
        out.commit();
    }
    QDir dir(folder);
    const QString written = QFileInfo(fileName).fileName();
    QStringList own = keptNames(dir, keyOf(path));
    while (own.size() > std::max(keep, 1)) {
        if (own.front() != written)
            dir.remove(own.front());
        own.removeFirst();
    }
    // The size cap: the oldest scans of any folder go first.
    QFileInfoList all = dir.entryInfoList({QStringLiteral("*") + Suffix}, QDir::Files);
    std::sort(all.begin(), all.end(), [](const QFileInfo &a, const QFileInfo &b) {
        return takenOf(a.fileName()) < takenOf(b.fileName());
    });
    qint64 total = 0;
    for (const QFileInfo &f : all)
        total += f.size();
    for (const QFileInfo &f : all) {
        if (total <= capBytes)
            break;
        if (f.fileName() == written)
            continue;
        if (dir.remove(f.fileName()))
            total -= f.size();
    }
    return fileName;
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
        } catch (const std::system_error &e) {
            error = QString::fromLocal8Bit(e.code().message());
        }
        // Delivered on the writer's own thread through the event loop.
        QMetaObject::invokeMethod(
            this, [this, fileName, error] { Q_EMIT saved(fileName, error); }, Qt::QueuedConnection);
    });
    m_thread->start();
}

} // namespace ScanHistory
