#include "FolderReadAhead.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <sys/resource.h>
#include <system_error>
#include <unistd.h>
#include <utility>

struct FolderReadAhead::Folder {
    enum class State : std::uint8_t { Pending, Reading, Listed, Taken };

    Folder *parent = nullptr; // kept alive by the walk, which holds every folder above
    QByteArray name;
    State state = State::Pending;
    bool opened = false;
    FolderListing listing;
    std::vector<FolderPtr> subfolders;
    int given = -1;             // the start folder's descriptor, until it is read
    int fd = -1;                // held while subfolders remain to be opened
    std::size_t toOpen = 0;     // subfolders not yet opened
    std::size_t bytes = 0;      // counted against the memory cap until taken
    int users = 0;              // workers opening a subfolder from `fd` right now
    bool closeWhenIdle = false; // `fd` goes as soon as no worker uses it
    std::exception_ptr failure; // what ended its reading, for the walk to raise

    Folder() = default;
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;
    // A chain of folders listed ahead can be deeper than the stack could take destructors
    // nested one per level; the subfolders of a folder going away are let go of one by one.
    ~Folder() {
        std::vector<FolderPtr> pending = std::move(subfolders);
        while (!pending.empty()) {
            FolderPtr f = std::move(pending.back());
            pending.pop_back();
            if (f.use_count() == 1) {
                for (FolderPtr &sub : f->subfolders)
                    pending.push_back(std::move(sub));
                f->subfolders.clear();
            }
        }
    }
};

namespace {

constexpr std::size_t FolderCost = sizeof(FolderReadAhead::Folder) + 64; // with its allocation

std::size_t listingCost(const FolderListing &listing) {
    return static_cast<std::size_t>(listing.names.capacity()) +
           listing.subfolders.capacity() * sizeof(FolderListing::Subfolder) +
           listing.linked.capacity() * sizeof(FolderListing::LinkedFile) +
           listing.big.capacity() * sizeof(FolderListing::BigFile) + listing.bigNames.capacity() +
           listing.types.capacity() * sizeof(FolderListing::TypeTotal);
}

bool outOfDescriptors(int error) {
    return error == EMFILE || error == ENFILE;
}

// Room for `extra` more elements, growing as push_back would, so that the pushes after it
// cannot throw.
template <typename T> void reserveFor(std::vector<T> &v, std::size_t extra) {
    if (v.capacity() - v.size() < extra)
        v.reserve(std::max(v.size() + extra, 2 * v.capacity()));
}

double wallSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// What the calling thread has used: wall time, processor time, and how often it went to sleep
// (to wait on the disk or on a lock).
struct ThreadUsage {
    double wall = 0, cpu = 0;
    long sleeps = 0;

    static ThreadUsage now() {
        ThreadUsage u;
        u.wall = wallSeconds();
        struct rusage ru {};
        if (::getrusage(RUSAGE_THREAD, &ru) == 0) {
            u.cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                    static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
            u.sleeps = ru.ru_nvcsw;
        }
        return u;
    }
};

} // namespace

FolderReadAhead::FolderReadAhead(const FolderReader &calls, WalkLimits limits, Options options)
    : m_limits(std::move(limits)), m_options(options), m_heldCap(options.maxHeldDescriptors) {
    m_calls.readAs(calls);
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    if (m_options.workers > 0) {
        m_cpuWorkers = m_options.workers;
        m_activeLimit = m_options.workers;
    } else {
        // Folders waiting on the disk take no processor, so more of them may be read at once
        // than there are cores; adaptWorkers() lets the extra threads in only then.
        m_cpuWorkers = std::max(2, cores);
        m_activeLimit = m_cpuWorkers;
    }
}

FolderReadAhead::~FolderReadAhead() {
    stop();
}

