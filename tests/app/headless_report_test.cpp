// Reports written from the command line by the real program, without a display.
#include "NativePath.h"
#include "PropertiesDialog.h"
#include "RecordingPrompts.h"
#include "RecordingShellLauncher.h"
#include "ScanSession.h"
#include "frmMain.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray runTool(const QString &program, const QStringList &arguments) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        ADD_FAILURE() << program.toStdString() << " failed: " << p.readAllStandardError().data();
    return p.readAllStandardOutput();
}

// What of a report may differ between two runs a second apart: the date line and the name of
// the chart's picture, which is made of the time.
QByteArray masked(QByteArray text) {
    QString s = QString::fromUtf8(text);
    s.replace(QRegularExpression("by Velmoria<br>\r\n[^\r\n]*"), "by Velmoria<br>\r\n<date>");
    s.replace(QRegularExpression("-[0-9a-z]{13}\\.png"), "-<picture>.png");
    return s.toUtf8();
}

// The PDF's text up to the chart, blanks folded: the rows and their order, whatever the
// spacing of columns (the window's widths follow its own layout).
QByteArray pdfText(const QString &path) {
    QString text = QString::fromUtf8(runTool("pdftotext", {"-layout", path, "-"}));
    text.replace(QRegularExpression("by Velmoria\n[^\n]*"), "by Velmoria\n<date>");
    text = text.section(u'\n', 0, 9);
    return text.simplified().toUtf8();
}

// The workbook's sheet, strings and styles (its properties carry the time it was made, and its
// column widths follow the window's font where the settings hold none).
QByteArray workbookParts(const QString &path) {
    return runTool("python3", {"-c",
                               "import re,sys,zipfile\n"
                               "z=zipfile.ZipFile(sys.argv[1])\n"
                               "for n in sorted(z.namelist()):\n"
                               "  if n.startswith('xl/'): sys.stdout.write(n+'\\n'+"
                               "re.sub('<cols>.*</cols>','',z.read(n).decode())+'\\n')\n",
                               path});
}

struct Outcome {
    int status = -1;
    QByteArray out, err;
};

} // namespace

// A small tree and a settings file of the test's own; the program runs with no display.
struct HeadlessReport : ::testing::Test {
    QTemporaryDir dir;
    QString config, runtime, tree, ini;
    QByteArray savedConfigHome = qgetenv("XDG_CONFIG_HOME");

    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        config = dir.filePath("config");
        runtime = dir.filePath("runtime");
        tree = dir.filePath("tree");
        ini = config + "/Velmoria/Cairnmeter/Cairnmeter.ini";
        QDir().mkpath(runtime);
        writeFile(tree + "/a.txt", QByteArray(1000, 'x'));
        writeFile(tree + "/sub/b.bin", QByteArray(2500, 'x'));
        writeFile(tree + "/sub/deep/c", QByteArray(30, 'x'));
        writeFile(tree + "/say \"hi\"/q", QByteArray(4096, 'x'));
        QDir().mkpath(tree + "/empty");
        QDir().mkpath(dir.filePath("cli"));
        // The window's export makes its report folders in a documents folder of the test's own.
        writeFile(config + "/user-dirs.dirs",
                  "XDG_DOCUMENTS_DIR=\"" + dir.filePath("documents").toUtf8() + "\"\n");
        // Sizes in KB and a bar chart, so that a report made with the defaults would differ.
        writeFile(ini, "[Appearance]\r\nObject_Size=1\r\n[Chart]\r\nChart_Type=1\r\n");
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", savedConfigHome); }

    // Starts the program with no display and the test's settings, or `wrapper` with the
    // program's path and the arguments after its own.
    void start(QProcess &p, const QStringList &arguments, const QStringList &wrapper) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("XDG_CONFIG_HOME", config);
        env.insert("XDG_RUNTIME_DIR", runtime);
        if (!wrapper.isEmpty() && wrapper.front() == "strace") // no leak check under a tracer
            env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
        p.setProcessEnvironment(env);
        if (wrapper.isEmpty())
            p.start(CAIRNMETER_BINARY, arguments);
        else
            p.start(wrapper.front(),
                    wrapper.mid(1) + QStringList{QString(CAIRNMETER_BINARY)} + arguments);
    }
    Outcome run(const QStringList &arguments, const QStringList &wrapper = {}) const {
        QProcess p;
        start(p, arguments, wrapper);
        Outcome r;
        if (!p.waitForFinished(120000)) {
            ADD_FAILURE() << "the program did not end";
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }
    Outcome report(const QString &format, const QString &file) const {
        return run({"/f", tree, "/r", format, "/o", file});
    }
};

