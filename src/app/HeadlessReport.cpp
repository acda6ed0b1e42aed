#include "HeadlessReport.h"

#include "AppError.h"
#include "CommandLine.h"
#include "HandlerTrap.h"
#include "NativeText.h"
#include "Prompts.h"
#include "TerminationSignals.h"
#include "frmMain.h"
#include "mdlFileSearch.h"

#include <QComboBox>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace HeadlessReport {

namespace {

// Nobody is there to answer: every question takes its default, dialogs are cancelled, and the
// last error or warning a command showed is kept as the reason the run failed.
class UnattendedPrompts : public Prompts {
public:
    QString failure;

    Answer message(QWidget *, const QString &text, const QString &, Icon icon, Buttons,
                   Answer defaultAnswer) override {
        if (icon == Icon::Critical) {
            // "number\ndescription\nLine: n": the description is the reason.
            const QStringList lines = text.split(u'\n');
            failure = lines.size() >= 3 ? lines.at(1) : text;
        } else if (icon == Icon::Exclamation) {
            failure = text;
        }
        return defaultAnswer;
    }
    QString chooseFolder(QWidget *, const QString &, const QString &) override { return QString(); }
    QString saveFile(QWidget *, const QString &, const QString &, const QString &,
                     const QString &) override {
        return QString();
    }
    QString openFile(QWidget *, const QString &, const QString &, const QString &) override {
        return QString();
    }
    QColor chooseColor(QWidget *, const QColor &) override { return QColor(); }
};

void say(const QString &line) {
    std::fputs(CommandLine::errorLine(line).constData(), stderr);
    std::fflush(stderr);
}

// One status line rewritten in place, only on a terminal.
class Progress {
public:
    explicit Progress(const mdlFileSearch &search) : m_search(search) {
        if (!::isatty(STDERR_FILENO))
            return;
        m_timer.setInterval(200);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { show(); });
        m_timer.start();
    }
    ~Progress() { finish(); }
    void finish() {
        if (!m_shown)
            return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        m_shown = false;
    }

private:
    const mdlFileSearch &m_search;
    QTimer m_timer;
    bool m_shown = false;

    void show() {
        QString text = QStringLiteral("Scanning ") + m_search.statusText();
        if (text.size() > 78)
            text = text.left(36) + QStringLiteral("...") + text.right(39);
        std::fprintf(stderr, "\r\033[K%s", text.toUtf8().constData());
        std::fflush(stderr);
        m_shown = true;
    }
};

} // namespace

void prepare() {
    // Standard error carries the run's own outcome; Qt's notes (a missing runtime folder, a
    // font substituted) would bury it.
    if (qEnvironmentVariableIsEmpty("CAIRNMETER_DEBUG"))
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                say(text);
        });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

int run(const CommandLine::Request &request) {
    UnattendedPrompts prompts;
    frmMain window(&prompts);
    window.LoadForReport([](const QString &problem) {
        say(QStringLiteral("warning: the settings were read in part: ") + problem);
    });

    // An interrupt stops the walk; the report is then not written.
    TerminationSignals terminator;
    bool interrupted = false;
    QObject::connect(&terminator, &TerminationSignals::terminationRequested, &window, [&](int) {
        interrupted = true;
        window.cmdAbort_Click();
    });

    const QString path = request.scanFile.isEmpty() ? request.scanPath : request.scanFile;
    if (!request.scanFile.isEmpty()) {
        window.OpenScanFile(path);
    } else if (!mdlFileSearch::FolderExists(path)) {
        say(path + QStringLiteral(": not a folder"));
        return 1;
    } else {
        Progress progress(window.fileSearch());
        window.startPathBox()->setEditText(path);
        window.cmdBeginScan_Click();
    }
    if (interrupted || !prompts.failure.isEmpty()) {
        say(interrupted ? QStringLiteral("interrupted; no report written")
                        : path + QStringLiteral(": ") + prompts.failure);
        return 1;
    }
    try {
        window.writeReportTo(request.reportFormat, request.reportFile);
    } catch (...) {
        say(request.reportFile + QStringLiteral(": ") +
            HandlerTrap::toAppError(std::current_exception()).description());
        return 1;
    }
    return 0;
}

} // namespace HeadlessReport
