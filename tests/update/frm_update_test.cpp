// The update dialog against a real HTTP server on 127.0.0.1: the version check and its
// messages, the news, the download address and its instructions, and the fetch's limits.
#include "LocalHttpServer.h"
#include "RecordingPrompts.h"
#include "SetClientSize.h"
#include "frmUpdate.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString FailedText = "The update check failed. You must check for the\n"
                           "new version of this application manually at\n"
                           "https://www.velmoria.example.";
const QString ErrorText = "An error has occured. Update check failed.\n"
                          "You must check for the new version of this application \n"
                          "manually at https://www.velmoria.example.";
const QString DownloadErrorText = "An error has occured. You must manually download the new\n"
                                  "version of Cairnmeter at https://www.velmoria.example.";

class UpdateDialogTest : public ::testing::Test {
protected:
    LocalHttpServer server;
    RecordingPrompts prompts;
    QStringList opened;
    std::unique_ptr<frmUpdate> dialog;

    void SetUp() override {
        ASSERT_TRUE(server.isListening());
        qputenv("CAIRNMETER_UPDATE_URL", server.baseUrl().toUtf8());
        dialog = std::make_unique<frmUpdate>(
            prompts, [this](QWidget *, const QString &address) { opened << address; }, nullptr);
        dialog->show();
    }
    void TearDown() override { qunsetenv("CAIRNMETER_UPDATE_URL"); }

    QPushButton *button(const char *name) const {
        return dialog->findChild<QPushButton *>(QString::fromLatin1(name));
    }
    QString news() const { return dialog->findChild<QPlainTextEdit *>("txtInfo")->toPlainText(); }
    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void check(const QByteArray &versionFile) {
        server.serve("/files/Cairnmeter.ver", versionFile);
        click("cmdCheck");
    }
    /// The one message shown since the last call, checked for its title and icon.
    QString message(const QString &title, Prompts::Icon icon) {
        EXPECT_EQ(prompts.shown.size(), 1u);
        if (prompts.shown.size() != 1)
            return {};
        const RecordingPrompts::Shown shown = prompts.shown[0];
        prompts.shown.clear();
        EXPECT_EQ(shown.title, title);
        EXPECT_EQ(shown.icon, icon);
        return shown.text;
    }
    // The failure's text, and under it why the check failed.
    void expectCheckFailed(const QString &text, const QString &reason) {
        const QString shown = message("Error in update", Prompts::Icon::Critical);
        EXPECT_TRUE(shown.startsWith(text + "\n\n")) << shown.toStdString();
        EXPECT_TRUE(shown.mid(text.size()).contains(reason)) << shown.toStdString();
        EXPECT_TRUE(button("cmdLink")->isVisible());
        EXPECT_TRUE(button("cmdLink")->hasFocus());
        EXPECT_TRUE(button("cmdCheck")->isEnabled());
        EXPECT_FALSE(button("cmdDown")->isEnabled());
        EXPECT_FALSE(dialog->isBusy());
    }
};

TEST_F(UpdateDialogTest, StartsCompactWithItsCaptionsAndTips) {
    EXPECT_EQ(dialog->windowTitle(), "Update");
    EXPECT_EQ(button("cmdCheck")->text(), "Check For &Update");
    EXPECT_EQ(button("cmdCheck")->toolTip(), "Check It");
    EXPECT_EQ(button("cmdDown")->text(), "&Download New Version");
    EXPECT_EQ(button("cmdDown")->toolTip(), "Download It");
    EXPECT_EQ(button("cmdCancel")->toolTip(), "Cancel");
    EXPECT_EQ(button("cmdLink")->text(), "www.velmoria.example");
    EXPECT_EQ(button("cmdLink")->toolTip(), "Click here to go to the official site");
    EXPECT_FALSE(button("cmdDown")->isEnabled());
    EXPECT_FALSE(button("cmdLink")->isVisible());
    EXPECT_EQ(dialog->findChild<QLabel *>("lblDesc2")->text(),
              "Please ensure that you are connected to the internet before proceeding.");
    EXPECT_GE(dialog->width(), twipsToPixels(dialog.get(), frmUpdate::ClientWidth));
    EXPECT_LT(dialog->height(), twipsToPixels(dialog.get(), frmUpdate::TallHeight));
}

