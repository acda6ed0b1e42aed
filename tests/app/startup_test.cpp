#include "MainFixture.h"

#include "Chart.h"
#include "ChartView.h"
#include "CommandLine.h"
#include "NativeText.h"
#include "OutlineGridView.h"
#include "ScanTree.h"
#include "basInitEntry.h"

#include <QAction>
#include <QCoreApplication>
#include <QHeaderView>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A window started the way main() starts it, with its settings in a folder of the test's own.
struct StartupFixture : MainFixture {
    QTemporaryDir config;
    QString ini;

    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        ini = config.path() + "/Velmoria/Cairnmeter/Cairnmeter.ini";
        MainFixture::SetUp();
    }
    void TearDown() override {
        form.reset();
        qunsetenv("XDG_CONFIG_HOME");
    }
    void writeIni(const QByteArray &text) {
        QDir().mkpath(config.path() + "/Velmoria/Cairnmeter");
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    // A fresh window, loaded from the settings file and the given command line.
    void restart(const QString &commandLine = QString()) {
        form = std::make_unique<frmMain>(&prompts);
        form->Form_Load(commandLine);
    }
    QString read(const char *section, const char *key) const {
        return basInitEntry::ReadIniEntry(section, key, "<none>", ini);
    }
    int checked(QAction *(frmMain::*item)(int) const) const {
        for (int i = 0; i < 10; ++i)
            if ((form.get()->*item)(i)->isChecked())
                return i;
        return -1;
    }
};

} // namespace

TEST_F(StartupFixture, FirstStartUsesEveryDefaultAndTheFirstExitWritesEveryKey) {
    restart();
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(QFileInfo(config.path() + "/Velmoria/Cairnmeter").isDir());
    EXPECT_FALSE(QFile::exists(ini)); // nothing written before the exit
    EXPECT_TRUE(form->isChartShown());
    EXPECT_FALSE(form->onTopAction()->isChecked());
    EXPECT_EQ(checked(&frmMain::opacityAction), 0);
    EXPECT_EQ(checked(&frmMain::sortAction), 9);
    EXPECT_EQ(form->scanTree().SizeUnit(), "MB");
    EXPECT_EQ(form->grid().colFormat(1), "#,##0.##");
    EXPECT_EQ(form->chart().chartType(), Chart::Type::Pie);
    EXPECT_EQ(form->startPathBox()->currentText(), "/");
    EXPECT_EQ(form->grid().text(1, 2), "MB");
    form->close();
    ASSERT_TRUE(QFile::exists(ini));
    const std::pair<const char *, const char *> keys[] = {
        {"Scan", "Match_Parameters"},
        {"Scan", "Recurse_Subfolders"},
        {"Scan", "Collapse_Root_Nodes_B4_Scan"},
        {"Scan", "Clear_Nodes_B4_Scan"},
        {"Scan", "Imm_Scan_On_Path_Selection"},
        {"Scan", "Redraw_Scan_Progress"},
        {"Scan", "Size_Basis"},
        {"Scan", "Kept_Files"},
        {"Scan", "Stay_On_File_System"},
        {"Scan", "Largest_Files_In_Reports"},
        {"Appearance", "Object_Size"},
        {"Appearance", "Object_Size_Format"},
        {"Appearance", "Display_Wallpaper"},
        {"Appearance", "Display_Gridlines"},
        {"Appearance", "Root_Font_Color"},
        {"Appearance", "HighLight_Border_Color"},
        {"Appearance", "HighLight_Fill_Color"},
        {"Appearance", "HighLight_Fill_Transparent"},
        {"Chart", "Chart_Type"},
        {"Chart", "3D_Effects"},
        {"Chart", "Chart_In_PDF_Output"},
        {"Chart", "Chart_In_HTML_Output"},
        {"Chart", "Other_Label"},
        {"Chart", "Treemap_Cushions"},
        {"Main", "Col0Width"},
        {"Main", "Col5Width"},
        {"Main", "fgTree_Width"},
        {"Main", "chMain_Width"},
        {"Main", "chMain_Left"},
        {"Main", "Disp_Chart"},
        {"Main", "OnTop"},
        {"Main", "Opacity"},
        {"Main", "Sort"},
        {"Start_Path_Items", "Number"},
        {"Start_Path_Items", "Current"},
        {"Positions", "frmMain"}};
    for (auto [section, key] : keys)
        EXPECT_NE(read(section, key), "<none>") << section << "/" << key;
    EXPECT_EQ(read("Main", "Sort"), "-1");
    EXPECT_EQ(read("Appearance", "Root_Font_Color"), "16711680");
    EXPECT_EQ(read("Main", "Opacity"), "100");
}

