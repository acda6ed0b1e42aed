// How responsive the window stays while it scans: scans a tree in the real main window (offscreen
// platform unless another is chosen) and records the longest gap between two turns of its event
// loop during the walk, and, with --abort-at, how long the walk takes to end after the Abort
// button is clicked.
//
//   ui_latency_bench [--redraw LIST] [--rounds N] [--abort-at MS] [--load N] [--chart T] TREE
//
// LIST holds the redraw modes to compare, comma-separated (0 none, 1 direct, 2 buffered;
// default 0); the modes take turns round by round, so their times compare within one run.
// --load N keeps N other processes busy on the processors for the whole run (one per core
// shows how the window fares on a machine busy with other work). --chart T draws the chart as
// T (0 pie, 1 bar, 2 treemap, 3 rings; default: as the settings say), a treemap and rings
// growing with the walk.
// Prints one line per round and, per mode, the medians with min-max. Besides the longest gap in
// wall time, each round gives the processor time the window's thread used in its costliest gap
// (gap_cpu_ms): the part of a gap that is the program's own work, whatever other programs on a
// busy machine add to it.
#include "OutlineGrid.h"
#include "RecordingPrompts.h"
#include "frmMain.h"
#include "mdlFileSearch.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include <csignal>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double msBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Processor time used by the calling thread.
double threadCpuMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

struct Round {
    double walkSeconds = 0;
    double maxGapMs = 0;
    double maxGapCpuMs = 0;
    double abortMs = -1; // from the click to the end of the walk
    int turns = 0;
};

// Times the turns of the event loop: a zero-interval timer fires once per turn.
class TurnProbe {
public:
    TurnProbe() {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { turn(); });
    }
    void start() {
        m_last.reset();
        m_maxGapMs = 0;
        m_maxGapCpuMs = 0;
        m_turns = 0;
        m_timer.start();
    }
    void stop(Clock::time_point end) {
        m_timer.stop();
        if (m_last)
            m_maxGapMs = std::max(m_maxGapMs, msBetween(*m_last, end));
    }
    void turn() {
        const auto now = Clock::now();
        const double cpu = threadCpuMs();
        if (m_last) {
            m_maxGapMs = std::max(m_maxGapMs, msBetween(*m_last, now));
            m_maxGapCpuMs = std::max(m_maxGapCpuMs, cpu - m_lastCpu);
        }
        m_last = now;
        m_lastCpu = cpu;
        ++m_turns;
    }
    double maxGapMs() const { return m_maxGapMs; }
    double maxGapCpuMs() const { return m_maxGapCpuMs; }
    int turns() const { return m_turns; }

private:
    QTimer m_timer;
    std::optional<Clock::time_point> m_last;
    double m_maxGapMs = 0;
    double m_lastCpu = 0, m_maxGapCpuMs = 0;
    int m_turns = 0;
};

Round scanOnce(frmMain &form, const QString &tree, int redraw, int abortAtMs) {
    Round round;
    form.settings().Redraw_Scan_Progress = redraw;
    form.settings().Clear_Nodes_B4_Scan = true;
    mdlFileSearch &search = form.fileSearch();
    TurnProbe probe;
    std::optional<Clock::time_point> walkStart, walkEnd, clicked;
    QPushButton *abort = form.findChild<QPushButton *>(QStringLiteral("cmdAbort"));
    QTimer abortTimer;
    abortTimer.setSingleShot(true);
    QObject::connect(&abortTimer, &QTimer::timeout, [&] {
        clicked = Clock::now();
        abort->click();
    });
    // The walk starts at its first turn of the event loop, where it shows the folder it is in
    // (which goes on to the window as usual), and ends when the scan command switches the grid's
    // redraw back to buffered (or returns, when the walk already ran buffered). A yield hook
    // would mark the start as well, but with one the walk publishes its status and carries its
    // totals up at every folder, where the window's own walk does so once per turn.
    search.setStatusSink([&](const QString &text) {
        if (!walkStart) {
            walkStart = Clock::now();
            probe.start();
            if (abortAtMs >= 0)
                abortTimer.start(abortAtMs);
        }
        form.showWalkPath(text);
    });
    const auto connection =
        QObject::connect(&form.grid(), &OutlineGrid::redrawChanged, [&](GridRedraw mode) {
            if (walkStart && !walkEnd && mode == GridRedraw::Buffered)
                walkEnd = Clock::now();
        });
    form.startPathBox()->setEditText(tree);
    form.cmdBeginScan_Click();
    if (!walkEnd)
        walkEnd = Clock::now();
    QObject::disconnect(connection);
    search.setStatusSink([&form](const QString &text) { form.showWalkPath(text); });
    probe.stop(*walkEnd);
    abortTimer.stop();
    if (walkStart)
        round.walkSeconds = msBetween(*walkStart, *walkEnd) / 1000.0;
    round.maxGapMs = probe.maxGapMs();
    round.maxGapCpuMs = probe.maxGapCpuMs();
    round.turns = probe.turns();
    if (clicked)
        round.abortMs = msBetween(*clicked, *walkEnd);
    return round;
}

