#pragma once

/// The busy (hourglass) pointer for as long as a command runs. Pushes one override cursor and
/// pops that one only, so a pointer that someone else set stays; given back on every way out,
/// or earlier with release() (before a box the user must answer).
class BusyPointer {
public:
    enum Start { Now, Later };

    explicit BusyPointer(Start start = Now);
    ~BusyPointer();
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;

    /// Shows the busy pointer, unless this object shows it already. Without a
    /// QGuiApplication there is no pointer, and this does nothing.
    void set();
    /// Gives back the pointer, unless it was given back already.
    void release();

private:
    bool m_set = false;
};
