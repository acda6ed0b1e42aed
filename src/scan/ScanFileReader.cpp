// Opening a scan saved in ncdu's JSON export format, read as a stream of parser events.
#include "ScanFile.h"

#include "KeptFiles.h"

#include "AppError.h"
#include "GzipReader.h"
#include "Interrupt.h"
#include "NativeText.h"
#include "OutlineGrid.h"
#include "ScanTree.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

namespace ScanFile {

int maxDepth() {
    return OutlineGrid::MaxLevel;
}

namespace {

using Sum = unsigned __int128;

using Raw = decltype(Fixed().raw());

// The largest whole number a size or count cell holds: what the fixed-point type declares, else
// what its 64 bits of ten-thousandths hold.
template <typename F> constexpr Sum maxWholeOf() {
    if constexpr (requires { F::MaxWhole; })
        return static_cast<Sum>(F::MaxWhole);
    else
        return static_cast<Sum>(std::numeric_limits<qint64>::max() / F::Scale);
}
constexpr Sum MaxWhole = maxWholeOf<Fixed>();

// The longest text one value may have: far beyond any path, so that a file of garbage cannot
// make the parser gather gigabytes into one string.
constexpr std::size_t MaxTokenBytes = 1 << 20;
// What a compressed scan may inflate to. It is read as a stream, so its text is never held
// whole; the bound keeps a small crafted file from standing for gigabytes of entries (a
// megabyte of deflate can hold a gigabyte of text). Real scan files, names, sizes and dates in
// JSON, compress 5 to 15 times, so the text may be 64 times the compressed bytes read so far,
// and 16 MiB more for small files of very alike names: a compressed scan then costs at most
// what a plain scan file 64 times its size costs, while one of millions of entries (about
// 100 bytes each, 10 times smaller compressed) opens as before.
constexpr GzipReader::Bound UnpackBound{std::uint64_t(16) << 20, 64};
// How deep values the reader does not use may nest (inside the metadata or an entry).
constexpr int MaxSkipDepth = 64;

[[noreturn]] void fail(const QString &reason) {
    throw AppError(AppError::InvalidScanFile, reason);
}

// The file's bytes for the parser, through a buffer; reports the end of the input once a
// single value has grown past MaxTokenBytes.
class Input {
public:
    using Ch = char;
    explicit Input(std::FILE *file, GzipReader *gzip = nullptr) : m_file(file), m_gzip(gzip) {
        fill();
    }

    Ch Peek() const { return m_pos < m_size ? m_buffer[m_pos] : '\0'; }
    Ch Take() {
        if (m_pos >= m_size)
            return '\0';
        const Ch c = m_buffer[m_pos++];
        ++m_offset;
        if (++sinceEvent > MaxTokenBytes) {
            tooLong = true;
            m_size = m_pos = 0; // ends the input here
            m_eof = true;
        } else if (m_pos == m_size) {
            fill();
        }
        return c;
    }
    std::size_t Tell() const { return m_offset; }
    bool atEnd() const { return m_eof && m_pos >= m_size; }
    bool readError() const { return m_readError; }

    Ch *PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    std::size_t PutEnd(Ch *) { return 0; }

    std::size_t sinceEvent = 0;
    bool tooLong = false;

private:
    std::FILE *m_file;
    GzipReader *m_gzip; // the text inflated from m_file, for a compressed scan
    char m_buffer[1 << 16];
    std::size_t m_pos = 0, m_size = 0, m_offset = 0;
    bool m_eof = false, m_readError = false;

