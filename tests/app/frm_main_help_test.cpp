// The Help menu of the main window, driven through its actions: the update dialog it opens
// against a local HTTP server, and what the dialog's buttons hand to the desktop.
#include "MainFixture.h"

#include "HelpWindow.h"
#include "LocalHttpServer.h"
#include "RecordingShellLauncher.h"
#include "mdlHelp.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

QStringList captions(const QMenu *menu) {
    QStringList list;
    for (const QAction *a : menu->actions())
        list << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return list;
}

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
        qputenv("XDG_CACHE_HOME", dir.filePath("cache").toUtf8());
    }
    void TearDown() override {
        qunsetenv("CAIRNMETER_UPDATE_URL");
        qunsetenv("XDG_CACHE_HOME");
    }
    QAction *item(const QString &caption) const { return actionNamed(form->helpMenu(), caption); }
};

TEST_F(HelpMenuTest, TheMenuHoldsEveryItemInOrderAndComesLast) {
    EXPECT_EQ(
        captions(form->helpMenu()),
        QStringList({"Help Content...", "Help Index...", "Help Search...", "-",
                     "Velmoria on the Web...", "Check for Update...", "-", "About Cairnmeter..."}));
    EXPECT_EQ(form->helpMenu()->title(), "&Help");
    EXPECT_EQ(form->menuBar()->actions().constLast(), form->helpMenu()->menuAction());
}

TEST_F(HelpMenuTest, WithTheHelpFileRemovedEachCommandShowsItsTitledMessage) {
    QFile::copy(CAIRNMETER_HELP_FILE, dir.filePath("Cairnmeter.qhc"));
    form->setHelpFile(dir.filePath("Cairnmeter.qhc"));
    ASSERT_TRUE(QFile::remove(form->helpFile()));
    const char *titles[] = {"Cairnmeter Help File Contents", "Cairnmeter Help File Index",
                            "Cairnmeter Help File Search"};
    const char *items[] = {"Help Content...", "Help Index...", "Help Search..."};
    for (int i = 0; i < 3; ++i) {
        prompts.shown.clear();
        item(items[i])->trigger();
        ASSERT_EQ(prompts.shown.size(), 1u) << items[i];
        EXPECT_EQ(prompts.shown[0].title, titles[i]);
        EXPECT_EQ(prompts.shown[0].text, "Error in opening Help file.\nHelp File #1");
        EXPECT_EQ(prompts.shown[0].icon, Prompts::Icon::Critical);
    }
    EXPECT_EQ(form->help().window(), nullptr);

    prompts.shown.clear();
    form->mnuHelp_Click(3);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Invalid Help menu selection.");
    EXPECT_EQ(prompts.shown[0].title, "Cairnmeter Help");
    EXPECT_EQ(prompts.shown[0].icon, Prompts::Icon::Exclamation);
}

TEST_F(HelpMenuTest, HelpContentOpensTheCompiledManual) {
    form->setHelpFile(CAIRNMETER_HELP_FILE);
    item("Help Index...")->trigger();
    EXPECT_TRUE(prompts.shown.empty());
    HelpWindow *window = form->help().window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->currentPage(), HelpWindow::Page::Index);
    EXPECT_EQ(window->parentWidget(), nullptr); // owned by no window
}

TEST_F(HelpMenuTest, VelmoriaOnTheWebOpensTheSite) {
    item("Velmoria on the Web...")->trigger();
    ASSERT_EQ(launcher->requests.size(), 1u);
    EXPECT_EQ(launcher->requests[0].name, "xdg-open");
    EXPECT_EQ(launcher->requests[0].arguments, QStringList{"https://www.velmoria.example"});
}

TEST_F(HelpMenuTest, AboutClosesWhenTheMainWindowTakesTheFocus) {
    form->activateWindow();
    bool ran = false, closedByFocus = false;
    whenModalOpens([&](QWidget *about) {
        ran = true;
        EXPECT_EQ(about->objectName(), "frmAbout");
        EXPECT_EQ(about->parentWidget(), form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(about));
        // A click on a label turns it red; the next opening shows it normal again.
        QTest::mouseClick(about->findChild<QLabel *>("lblProduct"), Qt::LeftButton);
        EXPECT_EQ(about->findChild<QLabel *>("lblProduct")->palette().color(QPalette::WindowText),
                  QColor(255, 0, 0));
        QApplication::setActiveWindow(form.get());
        QCoreApplication::processEvents();
        closedByFocus = !about->isVisible();
        if (!closedByFocus)
            about->close(); // so that a failure ends the test instead of hanging it
    });
    item("About Cairnmeter...")->trigger();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(closedByFocus);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ASSERT_EQ(launcher->requests.size(), 1u); // the web site, from the label

    whenModalOpens([&](QWidget *about) {
        EXPECT_NE(about->findChild<QLabel *>("lblProduct")->palette().color(QPalette::WindowText),
                  QColor(255, 0, 0));
        QTest::keyClick(about, Qt::Key_Escape);
    });
    form->mnuAbout_Click();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(HelpMenuTest, CheckForUpdateOpensTheModalDialogOwnedByTheWindow) {
    QAction *update = item("Check for Update...");
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