TEST_F(UpdateDialogTest, LowerCaseTagIsAcceptedAndANewerReleaseShowsItsNews) {
    server.serve("/files/Cairnmeter.nwz", "VLM_NWZ Faster scans.\r\nA new chart.\r\n");
    check("vlm_ver 1.0.6\r\n");
    EXPECT_EQ(server.requested, QStringList({"/files/Cairnmeter.ver", "/files/Cairnmeter.nwz"}));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(dialog->windowTitle(), "Update available from v1.0.5 to v1.0.6");
    EXPECT_EQ(news(), "Faster scans.\nA new chart.");
    EXPECT_TRUE(button("cmdDown")->isEnabled());
    EXPECT_TRUE(button("cmdDown")->hasFocus());
    EXPECT_TRUE(button("cmdCheck")->isEnabled());
    EXPECT_GE(dialog->height(), twipsToPixels(dialog.get(), frmUpdate::TallHeight));

    // The next check starts compact again, with the download button off until it is decided.
    check("VLM_VER 1.0.5");
    EXPECT_EQ(message("Cairnmeter update", Prompts::Icon::Information),
              "Web release 1.0.5\nYour release 1.0.5\nYou have the latest release of Cairnmeter.");
    EXPECT_EQ(dialog->windowTitle(), "Update");
    EXPECT_FALSE(button("cmdDown")->isEnabled());
    EXPECT_TRUE(news().isEmpty());
    EXPECT_LT(dialog->height(), twipsToPixels(dialog.get(), frmUpdate::TallHeight));
    EXPECT_TRUE(button("cmdCancel")->hasFocus());
}

TEST_F(UpdateDialogTest, PublishedVersionIsComparedPartByPart) {
    struct Case {
        ReleaseVersion own;
        QByteArray published;
        bool newer;
    } cases[] = {{{1, 0, 5}, "1.0.5", false},
                 {{1, 0, 9}, "1.1.0", true},
                 {{1, 0, 0}, "0.9.9", false},
                 {{1, 0, 9}, "1.0.10", true},
                 {{2, 0, 0}, "1.9.9", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.published.toStdString());
        prompts.shown.clear();
        dialog->setOwnVersion(c.own);
        server.serve("/files/Cairnmeter.nwz", "VLM_NWZ news");
        check("VLM_VER " + c.published);
        EXPECT_EQ(button("cmdDown")->isEnabled(), c.newer);
        if (c.newer) {
            EXPECT_TRUE(prompts.shown.empty());
            EXPECT_EQ(dialog->windowTitle(),
                      "Update available from v" + c.own.text() + " to v" + c.published);
        } else {
            EXPECT_EQ(message("Cairnmeter update", Prompts::Icon::Information),
                      "Web release " + c.published + "\nYour release " + c.own.text() +
                          "\nYou have the latest release of Cairnmeter.");
        }
    }
}

TEST_F(UpdateDialogTest, MissingNewsStillOffersTheDownload) {
    check("VLM_VER 1.0.6");
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(news(), "Unable to get news for Cairnmeter.");
    EXPECT_TRUE(button("cmdDown")->isEnabled());

    // A news file with the wrong tag counts as missing too.
    server.serve("/files/Cairnmeter.nwz", "<html>Sorry</html>");
    check("VLM_VER 1.0.6");
    EXPECT_EQ(news(), "Unable to get news for Cairnmeter.");
}

TEST_F(UpdateDialogTest, MalformedVersionsGiveTheErrorText) {
    for (const QByteArray version : {"1.x.0", "1.0", "abc", "1.0.70000", "1..5", ""}) {
        SCOPED_TRACE(version.toStdString());
        check("VLM_VER " + version);
        expectCheckFailed(ErrorText,
                          "\"" + QString::fromUtf8(version) + "\" is not a version number");
    }
    // A build number after the revision is not compared: 1.0.6.1 is release 1.0.6.
    server.serve("/files/Cairnmeter.nwz", "VLM_NWZ news");
    check("VLM_VER 1.0.6.1");
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(dialog->windowTitle(), "Update available from v1.0.5 to v1.0.6");
}

TEST_F(UpdateDialogTest, PagesWithoutTheTagAndErrorStatusesFailCleanly) {
    check("<!DOCTYPE html><html><body><h1>Welcome</h1></body></html>");
    expectCheckFailed(FailedText, "The release file holds no version.");

    check("   \r\n  "); // empty once trimmed
    expectCheckFailed(FailedText, "The server sent an empty file.");

    // The right text behind an error status is not a release file either.
    server.answers["/files/Cairnmeter.ver"] = {500, "VLM_VER 9.9.9"};
    click("cmdCheck");
    expectCheckFailed(FailedText, "The server answered with HTTP status 500");

    server.answers.clear(); // 404
    click("cmdCheck");
    expectCheckFailed(FailedText, "The server answered with HTTP status 404");
    // The compact dialog grew to hold its labels and the web-site button, none of them cut.
    QCoreApplication::processEvents();
    for (const QLabel *label : dialog->findChildren<QLabel *>())
        EXPECT_GE(label->height(), label->heightForWidth(label->width()))
            << label->text().toStdString();
    EXPECT_TRUE(dialog->rect().contains(button("cmdLink")->geometry()));

    qputenv("CAIRNMETER_UPDATE_URL", "http://127.0.0.1:1"); // nobody listens there
    click("cmdCheck");
    expectCheckFailed(FailedText, "Connection refused");

    qputenv("CAIRNMETER_UPDATE_URL", "http://no-such-host.invalid");
    click("cmdCheck");
    expectCheckFailed(FailedText, "not found");
    EXPECT_TRUE(opened.isEmpty());

    click("cmdLink");
    EXPECT_EQ(opened, QStringList{"https://www.velmoria.example"});
}

