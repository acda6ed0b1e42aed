// Opening items with the desktop and showing their properties: the verbs kept, the failure
// codes found before anything is launched and how they are reported, the file manager tried
// before xdg-open, and the program's own Properties window when no file manager answers.
#include "ItemProperties.h"
#include "PropertiesDialog.h"
#include "RecordingPrompts.h"
#include "RecordingShellLauncher.h"
#include "mdlProperties.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>

#include <gtest/gtest.h>

#include <limits>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace mdlProperties;

namespace {

class ShellTest : public ::testing::Test {
protected:
    QTemporaryDir temp;
    RecordingPrompts prompts;
    RecordingShellLauncher launcher;
    QWidget owner;

    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ASSERT_TRUE(temp.isValid());
    }

    QString makeFolder(const QString &name) {
        const QString path = temp.filePath(name);
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }
    QString makeFile(const QString &name, qint64 bytes) {
        const QString path = temp.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(bytes, 'x'));
        return path;
    }
    /// The one message shown, checked to be the shell failure box.
    QString failureText() {
        EXPECT_EQ(prompts.shown.size(), 1u);
        if (prompts.shown.size() != 1)
            return {};
        EXPECT_EQ(prompts.shown[0].title, QStringLiteral("Shell execute failed..."));
        EXPECT_EQ(prompts.shown[0].icon, Prompts::Icon::Critical);
        return prompts.shown[0].text;
    }
    static QString uri(const QString &path) {
        return QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded());
    }
    PropertiesDialog *shownDialog() {
        const auto dialogs = owner.findChildren<PropertiesDialog *>();
        EXPECT_EQ(dialogs.size(), 1);
        return dialogs.isEmpty() ? nullptr : dialogs.first();
    }
};

TEST_F(ShellTest, OnlyExactOpenAndExploreAreKeptAsVerbs) {
    EXPECT_EQ(ShellVerb("Open"), "Open");
    EXPECT_EQ(ShellVerb("Explore"), "Explore");
    for (const char *other : {"open", "explore", "EXPLORE", "Explore ", "print", ""})
        EXPECT_EQ(ShellVerb(other), QString()) << other;

    // "explore" is no verb: the default action opens the folder, the file manager is not asked.
    const QString folder = makeFolder("a");
    EXPECT_EQ(ShellOpen(folder + "/", 1, "explore", &owner, prompts, launcher), ShellSuccess);
    ASSERT_EQ(launcher.requests.size(), 1u);
    EXPECT_EQ(launcher.requests[0].kind, "start");
    EXPECT_EQ(launcher.requests[0].name, "xdg-open");
    EXPECT_EQ(launcher.requests[0].arguments, QStringList{uri(folder)});
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ShellTest, OpenStartsTheDefaultApplicationOfTheItemOrOfTypeItIsAKindOf) {
    const QString folder = makeFolder("b");
    EXPECT_EQ(ShellOpen(folder + "/", 1, "Open", &owner, prompts, launcher), ShellSuccess);
    EXPECT_EQ(launcher.mimeTypesAsked.value(0), "inode/directory");
    ASSERT_EQ(launcher.requests.size(), 1u);
    EXPECT_EQ(launcher.requests[0].arguments, QStringList{uri(folder)});

    // A C++ source has no application of its own here, but plain text has one.
    const QString source = makeFile("main.cpp", 10);
    launcher.typesWithoutApp = {"text/x-c++src", "text/x-csrc"};
    launcher.requests.clear();
    EXPECT_EQ(ShellOpen(source, 1, "Open", &owner, prompts, launcher), ShellSuccess);
    EXPECT_TRUE(launcher.mimeTypesAsked.contains("text/plain"));
    ASSERT_EQ(launcher.requests.size(), 1u);
    EXPECT_EQ(launcher.requests[0].arguments, QStringList{uri(source)});
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ShellTest, DeletedFolderIsFileNotFoundAndMissingParentIsPathNotFound) {
    const QString folder = makeFolder("gone");
    ASSERT_TRUE(QDir().rmdir(folder));
    const QString rowPath = folder + "/";
    EXPECT_EQ(ShellOpen(rowPath, 1, "Open", &owner, prompts, launcher), 2);
    EXPECT_EQ(failureText(), rowPath + "\nError number: 2\nError description: File not found");
    EXPECT_TRUE(launcher.requests.empty());

    prompts.shown.clear();
    const QString deeper = folder + "/inner/";
    EXPECT_EQ(ShellOpen(deeper, 1, "Explore", &owner, prompts, launcher), 3);
    EXPECT_EQ(failureText(), deeper + "\nError number: 3\nError description: Path not found");
    EXPECT_TRUE(launcher.requests.empty());
}

