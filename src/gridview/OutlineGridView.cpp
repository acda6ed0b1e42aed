#include "OutlineGridView.h"

#include "OutlineGridAccessible.h"
#include "OutlineGridPainter.h"
#include "StoredColor.h"

#include <QEvent>
#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace {

// Buffered redraw repaints at most this often, so a scan spends its time scanning.
constexpr int BufferedRepaintMs = 33;
// Direct redraw repaints at most once a frame of a 60 Hz screen.
constexpr int DirectRepaintMs = 16;

} // namespace

OutlineGridView::OutlineGridView(OutlineGrid *model, QWidget *parent)
    : QAbstractScrollArea(parent), m_model(model), m_header(new QHeaderView(Qt::Horizontal, this)) {
    OutlineGridAccessible::installFactory();
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAcceptDrops(true);
    setAcceptDrops(true);

    m_header->setModel(&m_headerModel);
    m_header->setSectionResizeMode(QHeaderView::Interactive);
    m_header->setStretchLastSection(false);
    m_header->setSectionsClickable(true);
    m_header->setSortIndicatorShown(false);
    m_header->setHighlightSections(false);
    m_header->setMinimumSectionSize(1);
    m_header->setFocusPolicy(Qt::NoFocus);
    m_header->setTextElideMode(Qt::ElideRight);
    connect(m_header, &QHeaderView::sectionResized, this, &OutlineGridView::onSectionResized);
    connect(m_header, &QHeaderView::sectionClicked, this,
            [this](int col) { Q_EMIT headerClicked(col); });

    m_repaintTimer.setSingleShot(true);
    connect(&m_repaintTimer, &QTimer::timeout, this, &OutlineGridView::applyPendingChanges);
    m_sinceLastPaint.start();

    connect(model, &OutlineGrid::structureChanged, this, &OutlineGridView::onStructureChanged);
    connect(model, &OutlineGrid::contentsChanged, this, &OutlineGridView::onModelChanged);
    connect(model, &OutlineGrid::lookChanged, this, &OutlineGridView::onLookChanged);
    connect(model, &OutlineGrid::selectionChanged, this, &OutlineGridView::onSelectionChanged);
    connect(model, &OutlineGrid::redrawChanged, this, &OutlineGridView::onRedrawChanged);
    connect(model, &OutlineGrid::refreshRequested, this, &OutlineGridView::onRefreshRequested);
    connect(model, &OutlineGrid::enabledChanged, this, &QWidget::setEnabled);
    connect(model, &OutlineGrid::showCellRequested, this, &OutlineGridView::showCell);

    setEnabled(model->isEnabled());
    m_anchorRow = model->cursorRow();
    updateLook();
    ensureRowIndex();
}

OutlineGridView::~OutlineGridView() {
    // The header refers to m_headerModel, which dies before the base class deletes children.
    delete m_header;
}

// Model notifications -----------------------------------------------------------------------

void OutlineGridView::onStructureChanged() {
    // The index follows the grid's structure stamp, which every change of rows, levels, outline
    // state, hidden flags or heights advances; it is brought up to date before the next paint.
    onModelChanged();
}

void OutlineGridView::onModelChanged() {
    switch (m_model->redraw()) {
    case GridRedraw::None:
        return;
    case GridRedraw::Direct:
        // Changes are shown at the next turn of the event loop, all of them in one repaint, and
        // no more often than the screen shows frames: repainting per change would cost a scan
        // hundreds of times more than the scan itself.
        scheduleRepaint(DirectRepaintMs);
        return;
    case GridRedraw::Buffered:
        scheduleRepaint(BufferedRepaintMs);
        return;
    }
}

void OutlineGridView::onLookChanged() {
    m_lookDirty = true;
    onModelChanged();
}

void OutlineGridView::onSelectionChanged(int oldRow, int newRow) {
    Q_UNUSED(oldRow);
    if (!m_ownSelection)
        m_anchorRow = newRow;
    if (m_model->redraw() == GridRedraw::None)
        return;
    announceSelection();
    onModelChanged();
}

void OutlineGridView::onRedrawChanged(GridRedraw mode) {
    if (mode == GridRedraw::None) {
        m_repaintTimer.stop();
        return;
    }
    // Whatever happened while redraw was off is shown now.
    m_index.invalidate();
    m_lookDirty = true;
    onModelChanged();
}

