// Acting on one branch of the tree after a scan: walking its folder again in place, and taking
// it out once its folder has gone from the disk.
#include "ScanSession.h"

#include "AppError.h"
#include "NativePath.h"
#include "ScanTree.h"
#include "Settings.h"
#include "TreeCol.h"
#include "mdlFileSearch.h"
#include "yieldOnce.h"

#include <QSet>

#include <array>

namespace {

constexpr std::array<int, 3> Counted{TreeCol::Size, TreeCol::Files, TreeCol::Bytes};

// Writes a row's counted cells; each write carries its change up through the totals above.
void writeCounted(OutlineGrid &grid, int row, const std::array<FixedRaw, 3> &values) {
    for (std::size_t k = 0; k < Counted.size(); ++k)
        grid.setFixedValue(row, Counted[k], values[k]);
}

// The folder's path as the kept files name it: its bytes ending in "/".
QByteArray folderKey(const OutlineGrid &grid, int row) {
    QByteArray path = grid.rowDataBytes(row);
    if (!path.isEmpty() && !path.endsWith('/'))
        path.append('/');
    return path;
}

} // namespace

int ScanSession::rowOfFolder(const OutlineGrid &grid, int row, const QByteArray &folderPath) {
    row = rootOf(grid, row);
    if (row < 0 || !folderPath.startsWith(folderKey(grid, row)))
        return -1;
    // Down from the root, into the child whose path begins the one wanted.
    while (folderKey(grid, row) != folderPath) {
        int next = -1;
        for (int c = grid.firstChild(row); c >= 0 && next < 0; c = grid.nextSibling(c)) {
            const QByteArray child = folderKey(grid, c);
            if (!child.isEmpty() && folderPath.startsWith(child))
                next = c;
        }
        if (next < 0)
            return -1;
        row = next;
    }
    return row;
}

int ScanSession::filesRowOf(const OutlineGrid &grid, int folderRow) {
    for (int c = folderRow >= 0 ? grid.firstChild(folderRow) : -1; c >= 0; c = grid.nextSibling(c))
        if (ScanTree::isFilesRow(grid, c))
            return c;
    return -1;
}

bool ScanSession::removeKeptFile(int row, std::uint32_t file) {
    const KeptFilesPtr kept = m_tree->keptFilesOf(row);
    if (!kept || file >= kept->size())
        return false;
    const KeptFiles::File gone = kept->file(file);
    const int filesRow = filesRowOf(m_grid, rowOfFolder(m_grid, row, kept->folderPath(gone)));
    kept->removeFiles({file});
    if (filesRow < 0)
        return false;
    // Never below zero, should the row have been counted with another filter since.
    const Fixed bytes = std::max(m_tree->cellValue(filesRow, TreeCol::Bytes) -
                                     Fixed::fromInt(static_cast<FixedRaw>(gone.bytes)),
                                 Fixed());
    const Fixed files =
        std::max(m_tree->cellValue(filesRow, TreeCol::Files) - Fixed::fromInt(1), Fixed());
    m_tree->setRowTotals(filesRow, bytes, files);
    m_tree->UpdateRoots();
    return true;
}

namespace {

// The kept files below a row of the tree leave with it (a scan root's go with the root).
void forgetKeptFilesBelow(const ScanTree &tree, int row) {
    const KeptFilesPtr kept = tree.keptFilesOf(row);
    if (kept && !ScanTree::isScanRoot(tree.grid(), row))
        kept->removeFiles(kept->filesUnder(folderKey(tree.grid(), row)));
}

} // namespace

void ScanSession::removeBranch(int row) {
    forgetKeptFilesBelow(*m_tree, row);
    writeCounted(m_grid, row, {0, 0, 0});
    m_grid.removeRows(row, m_grid.subtreeEnd(row) - row);
    m_tree->UpdateRoots();
}