    void fill() {
        m_pos = 0;
        if (m_eof)
            m_size = 0;
        else if (m_gzip)
            m_size = m_gzip->read(m_buffer, sizeof m_buffer);
        else
            m_size = std::fread(m_buffer, 1, sizeof m_buffer, m_file);
        if (m_size == 0) {
            m_eof = true;
            m_readError =
                m_gzip ? m_gzip->fault() != GzipReader::Fault::None : std::ferror(m_file) != 0;
        }
    }
};

// Turns the parser's events into rows. Each handler returns false to stop the parse at a
// fault, whose reason is kept in `reason`.
class Builder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Builder> {
public:
    Builder(ScanTree &tree, Input &input, Info &info, Sum roomBytes, Sum roomFiles, int depthLimit,
            const Pace &pace)
        : m_tree(tree), m_grid(tree.grid()), m_input(input), m_info(info), m_roomBytes(roomBytes),
          m_roomFiles(roomFiles), m_depthLimit(static_cast<std::size_t>(std::max(1, depthLimit))),
          m_pace(pace), m_turns(pace.gap) {}

    QString reason;
    int rootRow = -1;
    KeptFilesPtr kept; ///< the single files the file lists, when it lists any
    bool typesWhole = true;
    bool complete() const { return m_finished; }

    bool Null() { return scalar(Kind::Other); }
    bool Bool(bool b) { return scalar(Kind::Other, b ? 1 : 0); }
    bool Int(int i) { return i < 0 ? scalar(Kind::Negative) : scalar(Kind::Unsigned, Sum(i)); }
    bool Uint(unsigned u) { return scalar(Kind::Unsigned, u); }
    bool Int64(std::int64_t i) {
        return i < 0 ? scalar(Kind::Negative) : scalar(Kind::Unsigned, Sum(i));
    }
    bool Uint64(std::uint64_t u) { return scalar(Kind::Unsigned, u); }
    bool Double(double) { return scalar(Kind::Fraction); }
    bool String(const char *text, rapidjson::SizeType length, bool) {
        return scalar(Kind::Text, 0, QByteArray(text, static_cast<qsizetype>(length)));
    }
    bool Key(const char *text, rapidjson::SizeType length, bool) {
        event();
        if (m_skip > 0)
            return true;
        const std::string_view key(text, length);
        if (m_inEntry) {
            m_entryKey = key == "name"                              ? EntryKey::Name
                         : key == (m_diskBasis ? "dsize" : "asize") ? EntryKey::Size
                         : key == "excluded"                        ? EntryKey::Excluded
                         : key == FilesKey                          ? EntryKey::Files
                         : key == "mtime"                           ? EntryKey::Mtime
                                                                    : EntryKey::Other;
        } else {
            m_metaKey = key == "progname"     ? MetaKey::Program
                        : key == "timestamp"  ? MetaKey::Time
                        : key == BasisKey     ? MetaKey::Basis
                        : key == ThresholdKey ? MetaKey::Threshold
                                              : MetaKey::Other;
        }
        return true;
    }

    bool StartObject() {
        event();
        if (m_skip > 0)
            return skipDeeper();
        if (inTopArray()) {
            if (m_topIndex != 2)
                return notAScan();
            ++m_topIndex;
            m_inMeta = true;
            return true;
        }
        if (m_inMeta || m_inEntry) // a value the reader does not use
            return unusedNested();
        if (m_dirs.empty())
            return notAScan();
        m_inEntry = true;
        m_entry = Entry();
        m_entry.head = !m_dirs.back().headRead;
        return true;
    }
    bool EndObject(rapidjson::SizeType) {
        event();
        if (m_skip > 0) {
            --m_skip;
            return true;
        }
        if (m_inMeta) {
            m_inMeta = false;
            return true;
        }
        m_inEntry = false;
        return finishEntry();
    }
    bool StartArray() {
        event();
        if (m_skip > 0)
            return skipDeeper();
        if (!m_started) {
            m_started = true;
            m_inTop = true;
            return true;
        }
        if (inTopArray()) {
            if (m_topIndex != 3)
                return notAScan();
            ++m_topIndex;
            m_dirs.push_back(Dir());
            return true;
        }
        if (m_inMeta || m_inEntry)
            return unusedNested();
        if (m_dirs.empty() || !m_dirs.back().headRead)
            return notAScan();
        if (m_dirs.size() >= m_depthLimit)
            return stop(QStringLiteral("The scan file nests folders deeper than %1 levels.")
                            .arg(m_depthLimit));
        m_dirs.push_back(Dir());
        return true;
    }
    bool EndArray(rapidjson::SizeType) {
        event();
        if (m_skip > 0) {
            --m_skip;
            return true;
        }
        if (!m_dirs.empty()) {
            if (!m_dirs.back().headRead)
                return notAScan();
            finishFolder();
            m_dirs.pop_back();
            return true;
        }
        if (m_topIndex != 4)
            return notAScan();
        m_inTop = false;
        m_finished = true;
        return true;
    }

private:
    enum class Kind { Unsigned, Negative, Fraction, Text, Other };
    enum class EntryKey { Name, Size, Excluded, Files, Mtime, Other };
    enum class MetaKey { Program, Time, Basis, Threshold, Other };

