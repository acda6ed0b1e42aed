// The File menu's report commands: exporting the scan tree and opening the report folder.
#include "frmMain.h"

#include "AppError.h"
#include "BusyPointer.h"
#include "ChartView.h"
#include "GridToPDF.h"
#include "HandlerTrap.h"
#include "OutlineGridView.h"
#include "ReportFile.h"
#include "ReportFolders.h"
#include "ScanTree.h"
#include "StoredColor.h"
#include "TreeCol.h"
#include "mdlProperties.h"
#include "yieldOnce.h"

#include <QAction>
#include <QDateTime>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>

namespace {

// The selection's part of whether a report carries the chart: the selected node is a folder
// or a root (a files row has no chart of its own).
bool selectionHasChart(const OutlineGrid &grid) {
    const int n = grid.selectedRowCount();
    if (n < 1)
        return false;
    const int row = grid.selectedRow(n - 1);
    return row > 0 && !grid.text(row, TreeCol::Name).startsWith(u'<');
}

} // namespace

void frmMain::buildFileMenu() {
    m_reportFormats = standardReportFormats();
    reportFormat(1).write = [this](const ReportSource &source, ReplacingFile &out) {
        return GridExport::GridToPDF(*fgTreeView, *chMain, vpTree, vfTree, out,
                                     source.chartIncluded, ScanTree::basisHeading(fgTree));
    };
    const char *folderCaptions[] = {"Open the 'Reports' Folder", "Explore the 'Reports' Folder"};
    for (int i = 0; i < 2; ++i) {
        QAction *a = mnuFile->addAction(QString::fromLatin1(folderCaptions[i]));
        mnuOpenResFold[static_cast<std::size_t>(i)] = a;
        connect(a, &QAction::triggered, this, [this, i] { mnuOpenResFold_Click(i); });
    }
    mnuFile->addSeparator();
    mnuExpRepMain = mnuFile->addMenu(QStringLiteral("Export Report As..."));
    mnuExpRepMain->setObjectName(QStringLiteral("mnuExpRepMain"));
    for (const ReportFormat &format : m_reportFormats) {
        if (!format.write)
            continue; // a format whose writer the program lacks is not offered
        QAction *a = mnuExpRepMain->addAction(format.caption);
        a->setData(format.index);
        const int index = format.index;
        connect(a, &QAction::triggered, this, [this, index] { mnuExpRep_Click(index); });
    }
    mnuFile->addSeparator();
}

QAction *frmMain::exportAction(int index) const {
    for (QAction *a : mnuExpRepMain->actions())
        if (a->data().toInt() == index)
            return a;
    return nullptr;
}

ReportFormat &frmMain::reportFormat(int index) {
    return m_reportFormats.at(static_cast<std::size_t>(index));
}

QString frmMain::ReportsFolder() const {
    return ReportFolders::ReportsFolder(ReportFolders::DocumentsFolder());
}

void frmMain::mnuExpRep_Click(int Index) {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in mnuExpRep_Click"));
    BusyPointer busy(BusyPointer::Later);
    trap.run(
        [&] {
            trap.line = 1;
            EnObjs(false);
            cmdAbort->setEnabled(false); // nothing to abort here
            trap.line = 2;
            if (fgTree.rows() < 3) {
                m_prompts.message(this, QStringLiteral("No data to export."),
                                  QStringLiteral("No Data"), Prompts::Icon::Exclamation);
                return;
            }
            trap.line = 3;
            busy.set();
            yieldOnce();
            const ReportFormat *format = nullptr;
            for (const ReportFormat &f : m_reportFormats)
                if (f.index == Index && f.write)
                    format = &f;
            if (!format) {
                busy.release();
                m_prompts.message(this,
                                  QStringLiteral("Invalid selection ") + QString::number(Index),
                                  QStringLiteral("Export Error"), Prompts::Icon::Critical);
                return;
            }
            exportReport(*format, busy, trap.line);
        },
        [&] {
            busy.release();
            EnObjs(true);
        });
}

// Steps 4 to 15 of an export in `format`; `line` follows the steps. False when it ended
// without writing (cancel, or the over-write question answered No).
// Whether `fileName` may be written: it names nothing yet (not even a dangling link), or the
// user agrees to replace it.
bool frmMain::mayOverwrite(const QString &fileName) {
    if (!QFileInfo::exists(fileName) && !QFileInfo(fileName).isSymLink())
        return true;
    return m_prompts.message(
               this, fileName + QStringLiteral("\nFile exists. Would you like to over-write?"),
               QStringLiteral("Over-write File?"), Prompts::Icon::Exclamation,
               Prompts::Buttons::YesNo, Prompts::No) == Prompts::Yes;
}

