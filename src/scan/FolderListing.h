#pragma once

#include "FilePattern.h"
#include "KeptFiles.h"

#include <QByteArray>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct stat;

/// What one pass over a folder's entries found, in the form the walk consumes it: the subfolders
/// in the order the file system listed them, how many other entries came before each, and the
/// count and byte sum of the matching files. File names are not kept, so a folder of many files
/// costs a few bytes.
struct FolderListing {
    struct Subfolder {
        std::uint32_t nameAt = 0;        ///< offset of the name in `names`
        std::uint32_t nameLength = 0;    ///< without the NUL that ends it in `names`
        std::uint32_t entriesBefore = 0; ///< other entries since the previous subfolder
    };

    QByteArray names; ///< subfolder names, each ending in a NUL
    std::vector<Subfolder> subfolders;
    std::uint32_t entriesAfter = 0; ///< entries after the last subfolder ("." and ".." too)
    std::uint64_t files = 0;        ///< matching files
    unsigned __int128 bytes = 0;    ///< their sizes; cannot wrap, as each is below 2^63
    /// Why the folder could not be opened or read to its end (an errno value), 0 when it was.
    int error = 0;

    /// In the disk basis, a matching file with more than one name: its space is counted only
    /// where the walk meets it first, which the walk's own thread decides in its order.
    struct LinkedFile {
        std::uint64_t device = 0, inode = 0;
        std::uint64_t bytes = 0;             ///< allocated
        KeptFiles::Extension extension = {}; ///< its type, when types are totalled
    };
    std::vector<LinkedFile> linked;

    /// Matching files at or above FolderReader::keepAtLeast, for the scan's list of large files.
    struct BigFile {
        std::uint64_t bytes = 0;
        std::int64_t mtime = 0;
        std::uint32_t nameAt = 0;         ///< offset of the name, ending in a NUL, in `bigNames`
        std::uint32_t linked = NotLinked; ///< its entry in `linked`, in the disk basis
    };
    static constexpr std::uint32_t NotLinked = UINT32_MAX;
    std::vector<BigFile> big;
    std::string bigNames;
    /// One more than the largest matching file left out of `big` (0: none was).
    std::uint64_t leftOutBelow = 0;

    /// The matching files by type (KeptFiles::extensionOf) that the reader counted since it
    /// last handed its totals over, which it does every so many folders (the rest when the walk
    /// ends: FolderReader::handOverTypes); a multiply-linked file's bytes are in its `linked`
    /// entry, since only the walk knows whether they count.
    struct TypeTotal {
        KeptFiles::Extension extension;
        std::uint64_t files = 0;
        unsigned __int128 bytes = 0;
    };
    std::vector<TypeTotal> types;

    const char *name(const Subfolder &sub) const { return names.constData() + sub.nameAt; }
    /// Frees the names and subfolder records once every subfolder has been entered.
    void releaseSubfolders();
};

/// Reads a folder's entries (getdents64 on its descriptor, one pass) into a FolderListing and
/// sizes the matching files with fstatat, never following a link. An entry whose type the file
/// system does not report is stat'ed to learn it. The three system calls are replaceable so
/// tests can refuse a folder, hide entry types or make a file vanish.
class FolderReader {
public:
    /// Opens a folder relative to a directory descriptor (AT_FDCWD for a full path); returns a
    /// descriptor or -1 with errno set.
    using OpenDirFunction = std::function<int(int dirFd, const char *name)>;
    /// Fills `buffer` with linux_dirent64 records as getdents64 does (each name's NUL within the
    /// last eight bytes of its record); returns the bytes filled, 0 at the end, -1 on an error.
    using ReadDirFunction = std::function<long(int fd, char *buffer, std::size_t size)>;
    /// Looks up an entry as fstatat(dirFd, name, st, AT_SYMLINK_NOFOLLOW) does.
    using StatFunction = std::function<int(int dirFd, const char *name, struct stat *st)>;

    FolderReader();
    ~FolderReader();
    /// Reads as `other` does: its system calls, pattern and basis, not its progress call,
    /// which belongs to the thread that reads (as does each reader's buffer).
    void readAs(const FolderReader &other);
    FolderReader(const FolderReader &) = delete;
    FolderReader &operator=(const FolderReader &) = delete;

    static int openDirectory(int dirFd, const char *name);
    static long readDirectory(int fd, char *buffer, std::size_t size);
    static int statEntry(int dirFd, const char *name, struct stat *st);

    OpenDirFunction openDir;
    ReadDirFunction readDir;
    StatFunction statAt;

    /// The files counted; set before each walk.
    FilePattern pattern;
    /// Count the space allocated on disk (st_blocks x 512) rather than the size of the files,
    /// the folder's own blocks with its files, and list multiply-linked files in `linked`
    /// instead of adding them to `bytes`; set before each walk.
    bool diskUsage = false;
    /// When set, files of at least this size go to FolderListing::big, and every matching file
    /// to FolderListing::types; the walk raises it while workers read.
    const std::atomic<std::uint64_t> *keepAtLeast = nullptr;
    /// The most large files the scan keeps: a folder of many more keeps only its own largest
    /// that many in its listing, since no other file of it can be among the scan's largest.
    std::size_t keepAtMost = SIZE_MAX;
    /// Called after every ProgressEntries entries of a folder, so that a caller reading a big
    /// folder can let its window run; it may throw to stop the reading.
    std::function<void()> onProgress;
    static constexpr std::uint32_t ProgressEntries = 512;

    /// Lists the folder open on `fd`. A folder that turns unreadable part way keeps what was
    /// read before; one whose files cannot be sized (other than by vanishing) keeps its count
    /// and carries the error too.
    void read(int fd, FolderListing &out);
    /// Moves the type totals not yet handed over with a listing to `into`; a walk's end takes
    /// what each of its readers still holds.
    void handOverTypes(std::vector<FolderListing::TypeTotal> &into);
    /// Within a catch block: the errno value that the exception being handled stands for when
    /// it means a folder could not be read (out of memory, a failed system call), else 0 (the
    /// exception is the walk's error, not the folder's).
    static int failureOfCurrentException();

private:
    // The totals of every type this reader has met and not yet handed over, hashed by
    // extension (open addressing, at most half full): a file's type is found at its first probe
    // as a rule, and a listing carries totals only every HandOverFolders folders.
    struct TypeSlot {
        KeptFiles::Extension extension;
        bool used = false;
        std::uint64_t files = 0;
        unsigned __int128 bytes = 0;
    };
    TypeSlot &typeOf(const char *name, std::size_t length);
    void growTypeSlots();
    static std::uint64_t trimBig(FolderListing &out, std::size_t keep);
    static constexpr std::size_t BufferSize = 32768;
    static constexpr int HandOverFolders = 64;
    std::unique_ptr<char[]> m_buffer;
    std::vector<TypeSlot> m_typeSlots;
    std::size_t m_typeSlotsUsed = 0;
    int m_foldersSinceHandOver = 0;
};