TEST_F(UpdateDialogTest, ServerThatNeverAnswersEndsAtTheTimeOut) {
    EXPECT_EQ(dialog->fetcher().timeout(), 15000);
    dialog->fetcher().setTimeout(200);
    server.answers["/files/Cairnmeter.ver"].silent = true;
    click("cmdCheck");
    EXPECT_EQ(server.requested, QStringList{"/files/Cairnmeter.ver"});
    expectCheckFailed(FailedText, "The server did not answer within 0.2 seconds.");
}

TEST_F(UpdateDialogTest, OversizedResponsesAreRefused) {
    // A valid release file padded past 64 KiB: taken, it would offer version 9.9.9.
    const QByteArray padded = "VLM_VER 9.9.9" + QByteArray(64 * 1024, ' ');
    for (bool withLength : {true, false}) {
        SCOPED_TRACE(withLength);
        server.answers["/files/Cairnmeter.ver"] = {200, padded, false, withLength};
        click("cmdCheck");
        expectCheckFailed(FailedText, "The answer was larger than 64 KB.");
    }
    // Just under the limit it is accepted.
    server.answers["/files/Cairnmeter.ver"] = {200, padded.left(64 * 1024), false, false};
    click("cmdCheck");
    EXPECT_TRUE(button("cmdDown")->isEnabled());
}

TEST_F(UpdateDialogTest, DownloadOpensTheAddressOnlyAfterTheInstructions) {
    const QByteArray address = "https://dl.velmoria.example/Cairnmeter-1.0.6.deb";
    server.serve("/files/Cairnmeter.dlf", "VLM_DLF " + address + "\r\n");
    check("VLM_VER 1.0.6");
    prompts.answers = {Prompts::Cancel};
    click("cmdDown");
    EXPECT_EQ(message("Instructions", Prompts::Icon::Information),
              "This feature will download the installer package\n"
              "for the new version of Cairnmeter. After the download\n"
              "is complete, please exit the current running version\n"
              "of Cairnmeter before installing the new version.");
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(button("cmdDown")->isEnabled());

    prompts.answers = {Prompts::Ok};
    click("cmdDown");
    EXPECT_EQ(message("Instructions", Prompts::Icon::Information).left(12), "This feature");
    EXPECT_EQ(opened, QStringList{QString::fromLatin1(address)});
    EXPECT_TRUE(button("cmdDown")->isEnabled());
    EXPECT_FALSE(button("cmdLink")->isVisible());
}

TEST_F(UpdateDialogTest, AddressesThatAreNotWebPagesAreNeverOpened) {
    check("VLM_VER 1.0.6");
    for (const QByteArray bad : {"file:///etc/passwd", "javascript:alert(document.cookie)",
                                 "/usr/bin/xterm", "xterm -e sh -c reboot", "ftp://x.example/a",
                                 "https://dl.velmoria.example/a\nfile:///etc/passwd"}) {
        SCOPED_TRACE(bad.toStdString());
        server.serve("/files/Cairnmeter.dlf", "VLM_DLF " + bad);
        prompts.answers = {Prompts::Ok};
        click("cmdDown");
        EXPECT_EQ(message("Error in download", Prompts::Icon::Critical), DownloadErrorText);
        EXPECT_TRUE(button("cmdLink")->isVisible());
        EXPECT_TRUE(button("cmdDown")->isEnabled());
    }
    server.answers.remove("/files/Cairnmeter.dlf");
    click("cmdDown");
    EXPECT_EQ(message("Error in download", Prompts::Icon::Critical), DownloadErrorText);
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(UpdateDialogTest, ClosingWhileAFetchWaitsEndsItAndClosesQuietly) {
    server.answers["/files/Cairnmeter.ver"].silent = true;
    // Closed from an event handled while the fetch waits (as a window manager's close would
    // be): the default 15 s time-out must not be waited for.
    QTimer::singleShot(50, dialog.get(), [this] {
        EXPECT_TRUE(dialog->isBusy());
        dialog->close();
        EXPECT_TRUE(dialog->isVisible()); // not while the fetch is on the stack
    });
    click("cmdCheck");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_FALSE(dialog->isBusy());
}

TEST_F(UpdateDialogTest, EscapeAndCancelClose) {
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    dialog->show();
    click("cmdCancel");
    EXPECT_FALSE(dialog->isVisible());
}

} // namespace
