// The Help menu of the main window, driven through its actions: the update dialog it opens
// against a local HTTP server, and what the dialog's buttons hand to the desktop.
#include "MainFixture.h"

#include "LocalHttpServer.h"
#include "RecordingShellLauncher.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

/// Runs `step` on the modal dialog the next action opens, once it is up.
void whenModalOpens(const std::function<void(QWidget *)> &step) {
    QTimer::singleShot(0, qApp, [step] {
        QWidget *modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        step(modal);
    });
}

QAction *actionNamed(const QMenu *menu, const QString &text) {
    for (QAction *a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

struct HelpMenuTest : MainFixture {
    LocalHttpServer server;
    RecordingShellLauncher *launcher = nullptr;

    void SetUp() override {
        MainFixture::SetUp();
        auto recording = std::make_unique<RecordingShellLauncher>();
        launcher = recording.get();
        form->setShellLauncher(std::move(recording));
        qputenv("CAIRNMETER_UPDATE_URL", server.baseUrl().toUtf8());
    }
    void TearDown() override { qunsetenv("CAIRNMETER_UPDATE_URL"); }
};

TEST_F(HelpMenuTest, CheckForUpdateOpensTheModalDialogOwnedByTheWindow) {
    QAction *update = actionNamed(form->helpMenu(), "Check for Update...");
    ASSERT_NE(update, nullptr);
    server.serve("/files/Cairnmeter.ver", "VLM_VER 1.0.6");
    server.serve("/files/Cairnmeter.dlf", "VLM_DLF https://dl.velmoria.example/c-1.0.6.deb");
    prompts.answers = {Prompts::Ok};
    bool ran = false;
    whenModalOpens([&](QWidget *dialog) {
        ran = true;
        EXPECT_EQ(dialog->objectName(), "frmUpdate");
        EXPECT_EQ(dialog->parentWidget(), form.get());
        QTest::mouseClick(dialog->findChild<QPushButton *>("cmdCheck"), Qt::LeftButton);
        EXPECT_EQ(dialog->windowTitle(), "Update available from v1.0.5 to v1.0.6");
        QTest::mouseClick(dialog->findChild<QPushButton *>("cmdDown"), Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QPushButton *>("cmdCancel"), Qt::LeftButton);
    });
    update->trigger();
    EXPECT_TRUE(ran);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].title, "Instructions");
    // The address went to the desktop's browser through the shell helper.
    ASSERT_EQ(launcher->requests.size(), 1u);
    EXPECT_EQ(launcher->requests[0].name, "xdg-open");
    EXPECT_EQ(launcher->requests[0].arguments,
              QStringList{"https://dl.velmoria.example/c-1.0.6.deb"});
}

TEST_F(HelpMenuTest, TheWebSiteButtonOpensTheHomePage) {
    whenModalOpens([&](QWidget *dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton *>("cmdCheck"), Qt::LeftButton); // 404
        auto *link = dialog->findChild<QPushButton *>("cmdLink");
        EXPECT_TRUE(link->isVisible());
        QTest::mouseClick(link, Qt::LeftButton);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    form->mnuUpdate_Click();
    ASSERT_EQ(launcher->requests.size(), 1u);
    EXPECT_EQ(launcher->requests[0].arguments, QStringList{"https://www.velmoria.example"});
}

} // namespace
