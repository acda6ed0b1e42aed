#include "KeptFiles.h"

#include "NativeText.h"

#include <QHash>

#include <algorithm>
#include <cstring>

KeptFiles::KeptFiles(QByteArray rootPath, std::size_t cap)
    : m_rootPath(std::move(rootPath)), m_cap(cap) {
    if (!m_rootPath.endsWith('/'))
        m_rootPath.append('/');
    if (m_cap == 0) {
        m_threshold.store(UINT64_MAX, std::memory_order_relaxed);
        m_admitted.store(UINT64_MAX, std::memory_order_relaxed);
    }
    resetFolders();
}

void KeptFiles::resetFolders() {
    m_folders.assign(1, FolderNode{UINT32_MAX, 0});
    m_folderNames = QByteArray(1, '\0');
    resetChain();
}

void KeptFiles::resetChain() {
    m_chainPath.clear();
    m_chain.assign(1, 0);
    m_chainEnds.assign(1, 0);
}

std::uint32_t KeptFiles::folderIndex(const QByteArray &folderPath) {
    // The path below the root, which a folder's path ends with "/" (the root's is empty).
    const bool below = folderPath.startsWith(m_rootPath);
    QByteArrayView relative(folderPath);
    if (below)
        relative = relative.sliced(m_rootPath.size());
    const bool slashToAdd = !relative.isEmpty() && !relative.endsWith('/');
    const qsizetype size = relative.size() + (slashToAdd ? 1 : 0);
    const char *now = relative.data(), *last = m_chainPath.constData();
    // The files of one folder come together: most calls ask for the last folder again.
    if (!slashToAdd && size == m_chainPath.size() &&
        std::memcmp(now, last, static_cast<std::size_t>(size)) == 0)
        return m_chain.back();
    // The names the new path shares with the last one are the same folders: compared eight
    // bytes at a time, then the last whole name in common found.
    const qsizetype shorter = std::min(relative.size(), m_chainPath.size());
    qsizetype same = 0;
    for (std::uint64_t a, b; same + 8 <= shorter; same += 8) {
        std::memcpy(&a, now + same, 8);
        std::memcpy(&b, last + same, 8);
        if (a != b)
            break;
    }
    while (same < shorter && now[same] == last[same])
        ++same;
    if (slashToAdd && same == relative.size() && same < m_chainPath.size() && last[same] == '/')
        ++same; // the missing slash is the same as the last path's
    // The folders of the chain whose paths end within the common part stay.
    std::size_t stay = m_chain.size();
    while (stay > 1 && m_chainEnds[stay - 1] > same)
        --stay;
    m_chain.resize(stay);
    m_chainEnds.resize(stay);
    const qsizetype common = m_chainEnds.back();
    m_chainPath.truncate(common);
    if (common <= relative.size()) { // else the common part ends with the slash to add
        m_chainPath.append(relative.sliced(common));
        if (slashToAdd)
            m_chainPath.append('/');
    }
    for (qsizetype from = common; from < m_chainPath.size();) {
        const qsizetype slash = m_chainPath.indexOf('/', from);
        m_folders.push_back({m_chain.back(), static_cast<std::uint32_t>(m_folderNames.size())});
        m_folderNames.append(m_chainPath.constData() + from, slash - from).append('\0');
        m_chain.push_back(static_cast<std::uint32_t>(m_folders.size() - 1));
        from = slash + 1;
        m_chainEnds.push_back(from);
    }
    return m_chain.back();
}

void KeptFiles::add(const QByteArray &folderPath, const char *name, std::size_t nameLength,
                    std::uint64_t bytes, std::int64_t mtime) {
    if (bytes >= admitted())
        keepFile(folderIndex(folderPath), name, nameLength, false, bytes, mtime);
    else
        leftOut(bytes + 1);
}