TEST_F(StartupFixture, AMissingConfigurationFolderIsMadeToo) {
    qputenv("XDG_CONFIG_HOME", (config.path() + "/not/yet").toLocal8Bit());
    restart();
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(QFileInfo(config.path() + "/not/yet/Velmoria/Cairnmeter").isDir());
}

TEST_F(StartupFixture, OutOfRangeValuesAreRepairedOrIgnored) {
    writeIni("[Appearance]\nObject_Size=7\n[Main]\nOpacity=85\nSort=999\n");
    restart();
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(form->scanTree().SizeUnit(), "B");
    EXPECT_EQ(checked(&frmMain::opacityAction), 0);
    EXPECT_EQ(checked(&frmMain::sortAction), 9);
    writeIni("[Main]\nOpacity=90\nSort=200\nDisp_Chart=0\n[Chart]\nChart_Type=1\n3D_Effects=1\n");
    restart();
    EXPECT_EQ(checked(&frmMain::opacityAction), 1);
    EXPECT_NEAR(form->windowOpacity(), 230 / 255.0, 0.01);
    EXPECT_EQ(checked(&frmMain::sortAction), 3);
    EXPECT_FALSE(form->isChartShown());
    EXPECT_EQ(form->chart().chartType(), Chart::Type::Bar);
}

TEST_F(StartupFixture, ABooleanThatIsNotANumberStopsTheReadingWithTheLoadError) {
    writeIni("[Main]\nSort=201\n[Scan]\nRecurse_Subfolders=yes\nClear_Nodes_B4_Scan=1\n");
    restart();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].title, "Error in Form_Load");
    // The description names the value and the file, so the user can mend it.
    EXPECT_TRUE(prompts.shown[0].text.startsWith(
        "13\nType mismatch: the value of Recurse_Subfolders in section [Scan] of " + ini +
        "\nLine: "))
        << prompts.shown[0].text.toStdString();
    EXPECT_EQ(checked(&frmMain::sortAction), 4);        // read before the error: kept
    EXPECT_FALSE(form->settings().Clear_Nodes_B4_Scan); // after it: never read
    EXPECT_TRUE(form->isVisible());                     // the window opens all the same
}

TEST_F(StartupFixture, SavingStoresFifteenPathsAndDeletesEmptyValues) {
    restart();
    for (int i = 0; i < 20; ++i)
        form->AddToList(QString("/path/%1/").arg(i));
    form->settings().Object_Size_Format = "";
    form->startPathBox()->setEditText("");
    form->close();
    EXPECT_EQ(read("Start_Path_Items", "Number"), "15");
    EXPECT_EQ(read("Start_Path_Items", "0"), "/path/19/");
    EXPECT_EQ(read("Start_Path_Items", "14"), "/path/5/");
    EXPECT_EQ(read("Start_Path_Items", "15"), "<none>");
    EXPECT_EQ(read("Start_Path_Items", "Current"), "<none>");
    EXPECT_EQ(read("Appearance", "Object_Size_Format"), "<none>");
    restart();
    EXPECT_EQ(form->grid().colFormat(1), "#,##0.##");
    EXPECT_EQ(form->startPathBox()->count(), 15);
    EXPECT_EQ(form->startPathBox()->currentText(), "/"); // start-up puts the system root back
}

TEST_F(StartupFixture, SettingsAndLayoutSurviveARestart) {
    restart();
    form->mnuSort_Click(4);
    form->mnuSetOpacity_Click(2);
    form->ShowTheChart(false);
    form->grid().setColWidth(0, 4000);
    form->close();
    restart();
    EXPECT_EQ(checked(&frmMain::sortAction), 4);
    EXPECT_EQ(checked(&frmMain::opacityAction), 2);
    EXPECT_FALSE(form->isChartShown());
    EXPECT_EQ(form->grid().colWidth(0), 4000);
}

