// The settings file as a whole: what survives a write byte for byte, hand-edited forms, one
// replacement per save, and two copies of the program writing at once.
#include "NativeText.h"
#include "TempIniFile.h"
#include "basInitEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace basInitEntry;

namespace {

struct IniFileFixture : TempIniFile {
    ino_t inode() const {
        struct stat st;
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
    }
};

} // namespace

TEST(NativeTextTest, EveryByteSequenceSurvivesATripThroughText) {
    EXPECT_EQ(NativeText::decode("Übersicht ✓ 𝄞"), QString("Übersicht ✓ 𝄞"));
    EXPECT_EQ(NativeText::encode(u"Übersicht ✓ 𝄞"), QByteArray("Übersicht ✓ 𝄞"));
    const QString latin1 = NativeText::decode("caf\xe9");
    EXPECT_EQ(latin1.size(), 4);
    EXPECT_EQ(latin1.left(3), "caf");
    EXPECT_EQ(NativeText::encode(latin1), QByteArray("caf\xe9"));
    // Overlong forms, encoded surrogates, cut sequences and stray continuation bytes.
    for (const QByteArray &odd :
         {QByteArray("\xc0\xaf"), QByteArray("\xed\xa0\x80x"), QByteArray("ab\xe2\x9c"),
          QByteArray("\x80\xbf"), QByteArray("\xf4\x90\x80\x80"), QByteArray("\xff\xfe")})
        EXPECT_EQ(NativeText::encode(NativeText::decode(odd)), odd) << odd.toHex().toStdString();
    QRandomGenerator rng(4711);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes(1 + static_cast<int>(rng.bounded(40)), Qt::Uninitialized);
        for (char &c : bytes)
            c = static_cast<char>(rng.bounded(256));
        ASSERT_EQ(NativeText::encode(NativeText::decode(bytes)), bytes);
    }
}

TEST_F(IniFileFixture, LinesAWriteDoesNotTouchStayByteForByte) {
    const QByteArray before = "\xef\xbb\xbf; caf\xe9 notes\r\n"
                              "[Scan]\n"
                              "Unknown\xff=odd \xfe bytes  \r"
                              "Recurse_Subfolders=1\r\n"
                              "\t  \r\n"
                              "[Start_Path_Items]\r\n"
                              "0=/srv/caf\xe9/\r\n"
                              "# the end, without a line end";
    writeRaw(before);
    WriteIniEntry("Scan", "Recurse_Subfolders", "0", path);
    EXPECT_EQ(raw(), QByteArray(before).replace("Recurse_Subfolders=1", "Recurse_Subfolders=0"));
    WriteIniEntry("Main", "Sort", "201", path);
    EXPECT_EQ(raw(), QByteArray(before).replace("Recurse_Subfolders=1", "Recurse_Subfolders=0") +
                         "\r\n[Main]\r\nSort=201\r\n");
}

TEST_F(IniFileFixture, AValueThatIsNotUtf8SurvivesARoundTrip) {
    writeRaw("[Start_Path_Items]\r\nNumber=1\r\n0=/srv/caf\xe9/\r\n");
    const QString item = ReadIniEntry("Start_Path_Items", "0", "", path);
    EXPECT_TRUE(item.startsWith("/srv/caf"));
    // Written back as the list is saved: the section goes and comes back, same bytes.
    WriteIniEntry("Start_Path_Items", "", "", path);
    WriteIniEntry("Start_Path_Items", "Number", "1", path);
    WriteIniEntry("Start_Path_Items", "0", item, path);
    EXPECT_EQ(raw(), QByteArray("[Start_Path_Items]\r\nNumber=1\r\n0=/srv/caf\xe9/\r\n"));
}

