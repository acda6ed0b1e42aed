#include "MainFixture.h"

#include "Chart.h"
#include "ChartView.h"
#include "OutlineGridView.h"
#include "ScanTree.h"
#include "frmMain.h"
#include "mdlFileSearch.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST_F(MainFixture, AScanCompletesWithTotalsTimeAndTheFinishedMessage) {
    scan(root);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "The scan has finished.");
    EXPECT_EQ(prompts.shown[0].title, "Success");
    EXPECT_EQ(prompts.shown[0].icon, Prompts::Icon::Information);
    EXPECT_TRUE(form->statusText(2).startsWith("Done in "));
    EXPECT_TRUE(form->statusText(2).endsWith("  seconds"));
    EXPECT_EQ(form->startPathBox()->currentText(), root + "/"); // trailing separator added
    OutlineGrid &g = form->grid();
    const int r = rowNamed(root + "/");
    ASSERT_EQ(r, 2);
    EXPECT_EQ(g.text(r, 4), "2130");
    EXPECT_EQ(g.text(r, 3), "3");
    EXPECT_EQ(g.text(1, 4), "2130"); // the top row
    EXPECT_EQ(g.outlineState(r), OutlineExpanded);
    EXPECT_TRUE(form->startPathBox()->isEnabled());
    // The chart shows the new root's children.
    EXPECT_EQ(form->chart().title(), root + "/");
    EXPECT_EQ(form->chart().seriesCount(), 3); // sub, empty and the files row
}

TEST_F(MainFixture, AnEmptyStartPathIsAnErrorThatAddsNoRow) {
    scan(QString());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].title, "Error in scanning");
    EXPECT_TRUE(prompts.shown[0].text.startsWith("-2147220904\nInvalid start path.\nLine: "));
    EXPECT_EQ(prompts.shown[0].icon, Prompts::Icon::Critical);
    EXPECT_EQ(form->statusText(2), "Error encountered.");
    EXPECT_EQ(form->grid().rows(), 2);
    EXPECT_TRUE(form->startPathBox()->isEnabled());
}

TEST_F(MainFixture, AbortDuringTheWalkLeavesTheRowsAndAddsTheRedRow) {
    int yields = 0;
    form->fileSearch().setYieldFunction([&] {
        if (++yields == 2)
            form->cmdAbort_Click(); // pressed while the walk yields
        QCoreApplication::processEvents();
    });
    scan(root);
    ASSERT_FALSE(prompts.shown.empty());
    EXPECT_EQ(prompts.shown.back().text, "Scan was aborted.");
    EXPECT_EQ(prompts.shown.back().title, "Warning in Scan");
    EXPECT_EQ(form->statusText(2), "Scan was aborted.");
    OutlineGrid &g = form->grid();
    const int last = g.rows() - 1;
    EXPECT_EQ(g.text(last, 0), "Scan aborted");
    EXPECT_EQ(g.cellForeColor(last, 0), 255u);
    EXPECT_EQ(g.parentRow(last), 2); // the scan's root
    EXPECT_EQ(g.lastChild(2), last);
}

TEST_F(MainFixture, ClearingBeforeAScanLeavesOneRoot) {
    scan(root + "/sub");
    form->settings().Clear_Nodes_B4_Scan = true;
    scan(root);
    OutlineGrid &g = form->grid();
    int roots = 0;
    for (int r = 2; r < g.rows(); ++r)
        roots += g.level(r) == 0;
    EXPECT_EQ(roots, 1);
    EXPECT_EQ(g.text(1, 4), "2130");
}

TEST_F(MainFixture, ClearAllAsksAboutThePathList) {
    scan(root);
    prompts.shown.clear();
    prompts.answers = {Prompts::No};
    form->cmdClear_Click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Would you like to clear the path list as well?");
    EXPECT_EQ(prompts.shown[0].title, "Clear Path List");
    EXPECT_EQ(prompts.shown[0].buttons, Prompts::Buttons::YesNo);
    EXPECT_EQ(prompts.shown[0].defaultAnswer, Prompts::No);
    EXPECT_EQ(form->grid().rows(), 2);
    EXPECT_EQ(form->grid().text(1, 4), "0");
    EXPECT_EQ(form->startPathBox()->count(), 1);
    prompts.answers = {Prompts::Yes};
    form->cmdClear_Click();
    EXPECT_EQ(form->startPathBox()->count(), 0);
    EXPECT_EQ(form->startPathBox()->currentText(), "");
}

TEST_F(MainFixture, ClickingAFilesRowClearsTheChartAndShowsItsFolder) {
    scan(root);
    const int files = rowNamed("<Files in sub>");
    ASSERT_GT(files, 0);
    form->grid().select(files, 0);
    form->fgTree_Click();
    EXPECT_EQ(form->statusText(1), root + "/sub/");
    EXPECT_EQ(form->chart().title(), "");
    const int sub = rowNamed("sub");
    form->grid().select(sub, 0);
    form->fgTree_Click();
    EXPECT_EQ(form->chart().title(), "sub");
    EXPECT_EQ(form->chart().seriesCount(), 2); // "deep" and its files row
}