TEST_F(HeadlessReport, EachFormatIsTheWindowsExportOfTheSameTree) {
    const QStringList names{"html", "pdf", "csv", "text", "xlsx"};
    for (const QString &name : names) {
        const Outcome r = report(name, dir.filePath("cli/report." + name));
        EXPECT_EQ(r.status, 0) << name.toStdString() << ": " << r.err.data();
        EXPECT_EQ(r.err, "") << name.toStdString(); // not a terminal: no progress either
    }

    // The window, started from the same settings with the same path, exports each format.
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    RecordingPrompts prompts;
    auto form = std::make_unique<frmMain>(&prompts);
    form->setShellLauncher(std::make_unique<RecordingShellLauncher>());
    form->Form_Load("/f \"" + tree + "\"");
    ASSERT_EQ(prompts.shown.size(), 1u);
    ASSERT_EQ(prompts.shown[0].text, "The scan has finished.");
    prompts.shown.clear();
    QDir().mkpath(dir.filePath("window"));
    for (int i = 0; i < names.size(); ++i) {
        prompts.saveNames << dir.filePath("window/report." + names[i]);
        form->mnuExpRep_Click(i);
    }
    for (const auto &shown : prompts.shown)
        EXPECT_NE(shown.kind, "message") << shown.text.toStdString();

    auto both = [&](const QString &name) {
        return std::pair(dir.filePath("cli/report." + name), dir.filePath("window/report." + name));
    };
    for (const QString &name : {QString("csv"), QString("text")}) {
        const auto [cli, window] = both(name);
        EXPECT_EQ(readAll(cli), readAll(window)) << name.toStdString();
    }
    const QByteArray csv = readAll(both("csv").first);
    EXPECT_TRUE(csv.contains("\"Scans\",\"7.45\",\"KB\",\"4\"")) << csv.data(); // settings read
    const auto [cliHtml, windowHtml] = both("html");
    EXPECT_EQ(masked(readAll(cliHtml)), masked(readAll(windowHtml)));
    EXPECT_TRUE(readAll(cliHtml).contains(".png")); // the chart, drawn without a display
    EXPECT_EQ(QDir(dir.filePath("cli")).entryList({"*.png"}).size(), 1);
    const auto [cliPdf, windowPdf] = both("pdf");
    EXPECT_EQ(pdfText(cliPdf), pdfText(windowPdf));
    EXPECT_EQ(runTool("pdfinfo", {cliPdf}).contains("Pages:           1"), true);
    const auto [cliXlsx, windowXlsx] = both("xlsx");
    EXPECT_EQ(workbookParts(cliXlsx), workbookParts(windowXlsx));
    EXPECT_TRUE(workbookParts(cliXlsx).contains("say \"hi\""));
}

TEST_F(HeadlessReport, TheSettingsAreReadButNeverWrittenAndNoLockIsTaken) {
    const QByteArray before = readAll(ini);
    const QDateTime modified = QFileInfo(ini).lastModified();
    const Outcome r = report("csv", dir.filePath("out.csv"));
    ASSERT_EQ(r.status, 0) << r.err.data();
    EXPECT_EQ(readAll(ini), before);
    EXPECT_EQ(QFileInfo(ini).lastModified(), modified);
    EXPECT_EQ(
        QDir(config + "/Velmoria/Cairnmeter").entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
        QStringList{"Cairnmeter.ini"});
    EXPECT_TRUE(QDir(runtime).isEmpty()); // no lock file
    EXPECT_TRUE(readAll(dir.filePath("out.csv")).contains("\"KB\""));

    // Without any settings folder the defaults hold, and no folder is made.
    QDir(config).removeRecursively();
    const Outcome fresh = report("text", dir.filePath("out.txt"));
    ASSERT_EQ(fresh.status, 0) << fresh.err.data();
    EXPECT_FALSE(QFileInfo::exists(config));
    EXPECT_TRUE(readAll(dir.filePath("out.txt")).contains("MB"));
}