TEST_F(ShellTest, LaunchFailuresAreReportedWithTheirCodes) {
    const QString folder = makeFolder("c");

    launcher.deniedPaths = {folder};
    EXPECT_EQ(ShellOpen(folder, 1, "Open", &owner, prompts, launcher), 5);
    EXPECT_EQ(failureText(), folder + "\nError number: 5\nError description: Access denied");
    EXPECT_TRUE(launcher.requests.empty());

    launcher.deniedPaths.clear();
    launcher.programsStart = false;
    prompts.shown.clear();
    EXPECT_EQ(ShellOpen(folder, 1, "Open", &owner, prompts, launcher), 0);
    EXPECT_EQ(failureText(),
              folder + "\nError number: 0\nError description: Out of Memory/Resources");
    EXPECT_EQ(launcher.requests.size(), 1u);

    // No application for the item: reported as the chooser that could not start.
    launcher.programsStart = true;
    launcher.typesWithoutApp = {"inode/directory"};
    launcher.requests.clear();
    prompts.shown.clear();
    EXPECT_EQ(ShellOpen(folder, 1, "", &owner, prompts, launcher), 0);
    EXPECT_EQ(failureText(), folder + "\nError number: 0\nError description: No application is "
                                      "set up to open folders.");
    EXPECT_TRUE(launcher.requests.empty());

    // A file names its kind; exploring a folder without a file manager or an application for
    // folders says the same as opening it.
    const QString file = folder + "/notes.txt";
    QFile(file).open(QIODevice::WriteOnly);
    launcher.typesWithoutApp = {"text/plain", "application/octet-stream", "inode/directory"};
    prompts.shown.clear();
    EXPECT_EQ(ShellOpen(file, 1, "Open", &owner, prompts, launcher), 0);
    EXPECT_TRUE(failureText().startsWith(
        file + "\nError number: 0\nError description: No application is set up to open files of "
               "this type ("))
        << failureText().toStdString();
    prompts.shown.clear();
    EXPECT_EQ(ShellOpen(folder, 1, "Explore", &owner, prompts, launcher), 0);
    EXPECT_EQ(failureText(), folder + "\nError number: 0\nError description: No application is "
                                      "set up to open folders.");
    for (const auto &request : launcher.requests)
        EXPECT_NE(request.name, "xdg-open"); // only the file manager was asked
}

TEST_F(ShellTest, ErrorTextsCoverTheKnownCodes) {
    EXPECT_EQ(ShellErrorText(8), "Out of Memory/Resources");
    EXPECT_EQ(ShellErrorText(11), "Bad File Format. Invalid EXE file or error in EXE image");
    EXPECT_EQ(ShellErrorText(26), "A sharing violation occurred");
    EXPECT_EQ(ShellErrorText(27), "Incomplete or invalid file association");
    EXPECT_EQ(ShellErrorText(28), "DDE Time out");
    EXPECT_EQ(ShellErrorText(29), "DDE transaction failed");
    EXPECT_EQ(ShellErrorText(30), "DDE busy");
    EXPECT_EQ(ShellErrorText(32), "DLL not found");
    for (int other : {1, 4, 31, 33, -1})
        EXPECT_EQ(ShellErrorText(other), "Unknown error") << other;
}

TEST_F(ShellTest, WebAndMailAddressesGoToTheirDesktopHandler) {
    for (const QString &address : {QStringLiteral("https://www.velmoria.example/news"),
                                   QStringLiteral("HTTP://www.velmoria.example"),
                                   QStringLiteral("mailto:software@velmoria.example")}) {
        launcher.requests.clear();
        launcher.mimeTypesAsked.clear();
        EXPECT_EQ(ShellOpen(address, 1, "", &owner, prompts, launcher), ShellSuccess)
            << address.toStdString();
        ASSERT_EQ(launcher.requests.size(), 1u) << address.toStdString();
        EXPECT_EQ(launcher.requests[0].name, "xdg-open");
        EXPECT_EQ(launcher.requests[0].arguments, QStringList{address});
        ASSERT_EQ(launcher.mimeTypesAsked.size(), 1u);
        EXPECT_TRUE(launcher.mimeTypesAsked[0].startsWith("x-scheme-handler/"));
    }
    EXPECT_TRUE(prompts.shown.empty());

    // Without a browser nothing starts and the failure is reported like any other.
    launcher.requests.clear();
    launcher.typesWithoutApp = {"x-scheme-handler/https"};
    EXPECT_EQ(ShellOpen("https://www.velmoria.example", 1, "", &owner, prompts, launcher), 0);
    EXPECT_TRUE(launcher.requests.empty());
    EXPECT_EQ(failureText(), "https://www.velmoria.example\nError number: 0\nError description: "
                             "No application is set up to open web addresses.");

    // Other schemes are not addresses: they are looked for as files, and are not there.
    prompts.shown.clear();
    EXPECT_EQ(ShellOpen("javascript:alert(1)", 1, "", &owner, prompts, launcher), 2);
    EXPECT_TRUE(launcher.requests.empty());
}