// Names lie in the pool in the order of the files, each right after the one before: a name
// ends where the next file's begins.
void KeptFiles::keepFile(std::uint32_t folder, const char *name, std::size_t nameLength,
                         bool endsInNul, std::uint64_t bytes, std::int64_t mtime) {
    File f;
    f.bytes = bytes;
    f.mtime = mtime;
    f.folder = folder;
    f.nameAt = static_cast<std::uint32_t>(m_names.size());
    if (endsInNul)
        m_names.append(name, nameLength + 1);
    else
        m_names.append(name, nameLength).push_back('\0');
    // Once a scan has many large files it takes the room of the cap and its slack in one step,
    // rather than hold the old and the new copy of a vector grown by doubling. Each trim reads
    // every kept file, so the slack sets how often the walk pays for one: a quarter of the cap
    // costs a quarter more room and four times fewer trims than a sixteenth.
    const std::size_t limit = m_cap + m_cap / 4 + 1;
    if (m_files.size() == m_files.capacity()) {
        if (m_files.size() < 4096) {
            m_files.reserve(std::min(limit, std::max<std::size_t>(256, m_files.size() * 2)));
        } else {
            const std::size_t perName = m_names.size() / m_files.size();
            m_files.reserve(limit);
            m_names.reserve((perName + 1) * limit);
        }
    }
    m_files.push_back(f);
    const std::size_t sizeClassOfFile = sizeClass(bytes);
    ++m_classCount[sizeClassOfFile];
    if (sizeClassOfFile >= m_cutClass &&
        ++m_atOrAboveCut - m_classCount[m_cutClass] >= m_cap) // the classes above hold the cap
        raiseCutClass();
    m_byFolderValid = false;
    if (m_files.size() >= limit)
        trim(m_cap);
}

void KeptFiles::finish() {
    // Files refused below the admitted size were not among the largest, but the threshold
    // says which files were all kept: it rises above them (a trim takes them into account).
    if (m_files.size() > m_cap) {
        trim(m_cap);
    } else if (const std::uint64_t refused = m_refusedBelow; refused > threshold()) {
        m_threshold.store(refused, std::memory_order_relaxed);
        pack([refused](const File &f) { return f.bytes >= refused; });
    }
    if (m_folders.size() > m_foldersPacked)
        packFolders();
}

// Between trims, the files kept raise the size from which on files come in: once the classes
// above the cut class hold `cap` files, no file below the next class can be among the largest.
void KeptFiles::raiseCutClass() {
    while (m_atOrAboveCut - m_classCount[m_cutClass] >= m_cap) {
        m_atOrAboveCut -= m_classCount[m_cutClass];
        ++m_cutClass;
    }
    if (classFloor(m_cutClass) > admitted())
        m_admitted.store(classFloor(m_cutClass), std::memory_order_relaxed);
}

void KeptFiles::recountAboveCut() {
    m_atOrAboveCut = 0;
    for (std::size_t c = m_cutClass; c < SizeClasses; ++c)
        m_atOrAboveCut += m_classCount[c];
}

// Keeps the files at or above the size of the `keep`-th largest plus one byte, so that no more
// than `keep` remain, and packs the names and folders they still use. The count of files per
// size class finds the class of the cut without sorting: only the files of that class are
// looked at to place it exactly.
void KeptFiles::trim(std::size_t keep) {
    if (m_files.size() <= keep)
        return;
    // Files in classes above `cutClass` number at most `keep`; the (keep+1)-th largest is in it.
    std::size_t above = 0, cutClass = SizeClasses;
    while (cutClass-- > 0 && above + m_classCount[cutClass] <= keep)
        above += m_classCount[cutClass];
    std::vector<std::uint64_t> inCutClass;
    inCutClass.reserve(m_classCount[cutClass]);
    const std::uint64_t floor = classFloor(cutClass);
    const std::uint64_t width = (cutClass + 1 < SizeClasses ? classFloor(cutClass + 1) : 0) - floor;
    for (const File &f : m_files)
        if (f.bytes - floor < width)
            inCutClass.push_back(f.bytes);
    const auto rank = static_cast<std::ptrdiff_t>(keep - above);
    std::nth_element(inCutClass.begin(), inCutClass.begin() + rank, inCutClass.end(),
                     std::greater<>());
    const std::uint64_t cut = inCutClass[static_cast<std::size_t>(rank)];
    const std::uint64_t threshold =
        std::max(cut == UINT64_MAX ? UINT64_MAX : cut + 1, m_refusedBelow);
    m_threshold.store(threshold, std::memory_order_relaxed);
    if (threshold > admitted())
        m_admitted.store(threshold, std::memory_order_relaxed);
    std::vector<std::uint64_t>().swap(inCutClass);
    pack([threshold](const File &f) { return f.bytes >= threshold; });
    // The folders that no longer hold a kept file go once they are many: packing them renumbers
    // the rest, which costs a pass over the files.
    if (m_folders.size() > std::max<std::size_t>(4096, 2 * m_foldersPacked))
        packFolders();
}