TEST_F(HeadlessReport, FailuresEndWithStatusOneAndOneLineOnStandardError) {
    auto expectFailure = [](const Outcome &r, const char *reason) {
        EXPECT_EQ(r.status, 1) << reason;
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.data();
        EXPECT_TRUE(r.err.startsWith("cairnmeter: ")) << r.err.data();
        EXPECT_TRUE(r.err.contains(reason)) << r.err.data();
        EXPECT_EQ(r.out, "");
    };
    const QString out = dir.filePath("out.csv");
    expectFailure(run({"/f", dir.filePath("missing"), "/r", "csv", "/o", out}), "not a folder");
    expectFailure(run({"/f", tree + "/a.txt", "/r", "csv", "/o", out}), "not a folder");
    expectFailure(run({"/f", tree, "/r", "doc", "/o", out}), "unknown report format \"doc\"");
    expectFailure(run({"/f", tree, "/r", "csv"}), "/o FILE");
    expectFailure(run({"/f", tree, "/o", out}), "/r FORMAT");
    expectFailure(run({"/r", "csv", "/o", out}), "/f PATH");
    // The window without a display: one line naming the way to a report, not Qt's abort.
    expectFailure(run({"/f", tree}), "needs a graphical display");
    expectFailure(run({}), "/r FORMAT /o FILE");
    EXPECT_FALSE(QFileInfo::exists(out));
    expectFailure(report("csv", dir.filePath("no/such/folder/out.csv")), "out.csv");

    // A report that cannot be written leaves the older one of that name as it was.
    QDir().mkpath(dir.filePath("locked"));
    writeFile(dir.filePath("locked/old.csv"), "old report");
    QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner);
    if (::geteuid() != 0) {
        expectFailure(report("csv", dir.filePath("locked/old.csv")), "old.csv");
        EXPECT_EQ(readAll(dir.filePath("locked/old.csv")), "old report");
    }
    QFile::setPermissions(dir.filePath("locked"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // An existing report is replaced by a complete new one.
    writeFile(out, "old report");
    const Outcome replaced = report("csv", out);
    EXPECT_EQ(replaced.status, 0) << replaced.err.data();
    EXPECT_TRUE(readAll(out).startsWith("\"Node\""));
}

// A disk that fills up under the report: every format ends with status 1 and the disk's reason
// on one line, in the window too, and the old report stays byte for byte. Root mounts a small
// file system for it.
TEST_F(HeadlessReport, AFullDiskFailsEveryFormatAndKeepsTheOldReport) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a small file system";
    const QString small = dir.filePath("small");
    QDir().mkpath(small);
    if (::mount("none", QFile::encodeName(small).constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    struct Unmount {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{QFile::encodeName(small)};
    for (int i = 0; i < 300; ++i) // rows enough that every report needs more than the room left
        QDir().mkpath(tree + QStringLiteral("/folder%1").arg(i));
    const QStringList names{"html", "pdf", "csv", "text", "xlsx"};
    const auto old = [](const QString &name) { return "the old report, " + name.toUtf8(); };
    for (const QString &name : names)
        writeFile(small + "/r." + name, old(name));
    struct statvfs fs {};
    ASSERT_EQ(::statvfs(QFile::encodeName(small).constData(), &fs), 0);
    constexpr qint64 Room = 4096; // a PDF writer that is cut short keeps writing nothing more
    writeFile(small + "/filler", QByteArray(qint64(fs.f_bavail * fs.f_frsize) - Room, 'x'));
    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        const Outcome r = report(name, small + "/r." + name);
        EXPECT_EQ(r.status, 1) << r.err.data();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.data();
        EXPECT_TRUE(r.err.contains("No space left on device")) << r.err.data();
        EXPECT_EQ(readAll(small + "/r." + name), old(name));
    }

    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    RecordingPrompts prompts;
    auto form = std::make_unique<frmMain>(&prompts);
    form->setShellLauncher(std::make_unique<RecordingShellLauncher>());
    form->Form_Load("/f \"" + tree + "\"");
    prompts.shown.clear();
    prompts.saveNames << small + "/r.pdf";
    prompts.answers = {Prompts::Yes}; // over-write
    form->mnuExpRep_Click(1);
    ASSERT_FALSE(prompts.shown.empty());
    EXPECT_EQ(prompts.shown.back().icon, Prompts::Icon::Critical);
    EXPECT_TRUE(prompts.shown.back().text.contains("No space left on device"))
        << prompts.shown.back().text.toStdString();
    EXPECT_EQ(readAll(small + "/r.pdf"), old("pdf"));
    EXPECT_EQ(QDir(small).entryList(QDir::Files | QDir::Hidden),
              QStringList({"filler", "r.csv", "r.html", "r.pdf", "r.text", "r.xlsx"}));
}

TEST_F(HeadlessReport, HelpAndVersionNeedNoDisplayAndNoSettings) {
    for (const char *key : {"/?", "-h", "--help"}) {
        const Outcome r = run({key});
        EXPECT_EQ(r.status, 0) << key;
        EXPECT_TRUE(r.out.startsWith("Usage: cairnmeter")) << key;
        EXPECT_TRUE(r.out.contains("/r FORMAT")) << key;
        EXPECT_EQ(r.err, "") << key;
    }
    const Outcome v = run({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "Cairnmeter 1.0.5\n");
    EXPECT_TRUE(QDir(runtime).isEmpty());
    // After a key, a word like an option is the key's value: here a folder that is not there.
    const Outcome folder = run({"/f", "--help", "/r", "csv", "/o", dir.filePath("help.csv")});
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.out, "");
    EXPECT_EQ(folder.err, "cairnmeter: --help/: not a folder\n");
}

TEST_F(HeadlessReport, ASavedScanIsReportedLikeTheScanOfItsTree) {
    QProcess ncdu;
    ncdu.start("ncdu", {"-0", "-o", dir.filePath("tree.json"), tree});
    ASSERT_TRUE(ncdu.waitForFinished(60000)) << "ncdu is installed by scripts/setup";
    ASSERT_EQ(ncdu.exitCode(), 0);
    const Outcome fromFile =
        run({"/i", dir.filePath("tree.json"), "/r", "csv", "/o", dir.filePath("from-file.csv")});
    ASSERT_EQ(fromFile.status, 0) << fromFile.err.data();
    EXPECT_EQ(fromFile.err, "");
    ASSERT_EQ(report("csv", dir.filePath("scanned.csv")).status, 0);
    EXPECT_EQ(readAll(dir.filePath("from-file.csv")), readAll(dir.filePath("scanned.csv")));

    writeFile(dir.filePath("bad.json"), "[1,2,{},[{\"name\":\"/x\"},");
    const Outcome bad =
        run({"/i", dir.filePath("bad.json"), "/r", "csv", "/o", dir.filePath("bad.csv")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err.count('\n'), 1) << bad.err.data();
    EXPECT_TRUE(bad.err.contains("The scan file ends before the scan does")) << bad.err.data();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("bad.csv")));
    const Outcome both = run(
        {"/f", tree, "/i", dir.filePath("tree.json"), "/r", "csv", "/o", dir.filePath("both.csv")});
    EXPECT_EQ(both.status, 1);
    EXPECT_TRUE(both.err.contains("either /f PATH or /i FILE")) << both.err.data();
}

// A folder named with a byte that is not UTF-8 is scanned, opened, shown, saved and reported.
TEST_F(HeadlessReport, NamesThatAreNotUtf8WorkInTheWindowTheReportsAndSavedScans) {
    const QByteArray cafe = QFile::encodeName(dir.path()) + "/caf\xe9";
    const QByteArray sub = cafe + "/d\xe9j\xe0";
    ASSERT_EQ(::mkdir(cafe.constData(), 0755), 0);
    ASSERT_EQ(::mkdir(sub.constData(), 0755), 0);
    const int fd = ::open((sub + "/x").constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, QByteArray(1234, 'x').constData(), 1234), 1234);
    ::close(fd);

    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    RecordingPrompts prompts;
    auto form = std::make_unique<frmMain>(&prompts);
    auto launcher = std::make_unique<RecordingShellLauncher>();
    RecordingShellLauncher &shell = *launcher;
    form->setShellLauncher(std::move(launcher));
    form->startPathBox()->setEditText(NativePath::display(cafe));
    form->cmdBeginScan_Click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    ASSERT_EQ(prompts.shown[0].text, "The scan has finished.");
    int row = -1;
    for (int r = 0; r < form->grid().rows(); ++r)
        if (form->grid().rowDataBytes(r) == sub + "/")
            row = r;
    ASSERT_GE(row, 0);

    form->grid().select(row, 0);
    form->mnuProps_Click();
    auto *dialog = form->findChild<PropertiesDialog *>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->fieldText("Size").startsWith("1,234 bytes"));
    EXPECT_EQ(dialog->fieldText("Type"), "Folder");
    dialog->close();
    shell.fileManagerAnswers = true;
    form->mnuOpenFold_Click(1);
    ASSERT_EQ(shell.requests.size(), 2u);
    EXPECT_TRUE(shell.requests[1].arguments.value(0).endsWith("/caf%E9/d%E9j%E0"))
        << shell.requests[1].arguments.value(0).toStdString();
    EXPECT_EQ(prompts.shown.size(), 1u); // no failure box

    form->grid().select(ScanSession::rootOf(form->grid(), row), 0);
    prompts.saveNames << dir.filePath("cafe.json");
    form->mnuSaveScan_Click();
    EXPECT_TRUE(readAll(dir.filePath("cafe.json")).contains("\"d\xe9j\xe0\""));

    // From the command line: the path's bytes through the shell, and the saved scan.
    const QString script = "exec \"$0\" /f \"$(printf '%s/caf\\351' \"$1\")\" /r csv /o \"$2\"";
    const Outcome scanned = run({dir.path(), dir.filePath("cafe.csv")}, {"/bin/sh", "-c", script});
    EXPECT_EQ(scanned.status, 0) << scanned.err.data();
    const QByteArray csv = readAll(dir.filePath("cafe.csv"));
    EXPECT_TRUE(csv.contains(",\"1.21\",\"KB\",\"1\"")) << csv.data();
    const Outcome opened =
        run({"/i", dir.filePath("cafe.json"), "/r", "csv", "/o", dir.filePath("opened.csv")});
    EXPECT_EQ(opened.status, 0) << opened.err.data();
    EXPECT_EQ(readAll(dir.filePath("opened.csv")).count("\"1.21\""), csv.count("\"1.21\""));
}