FolderReadAhead::FolderPtr FolderReadAhead::start(int startFd) {
    auto root = std::make_shared<Folder>();
    root->given = startFd;
    m_baseFd = ::fcntl(startFd, F_DUPFD_CLOEXEC, 0);
    const int threads = m_options.workers > 0
                            ? m_options.workers
                            : std::max(m_cpuWorkers, std::min(4 * m_cpuWorkers, 32));
    m_threadCount = threads;
    {
        std::lock_guard lock(m_mutex);
        root->bytes = FolderCost;
        m_bytes += root->bytes;
        m_stack.push_back(root);
    }
    m_threads.reserve(static_cast<std::size_t>(threads));
    for (int i = 0; i < threads; ++i) {
        try {
            m_threads.emplace_back([this] { work(); });
        } catch (const std::system_error &) { // the system gives no more threads: fewer read
            break;
        }
    }
    if (!m_threads.empty()) {
        std::lock_guard lock(m_mutex);
        m_threadCount = static_cast<int>(m_threads.size());
        return root;
    }
    // Not one: the start folder goes back to the caller, which reads every folder itself.
    m_stack.clear();
    m_bytes = 0;
    root->given = -1;
    if (m_baseFd >= 0)
        ::close(m_baseFd);
    m_baseFd = -1;
    return nullptr;
}

FolderReadAhead::FolderPtr FolderReadAhead::subfolder(const FolderPtr &folder, std::size_t i) {
    return folder->subfolders[i];
}

void FolderReadAhead::releaseSubfolders(const FolderPtr &folder) {
    std::vector<FolderPtr>().swap(folder->subfolders);
}

bool FolderReadAhead::take(const FolderPtr &folder, FolderListing &out, FolderReader &own,
                           std::chrono::milliseconds poll,
                           const std::function<void()> &whileWaiting) {
    std::unique_lock lock(m_mutex);
    // Reading the folder here costs no more than waiting for a worker to take it up, and
    // spares the hand-over (two switches between threads) when the workers fall behind.
    if (folder->state == Folder::State::Pending) {
        folder->state = Folder::State::Reading;
        lock.unlock();
        readFolder(folder, own, true);
        lock.lock();
    }
    if (folder->state != Folder::State::Listed) { // a worker reads it
        m_wanted = folder;
        while (folder->state != Folder::State::Listed) {
            // Rather than wait idle, the walk reads a folder it will need later, if any waits.
            FolderPtr other = popPending();
            if (other)
                other->state = Folder::State::Reading;
            const bool waited =
                !other && m_folderDone.wait_for(lock, poll) == std::cv_status::timeout;
            if (!other && !waited)
                continue;
            lock.unlock();
            try {
                if (other)
                    readFolder(other, own, false);
                whileWaiting(); // lets the window run when it is due
            } catch (...) {
                lock.lock();
                m_wanted.reset();
                throw;
            }
            lock.lock();
        }
        m_wanted.reset();
    }
    out = std::move(folder->listing);
    folder->listing = FolderListing();
    folder->state = Folder::State::Taken;
    const bool wasOver = m_bytes >= m_options.memoryCap;
    m_bytes -= folder->bytes;
    folder->bytes = 0;
    if (wasOver && m_bytes < m_options.memoryCap)
        m_workReady.notify_all();
    if (folder->failure) // raised where the walk would have met it reading the folder itself
        std::rethrow_exception(std::exchange(folder->failure, nullptr));
    return folder->opened;
}

void FolderReadAhead::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_stopFlag.store(true, std::memory_order_relaxed);
    }
    m_workReady.notify_all();
    for (std::thread &t : m_threads)
        t.join();
    m_threads.clear();
    // No worker runs now: what they held is closed here.
    std::lock_guard lock(m_mutex);
    for (const FolderPtr &f : m_stack)
        if (f->given >= 0) {
            ::close(f->given);
            f->given = -1;
        }
    m_stack.clear();
    m_wanted.reset();
    for (Folder *f : m_holders)
        if (f->fd >= 0) {
            ::close(f->fd);
            f->fd = -1;
        }
    m_holders.clear();
    m_held = 0;
    if (m_baseFd >= 0) {
        ::close(m_baseFd);
        m_baseFd = -1;
    }
}

std::size_t FolderReadAhead::peakHeldDescriptors() const {
    std::lock_guard lock(m_mutex);
    return m_peakHeld;
}

std::size_t FolderReadAhead::peakReadAheadBytes() const {
    std::lock_guard lock(m_mutex);
    return m_peakBytes;
}