void OutlineGridView::onRefreshRequested() {
    if (m_model->redraw() == GridRedraw::None)
        return;
    m_index.invalidate();
    m_lookDirty = true;
    flush();
}

void OutlineGridView::scheduleRepaint(int minimumMs) {
    if (m_repaintTimer.isActive())
        return;
    // When the row index must be read again at length (a sort or collapse high up in a very
    // large grid), spacing the repaints by a multiple of that cost keeps a scan from spending
    // its time on the display.
    const qint64 interval = std::max<qint64>(minimumMs, 8 * m_rebuildMs);
    const qint64 wait = interval - m_sinceLastPaint.elapsed();
    m_repaintTimer.start(static_cast<int>(std::clamp<qint64>(wait, 0, interval)));
}

void OutlineGridView::syncWithModel() {
    if (m_lookDirty)
        updateLook();
    else
        syncColumns();
    ensureRowIndex();
}

void OutlineGridView::applyPendingChanges() {
    m_repaintTimer.stop();
    if (m_lookDirty)
        updateLook();
    else
        syncColumns();
    ensureRowIndex();
    if (m_model->redraw() != GridRedraw::None && m_announcedGeneration != m_indexGeneration)
        announceModelReset();
    if (m_model->redraw() == GridRedraw::Direct && viewport()->isVisible())
        viewport()->repaint();
    else
        viewport()->update();
    // A hidden view never paints; re-arm the grid's notifications so they keep coming.
    if (!viewport()->isVisible())
        m_model->contentsPainted();
}

void OutlineGridView::flush() {
    if (m_model->redraw() == GridRedraw::None)
        return;
    applyPendingChanges();
    viewport()->repaint();
}

// Look and columns ----------------------------------------------------------------------------

void OutlineGridView::updateLook() {
    m_lookDirty = false;
    const GridLook &look = m_model->look();
    m_cellFont = font();
    if (!look.fontName.isEmpty())
        m_cellFont.setFamily(look.fontName);
    const QFontMetrics fm(m_cellFont);
    const int icon = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    m_defaultRowHeight = std::max(fm.height() + 6, icon + 4);
    m_indent = style()->pixelMetric(QStyle::PM_TreeViewIndentation, nullptr, this);
    if (m_indent <= 0)
        m_indent = 20;

    QPalette headerPalette = palette();
    if (look.backColorFixed) {
        const QColor back = StoredColor::toQColor(look.backColorFixed, palette());
        headerPalette.setColor(QPalette::Button, back);
        headerPalette.setColor(QPalette::Window, back);
    }
    if (look.foreColorFixed) {
        const QColor fore = StoredColor::toQColor(look.foreColorFixed, palette());
        headerPalette.setColor(QPalette::ButtonText, fore);
        headerPalette.setColor(QPalette::WindowText, fore);
    }
    m_header->setPalette(headerPalette);
    m_header->setFont(m_cellFont);
    syncColumns();
    updateGeometries();
}

void OutlineGridView::syncColumns() {
    m_syncingColumns = true;
    const int cols = m_model->cols();
    if (m_headerModel.columnCount() != cols)
        m_headerModel.setColumnCount(cols);
    const bool hasHeader = m_model->fixedRows() > 0 && m_model->rows() > 0;
    const double tpp = twipsPerPixel();
    std::vector<int> widths(static_cast<std::size_t>(cols), 0); // 0: hidden
    int others = 0; // shown width of the columns other than the stretching one
    for (int c = 0; c < cols; ++c) {
        const QString text = hasHeader ? headerText(c) : QString();
        if (m_headerModel.headerData(c, Qt::Horizontal).toString() != text)
            m_headerModel.setHeaderData(c, Qt::Horizontal, text);
        const int align = m_model->colAlignment(c);
        const Qt::Alignment h = align >= AlignRightTop && align <= AlignRightBottom ? Qt::AlignRight
                                : align >= AlignCenterTop && align <= AlignCenterBottom
                                    ? Qt::AlignHCenter
                                    : Qt::AlignLeft;
        const QVariant wanted = static_cast<int>(h | Qt::AlignVCenter);
        if (m_headerModel.headerData(c, Qt::Horizontal, Qt::TextAlignmentRole) != wanted)
            m_headerModel.setHeaderData(c, Qt::Horizontal, wanted, Qt::TextAlignmentRole);
        const int twips = m_model->colWidth(c);
        const bool hidden = m_model->isColHidden(c) || twips <= 0;
        if (m_header->isSectionHidden(c) != hidden)
            m_header->setSectionHidden(c, hidden);
        if (!hidden) {
            widths[static_cast<std::size_t>(c)] =
                std::max(1, static_cast<int>(std::lround(twips / tpp)));
            if (c != m_stretchColumn)
                others += widths[static_cast<std::size_t>(c)];
        }
    }
    // The stretching column fills what the others leave of the view, never less than its own.
    if (m_stretchColumn >= 0 && m_stretchColumn < cols) {
        int &w = widths[static_cast<std::size_t>(m_stretchColumn)];
        if (w > 0)
            w = std::max(w, viewport()->width() - others);
    }
    for (int c = 0; c < cols; ++c) {
        const int px = widths[static_cast<std::size_t>(c)];
        if (px > 0 && m_header->sectionSize(c) != px)
            m_header->resizeSection(c, px);
    }
    m_syncingColumns = false;
    if (m_header->isHidden() == hasHeader)
        updateGeometries();
    else
        updateScrollBars();
}

