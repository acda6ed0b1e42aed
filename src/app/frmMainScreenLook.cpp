// What the screen shows beyond the grid's stored look. Colours that read in any palette: a
// colour setting that still holds its factory value is a choice made for a white window, so
// the screen shows a shade from the palette instead; a colour the user picked is shown as
// picked. The share column: each row's part of its parent. Reports keep the stored colours
// and the grid's columns. And a window that stays on the screen whatever its scale factor.
#include "frmMain.h"

#include "ChartView.h"
#include "NodeChart.h"
#include "OutlineGridView.h"
#include "ReadableColor.h"
#include "ScanTree.h"
#include "TreeCol.h"

#include <QScreen>
#include <QStyle>

#include <algorithm>

void frmMain::connectPaletteColours() {
    fgTreeView->setColorSource([this](quint32 stored, const QColor &under) -> QColor {
        static const Settings factory;
        const QPalette &palette = fgTreeView->palette();
        const auto factoryHeld = [&](std::uint32_t Settings::*setting) {
            return stored == factory.*setting && m_settings.*setting == factory.*setting;
        };
        if (factoryHeld(&Settings::Root_Font_Color))
            return ReadableColor::readableOn(palette.color(QPalette::Link), under);
        if (factoryHeld(&Settings::HighLight_Fill_Color))
            return palette.color(QPalette::Highlight);
        if (factoryHeld(&Settings::HighLight_Border_Color))
            // A frame, not text: 3:1 against the base is enough to see it.
            return ReadableColor::readableOn(palette.color(QPalette::Highlight),
                                             palette.color(QPalette::Base), 3.0);
        return {};
    });
    m_nodeChart->applyPalette(chMain->palette());
    connect(chMain, &ChartView::paletteChanged, this,
            [this] { m_nodeChart->applyPalette(chMain->palette()); });
}

void frmMain::connectShareColumn() {
    fgTreeView->setShareColumn(TreeCol::Spare, QStringLiteral("% of Parent"), [this](int row) {
        const int parent = fgTree.parentRow(row);
        if (parent < ScanTree::TopRow)
            return -1.0;
        // Read without raising: a cell that is no number shows no share rather than an error
        // box from inside a repaint.
        const std::optional<double> whole = fgTree.number(parent, TreeCol::Bytes);
        const std::optional<double> part = fgTree.number(row, TreeCol::Bytes);
        return whole && part && *whole > 0 ? *part / *whole : -1.0;
    });
}

void frmMain::keepOnScreen() {
    const QScreen *shown = screen();
    if (!shown || isMaximized() || isFullScreen())
        return;
    const QRect avail = shown->availableGeometry();
    const QRect inner = geometry(), outer = frameGeometry();
    QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                   outer.right() - inner.right(), outer.bottom() - inner.bottom());
    if (frame.isNull()) {
        // Not framed yet: allow for a title bar and borders.
        const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
        frame = QMargins(4, std::max(title, 24) + 4, 4, 4);
    }
    const QSize size = inner.size().boundedTo(avail.size().shrunkBy(frame));
    const int left = std::clamp(
        inner.left(), avail.left() + frame.left(),
        std::max(avail.left() + frame.left(), avail.right() + 1 - frame.right() - size.width()));
    const int top = std::clamp(
        inner.top(), avail.top() + frame.top(),
        std::max(avail.top() + frame.top(), avail.bottom() + 1 - frame.bottom() - size.height()));
    const QRect fitted(left, top, size.width(), size.height());
    if (fitted != inner)
        setGeometry(fitted);
}
