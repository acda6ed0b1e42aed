#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QThread;
class ScanTree;

/// The scans kept after each finished scan: one gzipped scan file per root and date in the
/// history folder, the newest `keep` of each root kept and all of them within a size cap.
namespace ScanHistory {

/// $XDG_DATA_HOME/Velmoria/Cairnmeter/History (else below ~/.local/share), without a final "/".
QString folder();

/// One kept scan of a folder.
struct Entry {
    QString fileName;
    QDateTime taken;
};
/// The kept scans of the folder at `path` (its bytes, as a root's row data holds them), newest
/// first. Files that are not gzipped scans are left out and counted in `*skipped`.
std::vector<Entry> entriesFor(const QString &folder, const QByteArray &path,
                              int *skipped = nullptr);
/// The name a scan of `path` taken at `taken` is kept under (the first of that second).
QString fileNameFor(const QString &folder, const QByteArray &path, const QDateTime &taken);
/// Writes `scanText` (see ScanFile::Encode) compressed as the scan of `path` taken at `taken`,
/// under its name only once complete, and never over another file: a further scan of `path`
/// within the same second gets a name of its own. Then prunes: the newest `keep` scans of
/// `path` stay, and the oldest of any folder go while all together exceed `capBytes` (the new
/// one always stays). Only files under the names the history gives are ever removed, and of
/// them only the user's own; unfinished files of a killed write go once a day old. Returns the
/// file's name; throws std::system_error (naming a link refused on the way) when it cannot be
/// written.
QString write(const QString &folder, const QByteArray &path, const QDateTime &taken,
              const QByteArray &scanText, int keep, qint64 capBytes);

/// Writes kept scans on a thread of its own, one after another, so that the window never
/// waits for them; the destructor waits for the last one.
class Writer : public QObject {
    Q_OBJECT
public:
    explicit Writer(QObject *parent = nullptr);
    ~Writer() override;
    /// Queues the write of the scan root `root` of `tree`: its text is taken now, the rest
    /// happens on the thread.
    void save(const ScanTree &tree, int root, const QString &folder, int keep, qint64 capBytes);
    /// Waits until every queued write is done.
    void waitForDone();

Q_SIGNALS:
    /// A write ended: the file written, or the reason it was not.
    void saved(const QString &fileName, const QString &error);

private:
    QThread *m_thread = nullptr;
};

} // namespace ScanHistory