TEST_F(IniFileFixture, HandEditedQuotesAndCommentsAfterHeadersReadAsMeant) {
    writeRaw("[Scan] ; what to count\r\n"
             "Match_Parameters = \"*.mp3; *.ogg \"\r\n"
             "[Chart]# pie\r\n"
             "Other_Label=\"Rest\r\n"
             "Empty=\"\"\r\n"
             "[Main] x\r\n" // not a header: text after it is no comment
             "Sort=201\r\n");
    EXPECT_EQ(ReadIniEntry("Scan", "Match_Parameters", "", path), "*.mp3; *.ogg ");
    EXPECT_EQ(ReadIniEntry("Chart", "Other_Label", "", path), "\"Rest"); // one quote only
    EXPECT_EQ(ReadIniEntry("Chart", "Empty", "d", path), "");
    EXPECT_EQ(ReadIniEntry("Main", "Sort", "none", path), "none");
    // The program's own values are written as they are, and quotes that belong to a value
    // come back with it.
    QFile::remove(path);
    WriteIniEntry("Appearance", "Object_Size_Format", "#,##0 \"bytes\"", path);
    WriteIniEntry("Chart", "Other_Label", "\"All the rest\"", path);
    EXPECT_EQ(raw(), QByteArray("[Appearance]\r\nObject_Size_Format=#,##0 \"bytes\"\r\n"
                                "[Chart]\r\nOther_Label=\"\"All the rest\"\"\r\n"));
    EXPECT_EQ(ReadIniEntry("Appearance", "Object_Size_Format", "", path), "#,##0 \"bytes\"");
    EXPECT_EQ(ReadIniEntry("Chart", "Other_Label", "", path), "\"All the rest\"");
}

TEST_F(IniFileFixture, ABatchReplacesTheFileOnceWithEverythingItWrote) {
    writeRaw("[Start_Path_Items]\r\nNumber=2\r\n0=/a/\r\n1=/b/\r\n[Main]\r\nSort=-1\r\n");
    const QByteArray before = raw();
    const ino_t old = inode();
    {
        Batch batch;
        WriteIniEntry("Start_Path_Items", "", "", path);
        // Until the batch ends, the file on disk is the old one, whole: a program killed
        // here loses nothing.
        EXPECT_EQ(raw(), before);
        EXPECT_EQ(ReadIniEntry("Start_Path_Items", "0", "gone", path), "gone");
        WriteIniEntry("Start_Path_Items", "Number", "1", path);
        WriteIniEntry("Start_Path_Items", "0", "/c/", path);
        WriteIniEntry("Main", "Sort", "100", path);
        EXPECT_EQ(raw(), before);
        EXPECT_EQ(inode(), old);
    }
    EXPECT_NE(inode(), old); // replaced by rename, never rewritten in place
    EXPECT_EQ(raw(), QByteArray("[Main]\r\nSort=100\r\n[Start_Path_Items]\r\nNumber=1\r\n"
                                "0=/c/\r\n"));
    EXPECT_TRUE(QFileInfo(dir.path()).dir().entryList({"*.ini.*"}, QDir::Files).isEmpty());
}

TEST_F(IniFileFixture, ReadingOrWritingNothingLeavesNoFileBehind) {
    EXPECT_EQ(WriteIniEntry("Nowhere", "", "", path), 1);
    EXPECT_EQ(WriteIniEntry("Nowhere", "Key", "", path), 1);
    {
        Batch batch;
        ReadIniEntry("Main", "Sort", "-1", path);
    }
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(IniFileFixture, TwoCopiesWritingAtOnceBothLandEveryKey) {
    writeRaw("[Main]\r\nSort=-1\r\n");
    constexpr int keys = 40;
    std::vector<pid_t> children;
    for (int copy = 0; copy < 2; ++copy) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // Each copy saves its own keys one save at a time, as two programs closing.
            for (int k = 0; k < keys; ++k) {
                Batch batch;
                WriteIniEntry(QString("Copy%1").arg(copy), QString("Key%1").arg(k), "x", path);
                WriteIniEntry("Main", "Sort", QString::number(copy), path);
            }
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int copy = 0; copy < 2; ++copy)
        for (int k = 0; k < keys; ++k)
            EXPECT_EQ(
                ReadIniEntry(QString("Copy%1").arg(copy), QString("Key%1").arg(k), "lost", path),
                "x")
                << copy << "/" << k;
}

TEST_F(IniFileFixture, AWriteWaitsWhileAnotherCopyHoldsTheLock) {
    writeRaw("[Main]\r\nSort=-1\r\n");
    const int held = ::open(QFile::encodeName(path).constData(), O_RDWR);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(held); // the lock stays with this test's copy of the descriptor
        ::_exit(WriteIniEntry("Main", "Sort", "300", path) == 1 ? 0 : 1);
    }
    // The writer cannot have finished: it waits for the lock this test holds.
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0);
    EXPECT_EQ(raw(), QByteArray("[Main]\r\nSort=-1\r\n"));
    ::close(held);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadIniEntry("Main", "Sort", "", path), "300");
}
