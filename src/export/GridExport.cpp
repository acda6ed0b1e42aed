#include "GridExport.h"

#include "ControlPictures.h"
#include "Interrupt.h"
#include "LargestFilesList.h"
#include "OutlineGrid.h"
#include "ReportFile.h"
#include "ReportStream.h"
#include "TreeCol.h"

#include <array>
#include <vector>

namespace {

// The columns a report shows: name, size, unit and file count, and while the tree shows a
// comparison with an earlier scan, the two columns of the change.
constexpr std::array<int, 6> ReportCols{TreeCol::Name,  TreeCol::Size,   TreeCol::Unit,
                                        TreeCol::Files, TreeCol::Change, TreeCol::FilesChange};
using RowTexts = std::vector<QString>;

// The one algorithm of both reports: every row the grid shows, top to bottom, with its
// indentation and the displayed texts of columns 0 to 3 handed to `writeLine`; then, when
// given, the largest files after an empty line, each line through `writeLine` as well (with
// `filesLine` true for the list's columns).
template <typename LineWriter>
void exportShownRows(const OutlineGrid &grid, QIODevice &device, const QString &fileName,
                     const LargestFilesList *largestFiles, LineWriter writeLine) {
    ReportStream out(device, fileName);
    RowTexts texts(grid.cols() >= TreeCol::WithChange ? 6 : 4);
    const int rows = grid.rows();
    for (int r = 0, written = 0; r < rows;) {
        if ((++written & 1023) == 0)
            Interrupt::check();
        if (grid.rowHeight(r) != 0 && !grid.isRowHidden(r)) {
            const int indent = grid.isNode(r) ? std::max(grid.level(r), 0) : 0;
            for (std::size_t c = 0; c < texts.size(); ++c) {
                const int col = ReportCols[c];
                texts[c] = col < grid.cols() ? grid.displayText(r, col) : QString();
            }
            writeLine(out, indent, texts, false);
        }
        // A collapsed node hides its whole subtree: jump over it rather than asking each row
        // for its ancestors.
        r = r >= grid.fixedRows() && grid.isCollapsed(r) ? grid.subtreeEnd(r) : r + 1;
    }
    if (largestFiles) {
        out.write(QLatin1StringView("\r\n"));
        writeLine(out, 0, RowTexts{largestFiles->title}, false);
        writeLine(out, 0, RowTexts{largestFiles->note}, false);
        const auto &headers = LargestFilesList::headers();
        writeLine(out, 0, RowTexts(headers.begin(), headers.end()), true);
        for (const LargestFilesList::Row &row : largestFiles->rows)
            writeLine(out, 0, RowTexts(row.texts.begin(), row.texts.end()), true);
    }
    out.close();
}

void writeBlanks(ReportStream &out, int count) {
    for (int i = 0; i < count; ++i)
        out.write(' ');
}

void writeQuoted(ReportStream &out, const QString &text, int indent = 0) {
    out.write('"');
    writeBlanks(out, indent);
    if (text.contains(u'"')) {
        QString doubled = text;
        doubled.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        out.write(doubled);
    } else {
        out.write(text);
    }
    out.write('"');
}

// Characters as a reader counts them: a character outside the Basic Multilingual Plane is one
// character, not two UTF-16 units.
int characterCount(const QString &text) {
    int n = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!text.at(i).isLowSurrogate())
            ++n;
    return n;
}

} // namespace

namespace GridExport {

bool GridToCSV(const OutlineGrid &grid, QIODevice &out, const QString &fileName) {
    return GridToCSV(grid, out, fileName, nullptr);
}

bool GridToText(const OutlineGrid &grid, QIODevice &out, const QString &fileName) {
    return GridToText(grid, out, fileName, nullptr);
}

bool GridToCSV(const OutlineGrid &grid, const QString &fileName) {
    return ReportFile::writeReplacing(fileName, [&](ReplacingFile &out) {
        return GridToCSV(grid, out.file(), fileName, nullptr);
    });
}

bool GridToText(const OutlineGrid &grid, const QString &fileName) {
    return ReportFile::writeReplacing(fileName, [&](ReplacingFile &out) {
        return GridToText(grid, out.file(), fileName, nullptr);
    });
}

bool GridToCSV(const OutlineGrid &grid, QIODevice &device, const QString &fileName,
               const LargestFilesList *largestFiles) {
    exportShownRows(grid, device, fileName, largestFiles,
                    [](ReportStream &out, int indent, const RowTexts &texts, bool) {
                        for (std::size_t c = 0; c < texts.size(); ++c) {
                            if (c > 0)
                                out.write(',');
                            writeQuoted(out, texts[c], c == 0 ? indent : 0);
                        }
                        out.write(QLatin1StringView("\r\n"));
                    });
    return true;
}

bool GridToText(const OutlineGrid &grid, QIODevice &device, const QString &fileName,
                const LargestFilesList *largestFiles) {
    exportShownRows(
        grid, device, fileName, largestFiles,
        [](ReportStream &out, int indent, const RowTexts &texts, bool filesLine) {
            const int *positions = filesLine ? FileColumnPositions : TextColumnPositions;
            // A line break or tab inside a name would break the line and shift the columns:
            // such characters show as their pictures, as in the grid.
            const QString name = ControlPictures::shown(texts[0]);
            writeBlanks(out, indent);
            out.write(name);
            int length = indent + characterCount(name); // characters on the current line
            for (std::size_t c = 1; c < texts.size(); ++c) {
                const int column = positions[c - 1] - 1; // characters before the position
                if (length > column) {
                    out.write(QLatin1StringView("\r\n"));
                    length = 0;
                }
                writeBlanks(out, column - length);
                const QString text = ControlPictures::shown(texts[c]);
                out.write(text);
                length = column + characterCount(text);
            }
            out.write(QLatin1StringView("\r\n"));
        });
    return true;
}

} // namespace GridExport