// The folder found last that still waits to be read, within the memory cap; null when none
// does. Called with the lock held.
FolderReadAhead::FolderPtr FolderReadAhead::popPending() {
    if (m_bytes >= m_options.memoryCap)
        return nullptr;
    while (!m_stack.empty() && m_stack.back()->state != Folder::State::Pending)
        m_stack.pop_back(); // the walk read it itself
    if (m_stack.empty())
        return nullptr;
    FolderPtr f = std::move(m_stack.back());
    m_stack.pop_back();
    return f;
}

// Within the number allowed to read at once, the folder found last.
FolderReadAhead::FolderPtr FolderReadAhead::nextFolder(std::unique_lock<std::mutex> &lock) {
    for (;;) {
        if (m_stopping)
            return nullptr;
        FolderPtr f = m_running < m_activeLimit ? popPending() : nullptr;
        if (f) {
            f->state = Folder::State::Reading;
            ++m_running;
            return f;
        }
        m_workReady.wait(lock);
    }
}

// Nothing thrown here may leave the thread (that would end the program): a folder whose reading
// fails is handed to the walk with what failed.
void FolderReadAhead::work() {
    std::optional<FolderReader> reader;
    try {
        reader.emplace();
        reader->readAs(m_calls);
    } catch (...) { // without a reader, this thread leaves the folders to the others and the walk
        return;
    }
    reader->onProgress = [this] {
        if (m_stopFlag.load(std::memory_order_relaxed))
            throw Stopped{};
    };
    // Whatever way the thread leaves (after the lock below is let go), the type totals its
    // reader has not handed over with a listing stay for the walk.
    struct HandOver {
        FolderReadAhead *self;
        FolderReader &reader;
        ~HandOver() {
            std::lock_guard guard(self->m_mutex);
            try {
                reader.handOverTypes(self->m_typesLeft);
            } catch (...) { // out of memory: the totals lack this thread's last folders
            }
        }
    } handOver{this, *reader};
    const bool measure = m_options.workers <= 0;
    std::unique_lock lock(m_mutex);
    for (;;) {
        FolderPtr folder = nextFolder(lock);
        if (!folder)
            return;
        lock.unlock();
        const ThreadUsage before = measure ? ThreadUsage::now() : ThreadUsage();
        std::exception_ptr failure;
        try {
            readFolder(folder, *reader, false);
        } catch (const Stopped &) {
            lock.lock();
            --m_running;
            return;
        } catch (...) {
            failure = std::current_exception();
        }
        const ThreadUsage after = measure ? ThreadUsage::now() : ThreadUsage();
        lock.lock();
        --m_running;
        if (failure) {
            markFailed(*folder, std::move(failure));
            continue;
        }
        if (measure) {
            // Only a folder whose reading slept waited on anything: the rest of the wall time
            // of one that did not went to other threads or, in a virtual machine, to other
            // machines, and more threads would not win it back.
            const double cpu = after.cpu - before.cpu;
            const double waited =
                after.sleeps > before.sleeps ? std::max(0.0, after.wall - before.wall - cpu) : 0;
            adaptWorkers(waited, cpu);
        }
    }
}

