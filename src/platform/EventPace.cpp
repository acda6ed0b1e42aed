#include "EventPace.h"

#include <algorithm>

void EventPace::turned(Clock::time_point turnEnd) {
    const Clock::duration cycle = turnEnd - m_sliceStart;
    if (cycle > Target)
        m_slice -= cycle - Target; // the whole overshoot at once: the next gap is back in time
    else
        m_slice += std::min<Clock::duration>(std::chrono::milliseconds(1), Target - cycle);
    m_slice = std::clamp(m_slice, std::min(ShortestSlice, m_longest), m_longest);
    m_sliceStart = turnEnd;
}
