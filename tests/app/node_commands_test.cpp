#include "MainFixture.h"

#include "Chart.h"
#include "OutlineGridView.h"
#include "PropertiesDialog.h"
#include "RecordingShellLauncher.h"
#include "ScanTree.h"
#include "StoredColor.h"
#include "mdlFileSearch.h"

#include <QAction>
#include <QMenu>

namespace {

struct NodeFixture : MainFixture {
    // Right-clicks a row the way the grid reports it: before-mouse-down, then mouse-down.
    bool rightClick(int row) {
        const QPoint pos = form->gridView()->cellRect(row, 0).center();
        form->fgTree_BeforeMouseDown(Qt::RightButton, pos);
        form->fgTree_MouseDown(Qt::RightButton, pos);
        const bool shown = form->popupMenu()->isVisible();
        form->popupMenu()->hide();
        return shown;
    }
    int countRoots() const {
        int roots = 0;
        for (int r = 2; r < form->grid().rows(); ++r)
            roots += form->grid().level(r) == 0;
        return roots;
    }
};

} // namespace

TEST_F(NodeFixture, ThePopUpMenuShowsForFoldersAndRootsOnly) {
    scan(root);
    OutlineGrid &g = form->grid();
    EXPECT_FALSE(rightClick(ScanTree::TopRow));
    EXPECT_FALSE(rightClick(rowNamed("<Files in sub>")));
    EXPECT_TRUE(rightClick(rowNamed("sub")));
    EXPECT_EQ(g.text(g.cursorRow(), 0), "sub"); // the click selected the row first
    EXPECT_FALSE(form->clearRootAction()->isVisible());
    EXPECT_TRUE(rightClick(rowNamed(root + "/")));
    EXPECT_TRUE(form->clearRootAction()->isVisible());
    // An aborted scan's red row has no menu either.
    form->fileSearch().setYieldFunction([&] { form->cmdAbort_Click(); });
    scan(root + "/sub");
    EXPECT_FALSE(rightClick(rowNamed("Scan aborted")));
}

TEST_F(NodeFixture, ClearingRootsRemovesExactlyTheirRows) {
    scan(root + "/sub");
    form->settings().Collapse_Root_Nodes_B4_Scan = false;
    scan(root);
    scan(root + "/empty");
    OutlineGrid &g = form->grid();
    ASSERT_EQ(countRoots(), 3);
    const int middle = rowNamed(root + "/");
    g.select(middle, 0);
    form->mnuClearRootNode_Click();
    EXPECT_EQ(countRoots(), 2);
    EXPECT_EQ(findRow(root + "/"), -1);
    EXPECT_EQ(g.text(middle, 0), root + "/empty/"); // the next root moved up
    EXPECT_EQ(g.text(1, 4), "2030");                // only sub's bytes are left
    // Clearing what is left leaves the header and the top row at zero, and an empty chart.
    g.select(2, 0);
    form->mnuClearRootNode_Click();
    g.select(2, 0);
    form->mnuClearRootNode_Click();
    EXPECT_EQ(g.rows(), 2);
    EXPECT_EQ(g.text(1, 4), "0");
    EXPECT_EQ(form->chart().title(), "");
    EXPECT_EQ(form->chart().pointCount(0), 0);
    // A folder row is not a root: the command refuses with its own error.
    scan(root);
    g.select(rowNamed("sub"), 0);
    prompts.shown.clear();
    form->mnuClearRootNode_Click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].title, "Error in mnuClearRootNode_Click");
    EXPECT_TRUE(prompts.shown[0].text.startsWith("-2147220734\nSelected node is not a root node"));
}

TEST_F(NodeFixture, CollapsingAndExpandingNodes) {
    form->mnuAllNodes_Click(1); // only the top row: nothing to do, no error
    EXPECT_EQ(form->grid().rows(), 2);
    scan(root);
    OutlineGrid &g = form->grid();
    const int r = rowNamed(root + "/"), sub = rowNamed("sub"), deep = rowNamed("deep");
    g.select(r, 0);
    form->mnuThisNode_Click(1);
    EXPECT_EQ(g.outlineState(r), OutlineExpanded);
    EXPECT_EQ(g.outlineState(sub), OutlineExpanded);
    form->mnuAllNodes_Click(0);
    EXPECT_EQ(g.outlineState(ScanTree::TopRow), OutlineExpanded); // never touched
    EXPECT_EQ(g.outlineState(r), OutlineCollapsed);
    EXPECT_EQ(g.outlineState(deep), OutlineCollapsed);
    form->mnuAllNodes_Click(1);
    EXPECT_EQ(g.outlineState(deep), OutlineExpanded);
    // The user cannot fold the top row away.
    EXPECT_FALSE(form->gridView()->requestOutlineState(ScanTree::TopRow, OutlineCollapsed));
    EXPECT_EQ(g.outlineState(ScanTree::TopRow), OutlineExpanded);
    EXPECT_TRUE(form->gridView()->requestOutlineState(sub, OutlineCollapsed));
    EXPECT_EQ(prompts.shown.size(), 1u); // only the scan's message
}

