#include "PdfFixture.h"
#include "RecordingPrompts.h"
#include "RecordingShellLauncher.h"
#include "ReplacingFile.h"
#include "frmMain.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QPalette>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <system_error>

namespace {

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

// The main window after a scan of a small tree, with the user's documents folder in a
// temporary folder (named through the XDG user-dirs file, as a desktop names it).
struct ExportCommand : ::testing::Test {
    QTemporaryDir dir;
    RecordingPrompts prompts;
    RecordingShellLauncher *shell = nullptr;
    std::unique_ptr<frmMain> form;
    QString documents, reports;
    QByteArray savedConfigHome = qgetenv("XDG_CONFIG_HOME");

    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        documents = dir.filePath("My Documents");
        QDir().mkpath(documents);
        QDir().mkpath(dir.filePath("config"));
        writeFile(dir.filePath("config/user-dirs.dirs"),
                  "XDG_DOCUMENTS_DIR=\"" + documents.toUtf8() + "\"\n");
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        reports = documents + "/Velmoria/Cairnmeter/Reports/";

        QDir().mkpath(dir.filePath("tree/sub"));
        writeFile(dir.filePath("tree/a.txt"), QByteArray(100, 'x'));
        writeFile(dir.filePath("tree/sub/b.bin"), QByteArray(2000, 'x'));

        form = std::make_unique<frmMain>(&prompts);
        auto launcher = std::make_unique<RecordingShellLauncher>();
        shell = launcher.get();
        form->setShellLauncher(std::move(launcher));
        form->settings().Object_Size = 0;
        form->show();
    }
    void TearDown() override {
        form.reset();
        qputenv("XDG_CONFIG_HOME", savedConfigHome);
    }