bool frmMain::exportReport(const ReportFormat &format, BusyPointer &busy, int &line) {
    line = 4;
    const bool selectionAllowsChart = selectionHasChart(fgTree);
    line = 5;
    const QString root = ReportsFolder();
    if (!ReportFolders::CreatePath(root))
        throw AppError(AppError::FolderNotCreated,
                       QStringLiteral("Could not create the reports directory."));
    line = 6;
    // Every format's folder is made at every export, so the report root is always complete.
    for (const ReportFormat &f : m_reportFormats)
        if (!ReportFolders::CreatePath(ReportFolders::withSlash(root) + f.folder))
            throw AppError(AppError::FolderNotCreated, QStringLiteral("Could not create the ") +
                                                           f.folder +
                                                           QStringLiteral(" directory."));
    line = 7;
    busy.release();
    const QString offered =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString fileName =
        m_prompts.saveFile(this, format.title, ReportFolders::withSlash(root) + format.folder,
                           offered, qtFileFilter(format.filter));
    line = 8;
    if (fileName.trimmed().isEmpty())
        return false;
    line = 9;
    // The old report stays until the new one is complete; the rename below replaces it.
    if (!mayOverwrite(fileName)) {
        m_prompts.message(this, QStringLiteral("The file was not generated."),
                          QStringLiteral("File write aborted"), Prompts::Icon::Information);
        return false;
    }
    busy.set();
    yieldOnce();
    static constexpr int writerSteps[] = {10, 11, 12, 12, 13}; // by format index
    line = format.index >= 0 && format.index < 5 ? writerSteps[format.index] : 12;
    if (!writeReport(format, fileName, selectionAllowsChart)) {
        line = 15;
        throw AppError(AppError::ReportNotGenerated, format.failure);
    }
    line = 14;
    busy.release();
    // The shell shows its own message when it cannot open the report; the export is done.
    mdlProperties::ShellOpen(fileName, 1, QString(), this, m_prompts, shellLauncher());
    return true;
}

bool frmMain::writeReport(const ReportFormat &format, const QString &fileName,
                          bool selectionAllowsChart) {
    ReportSource source{fgTree, chMain->chart()};
    source.resolveColor = [](std::uint32_t stored) { return StoredColor::toQColor(stored); };
    source.saveChartPicture = [this](QIODevice &out) { return chMain->savePicture(out); };
    source.twipsPerPixel = twipsPerPixel();
    source.gridWidthTwips = static_cast<int>(fgTreeView->width() * twipsPerPixel());
    source.gridFontName = fgTreeView->font().family();
    if (format.chartOption != ReportFormat::ChartOption::None)
        source.chartIncluded = selectionAllowsChart && m_chartShown &&
                               (format.chartOption == ReportFormat::ChartOption::Html
                                    ? m_settings.Chart_In_HTML_Output
                                    : m_settings.Chart_In_PDF_Output);
    return ReportFile::writeReplacing(
        fileName, [&](ReplacingFile &out) { return format.write(source, out); });
}

void frmMain::writeReportTo(int Index, const QString &fileName) {
    const ReportFormat &format = reportFormat(Index);
    if (!format.write || !writeReport(format, fileName, selectionHasChart(fgTree)))
        throw AppError(AppError::ReportNotGenerated, format.failure);
}

void frmMain::mnuOpenResFold_Click(int Index) {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in mnuOpenResFold_Click"));
    BusyPointer busy(BusyPointer::Later);
    trap.run(
        [&] {
            trap.line = 1;
            busy.set();
            trap.line = 2;
            const QString folder = ReportsFolder();
            if (!ReportFolders::CreatePath(folder))
                throw AppError(AppError::FolderNotCreated,
                               QStringLiteral("Could not create the reports directory."));
            trap.line = 3;
            if (Index != 0 && Index != 1)
                throw AppError(AppError::InvalidSelection,
                               QStringLiteral("Invalid selection: ") + QString::number(Index));
            busy.release(); // the shell helper's failure box must not show a busy pointer
            mdlProperties::ShellOpen(
                folder, 1, Index == 0 ? QStringLiteral("Open") : QStringLiteral("Explore"), this,
                m_prompts, shellLauncher());
        },
        [&] { busy.release(); });
}
