#pragma once

#include <QFont>
#include <QImage>
#include <QLocale>
#include <QPageSize>
#include <QPointF>
#include <QString>

#include <algorithm>
#include <functional>
#include <vector>

class QPainter;

/// A paged document composed the way a report is written: paragraphs in a font that flow
/// down the page from a current position, tables that break over pages repeating their
/// header, pictures drawn at the position, and text overlaid on pages already finished (the
/// page numbers, written once the page count is known). PdfConverter turns it into a file.
///
/// Positions, sizes and margins are in twips (1440 to the inch), measured from the top left
/// corner of the page. What is drawn is drawn at resolution() device pixels per inch, so a
/// table painted in the pixels of a screen of that resolution keeps its physical size.
class PrintLayout {
public:
    /// A table to print: a header band and rows of known heights, painted in the layout's
    /// device pixels. `paint` draws the header and then the rows `first` to `last - 1`, with
    /// the header's top left corner at the painter's origin.
    struct Table {
        int width = 0;
        int headerHeight = 0;
        std::vector<int> rowHeights;
        std::function<void(QPainter &, int first, int last)> paint;
    };
    /// Draws on a page in the layout's device pixels, from the page's top left corner.
    using Drawing = std::function<void(QPainter &)>;

    static constexpr double TwipsPerInch = 1440;

    PrintLayout();

    /// Letter where the locale's country uses it, A4 everywhere else.
    static QPageSize localePageSize(const QLocale &locale);
    /// The locale that decides the paper: LC_ALL, else LC_PAPER, else LANG, as the C library
    /// reads them; the system locale when none is set.
    static QLocale paperLocale();

    // Page setup: applies to the next document --------------------------------------------
    void setPageSize(const QPageSize &size) { m_pageSize = size; }
    const QPageSize &pageSize() const { return m_pageSize; }
    /// Device pixels per inch of what is drawn on the pages (96 unless set).
    void setResolution(int dpi);
    int resolution() const { return m_resolution; }
    double twipsPerPixelX() const { return TwipsPerInch / m_resolution; }
    double twipsPerPixelY() const { return TwipsPerInch / m_resolution; }
    double pageWidth() const;
    double pageHeight() const;
    double marginLeft() const { return m_margin; }
    double marginTop() const { return m_margin; }
    double marginRight() const { return m_margin; }
    double marginBottom() const { return m_margin; }
    /// Space above the bottom margin that flowing content leaves free, for a footer line
    /// written over the finished pages.
    void setFooterSpace(double twips) { m_footer = std::max(0.0, twips); }
    /// The lowest position flowing content reaches on a page.
    double bottomLimit() const { return pageHeight() - m_margin - m_footer; }

    // The document ------------------------------------------------------------------------
    /// Starts a new document on a first empty page; an earlier document is discarded.
    void startDoc();
    void endDoc();
    bool isOpen() const { return m_open; }
    int pageCount() const { return static_cast<int>(m_pages.size()); }
    /// Ends the current page; the position moves to the top margin of a new one.
    void newPage();
    /// Makes finished page `page` (from 1) current again to draw over it, after endDoc().
    void openPage(int page);
    void closePage();

    // Text --------------------------------------------------------------------------------
    void setFontName(const QString &name) { m_font.setFamily(name); }
    void setFontSize(double points) { m_font.setPointSizeF(points); }
    void setFontBold(bool bold) { m_font.setBold(bold); }
    void setFontItalic(bool italic) { m_font.setItalic(italic); }
    const QFont &font() const { return m_font; }
    /// A paragraph at the left margin, wrapped at the right margin, followed by a line break.
    /// It starts a new page when it does not fit on this one.
    void paragraph(const QString &text);
    /// Text at the current position on one line, without a line break; the position moves to
    /// its end.
    void text(const QString &text);
    double textWidth(const QString &text) const;
    /// The height of a line in the current font.
    double lineHeight() const;

    double currentX() const { return m_x; }
    double currentY() const { return m_y; }
    void setCurrentX(double x) { m_x = x; }
    void setCurrentY(double y) { m_y = y; }
    /// Whether `height` twips fit between the current position and the bottom margin.
    bool fits(double height) const;

    // Tables and pictures -----------------------------------------------------------------
    /// Prints a table from the current position, continuing on as many pages as it needs with
    /// its header repeated at the top of each; a table wider than the space between the
    /// margins is scaled down to it. The position ends below the table at the left margin.
    void renderTable(const Table &table);
    /// Draws on the current page (for a picture at the current position).
    void draw(Drawing drawing);

    /// Paints page `index` (from 0) of the document onto a painter set up in device pixels.
    void paintPage(int index, QPainter &painter) const;

private:
    struct Page {
        std::vector<Drawing> drawings;
    };

    double printableWidth() const { return pageWidth() - m_margin - m_margin; }
    QPointF toPixels(double x, double y) const;
    void requireOpen(const char *operation) const;

    QPageSize m_pageSize;
    int m_resolution = 96;
    double m_margin = TwipsPerInch;
    double m_footer = 0;
    QFont m_font;
    QImage m_metricsDevice; // font metrics at the layout's resolution
    std::vector<Page> m_pages;
    int m_page = -1; // index of the page being drawn on
    double m_x = 0;
    double m_y = 0;
    bool m_open = false;
};