    struct Dir {
        int row = -1;
        int level = 0; ///< the outline level of its children
        bool headRead = false;
        Sum bytes = 0, files = 0;
        QByteArray path; ///< its path's bytes, once a single file in it is kept
    };
    struct Entry {
        bool head = false; ///< the info object that opens a folder's array
        bool named = false, sized = false, counted = false;
        QByteArray name, excluded;
        Sum size = 0, files = 0;
        std::int64_t mtime = 0;
    };

    ScanTree &m_tree;
    OutlineGrid &m_grid;
    Input &m_input;
    Info &m_info;
    Sum m_roomBytes, m_roomFiles;
    std::size_t m_depthLimit;
    Sum m_totalBytes = 0, m_totalFiles = 0;
    bool m_started = false, m_inTop = false, m_finished = false;
    int m_topIndex = 0; ///< elements of the top array begun
    bool m_inMeta = false, m_inEntry = false;
    int m_skip = 0;
    EntryKey m_entryKey = EntryKey::Other;
    MetaKey m_metaKey = MetaKey::Other;
    bool m_diskBasis = false;      // the file says its sizes are the space used on disk
    std::uint64_t m_threshold = 0; // the size from which on the saving scan kept files
    Entry m_entry;
    std::vector<Dir> m_dirs;
    const Pace &m_pace;
    EventPace m_turns; // when m_pace.call is due
    unsigned m_events = 0;

    void event() {
        m_input.sinceEvent = 0;
        if ((++m_events & 255) == 0)
            paceCheck();
    }
    // By elapsed time, not by count: an entry costs microseconds, or far more on a busy machine.
    void paceCheck() {
        Interrupt::check();
        if (!m_pace.call)
            return;
        m_turns.turnIfDue([this] {
            m_tree.flushCarry();
            m_pace.call(m_info.entries);
        });
    }
    bool inTopArray() const { return m_inTop && m_dirs.empty() && !m_inMeta && !m_inEntry; }
    bool stop(const QString &why) {
        if (reason.isEmpty())
            reason = why;
        return false;
    }
    bool notAScan() { return stop(QString::fromLatin1(NotAScan)); }
    bool unusedNested() {
        if (m_inEntry && m_entryKey != EntryKey::Other)
            return notAScan();
        m_skip = 1;
        return true;
    }
    bool skipDeeper() {
        if (++m_skip > MaxSkipDepth)
            return stop(QString::fromLatin1(NotAScan));
        return true;
    }