TEST_F(StartupFixture, APathOnTheCommandLineIsScannedOnceTheWindowShows) {
    restart("/f \"" + root + "\"");
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->startPathBox()->currentText(), root + "/");
    ASSERT_FALSE(prompts.shown.empty());
    EXPECT_EQ(prompts.shown.back().text, "The scan has finished.");
    EXPECT_EQ(form->grid().text(2, 0), root + "/");
}

TEST_F(StartupFixture, TerminationSignalClosesTheProgramAndSavesItsSettings) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", config.path());
    program.setProcessEnvironment(env);
    // With a path to scan, the signal finds the program scanning or showing its "finished"
    // box; either way it must end and save.
    program.start(CAIRNMETER_BINARY, {"/f", root});
    ASSERT_TRUE(program.waitForStarted(10000));
    // The signal handler is in place before start-up makes the settings folder; once the
    // folder is there, ask the program to end.
    for (int i = 0; i < 400 && !QFileInfo(config.path() + "/Velmoria/Cairnmeter").isDir(); ++i)
        QThread::msleep(25);
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(read("Main", "Sort"), "-1");
    EXPECT_NE(read("Positions", "frmMain"), "<none>");
}

TEST_F(StartupFixture, ACloseAskedForWhileStartingWaitsForTheStartToFinish) {
    writeIni("[Main]\nSort=201\n");
    form = std::make_unique<frmMain>(&prompts);
    // Delivered at the first yield of start-up, while the settings are being read.
    QMetaObject::invokeMethod(form.get(), &QWidget::close, Qt::QueuedConnection);
    form->Form_Load("/f \"" + root + "\"");
    EXPECT_EQ(form->grid().rows(), 2); // no scan once a close is pending
    QCoreApplication::processEvents();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(read("Main", "Sort"), "201"); // saved after everything was read
    EXPECT_NE(read("Scan", "Match_Parameters"), "<none>");
}

TEST_F(StartupFixture, AnErrorDuringStartUpEndsItBeforeTheCommandLineScan) {
    writeIni("[Positions]\nfrmMain=1200,900,12000,8000,maximized\n");
    restart("/f \"" + root + "\"");
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].title, "Error in Form_Load");
    EXPECT_EQ(prompts.shown[0].text, "13\nType mismatch\nLine: 16");
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->grid().rows(), 2); // nothing scanned
}

TEST_F(StartupFixture, AChartHiddenAtStartComesBackAtItsStoredWidth) {
    writeIni("[Main]\nDisp_Chart=0\nchMain_Width=4500\nchMain_Left=6000\n");
    restart();
    ASSERT_FALSE(form->isChartShown());
    const double tpp = form->twipsPerPixel();
    form->mnuDispChart_Click();
    ASSERT_TRUE(form->isChartShown());
    // Its former width, less the 100 twips the layout keeps free at the right.
    EXPECT_NEAR(form->chartView()->width() * tpp, 4500 - 100, tpp);
    form->mnuDispChart_Click();
    form->close();
    EXPECT_NEAR(read("Main", "chMain_Width").toDouble(), 4500 - 100, tpp);

    // Closed while still hidden, the stored width is kept as it was.
    writeIni("[Main]\nDisp_Chart=0\nchMain_Width=4500\nchMain_Left=6000\n");
    restart();
    form->close();
    EXPECT_NEAR(read("Main", "chMain_Width").toDouble(), 4500, tpp);
}

TEST_F(StartupFixture, APathArgumentIsScannedWholeWhateverItHolds) {
    const QByteArray native = QFile::encodeName(root) + "/x=1 caf\xe9:\"2\"";
    ASSERT_EQ(::mkdir(native.constData(), 0755), 0);
    const QByteArray file = native + "/f";
    const int fd = ::open(file.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "1234567", 7), 7);
    ::close(fd);
    const char *argv[] = {"cairnmeter", "/f", native.constData()};
    restart(CommandLine::fromArgv(3, argv));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "The scan has finished.");
    EXPECT_EQ(form->grid().rowDataBytes(2), native + "/");
    EXPECT_EQ(form->grid().text(2, 4), "7");
    // The path list keeps the name's bytes through the settings file.
    form->close();
    restart();
    ASSERT_GE(form->startPathBox()->count(), 1);
    EXPECT_EQ(NativeText::encode(form->startPathBox()->itemText(0)), native + "/");
}

