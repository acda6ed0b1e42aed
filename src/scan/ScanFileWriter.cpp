// Saving a scan root in ncdu's JSON export format.
#include "ScanFile.h"

#include "KeptFiles.h"

#include <QHash>

#include "AppError.h"
#include "Interrupt.h"
#include "OutlineGrid.h"
#include "ReplacingFile.h"
#include "ScanTree.h"

#include <QDateTime>

#include <cerrno>
#include <memory>
#include <system_error>
#include <vector>

namespace ScanFile {

namespace {

// A JSON string of the name's bytes: quotes, backslashes and control characters escaped, every
// other byte as it is, so that names that are not UTF-8 keep their bytes (as ncdu writes them).
void appendName(QByteArray &out, const QByteArray &name) {
    static const char hex[] = "0123456789abcdef";
    out.append('"');
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.append('\\').append(c);
        } else if (u < 0x20) {
            out.append("\\u00").append(hex[u >> 4]).append(hex[u & 15]);
        } else {
            out.append(c);
        }
    }
    out.append('"');
}

// The folder's own name from its row's path bytes ("/a/b/" gives "b"); a scan root keeps its
// whole path, without the trailing "/" unless it is the file system's root.
QByteArray folderName(const OutlineGrid &grid, int row, bool root) {
    QByteArray path = grid.rowDataBytes(row);
    if (path.isEmpty())
        path = grid.text(row, TreeCol::Name).toUtf8();
    if (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    if (root)
        return path;
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? path : path.mid(slash + 1);
}

// A whole number in decimal, for any width of the fixed-point type's values.
template <typename T> void appendNumber(QByteArray &out, T value) {
    if (value < 0) {
        out.append('-');
        value = -value;
    }
    char digits[48];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + static_cast<int>(value % 10));
        value /= 10;
    } while (value > 0);
    while (n > 0)
        out.append(digits[--n]);
}

// The failure to save, with its reason; a refused link is named in full.
AppError saveError(const QString &fileName, const std::system_error &e) {
    return AppError(
        AppError::ReportNotGenerated,
        QStringLiteral("Could not write ") + fileName + QStringLiteral(": ") +
            QString::fromLocal8Bit(e.code().value() == EPERM ? e.what() : e.code().message()));
}

class Writer {
public:
    // Without a file name the whole text is kept in memory (see text()).
    Writer(const ScanTree &tree, const QString &fileName)
        : m_tree(tree), m_grid(tree.grid()), m_fileName(fileName) {
        if (fileName.isNull())
            return;
        try {
            m_file = std::make_unique<ReplacingFile>(fileName);
        } catch (const std::system_error &e) {
            throw saveError(fileName, e);
        }
        m_out.reserve(ChunkBytes + 8192);
    }

    void write(int rootRow) {
        m_out.append("[1,2,{\"progname\":\"Cairnmeter\",\"progver\":\"");
        m_out.append(QByteArray::number(CAIRNMETER_VERSION_MAJOR) + '.' +
                     QByteArray::number(CAIRNMETER_VERSION_MINOR) + '.' +
                     QByteArray::number(CAIRNMETER_VERSION_PATCH));
        m_out.append("\",\"timestamp\":")
            .append(QByteArray::number(QDateTime::currentSecsSinceEpoch()));
        const bool disk = ScanTree::basisOfRoot(m_grid, rootRow) == SizeBasis::DiskUsage;
        m_sizeKey = disk ? "dsize" : "asize";
        if (disk)
            m_out.append(",\"").append(BasisKey).append("\":\"disk\"");
        indexKeptFiles(rootRow);
        if (m_kept) {
            m_out.append(",\"").append(ThresholdKey).append("\":");
            appendNumber(m_out, static_cast<FixedRaw>(m_kept->threshold()));
        }
        m_out.append("},\n");
        folderHead(rootRow, true);
        // The walk keeps its own stack: the next child to write at each open folder.
        std::vector<int> next{m_grid.firstChild(rootRow)};
        for (unsigned rows = 0; !next.empty(); ++rows) {
            // An interrupt stops the save wherever it is; the file is then not written at all.
            if ((rows & 1023) == 0)
                Interrupt::check();
            const int row = next.back();
            if (row < 0) {
                m_out.append(']');
                next.pop_back();
                continue;
            }
            next.back() = m_grid.nextSibling(row);
            const TreeRow kind = ScanTree::rowKind(m_grid, row);
            if (kind == TreeRow::Files)
                filesEntry(row);
            else if (kind == TreeRow::Folder && !shownAsGone(row)) {
                // An abort's mark is no part of the tree, nor a folder an earlier scan had.
                m_out.append(",\n");
                folderHead(row, false);
                next.push_back(m_grid.firstChild(row));
            }
            if (m_out.size() >= ChunkBytes && m_file)
                flush();
        }
        m_out.append("]\n");
        if (!m_file)
            return;
        flush();
        try {
            m_file->commit();
        } catch (const std::system_error &e) {
            throw saveError(m_fileName, e);
        }
    }