// Opens, lists and sizes one folder (with no lock held), then hands the listing to the walk and
// its subfolders to the workers.
void FolderReadAhead::readFolder(const FolderPtr &folderPtr, FolderReader &reader, bool byWalk) {
    struct Reading { // counted while this thread may hold a descriptor of a folder it reads
        std::atomic<int> &count;
        explicit Reading(std::atomic<int> &c) : count(c) { ++count; }
        ~Reading() { --count; }
    } reading(m_reading);
    Folder &folder = *folderPtr;
    FolderListing listing;
    int fd = -1;
    std::vector<FolderPtr> subs;
    try {
        if (isSkipped(folder)) { // not opened: the walk marks its row
            std::lock_guard lock(m_mutex);
            if (folder.parent->fd >= 0)
                doneWithParent(*folder.parent, true);
        } else {
            fd = reach(folder);
            if (fd < 0)
                listing.error = errno != 0 ? errno : ENOENT;
        }
        if (fd >= 0) {
            reader.read(fd, listing);
            if (m_options.recurse) {
                subs.reserve(listing.subfolders.size());
                for (const FolderListing::Subfolder &sub : listing.subfolders) {
                    auto f = std::make_shared<Folder>();
                    f->parent = &folder;
                    f->name = QByteArray(listing.name(sub), static_cast<qsizetype>(sub.nameLength));
                    subs.push_back(std::move(f));
                }
            }
        }
    } catch (...) {
        if (fd >= 0)
            ::close(fd);
        // Out of memory, or a system call that failed by throwing: shown like a folder that
        // could not be read. Anything else (the workers stop, the walk's own reading was
        // aborted, a fault) goes on to the caller.
        const int error = FolderReader::failureOfCurrentException();
        if (error == 0)
            throw;
        listing = FolderListing();
        listing.error = error;
        subs.clear();
        fd = -1;
    }

    std::lock_guard lock(m_mutex);
    try { // nothing below may throw with the folder half handed over
        reserveFor(m_holders, 1);
        reserveFor(m_stack, subs.size());
    } catch (const std::bad_alloc &) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        listing = FolderListing();
        listing.error = ENOMEM;
        subs.clear();
    }
    const bool opened = fd >= 0;
    if (opened && !subs.empty() && m_held < m_heldCap) {
        folder.fd = fd;
        folder.toOpen = subs.size();
        m_holders.push_back(&folder);
        m_peakHeld = std::max(m_peakHeld, ++m_held);
    } else if (opened) {
        ::close(fd);
    }
    // The subfolders' records count as their own until each is taken.
    const std::size_t cost = listingCost(listing) + subs.capacity() * sizeof(FolderPtr);
    folder.listing = std::move(listing);
    folder.opened = opened;
    folder.bytes += cost;
    m_bytes += cost + subs.size() * FolderCost;
    m_peakBytes = std::max(m_peakBytes, m_bytes);
    for (FolderPtr &sub : subs)
        sub->bytes = FolderCost;
    // The first listed goes on top. When the walk read the folder itself, it goes on to read
    // the first subfolder too, so the workers leave it alone and take those it needs later.
    const auto firstForWorkers = subs.rend() - (byWalk && !subs.empty() ? 1 : 0);
    for (auto it = subs.rbegin(); it != firstForWorkers; ++it)
        m_stack.push_back(*it);
    folder.subfolders = std::move(subs);
    folder.state = Folder::State::Listed;
    if (m_wanted.get() == &folder)
        m_folderDone.notify_one();
    // Wake as many idle workers as there is new work for, not all of them for every folder.
    const std::size_t idle =
        static_cast<std::size_t>(std::max(0, std::min(m_threadCount, m_activeLimit) - m_running));
    for (std::size_t i = 0; i < std::min(folder.subfolders.size(), idle); ++i)
        m_workReady.notify_one();
}

