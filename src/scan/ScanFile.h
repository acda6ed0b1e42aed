#pragma once

#include "EventPace.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <functional>

class ScanTree;

/// Scans saved to and opened from files in ncdu's JSON export format (version 1), the format
/// `ncdu -o` and `gdu -o` write: [1, minor, {metadata}, [{root info}, ...children]], where a
/// folder is an array of its own info object followed by its children (arrays for folders,
/// objects for everything else). Names are kept as the file system's bytes.
///
/// The scan tree keeps only the large files by name (KeptFiles), so a saved folder lists its
/// subfolders, its kept files as file entries, and one entry standing for the rest of its files
/// row: named "<Files>", with their byte count as its size and their number under the key
/// "cairnmeter_files". Such an entry opens as the files row it came from (with the kept files
/// added back); in ncdu it shows as one file of that size. File entries read are kept files of
/// the scan opened.
namespace ScanFile {

/// The deepest folder nesting a file may hold by default: the grid's deepest outline level.
int maxDepth();

/// What is called while a file is read: `call`, with the entries read so far, once a slice of at
/// most `gap` has passed since it last returned (by elapsed time, so a busy machine does not
/// stretch it; shorter when the calls themselves take long, see EventPace); the totals shown
/// are exact then. It may yield to the event loop, and throws (the abort error) to stop the
/// reading, which then adds nothing.
struct Pace {
    std::function<void(std::uint64_t entries)> call;
    std::chrono::steady_clock::duration gap = EventPace::LongestSlice;
};

/// What the file said about itself.
struct Info {
    QString program;           ///< "progname" of the metadata, or empty
    QDateTime written;         ///< "timestamp" of the metadata, else the file's modification time
    std::uint64_t entries = 0; ///< info objects read
};

/// Writes the scan root at `rootRow` and everything below it to `fileName`, through a fresh
/// file renamed into place when complete. Throws AppError or std::system_error on failure.
void Save(const ScanTree &tree, int rootRow, const QString &fileName);
/// The text Save() would write, in memory.
QByteArray Encode(const ScanTree &tree, int rootRow);

/// Reads a scan file as a new scan root appended to the tree, with a folder row and a files row
/// for every folder and the totals carried up, each folder's children sorted and collapsed as a
/// scan leaves them. Memory stays at the rows' own cost: the file is read as a stream.
///
/// Returns the new root's row. On any fault (not JSON, another format version, truncated,
/// folders nested deeper than the grid's outline, sizes out of range, names that no file
/// system allows) nothing is added and AppError(AppError::InvalidScanFile) is thrown, whose
/// description names the reason. `depthLimit` bounds how deep folders may nest.
///
/// `pace` is called as reading goes on (see Pace); an interrupt of the process (Interrupt.h)
/// stops the reading as an abort does.
int Open(ScanTree &tree, const QString &fileName, Info *info = nullptr, int depthLimit = maxDepth(),
         const Pace &pace = {});
/// The same for a scan read from an open stream (from its current position to its end).
int Read(ScanTree &tree, std::FILE *stream, Info *info = nullptr, int depthLimit = maxDepth(),
         const Pace &pace = {});

/// The tip of a root opened from `fileName`: where it came from, and when and by what program
/// it was saved.
QString openedNote(const QString &fileName, const Info &info);

/// The key of a saved files row's file count.
inline constexpr char FilesKey[] = "cairnmeter_files";
/// The metadata key that says a scan counted the space used on disk (value "disk"); its sizes
/// are then written as "dsize", ncdu's key for that space, rather than "asize".
inline constexpr char BasisKey[] = "cairnmeter_size_basis";
/// The metadata key of the size from which on the scan kept single files: a saved folder lists
/// its kept files as file entries and the rest of its files in its "<Files>" entry.
inline constexpr char ThresholdKey[] = "cairnmeter_kept_from";
/// The name of a saved files row's entry.
inline constexpr char FilesEntryName[] = "<Files>";

/// The description of the error for a file that is not a scan at all.
inline constexpr char NotAScan[] = "The file is not a scan in a known format.";

} // namespace ScanFile