    QByteArray text() const { return m_out; }

private:
    static constexpr qsizetype ChunkBytes = 1 << 20;
    const ScanTree &m_tree;
    const OutlineGrid &m_grid;
    QString m_fileName;
    std::unique_ptr<ReplacingFile> m_file;
    QByteArray m_out;
    const char *m_sizeKey = "asize";
    KeptFilesPtr m_kept;
    QHash<QByteArray, std::vector<std::uint32_t>> m_keptIn;

    bool shownAsGone(int row) const {
        return m_grid.cols() > TreeCol::ChangeMark &&
               m_grid.text(row, TreeCol::ChangeMark) == QLatin1StringView("gone");
    }
    void folderHead(int row, bool root) {
        m_out.append("[{\"name\":");
        appendName(m_out, folderName(m_grid, row, root));
        m_out.append('}');
    }
    // The kept files by their folder's path below the root.
    void indexKeptFiles(int rootRow) {
        m_kept = m_tree.keptFilesOf(rootRow);
        if (!m_kept || m_kept->size() == 0) {
            m_kept.reset();
            return;
        }
        for (std::size_t i = 0; i < m_kept->size(); ++i)
            m_keptIn[QByteArray(m_kept->relativeFolder(m_kept->file(i)))].push_back(
                static_cast<std::uint32_t>(i));
    }
    void filesEntry(int row) {
        auto bytes = m_tree.cellValue(row, TreeCol::Bytes).whole();
        auto files = m_tree.cellValue(row, TreeCol::Files).whole();
        if (m_kept) {
            // Its folder's kept files as file entries of their own, the rest in "<Files>"; files
            // that no longer fit the row (it changed since they were kept) are left to it.
            const QByteArray folder = m_grid.rowDataBytes(m_grid.parentRow(row));
            const auto it = m_keptIn.constFind(folder.startsWith(m_kept->rootPath())
                                                   ? folder.sliced(m_kept->rootPath().size())
                                                   : QByteArray("\0", 1));
            if (it != m_keptIn.cend()) {
                std::int64_t keptBytes = 0;
                for (std::uint32_t i : *it)
                    keptBytes += static_cast<std::int64_t>(m_kept->file(i).bytes);
                if (keptBytes <= bytes && static_cast<std::int64_t>(it->size()) <= files) {
                    for (std::uint32_t i : *it)
                        fileEntry(m_kept->file(i));
                    bytes -= keptBytes;
                    files -= static_cast<std::int64_t>(it->size());
                }
            }
        }
        if (bytes == 0 && files == 0)
            return; // every folder gets its files row back when opened
        m_out.append(",\n{\"name\":\"").append(FilesEntryName).append("\",\"");
        m_out.append(m_sizeKey).append("\":");
        appendNumber(m_out, bytes);
        m_out.append(",\"").append(FilesKey).append("\":");
        appendNumber(m_out, files);
        m_out.append('}');
    }
    void fileEntry(const KeptFiles::File &f) {
        m_out.append(",\n{\"name\":");
        appendName(m_out, QByteArray(m_kept->nameData(f)));
        m_out.append(",\"").append(m_sizeKey).append("\":");
        appendNumber(m_out, static_cast<FixedRaw>(f.bytes));
        if (f.mtime >= 0) {
            m_out.append(",\"mtime\":");
            appendNumber(m_out, f.mtime);
        }
        m_out.append('}');
    }
    void flush() {
        errno = 0;
        if (m_file->file().write(m_out) != m_out.size())
            throw saveError(m_fileName,
                            std::system_error(errno != 0 ? errno : EIO, std::generic_category()));
        m_out.resize(0);
    }
};

} // namespace

void Save(const ScanTree &tree, int rootRow, const QString &fileName) {
    Writer(tree, fileName).write(rootRow);
}

QByteArray Encode(const ScanTree &tree, int rootRow) {
    Writer writer(tree, QString());
    writer.write(rootRow);
    return writer.text();
}

} // namespace ScanFile