TEST_F(ShellTest, ExploreAsksTheFileManagerFirstThenFallsBackToXdgOpen) {
    const QString folder = makeFolder("with space");
    launcher.fileManagerAnswers = true;
    EXPECT_EQ(ShellOpen(folder + "/", 1, "Explore", &owner, prompts, launcher), ShellSuccess);
    ASSERT_EQ(launcher.requests.size(), 1u);
    EXPECT_EQ(launcher.requests[0].kind, "dbus");
    EXPECT_EQ(launcher.requests[0].name, "ShowFolders");
    EXPECT_EQ(launcher.requests[0].arguments, QStringList{uri(folder)});
    EXPECT_TRUE(launcher.requests[0].arguments[0].contains("with%20space"));

    launcher.fileManagerAnswers = false;
    launcher.requests.clear();
    EXPECT_EQ(ShellOpen(folder, 1, "Explore", &owner, prompts, launcher), ShellSuccess);
    ASSERT_EQ(launcher.requests.size(), 2u);
    EXPECT_EQ(launcher.requests[0].name, "ShowFolders");
    EXPECT_EQ(launcher.requests[1].kind, "start");
    EXPECT_EQ(launcher.requests[1].name, "xdg-open");
    EXPECT_EQ(launcher.requests[1].arguments, QStringList{uri(folder)});

    // A file is shown selected in its folder; the fallback opens that folder.
    const QString file = makeFile("with space/report.txt", 3);
    launcher.requests.clear();
    EXPECT_EQ(ShellOpen(file, 1, "Explore", &owner, prompts, launcher), ShellSuccess);
    ASSERT_EQ(launcher.requests.size(), 2u);
    EXPECT_EQ(launcher.requests[0].name, "ShowItems");
    EXPECT_EQ(launcher.requests[0].arguments, QStringList{uri(file)});
    EXPECT_EQ(launcher.requests[1].arguments, QStringList{uri(folder)});
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ShellTest, PropertiesUseTheFileManagerWhenOneAnswers) {
    EXPECT_FALSE(
        ShowFileProperties(QFile::encodeName(temp.filePath("missing/")), &owner, launcher));
    EXPECT_TRUE(launcher.requests.empty());

    const QString folder = makeFolder("d");
    launcher.fileManagerAnswers = true;
    EXPECT_TRUE(ShowFileProperties(QFile::encodeName(folder + "/"), &owner, launcher, {10, 1}));
    ASSERT_EQ(launcher.requests.size(), 1u);
    EXPECT_EQ(launcher.requests[0].name, "ShowItemProperties");
    EXPECT_EQ(launcher.requests[0].arguments, QStringList{uri(folder)});
    EXPECT_TRUE(owner.findChildren<PropertiesDialog *>().isEmpty());
}

