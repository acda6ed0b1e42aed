#pragma once

#include "FolderListing.h"
#include "WalkLimits.h"

#include <QByteArray>
#include <QSet>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

/// Lists folders ahead of a walk on worker threads: each folder is opened, read and its files
/// sized there, while the walk's own thread takes the finished listings in its own order and
/// turns them into rows. Workers list a folder's subfolders as soon as the folder is listed,
/// the most recently found first (so they keep close to the walk's depth-first order). The walk
/// reads a folder it needs that no worker has begun itself, and while a worker reads the one it
/// needs, it reads others waiting rather than sit idle.
///
/// A worker opens a folder relative to its parent's descriptor, which the parent keeps while
/// subfolders of it remain to be opened and at most Options::maxHeldDescriptors are held (half
/// as many again each time the process runs out of descriptors, when those held are given up);
/// otherwise the folder is reached one name at a time from the nearest folder above it that
/// holds one (or from the start folder), never through a link. Listings read ahead and not yet
/// taken are kept within a memory cap; above it, only the walk reads, and only the folders it
/// needs.
class FolderReadAhead {
public:
    struct Folder;
    using FolderPtr = std::shared_ptr<Folder>;

    struct Options {
        /// Worker threads; 0 chooses: as many as the machine has cores (at least two), and up
        /// to four times as many while the folders' system calls wait on the disk.
        int workers = 0;
        /// Bytes of listings read ahead and not yet taken by the walk.
        std::size_t memoryCap = std::size_t(16) << 20;
        /// Whether subfolders are listed too (the walk enters them).
        bool recurse = true;
        /// Descriptors of listed folders held for opening their subfolders.
        std::size_t maxHeldDescriptors = 64;
    };

    /// `calls` gives the system calls and the pattern of the files counted; `limits` the folders
    /// below the start that are not entered (kernel pseudo file systems, excluded folders).
    FolderReadAhead(const FolderReader &calls, WalkLimits limits, Options options);
    /// Stops the workers and closes every descriptor held.
    ~FolderReadAhead();
    FolderReadAhead(const FolderReadAhead &) = delete;
    FolderReadAhead &operator=(const FolderReadAhead &) = delete;

    /// Starts listing at the start folder open on `startFd`, which is owned from here on. Null
    /// (and `startFd` left to the caller) when the system would not start a single worker.
    FolderPtr start(int startFd);
    /// The i-th subfolder of a folder taken, in the order of its listing.
    static FolderPtr subfolder(const FolderPtr &folder, std::size_t i);
    /// Lets go of a taken folder's subfolders once all of them have been taken.
    static void releaseSubfolders(const FolderPtr &folder);

    /// Moves the listing of `folder` into `out`; false when the folder could not be opened (or
    /// is a pseudo file system), which leaves `out` empty but for the error. What a worker's
    /// reading of it threw, other than a shortage of memory or a failed system call (which
    /// are the folder's error), is thrown here. A folder no worker
    /// has begun is read right here with `own` (whose progress calls may throw, which ends the
    /// reading). While a worker reads it, the caller reads other folders waiting to be read,
    /// or else waits; `whileWaiting` runs after each such folder and every `poll` of waiting,
    /// and may throw too, which leaves the folder to the workers.
    bool take(const FolderPtr &folder, FolderListing &out, FolderReader &own,
              std::chrono::milliseconds poll, const std::function<void()> &whileWaiting);

    /// Stops the workers: each ends the folder it reads at its next few hundred entries. Called
    /// by the destructor; the read-ahead takes nothing more afterwards.
    void stop();

    /// The type totals that the workers held when they stopped (after stop()).
    const std::vector<FolderListing::TypeTotal> &typesLeft() const { return m_typesLeft; }

    /// The most descriptors of listed folders held at once.
    std::size_t peakHeldDescriptors() const;
    /// The most bytes of listings read ahead at once.
    std::size_t peakReadAheadBytes() const;

private:
    struct Stopped {};

    FolderReader m_calls;
    WalkLimits m_limits;
    Options m_options;
    int m_baseFd = -1; // a copy of the start folder's descriptor, held to the end

    mutable std::mutex m_mutex;
    std::condition_variable m_workReady;  // a folder to read, or stop
    std::condition_variable m_folderDone; // a folder has been listed
    std::vector<FolderPtr> m_stack;       // folders to read, the next on top
    std::vector<Folder *> m_holders;      // folders holding a descriptor
    FolderPtr m_wanted;                   // the folder the walk waits for a worker to list
    std::size_t m_bytes = 0, m_peakBytes = 0;
    std::size_t m_held = 0, m_peakHeld = 0;
    std::size_t m_heldCap; // lowered when the process runs out of descriptors
    int m_running = 0;     // workers reading a folder
    int m_activeLimit = 0; // how many may read at once
    int m_cpuWorkers = 0;
    int m_threadCount = 0;
    double m_waitSum = 0, m_cpuSum = 0; // of the folders read since the limit was last set
    int m_sampled = 0;
    bool m_stopping = false;
    std::atomic<bool> m_stopFlag{false};
    std::atomic<int> m_reading{0}; // threads in readFolder(), the walk's included
    std::vector<std::thread> m_threads;
    std::vector<FolderListing::TypeTotal> m_typesLeft; // by workers that ended

    void work();
    FolderPtr nextFolder(std::unique_lock<std::mutex> &lock);
    FolderPtr popPending();
    void readFolder(const FolderPtr &folder, FolderReader &reader, bool byWalk);
    int reach(Folder &folder);
    int reachOnce(Folder &folder, bool again);
    void doneWithParent(Folder &parent, bool counted);
    bool releaseHeld();
    void markFailed(Folder &folder, std::exception_ptr failure);
    bool isSkipped(const Folder &folder) const;
    void adaptWorkers(double waitedSeconds, double cpuSeconds);
    void closeHeld(Folder &folder);
};
