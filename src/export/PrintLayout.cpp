#include "PrintLayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace {

constexpr double PointsToTwips = 20;

} // namespace

PrintLayout::PrintLayout()
    : m_pageSize(localePageSize(paperLocale())), m_font(QStringLiteral("Arial"), 10),
      m_metricsDevice(1, 1, QImage::Format_RGB32) {
    setResolution(96);
}

QPageSize PrintLayout::localePageSize(const QLocale &locale) {
    // The countries whose usual paper is Letter; the rest of the world uses A4.
    static constexpr QLocale::Territory letter[] = {
        QLocale::UnitedStates,
        QLocale::Canada,
        QLocale::Mexico,
        QLocale::Chile,
        QLocale::Colombia,
        QLocale::CostaRica,
        QLocale::DominicanRepublic,
        QLocale::ElSalvador,
        QLocale::Guatemala,
        QLocale::Nicaragua,
        QLocale::Panama,
        QLocale::Philippines,
        QLocale::PuertoRico,
        QLocale::Venezuela,
        QLocale::Belize,
    };
    const bool usesLetter =
        std::find(std::begin(letter), std::end(letter), locale.territory()) != std::end(letter);
    return QPageSize(usesLetter ? QPageSize::Letter : QPageSize::A4);
}

QLocale PrintLayout::paperLocale() {
    for (const char *variable : {"LC_ALL", "LC_PAPER", "LANG"}) {
        QString name = QString::fromLocal8Bit(qgetenv(variable));
        if (name.isEmpty())
            continue;
        // "de_DE.UTF-8@euro" names the locale "de_DE".
        name = name.section(u'.', 0, 0).section(u'@', 0, 0);
        return QLocale(name);
    }
    return QLocale::system();
}

void PrintLayout::setResolution(int dpi) {
    m_resolution = std::max(1, dpi);
    const int dotsPerMeter = static_cast<int>(std::lround(m_resolution / 0.0254));
    m_metricsDevice.setDotsPerMeterX(dotsPerMeter);
    m_metricsDevice.setDotsPerMeterY(dotsPerMeter);
}

double PrintLayout::pageWidth() const {
    return m_pageSize.size(QPageSize::Point).width() * PointsToTwips;
}

double PrintLayout::pageHeight() const {
    return m_pageSize.size(QPageSize::Point).height() * PointsToTwips;
}

void PrintLayout::requireOpen(const char *operation) const {
    if (m_page < 0)
        throw std::logic_error(std::string("PrintLayout::") + operation + ": no document");
}

void PrintLayout::startDoc() {
    m_pages.clear();
    m_open = true;
    m_page = -1;
    newPage();
}

void PrintLayout::endDoc() {
    requireOpen("endDoc");
    m_open = false;
}

void PrintLayout::newPage() {
    m_pages.emplace_back();
    m_page = static_cast<int>(m_pages.size()) - 1;
    m_x = marginLeft();
    m_y = marginTop();
}

void PrintLayout::openPage(int page) {
    if (m_open || page < 1 || page > pageCount())
        throw std::out_of_range("PrintLayout::openPage: no finished page " + std::to_string(page));
    m_page = page - 1;
}

void PrintLayout::closePage() {
    m_page = pageCount() - 1;
}

QPointF PrintLayout::toPixels(double x, double y) const {
    return {x / twipsPerPixelX(), y / twipsPerPixelY()};
}

double PrintLayout::lineHeight() const {
    return QFontMetricsF(m_font, &m_metricsDevice).lineSpacing() * twipsPerPixelY();
}

double PrintLayout::textWidth(const QString &text) const {
    return QFontMetricsF(m_font, &m_metricsDevice).horizontalAdvance(text) * twipsPerPixelX();
}

bool PrintLayout::fits(double height) const {
    return m_y + height <= bottomLimit() + 0.5;
}

void PrintLayout::paragraph(const QString &text) {
    requireOpen("paragraph");
    const QFontMetricsF metrics(m_font, &m_metricsDevice);
    const double widthPx = printableWidth() / twipsPerPixelX();
    const QRectF bounds =
        metrics.boundingRect(QRectF(0, 0, widthPx, 1e9), Qt::TextWordWrap | Qt::AlignLeft, text);
    const double height = std::max(bounds.height() * twipsPerPixelY(), lineHeight());
    if (!fits(height) && m_y > marginTop())
        newPage();
    if (!text.isEmpty()) {
        const QRectF box(toPixels(marginLeft(), m_y), QSizeF(widthPx, height / twipsPerPixelY()));
        m_pages[static_cast<std::size_t>(m_page)].drawings.push_back(
            [font = m_font, box, text](QPainter &painter) {
                painter.setFont(font);
                painter.setPen(Qt::black);
                painter.drawText(box, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
            });
    }
    m_x = marginLeft();
    m_y += height;
}

void PrintLayout::text(const QString &text) {
    requireOpen("text");
    const QFontMetricsF metrics(m_font, &m_metricsDevice);
    const QPointF baseline = toPixels(m_x, m_y) + QPointF(0, metrics.ascent());
    m_pages[static_cast<std::size_t>(m_page)].drawings.push_back(
        [font = m_font, baseline, text](QPainter &painter) {
            painter.setFont(font);
            painter.setPen(Qt::black);
            painter.drawText(baseline, text);
        });
    m_x += textWidth(text);
}

void PrintLayout::renderTable(const Table &table) {
    requireOpen("renderTable");
    if (table.width <= 0 || !table.paint)
        return;
    const double widthPx = printableWidth() / twipsPerPixelX();
    const double scale = std::min(1.0, widthPx / table.width);
    const auto rows = static_cast<int>(table.rowHeights.size());
    const double header = table.headerHeight * scale * twipsPerPixelY();

    int first = 0;
    do {
        // Start on a new page when not even the header and one row fit below the position.
        const double firstRow =
            first < rows ? table.rowHeights[first] * scale * twipsPerPixelY() : 0;
        if (!fits(header + firstRow) && m_y > marginTop())
            newPage();
        double y = m_y + header;
        int last = first;
        while (last < rows) {
            const double h =
                table.rowHeights[static_cast<std::size_t>(last)] * scale * twipsPerPixelY();
            if (last > first && y + h > bottomLimit() + 0.5)
                break;
            y += h;
            ++last;
        }
        const QPointF origin = toPixels(marginLeft(), m_y);
        m_pages[static_cast<std::size_t>(m_page)].drawings.push_back(
            [paint = table.paint, origin, scale, first, last](QPainter &painter) {
                painter.save();
                painter.translate(origin);
                painter.scale(scale, scale);
                paint(painter, first, last);
                painter.restore();
            });
        m_y = y;
        first = last;
        if (first < rows)
            newPage();
    } while (first < rows);
    m_x = marginLeft();
}

void PrintLayout::draw(Drawing drawing) {
    requireOpen("draw");
    m_pages[static_cast<std::size_t>(m_page)].drawings.push_back(std::move(drawing));
}

void PrintLayout::paintPage(int index, QPainter &painter) const {
    for (const Drawing &drawing : m_pages.at(static_cast<std::size_t>(index)).drawings) {
        painter.save();
        drawing(painter);
        painter.restore();
    }
}