    void scan() {
        form->startPathBox()->setEditText(dir.filePath("tree"));
        form->cmdBeginScan_Click();
        prompts.shown.clear();
    }
    // The window is usable again: controls on, Abort off, no busy pointer left behind.
    void expectRestored() const {
        EXPECT_TRUE(form->findChild<QComboBox *>("cboStartPath")->isEnabled());
        EXPECT_TRUE(form->grid().isEnabled());
        EXPECT_TRUE(form->fileMenu()->menuAction()->isEnabled());
        for (QPushButton *b : form->findChildren<QPushButton *>())
            EXPECT_EQ(b->isEnabled(), b->objectName() != "cmdAbort") << b->text().toStdString();
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    QStringList messages() const {
        QStringList out;
        for (const auto &s : prompts.shown)
            if (s.kind == "message")
                out << s.title + ": " + s.text;
        return out;
    }
    std::vector<RecordingShellLauncher::Request> opened() const { return shell->requests; }
};

TEST_F(ExportCommand, TheFileMenuOffersTheFoldersAndTheFormatsThatHaveWriters) {
    QStringList items;
    for (QAction *a : form->fileMenu()->actions())
        items << (a->isSeparator() ? QString("-") : a->text());
    EXPECT_EQ(items, QStringList({"Open Scan...", "Save Scan As...", "-",
                                  "Open the 'Reports' Folder", "Explore the 'Reports' Folder", "-",
                                  "Export Report As...", "-", "E&xit"}));
    QStringList formats;
    for (QAction *a : form->fileMenu()->actions().at(6)->menu()->actions())
        formats << a->text();
    EXPECT_EQ(formats, QStringList({"HTML", "PDF", "CSV", "Plain Text", "Excel"}));
}

TEST_F(ExportCommand, AnEmptyTreeHasNothingToExport) {
    form->exportAction(2)->trigger();
    EXPECT_EQ(messages(), QStringList{"No Data: No data to export."});
    EXPECT_EQ(prompts.shown.front().icon, Prompts::Icon::Exclamation);
    EXPECT_FALSE(QDir(reports).exists()) << "nothing is made before there is data";
    expectRestored();
}

// Cancel ends the command without a word, after the folders are made and the dialog offered
// the date-stamped name in the format's folder.
TEST_F(ExportCommand, CancellingTheDialogEndsSilentlyAndWritesNothing) {
    scan();
    form->exportAction(3)->trigger();
    ASSERT_EQ(prompts.shown.size(), 1u);
    const auto &save = prompts.shown.front();
    EXPECT_EQ(save.kind, "save");
    EXPECT_EQ(save.title, "Export as Plain Text...");
    EXPECT_EQ(prompts.saveFilters,
              QStringList{"Text File (*.txt);;Data File (*.dat);;All Files (*.*)"});
    EXPECT_TRUE(QRegularExpression(QRegularExpression::anchoredPattern(
                                       QRegularExpression::escape(reports + "Text/") +
                                       "20\\d\\d[01]\\d[0-3]\\d-[0-2]\\d[0-5]\\d[0-5]\\d\\.txt"))
                    .match(save.text)
                    .hasMatch())
        << save.text.toStdString();
    EXPECT_TRUE(QDir(reports + "Text").entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_TRUE(opened().empty());
    expectRestored();
}

TEST_F(ExportCommand, TheDefaultNameIsUsedAsItStandsAndTheReportIsOpened) {
    scan();
    prompts.saveNames << RecordingPrompts::AcceptOffered;
    form->exportAction(2)->trigger();
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
    const QStringList files = QDir(reports + "CSV").entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files.front().size(), 19);
    EXPECT_TRUE(files.front().endsWith(".csv")) << "the offered name carries the extension";
    const QByteArray csv = readAll(reports + "CSV/" + files.front());
    EXPECT_TRUE(csv.startsWith("\"Node\",\"Size\",\"\",\"# of Files\"\r\n"));
    EXPECT_TRUE(csv.contains("\"2,100\",\"B\",\"2\"\r\n")) << csv.toStdString();
    ASSERT_EQ(opened().size(), 1u);
    EXPECT_TRUE(opened().front().arguments.join(' ').contains(files.front()));
    expectRestored();
}

// The offered name ends in each format's extension; a name the user types is written as typed.
// With no application for the report, the user learns where it was saved and may open its
// folder, instead of a failure box with an error number.
TEST_F(ExportCommand, OfferedNamesCarryTheExtensionAndAnUnopenableReportIsStillSaved) {
    scan();
    const char *extensions[] = {".htm", ".pdf", ".csv", ".txt", ".xlsx"};
    for (int i = 0; i < 5; ++i) {
        prompts.saveNames << QString(); // cancelled
        form->exportAction(i)->trigger();
        ASSERT_FALSE(prompts.shown.empty());
        EXPECT_TRUE(prompts.shown.back().text.endsWith(extensions[i]))
            << prompts.shown.back().text.toStdString();
    }
    prompts.shown.clear();

    shell->typesWithoutApp << "application/octet-stream"; // a name without extension
    const QString typed = reports + "Text/typed name";
    prompts.saveNames << typed;
    prompts.answers.push_back(Prompts::Yes); // open the folder
    form->exportAction(3)->trigger();
    EXPECT_TRUE(QFileInfo(typed).isFile()) << "written as typed, no extension added";
    ASSERT_EQ(messages().size(), 1) << messages().join('|').toStdString();
    EXPECT_TRUE(messages().front().startsWith("Report saved: The report was saved as\n" + typed))
        << messages().front().toStdString();
    EXPECT_FALSE(messages().front().contains("Error number"));
    ASSERT_FALSE(opened().empty());
    // The folder goes to the desktop as a file URI (xdg-open, no file manager answering).
    const QString folderUri =
        "file://" + QString::fromLatin1((reports + "Text").toUtf8().toPercentEncoding("/"));
    EXPECT_EQ(opened().back().arguments, QStringList{folderUri});
    expectRestored();
}

TEST_F(ExportCommand, AnsweringNoKeepsTheOldFileAndYesReplacesIt) {
    scan();
    const QString target = dir.filePath("report.txt");
    writeFile(target, "old report\r\n");
    prompts.saveNames << target;
    prompts.answers = {Prompts::No};
    form->exportAction(3)->trigger();
    ASSERT_EQ(prompts.shown.size(), 3u);
    const auto &question = prompts.shown[1];
    EXPECT_EQ(question.text, target + "\nFile exists. Would you like to over-write?");
    EXPECT_EQ(question.title, "Over-write File?");
    EXPECT_EQ(question.buttons, Prompts::Buttons::YesNo);
    EXPECT_EQ(question.defaultAnswer, Prompts::No);
    EXPECT_EQ(question.icon, Prompts::Icon::Exclamation);
    EXPECT_EQ(prompts.shown[2].text, "The file was not generated.");
    EXPECT_EQ(prompts.shown[2].title, "File write aborted");
    EXPECT_EQ(prompts.shown[2].icon, Prompts::Icon::Information);
    EXPECT_EQ(readAll(target), "old report\r\n");
    EXPECT_TRUE(opened().empty());
    expectRestored();

    prompts.shown.clear();
    prompts.saveNames << target;
    prompts.answers = {Prompts::Yes};
    form->exportAction(3)->trigger();
    EXPECT_EQ(messages().size(), 1) << "only the question";
    EXPECT_TRUE(readAll(target).startsWith("Node"));
    EXPECT_EQ(QDir(dir.path()).entryList({"*report.txt*"}, QDir::Files | QDir::Hidden),
              QStringList{"report.txt"});
    EXPECT_EQ(opened().size(), 1u);
    expectRestored();
}

TEST_F(ExportCommand, EveryExportMakesAllFiveFoldersAgain) {
    scan();
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(QDir(documents + "/Velmoria").removeRecursively());
        form->exportAction(4)->trigger(); // cancelled
        for (const char *folder : {"HTML", "PDF", "CSV", "Text", "Excel"})
            EXPECT_TRUE(QFileInfo(reports + folder).isDir()) << folder;
    }
    expectRestored();
}