    bool scalar(Kind kind, Sum number = 0, const QByteArray &text = QByteArray()) {
        event();
        if (m_skip > 0)
            return true;
        if (inTopArray()) {
            if (m_topIndex > 1)
                return notAScan();
            if (kind != Kind::Unsigned || number > 10000)
                return notAScan();
            if (m_topIndex == 0 && number != 1)
                return stop(QStringLiteral("The scan file is of format version %1, which is "
                                           "not known; version 1 is.")
                                .arg(static_cast<qulonglong>(number)));
            ++m_topIndex;
            return true;
        }
        if (m_inMeta) {
            if (m_metaKey == MetaKey::Program && kind == Kind::Text)
                m_info.program = QString::fromUtf8(text);
            else if (m_metaKey == MetaKey::Basis)
                m_diskBasis = kind == Kind::Text && text == "disk";
            else if (m_metaKey == MetaKey::Threshold && kind == Kind::Unsigned)
                m_threshold = static_cast<std::uint64_t>(std::min<Sum>(number, UINT64_MAX));
            else if (m_metaKey == MetaKey::Time && kind == Kind::Unsigned &&
                     number < (Sum(1) << 40))
                m_info.written = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(number));
            return true;
        }
        if (!m_inEntry)
            return notAScan(); // a bare value among a folder's entries
        switch (m_entryKey) {
        case EntryKey::Name:
            if (kind != Kind::Text)
                return notAScan();
            m_entry.name = text;
            m_entry.named = true;
            return true;
        case EntryKey::Size:
        case EntryKey::Files:
            // No file is larger than a signed 64-bit offset holds.
            if (kind != Kind::Unsigned || number > MaxWhole ||
                number > static_cast<Sum>(std::numeric_limits<qint64>::max()))
                return stop(QStringLiteral("The scan file holds a size or count out of range "
                                           "(\"%1\" of an entry).")
                                .arg(m_entryKey == EntryKey::Size
                                         ? QLatin1StringView(m_diskBasis ? "dsize" : "asize")
                                         : QLatin1StringView(FilesKey)));
            (m_entryKey == EntryKey::Size ? m_entry.size : m_entry.files) = number;
            (m_entryKey == EntryKey::Size ? m_entry.sized : m_entry.counted) = true;
            return true;
        case EntryKey::Excluded:
            if (kind == Kind::Text)
                m_entry.excluded = text;
            return true;
        case EntryKey::Mtime:
            if (kind == Kind::Unsigned && number < (Sum(1) << 62))
                m_entry.mtime = static_cast<std::int64_t>(number);
            return true;
        case EntryKey::Other:
            return true;
        }
        return true;
    }

    bool checkName(const Entry &e, bool root) {
        if (!e.named || e.name.isEmpty())
            return stop(QStringLiteral("The scan file holds an entry without a name."));
        if (e.name.contains('\0'))
            return stop(QStringLiteral("The scan file holds a name with a NUL character."));
        if (!root && (e.name.contains('/') || e.name == "." || e.name == ".."))
            return stop(QStringLiteral("The scan file holds a name no file system allows: ") +
                        NativeText::decode(e.name.constData()));
        return true;
    }

    bool addTotals(Sum bytes, Sum files) {
        m_totalBytes += bytes;
        m_totalFiles += files;
        if (m_totalBytes > m_roomBytes || m_totalFiles > m_roomFiles)
            return stop(QStringLiteral("The scan file's totals are out of range."));
        return true;
    }

    int addFolderRow(const QByteArray &name, const Dir &parent) {
        const int row = m_tree.AddTreeRow(QString::fromUtf8(name), parent.level, RowKind::Folder,
                                          Fixed(), false, Fixed());
        const QByteArray tail = name + '/';
        m_grid.setRowDataExtending(row, parent.row, tail.constData(), tail.size());
        return row;
    }

    void addFilesRow(const Dir &dir) {
        m_tree.AddTreeRow(QStringLiteral("<Files in ") + m_grid.text(dir.row, TreeCol::Name) + u'>',
                          dir.level, RowKind::Files, Fixed::fromInt(static_cast<Raw>(dir.bytes)),
                          false, Fixed::fromInt(static_cast<Raw>(dir.files)));
    }

