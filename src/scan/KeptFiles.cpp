#include "KeptFiles.h"

#include "NativeText.h"

#include <QHash>

#include <algorithm>
#include <cstring>

KeptFiles::KeptFiles(QByteArray rootPath, std::size_t cap)
    : m_rootPath(std::move(rootPath)), m_cap(cap) {
    if (!m_rootPath.endsWith('/'))
        m_rootPath.append('/');
    if (m_cap == 0)
        m_threshold.store(UINT64_MAX, std::memory_order_relaxed);
}

std::uint32_t KeptFiles::folderIndex(const QByteArray &folderPath) {
    if (!m_folderAt.empty() && folderPath == m_lastFolder)
        return m_lastFolderIndex;
    m_lastFolder = folderPath;
    m_lastFolderIndex = static_cast<std::uint32_t>(m_folderAt.size());
    m_folderAt.push_back(static_cast<std::uint32_t>(m_folderPaths.size()));
    const QByteArray relative =
        folderPath.startsWith(m_rootPath) ? folderPath.sliced(m_rootPath.size()) : folderPath;
    m_folderPaths.append(relative).append('\0');
    return m_lastFolderIndex;
}

void KeptFiles::add(const QByteArray &folderPath, const char *name, std::size_t nameLength,
                    std::uint64_t bytes, std::int64_t mtime) {
    if (bytes < threshold())
        return;
    File f;
    f.bytes = bytes;
    f.mtime = mtime;
    f.folder = folderIndex(folderPath);
    f.nameAt = static_cast<std::uint32_t>(m_names.size());
    m_names.append(name, static_cast<qsizetype>(nameLength)).append('\0');
    // Once a scan has many large files it takes the room of the cap and its slack in one step,
    // rather than hold the old and the new copy of a vector grown by doubling.
    const std::size_t limit = m_cap + m_cap / 16 + 1;
    if (m_files.size() == m_files.capacity()) {
        if (m_files.size() < 4096) {
            m_files.reserve(std::min(limit, std::max<std::size_t>(256, m_files.size() * 2)));
        } else {
            const std::size_t perName = static_cast<std::size_t>(m_names.size()) / m_files.size();
            m_files.reserve(limit);
            m_names.reserve(static_cast<qsizetype>((perName + 1) * limit));
        }
    }
    m_files.push_back(f);
    if (m_files.size() >= limit)
        trim(m_cap);
}

void KeptFiles::finish() {
    if (m_files.size() > m_cap)
        trim(m_cap);
    m_lastFolder.clear();
}

// Keeps the files at or above the size of the `keep`-th largest plus one byte, so that no more
// than `keep` remain, and packs the names and folders they still use.
void KeptFiles::trim(std::size_t keep) {
    if (m_files.size() <= keep)
        return;
    std::vector<std::uint64_t> sizes(m_files.size());
    std::transform(m_files.begin(), m_files.end(), sizes.begin(),
                   [](const File &f) { return f.bytes; });
    std::nth_element(sizes.begin(), sizes.begin() + static_cast<std::ptrdiff_t>(keep), sizes.end(),
                     std::greater<>());
    const std::uint64_t cut = sizes[keep];
    const std::uint64_t threshold = cut == UINT64_MAX ? UINT64_MAX : cut + 1;
    m_threshold.store(threshold, std::memory_order_relaxed);

    // Packed in place: files, names and folders are in the order they came, so every one
    // moves towards the front, and no second copy of the pools is needed.
    char *names = m_names.data();
    char *folderPaths = m_folderPaths.data();
    std::size_t namesEnd = 0, foldersEnd = 0, filesEnd = 0, folderCount = 0;
    std::uint32_t lastOld = UINT32_MAX;
    for (const File &f : m_files) {
        if (f.bytes < threshold)
            continue;
        File g = f;
        const std::size_t nameSize = std::strlen(names + f.nameAt) + 1;
        std::memmove(names + namesEnd, names + f.nameAt, nameSize);
        g.nameAt = static_cast<std::uint32_t>(namesEnd);
        namesEnd += nameSize;
        if (f.folder != lastOld) {
            const std::uint32_t at = m_folderAt[f.folder];
            const std::size_t pathSize = std::strlen(folderPaths + at) + 1;
            std::memmove(folderPaths + foldersEnd, folderPaths + at, pathSize);
            m_folderAt[folderCount++] = static_cast<std::uint32_t>(foldersEnd);
            foldersEnd += pathSize;
            lastOld = f.folder;
        }
        g.folder = static_cast<std::uint32_t>(folderCount - 1);
        m_files[filesEnd++] = g;
    }
    m_files.resize(filesEnd);
    m_names.truncate(static_cast<qsizetype>(namesEnd));
    m_folderPaths.truncate(static_cast<qsizetype>(foldersEnd));
    m_folderAt.resize(folderCount);
    m_lastFolder.clear(); // its index is gone
}

