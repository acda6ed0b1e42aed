// The main window as a new user meets it: columns that fit the interface font, a tree readable
// in a dark palette, sorting from the header and finding a row by typing its name.
#include "MainFixture.h"

#include "Chart.h"
#include "OutlineGridView.h"
#include "ScanTree.h"
#include "mdlFileSearch.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QStatusBar>
#include <QStyleFactory>
#include <QTest>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

double luminance(QColor c) {
    auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// The contrast ratio between the darkest and the lightest pixel of an area: the text and what
// lies under it.
double contrastIn(const QImage &image, const QRect &area) {
    double least = 1, most = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const double l = luminance(image.pixelColor(x, y));
            least = std::min(least, l);
            most = std::max(most, l);
        }
    return (most + 0.05) / (least + 0.05);
}

// The most common colour of an area: what the text is drawn on.
QColor backgroundOf(const QImage &image, const QRect &area) {
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb best = 0;
    int n = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > n) {
            n = it.value();
            best = it.key();
        }
    return QColor::fromRgb(best);
}

QPalette darkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(53, 53, 53));
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Base, QColor(35, 35, 35));
    p.setColor(QPalette::AlternateBase, QColor(53, 53, 53));
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::Button, QColor(53, 53, 53));
    p.setColor(QPalette::ButtonText, Qt::white);
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::black);
    return p;
}