// Every setting the program keeps, with a stored text other than its default; the colours
// differ from one another, so one saved under another's key shows.
struct StoredSetting {
    const char *section, *key, *text;
};
constexpr StoredSetting everySetting[] = {
    {"Scan", "Match_Parameters", "*.mp3;*.ogg"},
    {"Scan", "Recurse_Subfolders", "0"},
    {"Scan", "Collapse_Root_Nodes_B4_Scan", "0"},
    {"Scan", "Clear_Nodes_B4_Scan", "1"},
    {"Scan", "Imm_Scan_On_Path_Selection", "0"},
    {"Scan", "Redraw_Scan_Progress", "2"},
    {"Scan", "Size_Basis", "1"},
    {"Scan", "Kept_Files", "5000"},
    {"Scan", "Stay_On_File_System", "1"},
    {"Scan", "Exclude_Folders", ".cache;/srv/*/tmp"},
    {"Scan", "Largest_Files_In_Reports", "1"},
    {"History", "Keep_History", "0"},
    {"History", "History_Count", "3"},
    {"History", "History_Max_MB", "50"},
    {"Appearance", "Object_Size", "1"},
    {"Appearance", "Object_Size_Format", "#,##0.0"},
    {"Appearance", "Display_Wallpaper", "0"},
    {"Appearance", "Display_Gridlines", "1"},
    {"Appearance", "Root_Font_Color", "255"},
    {"Appearance", "HighLight_Border_Color", "65280"},
    {"Appearance", "HighLight_Fill_Color", "12632256"},
    {"Appearance", "HighLight_Fill_Transparent", "1"},
    {"Chart", "Chart_Type", "1"},
    {"Chart", "3D_Effects", "1"},
    {"Chart", "Chart_In_PDF_Output", "0"},
    {"Chart", "Chart_In_HTML_Output", "0"},
    {"Chart", "Other_Label", "The rest"},
    {"Chart", "Treemap_Cushions", "0"},
    {"Main", "Col0Width", "3000"},
    {"Main", "Col1Width", "1005"},
    {"Main", "Col2Width", "405"},
    {"Main", "Col3Width", "795"},
    {"Main", "Col4Width", "900"},
    {"Main", "Col5Width", "600"},
    {"Main", "chMain_Width", "4500"},
    {"Main", "chMain_Left", "6000"},
    {"Main", "Disp_Chart", "0"},
    {"Main", "OnTop", "1"},
    {"Main", "Opacity", "70"},
    {"Main", "Sort", "201"},
    {"Start_Path_Items", "Number", "2"},
    {"Start_Path_Items", "0", "/srv/a/"},
    {"Start_Path_Items", "1", "/srv/b/"},
};

