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
#include "ScanCompare.h"
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

void frmMain::buildFileMenu() {
    reportFormat(1).write = [this](const ReportSource &source, ReplacingFile &out) {
        return GridExport::GridToPDF(*fgTreeView, source.chartPicture, vpTree, vfTree, out,
                                     source.chartIncluded, ScanCompare::reportHeading(fgTree),
                                     source.largestFiles);
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
    for (const ReportFormat &format : m_session.reportFormats()) {
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
    return m_session.reportFormats().at(static_cast<std::size_t>(index));
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
            const ReportFormat *format = m_session.reportFormat(Index);
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
    line = 5;
    const QString root = ReportsFolder();
    if (!ReportFolders::CreatePath(root))
        throw AppError(AppError::FolderNotCreated,
                       QStringLiteral("Could not create the reports directory."));
    line = 6;
    // Every format's folder is made at every export, so the report root is always complete.
    for (const ReportFormat &f : m_session.reportFormats())
        if (!ReportFolders::CreatePath(ReportFolders::withSlash(root) + f.folder))
            throw AppError(AppError::FolderNotCreated, QStringLiteral("Could not create the ") +
                                                           f.folder +
                                                           QStringLiteral(" directory."));
    line = 7;
    busy.release();
    // The offered name carries the format's extension, so the desktop knows the report's type
    // when it opens it; a name the user types is written as typed.
    const QString offered =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
        offeredExtension(format.filter);
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
    const SessionOutcome written = m_session.writeReport(format.index, fileName, reportGeometry());
    if (!written.done()) {
        if (written.error.number() == AppError::ReportNotGenerated)
            line = 15;
        throw written.error;
    }
    line = 14;
    busy.release();
    showWrittenReport(fileName);
    return true;
}

// Opens the written report with the desktop. The export is done either way: when nothing can
// open it, the user learns where it was saved and may open its folder instead.
void frmMain::showWrittenReport(const QString &fileName) {
    QString reason;
    if (mdlProperties::ShellOpenSilently(fileName, QString(), shellLauncher(), reason) ==
        mdlProperties::ShellSuccess)
        return;
    const QString folder = QFileInfo(fileName).absolutePath();
    const Prompts::Answer answer =
        m_prompts.message(this,
                          QStringLiteral("The report was saved as\n") + fileName +
                              QStringLiteral("\n\nIt could not be opened: ") + reason +
                              QStringLiteral("\n\nOpen the folder that holds it?"),
                          QStringLiteral("Report saved"), Prompts::Icon::Information,
                          Prompts::Buttons::YesNo, Prompts::Yes);
    if (answer == Prompts::Yes)
        mdlProperties::ShellOpen(folder, 1, QStringLiteral("Explore"), this, m_prompts,
                                 shellLauncher());
}

ReportGeometry frmMain::reportGeometry() const {
    ReportGeometry geometry;
    geometry.twipsPerPixel = twipsPerPixel();
    geometry.gridWidthTwips = static_cast<int>(fgTreeView->width() * twipsPerPixel());
    geometry.gridFontName = fgTreeView->font().family();
    if (m_chartShown)
        geometry.chart = chMain->picture();
    return geometry;
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
