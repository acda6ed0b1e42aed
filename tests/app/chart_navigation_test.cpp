// The chart as a way through the tree in the real window, and colours that read in a light and
// a dark palette.
#include "Chart.h"
#include "ChartPainter.h"
#include "ChartView.h"
#include "MainFixture.h"
#include "OutlineGridView.h"
#include "ReadableColor.h"
#include "StoredColor.h"

#include <QAction>
#include <QApplication>
#include <QStyle>
#include <QTest>

namespace {

struct ChartNavigation : MainFixture {
    // A folder of 150 children: 20 of some size, 130 empty or holding one byte.
    QString wide() {
        const QString path = dir.path() + "/wide";
        for (int k = 0; k < 150; ++k) {
            const QString child = path + QStringLiteral("/child-%1").arg(k, 3, 10, QChar(u'0'));
            QDir().mkpath(child);
            if (k % 15 == 0 || k % 15 == 7)
                makeFile(child + "/data", 20000 + 100 * k);
            else if (k % 2)
                makeFile(child + "/tiny", 1);
        }
        return path;
    }

    // A point on each bar, near the axis where even the lowest bars stand, left to right.
    QList<std::pair<int, QPoint>> bars() const {
        QList<std::pair<int, QPoint>> found;
        ChartView *view = form->chartView();
        const QRectF plot = ChartPainter(form->chart(), view->font(), view->logicalDpiY())
                                .layout(view->rect())
                                .plot;
        for (int x = int(plot.left()); x < int(plot.right()); ++x) {
            for (int y = int(plot.bottom()); y > int(plot.bottom()) - 24; --y) {
                const int s = view->seriesAt(QPointF(x + 2, y));
                if (s != -1 && (found.isEmpty() || found.last().first != s)) {
                    found.append({s, QPoint(x + 2, y)});
                    break;
                }
            }
        }
        return found;
    }
};

} // namespace

TEST_F(ChartNavigation, ClickingABarSelectsThatChildAndUpReturnsToItsParent) {
    form->resize(1200, 800);
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->chart().setChartType(Chart::Type::Bar);
    const QString folder = wide();
    scan(folder);
    QApplication::processEvents();
    ChartView *view = form->chartView();
    const int root = form->grid().selectedRow(form->grid().selectedRowCount() - 1);
    ASSERT_EQ(form->chart().title(), form->grid().text(root, 0));

    const auto found = bars();
    ASSERT_GE(found.size(), 3);
    EXPECT_LE(found.size(), ChartPainter::MaxBars + 1);
    EXPECT_EQ(found.last().first, ChartPainter::GroupedSeries);
    // No legend entry for an empty child.
    for (const QString &line :
         ChartPainter(form->chart(), view->font(), view->logicalDpiY()).legendLines(view->rect()))
        EXPECT_FALSE(line.startsWith("0.00%")) << qPrintable(line);

    const auto [series, at] = found[1];
    const QString name = form->chart().label(series).text;
    QTest::mouseClick(view, Qt::LeftButton, {}, at);
    const int selected = form->grid().selectedRow(form->grid().selectedRowCount() - 1);
    EXPECT_EQ(form->grid().text(selected, 0), name);
    EXPECT_EQ(form->grid().parentRow(selected), root);
    EXPECT_EQ(form->chart().title(), name);
    EXPECT_EQ(form->statusText(1), folder + "/" + name + "/");
    EXPECT_TRUE(view->toolTipText(0).startsWith("<Files in " + name + ">\nSize: "))
        << qPrintable(view->toolTipText(0));

    // Backspace in the chart goes back to the parent, and on to the top row, where Up stops.
    QTest::keyClick(view, Qt::Key_Backspace);
    EXPECT_EQ(form->grid().selectedRow(form->grid().selectedRowCount() - 1), root);
    EXPECT_EQ(form->chart().title(), form->grid().text(root, 0));
    EXPECT_TRUE(view->upAction()->isEnabled());
    view->upAction()->trigger();
    EXPECT_EQ(form->chart().title(), "Scans");
    EXPECT_FALSE(view->upAction()->isEnabled());
}

TEST_F(ChartNavigation, FactoryColoursReadInLightAndDarkPalettesAndOwnColoursStay) {
    const QPalette saved = QApplication::palette();
    QPalette dark = QApplication::style()->standardPalette();
    for (const auto &[role, color] : std::initializer_list<std::pair<QPalette::ColorRole, QColor>>{
             {QPalette::Window, QColor(53, 53, 53)},
             {QPalette::WindowText, Qt::white},
             {QPalette::Base, QColor(35, 35, 35)},
             {QPalette::AlternateBase, QColor(53, 53, 53)},
             {QPalette::Text, Qt::white},
             {QPalette::Button, QColor(53, 53, 53)},
             {QPalette::ButtonText, Qt::white},
             {QPalette::Highlight, QColor(42, 130, 218)},
             {QPalette::HighlightedText, Qt::white}})
        dark.setColor(role, color); // the link colour stays the light palette's blue
    scan(root);
    const int rootRow = rowNamed(root + "/");
    form->grid().select(rootRow, 0);
    form->fgTree_Click();

    for (const QPalette &palette : {QApplication::style()->standardPalette(), dark}) {
        QApplication::setPalette(palette);
        QApplication::processEvents();
        const QString which = palette.color(QPalette::Base).lightness() < 128 ? "dark" : "light";
        const OutlineGridView *view = form->gridView();
        const QColor base = view->palette().color(QPalette::Base);
        const QColor rootText = view->shownColor(form->grid().cellForeColor(rootRow, 0), base);
        EXPECT_GE(ReadableColor::contrast(rootText, base), 4.5) << qPrintable(which);
        // Selected, the root row's text stands on the selection's fill.
        const QColor fill = view->shownColor(form->grid().look().backColorSel, base);
        const QColor selectedText = view->shownColor(form->grid().selectionForeColor(), fill);
        EXPECT_GE(ReadableColor::contrast(selectedText, fill), 4.5) << qPrintable(which);

        const Chart &chart = form->chart();
        EXPECT_EQ(chart.backgroundColor(), base) << qPrintable(which);
        EXPECT_GE(ReadableColor::contrast(chart.titleColor(), chart.backgroundColor()), 4.5)
            << qPrintable(which);
        EXPECT_GE(ReadableColor::contrast(chart.textColor(), chart.backgroundColor()), 4.5)
            << qPrintable(which);
    }

    // A colour the user chose is shown as chosen, dark palette or not.
    const std::uint32_t own = StoredColor::fromRgb(200, 0, 0);
    form->settings().Root_Font_Color = own;
    EXPECT_EQ(form->gridView()->shownColor(own, QColor(35, 35, 35)), QColor(200, 0, 0));
    QApplication::setPalette(saved);
}
