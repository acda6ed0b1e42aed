#include "OutlineGridPainter.h"

#include <cmath>

#include "OutlineGrid.h"
#include "OutlineGridView.h"
#include "ReadableColor.h"
#include "StoredColor.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

namespace {

constexpr int TextPadding = OutlineGridView::TextPadding;
// Printed pictures are taken at this multiple of their size on screen.
constexpr qreal PrintIconScale = 4;

Qt::Alignment alignmentFor(int code, bool isNumber) {
    switch (code) {
    case AlignLeftTop:
        return Qt::AlignLeft | Qt::AlignTop;
    case AlignLeftCenter:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case AlignLeftBottom:
        return Qt::AlignLeft | Qt::AlignBottom;
    case AlignCenterTop:
        return Qt::AlignHCenter | Qt::AlignTop;
    case AlignCenterCenter:
        return Qt::AlignCenter;
    case AlignCenterBottom:
        return Qt::AlignHCenter | Qt::AlignBottom;
    case AlignRightTop:
        return Qt::AlignRight | Qt::AlignTop;
    case AlignRightCenter:
        return Qt::AlignRight | Qt::AlignVCenter;
    case AlignRightBottom:
        return Qt::AlignRight | Qt::AlignBottom;
    default:
        return (isNumber ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    }
}

} // namespace

OutlineGridPainter::OutlineGridPainter(const OutlineGridView &view, QPainter &painter)
    : m_view(view), m_grid(*view.model()), m_look(view.model()->look()), m_painter(painter),
      m_palette(view.palette()) {
    m_palette.setCurrentColorGroup(!view.isEnabled()       ? QPalette::Disabled
                                   : view.isActiveWindow() ? QPalette::Active
                                                           : QPalette::Inactive);
    m_iconSize = view.style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, &view);
}

QColor OutlineGridPainter::color(quint32 stored, QColor fallback, const QColor &under) const {
    if (!stored)
        return fallback;
    if (!m_printing)
        return m_view.shownColor(stored, under.isValid() ? under : m_palette.color(QPalette::Base));
    return StoredColor::toQColor(stored, m_palette);
}

void OutlineGridPainter::paint(const QRect &region) {
    const QRect viewport = m_view.viewport()->rect();
    const QColor base = color(m_look.backColorBkg, m_palette.color(QPalette::Base));
    // The wallpaper is a tint over the palette's base, so it suits a light and a dark palette.
    const QPixmap &background = m_view.background(base);
    if (background.isNull())
        m_painter.fillRect(region, base);
    else
        m_painter.drawPixmap(viewport, background);

    m_cols = m_view.shownColumns();
    m_firstIndex = m_view.topIndex();
    int y = 0;
    for (int i = m_firstIndex; i < m_view.visibleRowCount() && y < viewport.height(); ++i) {
        const int row = m_view.visibleRowAt(i);
        if (row >= m_grid.rows())
            break;
        const int h = m_view.rowHeightPixels(row);
        m_bands.push_back({i, row, y, h});
        y += h;
    }
    for (const RowBand &band : m_bands) {
        if (band.y + band.height > region.top() && band.y <= region.bottom())
            paintRow(band);
    }
    if (m_look.gridLines != 0 && m_look.gridLines != 14)
        paintGridLines(y);
    for (const GridBorder &border : m_grid.borders())
        paintBorder(border);
    paintFocus();
}

void OutlineGridPainter::paintPrinted(int first, int last) {
    m_printing = true;
    // An export disables the window while it runs; paper shows the grid as it normally looks.
    m_palette = m_view.palette();
    m_palette.setCurrentColorGroup(QPalette::Active);
    m_cols = m_view.shownColumns();
    m_printX.fill(0, m_grid.cols());
    int x = 0;
    for (int col : m_cols) {
        m_printX[col] = x;
        x += m_view.columnWidthPixels(col);
    }

    int y = 0;
    if (m_grid.fixedRows() > 0 && m_grid.rows() > 0) {
        y = m_view.header()->sizeHint().height();
        paintHeader(y);
    }
    m_firstIndex = first;
    for (int i = first; i < last && i < m_view.visibleRowCount(); ++i) {
        const int row = m_view.visibleRowAt(i);
        const int h = m_view.rowHeightPixels(row);
        m_bands.push_back({i, row, y, h});
        y += h;
    }
    for (const RowBand &band : m_bands)
        paintRow(band);
    if (m_look.gridLines != 0 && m_look.gridLines != 14)
        paintGridLines(y);
    for (const GridBorder &border : m_grid.borders())
        paintBorder(border);
}