TEST_F(MainFixture, HidingAndShowingTheChart) {
    scan(root);
    form->ShowTheChart(false);
    EXPECT_FALSE(form->chartView()->isVisible());
    EXPECT_FALSE(form->dispChartAction()->isChecked());
    EXPECT_GT(form->gridView()->width(), form->width() / 2);
    form->grid().select(rowNamed("sub"), 0);
    form->fgTree_Click(); // hidden: only the status bar follows
    EXPECT_EQ(form->statusText(1), root + "/sub/");
    EXPECT_NE(form->chart().title(), "sub");
    form->mnuDispChart_Click();
    EXPECT_TRUE(form->chartView()->isVisible());
    EXPECT_TRUE(form->dispChartAction()->isChecked());
    EXPECT_EQ(form->chart().title(), "sub");
}

TEST_F(MainFixture, TheSplitterStaysWithinItsLimits) {
    form->resize(1000, 600);
    QCoreApplication::processEvents();
    const double tpp = form->twipsPerPixel();
    const double W = form->gridView()->parentWidget()->width() * tpp;
    form->setSplitterLeft(200); // too close to the left edge
    EXPECT_NEAR(form->splitterLeft(), W - 500, tpp);
    form->setSplitterLeft(4000);
    EXPECT_NEAR(form->splitterLeft(), 4000, tpp);
    EXPECT_NEAR(form->gridView()->width() * tpp, 4000, tpp);
}

TEST_F(MainFixture, TheWindowKeepsItsMinimumSize) {
    form->resize(100, 50);
    QCoreApplication::processEvents();
    const double tpp = form->twipsPerPixel();
    EXPECT_GE(form->frameGeometry().width() * tpp, 9100 - tpp);
    EXPECT_GE(form->frameGeometry().height() * tpp, 3200 - tpp);
}

TEST_F(MainFixture, ThePathListPutsNewPathsFirstAndComparesExactly) {
    form->AddToList("/a/");
    form->AddToList("/b/");
    form->AddToList("/a/");
    form->AddToList("/A/");
    QComboBox *box = form->startPathBox();
    ASSERT_EQ(box->count(), 3);
    EXPECT_EQ(box->itemText(0), "/A/");
    EXPECT_EQ(box->itemText(1), "/b/");
    EXPECT_EQ(box->itemText(2), "/a/");
}

TEST_F(MainFixture, OpacityItemsSetTheWindowsAlpha) {
    EXPECT_EQ(frmMain::opacityAlpha(90), 230);
    EXPECT_EQ(frmMain::opacityAlpha(70), 178); // 178.5 goes to the even neighbour
    EXPECT_EQ(frmMain::opacityAlpha(30), 76);  // 76.5 likewise
    EXPECT_EQ(frmMain::opacityAlpha(10), 26);
    form->mnuSetOpacity_Click(5);
    EXPECT_TRUE(form->opacityAction(5)->isChecked());
    EXPECT_FALSE(form->opacityAction(0)->isChecked());
    EXPECT_NEAR(form->windowOpacity(), 128 / 255.0, 0.01);
}

// Status panel 1 takes the walk's folder with the walk's figures (ten times a second), not at
// every turn of the event loop; it must still get there while the walk runs.
TEST_F(MainFixture, StatusPanelOneShowsTheFolderTheWalkIsIn) {
    QString walking, shown;
    form->fileSearch().setYieldFunction([&] {
        if (!walking.isEmpty())
            return;
        walking = form->fileSearch().statusText();
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 250)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        shown = form->statusText(1);
    });
    scan(root);
    ASSERT_FALSE(walking.isEmpty());
    EXPECT_EQ(shown.toStdString(), walking.toStdString());
}

TEST_F(MainFixture, ClosingDuringAScanAbortsItAndClosesOnceItHasUnwound) {
    bool asked = false;
    form->fileSearch().setYieldFunction([&] {
        if (!asked) {
            asked = true;
            EXPECT_FALSE(form->close()); // refused for now: the walk is still on the stack
            EXPECT_TRUE(form->isVisible());
        }
    });
    scan(root);
    EXPECT_TRUE(asked);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->grid().text(form->grid().rows() - 1, 0), "Scan aborted");
    EXPECT_TRUE(prompts.shown.empty()); // nobody is left to read an outcome box
}

TEST_F(MainFixture, RootsOfUnusableDrivesEachHaveTheirOwnPicture) {
    const ScanTree &tree = form->scanTree();
    const OutlineGrid &g = form->grid();
    auto image = [&](TreePicture p) {
        return g.picture(tree.pictureId(p)).pixmap(16, 16).toImage();
    };
    const TreePicture roles[] = {TreePicture::HDD,    TreePicture::Undtmnd,
                                 TreePicture::NoRoot, TreePicture::InvDrvNum,
                                 TreePicture::Folder, TreePicture::Warning};
    for (TreePicture a : roles) {
        EXPECT_FALSE(image(a).isNull());
        for (TreePicture b : roles) {
            if (a != b) {
                EXPECT_NE(image(a), image(b))
                    << static_cast<int>(a) << " looks like " << static_cast<int>(b);
            }
        }
    }
}
