// The walk's folder descriptors: at most heldDescriptorCap() are open at once, whatever the
// depth, so a deep tree never runs the process out of descriptors. A folder keeps its own
// only while it has subfolders left to enter; one whose descriptor had to go is reached again
// by opening its path one name at a time from the nearest folder above it that still holds
// one (or from the start path), never through a link.
#include "mdlFileSearch.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

std::size_t mdlFileSearch::heldDescriptorCap() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return MaxHeldDescriptors;
    return std::clamp<std::size_t>(static_cast<std::size_t>(limit.rlim_cur / 4), MinHeldDescriptors,
                                   MaxHeldDescriptors);
}

void mdlFileSearch::hold(std::size_t frame, int fd) {
    if (m_held.size() >= m_heldCap)
        evictOne();
    m_frames[frame].fd = fd;
    m_held.insert(std::upper_bound(m_held.begin(), m_held.end(), frame), frame);
    m_peakHeld = std::max(m_peakHeld, m_held.size());
}

void mdlFileSearch::release(std::size_t frame) {
    int &fd = m_frames[frame].fd;
    if (fd < 0)
        return;
    ::close(fd);
    fd = -1;
    const auto at = std::lower_bound(m_held.begin(), m_held.end(), frame);
    if (at != m_held.end() && *at == frame)
        m_held.erase(at);
}

void mdlFileSearch::releaseAll() {
    for (std::size_t frame : m_held) {
        ::close(m_frames[frame].fd);
        m_frames[frame].fd = -1;
    }
    m_held.clear();
}

// Gives up the descriptor whose loss leaves the smallest gap between held ones, so those kept
// spread over the whole depth and any folder is a short walk down from one. The deepest held
// one is kept: its next subfolder is the one entered soonest.
void mdlFileSearch::evictOne() {
    if (m_held.size() < 2)
        return;
    std::size_t best = 0;
    std::size_t bestGap = static_cast<std::size_t>(-1);
    for (std::size_t p = 0; p + 1 < m_held.size(); ++p) {
        // Frame indexes shifted by one, so that the start path counts as held above frame 0.
        const std::size_t above = p > 0 ? m_held[p - 1] + 1 : 0;
        const std::size_t gap = m_held[p + 1] + 1 - above;
        if (gap < bestGap) {
            bestGap = gap;
            best = p;
        }
    }
    const std::size_t frame = m_held[best];
    ::close(m_frames[frame].fd);
    m_frames[frame].fd = -1;
    m_held.erase(m_held.begin() + static_cast<std::ptrdiff_t>(best));
}

int mdlFileSearch::openSubfolder(std::size_t parent, const char *name) {
    const int dirFd = descriptorOf(parent);
    return dirFd < 0 ? -1 : openBelow(dirFd, name);
}

// Opens a folder below `dirFd`. When no descriptor is free (the rest of the program holds more
// than the cap allowed for, or the system ran out), every held one but `dirFd` is given up and
// half as many are held from then on; folders that lose theirs are reached again by path.
int mdlFileSearch::openBelow(int dirFd, const char *name) {
    const int fd = m_reader.openDir(dirFd, name);
    if (fd >= 0 || (errno != EMFILE && errno != ENFILE))
        return fd;
    const int error = errno;
    const std::size_t had = m_held.size();
    m_heldCap = std::max<std::size_t>(2, had / 2);
    for (auto it = m_held.begin(); it != m_held.end();) {
        int &held = m_frames[*it].fd;
        if (held == dirFd) {
            ++it;
            continue;
        }
        ::close(held);
        held = -1;
        it = m_held.erase(it);
    }
    if (m_held.size() == had) { // nothing to give up: the folder cannot be opened
        errno = error;
        return -1;
    }
    return m_reader.openDir(dirFd, name);
}

// The descriptor of a folder on the stack, re-opened when it was given up. Folders passed on the
// way down keep theirs while there is room. -1 when the path no longer leads to a folder.
int mdlFileSearch::descriptorOf(std::size_t frame) {
    if (m_frames[frame].fd >= 0)
        return m_frames[frame].fd;
    const auto above = std::lower_bound(m_held.begin(), m_held.end(), frame);
    std::size_t from = 0;
    int fd = -1;
    bool held = false;
    if (above == m_held.begin()) {
        fd = openBelow(AT_FDCWD, QByteArray(m_path.constData(), m_startLength).constData());
    } else {
        from = *(above - 1);
        fd = m_frames[from].fd;
        held = true;
    }
    for (std::size_t i = from + 1; fd >= 0 && i <= frame; ++i) {
        const qsizetype at = m_frames[i - 1].pathLength;
        const QByteArray name(m_path.constData() + at, m_frames[i].pathLength - 1 - at);
        const int next = openBelow(fd, name.constData());
        if (!held)
            ::close(fd);
        fd = next;
        // On the way back up, the folders passed here are the next to need theirs.
        held = fd >= 0 && i < frame && m_held.size() + 1 < m_heldCap;
        if (held)
            hold(i, fd);
    }
    if (fd < 0)
        return -1;
    hold(frame, fd);
    return fd;
}