void OutlineGridPainter::paintHeader(int height) {
    // The header row is drawn as the view's header widget draws it, in its palette and font.
    const QHeaderView &header = *m_view.header();
    QPalette palette = header.palette();
    palette.setCurrentColorGroup(QPalette::Active);
    for (qsizetype i = 0; i < m_cols.size(); ++i) {
        const int col = m_cols[i];
        QStyleOptionHeader option;
        option.initFrom(&header);
        option.palette = palette;
        option.state = QStyle::State_Enabled | QStyle::State_Active | QStyle::State_Horizontal;
        option.rect = QRect(columnX(col), 0, m_view.columnWidthPixels(col), height);
        option.section = col;
        option.orientation = Qt::Horizontal;
        option.position = m_cols.size() == 1       ? QStyleOptionHeader::OnlyOneSection
                          : i == 0                 ? QStyleOptionHeader::Beginning
                          : i + 1 == m_cols.size() ? QStyleOptionHeader::End
                                                   : QStyleOptionHeader::Middle;
        // Elided to the label's room, as the header widget elides its sections.
        const QRect label =
            header.style()->subElementRect(QStyle::SE_HeaderLabel, &option, &header);
        option.text =
            QFontMetrics(header.font())
                .elidedText(m_grid.displayText(0, col), header.textElideMode(), label.width());
        option.textAlignment = Qt::Alignment(
            header.model()->headerData(col, Qt::Horizontal, Qt::TextAlignmentRole).toInt());
        m_painter.save();
        m_painter.setFont(header.font());
        m_painter.setClipRect(option.rect, Qt::IntersectClip);
        header.style()->drawControl(QStyle::CE_Header, &option, &m_painter, &header);
        m_painter.restore();
    }
}

int OutlineGridPainter::columnX(int col) const {
    return m_printing ? m_printX[col] : m_view.columnX(col);
}

bool OutlineGridPainter::isSelected(int row) const {
    return !m_printing && m_look.highlight == 1 && row >= m_grid.fixedRows() &&
           m_grid.isRowSelected(row);
}

void OutlineGridPainter::paintRow(const RowBand &band) {
    const bool selected = isSelected(band.row);
    for (int col : m_cols) {
        const QRect cell(columnX(col), band.y, m_view.columnWidthPixels(col), band.height);
        if (m_printing || (cell.right() >= 0 && cell.left() < m_view.viewport()->width()))
            paintCell(band, col, cell, selected);
    }
}

void OutlineGridPainter::paintCell(const RowBand &band, int col, const QRect &cell, bool selected) {
    const int row = band.row;
    const bool fixedRow = row < m_grid.fixedRows();
    const bool fixedCell = fixedRow || col < m_grid.fixedCols();
    QColor fill;         // what lies under the text when it is a fill rather than the base
    quint32 ownFill = 0; // the fill's stored colour, when it is not the palette's
    if (selected)
        fill = color(ownFill = m_look.backColorSel, m_palette.color(QPalette::Highlight));
    else if (const quint32 back = m_grid.cellBackColor(row, col))
        fill = color(ownFill = back, {});
    else if (fixedCell)
        fill = color(ownFill = m_look.backColorFixed, m_palette.color(QPalette::Button));
    else if (m_look.backColor != 0 && (m_printing || m_view.wallpaper().isNull()))
        fill = color(ownFill = m_look.backColor, {});
    if (fill.isValid())
        m_painter.fillRect(cell, fill);
    else if (m_printing || m_view.wallpaper().isNull())
        m_painter.fillRect(cell, m_palette.color(QPalette::Base));

    m_painter.save();
    m_painter.setClipRect(cell, Qt::IntersectClip);
    if (col == m_look.outlineCol && !fixedRow)
        paintOutline(row, cell);
    const QRect textRect = m_view.textRect(row, col, cell);

    if (const int picture = m_grid.cellPicture(row, col)) {
        const QRect iconRect(textRect.left() - m_iconSize - TextPadding,
                             cell.top() + (cell.height() - m_iconSize) / 2, m_iconSize, m_iconSize);
        if (m_printing) {
            // Paper has many more dots per inch than the screen: take a larger rendering of the
            // picture so it stays sharp. The icon engine caches it, so a PDF keeps one copy.
            const QPixmap pixmap = m_grid.picture(picture).pixmap(iconRect.size(), PrintIconScale);
            m_painter.drawPixmap(iconRect, pixmap);
        } else {
            m_grid.picture(picture).paint(&m_painter, iconRect, Qt::AlignCenter,
                                          m_view.isEnabled() ? QIcon::Normal : QIcon::Disabled);
        }
    }

    // The share column is the screen's own; paper keeps the grid's columns as they are.
    const bool shareCell = col == m_view.shareColumn() && !fixedRow;
    if (shareCell && !m_printing)
        paintShareBar(row, cell, selected);
    const QString text = shareCell && m_printing ? QString() : m_view.shownText(row, col);
    if (!text.isEmpty() && textRect.width() > 0) {
        const QFont font = m_view.fontOf(row, col);
        QColor fore;
        bool ownColor = false; // a colour the program or the user set stays as chosen
        if (selected) {
            const quint32 sel = m_grid.selectionForeColor();
            fore = color(sel, m_palette.color(QPalette::HighlightedText), fill);
            ownColor = sel != 0 && !(sel & 0x80000000u);
        } else if (const quint32 own = m_grid.cellForeColor(row, col)) {
            fore = color(own, {}, fill);
            ownColor = true;
        } else if (fixedCell) {
            fore = color(m_look.foreColorFixed, m_palette.color(QPalette::ButtonText));
            ownColor = m_look.foreColorFixed != 0;
        } else {
            fore = m_palette.color(QPalette::Text);
        }
        // A palette's text colour is made for the palette's own backgrounds; over a fill
        // colour of the user's or the program's (white on light green, light text on a light
        // cell in a dark theme) it may vanish, so below 4.5:1 it turns black or white,
        // whichever reads better on the fill.
        if (ownFill != 0 && !ownColor && ReadableColor::contrast(fore, fill) < 4.5)
            fore =
                ReadableColor::contrast(Qt::black, fill) > ReadableColor::contrast(Qt::white, fill)
                    ? QColor(Qt::black)
                    : QColor(Qt::white);

        const int code = m_grid.effectiveAlignment(row, col);
        const bool isNumber =
            shareCell || (code == AlignGeneral && m_grid.number(row, col).has_value());
        m_painter.setFont(font);
        m_painter.setPen(fore);
        const QString shown = QFontMetrics(font).elidedText(
            text, OutlineGridView::elideModeFor(text), textRect.width());
        m_painter.drawText(textRect, static_cast<int>(alignmentFor(code, isNumber)), shown);
    }
    m_painter.restore();
}

