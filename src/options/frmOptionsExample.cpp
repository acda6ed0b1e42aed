// The options dialog's example tree: three rows dressed like the scan tree, following every
// edit of the Appearance page.
#include "frmOptions.h"

#include "ColorButton.h"
#include "HandlerTrap.h"
#include "OptionsHost.h"
#include "OutlineGridView.h"
#include "Settings.h"
#include "StoredColor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <vector>

namespace {

constexpr int ExampleRows = 3;
constexpr int ExampleCols = 4;

struct ExampleRow {
    int level;
    const char *name;
    const char *size;
};
constexpr ExampleRow Rows[ExampleRows] = {
    {0, "RootNode", "575"}, {1, "SubNode1", "250"}, {1, "SubNode2", "325"}};

} // namespace

void frmOptions::InitExampleTree() {
    fgExample.setCols(ExampleCols);
    fgExample.setFixedCols(0);
    fgExample.setRows(ExampleRows);
    fgExample.setFixedRows(0);

    // The scan tree's own look, so that the example shows what the tree will.
    GridLook look = m_host.treeLook();
    look.outlineBar = 1;
    look.outlineCol = 0;
    look.gridLines = m_settings.Display_Gridlines ? 1 : 14;
    look.wallpaper = m_settings.Display_Wallpaper ? m_host.wallpaperPicture() : QImage();
    look.backColorSel = m_settings.HighLight_Fill_Color;
    look.highlight = m_settings.HighLight_Fill_Transparent ? 0 : 1;
    fgExample.setLook(look);
    fgExample.setRedraw(GridRedraw::Buffered);

    static const int aligns[ExampleCols] = {AlignLeftCenter, AlignRightCenter, AlignLeftCenter,
                                            AlignGeneral};
    static const int types[ExampleCols] = {TypeString, TypeCurrency, TypeString, TypeEmpty};
    for (int c = 0; c < ExampleCols; ++c) {
        fgExample.setColAlignment(c, aligns[c]);
        fgExample.setColDataType(c, types[c]);
    }
    m_folderPicture = fgExample.addPicture(m_host.folderPicture());

    // Columns as wide as their texts at the dialog's font, so the example reads at any size.
    fgExampleView->syncWithModel();
    const QFontMetrics fm(fgExampleView->cellFont());
    QFont bold = fgExampleView->cellFont();
    bold.setBold(true);
    const int iconSide = fgExampleView->defaultRowHeight();
    const int pad = fm.horizontalAdvance(QStringLiteral("MM"));
    const int widths[ExampleCols] = {
        fgExampleView->indentation() * 2 + iconSide +
            QFontMetrics(bold).horizontalAdvance(QStringLiteral("SubNode1")) + pad,
        fm.horizontalAdvance(QStringLiteral("0,000.00")) + pad,
        fm.horizontalAdvance(QStringLiteral("MB")) + pad, pad};
    const double tpp = fgExampleView->twipsPerPixel();
    for (int c = 0; c < ExampleCols; ++c)
        fgExample.setColWidth(c, static_cast<int>(widths[c] * tpp + 0.5));
    fgExampleView->syncWithModel();
    int height = 2 * fgExampleView->frameWidth();
    for (int r = 0; r < ExampleRows; ++r)
        height += fgExampleView->rowHeightPixels(r);
    fgExampleView->setFixedHeight(height);

    fgExample.select(1, 0);
}

void frmOptions::FillExampleTree(const QString &sizeFormat, int unitIndex) {
    const QString unit = Settings::sizeUnitOf(unitIndex);
    for (int r = 0; r < ExampleRows; ++r)
        for (int c = 0; c < ExampleCols; ++c)
            fgExample.setText(r, c, QString());
    for (int r = 0; r < ExampleRows; ++r) {
        fgExample.setNode(r, true);
        fgExample.setLevel(r, Rows[r].level);
        fgExample.setText(r, 0, QString::fromLatin1(Rows[r].name));
        fgExample.setText(r, 1, QString::fromLatin1(Rows[r].size));
        fgExample.setText(r, 2, unit);
        fgExample.setCellPicture(r, 0, m_folderPicture);
    }
    fgExample.setCellForeColor(0, 0, 0, 2, m_settings.Root_Font_Color);
    fgExample.setCellBold(0, 0, 0, 0, true);
    // Shown as the scan tree shows its sizes: trimmed, and the default when empty.
    const QString format = sizeFormat.trimmed();
    fgExample.setColFormat(1, format.isEmpty() ? QString(Settings::DefaultSizeFormat) : format);
}

void frmOptions::dressExample() {
    GridLook look = fgExample.look();
    look.wallpaper = chkWallpaper->isChecked() ? m_host.wallpaperPicture() : QImage();
    look.gridLines = chkGrids->isChecked() ? 1 : 14;
    look.backColorSel = cmdHighlightFillColor->color();
    look.highlight = chkHighlightFillTransp->isChecked() ? 0 : 1;
    fgExample.setLook(look);
    fgExample.setCellForeColor(0, 0, 0, 2, cmdRootColor->color());
}

void frmOptions::reselectExample() {
    // Each selected row is selected anew, so that its border and text take the colours.
    std::vector<int> rows;
    for (int i = 0; i < fgExample.selectedRowCount(); ++i)
        rows.push_back(fgExample.selectedRow(i));
    for (int r : rows) {
        fgExample.clearSelection();
        fgExample.select(r, 0);
    }
}

void frmOptions::fgExample_AfterSelChange(int oldRow, int newRow) {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in fgExample_AfterSelChange"));
    trap.run([&] {
        const int lastCol = fgExample.cols() - 1;
        trap.line = 1;
        if (oldRow >= 0 && oldRow < fgExample.rows())
            fgExample.setCellBorder({{oldRow, 0, oldRow, lastCol}, 0, 0, 0, 0, 0, 0, 0});
        trap.line = 2;
        if (newRow >= 0 && newRow < fgExample.rows()) {
            fgExample.setCellBorder(
                {{newRow, 0, newRow, lastCol}, cmdHighlightBorderColor->color(), 2, 2, 2, 2, 0, 0});
            fgExample.setSelectionForeColor(fgExample.level(newRow) == 0
                                                ? cmdRootColor->color()
                                                : (StoredColor::SystemBit | 14u));
        }
    });
}
