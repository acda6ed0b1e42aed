// Cell texts of the outline grid view: where they go, how they are shown and shortened, the
// tooltips of texts cut short, finding a row by typing its name, and the colours the screen shows.
#include "OutlineGridView.h"

#include "ControlPictures.h"
#include "StoredColor.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLocale>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QToolTip>

#include <cmath>

QRect OutlineGridView::textRect(int row, int col, const QRect &cell) const {
    const GridLook &look = m_model->look();
    int x = cell.left() + TextPadding;
    if (col == look.outlineCol && row >= m_model->fixedRows()) {
        const int depth = rowDepth(row);
        x = look.outlineBar == 0 ? cell.left() + depth * m_indent + TextPadding
                                 : cell.left() + (depth + 1) * m_indent + 1;
    }
    if (m_model->cellPicture(row, col))
        x += style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this) + TextPadding;
    return QRect(x, cell.top() + 1, cell.right() - TextPadding - x + 1, cell.height() - 2);
}

QString OutlineGridView::shownText(int row, int col) const {
    if (col == shareColumn() && row >= m_model->fixedRows()) {
        const double share = shareOf(row);
        return share < 0 ? QString() : QLocale().toString(share * 100, 'f', 1) + u'%';
    }
    return ControlPictures::shown(m_model->displayText(row, col));
}

Qt::TextElideMode OutlineGridView::elideModeFor(const QString &text) {
    return text.startsWith(u'<') && text.endsWith(u'>') ? Qt::ElideMiddle : Qt::ElideRight;
}

QFont OutlineGridView::fontOf(int row, int col) const {
    QFont font = m_cellFont;
    const QString family = m_model->cellFontName(row, col);
    if (!family.isEmpty())
        font.setFamily(family);
    font.setBold(m_model->cellBold(row, col));
    font.setItalic(m_model->cellItalic(row, col));
    font.setUnderline(m_model->cellUnderline(row, col));
    return font;
}

int OutlineGridView::cellWidthFor(const QString &text, bool bold) const {
    // From the look as it is now: the cell font follows a new look only at the next paint.
    QFont font = this->font();
    if (const QString &family = m_model->look().fontName; !family.isEmpty())
        font.setFamily(family);
    font.setBold(bold);
    // Padding on both sides, the grid line and one pixel to spare for rounding.
    return QFontMetrics(font).horizontalAdvance(text) + 2 * TextPadding + 2;
}

int OutlineGridView::headerWidthFor(const QString &label) const {
    QStyleOptionHeader option;
    option.initFrom(m_header);
    option.fontMetrics = QFontMetrics(m_header->font());
    option.text = label;
    option.orientation = Qt::Horizontal;
    option.sortIndicator = QStyleOptionHeader::SortDown;
    const QSize size =
        m_header->style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), m_header);
    // Room for the arrow beside the label, as the header measures a sorted section.
    const int margin = m_header->style()->pixelMetric(QStyle::PM_HeaderMargin, &option, m_header);
    return size.width() + size.height() + margin;
}

void OutlineGridView::setStretchColumn(int col) {
    m_stretchColumn = col;
    syncColumns();
}

QString OutlineGridView::toolTipFor(int row, int col) const {
    if (row < 0 || row >= m_model->rows() || !isColumnShown(col))
        return {};
    const QString own = m_toolTipSource ? m_toolTipSource(row, col) : m_model->cellNote(row, col);
    const QString text = shownText(row, col);
    QString whole;
    if (!text.isEmpty()) {
        const QRect cell(columnX(col), 0, columnWidthPixels(col), rowHeightPixels(row));
        if (QFontMetrics(fontOf(row, col)).horizontalAdvance(text) >
            textRect(row, col, cell).width())
            whole = text;
    }
    if (whole.isEmpty() || own.isEmpty())
        return whole + own;
    return whole + u'\n' + own;
}

bool OutlineGridView::viewportEvent(QEvent *event) {
    if (event->type() == QEvent::Resize) {
        syncColumns();
    } else if (event->type() == QEvent::ToolTip) {
        ensureRowIndex();
        const auto *help = static_cast<QHelpEvent *>(event);
        const int row = rowAt(help->pos());
        const int col = columnAt(help->pos().x());
        const QString tip = row >= 0 && col >= 0 ? toolTipFor(row, col) : QString();
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            // As rich text, escaped: a name such as "<Files in x>" must not be read as markup.
            QToolTip::showText(help->globalPos(),
                               QStringLiteral("<p style='white-space:pre'>") +
                                   tip.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>")) +
                                   QStringLiteral("</p>"),
                               viewport(), cellRect(row, col));
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

// As Qt's item views do: keys typed in quick succession build up the name looked for; the same
// key pressed again moves on to the next name that starts with it.
bool OutlineGridView::keyboardSearch(const QString &typed) {
    ensureRowIndex();
    const int count = m_index.count();
    const int first = m_index.firstBodyIndex();
    if (typed.isEmpty() || count <= first)
        return false;
    const int cursor = m_model->cursorRow();
    const int current = cursor >= 0 ? m_index.indexOf(cursor) : -1;
    bool skipCurrent = false;
    if (!m_searchTime.isValid() ||
        m_searchTime.elapsed() >= QApplication::keyboardInputInterval()) {
        m_search = typed;
        skipCurrent = current >= 0;
    } else {
        m_search += typed;
    }
    m_searchTime.start();
    const bool sameKey = m_search.size() > 1 && m_search.count(m_search.back()) == m_search.size();
    if (sameKey)
        skipCurrent = true;
    const QString wanted = sameKey ? QString(m_search.front()) : m_search;

    const int span = count - first;
    const int start = current >= first ? current - first + (skipCurrent ? 1 : 0) : 0;
    const int col = m_model->look().outlineCol;
    for (int k = 0; k < span; ++k) {
        const int index = first + (start + k) % span;
        if (m_model->displayText(m_index.rowAt(index), col)
                .startsWith(wanted, Qt::CaseInsensitive)) {
            moveCursorTo(index, {});
            return true;
        }
    }
    return false;
}

void OutlineGridView::setColorSource(ColorSource source) {
    m_colorSource = std::move(source);
    viewport()->update();
}

QColor OutlineGridView::shownColor(quint32 stored, const QColor &under) const {
    if (m_colorSource) {
        const QColor own = m_colorSource(stored, under);
        if (own.isValid())
            return own;
    }
    return StoredColor::toQColor(stored, palette());
}

void OutlineGridView::setShareColumn(int col, const QString &label, ShareSource share) {
    m_shareColumn = col;
    m_shareLabel = label;
    m_shareSource = col >= 0 ? std::move(share) : ShareSource();
    syncColumns();
    viewport()->update();
}

double OutlineGridView::shareOf(int row) const {
    if (!m_shareSource || row < m_model->fixedRows() || row >= m_model->rows())
        return -1;
    const double share = m_shareSource(row);
    return std::isfinite(share) ? std::min(share, 1.0) : -1;
}

QString OutlineGridView::headerText(int col) const {
    const QString text =
        m_model->fixedRows() > 0 && m_model->rows() > 0 ? m_model->text(0, col) : QString();
    return text.isEmpty() && col == shareColumn() ? m_shareLabel : text;
}