// A writer that fails halfway leaves the old report as it was, and the error is shown under
// the command's title; a writer that gives up is reported with its format's message.
TEST_F(ExportCommand, AWriterThatFailsLeavesTheOldReportByteIdentical) {
    scan();
    const QString target = dir.filePath("report.csv");
    const QByteArray old("\"Node\",\"Size\"\r\n\"kept\"\r\n");
    writeFile(target, old);
    ReportFormat &csv = form->reportFormat(2);
    for (bool raise : {true, false}) {
        prompts.shown.clear();
        csv.write = [raise](const ReportSource &, ReplacingFile &out) {
            out.file().write("\"Node\",\"Si");
            if (raise)
                throw std::system_error(ENOSPC, std::generic_category(), "Could not write");
            return false;
        };
        prompts.saveNames << target;
        prompts.answers = {Prompts::Yes};
        form->exportAction(2)->trigger();
        ASSERT_EQ(prompts.shown.size(), 3u);
        const auto &box = prompts.shown[2];
        EXPECT_EQ(box.title, "Error in mnuExpRep_Click");
        EXPECT_EQ(box.icon, Prompts::Icon::Critical);
        EXPECT_EQ(box.text, raise
                                ? QString("28\nCould not write: No space left on device\nLine: 12")
                                : QString("-2147220974\nError in generating CSV file.\nLine: 15"));
        EXPECT_EQ(readAll(target), old);
        EXPECT_EQ(QDir(dir.path()).entryList({"*report.csv*"}, QDir::Files | QDir::Hidden),
                  QStringList{"report.csv"});
        EXPECT_TRUE(opened().empty());
        expectRestored();
    }
}

TEST_F(ExportCommand, AFolderThatCannotBeMadeIsReportedWithItsName) {
    scan();
    QDir().mkpath(reports);
    writeFile(reports + "Text", "a file where the folder should be");
    form->exportAction(2)->trigger();
    ASSERT_EQ(messages().size(), 1);
    EXPECT_EQ(prompts.shown.back().text,
              "-2147221305\nCould not create the Text directory.\nLine: 6");
    expectRestored();

    prompts.shown.clear();
    ASSERT_TRUE(QDir(documents + "/Velmoria").removeRecursively());
    writeFile(documents + "/Velmoria", "a file where the folder should be");
    form->reportsFolderAction(0)->trigger();
    ASSERT_EQ(messages().size(), 1);
    EXPECT_EQ(prompts.shown.back().title, "Error in mnuOpenResFold_Click");
    EXPECT_EQ(prompts.shown.back().text,
              "-2147221305\nCould not create the reports directory.\nLine: 2");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ExportCommand, TheSpreadsheetIsWrittenFromTheMenu) {
    scan();
    const QString target = dir.filePath("tree.xlsx");
    prompts.saveNames << target;
    form->exportAction(4)->trigger();
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
    EXPECT_EQ(prompts.saveFilters, QStringList{"Excel File (*.xlsx);;All Files (*.*)"});
    EXPECT_TRUE(readAll(target).startsWith("PK\x03\x04")) << "a zip container";
    EXPECT_EQ(opened().size(), 1u);
}

TEST_F(ExportCommand, TheReportsFolderIsMadeAndOpenedOrExplored) {
    form->reportsFolderAction(0)->trigger();
    EXPECT_TRUE(QFileInfo(reports).isDir());
    ASSERT_EQ(opened().size(), 1u);
    EXPECT_EQ(opened().back().kind, "start");
    EXPECT_TRUE(opened().back().arguments.join(' ').contains("Reports")) << "opened the folder";

    shell->fileManagerAnswers = true;
    form->reportsFolderAction(1)->trigger();
    ASSERT_EQ(opened().size(), 2u);
    EXPECT_EQ(opened().back().kind, "dbus");
    EXPECT_EQ(opened().back().name, "ShowFolders");
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    form->mnuOpenResFold_Click(2);
    EXPECT_EQ(messages(), QStringList{"Error in mnuOpenResFold_Click: -2147220926\nInvalid "
                                      "selection: 2\nLine: 3"});
}