// A folder the walk cannot read is named on standard error; the report is written and the
// run ends with status 2. Root reads every folder, so the program then runs as nobody.
TEST_F(HeadlessReport, AnUnreadableFolderIsNamedAndTheRunEndsIncomplete) {
    const QString locked = dir.filePath("locked");
    writeFile(locked + "/open/a", QByteArray(10, 'x'));
    writeFile(locked + "/shut/b", QByteArray(20, 'x'));
    QDir().mkpath(dir.filePath("out"));
    ASSERT_EQ(::chmod(QFile::encodeName(locked + "/shut").constData(), 0), 0);
    QStringList wrapper;
    if (::geteuid() == 0) {
        wrapper = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        for (const QString &open : {dir.path(), dir.filePath("out")})
            ::chmod(QFile::encodeName(open).constData(), 0777);
    }
    const Outcome r = run({"/f", locked, "/r", "csv", "/o", dir.filePath("out/r.csv")}, wrapper);
    ::chmod(QFile::encodeName(locked + "/shut").constData(), 0755);
    EXPECT_EQ(r.status, 2) << r.err.data();
    EXPECT_TRUE(r.err.contains("cairnmeter: could not read " + QFile::encodeName(locked) +
                               "/shut/: Permission denied\n"))
        << r.err.data();
    EXPECT_TRUE(readAll(dir.filePath("out/r.csv")).contains("\" open\",\"0.01\",\"KB\",\"1\""));
}

