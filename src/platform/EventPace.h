#pragma once

#include <chrono>

/// Paces the turns of the event loop that a long task takes between its steps. The task asks
/// `turnIfDue` between steps, as often as it likes; a turn is due once the task has worked for
/// its slice since the last turn ended.
///
/// The slice adapts to what the turns cost. A slice and the turn after it (a repaint can take
/// longer than the work, and both take longer while other programs keep the processors busy
/// and this thread waits for one) are held within `Target`, so the window never goes much
/// longer than that without handling input. While they stay well within it the slice grows
/// back to `LongestSlice`: fewer turns slow the task less. `Target` is well below the 30 ms a
/// gap may take, as a busy machine can still keep this thread waiting a few scheduler ticks
/// (of 4 ms or more each) within any cycle; on an idle one a slice and a cheap turn fit it.
class EventPace {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration Target = std::chrono::milliseconds(12);
    static constexpr Clock::duration LongestSlice = std::chrono::milliseconds(10);
    static constexpr Clock::duration ShortestSlice = std::chrono::milliseconds(2);

    /// `longest` caps the slice (and so the time between turns when they cost nothing).
    explicit EventPace(Clock::duration longest = LongestSlice)
        : m_sliceStart(Clock::now()), m_slice(longest), m_longest(longest) {}

    bool due(Clock::time_point now) const { return now - m_sliceStart >= m_slice; }

    /// Runs `turn` when the slice is over, then starts the next one; true when it ran.
    template <class Turn> bool turnIfDue(Turn &&turn) {
        const Clock::time_point start = Clock::now();
        if (!due(start))
            return false;
        turn();
        turned(Clock::now());
        return true;
    }

    /// The task has just let the event loop turn some other way: a new slice starts.
    void restart() { m_sliceStart = Clock::now(); }

    /// Adapts the slice to the cycle (the slice's work and its turn) that ended at `turnEnd`,
    /// and starts the next slice there.
    void turned(Clock::time_point turnEnd);

    Clock::duration slice() const { return m_slice; }

private:
    Clock::time_point m_sliceStart;
    Clock::duration m_slice;
    Clock::duration m_longest;
};