std::size_t KeptFiles::extensionOf(const char *name, std::size_t length, char *out) {
    const void *dot = ::memrchr(name, '.', length);
    if (!dot)
        return 0;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char *>(dot) - name);
    const std::size_t extLength = length - at - 1;
    if (at == 0 || extLength > MaxExtension)
        return 0;
    for (std::size_t i = 0; i < extLength; ++i) {
        const char c = name[at + 1 + i];
        if (c == ' ')
            return 0;
        out[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return extLength; // beyond ASCII, the case is folded when the totals are shown
}

void KeptFiles::addType(const char *extension, std::size_t length, std::uint64_t files,
                        unsigned __int128 bytes) {
    Sums &sums = m_types[std::string(extension, length)];
    sums.files += files;
    sums.bytes += bytes;
}

QByteArray KeptFiles::name(const File &f) const {
    return QByteArray(m_names.constData() + f.nameAt);
}

QByteArray KeptFiles::folderPath(const File &f) const {
    return m_rootPath + QByteArray(m_folderPaths.constData() + m_folderAt[f.folder]);
}

std::vector<std::uint32_t> KeptFiles::filesUnder(const QByteArray &folderPath) const {
    std::vector<std::uint32_t> out;
    if (!folderPath.startsWith(m_rootPath))
        return out;
    const QByteArray relative = folderPath.sliced(m_rootPath.size());
    std::vector<char> under(m_folderAt.size());
    for (std::size_t i = 0; i < m_folderAt.size(); ++i)
        under[i] = std::strncmp(m_folderPaths.constData() + m_folderAt[i], relative.constData(),
                                static_cast<std::size_t>(relative.size())) == 0;
    out.reserve(m_files.size());
    for (std::size_t i = 0; i < m_files.size(); ++i)
        if (under[m_files[i].folder])
            out.push_back(static_cast<std::uint32_t>(i));
    return out;
}

std::vector<KeptFiles::TypeTotal> KeptFiles::types() const {
    // Names that differ only beyond ASCII in case fold together here.
    QHash<QString, Sums> folded;
    for (const auto &[ext, sums] : m_types) {
        Sums &s = folded[NativeText::decode(QByteArray::fromStdString(ext)).toCaseFolded()];
        s.files += sums.files;
        s.bytes += sums.bytes;
    }
    std::vector<TypeTotal> out;
    out.reserve(folded.size());
    for (auto it = folded.cbegin(); it != folded.cend(); ++it)
        out.push_back({it.key(), it->files, it->bytes});
    std::sort(out.begin(), out.end(), [](const TypeTotal &a, const TypeTotal &b) {
        return a.bytes != b.bytes ? a.bytes > b.bytes : a.extension < b.extension;
    });
    return out;
}

void KeptFiles::raiseThreshold(std::uint64_t bytes) {
    if (bytes > threshold())
        m_threshold.store(bytes, std::memory_order_relaxed);
}

void KeptFiles::removeFile(std::size_t i) {
    if (i < m_files.size())
        m_files.erase(m_files.begin() + static_cast<std::ptrdiff_t>(i));
}

std::size_t KeptFiles::memoryBytes() const {
    std::size_t types = 0;
    for (const auto &entry : m_types)
        types += sizeof(entry) + entry.first.capacity() + 2 * sizeof(void *);
    return m_files.capacity() * sizeof(File) + static_cast<std::size_t>(m_names.capacity()) +
           static_cast<std::size_t>(m_folderPaths.capacity()) +
           m_folderAt.capacity() * sizeof(std::uint32_t) + types;
}
