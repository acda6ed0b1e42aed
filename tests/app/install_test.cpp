// Installing into a prefix: every file in its freedesktop place, the menu entry and the
// AppStream metadata accepted by their validators, and the installed program's help found
// and opened.
#include "HelpFiles.h"
#include "RecordingPrompts.h"
#include "mdlHelp.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString Id = QStringLiteral("example.velmoria.Cairnmeter");

struct Outcome {
    int exitCode = -1;
    QString output;
};

Outcome run(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

class InstallTest : public ::testing::Test {
protected:
    static inline QTemporaryDir *prefix = nullptr;
    static inline Outcome install;

    static void SetUpTestSuite() {
        prefix = new QTemporaryDir;
        install = run(QStringLiteral(CMAKE_COMMAND),
                      {"--install", CAIRNMETER_BUILD_DIR, "--prefix", prefix->path()});
    }
    static void TearDownTestSuite() {
        delete prefix;
        prefix = nullptr;
    }
    void SetUp() override { ASSERT_EQ(install.exitCode, 0) << install.output.toStdString(); }
    static QString path(const QString &relative) { return prefix->filePath(relative); }
};

TEST_F(InstallTest, EveryFileLandsInItsPlace) {
    const QFileInfo binary(path("bin/cairnmeter"));
    EXPECT_TRUE(binary.isFile() && binary.isExecutable());
    for (const QString &file : QStringList{
             "share/cairnmeter/help/Cairnmeter.qhc", "share/cairnmeter/help/Cairnmeter.qch",
             "share/applications/" + Id + ".desktop", "share/metainfo/" + Id + ".metainfo.xml",
             "share/icons/hicolor/scalable/apps/" + Id + ".svg"}) {
        const QFileInfo info(path(file));
        EXPECT_TRUE(info.isFile() && info.size() > 0) << file.toStdString();
    }
}

TEST_F(InstallTest, TheInstalledProgramFindsAndOpensItsHelp) {
    const QString help = HelpFiles::DefaultHelpFile(path("bin"));
    EXPECT_EQ(help, path("share/cairnmeter/help/Cairnmeter.qhc"));
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    RecordingPrompts prompts;
    mdlHelp manual(prompts, {});
    manual.setHelpFile(help);
    EXPECT_TRUE(manual.HelpContents(1, nullptr));
    EXPECT_TRUE(prompts.shown.empty());
    qunsetenv("XDG_CACHE_HOME");
}

TEST_F(InstallTest, DesktopEntryPassesItsValidator) {
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed (scripts/setup installs it)";
    const Outcome check = run(validator, {path("share/applications/" + Id + ".desktop")});
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
    EXPECT_FALSE(check.output.contains("error:")) << check.output.toStdString();
}

TEST_F(InstallTest, AppStreamMetadataPassesItsValidator) {
    const QString validator = QStandardPaths::findExecutable("appstreamcli");
    if (validator.isEmpty())
        GTEST_SKIP() << "appstreamcli is not installed (scripts/setup installs it)";
    const Outcome check =
        run(validator, {"validate", "--no-net", path("share/metainfo/" + Id + ".metainfo.xml")});
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
}

} // namespace
