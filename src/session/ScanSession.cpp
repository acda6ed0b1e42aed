#include "ScanSession.h"

#include "KeptFiles.h"
#include "LargestFilesList.h"
#include "MountTable.h"
#include "NativePath.h"
#include "ReplacingFile.h"
#include "ReportFile.h"
#include "ScanFile.h"
#include "ScanTree.h"
#include "Settings.h"
#include "StoredColor.h"
#include "TreeCol.h"
#include "mdlDrives.h"
#include "mdlFileSearch.h"
#include "yieldOnce.h"

#include <optional>

ScanSession::ScanSession(const Settings &settings)
    : m_settings(settings), m_tree(std::make_unique<ScanTree>(m_grid, settings)),
      m_walker(std::make_unique<mdlFileSearch>(*m_tree)), m_formats(standardReportFormats()) {}

ScanSession::~ScanSession() = default;

// Scanning ------------------------------------------------------------------------------------

void ScanSession::requestAbort() {
    m_walker->AbortRequested = true;
}

bool ScanSession::abortRequested() const {
    return m_walker->abortPending();
}

int ScanSession::beginScan(const QByteArray &path) {
    m_walker->AbortRequested = false;
    m_tree->SetSizeFactor();
    if (path.isEmpty() || !NativePath::isFolder(path))
        throw AppError(AppError::InvalidStartPath, QStringLiteral("Invalid start path."));
    QByteArray start = path;
    if (!start.endsWith('/'))
        start.append('/');
    const QString startText = NativePath::display(start);

    setWalkParams(start, m_settings.sizeBasis(),
                  {{}, m_settings.Exclude_Folders, m_settings.Stay_On_File_System});

    const int driveType = mdlDrives::GetDriveType(start, MountTable::current());
    const RowKind kind = driveType < 0 ? RowKind::Folder : ScanTree::rowKindOfDriveType(driveType);
    if (m_settings.Clear_Nodes_B4_Scan) {
        m_grid.setRedraw(GridRedraw::None);
        m_grid.setRows(2);
        m_tree->UpdateRoots();
        m_grid.setRedraw(GridRedraw::Buffered);
        yieldOnce();
        m_grid.refresh();
    }
    if (m_settings.Collapse_Root_Nodes_B4_Scan)
        m_grid.outline(0);
    m_grid.setColFormat(TreeCol::Size, m_tree->SizeFormat());
    m_tree->clearUnreadable();
    const int root = m_tree->AddTreeRow(startText, 0, kind, Fixed(), true, Fixed());
    m_grid.setRowDataBytes(root, start);
    ScanTree::setBasisOfRoot(m_grid, root, m_walker->searchParams.SizeBasis);
    m_grid.select(root, TreeCol::Name);
    m_grid.showCell(root, TreeCol::Name);
    return root;
}

void ScanSession::walk(int root) {
    m_grid.setRedraw(static_cast<GridRedraw>(m_settings.Redraw_Scan_Progress));
    yieldOnce();
    const QByteArray start = m_grid.rowDataBytes(root);
    auto kept = std::make_shared<KeptFiles>(start, m_settings.Kept_Files);
    m_tree->addKeptFiles(kept);
    m_walker->setKeptFiles(kept);
    // What the walk opened is what later commands on its rows must find again, also when the
    // walk was aborted and its rows stay.
    try {
        m_walker->SearchFolder(start, 1, root);
    } catch (...) {
        recordStart(start);
        throw;
    }
    recordStart(start);
}

void ScanSession::setWalkParams(const QByteArray &start, SizeBasis basis,
                                const ScanTree::StartRecord &limits) {
    SearchParams &params = m_walker->searchParams;
    m_walker->ResetSearchParams();
    params.Recurse = m_settings.Recurse_Subfolders;
    params.StartPath = NativePath::display(start);
    params.Pattern = m_settings.Match_Parameters;
    params.SizeBasis = basis;
    params.StayOnFileSystem = limits.stayOnFileSystem;
    params.ExcludeFolders = limits.excludeFolders;
}

void ScanSession::recordStart(const QByteArray &start) {
    const SearchParams &params = m_walker->searchParams;
    m_tree->recordStart(
        start, {m_walker->startIdentity(), params.ExcludeFolders, params.StayOnFileSystem});
}

void ScanSession::addAbortedRow() {
    m_tree->AddTreeRow(QStringLiteral("Scan aborted"), 1, RowKind::Warning, Fixed(), false,
                       Fixed());
}

void ScanSession::noteUnreadable(SessionOutcome &outcome) const {
    outcome.unreadableCount = m_tree->unreadableCount();
    outcome.unreadable.clear();
    for (const ScanTree::UnreadableFolder &folder : m_tree->unreadable())
        outcome.unreadable.push_back({folder.path, folder.error});
}