struct LookFixture : MainFixture {
    OutlineGridView *view() const { return form->gridView(); }
    QImage grabTree() {
        view()->flush();
        return view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    QRect textArea(int row) {
        const QRect cell = view()->cellRect(row, 0);
        const QRect text = view()->textRect(row, 0, cell).intersected(view()->viewport()->rect());
        return text.translated(view()->viewport()->pos());
    }
    void clickHeader(int col) {
        QHeaderView *header = view()->header();
        const QPoint at(header->sectionViewportPosition(col) + header->sectionSize(col) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
    int checkedSortItem() const {
        for (int i = 0; i < 10; ++i)
            if (form->sortAction(i)->isChecked())
                return i;
        return -1;
    }
};

TEST(MainLookFont, DefaultColumnsShowTheHeaderAndALargeSizeWholeInALargerFont) {
    QLocale::setDefault(QLocale::c());
    const QFont before = QApplication::font();
    QFont large = before;
    large.setPointSizeF(before.pointSizeF() * 1.5);
    QApplication::setFont(large);
    RecordingPrompts prompts;
    {
        frmMain form(&prompts);
        form.show();
        OutlineGrid &g = form.grid();
        OutlineGridView *view = form.gridView();
        QHeaderView *header = view->header();
        header->setSortIndicator(TreeCol::Files, Qt::AscendingOrder);
        header->setSortIndicatorShown(true);
        for (int col : {TreeCol::Size, TreeCol::Files})
            EXPECT_GE(header->sectionSize(col), header->sectionSizeHint(col)) << col;

        const int root = g.addRow();
        g.setLevel(root, 0);
        g.setTextRange(root, 0, 4, QStringLiteral("/big/\t999999.99\tMB\t9999999\t1"));
        g.setCellBold(root, 0, root, 4, true);
        view->flush();
        EXPECT_EQ(g.displayText(root, TreeCol::Size), "999,999.99");
        for (int col : {TreeCol::Size, TreeCol::Unit, TreeCol::Files})
            EXPECT_EQ(view->toolTipFor(root, col), QString()) << col; // shown whole
    }
    QApplication::setFont(before);
}

TEST_F(LookFixture, TheNameColumnTakesTheRoomWhenTheWindowGrows) {
    QHeaderView *header = view()->header();
    form->ShowTheChart(false); // the grid then spans the window
    const int stored = form->grid().colWidth(TreeCol::Name);
    form->resize(form->width() + 300, form->height());
    QCoreApplication::processEvents();
    EXPECT_EQ(view()->contentWidth(), view()->viewport()->width());
    EXPECT_GT(header->sectionSize(TreeCol::Name), qRound(stored / view()->twipsPerPixel()));
    EXPECT_EQ(form->grid().colWidth(TreeCol::Name), stored);
}

TEST_F(LookFixture, TheWallpaperTilesWithoutSeams) {
    const QImage wallpaper = form->grid().look().wallpaper;
    ASSERT_FALSE(wallpaper.isNull());
    const int w = wallpaper.width(), h = wallpaper.height();
    // Across the edge where two tiles meet, neighbours differ no more than inside a tile.
    int inside = 0, across = 0;
    for (int y = 0; y < h; ++y) {
        inside = std::max(inside,
                          std::abs(qAlpha(wallpaper.pixel(1, y)) - qAlpha(wallpaper.pixel(0, y))));
        across = std::max(
            across, std::abs(qAlpha(wallpaper.pixel(w - 1, y)) - qAlpha(wallpaper.pixel(0, y))));
    }
    for (int x = 0; x < w; ++x)
        across = std::max(
            across, std::abs(qAlpha(wallpaper.pixel(x, h - 1)) - qAlpha(wallpaper.pixel(x, 0))));
    EXPECT_LE(across, std::max(inside, 1));
    EXPECT_TRUE(wallpaper.hasAlphaChannel()); // a tint, not a picture of its own
}

TEST_F(LookFixture, TheTreeIsReadableInADarkPaletteAndInALightOne) {
    scan(root);
    const int sub = rowNamed("sub");
    form->grid().select(rowNamed("empty"), 0);
    for (const QPalette &palette : {darkPalette(), QPalette(Qt::white)}) {
        const bool dark = palette.color(QPalette::Base).lightness() < 128;
        form->setPalette(palette);
        QCoreApplication::processEvents();
        const QImage image = grabTree();
        const QRect area = textArea(sub);
        ASSERT_FALSE(area.isEmpty());
        const double background = luminance(backgroundOf(image, area));
        EXPECT_EQ(background < 0.2, dark) << background;
        EXPECT_GE(contrastIn(image, area), 7.0) << (dark ? "dark" : "light");
        // The selected row's text over the fill the user chose.
        EXPECT_GE(contrastIn(image, textArea(rowNamed("empty"))), 4.5);
    }
}

TEST_F(LookFixture, AHeaderClickSortsLikeTheMenuAndShowsTheArrow) {
    scan(root);
    QHeaderView *header = view()->header();
    clickHeader(TreeCol::Size);
    EXPECT_EQ(checkedSortItem(), 3); // "By Size (Ascending)"
    EXPECT_EQ(form->grid().colSort(TreeCol::Bytes), GridSort::NumericAscending);
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), TreeCol::Size);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    const int rootRow = rowNamed(root + "/");
    EXPECT_EQ(form->grid().text(form->grid().firstChild(rootRow), 0), "empty");

    clickHeader(TreeCol::Size);
    EXPECT_EQ(checkedSortItem(), 4);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(form->grid().text(form->grid().firstChild(rootRow), 0), "sub");

    clickHeader(TreeCol::Files);
    EXPECT_EQ(checkedSortItem(), 6);
    clickHeader(TreeCol::Name);
    EXPECT_EQ(checkedSortItem(), 0);
    EXPECT_EQ(header->sortIndicatorSection(), TreeCol::Name);
    clickHeader(TreeCol::Name);
    EXPECT_EQ(checkedSortItem(), 1);

    form->mnuSort_Click(9); // "None" from the menu takes the arrow away
    EXPECT_FALSE(header->isSortIndicatorShown());
    clickHeader(TreeCol::Unit); // the unit's column sorts nothing
    EXPECT_EQ(checkedSortItem(), 9);
    EXPECT_FALSE(header->isSortIndicatorShown());
}

TEST_F(LookFixture, TypingInTheTreeSelectsTheNextNameAndChartsIt) {
    scan(root);
    view()->setFocus();
    QTest::keyClicks(view(), QStringLiteral("su"));
    EXPECT_EQ(form->grid().text(form->grid().cursorRow(), 0), "sub");
    EXPECT_EQ(form->chart().shownContent().title, "sub");
}

TEST_F(LookFixture, TheThirdPanelCountsTheWalkAsItRunsAndEndsAtItsTotals) {
    EXPECT_FALSE(form->statusBar()->findChild<QLabel *>("sbrPanel3")->isVisible());
    // Read the panel at every yield of the walk, as the timer would.
    QStringList seen;
    form->fileSearch().setYieldFunction([&] {
        form->showWalkFigures();
        seen << form->statusText(3);
    });
    scan(root);
    ASSERT_FALSE(seen.isEmpty());
    // root, sub, deep and empty; a.txt, b.bin and c: 2,130 bytes, shown in bytes.
    const QString final = form->statusText(3);
    EXPECT_TRUE(final.startsWith("4 folders, 3 files, " + QLocale().toString(2130) + " B, 0:0"))
        << final.toStdString();
    EXPECT_FALSE(final.contains("unreadable"));
    EXPECT_TRUE(form->statusBar()->findChild<QLabel *>("sbrPanel3")->isVisible());
    // Figures only grow during the walk and never pass the totals.
    int lastFolders = 0;
    for (const QString &text : seen) {
        const int folders = text.section(u' ', 0, 0).toInt();
        EXPECT_GE(folders, lastFolders) << text.toStdString();
        EXPECT_LE(folders, 4);
        lastFolders = folders;
    }
    EXPECT_EQ(prompts.shown.back().text, "The scan has finished.");

    // The figures are of the last scan, in the unit of the day.
    form->settings().Object_Size = 1;
    scan(root + "/sub");
    EXPECT_TRUE(form->statusText(3).startsWith("2 folders, 2 files, 1.98 KB, 0:0"))
        << form->statusText(3).toStdString();
    prompts.answers.push_back(Prompts::No);
    form->cmdClear_Click();
    EXPECT_FALSE(form->statusBar()->findChild<QLabel *>("sbrPanel3")->isVisible());
}

TEST_F(LookFixture, UnreadableFoldersAreMarkedCountedAndToldInTheOutcomeBox) {
    form->fileSearch().setOpenDirFunction([](int fd, const char *name) {
        if (std::strcmp(name, "sub") == 0 || std::strcmp(name, "empty") == 0) {
            errno = EACCES;
            return -1;
        }
        return mdlFileSearch::openDirectory(fd, name);
    });
    scan(root);
    EXPECT_EQ(prompts.shown.back().text,
              "The scan has finished.\n2 folders could not be read; they are marked in the tree.");
    EXPECT_TRUE(form->statusText(3).endsWith(", 2 unreadable"))
        << form->statusText(3).toStdString();
    EXPECT_TRUE(form->statusText(2).startsWith("Done in "));
    const int sub = rowNamed("sub");
    EXPECT_EQ(view()->toolTipFor(sub, TreeCol::Name), "Permission denied");
    EXPECT_EQ(view()->toolTipFor(rowNamed("<Files in " + root + "/>"), TreeCol::Size), QString());
    // The start folder is an ordinary folder; the refused one wears the warning badge.
    EXPECT_NE(form->grid().cellPicture(sub, 0), form->grid().cellPicture(rowNamed(root + "/"), 0));
}

} // namespace
