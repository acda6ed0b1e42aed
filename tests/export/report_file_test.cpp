#include "ReportFile.h"
#include "ReportFolders.h"
#include "ReportFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

QStringList entries(const QString &folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// A writer that writes half a report into its file and then fails as a writer can.
struct HalfWriter {
    enum Ending { ReturnFalse, Throw } ending;
    bool operator()(ReplacingFile &out) const {
        out.file().write("half a rep");
        if (ending == Throw)
            throw std::system_error(ENOSPC, std::generic_category(), "disk full");
        return false;
    }
};

} // namespace

TEST(ReportFile, ACompleteReportReplacesTheOldOneAndLeavesNothingElse) {
    QTemporaryDir dir;
    const QString target = dir.filePath("20240102-030405");
    writeFile(target, "old report");
    QString writtenTo;
    EXPECT_TRUE(ReportFile::writeReplacing(target, [&](ReplacingFile &out) {
        writtenTo = out.partName();
        EXPECT_TRUE(QFileInfo::exists(dir.filePath(writtenTo))) << "written in the target's folder";
        out.file().write("new report");
        return true;
    }));
    EXPECT_NE(writtenTo, QFileInfo(target).fileName());
    EXPECT_EQ(readAll(target), "new report");
    EXPECT_EQ(entries(dir.path()), QStringList{"20240102-030405"});
    // The report gets the usual permissions, not a private temporary file's.
    EXPECT_TRUE(QFileInfo(target).permissions() & QFileDevice::ReadGroup);
}

TEST(ReportFile, AFailedWriterLeavesTheOldReportByteIdenticalAndNoPartialFile) {
    for (auto ending : {HalfWriter::ReturnFalse, HalfWriter::Throw}) {
        QTemporaryDir dir;
        const QString target = dir.filePath("report.csv");
        const QByteArray old("\"Node\",\"Size\"\r\nold bytes\r\n");
        writeFile(target, old);
        if (ending == HalfWriter::Throw) {
            EXPECT_THROW(ReportFile::writeReplacing(target, HalfWriter{ending}), std::system_error);
        } else {
            EXPECT_FALSE(ReportFile::writeReplacing(target, HalfWriter{ending}));
        }
        EXPECT_EQ(readAll(target), old);
        EXPECT_EQ(entries(dir.path()), QStringList{"report.csv"});
    }
}

TEST(ReportFile, ANewReportWhoseWriterFailsLeavesNoFileAtAll) {
    QTemporaryDir dir;
    EXPECT_FALSE(
        ReportFile::writeReplacing(dir.filePath("r.txt"), HalfWriter{HalfWriter::ReturnFalse}));
    EXPECT_TRUE(entries(dir.path()).isEmpty());
}

TEST(ReportFile, ALinkKeepsPointingAtTheReplacedReport) {
    QTemporaryDir dir;
    writeFile(dir.filePath("real.txt"), "old");
    ASSERT_TRUE(QFile::link(dir.filePath("real.txt"), dir.filePath("link.txt")));
    EXPECT_TRUE(ReportFile::writeReplacing(dir.filePath("link.txt"), [](ReplacingFile &out) {
        out.file().write("new");
        return true;
    }));
    EXPECT_TRUE(QFileInfo(dir.filePath("link.txt")).isSymLink());
    EXPECT_EQ(readAll(dir.filePath("real.txt")), "new");
}

TEST(ReportFile, AFolderThatCannotTakeTheFileRaisesWithoutCallingTheWriter) {
    QTemporaryDir dir;
    bool called = false;
    EXPECT_THROW(ReportFile::writeReplacing(dir.filePath("missing/r.csv"),
                                            [&](ReplacingFile &) { return called = true; }),
                 std::system_error);
    EXPECT_FALSE(called);
    // A folder where the report should go cannot be replaced by it.
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken"));
    EXPECT_THROW(ReportFile::writeReplacing(dir.filePath("taken"),
                                            [](ReplacingFile &out) {
                                                out.file().write("x");
                                                return true;
                                            }),
                 std::system_error);
    EXPECT_TRUE(QFileInfo(dir.filePath("taken")).isDir());
    EXPECT_EQ(entries(dir.path()), QStringList{"taken"});
}

TEST(ReportFolders, CreatePathMakesEveryMissingLevelAndReportsWhatItCannot) {
    QTemporaryDir dir;
    const QString deep = dir.path() + "/Velmoria/Cairnmeter/Reports/";
    EXPECT_TRUE(ReportFolders::CreatePath(deep));
    EXPECT_TRUE(QFileInfo(deep).isDir());
    EXPECT_TRUE(ReportFolders::CreatePath(deep)) << "existing levels are fine";
    EXPECT_TRUE(ReportFolders::CreatePath(dir.path() + "//a///b")) << "empty pieces skipped";
    EXPECT_TRUE(QFileInfo(dir.path() + "/a/b").isDir());
    EXPECT_TRUE(ReportFolders::CreatePath("/"));

    writeFile(dir.filePath("file"), "x");
    EXPECT_FALSE(ReportFolders::CreatePath(dir.path() + "/file/sub"));
    EXPECT_FALSE(ReportFolders::CreatePath(dir.path() + "/file"));
}

TEST(ReportFolders, PathsOfTheReportRootAndOfAFilesFolder) {
    EXPECT_EQ(ReportFolders::ReportsFolder("/home/ana/Documents"),
              "/home/ana/Documents/Velmoria/Cairnmeter/Reports/");
    EXPECT_EQ(ReportFolders::ReportsFolder("/home/ana/Documents/"),
              "/home/ana/Documents/Velmoria/Cairnmeter/Reports/");
    EXPECT_EQ(ReportFolders::ReportsFolder(""), "/Velmoria/Cairnmeter/Reports/");

    EXPECT_EQ(ReportFolders::GetFolderPart("/home/ana/r.htm"), "/home/ana/");
    EXPECT_EQ(ReportFolders::GetFolderPart("/r.htm"), "/");
    EXPECT_EQ(ReportFolders::GetFolderPart("/home/ana/"), "/home/ana/");
    EXPECT_EQ(ReportFolders::GetFolderPart("r.htm"), "r.htm/");
}

TEST(ReportFormats, FiltersBecomeQtsFormWithEveryPattern) {
    EXPECT_EQ(qtFileFilter("HTML File (*.htm;*.html)|*.htm;*.html|All Files (*.*)|*.*"),
              "HTML File (*.htm *.html);;All Files (*.*)");
    EXPECT_EQ(qtFileFilter("Text File (*.txt)|*.txt|Data File (*.dat)|*.dat|All Files (*.*)|*.*"),
              "Text File (*.txt);;Data File (*.dat);;All Files (*.*)");
    EXPECT_EQ(qtFileFilter("Plain|*.a;*.b"), "Plain (*.a *.b)");
}
