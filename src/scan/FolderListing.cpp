#include "FolderListing.h"

#include "KeptFiles.h"

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>

namespace {

// The record getdents64 fills in; glibc declares no type for it.
struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

std::uint64_t allocatedBytes(const struct stat &st) {
    return st.st_blocks > 0 ? static_cast<std::uint64_t>(st.st_blocks) * 512 : 0;
}

// A file that vanished since it was listed is not a fault of its folder; any other failure to
// size it is (a folder that can be listed but not searched refuses every file with EACCES).
void noteStatFailure(FolderListing &out) {
    if (errno != ENOENT && out.error == 0)
        out.error = errno != 0 ? errno : EIO;
}

// The length of an entry's name, read off the end of its record: the kernel pads a record to a
// multiple of eight bytes right after the name's NUL, so the NUL lies in the record's last eight
// bytes, which are read as one word rather than scanned. The word may begin in the record's
// header (never before it); those bytes are shifted out.
std::size_t nameLengthOf(const LinuxDirent64 *de) {
    constexpr long header = offsetof(LinuxDirent64, d_name);
    const long end = de->d_reclen - header; // from the name to the end of the record
    const long start = end - 8;
    std::uint64_t word;
    std::memcpy(&word, reinterpret_cast<const char *>(de) + header + start, 8);
    if (start < 0)
        word >>= 8 * -start;
    const std::uint64_t zeros = KeptFiles::zeroBytes(word);
    if (zeros == 0) // not padded as the kernel pads
        return std::strlen(de->d_name);
    return static_cast<std::size_t>(std::max(start, 0L) + __builtin_ctzll(zeros) / 8);
}

bool isDotOrDotDot(const char *name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace

void FolderListing::releaseSubfolders() {
    QByteArray().swap(names);
    std::vector<Subfolder>().swap(subfolders);
}

FolderReader::FolderReader()
    : openDir(&FolderReader::openDirectory), readDir(&FolderReader::readDirectory),
      statAt(&FolderReader::statEntry), m_buffer(std::make_unique<char[]>(BufferSize)) {}

FolderReader::~FolderReader() = default;

void FolderReader::readAs(const FolderReader &other) {
    openDir = other.openDir;
    readDir = other.readDir;
    statAt = other.statAt;
    pattern = other.pattern;
    diskUsage = other.diskUsage;
    keepAtLeast = other.keepAtLeast;
    keepAtMost = other.keepAtMost;
}

// One probe finds a file's type as a rule: the table holds every type met so far.
FolderReader::TypeSlot &FolderReader::typeOf(const char *name, std::size_t length) {
    const KeptFiles::Extension key = KeptFiles::extensionOf(name, length);
    if ((m_typeSlotsUsed + 1) * 2 > m_typeSlots.size())
        growTypeSlots();
    const std::size_t mask = m_typeSlots.size() - 1;
    for (std::size_t at = KeptFiles::ExtensionHash{}(key)&mask;; at = (at + 1) & mask) {
        TypeSlot &slot = m_typeSlots[at];
        if (!slot.used) {
            slot.extension = key;
            slot.used = true;
            ++m_typeSlotsUsed;
            return slot;
        }
        if (slot.extension == key)
            return slot;
    }
}

void FolderReader::growTypeSlots() {
    std::vector<TypeSlot> old(std::max<std::size_t>(64, m_typeSlots.size() * 2));
    old.swap(m_typeSlots);
    const std::size_t mask = m_typeSlots.size() - 1;
    for (const TypeSlot &slot : old) {
        if (!slot.used)
            continue;
        std::size_t at = KeptFiles::ExtensionHash{}(slot.extension) & mask;
        while (m_typeSlots[at].used)
            at = (at + 1) & mask;
        m_typeSlots[at] = slot;
    }
}

void FolderReader::handOverTypes(std::vector<FolderListing::TypeTotal> &into) {
    m_foldersSinceHandOver = 0;
    for (TypeSlot &slot : m_typeSlots) {
        if (slot.files == 0 && slot.bytes == 0)
            continue;
        into.push_back({slot.extension, slot.files, slot.bytes});
        slot.files = 0;
        slot.bytes = 0;
    }
}

// Keeps the folder's `keep` largest files in its listing, less those tied at the cut, and
// returns the size from which on files of the folder may still be kept. Only files with a single
// name set the cut: they count wherever they are, where one with several names may count
// elsewhere and not here.
std::uint64_t FolderReader::trimBig(FolderListing &out, std::size_t keep) {
    std::vector<std::uint64_t> sizes;
    sizes.reserve(out.big.size());
    for (const FolderListing::BigFile &big : out.big)
        if (big.linked == FolderListing::NotLinked)
            sizes.push_back(big.bytes);
    if (sizes.size() <= keep)
        return 0;
    const auto at = sizes.begin() + static_cast<std::ptrdiff_t>(keep);
    std::nth_element(sizes.begin(), at, sizes.end(), std::greater<>());
    const std::uint64_t from = *at == UINT64_MAX ? UINT64_MAX : *at + 1;
    char *names = out.bigNames.data();
    std::size_t bigEnd = 0, namesEnd = 0;
    for (FolderListing::BigFile big : out.big) {
        if (big.bytes < from)
            continue;
        const std::size_t size = std::strlen(names + big.nameAt) + 1;
        std::memmove(names + namesEnd, names + big.nameAt, size);
        big.nameAt = static_cast<std::uint32_t>(namesEnd);
        namesEnd += size;
        out.big[bigEnd++] = big;
    }
    out.big.resize(bigEnd);
    out.bigNames.resize(namesEnd);
    out.leftOutBelow = std::max(out.leftOutBelow, from);
    return from;
}

int FolderReader::failureOfCurrentException() {
    try {
        throw;
    } catch (const std::bad_alloc &) {
        return ENOMEM;
    } catch (const std::system_error &e) {
        const std::error_category &category = e.code().category();
        if (category != std::generic_category() && category != std::system_category())
            return 0;
        return e.code().value() != 0 ? e.code().value() : EIO;
    } catch (...) {
        return 0;
    }
}

int FolderReader::openDirectory(int dirFd, const char *name) {
    return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Entries are read with getdents64 rather than through readdir, which would stat and fcntl
// every folder again when it wraps the descriptor.
long FolderReader::readDirectory(int fd, char *buffer, std::size_t size) {
    return ::syscall(SYS_getdents64, fd, buffer, size);
}

int FolderReader::statEntry(int dirFd, const char *name, struct stat *st) {
    return ::fstatat(dirFd, name, st, AT_SYMLINK_NOFOLLOW);
}

void FolderReader::read(int fd, FolderListing &out) {
    out = FolderListing();
    char *const buf = m_buffer.get();
    const bool all = pattern.matchesAll();
    std::uint32_t since = 0; // entries since the last subfolder
    if (diskUsage) {
        struct stat own;
        if (statAt(fd, ".", &own) == 0) // the folder's own blocks count with its files
            out.bytes += allocatedBytes(own);
        else
            noteStatFailure(out);
    }
    std::uint32_t untilProgress = ProgressEntries;
    const bool keep = keepAtLeast != nullptr;
    std::uint64_t keepAtLeastNow = keep ? keepAtLeast->load(std::memory_order_relaxed) : 0;
    for (;;) {
        const long got = readDir(fd, buf, BufferSize);
        if (got <= 0) { // end, or the folder vanished or turned unreadable
            if (got < 0)
                out.error = errno;
            break;
        }
        constexpr long header = offsetof(LinuxDirent64, d_name);
        long pos = 0;
        while (pos < got) {
            const auto *de = reinterpret_cast<const LinuxDirent64 *>(buf + pos);
            // A record that claims less than a name's room, or more than was read, cannot be
            // stepped over: the rest of the folder is lost, as on a read error.
            if (got - pos <= header || de->d_reclen <= header || de->d_reclen > got - pos)
                break;
            pos += de->d_reclen;
            if (--untilProgress == 0) {
                untilProgress = ProgressEntries;
                if (onProgress)
                    onProgress();
            }
            const char *name = de->d_name;
            unsigned char type = de->d_type;
            struct stat st;
            bool statted = false;
            if (type == DT_UNKNOWN) { // some file systems do not fill in the type
                statted = statAt(fd, name, &st) == 0;
                if (!statted)
                    noteStatFailure(out);
                type = statted && S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
            }
            if (type == DT_DIR) {
                if (!isDotOrDotDot(name)) {
                    const auto len = nameLengthOf(de);
                    out.subfolders.push_back({static_cast<std::uint32_t>(out.names.size()),
                                              static_cast<std::uint32_t>(len), since});
                    out.names.append(name, static_cast<qsizetype>(len + 1)); // with its NUL
                    since = 0;
                    continue;
                }
            } else {
                const std::size_t nameLength = all && !keep ? 0 : nameLengthOf(de);
                if (!all && !pattern.matches(name, nameLength)) {
                    ++since;
                    continue;
                }
                ++out.files;
                TypeSlot *type = keep ? &typeOf(name, nameLength) : nullptr;
                if (keep)
                    ++type->files;
                // A file that vanished since it was listed counts with size 0.
                if (statted || statAt(fd, name, &st) == 0) {
                    std::uint64_t size = 0;
                    std::uint32_t linked = FolderListing::NotLinked;
                    if (!diskUsage) {
                        size = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
                        out.bytes += size;
                    } else if (st.st_nlink > 1) {
                        size = allocatedBytes(st);
                        linked = static_cast<std::uint32_t>(out.linked.size());
                        out.linked.push_back({static_cast<std::uint64_t>(st.st_dev),
                                              static_cast<std::uint64_t>(st.st_ino), size,
                                              keep ? type->extension : KeptFiles::Extension()});
                    } else {
                        size = allocatedBytes(st);
                        out.bytes += size;
                    }
                    if (keep) {
                        if (linked == FolderListing::NotLinked)
                            type->bytes += size;
                        if (size >= keepAtLeastNow) {
                            if (out.big.empty()) {
                                // While every file is kept, room for the entries read (within
                                // what the allocator serves from its per-thread cache); later,
                                // for a quarter of them: growing costs more than the room.
                                const auto entries = static_cast<std::size_t>(got) / 24 + 1;
                                const std::size_t room =
                                    keepAtLeastNow == 0 ? std::min<std::size_t>(entries, 32)
                                                        : std::min<std::size_t>(entries / 4 + 1, 8);
                                out.big.reserve(room);
                                out.bigNames.reserve(room * 24);
                            }
                            out.big.push_back({size, static_cast<std::int64_t>(st.st_mtime),
                                               static_cast<std::uint32_t>(out.bigNames.size()),
                                               linked});
                            // with its NUL
                            out.bigNames.append(name, nameLength + 1);
                            if (out.big.size() > 64 && (out.big.size() - 64) / 5 * 4 > keepAtMost)
                                keepAtLeastNow = std::max(keepAtLeastNow, trimBig(out, keepAtMost));
                        } else if (size >= out.leftOutBelow) {
                            out.leftOutBelow = size + 1;
                        }
                    }
                } else {
                    noteStatFailure(out);
                }
            }
            ++since;
        }
        if (pos < got) {
            out.error = EIO;
            break;
        }
    }
    out.entriesAfter = since;
    if (keep && ++m_foldersSinceHandOver >= HandOverFolders)
        handOverTypes(out.types);
}
