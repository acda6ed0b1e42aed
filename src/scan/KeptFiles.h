#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

/// The large files of one scan and the totals of every file by type.
///
/// A scan keeps each file at or above a threshold with its name, size (in the scan's basis),
/// modification time and folder. The threshold starts at 0 and rises as files come in, so that
/// at most `cap` files are kept: the largest ones. Files at exactly the threshold stay kept
/// only while there is room for all of them, so "kept" always means "at or above threshold()".
///
/// Every counted file, kept or not, adds to the total of its type (its extension, case folded;
/// "" for none), which costs one small map entry per type.
class KeptFiles {
public:
    static constexpr std::size_t MaxExtension = 15;

    /// A file's type as a key: its extension's bytes, zero-padded, so that two compare and hash
    /// as two words (a name holds no NUL).
    struct Extension {
        char bytes[MaxExtension + 1] = {};
        std::size_t size() const { return ::strnlen(bytes, sizeof bytes); }
        std::string_view view() const { return {bytes, size()}; }
        bool operator==(const Extension &other) const {
            std::uint64_t a[2], b[2];
            std::memcpy(a, bytes, sizeof a);
            std::memcpy(b, other.bytes, sizeof b);
            return ((a[0] ^ b[0]) | (a[1] ^ b[1])) == 0;
        }
    };
    struct ExtensionHash {
        std::size_t operator()(const Extension &e) const {
            std::uint64_t a, b;
            std::memcpy(&a, e.bytes, 8);
            std::memcpy(&b, e.bytes + 8, 8);
            return static_cast<std::size_t>(
                (a ^ (b * 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull >> 17);
        }
    };

    struct File {
        std::uint64_t bytes = 0;
        std::int64_t mtime = 0;   ///< seconds since the epoch
        std::uint32_t folder = 0; ///< index of the folder's path
        std::uint32_t nameAt = 0; ///< offset of the name, ending in a NUL, in the name pool
    };
    static_assert(sizeof(File) == 24, "kept files must stay small");

    struct TypeTotal {
        QString extension; ///< case folded, without the dot; empty for files without one
        std::uint64_t files = 0;
        unsigned __int128 bytes = 0;
    };

    /// `rootPath` is the scan's start folder (bytes, ending in "/"); `cap` the most files kept.
    KeptFiles(QByteArray rootPath, std::size_t cap);

    const QByteArray &rootPath() const { return m_rootPath; }
    std::size_t cap() const { return m_cap; }
    /// Files of this size and larger are kept.
    std::uint64_t threshold() const { return m_threshold.load(std::memory_order_relaxed); }
    /// The size from which on files are taken in: the threshold, or more once `cap` files kept
    /// are known to be at least that large (no smaller file can then be among the largest).
    std::uint64_t admitted() const { return m_admitted.load(std::memory_order_relaxed); }
    /// That size as the workers that list folders read it (they may read it late, which only
    /// sends a few more candidates).
    const std::atomic<std::uint64_t> *sharedThreshold() const { return &m_admitted; }

    /// Keeps a file of the folder `folderPath` (bytes, ending in "/") when it is large enough.
    void add(const QByteArray &folderPath, const char *name, std::size_t nameLength,
             std::uint64_t bytes, std::int64_t mtime);
    /// The same for a name that ends in a NUL, measured only when the file is kept.
    void add(const QByteArray &folderPath, const char *name, std::uint64_t bytes,
             std::int64_t mtime) {
        if (bytes >= admitted())
            keepFile(folderIndex(folderPath), name, std::strlen(name), true, bytes, mtime);
        else
            leftOut(bytes + 1);
    }
    /// The same for many files of one folder, which is looked up once for all of them: `get`
    /// turns each element of `files` into a tuple of its name (ending in a NUL), size and
    /// modification time.
    template <class Files, class Get>
    void addFolderFiles(const QByteArray &folderPath, const Files &files, Get get) {
        std::uint32_t folder = 0;
        std::size_t packs = m_folderPacks + 1; // not looked up yet
        for (const auto &file : files) {
            const auto [name, bytes, mtime] = get(file);
            if (bytes < admitted()) {
                leftOut(bytes + 1);
                continue;
            }
            if (packs != m_folderPacks) { // a trim may have renumbered the folders
                folder = folderIndex(folderPath);
                packs = m_folderPacks;
            }
            keepFile(folder, name, std::strlen(name), true, bytes, mtime);
        }
    }
    /// Notes that files below `bytes` were left out before they came here (by the size
    /// admitted() had when a folder was listed), so that the threshold rises above them.
    void leftOut(std::uint64_t bytes) { m_refusedBelow = std::max(m_refusedBelow, bytes); }
    /// Lets go of the files beyond the cap once the walk is done (it keeps a few more while it
    /// runs, so as to raise the threshold less often).
    void finish();
    /// Adds files to a type's total; `extension` as the file system's bytes, ASCII lower-cased.
    void addType(const char *extension, std::size_t length, std::uint64_t files,
                 unsigned __int128 bytes);

    std::size_t size() const { return m_files.size(); }
    const File &file(std::size_t i) const { return m_files[i]; }
    QByteArray name(const File &f) const;
    /// The name as NUL-ended bytes in the store.
    const char *nameData(const File &f) const { return m_names.data() + f.nameAt; }
    /// The folder's path below the root ("a/b/", empty for the root itself).
    QByteArray relativeFolder(const File &f) const;
    /// For each folder index (File::folder), its place among the folders ordered by path.
    std::vector<std::uint32_t> folderRanks() const;
    /// The folder's path as bytes, ending in "/".
    QByteArray folderPath(const File &f) const;
    QByteArray filePath(const File &f) const { return folderPath(f) + name(f); }
    /// The kept files below a folder (its path's bytes, ending in "/"), all of them for the
    /// root; in no order.
    std::vector<std::uint32_t> filesUnder(const QByteArray &folderPath) const;
    /// The kept files directly in a folder (its path's bytes, ending in "/"), in the order kept.
    /// The first call after a change indexes every folder once; later ones cost a look-up.
    const std::vector<std::uint32_t> &filesIn(const QByteArray &folderPath) const;
    /// The totals by type, largest first.
    std::vector<TypeTotal> types() const;
    /// Keeps no file below `bytes` from now on (a scan read back keeps the saved threshold).
    void raiseThreshold(std::uint64_t bytes);
    /// Forgets the type totals (a scan read back whose files were not all listed by name).
    void clearTypes() {
        m_types.clear();
        m_typeCache.fill(nullptr);
    }
    /// Forgets kept files whose files are gone (indexes into file(); later files move up) and,
    /// with `fromTypes`, takes each off its type's total. A rescanned folder's files leave the
    /// totals alone: the totals count every file, not just the kept ones, so taking only these
    /// off would count an unchanged folder short.
    void removeFiles(std::vector<std::uint32_t> indexes, bool fromTypes = true);
    /// Keeps the files of `other` (a walk of a folder of the same scan) that reach the
    /// threshold, then lets go of those beyond the cap. Type totals are left as they are.
    void addFilesOf(const KeptFiles &other);

    /// The memory the kept files and the type totals take.
    std::size_t memoryBytes() const;

    /// The type of a file name: the bytes after its last dot, unless the dot begins the name or
    /// ends it, or the part is long or holds a blank (then the name has no type).
    /// Writes it, ASCII lower-cased, to `out` (room for MaxExtension bytes) and returns its
    /// length, 0 for none.
    static std::size_t extensionOf(const char *name, std::size_t length, char *out);
    static Extension extensionOf(const char *name, std::size_t length) {
        static_assert(std::endian::native == std::endian::little);
        Extension e;
        if (length > 8) {
            // Most types are short: the name's last eight bytes, read as one word, hold its
            // last dot and all after it (and the dot cannot begin the name).
            std::uint64_t last;
            std::memcpy(&last, name + length - 8, 8);
            if (const std::uint64_t dots = zeroBytes(last ^ (Ones * '.')); dots != 0) {
                const int dot = (63 - __builtin_clzll(dots)) / 8; // the last one, 0 to 7
                if (dot == 7)
                    return e; // the name ends with it
                const std::uint64_t word = last >> (8 * (dot + 1));
                if (zeroBytes(word ^ (Ones * ' ')) != 0)
                    return e;
                const std::uint64_t lower = lowerCased(word);
                std::memcpy(e.bytes, &lower, 8);
                return e;
            }
        }
        return extensionNearEnd(name, length);
    }
    static constexpr std::uint64_t Highs = 0x8080808080808080ull;
    /// The high bit of each byte of `x` that is zero, and no other bit (so the lowest set bit
    /// marks the first zero byte in memory order).
    static std::uint64_t zeroBytes(std::uint64_t x) {
        return ~(((x & ~Highs) + ~Highs) | x | ~Highs);
    }
    /// Adds files to a type's total.
    void addType(const Extension &extension, std::uint64_t files, unsigned __int128 bytes);

private:
    static Extension extensionNearEnd(const char *name, std::size_t length);
    static constexpr std::uint64_t Ones = 0x0101010101010101ull;
    // ASCII capitals lower-cased, eight bytes at once: those below the high bit, at least 'A'
    // and not above 'Z' take the 0x20 that a small letter has more.
    static std::uint64_t lowerCased(std::uint64_t w) {
        const std::uint64_t low = w & ~Highs;
        const std::uint64_t capital =
            (low + Ones * (0x80 - 'A')) & ~(low + Ones * (0x80 - 'Z' - 1)) & ~w & Highs;
        return w | capital >> 2;
    }

    QByteArray m_rootPath;
    std::size_t m_cap;
    std::atomic<std::uint64_t> m_threshold{0};
    std::atomic<std::uint64_t> m_admitted{0};
    std::vector<File> m_files;
    std::string m_names; // each name ends in a NUL
    // Folders as a tree of names, the root first and every folder after its parent: a path
    // costs its last name only. Folders come depth first (as a walk and a scan file give
    // them), so a new one's ancestors are found on the chain of the last one.
    struct FolderNode {
        std::uint32_t parent = 0;
        std::uint32_t nameAt = 0; ///< in m_folderNames, ending in a NUL
    };
    std::vector<FolderNode> m_folders;
    QByteArray m_folderNames;
    QByteArray m_chainPath;             // the last folder's path below the root
    std::vector<std::uint32_t> m_chain; // its ancestors' indexes and its own, the root first
    std::vector<qsizetype> m_chainEnds; // where each one's path ends in m_chainPath ("/" included)
    struct Sums {
        std::uint64_t files = 0;
        unsigned __int128 bytes = 0;
    };
    std::unordered_map<Extension, Sums, ExtensionHash> m_types;
    // The entries of m_types last added to, by a few bits of their hash: a folder's types are
    // mostly those of the folders before it. Entries stay where they are until erased.
    std::array<std::pair<const Extension, Sums> *, 64> m_typeCache{};
    // The files of each folder by its path below the root; built by filesIn() on demand.
    mutable QHash<QByteArray, std::vector<std::uint32_t>> m_byFolder;
    mutable bool m_byFolderValid = false;

    // How many kept files fall in each class of sizes (see sizeClass()).
    static constexpr std::size_t SizeClasses = 61 * 16;
    // Sizes below 16 have a class each; above, 16 classes per power of two (by the 4 bits after
    // the leading one), so that the classes rise with the size.
    static std::size_t sizeClass(std::uint64_t bytes) {
        if (bytes < 16)
            return static_cast<std::size_t>(bytes);
        const int exponent = 63 - __builtin_clzll(bytes);
        return static_cast<std::size_t>(exponent - 3) * 16 + ((bytes >> (exponent - 4)) & 15);
    }
    static std::uint64_t classFloor(std::size_t sizeClass) {
        if (sizeClass < 16)
            return sizeClass;
        return (16 + sizeClass % 16) << (sizeClass / 16 - 1);
    }
    std::vector<std::uint32_t> m_classCount = std::vector<std::uint32_t>(SizeClasses);
    // The lowest class that the `cap` largest files kept reach into, as far as known, and how
    // many kept files are in it and above: files below it need not come in.
    std::size_t m_cutClass = 0;
    std::size_t m_atOrAboveCut = 0;
    // One more than the largest file refused because it was below admitted() (0: none); no
    // larger than the threshold the walk ends with, which is at least this.
    std::uint64_t m_refusedBelow = 0;
    void raiseCutClass();
    void recountAboveCut();

    std::uint32_t folderIndex(const QByteArray &folderPath);
    void keepFile(std::uint32_t folder, const char *name, std::size_t nameLength, bool endsInNul,
                  std::uint64_t bytes, std::int64_t mtime);
    template <class Stays> void pack(Stays stays);
    void packFolders();
    std::size_t m_foldersPacked = 1; // folders after the last packFolders()
    std::size_t m_folderPacks = 0;   // how often the folders were renumbered
    void resetFolders();
    void resetChain();
    void trim(std::size_t keep);
};

/// The kept files of every scan in the tree, by its start folder.
using KeptFilesPtr = std::shared_ptr<KeptFiles>;