    bool finishEntry() {
        ++m_info.entries;
        const Entry &e = m_entry;
        Dir &dir = m_dirs.back();
        if (e.head) {
            const bool root = m_dirs.size() == 1;
            if (!checkName(e, root))
                return false;
            dir.headRead = true;
            if (root) {
                QByteArray path = e.name;
                if (!path.endsWith('/'))
                    path.append('/');
                dir.row = m_tree.AddTreeRow(QString::fromUtf8(path), 0, RowKind::ScanFile, Fixed(),
                                            true, Fixed());
                m_grid.setRowDataBytes(dir.row, path);
                if (m_diskBasis)
                    ScanTree::setBasisOfRoot(m_grid, dir.row, SizeBasis::DiskUsage);
                rootRow = dir.row;
                dir.level = 1;
            } else {
                const Dir &parent = m_dirs[m_dirs.size() - 2];
                dir.row = addFolderRow(e.name, parent);
                dir.level = parent.level + 1;
            }
            return true;
        }
        if (!checkName(e, false))
            return false;
        if (!e.excluded.isEmpty()) {
            // A file system that was not entered shows as a folder that could not be read; an
            // entry left out by a pattern is not counted, as the program that wrote it did.
            if (e.excluded == "otherfs" || e.excluded == "kernfs") {
                Dir skipped;
                skipped.row = addFolderRow(e.name, dir);
                skipped.level = dir.level + 1;
                addFilesRow(skipped);
                m_grid.setOutlineState(skipped.row, OutlineCollapsed);
            }
            return true;
        }
        const Sum files = e.counted ? e.files : 1;
        dir.bytes += e.size;
        dir.files += files;
        keepFile(e, dir);
        return addTotals(e.size, files);
    }

    // A single file (not a saved files row) is one of the scan's kept files, and adds to its
    // type; a saved files row stands for files whose types are not known.
    void keepFile(const Entry &e, Dir &dir) {
        if (e.counted) {
            typesWhole = typesWhole && e.files == 0;
            return;
        }
        if (!kept) {
            kept = std::make_shared<KeptFiles>(m_grid.rowDataBytes(rootRow),
                                               m_tree.settings().Kept_Files);
            kept->raiseThreshold(m_threshold);
        }
        if (dir.path.isEmpty())
            dir.path = m_grid.rowDataBytes(dir.row);
        char ext[KeptFiles::MaxExtension];
        const std::size_t n = KeptFiles::extensionOf(e.name.constData(),
                                                     static_cast<std::size_t>(e.name.size()), ext);
        kept->addType(ext, n, 1, e.size);
        kept->add(dir.path, e.name.constData(), static_cast<std::size_t>(e.name.size()),
                  static_cast<std::uint64_t>(e.size), e.mtime);
    }

    void finishFolder() {
        const Dir &dir = m_dirs.back();
        addFilesRow(dir);
        m_tree.folderDone(dir.row);
        m_grid.sortNode(dir.row);
        m_grid.setOutlineState(dir.row, OutlineCollapsed);
    }
};

Sum roomLeft(const ScanTree &tree, int col) {
    const Raw used = tree.cellValue(ScanTree::TopRow, col).whole();
    return used < 0 ? MaxWhole : MaxWhole - std::min<Sum>(MaxWhole, static_cast<Sum>(used));
}

} // namespace

int Open(ScanTree &tree, const QString &fileName, Info *infoOut, int depthLimit, const Pace &pace) {
    Info info;
    const QByteArray native = NativeText::encode(fileName);
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(native.constData(), "rb"),
                                                          &std::fclose);
    if (!file) {
        // The reason in words: an errno value is no number of the program's own errors.
        const int error = errno;
        throw AppError(AppError::InvalidScanFile, QStringLiteral("Could not open ") + fileName +
                                                      QStringLiteral(": ") +
                                                      qt_error_string(error));
    }
    const int root = Read(tree, file.get(), &info, depthLimit, pace);
    if (infoOut) {
        *infoOut = info;
        if (!infoOut->written.isValid())
            infoOut->written = QFileInfo(fileName).lastModified();
    }
    return root;
}