// A PDF report from the menu: the tree as the window shows it and, for a selected folder with
// the chart pane shown and the PDF chart setting on, the chart; a files row, a hidden chart
// pane or the setting off leave the chart out.
TEST_F(ExportCommand, ThePdfReportCarriesTheChartOnlyWhenEveryConditionHolds) {
    scan();
    // The chart is found by the colour of its largest slice (its background follows the
    // palette, white in a light one, as the page is).
    QColor chartBack;
    auto rowNamed = [&](const QString &name) {
        for (int r = 0; r < form->grid().rows(); ++r)
            if (form->grid().text(r, 0) == name)
                return r;
        return -1;
    };
    auto exportPdf = [&](const QString &name) {
        prompts.shown.clear();
        const QString target = dir.filePath(name);
        prompts.saveNames << target;
        form->exportAction(1)->trigger();
        EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
        EXPECT_EQ(prompts.saveFilters.last(), "PDF File (*.pdf);;All Files (*.*)");
        expectRestored();
        return target;
    };
    auto hasChart = [&](const QString &pdf) {
        return colorBounds(renderPage(pdf, pdfPageCount(pdf), 30), chartBack).isValid();
    };

    form->grid().select(rowNamed("sub"), 0);
    form->fgTree_Click();
    for (int series = 0, largest = -1; series < form->chart().seriesCount(); ++series) {
        if (largest < 0 || form->chart().value(series, 0) > form->chart().value(largest, 0)) {
            largest = series;
            chartBack = form->chart().seriesFillColor(series);
        }
    }
    ASSERT_TRUE(chartBack.isValid());
    const QString withChart = exportPdf("with-chart.pdf");
    const QStringList lines = pageLines(pageTexts(withChart).join(QString()));
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[0], "Cairnmeter v1.0.5 by Velmoria");
    EXPECT_TRUE(lines.contains("sub 2,000 B 1")) << lines.join('|').toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList({"*.pdf*"}, QDir::Files | QDir::Hidden),
              QStringList{"with-chart.pdf"})
        << "no partial file left beside it";
    EXPECT_TRUE(hasChart(withChart));
    ASSERT_EQ(opened().size(), 1u);
    EXPECT_TRUE(opened().front().arguments.join(' ').contains("with-chart.pdf"));

    form->grid().select(rowNamed("<Files in sub>"), 0);
    EXPECT_FALSE(hasChart(exportPdf("files-row.pdf")));

    form->grid().select(rowNamed("sub"), 0);
    form->settings().Chart_In_PDF_Output = false;
    EXPECT_FALSE(hasChart(exportPdf("setting-off.pdf")));

    form->settings().Chart_In_PDF_Output = true;
    form->ShowTheChart(false);
    EXPECT_FALSE(hasChart(exportPdf("pane-hidden.pdf")));
}

// An HTML report from the menu: the header in the palette's button colours, and the chart's
// picture beside the report when a folder is selected and the HTML chart setting is on (the
// PDF setting does not decide it).
TEST_F(ExportCommand, TheHtmlReportTakesThePalettesColoursAndItsOwnChartSetting) {
    scan();
    const auto hex = [](const QColor &c) { return "\"" + c.name().toUpper() + "\""; };
    auto rowNamed = [&](const QString &name) {
        for (int r = 0; r < form->grid().rows(); ++r)
            if (form->grid().text(r, 0) == name)
                return r;
        return -1;
    };
    auto exportHtml = [&](const QString &folder) {
        prompts.shown.clear();
        QDir().mkpath(dir.filePath(folder));
        const QString target = dir.filePath(folder + "/report.htm");
        prompts.saveNames << target;
        form->exportAction(0)->trigger();
        EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
        expectRestored();
        return QString::fromUtf8(readAll(target));
    };
    form->grid().select(rowNamed("sub"), 0);
    form->fgTree_Click();
    form->settings().Chart_In_PDF_Output = false;
    const QString html = exportHtml("with");
    const QPalette palette = QGuiApplication::palette();
    EXPECT_TRUE(html.contains("BGCOLOR=" + hex(palette.color(QPalette::Button)) + " BORDERCOLOR="))
        << html.left(1500).toStdString();
    EXPECT_TRUE(
        html.contains("<FONT COLOR=" + hex(palette.color(QPalette::ButtonText)) + ">Node</FONT>"));
    const QStringList pictures = QDir(dir.filePath("with")).entryList({"*.png"}, QDir::Files);
    ASSERT_EQ(pictures.size(), 1);
    EXPECT_TRUE(html.contains("src=\"" + pictures.front() + "\""));
    EXPECT_FALSE(QImage(dir.filePath("with/" + pictures.front())).isNull());

    form->settings().Chart_In_HTML_Output = false;
    form->settings().Chart_In_PDF_Output = true;
    EXPECT_FALSE(exportHtml("without").contains("<img"));
    EXPECT_TRUE(QDir(dir.filePath("without")).entryList({"*.png"}, QDir::Files).isEmpty());
}