SessionOutcome ScanSession::scan(const QByteArray &path) {
    SessionOutcome outcome;
    int root = -1;
    try {
        root = beginScan(path);
        walk(root);
        m_grid.setRedraw(GridRedraw::Buffered);
        m_grid.setOutlineState(root, OutlineExpanded);
        m_grid.sortNode(ScanTree::TopRow);
        m_tree->UpdateRoots();
    } catch (...) {
        outcome = SessionOutcome::of(std::current_exception());
        m_grid.setRedraw(GridRedraw::Buffered);
        if (outcome.status == SessionOutcome::Status::Aborted)
            addAbortedRow();
    }
    outcome.root = root;
    if (root >= 0)
        noteUnreadable(outcome);
    return outcome;
}

// Saved scans ---------------------------------------------------------------------------------

int ScanSession::rootOf(const OutlineGrid &grid, int row) {
    if (row <= ScanTree::TopRow || row >= grid.rows())
        return -1;
    for (int parent = grid.parentRow(row); parent > ScanTree::TopRow; parent = grid.parentRow(row))
        row = parent;
    return row;
}

SessionOutcome ScanSession::openScanFile(const QString &fileName,
                                         const std::function<void(std::uint64_t)> &progress) {
    SessionOutcome outcome;
    try {
        m_walker->AbortRequested = false;
        m_tree->SetSizeFactor();
        m_grid.setColFormat(TreeCol::Size, m_tree->SizeFormat());
        m_tree->clearUnreadable();
        ScanFile::Info info;
        const int root = ScanFile::Open(*m_tree, fileName, &info, ScanFile::maxDepth(),
                                        {[&](std::uint64_t entries) {
                                            if (progress)
                                                progress(entries);
                                            yieldOnce();
                                            if (abortRequested())
                                                throw AppError::scanAborted();
                                        }});
        outcome.root = root;
        // Only now: an aborted or failed reading leaves the tree as it was.
        if (m_settings.Collapse_Root_Nodes_B4_Scan)
            m_grid.outline(0);
        m_grid.setCellNote(root, TreeCol::Name, ScanFile::openedNote(fileName, info));
        m_grid.setOutlineState(root, OutlineExpanded);
        m_grid.select(root, TreeCol::Name);
        m_grid.showCell(root, TreeCol::Name);
    } catch (...) {
        const int root = outcome.root;
        outcome = SessionOutcome::of(std::current_exception());
        outcome.root = root;
    }
    return outcome;
}

SessionOutcome ScanSession::saveScanFile(int root, const QString &fileName) {
    try {
        ScanFile::Save(*m_tree, root, fileName);
        return {};
    } catch (...) {
        return SessionOutcome::of(std::current_exception());
    }
}

// Reports -------------------------------------------------------------------------------------

const ReportFormat *ScanSession::reportFormat(int index) const {
    for (const ReportFormat &format : m_formats)
        if (format.index == index && format.write)
            return &format;
    return nullptr;
}

bool ScanSession::selectionHasChart(const OutlineGrid &grid) {
    const int n = grid.selectedRowCount();
    if (n < 1)
        return false;
    const int row = grid.selectedRow(n - 1);
    return ScanTree::isFolderRow(grid, row);
}

SessionOutcome ScanSession::writeReport(int index, const QString &fileName,
                                        const ReportGeometry &geometry) {
    const ReportFormat *format = reportFormat(index);
    try {
        if (!format)
            throw AppError(AppError::InvalidSelection,
                           QStringLiteral("Invalid selection ") + QString::number(index));
        ReportSource source{m_grid};
        source.resolveColor = [](std::uint32_t stored) { return StoredColor::toQColor(stored); };
        source.chartPicture = geometry.chart;
        source.saveChartPicture = [picture = geometry.chart](QIODevice &out) {
            return picture.savePng(out);
        };
        source.twipsPerPixel = geometry.twipsPerPixel;
        source.gridWidthTwips = geometry.gridWidthTwips;
        source.gridFontName = geometry.gridFontName;
        if (format->chartOption != ReportFormat::ChartOption::None)
            source.chartIncluded = geometry.chart.chart && selectionHasChart(m_grid) &&
                                   (format->chartOption == ReportFormat::ChartOption::Html
                                        ? m_settings.Chart_In_HTML_Output
                                        : m_settings.Chart_In_PDF_Output);
        std::optional<LargestFilesList> largest;
        if (m_settings.Largest_Files_In_Reports) {
            const int n = m_grid.selectedRowCount();
            const int row = n > 0 ? m_grid.selectedRow(n - 1) : -1;
            const KeptFilesPtr kept = m_tree->keptFilesOf(row);
            largest = LargestFilesList::of(kept.get(), LargestFilesList::folderOfRow(m_grid, row),
                                           m_tree->SizeFactor(), m_tree->SizeUnit(),
                                           m_tree->SizeFormat());
            source.largestFiles = &*largest;
        }
        if (!ReportFile::writeReplacing(
                fileName, [&](ReplacingFile &out) { return format->write(source, out); }))
            throw AppError(AppError::ReportNotGenerated, format->failure);
        return {};
    } catch (...) {
        return SessionOutcome::of(std::current_exception());
    }
}