TEST_F(StartupFixture, EverySettingSurvivesARestartUnderItsOwnKey) {
    QByteArray text;
    QByteArray section;
    for (const StoredSetting &s : everySetting) {
        if (section != s.section) {
            section = s.section;
            text += "[" + section + "]\r\n";
        }
        text += QByteArray(s.key) + "=" + s.text + "\r\n";
    }
    writeIni(text);
    restart();
    ASSERT_TRUE(prompts.shown.empty()) << prompts.shown[0].text.toStdString();
    // A few of them as the window shows them.
    EXPECT_EQ(form->scanTree().SizeUnit(), "KB");
    EXPECT_EQ(form->grid().colFormat(1), "#,##0.0");
    EXPECT_EQ(form->chart().chartType(), Chart::Type::Bar);
    EXPECT_FALSE(form->isChartShown());
    EXPECT_TRUE(form->onTopAction()->isChecked());
    EXPECT_EQ(checked(&frmMain::opacityAction), 3);
    EXPECT_EQ(checked(&frmMain::sortAction), 4);
    EXPECT_EQ(form->settings().Other_Label, "The rest");
    EXPECT_EQ(form->settings().Kept_Files, 5000u);
    EXPECT_EQ(form->settings().Exclude_Folders, ".cache;/srv/*/tmp");
    EXPECT_TRUE(form->settings().Largest_Files_In_Reports);
    EXPECT_TRUE(form->sizeBasisAction(1)->isChecked());
    EXPECT_FALSE(form->sizeBasisAction(0)->isChecked());
    EXPECT_EQ(form->settings().Root_Font_Color, 255u);
    EXPECT_EQ(form->settings().HighLight_Border_Color, 65280u);
    EXPECT_EQ(form->startPathBox()->count(), 2);
    form->close();

    // Saved back, every one holds its own value under its own key...
    for (const StoredSetting &s : everySetting)
        EXPECT_EQ(read(s.section, s.key), s.text) << s.section << "/" << s.key;
    // ...and no key the table does not know was added (a key spelt otherwise in loading or
    // saving would be): only the grid's width, which follows the window, the start path box's
    // text and the window's placement come on top.
    QStringList keys;
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.contains('='))
            keys << QString::fromUtf8(line.left(line.indexOf('=')));
    EXPECT_EQ(keys.size(), static_cast<qsizetype>(std::size(everySetting)) + 3)
        << keys.join(' ').toStdString();
    EXPECT_TRUE(keys.contains("fgTree_Width"));
    EXPECT_TRUE(keys.contains("Current"));
    EXPECT_TRUE(keys.contains("frmMain"));
}

TEST_F(StartupFixture, SettingsTheLoadNeverReachedKeepTheirStoredTextAtExit) {
    writeIni("[Main]\r\nDisp_Chart=yes\r\nSort=201\r\nOpacity=70\r\nCol0Width=4005\r\n"
             "chMain_Left=6000\r\n"
             "[Appearance]\r\nObject_Size=1\r\nRoot_Font_Color=255\r\n"
             "[Scan]\r\nMatch_Parameters=*.mp3\r\nRecurse_Subfolders=0\r\n"
             "[Start_Path_Items]\r\nNumber=2\r\n0=/srv/a/\r\n1=/srv/b/\r\n"
             "[Positions]\r\nfrmMain=750,600,10050,7050,0\r\n");
    restart();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].title, "Error in Form_Load");
    // During the run the user changes one setting and scans one path.
    form->mnuSetOpacity_Click(5);
    scan(root);
    form->close();
    // The value that could not be read is stored as the one in use, so the next start is
    // clean; what was never reached is written back as it stood...
    EXPECT_EQ(read("Main", "Disp_Chart"), "1");
    EXPECT_EQ(read("Main", "Sort"), "201");
    EXPECT_EQ(read("Main", "Col0Width"), "4005");
    EXPECT_EQ(read("Main", "chMain_Left"), "6000");
    EXPECT_EQ(read("Appearance", "Object_Size"), "1");
    EXPECT_EQ(read("Appearance", "Root_Font_Color"), "255");
    EXPECT_EQ(read("Scan", "Match_Parameters"), "*.mp3");
    EXPECT_EQ(read("Scan", "Recurse_Subfolders"), "0");
    EXPECT_EQ(read("Positions", "frmMain"), "750,600,10050,7050,0");
    // ...what the user changed is saved, and the new path joins the stored history.
    EXPECT_EQ(read("Main", "Opacity"), "50");
    EXPECT_EQ(read("Start_Path_Items", "Number"), "3");
    EXPECT_EQ(read("Start_Path_Items", "0"), root + "/");
    EXPECT_EQ(read("Start_Path_Items", "1"), "/srv/a/");
    EXPECT_EQ(read("Start_Path_Items", "2"), "/srv/b/");

    prompts.shown.clear();
    restart();
    EXPECT_TRUE(prompts.shown.empty()) << prompts.shown.front().text.toStdString();
    EXPECT_EQ(checked(&frmMain::sortAction), 4) << "the kept Sort=201 is read this time";
}

