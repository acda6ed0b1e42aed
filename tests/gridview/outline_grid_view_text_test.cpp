// The outline grid view's texts: columns that stretch, tooltips of texts cut short, control
// characters, shortened group names, text over fills, and finding a row by typing its name.
#include "OutlineGrid.h"
#include "OutlineGridView.h"
#include "StoredColor.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleFactory>

#include <gtest/gtest.h>

#include <memory>

namespace {

class OutlineGridViewTextTest : public ::testing::Test {
protected:
    OutlineGrid grid;
    std::unique_ptr<OutlineGridView> view;

    void SetUp() override {
        grid.setCols(4);
        grid.setRows(1);
        grid.setFixedRows(1);
        for (int c = 0; c < 4; ++c)
            grid.setColWidth(c, 1500); // 100 px at 96 DPI
        grid.setTextRange(0, 0, 3, QStringLiteral("Node\tSize\t\tFiles"));
        grid.setLevel(0, -1);
        add(QStringLiteral("Scans"), -1);
        add(QStringLiteral("/data/"), 0);
        for (const char *name : {"alpha", "beta", "bravo", "charlie", "Beacon"})
            add(QString::fromLatin1(name), 1);
        view = std::make_unique<OutlineGridView>(&grid);
        view->resize(600, 320);
        view->show();
        QCoreApplication::processEvents();
        view->flush();
    }

    int add(const QString &name, int level) {
        const int r = grid.addRow();
        grid.setNode(r, true);
        grid.setLevel(r, level);
        grid.setText(r, 0, name);
        return r;
    }