TEST_F(ShellTest, PropertiesFallBackToOurDialogWithTheScanFigures) {
    const QString folder = makeFolder("Music");
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0750), 0);
    const QDateTime stamp(QDate(2024, 3, 5), QTime(14, 30, 15));
    const struct timespec times[2] = {{stamp.toSecsSinceEpoch(), 0}, {stamp.toSecsSinceEpoch(), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(folder).constData(), times, 0), 0);

    EXPECT_TRUE(
        ShowFileProperties(QFile::encodeName(folder + "/"), &owner, launcher, {1234567, 1234}));
    ASSERT_EQ(launcher.requests.size(), 1u); // the file manager was asked first
    PropertiesDialog *dialog = shownDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->windowTitle(), "Music Properties");
    EXPECT_EQ(dialog->fieldText("Name"), "Music");
    EXPECT_EQ(dialog->fieldText("Location"), QDir(temp.path()).absolutePath());
    EXPECT_EQ(dialog->fieldText("Type"), "Folder");
    EXPECT_EQ(dialog->fieldText("Size"), "1,234,567 bytes (1.18 MB)");
    EXPECT_EQ(dialog->fieldText("Files"), "1,234 files");
    EXPECT_TRUE(QRegularExpression("^[0-9,]+ bytes( \\(.+\\))?, the folder entry itself$")
                    .match(dialog->fieldText("Size on disk"))
                    .hasMatch())
        << dialog->fieldText("Size on disk").toStdString();
    const QString me = QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name);
    EXPECT_EQ(dialog->fieldText("Owner"), QStringLiteral("%1 (%2)").arg(me).arg(::getuid()));
    EXPECT_EQ(dialog->fieldText("Permissions"), "drwxr-x--- (0750)");
    EXPECT_EQ(dialog->fieldText("Modified"), QLocale().toString(stamp, QLocale::LongFormat));
    EXPECT_EQ(dialog->fieldText("Accessed"), QLocale().toString(stamp, QLocale::LongFormat));
    EXPECT_FALSE(dialog->fieldText("Changed").isEmpty());

    // Closing the window frees it.
    QPointer<PropertiesDialog> watch(dialog);
    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
}

TEST_F(ShellTest, PropertiesOfFilesAndLinksWithoutScanFigures) {
    const QString file = makeFile("notes.txt", 5000);
    const QString link = temp.filePath("to-notes");
    ASSERT_TRUE(QFile::link(file, link));
    const QString dangling = temp.filePath("dangling");
    ASSERT_TRUE(QFile::link(temp.filePath("nowhere"), dangling));

    const ItemProperties notes = ItemProperties::read(QFile::encodeName(file), {});
    EXPECT_EQ(notes.value("Type"), "File: plain text document (text/plain)");
    EXPECT_EQ(notes.value("Size"), "5,000 bytes (4.88 kB)");
    EXPECT_EQ(notes.value("Files"), QString());
    EXPECT_FALSE(notes.value("Size on disk").contains("folder"));

    const ItemProperties toNotes = ItemProperties::read(QFile::encodeName(link), {});
    EXPECT_EQ(toNotes.value("Type"), "Link to " + file);
    EXPECT_TRUE(toNotes.value("Permissions").startsWith("lrwxrwxrwx"));

    // A folder the scan gave no figures for says so instead of showing its entry size.
    EXPECT_EQ(ItemProperties::read(QFile::encodeName(makeFolder("e")), {}).value("Size"),
              "Not scanned");

    // A link whose target is gone still has properties of its own.
    EXPECT_TRUE(ShowFileProperties(QFile::encodeName(dangling), &owner, launcher));
    PropertiesDialog *dialog = shownDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->fieldText("Type"), "Link to " + temp.filePath("nowhere"));
    delete dialog;
}

TEST_F(ShellTest, SizesAndModesAreFormattedInFull) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(ItemProperties::formatBytes(0, english), "0 bytes");
    EXPECT_EQ(ItemProperties::formatBytes(1, english), "1 byte");
    EXPECT_EQ(ItemProperties::formatBytes(1023, english), "1,023 bytes");
    EXPECT_EQ(ItemProperties::formatBytes(3LL << 40, english), "3,298,534,883,328 bytes (3.00 TB)");
    // The C locale leaves grouping out by default; sizes still get it.
    EXPECT_EQ(ItemProperties::formatBytes(1234567, QLocale::c()), "1,234,567 bytes (1.18 MB)");
    // Scan totals go beyond 64 bits: every digit, grouped, and a size in exabytes.
    EXPECT_EQ(ItemProperties::formatBytes(FixedRaw(1) << 64, english),
              "18,446,744,073,709,551,616 bytes (16.00 EB)");
    EXPECT_EQ(ItemProperties::formatBytes(std::numeric_limits<qint64>::max(), english),
              "9,223,372,036,854,775,807 bytes (8.00 EB)");

    EXPECT_EQ(ItemProperties::formatMode(S_IFREG | 04755), "-rwsr-xr-x (4755)");
    EXPECT_EQ(ItemProperties::formatMode(S_IFREG | 02644), "-rw-r-Sr-- (2644)");
    EXPECT_EQ(ItemProperties::formatMode(S_IFDIR | 01777), "drwxrwxrwt (1777)");
    EXPECT_EQ(ItemProperties::formatMode(S_IFIFO | 0600), "prw------- (0600)");
}

} // namespace