// A descriptor of the folder: opened from its parent's while the parent holds one, else one name
// at a time from the nearest folder above that holds one, or from the start folder. -1 with
// errno set when it cannot be opened. When the process has no descriptor to spare, the held ones
// are given up (fewer are held from then on) and the folder is reached again, by path if need be.
// With none held, the descriptors are those of the folders other readers have open right now,
// which they close as they finish them: the reader waits for that, for up to a few seconds.
int FolderReadAhead::reach(Folder &folder) {
    if (folder.given >= 0) {
        const int fd = folder.given;
        folder.given = -1;
        return fd;
    }
    constexpr int MaxWaits = 3000; // of a millisecond each
    for (int attempt = 0;; ++attempt) {
        const int fd = reachOnce(folder, attempt > 0);
        if (fd >= 0 || !outOfDescriptors(errno))
            return fd;
        const int error = errno;
        const bool released = releaseHeld();
        const bool othersRead = released || m_reading.load(std::memory_order_relaxed) > 1;
        if (!othersRead || attempt >= MaxWaits || m_stopFlag.load(std::memory_order_relaxed)) {
            errno = error;
            return -1;
        }
        if (!released || attempt > 0) // the first release is tried at once
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// `again`: the parent has already counted this subfolder as opened from its descriptor.
int FolderReadAhead::reachOnce(Folder &folder, bool again) {
    Folder &parent = *folder.parent;
    std::unique_lock lock(m_mutex);
    if (parent.fd >= 0) {
        const int from = parent.fd;
        ++parent.users;
        lock.unlock();
        const int fd = m_calls.openDir(from, folder.name.constData());
        const int error = errno;
        lock.lock();
        --parent.users;
        doneWithParent(parent, !again);
        errno = error;
        return fd;
    }
    std::vector<const Folder *> path{&folder};
    Folder *above = &parent;
    while (above->fd < 0 && above->parent) {
        path.push_back(above);
        above = above->parent;
    }
    int fd = ::fcntl(above->fd >= 0 ? above->fd : m_baseFd, F_DUPFD_CLOEXEC, 0);
    lock.unlock();
    int error = fd < 0 ? errno : 0;
    for (auto it = path.rbegin(); fd >= 0 && it != path.rend(); ++it) {
        const int next = m_calls.openDir(fd, (*it)->name.constData());
        error = errno;
        ::close(fd);
        fd = next;
    }
    errno = error;
    return fd;
}

void FolderReadAhead::closeHeld(Folder &folder) {
    if (folder.fd < 0)
        return;
    ::close(folder.fd);
    folder.fd = -1;
    folder.closeWhenIdle = false;
    --m_held;
    m_holders.erase(std::find(m_holders.begin(), m_holders.end(), &folder));
}

// A subfolder no longer needs its parent's descriptor (`counted`: for the first time). The
// parent keeps it until its last subfolder has been opened from it, or, once asked to let it go,
// until no worker uses it. Called with the lock held.
void FolderReadAhead::doneWithParent(Folder &parent, bool counted) {
    if (counted)
        --parent.toOpen;
    if (parent.users == 0 && (parent.toOpen == 0 || parent.closeWhenIdle))
        closeHeld(parent);
}

// Gives up every held descriptor (those a worker opens from right now as soon as it is done)
// and holds at most half as many from now on. False when none was held.
bool FolderReadAhead::releaseHeld() {
    std::lock_guard lock(m_mutex);
    if (m_held == 0)
        return false;
    m_heldCap = std::max<std::size_t>(1, m_held / 2);
    for (std::size_t i = m_holders.size(); i-- > 0;) { // closeHeld() drops the i-th
        Folder &f = *m_holders[i];
        if (f.users == 0)
            closeHeld(f);
        else
            f.closeWhenIdle = true;
    }
    return true;
}

// Called with the lock held; cannot throw.
void FolderReadAhead::markFailed(Folder &folder, std::exception_ptr failure) {
    folder.listing = FolderListing();
    folder.opened = false;
    folder.failure = std::move(failure);
    folder.state = Folder::State::Listed;
    if (m_wanted.get() == &folder)
        m_folderDone.notify_one();
}

bool FolderReadAhead::isSkipped(const Folder &folder) const {
    if (m_limits.isEmpty() || !folder.parent)
        return false;
    QByteArray relative;
    for (const Folder *f = &folder; f->parent; f = f->parent)
        relative.prepend('/').prepend(f->name);
    return m_limits.skipOf(relative) != WalkLimits::Skip::None;
}

// When the folders read spend much more time asleep, waiting on the disk, than on the processor,
// more of them may read at once (up to every thread started).
void FolderReadAhead::adaptWorkers(double waitedSeconds, double cpuSeconds) {
    m_waitSum += waitedSeconds;
    m_cpuSum += cpuSeconds;
    if (++m_sampled < 16)
        return;
    const double all = m_cpuSum + m_waitSum;
    const double busy = all > 0 ? std::clamp(m_cpuSum / all, 0.05, 1.0) : 1.0;
    const int limit =
        std::clamp(static_cast<int>(std::ceil(m_cpuWorkers / busy)), m_cpuWorkers, m_threadCount);
    if (limit > m_activeLimit)
        m_workReady.notify_all();
    m_activeLimit = limit;
    m_waitSum = m_cpuSum = 0;
    m_sampled = 0;
}