void OutlineGridView::onSectionResized(int col, int oldSize, int newSize) {
    Q_UNUSED(oldSize);
    if (m_syncingColumns || col >= m_model->cols() || newSize <= 0)
        return;
    m_model->setColWidth(col, static_cast<int>(std::lround(newSize * twipsPerPixel())));
    if (m_stretchColumn >= 0)
        syncColumns(); // the stretching column takes up or gives back the difference
    updateScrollBars();
    viewport()->update();
}

const QPixmap &OutlineGridView::wallpaper() const {
    const QImage &image = m_model->look().wallpaper;
    if (image.isNull()) {
        m_wallpaper = QPixmap();
        m_wallpaperKey = 0;
    } else if (image.cacheKey() != m_wallpaperKey || m_wallpaper.isNull()) {
        m_wallpaper = QPixmap::fromImage(image);
        m_wallpaperKey = image.cacheKey();
    }
    return m_wallpaper;
}

const QPixmap &OutlineGridView::background(const QColor &base) const {
    const QPixmap &tile = wallpaper();
    if (tile.isNull()) {
        m_background = QPixmap();
        return m_background;
    }
    const qreal ratio = viewport()->devicePixelRatioF();
    const QSize size = viewport()->size() * ratio;
    if (m_background.size() != size || m_background.devicePixelRatio() != ratio ||
        m_backgroundWallpaper != m_wallpaperKey || m_backgroundBase != base.rgba()) {
        m_background = QPixmap(size);
        m_background.setDevicePixelRatio(ratio);
        m_background.fill(base);
        QPainter painter(&m_background);
        painter.drawTiledPixmap(viewport()->rect(), tile);
        m_backgroundWallpaper = m_wallpaperKey;
        m_backgroundBase = base.rgba();
    }
    return m_background;
}

// Painting and widget events -----------------------------------------------------------------

void OutlineGridView::paintEvent(QPaintEvent *event) {
    ensureRowIndex();
    QPainter painter(viewport());
    OutlineGridPainter(*this, painter).paint(event->rect());
    m_sinceLastPaint.restart();
    m_model->contentsPainted();
}

void OutlineGridView::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    updateGeometries();
}

void OutlineGridView::scrollContentsBy(int dx, int dy) {
    Q_UNUSED(dx);
    Q_UNUSED(dy);
    m_header->setOffset(horizontalScrollBar()->value());
    viewport()->update();
}

void OutlineGridView::changeEvent(QEvent *event) {
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
        updateLook();
        viewport()->update();
        break;
    case QEvent::PaletteChange:
    case QEvent::EnabledChange:
    case QEvent::ActivationChange:
        viewport()->update();
        break;
    default:
        break;
    }
    QAbstractScrollArea::changeEvent(event);
}

void OutlineGridView::focusInEvent(QFocusEvent *event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
    announceSelection();
}

void OutlineGridView::focusOutEvent(QFocusEvent *event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

// Accessibility notices -----------------------------------------------------------------------

void OutlineGridView::announceModelReset() {
    m_announcedGeneration = m_indexGeneration;
    if (OutlineGridAccessible::isListening())
        OutlineGridAccessible::announceModelReset(this);
}

void OutlineGridView::announceSelection() {
    if (!OutlineGridAccessible::isListening() || m_model->redraw() == GridRedraw::None)
        return;
    ensureRowIndex();
    OutlineGridAccessible::announceSelection(this);
}