QString median(std::vector<double> v, const char *format) {
    if (v.empty())
        return QStringLiteral("-");
    std::sort(v.begin(), v.end());
    const double mid = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    return QString::asprintf(format, mid) + QStringLiteral(" (") +
           QString::asprintf(format, v.front()) + u'-' + QString::asprintf(format, v.back()) + u')';
}

// Processes that do nothing but use a processor, until the object ends them.
class ProcessorLoad {
public:
    explicit ProcessorLoad(int count) {
        for (int i = 0; i < count; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                volatile unsigned long spin = 0;
                for (;;)
                    spin = spin + 1;
            }
            if (pid > 0)
                m_children.push_back(pid);
        }
    }
    ~ProcessorLoad() {
        for (pid_t pid : m_children)
            ::kill(pid, SIGKILL);
        for (pid_t pid : m_children)
            ::waitpid(pid, nullptr, 0);
    }
    ProcessorLoad(const ProcessorLoad &) = delete;
    ProcessorLoad &operator=(const ProcessorLoad &) = delete;

private:
    std::vector<pid_t> m_children;
};

} // namespace

int main(int argc, char **argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<int> modes{0};
    int rounds = 3;
    int abortAt = -1;
    int load = 0;
    int chart = -1;
    QString tree;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--redraw") == 0 && i + 1 < argc) {
            modes.clear();
            for (const QString &m : QString::fromLatin1(argv[++i]).split(u','))
                modes.push_back(m.toInt());
        } else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--abort-at") == 0 && i + 1 < argc) {
            abortAt = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--load") == 0 && i + 1 < argc) {
            load = std::max(0, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--chart") == 0 && i + 1 < argc) {
            chart = std::atoi(argv[++i]);
        } else {
            tree = QString::fromLocal8Bit(argv[i]);
        }
    }
    if (tree.isEmpty()) {
        std::fprintf(
            stderr,
            "usage: ui_latency_bench [--redraw LIST] [--rounds N] [--abort-at MS] [--load N] "
            "[--chart T] TREE\n");
        return 2;
    }

    RecordingPrompts prompts;
    frmMain form(&prompts);
    form.resize(1000, 700);
    form.show();
    if (chart >= 0)
        form.mnuChartType_Click(chart);
    QApplication::processEvents();

    const ProcessorLoad busy(load);
    std::map<int, std::vector<Round>> byMode;
    for (int r = 0; r < rounds; ++r) {
        for (int mode : modes) {
            const Round round = scanOnce(form, tree, mode, abortAt);
            byMode[mode].push_back(round);
            std::printf("round %d redraw=%d walk_s=%.3f max_gap_ms=%.1f gap_cpu_ms=%.1f turns=%d "
                        "abort_ms=%.1f rows=%d\n",
                        r + 1, mode, round.walkSeconds, round.maxGapMs, round.maxGapCpuMs,
                        round.turns, round.abortMs, form.grid().rows());
            std::fflush(stdout);
        }
    }
    std::optional<double> baseWalk;
    for (const auto &[mode, list] : byMode) {
        std::vector<double> walk, gap, gapCpu, abortMs;
        for (const Round &round : list) {
            walk.push_back(round.walkSeconds);
            gap.push_back(round.maxGapMs);
            gapCpu.push_back(round.maxGapCpuMs);
            if (round.abortMs >= 0)
                abortMs.push_back(round.abortMs);
        }
        std::sort(walk.begin(), walk.end());
        const double medianWalk = walk[walk.size() / 2];
        if (!baseWalk)
            baseWalk = medianWalk;
        std::printf("ui_latency_bench: redraw=%d rounds=%zu walk_s=%s max_gap_ms=%s gap_cpu_ms=%s "
                    "abort_ms=%s walk_vs_first_mode=%.2fx\n",
                    mode, list.size(), qPrintable(median(walk, "%.3f")),
                    qPrintable(median(gap, "%.1f")), qPrintable(median(gapCpu, "%.1f")),
                    qPrintable(median(abortMs, "%.1f")),
                    *baseWalk > 0 ? medianWalk / *baseWalk : 0.0);
    }
    return 0;
}