namespace {

// A chain of folders `depth` deep, each holding one small file, made relative to descriptors
// (the paths pass PATH_MAX).
void makeChain(const QString &top, int depth) {
    QDir().mkpath(top);
    int fd = ::open(QFile::encodeName(top).constData(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < depth && fd >= 0; ++level) {
        const int file = ::openat(fd, "f", O_WRONLY | O_CREAT, 0644);
        if (file >= 0)
            ::close(file);
        ::mkdirat(fd, "c", 0755);
        const int next = ::openat(fd, "c", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    if (fd >= 0)
        ::close(fd);
}

// Removes such a chain from the top down, moving each folder's subfolder up beside it first:
// every path stays short (rm -rf takes the square of the depth over it).
void removeChain(const QString &top) {
    QString folder = top;
    for (int level = 0;; ++level) {
        const QString next = top + QStringLiteral(".%1").arg(level);
        QFile::remove(folder + "/f");
        const bool deeper = QFile::rename(folder + "/c", next);
        QDir().rmdir(folder);
        if (!deeper)
            return;
        folder = next;
    }
}

// Whether the process holds a descriptor of a file or folder at or below `path`.
bool holdsBelow(qint64 pid, const QString &path) {
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString &fd :
         QDir(fds).entryList(QDir::NoDotAndDotDot | QDir::System | QDir::AllEntries))
        if (QFileInfo(fds + '/' + fd).symLinkTarget().startsWith(path))
            return true;
    return false;
}

} // namespace

TEST_F(HeadlessReport, ATerminationSignalEndsTheRunWithStatusOneAndNoReport) {
    // The two places a signal went unheard for a minute: a scan file read to its end (here from
    // a pipe, so the signal surely comes while it is read: half the file before it, the rest
    // after), and a deep walk.
    constexpr int Depth = 3000;
    const QString fifo = dir.filePath("scan.json");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString chain = dir.filePath("chain");
    makeChain(chain, Depth);
    std::signal(SIGPIPE, SIG_IGN); // the program may stop reading before the pipe is written

    struct Case {
        const char *name;
        QStringList source;
        bool fromPipe;
    };
    const Case cases[] = {{"scan file", {"/i", fifo}, true}, {"deep walk", {"/f", chain}, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString out = dir.filePath("cli/out.csv");
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.insert("XDG_CONFIG_HOME", config);
        env.insert("XDG_RUNTIME_DIR", runtime);
        p.setProcessEnvironment(env);
        p.start(CAIRNMETER_BINARY, c.source + QStringList{"/r", "csv", "/o", out});
        ASSERT_TRUE(p.waitForStarted());
        QElapsedTimer waited;
        waited.start();
        if (c.fromPipe) {
            int fd = -1; // the program opens its end once it has started
            while (fd < 0 && waited.elapsed() < 10000 && p.state() == QProcess::Running)
                fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            ASSERT_GE(fd, 0) << "the program did not open the scan file";
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            QByteArray head = "[1,0,{\"progname\":\"test\"},[{\"name\":\"/deep\"}";
            for (int level = 0; level < Depth; ++level)
                head += ",{\"name\":\"f\",\"asize\":10},[{\"name\":\"c\"}";
            const QByteArray tail = QByteArray(Depth, ']') + "]]";
            const auto put = [fd](const QByteArray &bytes) {
                for (qsizetype at = 0; at < bytes.size();) {
                    const ssize_t n = ::write(fd, bytes.constData() + at,
                                              static_cast<std::size_t>(bytes.size() - at));
                    if (n <= 0)
                        return;
                    at += n;
                }
            };
            put(head);
            ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
            put(tail);
            ::close(fd);
        } else {
            // Polled, not slept: the signal goes as soon as the walk holds a folder of the chain.
            while (!holdsBelow(p.processId(), chain) && waited.elapsed() < 10000 &&
                   p.state() == QProcess::Running) {
            }
            ASSERT_TRUE(holdsBelow(p.processId(), chain)) << "the walk was not seen";
            ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        }
        ASSERT_TRUE(p.waitForFinished(10000)) << "the signal was not heard";
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_TRUE(p.readAllStandardError().contains("interrupted; no report written"));
        EXPECT_EQ(QDir(dir.filePath("cli"))
                      .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                  QStringList()); // no report, and no part of one
    }
    removeChain(chain); // deeper than QTemporaryDir can remove
}

namespace {

// The process a wrapper runs as its child, or the process itself without one.
pid_t programOf(const QProcess &p, bool wrapped) {
    const auto pid = static_cast<pid_t>(p.processId());
    if (!wrapped)
        return pid;
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (!children.open(QIODevice::ReadOnly))
        return pid;
    const pid_t child = children.readAll().split(' ').value(0).toInt();
    return child > 0 ? child : pid;
}

} // namespace

// A signal while the report or the scan file is written: the run ends with status 1 at once,
// and neither the file nor a part of it is left. A PDF report of many rows takes long to
// write; the scan file is written in moments, so its disk is made slow: the sync is held.
TEST_F(HeadlessReport, ASignalWhileTheFileIsWrittenEndsTheRunAndLeavesNoFile) {
    // A saved scan of 30,000 folders side by side, shown as as many rows (over 20 seconds of
    // pages before the signal was heard between them).
    QByteArray wide = "[1,0,{\"progname\":\"test\"},[{\"name\":\"/wide\"}";
    for (int i = 0; i < 30000; ++i)
        wide += ",[{\"name\":\"folder" + QByteArray::number(i) + "\"}]";
    writeFile(dir.filePath("wide.json"), wide + "]]");
    const QString out = dir.filePath("cli");
    struct Case {
        const char *name;
        QStringList arguments, wrapper;
    };
    const Case cases[] = {
        {"PDF report", {"/i", dir.filePath("wide.json"), "/r", "pdf", "/o", out + "/r.pdf"}, {}},
        {"saved scan",
         {"/f", tree, "/s", out + "/scan.json"},
         {"strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=fsync", "-e",
          "inject=fsync:delay_enter=3000000"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QProcess p;
        start(p, c.arguments, c.wrapper);
        ASSERT_TRUE(p.waitForStarted()) << "strace is installed by scripts/setup";
        // Polled: the signal goes as soon as the unfinished file is there.
        const auto writing = [&] {
            return !QDir(out).entryList({".*.part"}, QDir::Files | QDir::Hidden).isEmpty();
        };
        QElapsedTimer waited;
        waited.start();
        while (!writing() && waited.elapsed() < 60000 && p.state() == QProcess::Running)
            QThread::msleep(1);
        ASSERT_TRUE(writing()) << "the write was not seen: " << p.readAllStandardError().data();
        ::kill(programOf(p, !c.wrapper.isEmpty()), SIGTERM);
        ASSERT_TRUE(p.waitForFinished(10000)) << "the signal was not heard";
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_TRUE(p.readAllStandardError().toLower().contains("interrupted"));
        EXPECT_EQ(QDir(out).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                  QStringList()); // no file, and no part of one
    }
}

// A cron-style run saves the scan; a later run reports the change since it, naming both dates;
// /c without a report, or a damaged earlier scan, writes nothing.
TEST_F(HeadlessReport, SavesAScanAndReportsTheChangeSinceIt) {
    const QString saved = dir.filePath("cli/monday.json");
    Outcome r = run({"/f", tree, "/s", saved});
    ASSERT_EQ(r.status, 0) << r.err.data();
    ASSERT_TRUE(QFileInfo::exists(saved));

    writeFile(tree + "/sub/grown", QByteArray(5000, 'x'));
    ASSERT_TRUE(QDir(tree + "/empty").removeRecursively());
    const QString csv = dir.filePath("cli/change.csv");
    r = run({"/f", tree, "/c", saved, "/r", "csv", "/o", csv});
    ASSERT_EQ(r.status, 0) << r.err.data();
    const QList<QByteArray> lines = readAll(csv).split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], "\"Node\",\"Size\",\"\",\"# of Files\",\"Change\",\"Files Change\"\r");
    EXPECT_TRUE(lines[2].endsWith(",\"+4.88 KB\",\"+1\"\r")) << lines[2].data();
    EXPECT_TRUE(readAll(csv).contains("\" empty\",\"0\",\"KB\",\"0\",\"(gone)\",\"\""));

    const QString html = dir.filePath("cli/change.html");
    r = run({"/f", tree, "/c", saved, "/r", "html", "/o", html});
    ASSERT_EQ(r.status, 0) << r.err.data();
    EXPECT_TRUE(readAll(html).contains(": changes from the scan of "));

    const QString none = dir.filePath("cli/none.csv");
    EXPECT_EQ(run({"/f", tree, "/c", saved}).status, 1);
    writeFile(dir.filePath("cli/bad.json"), "[1,2,{}");
    r = run({"/f", tree, "/c", dir.filePath("cli/bad.json"), "/r", "csv", "/o", none});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(QFileInfo::exists(none));
}

// Memory that runs out ends a run as any failure does, wherever it runs out (reading the earlier
// scan, comparing, putting the grid away): status 1, one line, no report. The runs read a saved
// scan rather than walk, so that no worker threads take address space of their own.
TEST_F(HeadlessReport, RunningOutOfMemoryEndsWithStatusOneAndOneLine) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer's shadow memory takes more address space than any limit";
#endif
    const QString small = dir.filePath("cli/small.json");
    ASSERT_EQ(run({"/f", tree, "/s", small}).status, 0);
    // An earlier scan of 300,000 folders: 7 MB of text, hundreds of megabytes of rows.
    QByteArray text = "[1,2,{\"progname\":\"test\",\"timestamp\":1},[{\"name\":\"/r\"}";
    for (int i = 0; i < 300000; ++i)
        text += ",[{\"name\":\"d" + QByteArray::number(i) + "\"}]";
    writeFile(dir.filePath("cli/old.json"), text + "]]");
    const QString out = dir.filePath("cli/out.csv");
    for (const int mib : {140, 180, 220}) {
        const QStringList limit{"prlimit", QStringLiteral("--as=%1").arg(qint64(mib) << 20)};
        const Outcome fits = run({"/i", small, "/c", small, "/r", "csv", "/o", out}, limit);
        ASSERT_EQ(fits.status, 0) << mib << " MiB leave no room for any run: " << fits.err.data();
        ASSERT_TRUE(QFile::remove(out));
        const Outcome r =
            run({"/i", small, "/c", dir.filePath("cli/old.json"), "/r", "csv", "/o", out}, limit);
        EXPECT_EQ(r.status, 1) << mib << " MiB";
        EXPECT_TRUE(r.err.startsWith("cairnmeter: ")) << r.err.data();
        EXPECT_TRUE(r.err.endsWith("Out of memory\n")) << r.err.data();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.data();
        EXPECT_FALSE(QFileInfo::exists(out));
    }
}

// With the option on, every format adds the selection's largest files after the tree, the
// largest first and at most 100 of them, and says how many there are; the tree part is the
// report made without the option.
TEST_F(HeadlessReport, TheLargestFilesFollowTheTreeWhenTheOptionIsOn) {
    for (int i = 0; i < 120; ++i) // 100 to 219 bytes: all but the 23 smallest make the list
        writeFile(tree + QStringLiteral("/many/f%1").arg(i + 100), QByteArray(i + 100, 'x'));
    writeFile(ini, "[Appearance]\r\nObject_Size=0\r\n[Scan]\r\nLargest_Files_In_Reports=1\r\n");
    const QStringList names{"html", "pdf", "csv", "text", "xlsx"};
    for (const QString &name : names) {
        const Outcome r = report(name, dir.filePath("cli/largest." + name));
        ASSERT_EQ(r.status, 0) << name.toStdString() << ": " << r.err.data();
    }
    const QString root = tree + u'/';
    const QByteArray note = "Every file is kept; the largest 100 of 124 are listed.";

    const QByteArray csv = readAll(dir.filePath("cli/largest.csv"));
    const QByteArray tail = csv.mid(csv.indexOf("\r\n\r\n") + 4);
    const QList<QByteArray> lines = tail.split('\n');
    ASSERT_EQ(lines.size(), 3 + 100 + 1) << tail.data();
    EXPECT_EQ(lines[0], "\"Largest files in " + root.toUtf8() + "\"\r");
    EXPECT_EQ(lines[1], "\"" + note + "\"\r");
    EXPECT_EQ(lines[2], "\"Name\",\"Size\",\"Modified\",\"Folder\"\r");
    EXPECT_TRUE(lines[3].startsWith("\"q\",\"4,096 B\",\"")) << lines[3].data();
    EXPECT_TRUE(lines[3].endsWith(",\"" + root.toUtf8() + "say \"\"hi\"\"/\"\r"));
    EXPECT_TRUE(lines[4].startsWith("\"b.bin\",\"2,500 B\",")) << lines[4].data();
    EXPECT_TRUE(lines[5].startsWith("\"a.txt\",\"1,000 B\",")) << lines[5].data();
    EXPECT_TRUE(lines[6].startsWith("\"f219\",\"219 B\",")) << lines[6].data();
    EXPECT_TRUE(lines[102].startsWith("\"f123\",\"123 B\",")) << lines[102].data();
    EXPECT_EQ(lines[103], "");
    // The tree part is unchanged but for the unit of its sizes.
    writeFile(ini, "[Appearance]\r\nObject_Size=0\r\n");
    const QString plain = dir.filePath("cli/plain.csv");
    ASSERT_EQ(report("csv", plain).status, 0);
    EXPECT_EQ(csv.left(csv.indexOf("\r\n\r\n") + 2), readAll(plain));

    const QByteArray text = readAll(dir.filePath("cli/largest.text"));
    EXPECT_TRUE(text.contains("\r\n\r\nLargest files in " + root.toUtf8() + "\r\n" + note +
                              "\r\nName" + QByteArray(25, ' ') + "Size" + QByteArray(11, ' ') +
                              "Modified" + QByteArray(12, ' ') + "Folder\r\nq" +
                              QByteArray(28, ' ') + "4,096 B"))
        << text.data();

    const QByteArray html = readAll(dir.filePath("cli/largest.html"));
    const qsizetype list = html.indexOf("<b>Largest files in " + root.toUtf8() + "</b><br>" + note);
    EXPECT_GT(list, html.indexOf("</TABLE>")) << html.data();
    EXPECT_LT(html.indexOf("<TD>q</TD><TD ALIGN=RIGHT>4,096 B</TD>", list),
              html.indexOf("<TD>f123</TD>", list));
    EXPECT_EQ(html.count("<TR><TD>"), 100);

    const QByteArray pdf = runTool("pdftotext", {dir.filePath("cli/largest.pdf"), "-"});
    EXPECT_TRUE(pdf.contains(note)) << pdf.data();
    EXPECT_LT(pdf.indexOf("b.bin"), pdf.lastIndexOf("f123"));

    const QByteArray book = workbookParts(dir.filePath("cli/largest.xlsx"));
    EXPECT_TRUE(book.contains("xl/worksheets/sheet2.xml")) << book.data();
    EXPECT_TRUE(book.contains("name=\"Largest files\"")) << book.data();
    EXPECT_TRUE(book.mid(book.indexOf("xl/worksheets/sheet2.xml")).contains("<v>2500</v>"));
}
