#pragma once

#include <QObject>

class QSocketNotifier;

/// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal delivered by the event loop, so the
/// program can close its window the normal way (saving its settings). The handler itself only
/// writes one byte to a pipe, which is async-signal-safe.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    /// `Notify` only delivers the signal when the event loop turns (the window closes itself
    /// then); `Interrupt` also sets the process's interrupt request at once (Interrupt.h), which
    /// stops a command-line run wherever it is.
    enum class Mode { Notify, Interrupt };
    explicit TerminationSignals(Mode mode = Mode::Notify, QObject *parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    QSocketNotifier *m_notifier = nullptr;
};