namespace {

int readText(ScanTree &tree, Input &input, const GzipReader *gzip, Info *infoOut, int depthLimit,
             const Pace &pace);

} // namespace

int Read(ScanTree &tree, std::FILE *stream, Info *infoOut, int depthLimit, const Pace &pace) {
    // A gzipped scan (as the history keeps them) is inflated as it is read. The first byte is
    // looked at through the stream, which may be a pipe: a JSON text never starts so.
    const int first = std::fgetc(stream);
    if (first != 0x1f) {
        if (first != EOF)
            std::ungetc(first, stream);
        Input input(stream);
        return readText(tree, input, nullptr, infoOut, depthLimit, pace);
    }
    if (std::fgetc(stream) != 0x8b)
        fail(QString::fromLatin1(NotAScan));
    GzipReader gzip(stream, "\x1f\x8b", UnpackBound);
    Input input(stream, &gzip);
    return readText(tree, input, &gzip, infoOut, depthLimit, pace);
}

namespace {

int readText(ScanTree &tree, Input &input, const GzipReader *gzip, Info *infoOut, int depthLimit,
             const Pace &pace) {
    Info info;
    OutlineGrid &grid = tree.grid();
    const int rowsBefore = grid.rows();
    const GridRedraw redraw = grid.redraw();
    grid.setRedraw(GridRedraw::None);
    Builder builder(tree, input, info, roomLeft(tree, TreeCol::Bytes),
                    roomLeft(tree, TreeCol::Files), depthLimit, pace);
    try {
        tree.beginDeferredCarry();
        rapidjson::Reader reader;
        const rapidjson::ParseResult result =
            reader.Parse<rapidjson::kParseIterativeFlag>(input, builder);
        const GzipReader::Fault packed = gzip ? gzip->fault() : GzipReader::Fault::None;
        if (packed == GzipReader::Fault::TooLarge)
            fail(QStringLiteral("The compressed scan inflates to more than %1 times its size, "
                                "as no scan file does.")
                     .arg(UnpackBound.ratio));
        if (packed == GzipReader::Fault::Damaged)
            fail(QStringLiteral("The compressed scan is damaged or cut short."));
        if (input.readError())
            fail(QStringLiteral("The scan file could not be read to its end."));
        if (!result || !builder.complete()) {
            if (!builder.reason.isEmpty())
                fail(builder.reason);
            if (input.tooLong)
                fail(QStringLiteral("The scan file holds a value longer than any name."));
            if (input.atEnd() && builder.rootRow >= 0 &&
                result.Code() != rapidjson::kParseErrorDocumentRootNotSingular)
                fail(QStringLiteral("The scan file ends before the scan does (at byte %1).")
                         .arg(static_cast<qulonglong>(input.Tell())));
            fail(QString::fromLatin1(NotAScan));
        }
        tree.endDeferredCarry();
        if (builder.kept) {
            if (!builder.typesWhole)
                builder.kept->clearTypes();
            builder.kept->finish();
            tree.addKeptFiles(builder.kept);
        }
    } catch (...) {
        tree.dropDeferredCarry();
        grid.setRows(rowsBefore);
        tree.UpdateRoots();
        grid.setRedraw(redraw);
        throw;
    }
    grid.setRedraw(redraw);
    if (infoOut)
        *infoOut = info;
    return builder.rootRow;
}

} // namespace

QString openedNote(const QString &fileName, const Info &info) {
    const QString when = QLocale().toString(info.written, QLocale::ShortFormat);
    return QStringLiteral("Opened from %1\nSaved %2%3")
        .arg(QDir::toNativeSeparators(fileName), when,
             info.program.isEmpty() ? QString() : QStringLiteral(" by ") + info.program);
}

} // namespace ScanFile