// Packed in place: folders are in the order they came (a folder after its parent), so every
// one moves towards the front, and no second copy is needed.
void KeptFiles::packFolders() {
    std::vector<char> used(m_folders.size());
    used[0] = 1;
    for (const File &f : m_files)
        used[f.folder] = 1;
    for (std::size_t i = m_folders.size(); i-- > 1;)
        if (used[i])
            used[m_folders[i].parent] = 1;
    std::vector<std::uint32_t> newIndex(m_folders.size(), 0);
    char *folderNames = m_folderNames.data();
    std::size_t folderCount = 1, folderNamesEnd = 1;
    for (std::size_t i = 1; i < m_folders.size(); ++i) {
        if (!used[i])
            continue;
        const FolderNode node = m_folders[i];
        const std::size_t size = std::strlen(folderNames + node.nameAt) + 1;
        std::memmove(folderNames + folderNamesEnd, folderNames + node.nameAt, size);
        m_folders[folderCount] = {newIndex[node.parent],
                                  static_cast<std::uint32_t>(folderNamesEnd)};
        newIndex[i] = static_cast<std::uint32_t>(folderCount++);
        folderNamesEnd += size;
    }
    m_folders.resize(folderCount);
    m_folderNames.truncate(static_cast<qsizetype>(folderNamesEnd));
    for (File &f : m_files)
        f.folder = newIndex[f.folder];
    m_foldersPacked = folderCount;
    ++m_folderPacks;
    // The chain's folders may be gone: the next folder starts a chain of its own (a folder met
    // again then has a second entry, which names the same path).
    resetChain();
}

// A type that the last eight bytes of the name do not hold, or a name of eight bytes or less.
KeptFiles::Extension KeptFiles::extensionNearEnd(const char *name, std::size_t length) {
    Extension e;
    // The last dot within reach of the end: a longer part is no type.
    const std::size_t reach = std::min(length, MaxExtension + 1);
    std::size_t at = length;
    while (at > length - reach && name[at - 1] != '.')
        --at;
    if (at == length - reach || at == 1 || at == length)
        return e; // no dot near the end, a dot that begins the name, or one that ends it
    // Read as two words by loads that may overlap rather than byte by byte (the padding is
    // zeros), then tested and lower-cased a word at a time.
    const char *from = name + at;
    const std::size_t n = length - at; // 1 to MaxExtension
    std::uint64_t words[2] = {0, 0};
    if (n >= 8) {
        std::memcpy(&words[0], from, 8);
        if (n > 8) {
            std::uint64_t tail;
            std::memcpy(&tail, from + n - 8, 8);
            words[1] = tail >> (8 * (16 - n));
        }
    } else if (n >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, from, 4);
        std::memcpy(&tail, from + n - 4, 4);
        words[0] = head | std::uint64_t(tail) << (8 * (n - 4));
    } else {
        const auto byte = [from](std::size_t i) {
            return std::uint64_t(static_cast<unsigned char>(from[i])) << (8 * i);
        };
        words[0] = byte(0) | byte(n / 2) | byte(n - 1);
    }
    if ((zeroBytes(words[0] ^ (Ones * ' ')) | zeroBytes(words[1] ^ (Ones * ' '))) != 0)
        return e; // a blank
    words[0] = lowerCased(words[0]);
    words[1] = lowerCased(words[1]);
    std::memcpy(e.bytes, words, sizeof words);
    return e;
}