SessionOutcome ScanSession::rescan(int row, const std::function<void(int)> &walking) {
    SessionOutcome outcome;
    const QByteArray path = m_grid.rowDataBytes(row);
    const int level = m_grid.level(row);
    // What the user had open and selected in the branch, by path.
    QSet<QByteArray> expanded, selected;
    const int oldEnd = m_grid.subtreeEnd(row);
    for (int r = row + 1; r < oldEnd; ++r) {
        const QByteArray data = m_grid.rowDataBytes(r);
        if (data.isEmpty())
            continue;
        if (m_grid.hasChildren(r) && !m_grid.isCollapsed(r))
            expanded.insert(data);
        if (m_grid.isRowSelected(r))
            selected.insert(data);
    }

    m_walker->AbortRequested = false;
    // The current filter and recursion, but the scan's own basis and limits: the branch comes
    // back as the scan counted it.
    setWalkParams(path, ScanTree::basisOfRoot(m_grid, rootOf(m_grid, row)),
                  m_tree->startRecordOf(row));
    // The walk keeps the branch's large files apart; they replace its old ones once it is
    // complete. A root's walk is the whole scan's, types and all; a folder's keeps only what
    // reaches the scan's threshold, and the scan's type totals stay as they were.
    const KeptFilesPtr kept = m_tree->keptFilesOf(row);
    const bool wholeScan = ScanTree::isScanRoot(m_grid, row);
    KeptFilesPtr branchFiles;
    if (kept) {
        branchFiles = std::make_shared<KeptFiles>(kept->rootPath(), kept->cap());
        if (!wholeScan)
            branchFiles->raiseThreshold(kept->threshold());
    }
    m_walker->setKeptFiles(branchFiles);
    m_tree->clearUnreadable();
    if (!m_tree->SetSizeFactorOf(row))
        m_tree->SetSizeFactor();
    // The walk fills a row of its own at the end of the grid, at the top level and hidden, so
    // that its totals reach no row of the tree while it runs.
    const int scratch = m_tree->AddTreeRow(m_grid.text(row, TreeCol::Name), -1, RowKind::Folder,
                                           Fixed(), false, Fixed());
    m_grid.setRowDataBytes(scratch, path);
    // A folder that could not be read before and can now loses its warning badge.
    m_grid.setCellPicture(scratch, TreeCol::Name,
                          ScanTree::isScanRoot(m_grid, row)
                              ? m_grid.cellPicture(row, TreeCol::Name)
                              : m_tree->pictureId(TreePicture::Folder));
    m_grid.setOutlineState(scratch, OutlineCollapsed);
    m_grid.setRowHidden(scratch, true);
    struct Ending {
        ScanSession *self;
        const std::function<void(int)> &walking;
        bool walked = false;
        void walkEnded() {
            if (walking && !std::exchange(walked, true))
                walking(-1);
        }
        ~Ending() {
            self->m_tree->SetSizeFactor();
            self->m_walker->setKeptFiles(nullptr);
            walkEnded();
        }
    } ending{this, walking};
    try {
        if (walking)
            walking(scratch);
        m_grid.setRedraw(static_cast<GridRedraw>(m_settings.Redraw_Scan_Progress));
        yieldOnce();
        // A folder below the start is reached from the start, never through a link: a folder
        // on the way that became a link is refused, not followed elsewhere.
        int startFd = -1;
        if (!wholeScan) {
            const ScannedPath::Opened opened = ScannedPath::openFolder(m_tree->startOf(row), path);
            if (!opened.ok())
                throw AppError(AppError::InvalidStartPath, opened.problem);
            startFd = opened.fd;
        }
        m_walker->SearchFolder(path, level + 1, scratch, startFd);
        ending.walkEnded();
        if (wholeScan)
            recordStart(path);
    } catch (...) {
        ending.walkEnded();
        outcome = SessionOutcome::of(std::current_exception());
        m_grid.setRedraw(GridRedraw::Buffered);
        m_grid.removeRows(scratch, m_grid.rows() - scratch);
        noteUnreadable(outcome);
        return outcome;
    }
    m_grid.setRedraw(GridRedraw::Buffered);
    noteUnreadable(outcome);
    if (branchFiles && wholeScan) {
        m_tree->addKeptFiles(branchFiles);
    } else if (branchFiles) {
        kept->removeFiles(kept->filesUnder(folderKey(m_grid, row)), false);
        kept->addFilesOf(*branchFiles);
    }

    std::array<FixedRaw, 3> fresh{};
    for (std::size_t k = 0; k < Counted.size(); ++k)
        fresh[k] = m_tree->cellValue(scratch, Counted[k]).raw();
    // The old children go, the new ones move up into their place; the scratch row is last.
    const int removed = oldEnd - row - 1;
    m_grid.removeRows(row + 1, removed);
    const int walked = scratch - removed;
    m_grid.moveRowsUp(walked + 1, m_grid.rows() - walked - 1, row + 1);
    const int last = m_grid.rows() - 1;
    m_grid.setCellPicture(row, TreeCol::Name, m_grid.cellPicture(last, TreeCol::Name));
    m_grid.setCellNote(row, TreeCol::Name, m_grid.cellNote(last, TreeCol::Name));
    m_grid.removeRows(last, 1);
    writeCounted(m_grid, row, fresh);

    const int newEnd = m_grid.subtreeEnd(row);
    for (int r = row + 1; r < newEnd; ++r) {
        const QByteArray data = m_grid.rowDataBytes(r);
        if (expanded.contains(data))
            m_grid.setOutlineState(r, OutlineExpanded);
        if (selected.contains(data))
            m_grid.setRowSelected(r, true);
    }
    // New totals may change the row's place among its siblings, and theirs; no ancestor moves.
    for (int up = m_grid.parentRow(row); up >= ScanTree::TopRow; up = m_grid.parentRow(up))
        m_grid.sortNode(up);
    m_tree->UpdateRoots();
    return outcome;
}
