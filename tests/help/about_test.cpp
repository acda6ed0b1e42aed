// The About box: its texts, what its labels do on a left click (and not on others), and its
// ways of closing.
#include "RecordingPrompts.h"
#include "frmAbout.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QColor Red(255, 0, 0);

class AboutTest : public ::testing::Test {
protected:
    RecordingPrompts prompts;
    QStringList opened;
    std::unique_ptr<frmAbout> about;

    void SetUp() override { open(); }
    void open() {
        about = std::make_unique<frmAbout>(
            prompts, [this](QWidget *, const QString &address) { opened << address; }, nullptr);
        about->show();
    }
    QLabel *label(const char *name) const { return about->findChild<QLabel *>(name); }
    static QColor colour(const QLabel *l) { return l->palette().color(QPalette::WindowText); }
};

TEST_F(AboutTest, ShowsTheVersionTheHistoryAndTheCredits) {
    EXPECT_EQ(about->windowTitle(), "About Cairnmeter");
    EXPECT_EQ(label("lblVersion")->text(), "Version: 1.0.5");
    EXPECT_EQ(label("lblInfo0")->text(), "Cairnmeter");
    EXPECT_EQ(label("lblInfo1")->text(), "A program to survey a disk's space usage");
    EXPECT_EQ(label("lblProduct")->text(), "Velmoria");
    EXPECT_EQ(label("lblProduct")->toolTip(), "Go to the official website");
    EXPECT_EQ(label("lblURL")->toolTip(), "Go to the official website");
    EXPECT_EQ(label("lblVersionUpdate")->text(), "Update Information");
    EXPECT_EQ(label("lblVersionUpdate")->toolTip(), "Check for an update");
    EXPECT_EQ(about->findChild<QPushButton *>("cmdOK")->text(), "&OK");

    const QString history =
        "v1.0.5 (4/7/2008) Added capability to scan a node with a specific size format and be "
        "able to sort all the other nodes properly. Changed the default format of the report "
        "file name. Minor tweaks.\r\n\r\n"
        "v1.0.4 (10/31/2006) Added drive-specific icons to the root node. Minor tweaks.\r\n\r\n"
        "v1.0.3 (10/16/2006) Implemented sorting routines for all nodes. A main node called "
        "'Scans' is now the parent of all scans. Fixed bug where clearing a root node would not "
        "delete all its children rows. Minor tweaks.\r\n\r\n"
        "v1.0.2 (9/6/2006) Minor tweaks.\r\n\r\n"
        "v1.0.1 (5/9/2006) Added a column for number of files.\r\n\r\n"
        "v1.0.0 (12/20/2005) Initial version.\r\n\r\n";
    const QString text = frmAbout::ProgInfoText();
    EXPECT_TRUE(text.startsWith(history));
    // Then the credits and the contact paragraph, the last naming the web site and the mail.
    const QStringList after = text.mid(history.size()).split("\r\n\r\n");
    ASSERT_EQ(after.size(), 2);
    EXPECT_TRUE(after[0].contains("Velmoria"));
    EXPECT_TRUE(after[1].contains("https://www.velmoria.example"));
    EXPECT_TRUE(after[1].contains("software@velmoria.example"));
    auto *box = about->findChild<QPlainTextEdit *>("txtProgInfo");
    EXPECT_TRUE(box->isReadOnly());
    EXPECT_EQ(box->toPlainText(), QString(text).replace("\r\n", "\n"));
}

TEST_F(AboutTest, LeftClicksTurnTheLabelRedAndOpenTheSiteOrAMail) {
    const QColor normal = colour(label("lblProduct"));
    EXPECT_NE(normal, Red);
    QTest::mouseClick(label("lblProduct"), Qt::RightButton);
    QTest::mouseClick(label("lblURL"), Qt::MiddleButton);
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(colour(label("lblProduct")), normal);

    QTest::mouseClick(label("lblProduct"), Qt::LeftButton);
    EXPECT_EQ(colour(label("lblProduct")), Red);
    EXPECT_EQ(colour(label("lblURL")), normal);
    QTest::mouseClick(label("lblURL"), Qt::LeftButton);
    QTest::mouseClick(label("lblCopyright"), Qt::LeftButton);
    EXPECT_EQ(colour(label("lblCopyright")), Red);
    EXPECT_EQ(opened, QStringList({"https://www.velmoria.example", "https://www.velmoria.example",
                                   "mailto:software@velmoria.example"}));
    EXPECT_TRUE(about->isVisible());

    // Each opening is a new box with its labels back to normal.
    about->close();
    open();
    EXPECT_EQ(colour(label("lblProduct")), normal);
    EXPECT_EQ(colour(label("lblCopyright")), normal);
}

TEST_F(AboutTest, UpdateInformationShowsTheUpdateDialogOwnedByTheBox) {
    QWidget *update = nullptr;
    QTimer::singleShot(0, qApp, [&] {
        update = QApplication::activeModalWidget();
        ASSERT_NE(update, nullptr);
        EXPECT_EQ(update->objectName(), "frmUpdate");
        EXPECT_EQ(update->parentWidget(), about.get());
        QTest::keyClick(update, Qt::Key_Escape);
    });
    QTest::mouseClick(label("lblVersionUpdate"), Qt::LeftButton);
    EXPECT_NE(update, nullptr);
    EXPECT_EQ(colour(label("lblVersionUpdate")), Red);
    EXPECT_TRUE(about->isVisible()); // its own dialog taking the focus does not close it
}

TEST_F(AboutTest, OkAndEscapeClose) {
    QTest::mouseClick(about->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    EXPECT_FALSE(about->isVisible());
    open();
    QTest::keyClick(about.get(), Qt::Key_Escape);
    EXPECT_FALSE(about->isVisible());
}

} // namespace