std::size_t KeptFiles::extensionOf(const char *name, std::size_t length, char *out) {
    const Extension e = extensionOf(name, length);
    const std::size_t size = e.size();
    std::memcpy(out, e.bytes, size);
    return size; // beyond ASCII, the case is folded when the totals are shown
}

void KeptFiles::addType(const char *extension, std::size_t length, std::uint64_t files,
                        unsigned __int128 bytes) {
    Extension key;
    std::memcpy(key.bytes, extension, std::min(length, MaxExtension));
    addType(key, files, bytes);
}

void KeptFiles::addType(const Extension &extension, std::uint64_t files, unsigned __int128 bytes) {
    const std::size_t hash = ExtensionHash{}(extension);
    auto *&cached = m_typeCache[hash % m_typeCache.size()];
    if (cached == nullptr || !(cached->first == extension))
        cached = &*m_types.try_emplace(extension).first;
    Sums &sums = cached->second;
    sums.files += files;
    sums.bytes += bytes;
}

QByteArray KeptFiles::name(const File &f) const {
    return QByteArray(m_names.data() + f.nameAt);
}

QByteArray KeptFiles::relativeFolder(const File &f) const {
    QByteArray path;
    for (std::uint32_t i = f.folder; i != 0; i = m_folders[i].parent)
        path.prepend('/').prepend(m_folderNames.constData() + m_folders[i].nameAt);
    return path;
}

QByteArray KeptFiles::folderPath(const File &f) const {
    return m_rootPath + relativeFolder(f);
}