    QImage grab() {
        view->flush();
        return view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    // A cell's text area in the coordinates of grab().
    QRect textArea(int row, int col) {
        const QRect cell = view->cellRect(row, col);
        return view->textRect(row, col, cell).translated(view->viewport()->pos());
    }
    void type(const QString &text) {
        for (QChar c : text) {
            QKeyEvent event(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(view.get(), &event);
        }
    }
};

double luminance(QColor c) {
    auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

TEST_F(OutlineGridViewTextTest, TheStretchColumnTakesTheRoomLeftAndKeepsItsOwnWidth) {
    QHeaderView *header = view->header();
    const int own = header->sectionSize(0);
    view->setStretchColumn(0);
    const int others = header->sectionSize(1) + header->sectionSize(2) + header->sectionSize(3);
    EXPECT_EQ(header->sectionSize(0), view->viewport()->width() - others);
    EXPECT_EQ(grid.colWidth(0), 1500); // the stored width is the user's, not the stretched one

    view->resize(900, 320);
    QCoreApplication::processEvents();
    EXPECT_EQ(header->sectionSize(0), view->viewport()->width() - others);
    EXPECT_EQ(view->contentWidth(), view->viewport()->width());

    // Narrower than the columns: the stretching one keeps its own width and the view scrolls.
    view->resize(300, 320);
    QCoreApplication::processEvents();
    EXPECT_EQ(header->sectionSize(0), own);
    EXPECT_GT(view->contentWidth(), view->viewport()->width());

    // Widening another column takes room from the stretched one.
    view->resize(900, 320);
    QCoreApplication::processEvents();
    header->resizeSection(1, header->sectionSize(1) + 50);
    EXPECT_EQ(view->contentWidth(), view->viewport()->width());
    EXPECT_EQ(grid.colWidth(0), 1500);
}

TEST_F(OutlineGridViewTextTest, ACellCutShortShowsItsWholeTextInItsTooltip) {
    const QString longName = QStringLiteral("a folder name far too long for its column, 2023");
    const int row = add(longName, 1);
    view->flush();
    EXPECT_EQ(view->toolTipFor(row, 0), longName);
    EXPECT_EQ(view->toolTipFor(3, 0), QString()); // "alpha" fits
    grid.setColWidth(0, 15 * 600);
    view->flush();
    EXPECT_EQ(view->toolTipFor(row, 0), QString());

    // A tooltip of the program's own comes first when the text fits, after it when not.
    view->setToolTipSource([](int r, int c) {
        return r == 3 && c == 0 ? QStringLiteral("Permission denied") : QString();
    });
    EXPECT_EQ(view->toolTipFor(3, 0), "Permission denied");
    grid.setColWidth(0, 15 * 40);
    view->flush();
    EXPECT_EQ(view->toolTipFor(3, 0), "alpha\nPermission denied");
}

TEST_F(OutlineGridViewTextTest, ControlCharactersAreDrawnAsMarksOnOneLine) {
    const int raw = add(QStringLiteral("two\nlines\tand\x7f"), 1);
    const int marked = add(QString::fromUtf8("two\u240alines\u2409and\u2421"), 1);
    EXPECT_EQ(view->shownText(raw, 0), grid.text(marked, 0));
    grid.setColWidth(0, 15 * 400);
    const QImage image = grab();
    const QRect a = textArea(raw, 0), b = textArea(marked, 0);
    ASSERT_FALSE(a.isEmpty());
    EXPECT_EQ(image.copy(a), image.copy(b));
    EXPECT_EQ(grid.text(raw, 0), QStringLiteral("two\nlines\tand\x7f")); // the name is kept
}

TEST_F(OutlineGridViewTextTest, AGroupRowIsShortenedInTheMiddleSoItsEndStaysReadable) {
    const QString name = QStringLiteral("<Files in a_rather_long_folder_name_ENDS_HERE>");
    const int row = add(name, 1);
    const int plain = add(QString(), 1);
    grid.setColWidth(0, 15 * 220);
    view->flush();
    const QRect area = textArea(row, 0);
    const QString expected =
        QFontMetrics(view->fontOf(row, 0)).elidedText(name, Qt::ElideMiddle, area.width());
    ASSERT_TRUE(expected.endsWith(QStringLiteral("HERE>")) && expected.contains(QChar(0x2026)));
    grid.setText(plain, 0, expected);
    const QImage image = grab();
    EXPECT_EQ(image.copy(area), image.copy(textArea(plain, 0)));
}

TEST_F(OutlineGridViewTextTest, TextOverAFillOfItsOwnContrastsInADarkPalette) {
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Window, QColor(45, 45, 45));
    view->setPalette(dark);
    grid.setColWidth(0, 15 * 300);
    grid.setCellBackColor(4, 0, 4, 0, StoredColor::fromRgb(255, 255, 200)); // pale yellow
    grid.select(6, 0);
    const QImage image = grab();

    auto darkest = [&](const QRect &r) {
        double least = 1;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                least = std::min(least, luminance(image.pixelColor(x, y)));
        return least;
    };
    auto lightest = [&](const QRect &r) {
        double most = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                most = std::max(most, luminance(image.pixelColor(x, y)));
        return most;
    };
    // "beta" over its pale fill: dark text, contrast of at least 7:1 between ink and fill.
    const QRect filled = textArea(4, 0);
    EXPECT_GE((lightest(filled) + 0.05) / (darkest(filled) + 0.05), 7.0);
    // "alpha" on the dark base: light text.
    const QRect onBase = textArea(3, 0);
    EXPECT_LT(darkest(onBase), 0.05);
    EXPECT_GE((lightest(onBase) + 0.05) / (darkest(onBase) + 0.05), 7.0);
}

TEST_F(OutlineGridViewTextTest, TypingANameSelectsTheNextShownRowThatStartsWithIt) {
    const int interval = QApplication::keyboardInputInterval();
    QApplication::setKeyboardInputInterval(60000); // every key below belongs to one search
    grid.select(3, 0);                             // alpha
    type(QStringLiteral("b"));
    EXPECT_EQ(grid.text(grid.cursorRow(), 0), "beta");
    type(QStringLiteral("r"));
    EXPECT_EQ(grid.text(grid.cursorRow(), 0), "bravo");
    EXPECT_EQ(grid.selectedRowCount(), 1);

    // A new search after a pause; the same key again goes on to the next name, without regard
    // to case, and wraps round to the first.
    QApplication::setKeyboardInputInterval(0); // each key begins a search
    type(QStringLiteral("c"));
    EXPECT_EQ(grid.text(grid.cursorRow(), 0), "charlie");
    QApplication::setKeyboardInputInterval(60000);
    grid.select(3, 0);
    QStringList seen;
    QApplication::setKeyboardInputInterval(0); // each key begins a search
    type(QStringLiteral("x"));                 // ends the search begun above, finds nothing, stays
    EXPECT_EQ(grid.cursorRow(), 3);
    for (int i = 0; i < 4; ++i) {
        type(QStringLiteral("b"));
        seen << grid.text(grid.cursorRow(), 0);
        QApplication::setKeyboardInputInterval(60000);
    }
    EXPECT_EQ(seen, (QStringList{"beta", "bravo", "Beacon", "beta"}));

    // Rows out of sight are not found.
    QApplication::setKeyboardInputInterval(0); // each key begins a search
    grid.setOutlineState(2, OutlineCollapsed);
    grid.select(2, 0);
    type(QStringLiteral("c"));
    EXPECT_EQ(grid.cursorRow(), 2);
    QApplication::setKeyboardInputInterval(interval);
}

} // namespace