void OutlineGridPainter::paintShareBar(int row, const QRect &cell, bool selected) {
    const double share = m_view.shareOf(row);
    if (share <= 0)
        return;
    const QRect room = cell.adjusted(2, 3, -2, -3);
    QColor bar = m_palette.color(selected ? QPalette::HighlightedText : QPalette::Highlight);
    bar.setAlphaF(0.35f);
    m_painter.fillRect(
        QRectF(room.left(), room.top(), std::max(1.0, room.width() * share), room.height()), bar);
}

int OutlineGridPainter::paintOutline(int row, const QRect &cell) {
    const int indent = m_view.indentation();
    const int depth = m_view.rowDepth(row);
    if (m_look.outlineBar == 0)
        return cell.left() + depth * indent + TextPadding;

    // Lines are drawn here rather than by the style, because several styles draw none and
    // the outline is what shows the tree; the expand glyph comes from the style.
    const int fixed = m_grid.fixedRows();
    const bool children = m_grid.hasChildren(row);
    const int midY = cell.top() + cell.height() / 2;
    const int gap = children ? 5 : 0; // keep the lines off the glyph
    QPen pen(color(m_look.treeColor, m_palette.color(QPalette::Mid)), 1, Qt::DotLine);
    m_painter.setPen(pen);

    const int ownX = cell.left() + depth * indent;
    const int midX = ownX + indent / 2;
    const int parent = m_grid.parentRow(row);
    const bool hasAbove = parent >= fixed || m_grid.firstSibling(row) != row;
    if (hasAbove)
        m_painter.drawLine(midX, cell.top(), midX, midY - gap);
    if (m_grid.nextSibling(row) >= 0)
        m_painter.drawLine(midX, midY + gap, midX, cell.bottom());
    m_painter.drawLine(midX + gap, midY, ownX + indent - 2, midY);

    int level = depth - 1;
    for (int a = parent; level >= 0 && a >= fixed; a = m_grid.parentRow(a), --level) {
        if (m_grid.nextSibling(a) >= 0) {
            const int x = cell.left() + level * indent + indent / 2;
            m_painter.drawLine(x, cell.top(), x, cell.bottom());
        }
    }

    if (children) {
        QStyleOption option;
        option.initFrom(&m_view);
        option.palette = m_palette;
        option.rect = QRect(ownX, cell.top(), indent, cell.height());
        option.state = QStyle::State_Children;
        if (!m_grid.isCollapsed(row))
            option.state |= QStyle::State_Open;
        if (m_printing || m_view.isEnabled())
            option.state |= QStyle::State_Enabled;
        m_view.style()->drawPrimitive(QStyle::PE_IndicatorBranch, &option, &m_painter, &m_view);
    }
    return ownX + indent + 1;
}