std::vector<std::uint32_t> KeptFiles::folderRanks() const {
    std::vector<QByteArray> paths(m_folders.size());
    for (std::size_t i = 1; i < m_folders.size(); ++i)
        paths[i] =
            paths[m_folders[i].parent] + (m_folderNames.constData() + m_folders[i].nameAt) + '/';
    std::vector<std::uint32_t> order(m_folders.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<std::uint32_t>(i);
    std::sort(order.begin(), order.end(),
              [&paths](std::uint32_t a, std::uint32_t b) { return paths[a] < paths[b]; });
    std::vector<std::uint32_t> rank(m_folders.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        rank[order[i]] = static_cast<std::uint32_t>(i);
    return rank;
}

// A folder is below the one asked for when its parent is, or when it is the folder itself: the
// names of the path are matched one level at a time, parents before children.
std::vector<std::uint32_t> KeptFiles::filesUnder(const QByteArray &folderPath) const {
    std::vector<std::uint32_t> out;
    if (!folderPath.startsWith(m_rootPath))
        return out;
    QList<QByteArray> names = folderPath.sliced(m_rootPath.size()).split('/');
    while (!names.isEmpty() && names.last().isEmpty())
        names.removeLast();
    const int whole = static_cast<int>(names.size());
    std::vector<int> matched(m_folders.size(), -1); // names matched so far, `whole` when below
    std::vector<int> depth(m_folders.size(), 0);
    matched[0] = 0;
    for (std::size_t i = 1; i < m_folders.size(); ++i) {
        const std::uint32_t p = m_folders[i].parent;
        depth[i] = depth[p] + 1;
        if (matched[p] == whole)
            matched[i] = whole;
        else if (matched[p] == depth[i] - 1 &&
                 names[depth[i] - 1] == m_folderNames.constData() + m_folders[i].nameAt)
            matched[i] = depth[i];
    }
    out.reserve(m_files.size());
    for (std::size_t i = 0; i < m_files.size(); ++i)
        if (matched[m_files[i].folder] == whole)
            out.push_back(static_cast<std::uint32_t>(i));
    return out;
}

const std::vector<std::uint32_t> &KeptFiles::filesIn(const QByteArray &folderPath) const {
    static const std::vector<std::uint32_t> none;
    if (!folderPath.startsWith(m_rootPath))
        return none;
    if (!m_byFolderValid) {
        m_byFolder.clear();
        std::vector<QByteArray> paths(m_folders.size());
        for (std::size_t i = 1; i < m_folders.size(); ++i)
            paths[i] = paths[m_folders[i].parent] +
                       (m_folderNames.constData() + m_folders[i].nameAt) + '/';
        for (std::size_t i = 0; i < m_files.size(); ++i)
            m_byFolder[paths[m_files[i].folder]].push_back(static_cast<std::uint32_t>(i));
        m_byFolderValid = true;
    }
    const auto it = m_byFolder.constFind(folderPath.sliced(m_rootPath.size()));
    return it == m_byFolder.cend() ? none : *it;
}

std::vector<KeptFiles::TypeTotal> KeptFiles::types() const {
    // Names that differ only beyond ASCII in case fold together here.
    QHash<QString, Sums> folded;
    for (const auto &[ext, sums] : m_types) {
        const std::string_view bytes = ext.view();
        Sums &s = folded[NativeText::decode(
                             QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())))
                             .toCaseFolded()];
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
    if (bytes > admitted())
        m_admitted.store(bytes, std::memory_order_relaxed);
}

void KeptFiles::removeFiles(std::vector<std::uint32_t> indexes, bool fromTypes) {
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    std::vector<char> gone(m_files.size());
    for (const std::uint32_t i : indexes) {
        if (i >= m_files.size())
            continue;
        gone[i] = 1;
        if (!fromTypes)
            continue;
        const File &f = m_files[i];
        const auto it = m_types.find(extensionOf(nameData(f), std::strlen(nameData(f))));
        if (it == m_types.end())
            continue; // a scan read back without its type totals
        Sums &sums = it->second;
        sums.files -= std::min<std::uint64_t>(sums.files, 1);
        sums.bytes -= std::min<unsigned __int128>(sums.bytes, f.bytes);
        if (sums.files == 0) {
            m_types.erase(it);
            m_typeCache.fill(nullptr);
        }
    }
    // What raised the admitted size may be gone: files from the threshold on come in again (a
    // rescanned folder's files among them), and the classes count anew (as pack() recounts).
    m_admitted.store(threshold(), std::memory_order_relaxed);
    m_cutClass = 0;
    pack([&gone, first = m_files.data()](const File &f) { return !gone[&f - first]; });
}

// Moves the files that stay towards the front, with their names (a run of names of files that
// stay moves as one piece).
template <class Stays> void KeptFiles::pack(Stays stays) {
    char *names = m_names.data();
    const std::size_t count = m_files.size();
    std::size_t filesEnd = 0, namesEnd = 0;
    std::size_t runFrom = 0, runSize = 0; // names still to move to namesEnd - runSize
    for (std::size_t i = 0; i < count; ++i) {
        const File f = m_files[i];
        const std::size_t nameEnd = i + 1 < count ? m_files[i + 1].nameAt : m_names.size();
        if (!stays(m_files[i])) {
            --m_classCount[sizeClass(f.bytes)];
            continue;
        }
        if (runSize > 0 && runFrom + runSize != f.nameAt) {
            std::memmove(names + namesEnd - runSize, names + runFrom, runSize);
            runSize = 0;
        }
        if (runSize == 0)
            runFrom = f.nameAt;
        const std::size_t nameSize = nameEnd - f.nameAt;
        runSize += nameSize;
        File g = f;
        g.nameAt = static_cast<std::uint32_t>(namesEnd);
        namesEnd += nameSize;
        m_files[filesEnd++] = g;
    }
    if (runSize > 0 && runFrom != namesEnd - runSize)
        std::memmove(names + namesEnd - runSize, names + runFrom, runSize);
    m_files.resize(filesEnd);
    m_names.resize(namesEnd);
    m_byFolderValid = false;
    recountAboveCut();
}

void KeptFiles::addFilesOf(const KeptFiles &other) {
    for (const File &f : other.m_files)
        add(other.folderPath(f), other.nameData(f), std::strlen(other.nameData(f)), f.bytes,
            f.mtime);
    finish();
}

std::size_t KeptFiles::memoryBytes() const {
    std::size_t types = 0;
    for (const auto &entry : m_types)
        types += sizeof(entry) + 2 * sizeof(void *);
    return m_files.capacity() * sizeof(File) + m_names.capacity() +
           static_cast<std::size_t>(m_folderNames.capacity()) +
           m_folders.capacity() * sizeof(FolderNode) + types;
}
