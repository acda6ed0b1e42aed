#include "OutlineGrid.h"
#include "OutlineGridAccessible.h"
#include "OutlineGridView.h"
#include "StoredColor.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

std::vector<QAccessible::Event> g_accessibleEvents;
void recordAccessibleEvent(QAccessibleEvent *event) {
    g_accessibleEvents.push_back(event->type());
}

int countColor(const QImage &image, const QRect &area, QColor color) {
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += image.pixelColor(x, y) == color;
    return n;
}

QIcon solidIcon(QColor color) {
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

// Without a real drag in progress Qt routes no move or drop events, so tests call the handlers.
class DropTestView : public OutlineGridView {
public:
    using OutlineGridView::dragMoveEvent;
    using OutlineGridView::dropEvent;
    using OutlineGridView::OutlineGridView;
};

// A scan tree as the program builds it:
//  1 Scans(-1) > 2 /home/(0) > 3 alice(1) > 4 Documents, 5 Pictures > 6 2023, 7 <Files in alice>
//                            > 8 bob(1) > 9 Music;  10 <Files in /home/>(1)
class OutlineGridViewTest : public ::testing::Test {
protected:
    OutlineGrid grid;
    std::unique_ptr<DropTestView> view;

    void SetUp() override {
        grid.setCols(6);
        grid.setRows(1);
        grid.setFixedRows(1);
        const int widths[] = {3045, 990, 375, 735, 960, 960};
        for (int c = 0; c < 6; ++c)
            grid.setColWidth(c, widths[c]);
        grid.setColHidden(4, true);
        grid.setColFormat(1, QStringLiteral("#,##0.##"));
        grid.setTextRange(0, 0, 4, QStringLiteral("Node\tSize\t\t# of Files\tByteSize"));
        grid.setLevel(0, -1);
        add(QStringLiteral("Scans"), -1, 9000);
        add(QStringLiteral("/home/"), 0, 9000);
        add(QStringLiteral("alice"), 1, 8000);
        add(QStringLiteral("Documents"), 2, 5000);
        add(QStringLiteral("Pictures"), 2, 3000);
        add(QStringLiteral("2023"), 3, 3000);
        add(QStringLiteral("<Files in alice>"), 2, 0);
        add(QStringLiteral("bob"), 1, 1000);
        add(QStringLiteral("Music"), 2, 1000);
        add(QStringLiteral("<Files in /home/>"), 1, 0);
        grid.select(2, 0);
        view = std::make_unique<DropTestView>(&grid);
        view->resize(500, 320);
        view->show();
        QCoreApplication::processEvents();
        view->flush();
    }

    void TearDown() override { OutlineGridAccessible::setEventObserver(nullptr); }

    int add(const QString &name, int level, int size) {
        const int r = grid.addRow();
        grid.setNode(r, true);
        grid.setLevel(r, level);
        grid.setTextRange(r, 0, 4, name + QStringLiteral("\t%1\tMB\t1\t0").arg(size));
        return r;
    }

    std::vector<int> shownRows() {
        view->ensureRowIndex();
        std::vector<int> rows;
        for (int i = 0; i < view->visibleRowCount(); ++i)
            rows.push_back(view->visibleRowAt(i));
        return rows;
    }

    QPoint centerOf(int row, int col = 0) { return view->cellRect(row, col).center(); }

    void mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = {}) {
        QWidget *target = view->viewport();
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
        QMouseEvent event(type, pos, target->mapToGlobal(pos), button, buttons, modifiers);
        QApplication::sendEvent(target, &event);
    }

    void click(QPoint pos, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = {}) {
        mouse(QEvent::MouseButtonPress, pos, button, modifiers);
        mouse(QEvent::MouseButtonRelease, pos, button, modifiers);
    }

    void key(int k, const QString &text = {}) {
        QKeyEvent event(QEvent::KeyPress, k, Qt::NoModifier, text);
        QApplication::sendEvent(view.get(), &event);
    }

    QImage grab() {
        view->flush();
        return view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // A row's band in the coordinates of grab().
    QRect rowBand(int row) {
        const QRect cell = view->cellRect(row, 0);
        return QRect(0, cell.top(), view->contentWidth(), cell.height())
            .translated(view->viewport()->pos());
    }

    void setLook(const std::function<void(GridLook &)> &change) {
        GridLook look = grid.look();
        change(look);
        grid.setLook(look);
    }
};

TEST_F(OutlineGridViewTest, ShownRowsSkipCollapsedSubtreesHiddenRowsAndZeroHeights) {
    EXPECT_EQ(shownRows(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    grid.setOutlineState(3, OutlineCollapsed);
    EXPECT_EQ(shownRows(), (std::vector<int>{1, 2, 3, 8, 9, 10}));
    grid.setRowHidden(9, true);
    grid.setRowHeight(10, 0);
    EXPECT_EQ(shownRows(), (std::vector<int>{1, 2, 3, 8}));
    // A hidden node hides only itself; a collapsed one inside a collapsed one stays out.
    grid.setOutlineState(5, OutlineCollapsed);
    grid.setOutlineState(3, OutlineExpanded);
    grid.setRowHidden(3, true);
    EXPECT_EQ(shownRows(), (std::vector<int>{1, 2, 4, 5, 7, 8}));

    // Random trees: the index agrees with the grid's own visibility rule.
    std::mt19937 rng(7);
    for (int round = 0; round < 5; ++round) {
        grid.setRows(2);
        int level = 0;
        for (int i = 0; i < 400; ++i) {
            level = std::clamp(level + static_cast<int>(rng() % 4) - 1, 0, 8);
            add(QString::number(i), level, i);
        }
        for (int r = 2; r < grid.rows(); ++r) {
            if (rng() % 10 == 0)
                grid.setOutlineState(r, OutlineCollapsed);
            if (rng() % 25 == 0)
                grid.setRowHidden(r, true);
            if (rng() % 25 == 0)
                grid.setRowHeight(r, 0);
        }
        std::vector<int> expected;
        for (int r = 1; r < grid.rows(); ++r)
            if (grid.isRowVisible(r))
                expected.push_back(r);
        ASSERT_EQ(shownRows(), expected) << "round " << round;
    }
}

TEST_F(OutlineGridViewTest, ClickSelectsTheRowAndRaisesTheMouseNotificationsInOrder) {
    std::vector<QString> log;
    QPoint seenPos;
    QObject::connect(view.get(), &OutlineGridView::beforeMouseDown, view.get(),
                     [&](Qt::MouseButton b, Qt::KeyboardModifiers, QPoint pos) {
                         log.push_back(b == Qt::LeftButton ? "before-left" : "before-right");
                         seenPos = pos;
                     });
    QObject::connect(view.get(), &OutlineGridView::mouseDown, view.get(),
                     [&](Qt::MouseButton b, Qt::KeyboardModifiers, QPoint) {
                         log.push_back(b == Qt::LeftButton ? "down-left" : "down-right");
                     });
    QObject::connect(view.get(), &OutlineGridView::clicked, view.get(),
                     [&] { log.push_back("clicked"); });
    QObject::connect(&grid, &OutlineGrid::selectionChanged, view.get(),
                     [&](int oldRow, int newRow) {
                         log.push_back(QStringLiteral("sel %1>%2").arg(oldRow).arg(newRow));
                     });

    const QPoint documents = centerOf(4, 1);
    EXPECT_EQ(view->rowAt(documents), 4);
    click(documents);
    EXPECT_EQ(grid.cursorRow(), 4);
    EXPECT_EQ(grid.cursorCol(), 1);
    EXPECT_EQ(grid.selectedRowCount(), 1);
    EXPECT_TRUE(grid.isRowSelected(4));
    EXPECT_EQ(seenPos, documents);
    EXPECT_EQ(log, (std::vector<QString>{"before-left", "sel 2>4", "down-left", "clicked"}));

    // The right button only raises the notifications; the handler does the selecting.
    log.clear();
    click(centerOf(8), Qt::RightButton);
    EXPECT_EQ(grid.cursorRow(), 4);
    EXPECT_EQ(log, (std::vector<QString>{"before-right", "down-right"}));

    // Below the last row there is no row and nothing is selected.
    EXPECT_EQ(view->rowAt(QPoint(10, view->viewport()->height() - 2)), -1);
    click(QPoint(10, view->viewport()->height() - 2));
    EXPECT_EQ(grid.cursorRow(), 4);
}

TEST_F(OutlineGridViewTest, CtrlAndShiftClicksExtendTheListBoxSelection) {
    click(centerOf(3));
    click(centerOf(8), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(grid.selectedRowCount(), 2);
    EXPECT_TRUE(grid.isRowSelected(3) && grid.isRowSelected(8));
    EXPECT_EQ(grid.cursorRow(), 8);
    click(centerOf(3), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_FALSE(grid.isRowSelected(3));
    EXPECT_EQ(grid.selectedRowCount(), 1);

    click(centerOf(8));
    click(centerOf(10), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(grid.selectedRowCount(), 3);
    EXPECT_TRUE(grid.isRowSelected(8) && grid.isRowSelected(9) && grid.isRowSelected(10));
    EXPECT_EQ(grid.cursorRow(), 10);

    // Rows inside a collapsed node are not swept into the range.
    click(centerOf(2));
    grid.setOutlineState(3, OutlineCollapsed);
    view->flush();
    click(centerOf(9), Qt::LeftButton, Qt::ShiftModifier);
    std::vector<int> selected;
    for (int i = 0; i < grid.selectedRowCount(); ++i)
        selected.push_back(grid.selectedRow(i));
    EXPECT_EQ(selected, (std::vector<int>{2, 3, 8, 9}));
    EXPECT_EQ(grid.cursorRow(), 9);
}

TEST_F(OutlineGridViewTest, GlyphClicksAskBeforeTogglingAndACancelKeepsTheState) {
    std::vector<std::pair<int, GridOutlineState>> asked;
    QObject::connect(view.get(), &OutlineGridView::beforeCollapse, view.get(),
                     [&](int row, GridOutlineState state, bool &cancel) {
                         asked.emplace_back(row, state);
                         cancel = row == 1; // the top row stays open
                     });
    const QRect glyph = view->glyphRect(3);
    ASSERT_FALSE(glyph.isEmpty());
    EXPECT_TRUE(view->glyphRect(4).isEmpty()); // no children, no glyph
    const QPoint whereDocumentsWas = centerOf(4);

    click(glyph.center());
    EXPECT_TRUE(grid.isCollapsed(3));
    EXPECT_EQ(shownRows(), (std::vector<int>{1, 2, 3, 8, 9, 10}));
    EXPECT_EQ(view->rowAt(whereDocumentsWas), 8);
    EXPECT_EQ(grid.cursorRow(), 2); // a glyph click does not select
    click(view->glyphRect(3).center());
    EXPECT_FALSE(grid.isCollapsed(3));
    EXPECT_EQ(view->rowAt(whereDocumentsWas), 4);

    click(view->glyphRect(1).center());
    EXPECT_FALSE(grid.isCollapsed(1));
    EXPECT_EQ(view->visibleRowCount(), 10);
    EXPECT_EQ(asked, (std::vector<std::pair<int, GridOutlineState>>{
                         {3, OutlineCollapsed}, {3, OutlineExpanded}, {1, OutlineCollapsed}}));

    // A double click on a node's text toggles it too, after selecting it.
    mouse(QEvent::MouseButtonPress, centerOf(8, 1));
    mouse(QEvent::MouseButtonRelease, centerOf(8, 1));
    mouse(QEvent::MouseButtonDblClick, centerOf(8, 1));
    EXPECT_TRUE(grid.isCollapsed(8));
    EXPECT_EQ(grid.cursorRow(), 8);
    EXPECT_EQ(asked.back(), std::make_pair(8, OutlineCollapsed));
}

TEST_F(OutlineGridViewTest, CollapsingANodeAboveTheCursorMovesTheCursorToIt) {
    grid.select(6, 0);
    click(view->glyphRect(3).center());
    EXPECT_EQ(grid.cursorRow(), 3);
    EXPECT_TRUE(grid.isRowSelected(3));
    EXPECT_FALSE(grid.isRowSelected(6));
}

TEST_F(OutlineGridViewTest, KeyboardMovesTheCursorAndOpensAndClosesNodes) {
    int asked = 0;
    int refused = -1;
    QObject::connect(view.get(), &OutlineGridView::beforeCollapse, view.get(),
                     [&](int row, GridOutlineState, bool &cancel) {
                         ++asked;
                         cancel = row == refused;
                     });
    grid.select(1, 0);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    EXPECT_EQ(grid.cursorRow(), 3);
    key(Qt::Key_End);
    EXPECT_EQ(grid.cursorRow(), 10);
    key(Qt::Key_Home);
    EXPECT_EQ(grid.cursorRow(), 1);
    key(Qt::Key_Up);
    EXPECT_EQ(grid.cursorRow(), 1);
    key(Qt::Key_PageDown);
    EXPECT_EQ(grid.cursorRow(), 10); // all rows fit in the view
    key(Qt::Key_PageUp);
    EXPECT_EQ(grid.cursorRow(), 1);

    grid.select(3, 0);
    key(Qt::Key_Left); // an open node closes
    EXPECT_TRUE(grid.isCollapsed(3));
    key(Qt::Key_Left); // a closed one goes to its parent
    EXPECT_EQ(grid.cursorRow(), 2);
    key(Qt::Key_Right); // an open node goes to its first child
    EXPECT_EQ(grid.cursorRow(), 3);
    key(Qt::Key_Right); // a closed one opens
    EXPECT_FALSE(grid.isCollapsed(3));
    key(Qt::Key_Down);
    EXPECT_EQ(grid.cursorRow(), 4);
    EXPECT_EQ(asked, 2);

    grid.select(3, 0);
    key(Qt::Key_Minus, QStringLiteral("-"));
    EXPECT_TRUE(grid.isCollapsed(3));
    key(Qt::Key_Plus, QStringLiteral("+"));
    EXPECT_FALSE(grid.isCollapsed(3));

    // "*" opens the whole subtree, asking for each node; a refusal keeps that node closed.
    grid.setOutlineState(3, OutlineCollapsed);
    grid.setOutlineState(5, OutlineCollapsed);
    grid.setOutlineState(8, OutlineCollapsed);
    grid.select(2, 0);
    asked = 0;
    refused = 8;
    key(Qt::Key_Asterisk, QStringLiteral("*"));
    EXPECT_FALSE(grid.isCollapsed(3));
    EXPECT_FALSE(grid.isCollapsed(5));
    EXPECT_TRUE(grid.isCollapsed(8));
    EXPECT_EQ(asked, 3);
}

TEST_F(OutlineGridViewTest, PaintingShowsHeaderTextsPicturesSelectionAndBorders) {
    const int headerHeight = view->header()->height();
    ASSERT_GT(headerHeight, 0);
    const QRect headerBand(0, 0, view->contentWidth(), headerHeight);
    const QImage withTexts = grab();
    grid.setTextRange(0, 0, 4, QStringLiteral("\t\t\t\t"));
    const QImage withoutTexts = grab();
    EXPECT_NE(withTexts.copy(headerBand), withoutTexts.copy(headerBand));
    EXPECT_EQ(withTexts.copy(rowBand(3)), withoutTexts.copy(rowBand(3)));

    const QColor red(255, 0, 0);
    EXPECT_EQ(countColor(grab(), rowBand(8), red), 0);
    grid.setCellPicture(8, 0, grid.addPicture(solidIcon(red)));
    EXPECT_GE(countColor(grab(), rowBand(8), red), 200);
    EXPECT_EQ(countColor(grab(), rowBand(9), red), 0);

    const QColor green(0, 200, 0);
    setLook([](GridLook &l) { l.backColorSel = StoredColor::fromRgb(0, 200, 0); });
    grid.select(4, 0);
    EXPECT_GE(countColor(grab(), rowBand(4), green), view->contentWidth() * 10);
    EXPECT_EQ(countColor(grab(), rowBand(5), green), 0);
    setLook([](GridLook &l) { l.highlight = 0; });
    EXPECT_EQ(countColor(grab(), rowBand(4), green), 0);

    const QColor blue(0, 0, 255);
    GridBorder border;
    border.range = {9, 0, 9, 5};
    border.color = StoredColor::fromRgb(0, 0, 255);
    border.left = border.top = border.right = border.bottom = 2;
    grid.setCellBorder(border);
    EXPECT_GE(countColor(grab(), rowBand(9), blue), view->contentWidth() * 2);
    border.color = 0;
    border.left = border.top = border.right = border.bottom = 0;
    grid.setCellBorder(border);
    EXPECT_EQ(countColor(grab(), rowBand(9), blue), 0);
}

TEST_F(OutlineGridViewTest, WallpaperAndGridLinesChangeWhatIsPainted) {
    const QRect body = view->viewport()->geometry();
    const QColor magenta(255, 0, 255);
    setLook([](GridLook &l) {
        l.gridColor = StoredColor::fromRgb(255, 0, 255);
        l.gridLines = 1;
    });
    // One horizontal line per row and one vertical line per shown column at least.
    EXPECT_GE(countColor(grab(), body, magenta), 10 * view->contentWidth() / 2);
    setLook([](GridLook &l) { l.gridLines = 14; });
    EXPECT_EQ(countColor(grab(), body, magenta), 0);

    const QColor teal(0, 128, 128);
    QImage wallpaper(8, 8, QImage::Format_RGB32);
    wallpaper.fill(teal);
    const QRect belowRows(body.left(), rowBand(10).bottom() + 1, body.width(),
                          body.bottom() - rowBand(10).bottom());
    ASSERT_GT(belowRows.height(), 20);
    EXPECT_EQ(countColor(grab(), belowRows, teal), 0);
    setLook([&](GridLook &l) { l.wallpaper = wallpaper; });
    EXPECT_GE(countColor(grab(), belowRows, teal), belowRows.width() * belowRows.height() / 2);
    EXPECT_GT(countColor(grab(), rowBand(5), teal), 0); // behind the cells too

    // The tiled background is kept between paints: another wallpaper, and a larger view, must
    // still show at once and everywhere.
    const QColor olive(128, 128, 0);
    wallpaper.fill(olive);
    setLook([&](GridLook &l) { l.wallpaper = wallpaper; });
    EXPECT_EQ(countColor(grab(), belowRows, teal), 0);
    view->resize(view->width() + 60, view->height() + 60);
    const QRect grown = view->viewport()->geometry();
    const QRect belowGrown(grown.left(), rowBand(10).bottom() + 1, grown.width(),
                           grown.bottom() - rowBand(10).bottom());
    EXPECT_EQ(countColor(grab(), belowGrown, teal), 0);
    EXPECT_GE(countColor(grab(), belowGrown, olive), belowGrown.width() * belowGrown.height() / 2);
}

TEST_F(OutlineGridViewTest, RedrawModesDecideWhenChangesArePainted) {
    PaintCounter counter;
    view->viewport()->installEventFilter(&counter);

    // Direct: changes, however many, are painted once, at a turn of the event loop no more
    // than a screen frame after the last repaint.
    grid.setRedraw(GridRedraw::Direct);
    view->flush();
    counter.paints = 0;
    grid.setText(4, 0, QStringLiteral("Docs"));
    for (int i = 0; i < 2; ++i) // few enough that no scroll bar comes and repaints
        add(QStringLiteral("direct"), 1, i);
    EXPECT_EQ(counter.paints, 0);
    QElapsedTimer waited;
    waited.start();
    while (counter.paints == 0 && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    EXPECT_EQ(counter.paints, 1);
    EXPECT_EQ(view->visibleRowCount(), 12);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    EXPECT_EQ(counter.paints, 1); // nothing changed since
    grid.setRows(grid.rows() - 2);

    grid.setRedraw(GridRedraw::Buffered);
    view->flush();
    counter.paints = 0;
    for (int i = 0; i < 50; ++i)
        grid.setText(4, 1, QString::number(i));
    EXPECT_EQ(counter.paints, 0);
    view->flush();
    EXPECT_EQ(counter.paints, 1);

    // With redraw off nothing is painted or even indexed until redraw comes back.
    grid.setRedraw(GridRedraw::None);
    counter.paints = 0;
    for (int i = 0; i < 5; ++i)
        add(QStringLiteral("new"), 1, i);
    grid.setOutlineState(3, OutlineCollapsed);
    QCoreApplication::processEvents();
    view->flush();
    EXPECT_EQ(counter.paints, 0);
    EXPECT_EQ(view->visibleRowCount(), 10);
    grid.setRedraw(GridRedraw::Buffered);
    view->flush();
    EXPECT_EQ(counter.paints, 1);
    EXPECT_EQ(view->visibleRowCount(), 11); // 4 rows collapsed away, 5 added
    view->viewport()->removeEventFilter(&counter);
}

TEST_F(OutlineGridViewTest, ColumnsFollowTheGridAndResizingWritesTheWidthBack) {
    const double tpp = view->twipsPerPixel();
    QHeaderView *header = view->header();
    EXPECT_EQ(header->sectionSize(0), qRound(3045 / tpp));
    EXPECT_EQ(header->sectionSize(3), qRound(735 / tpp));
    EXPECT_TRUE(header->isSectionHidden(4));
    EXPECT_EQ(view->shownColumns(), (QList<int>{0, 1, 2, 3, 5}));
    EXPECT_EQ(header->model()->headerData(3, Qt::Horizontal).toString(), "# of Files");
    EXPECT_EQ(view->columnAt(view->columnX(3) + 2), 3);

    header->resizeSection(1, 120);
    EXPECT_EQ(grid.colWidth(1), qRound(120 * tpp));
    EXPECT_EQ(view->columnX(2), view->columnX(1) + 120);

    grid.setColWidth(5, 0);
    grid.setText(0, 1, QStringLiteral("Bytes"));
    view->flush();
    EXPECT_FALSE(view->isColumnShown(5));
    EXPECT_EQ(header->model()->headerData(1, Qt::Horizontal).toString(), "Bytes");
    EXPECT_EQ(view->controlWidth(), qRound(view->width() * tpp));

    grid.setEnabled(false);
    EXPECT_FALSE(view->isEnabled());
    grid.setEnabled(true);
    EXPECT_TRUE(view->isEnabled());
}

TEST_F(OutlineGridViewTest, ShowCellAndTheWheelScroll) {
    for (int i = 0; i < 200; ++i)
        add(QStringLiteral("row %1").arg(i), 1, i);
    view->flush();
    const int target = grid.rows() - 50;
    EXPECT_TRUE(view->cellRect(target, 0).top() > view->viewport()->height());
    grid.showCell(target, 0);
    const QRect cell = view->cellRect(target, 0);
    EXPECT_TRUE(view->viewport()->rect().contains(cell)) << cell.top();
    EXPECT_EQ(view->rowAt(cell.center()), target);

    const int before = view->verticalScrollBar()->value();
    QWheelEvent wheel(QPointF(50, 50), view->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    EXPECT_GT(view->verticalScrollBar()->value(), before);
}

TEST_F(OutlineGridViewTest, AccessibleTreeTableReportsRowsCellsStatesAndActions) {
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(view.get());
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::Tree);
    QAccessibleTableInterface *table = iface->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), 10);
    EXPECT_EQ(table->columnCount(), 5); // ByteSize is hidden
    EXPECT_EQ(iface->childCount(), 11 * 5);
    EXPECT_EQ(iface->child(3)->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(iface->child(3)->text(QAccessible::Name), "# of Files");
    EXPECT_EQ(table->columnDescription(1), "Size");

    QAccessibleInterface *scans = table->cellAt(0, 0);
    ASSERT_NE(scans, nullptr);
    EXPECT_EQ(scans->text(QAccessible::Name), "Scans");
    EXPECT_EQ(table->cellAt(2, 1)->text(QAccessible::Name), "8,000"); // the shown text
    EXPECT_EQ(iface->indexOfChild(table->cellAt(2, 1)), 3 * 5 + 1);

    QAccessibleInterface *alice = table->cellAt(2, 0);
    EXPECT_EQ(alice->role(), QAccessible::TreeItem);
    EXPECT_TRUE(alice->state().expandable);
    EXPECT_TRUE(alice->state().expanded);
    EXPECT_FALSE(table->cellAt(3, 0)->state().expandable);
    QAccessibleTableCellInterface *aliceCell = alice->tableCellInterface();
    ASSERT_NE(aliceCell, nullptr);
    EXPECT_EQ(aliceCell->rowIndex(), 2);
    EXPECT_EQ(aliceCell->columnIndex(), 0);
    ASSERT_EQ(aliceCell->columnHeaderCells().size(), 1);
    EXPECT_EQ(aliceCell->columnHeaderCells().first()->text(QAccessible::Name), "Node");
    EXPECT_EQ(iface->childAt(alice->rect().center().x(), alice->rect().center().y()), alice);

    grid.select(4, 0);
    EXPECT_TRUE(table->isRowSelected(3));
    EXPECT_EQ(table->selectedRows(), (QList<int>{3}));
    EXPECT_TRUE(table->cellAt(3, 2)->state().selected);
    EXPECT_TRUE(table->selectRow(7));
    EXPECT_TRUE(grid.isRowSelected(8));
    EXPECT_TRUE(table->unselectRow(7));
    EXPECT_FALSE(grid.isRowSelected(8));

    int asked = 0;
    int clicks = 0;
    QObject::connect(view.get(), &OutlineGridView::beforeCollapse, view.get(),
                     [&](int, GridOutlineState, bool &) { ++asked; });
    QObject::connect(view.get(), &OutlineGridView::clicked, view.get(), [&] { ++clicks; });
    QAccessibleActionInterface *actions = alice->actionInterface();
    ASSERT_NE(actions, nullptr);
    EXPECT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    actions->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(grid.isCollapsed(3));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(table->rowCount(), 6);
    QAccessibleInterface *collapsed = table->cellAt(2, 0);
    EXPECT_TRUE(collapsed->state().collapsed);
    EXPECT_FALSE(collapsed->state().expanded);

    QAccessibleInterface *bobSize = table->cellAt(3, 1); // rows 4 to 7 are out of sight now
    EXPECT_EQ(bobSize->text(QAccessible::Name), "1,000");
    bobSize->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(grid.cursorRow(), 8);
    EXPECT_EQ(clicks, 1);
}

TEST_F(OutlineGridViewTest, AccessibleEventsFollowChangesButNotWhileRedrawIsOff) {
    g_accessibleEvents.clear();
    OutlineGridAccessible::setEventObserver(recordAccessibleEvent);
    auto saw = [](QAccessible::Event type) {
        return std::count(g_accessibleEvents.begin(), g_accessibleEvents.end(), type);
    };

    click(view->glyphRect(3).center());
    view->flush();
    EXPECT_EQ(saw(QAccessible::StateChanged), 1);
    EXPECT_EQ(saw(QAccessible::TableModelChanged), 1);
    grid.select(8, 0);
    EXPECT_EQ(saw(QAccessible::Selection), 1);

    g_accessibleEvents.clear();
    grid.setRedraw(GridRedraw::None);
    click(view->glyphRect(8).center());
    grid.select(9, 0);
    add(QStringLiteral("more"), 1, 1);
    view->flush();
    EXPECT_TRUE(g_accessibleEvents.empty());
    grid.setRedraw(GridRedraw::Buffered);
    view->flush();
    EXPECT_EQ(saw(QAccessible::TableModelChanged), 1);
}

TEST_F(OutlineGridViewTest, DraggedFilesAskTheHandlerForTheDropEffect) {
    QStringList seen;
    Qt::DropAction answer = Qt::IgnoreAction;
    QObject::connect(view.get(), &OutlineGridView::dragOver, view.get(),
                     [&](const QStringList &paths, QPoint, Qt::DropAction &effect) {
                         seen = paths;
                         effect = answer;
                     });
    QStringList dropped;
    QObject::connect(view.get(), &OutlineGridView::dragDrop, view.get(),
                     [&](const QStringList &paths, QPoint) { dropped = paths; });

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/some folder"))});
    const QPoint pos = centerOf(3);
    QDragEnterEvent refused(pos, Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(view->viewport(), &refused);
    EXPECT_EQ(seen, QStringList{"/tmp/some folder"});
    EXPECT_FALSE(refused.isAccepted());

    answer = Qt::CopyAction;
    QDragMoveEvent move(pos, Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, {});
    view->dragMoveEvent(&move);
    EXPECT_TRUE(move.isAccepted());
    EXPECT_EQ(move.dropAction(), Qt::CopyAction);

    QDropEvent drop(pos, Qt::CopyAction, &files, Qt::LeftButton, {});
    view->dropEvent(&drop);
    EXPECT_TRUE(drop.isAccepted());
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(dropped, QStringList{"/tmp/some folder"});

    seen.clear();
    QMimeData text;
    text.setText(QStringLiteral("not a file"));
    QDragEnterEvent plain(pos, Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(view->viewport(), &plain);
    EXPECT_FALSE(plain.isAccepted());
    EXPECT_TRUE(seen.isEmpty());
}

} // namespace

// With the keys going to the tree, a cue frames its rows, after a click as after Tab; it
// leaves the rows themselves as they were.
TEST_F(OutlineGridViewTest, FocusShowsACueRoundTheRowsAndLeavesTheirFill) {
    view->clearFocus();
    QApplication::setActiveWindow(view.get());
    QCoreApplication::processEvents();
    const QImage without = grab();
    click(centerOf(2));
    ASSERT_TRUE(view->hasFocus());
    const QImage with = grab();
    const QRect viewport = view->viewport()->geometry();
    const QRect leftEdge(viewport.left(), viewport.top() + 4, 3, viewport.height() - 8);
    EXPECT_NE(with.copy(leftEdge), without.copy(leftEdge)) << "no focus cue";
    const QRect inside = rowBand(2).adjusted(4, 0, -4, 0);
    EXPECT_EQ(with.copy(inside), without.copy(inside)) << "the cue drew over the selected row";
}