void OutlineGridPainter::paintGridLines(int bottom) {
    if (m_bands.empty() || m_cols.isEmpty())
        return;
    QStyleOption option;
    option.initFrom(&m_view);
    const QColor styleColor = QColor::fromRgba(static_cast<QRgb>(
        m_view.style()->styleHint(QStyle::SH_Table_GridLineColor, &option, &m_view)));
    const QColor body = color(m_look.gridColor, styleColor);
    const QColor fixed = color(m_look.gridColorFixed, styleColor);
    const int right = columnX(m_cols.last()) + m_view.columnWidthPixels(m_cols.last());
    const int left = columnX(m_cols.first());
    for (const RowBand &band : m_bands) {
        if (band.height <= 0)
            continue;
        m_painter.setPen(band.row < m_grid.fixedRows() ? fixed : body);
        const int y = band.y + band.height - 1;
        m_painter.drawLine(left, y, right - 1, y);
    }
    m_painter.setPen(body);
    const int top = m_bands.front().y; // below the printed header, which has its own lines
    for (int col : m_cols) {
        const int x = columnX(col) + m_view.columnWidthPixels(col) - 1;
        m_painter.drawLine(x, top, x, bottom - 1);
    }
}

void OutlineGridPainter::paintBorder(const GridBorder &border) {
    const GridRange &range = border.range;
    if (m_bands.empty() || range.top < 0 || range.bottom < range.top ||
        (border.left | border.top | border.right | border.bottom | border.vertical |
         border.horizontal) == 0)
        return;
    // The bands in sight that lie inside the range.
    const auto first = std::find_if(m_bands.begin(), m_bands.end(),
                                    [&](const RowBand &b) { return b.row >= range.top; });
    auto last = first;
    while (last != m_bands.end() && last->row <= range.bottom)
        ++last;
    if (first == last)
        return;
    QList<int> cols;
    for (int col : m_cols) {
        if (col >= range.left && col <= range.right)
            cols.append(col);
    }
    if (cols.isEmpty())
        return;

    // Sides whose rows are scrolled out of sight are left off.
    const auto lastBand = std::prev(last);
    const int topIndex = m_firstIndex;
    const bool topInSight = !(first->index == topIndex && topIndex > 0 &&
                              m_view.visibleRowAt(topIndex - 1) >= range.top);
    const int after = lastBand->index + 1;
    const bool bottomInSight = !(last == m_bands.end() && after < m_view.visibleRowCount() &&
                                 m_view.visibleRowAt(after) <= range.bottom);
    const int x = columnX(cols.first());
    const int right = columnX(cols.last()) + m_view.columnWidthPixels(cols.last());
    const int top = topInSight ? first->y : first->y - border.top - 1;
    const int bottom = lastBand->y + lastBand->height;
    const QRect r(x, top, right - x, bottom - top);
    const QColor c = color(border.color, StoredColor::toQColor(border.color, m_palette));

    m_painter.fillRect(QRect(r.left(), r.top(), border.left, r.height()), c);
    m_painter.fillRect(QRect(r.right() - border.right + 1, r.top(), border.right, r.height()), c);
    if (topInSight)
        m_painter.fillRect(QRect(r.left(), r.top(), r.width(), border.top), c);
    if (bottomInSight)
        m_painter.fillRect(
            QRect(r.left(), r.bottom() - border.bottom + 1, r.width(), border.bottom), c);
    if (border.vertical > 0) {
        for (qsizetype i = 0; i + 1 < cols.size(); ++i) {
            const int cx = columnX(cols[i]) + m_view.columnWidthPixels(cols[i]);
            m_painter.fillRect(
                QRect(cx - border.vertical / 2, r.top(), border.vertical, r.height()), c);
        }
    }
    if (border.horizontal > 0) {
        for (auto band = first; band != lastBand; ++band) {
            const int by = band->y + band->height;
            m_painter.fillRect(
                QRect(r.left(), by - border.horizontal / 2, r.width(), border.horizontal), c);
        }
    }
}

void OutlineGridPainter::paintFocus() {
    if (m_printing || !m_view.hasFocus() || m_cols.isEmpty())
        return;
    // The current row already stands out by its selection border; the cue tells that the keys
    // go to the tree. It frames the visible rows, so no row's fill is drawn over.
    QStyleOptionFocusRect option;
    option.initFrom(&m_view);
    // Styles such as Fusion draw the cue only after focus moved by keyboard; after a click into
    // the tree the keys act there as well.
    option.state |= QStyle::State_KeyboardFocusChange;
    option.palette = m_palette;
    option.rect = m_view.viewport()->rect().adjusted(1, 1, -1, -1);
    option.backgroundColor = m_palette.color(QPalette::Base);
    // Some styles tint the inside of the cue as well; only its outline may reach the rows.
    m_painter.save();
    m_painter.setClipRegion(QRegion(option.rect.adjusted(-1, -1, 1, 1)) -
                                QRegion(option.rect.adjusted(2, 2, -2, -2)),
                            Qt::IntersectClip);
    m_view.style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &m_painter, &m_view);
    m_painter.restore();
}