// Start-up reads the settings file once, not once per setting.
TEST_F(StartupFixture, StartUpOpensTheSettingsFileOnce) {
    writeIni("[Main]\r\nSort=201\r\n[Start_Path_Items]\r\nNumber=1\r\n0=/srv/a/\r\n"
             "[Positions]\r\nfrmMain=750,600,10050,7050,0\r\n");
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(ini).constData(), IN_OPEN), 0);
    restart();
    int opens = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
        for (char *p = buffer; p < buffer + n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(p);
            opens += (event->mask & IN_OPEN) != 0;
            p += sizeof(inotify_event) + event->len;
        }
    ::close(watch);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(checked(&frmMain::sortAction), 4) << "the settings were read";
    EXPECT_EQ(form->startPathBox()->itemText(0), "/srv/a/");
    EXPECT_EQ(opens, 1);
}

TEST_F(StartupFixture, TheSizeUnitIsReadBeforeTheOtherSettings) {
    writeIni("[Main]\r\nDisp_Chart=yes\r\n"
             "[Appearance]\r\nObject_Size=1\r\nObject_Size_Format=#,##0.000\r\n");
    restart();
    ASSERT_EQ(prompts.shown.size(), 1u); // the load stopped at its first setting
    EXPECT_EQ(form->scanTree().SizeUnit(), "KB");
    EXPECT_EQ(form->grid().colFormat(1), "#,##0.000");
    EXPECT_EQ(form->grid().text(1, 2), "KB");
    scan(root); // and a scan keeps them
    EXPECT_EQ(form->grid().colFormat(1), "#,##0.000");
    EXPECT_EQ(form->grid().text(2, 2), "KB");
}

TEST_F(StartupFixture, ColumnWidthsOutOfRangeAreRepairedToTheirDefaults) {
    writeIni("[Main]\r\nCol0Width=1e15\r\nCol1Width=-5\r\nCol2Width=600\r\n");
    restart();
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(form->grid().colWidth(0), 3045);
    EXPECT_EQ(form->grid().colWidth(1), 990);
    EXPECT_EQ(form->grid().colWidth(2), 600);
    form->close();
    EXPECT_EQ(read("Main", "Col0Width"), "3045");
    EXPECT_EQ(read("Main", "Col1Width"), "990");
}

// On a first start the splitter leaves the tree room for the name, size, unit and file count
// at the widths that fit the interface font, so no size hides behind the horizontal scroll
// bar; a stored splitter position still wins.
TEST_F(StartupFixture, WithoutAStoredSplitterTheTreeShowsItsSizesWhole) {
    restart();
    form->show();
    QCoreApplication::processEvents();
    const OutlineGridView *view = form->gridView();
    const QHeaderView *header = view->header();
    for (int col : {TreeCol::Size, TreeCol::Unit, TreeCol::Files})
        EXPECT_LE(header->sectionViewportPosition(col) + header->sectionSize(col),
                  view->viewport()->width())
            << col;
    EXPECT_GT(form->chartView()->width(), form->width() / 3); // the chart keeps its room
    form->close();

    writeIni("[Main]\nchMain_Left=6000\n");
    restart();
    form->show();
    QCoreApplication::processEvents();
    const double tpp = form->twipsPerPixel();
    EXPECT_NEAR(form->chartView()->x() * tpp, 6000, 2 * tpp);
}

// A window made narrower than the splitter allows moves the splitter left; made wide again, the
// splitter goes back where it was put.
TEST_F(StartupFixture, TheSplitterComesBackWhenTheWindowGrowsAgain) {
    restart();
    form->resize(1200, 700);
    form->show();
    QCoreApplication::processEvents();
    const double tpp = form->twipsPerPixel();
    const int placed = static_cast<int>((1200 - 300) * tpp); // well right of the middle
    form->setSplitterLeft(placed);
    QCoreApplication::processEvents();
    ASSERT_NEAR(form->splitterLeft(), placed, tpp);
    form->resize(700, 700);
    QCoreApplication::processEvents();
    ASSERT_LT(form->splitterLeft(), placed - 1000); // the chart keeps its least room
    form->resize(1200, 700);
    QCoreApplication::processEvents();
    EXPECT_NEAR(form->splitterLeft(), placed, tpp);
    EXPECT_NEAR(form->chartView()->x(), form->gridView()->width() + 4, 8); // laid out anew
}