TEST_F(NodeFixture, TheSelectedRowGetsTheBorderAndItsTextColour) {
    scan(root);
    OutlineGrid &g = form->grid();
    const int sub = rowNamed("sub"), r = rowNamed(root + "/");
    g.select(sub, 0);
    ASSERT_EQ(g.borders().size(), 1u);
    EXPECT_EQ(g.borders()[0].range, (GridRange{sub, 0, sub, g.cols() - 1}));
    EXPECT_EQ(g.borders()[0].color, form->settings().HighLight_Border_Color);
    EXPECT_EQ(g.borders()[0].left, 2);
    EXPECT_EQ(g.selectionForeColor(), StoredColor::SystemBit | 14u);
    g.select(r, 0);
    ASSERT_EQ(g.borders().size(), 1u);
    EXPECT_EQ(g.borders()[0].range.top, r);
    EXPECT_EQ(g.selectionForeColor(), form->settings().Root_Font_Color);
}

TEST_F(NodeFixture, DroppingOneExistingPathScansIt) {
    EXPECT_FALSE(form->fgTree_OLEDragOver({root, root + "/sub"}));
    EXPECT_FALSE(form->fgTree_OLEDragOver({root + "/missing"}));
    EXPECT_TRUE(form->fgTree_OLEDragOver({root + "/sub"}));
    form->fgTree_OLEDragDrop({root, root + "/sub"});
    EXPECT_EQ(form->grid().rows(), 2);
    form->fgTree_OLEDragDrop({root + "/sub"});
    EXPECT_EQ(rowNamed(root + "/sub/"), 2);
    EXPECT_EQ(prompts.shown.back().text, "The scan has finished.");
}

TEST_F(NodeFixture, ADropDuringAScanIsIgnored) {
    bool dropped = false;
    form->fileSearch().setYieldFunction([&] {
        if (dropped)
            return;
        dropped = true;
        EXPECT_FALSE(form->fgTree_OLEDragOver({root + "/sub"}));
        form->fgTree_OLEDragDrop({root + "/sub"});
    });
    scan(root);
    EXPECT_TRUE(dropped);
    EXPECT_EQ(countRoots(), 1);
    EXPECT_EQ(form->startPathBox()->currentText(), root + "/");
}

TEST_F(NodeFixture, OpeningAFolderDeletedSinceTheScanReportsTheShellFailure) {
    auto launcher = std::make_unique<RecordingShellLauncher>();
    RecordingShellLauncher &shell = *launcher;
    form->setShellLauncher(std::move(launcher));
    scan(root);
    QDir(root + "/empty").removeRecursively();
    form->grid().select(rowNamed("empty"), 0);
    prompts.shown.clear();
    form->mnuOpenFold_Click(0);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].title, "Shell execute failed...");
    EXPECT_EQ(prompts.shown[0].text, root + "/empty/\nError number: 2\nError description: File "
                                            "not found");
    EXPECT_TRUE(shell.requests.empty()); // nothing was launched
    // Explore on a folder that is there goes to the file manager.
    form->grid().select(rowNamed("sub"), 0);
    shell.fileManagerAnswers = true;
    form->mnuOpenFold_Click(1);
    ASSERT_EQ(shell.requests.size(), 1u);
    EXPECT_EQ(shell.requests[0].kind, "dbus");
    EXPECT_EQ(prompts.shown.size(), 1u);
    // A files row has no folder of its own.
    form->grid().select(rowNamed("<Files in sub>"), 0);
    form->mnuOpenFold_Click(0);
    EXPECT_EQ(prompts.shown.back().title, "Error in mnuOpenFold_Click");
    EXPECT_TRUE(prompts.shown.back().text.startsWith("-2147220714\nNull folder name"));
}

TEST_F(NodeFixture, PropertiesFallBackToOurDialogWithTheScansFigures) {
    auto launcher = std::make_unique<RecordingShellLauncher>();
    RecordingShellLauncher &shell = *launcher;
    form->setShellLauncher(std::move(launcher));
    scan(root);
    form->grid().select(rowNamed("sub"), 0);
    form->mnuProps_Click();
    ASSERT_EQ(shell.requests.size(), 1u);
    EXPECT_EQ(shell.requests[0].name, "ShowItemProperties");
    auto *dialog = form->findChild<PropertiesDialog *>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->fieldText("Size").startsWith("2,030 bytes"));
    EXPECT_EQ(dialog->fieldText("Files"), "2 files");
    dialog->close();
    EXPECT_EQ(prompts.shown.size(), 1u); // only the scan's message
}
