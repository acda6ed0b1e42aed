#include "ScanTree.h"

#include <QSet>

#include "AppError.h"
#include "BadgedIcon.h"
#include "NativePath.h"
#include "NativeText.h"
#include "OutlineGrid.h"
#include "Settings.h"

#include <QDebug>
#include <QScopedValueRollback>

#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

ScanTree::ScanTree(OutlineGrid &grid, const Settings &settings, QObject *parent)
    : QObject(parent), m_grid(grid), m_gridAlive(&grid), m_settings(settings) {
    // The grid's own handler rather than a connection: it runs for every cell a scan writes.
    m_grid.setCellChangedHandler([this](int row, int col) { fgTree_CellChanged(row, col); });
}

ScanTree::~ScanTree() {
    if (m_gridAlive)
        m_grid.setCellChangedHandler({});
}

QIcon ScanTree::iconFor(TreePicture picture) const {
    // The program gives the pictures; the benchmark and model tests run without any.
    return m_pictureSource ? m_pictureSource(picture) : QIcon();
}

void ScanTree::InitTreeGrid() {
    m_grid.setCols(TreeCol::Count);
    m_grid.setFixedCols(0);
    m_grid.setRows(1);
    m_grid.setFixedRows(1);
    GridLook look = m_grid.look();
    look.gridLines = 14; // the style of "Display_Gridlines" off
    look.outlineBar = 1;
    look.outlineCol = TreeCol::Name;
    m_grid.setLook(look);
    m_grid.setRedraw(GridRedraw::Buffered);

    static const int aligns[] = {AlignLeftCenter,  AlignRightCenter, AlignLeftCenter,
                                 AlignRightCenter, AlignRightCenter, AlignGeneral};
    static const int types[] = {TypeString,   TypeCurrency, TypeString,
                                TypeCurrency, TypeCurrency, TypeEmpty};
    for (int c = 0; c < TreeCol::Count; ++c) {
        m_grid.setColWidth(c, Settings::DefaultColWidths[static_cast<std::size_t>(c)]);
        m_grid.setColAlignment(c, aligns[c]);
        m_grid.setColDataType(c, types[c]);
    }
    m_grid.setColHidden(TreeCol::Bytes, true);
    m_grid.setTextRange(0, TreeCol::Name, TreeCol::Bytes,
                        QStringLiteral("Node\tSize\t\t# of Files\tByteSize"));
    m_grid.setNode(0, false);
    m_grid.setLevel(0, -1);

    const int top = m_grid.addRow();
    m_grid.setNode(top, true);
    m_grid.setLevel(top, -1);

    for (int p = 0; p < static_cast<int>(TreePicture::Count); ++p)
        m_pictureIds[static_cast<std::size_t>(p)] =
            m_grid.addPicture(iconFor(static_cast<TreePicture>(p)));

    SetSizeFactor();
    SetSizeFormat();

    m_grid.setTextRange(top, TreeCol::Name, TreeCol::Bytes,
                        QStringLiteral("Scans\t0\t") + m_sizeUnit + QStringLiteral("\t0\t0"));
    m_topSizeInUnit = false;
    m_grid.setCellPicture(top, TreeCol::Name, pictureId(TreePicture::Desktop));
    m_grid.select(top, TreeCol::Name);
}

void ScanTree::SetSizeFactor() {
    m_sizeFactor = Settings::sizeFactorOf(m_settings.Object_Size);
    m_sizeUnit = Settings::sizeUnitOf(m_settings.Object_Size);
}

bool ScanTree::SetSizeFactorOf(int row) {
    const QString unit = m_grid.text(row, TreeCol::Unit);
    for (int size = 0; size <= 3; ++size)
        if (unit == Settings::sizeUnitOf(size)) {
            m_sizeFactor = Settings::sizeFactorOf(size);
            m_sizeUnit = unit;
            return true;
        }
    return false;
}

void ScanTree::SetSizeFormat() {
    m_sizeFormat = m_settings.Object_Size_Format.trimmed();
    if (m_sizeFormat.isEmpty())
        m_sizeFormat = Settings::DefaultSizeFormat;
    m_grid.setColFormat(TreeCol::Size, m_sizeFormat);
}

TreePicture ScanTree::pictureOf(RowKind kind) {
    switch (kind) {
    case RowKind::HardDisk:
        return TreePicture::HDD;
    case RowKind::Remote:
        return TreePicture::Remote;
    case RowKind::Removable:
        return TreePicture::Removable;
    case RowKind::Optical:
        return TreePicture::Optical;
    case RowKind::RamDisk:
        return TreePicture::RAMDISK;
    case RowKind::Undetermined:
        return TreePicture::Undtmnd;
    case RowKind::NoRoot:
        return TreePicture::NoRoot;
    case RowKind::InvalidDriveNumber:
        return TreePicture::InvDrvNum;
    case RowKind::Files:
        return TreePicture::File;
    case RowKind::Warning:
        return TreePicture::Warning;
    case RowKind::ScanFile:
        return TreePicture::ScanFile;
    case RowKind::Folder:
        break;
    }
    return TreePicture::Folder;
}

RowKind ScanTree::rowKindOfDriveType(int driveType) {
    switch (driveType) {
    case 0:
        return RowKind::Undetermined;
    case 1:
        return RowKind::NoRoot;
    case 2:
        return RowKind::Removable;
    case 3:
        return RowKind::HardDisk;
    case 4:
        return RowKind::Remote;
    case 5:
        return RowKind::Optical;
    case 6:
        return RowKind::RamDisk;
    default:
        return RowKind::InvalidDriveNumber;
    }
}

void ScanTree::appendSizeText(QString &out, Fixed bytes, QChar dec) const {
    // In bytes the size is the count itself, exact; a double would round it beyond 2^53.
    if (m_sizeFactor == 1)
        bytes.appendText(out, dec);
    else
        Fixed::appendTextOfDouble(out, bytes.toDouble() / m_sizeFactor, dec);
}

int ScanTree::AddTreeRow(const QString &Name, int Level, RowKind Kind, Fixed Bytes, bool IsRoot,
                         Fixed FileCount) {
    const int r = m_grid.addRow();
    m_grid.setNode(r, true);
    m_grid.setLevel(r, Level);
    if (Kind == RowKind::Files || Kind == RowKind::Warning)
        setRowKind(m_grid, r, Kind == RowKind::Files ? TreeRow::Files : TreeRow::Note);
    if (Kind == RowKind::Folder)
        ++m_foldersAdded;
    const QChar dec = m_grid.decimalSeparator();
    // One tab-separated write of all written columns, built in a reused buffer (this runs twice per
    // folder of a scan). A name holding a tab goes in on its own, or it would shift the other
    // cells; the size and count cells still go in one write, so each of their notifications
    // sees the whole row.
    QString &cells = m_rowText;
    cells.resize(0);
    const bool nameApart = Name.contains(u'\t');
    if (nameApart)
        m_grid.setText(r, TreeCol::Name, Name);
    else
        cells.append(Name).append(u'\t');
    const qsizetype sizeAt = cells.size();
    appendSizeText(cells, Bytes, dec);
    const qsizetype sizeLength = cells.size() - sizeAt;
    cells.append(u'\t').append(m_sizeUnit).append(u'\t');
    FileCount.appendText(cells, dec);
    cells.append(u'\t');
    Bytes.appendText(cells, dec);
    {
        // The new row's cells are carried up in one pass below instead of one notification
        // round trip per cell and level.
        const QScopedValueRollback<bool> batch(m_batch, true);
        m_grid.setTextRange(r, nameApart ? TreeCol::Size : TreeCol::Name, TreeCol::Bytes, cells);
        try {
            // The size as its text reads, rounded to four decimals; the counts are exact.
            std::optional<Fixed> size;
            try {
                size = Fixed::parse(QStringView(cells).sliced(sizeAt, sizeLength), dec);
            } catch (const AppError &e) {
                if (e.number() != AppError::Overflow)
                    throw;
                throw totalOverflowOf(m_grid.parentRow(r));
            }
            const std::array<Fixed, 3> values{size.value_or(Fixed()), FileCount, Bytes};
            const int parent = m_deferred ? m_grid.parentRow(r) : -1;
            if (parent > TopRow && fitsWhenCarried(values)) {
                pendingFor(parent);
                addToParent(r, parent, values, true, m_pending.back());
                for (int k = 0; k < 3; ++k)
                    m_uncarried[k] += values[k];
            } else {
                // Near the end of the range the row goes up at once, after everything gathered,
                // so that a total it would take too far is found before any is changed.
                flushCarry();
                carryNewRow(r, values);
            }
        } catch (const AppError &e) {
            // A total that cannot be held ends the command that adds to it: a row whose values
            // were left out of its parents' totals would make them disagree.
            if (e.number() != AppError::Overflow) {
                reportError(e);
            } else {
                m_grid.removeRows(r, 1);
                throw;
            }
        } catch (const std::exception &e) {
            reportError(e);
        }
    }
    m_grid.setCellPicture(r, TreeCol::Name, pictureId(pictureOf(Kind)));
    if (Kind == RowKind::Warning)
        m_grid.setCellForeColor(r, TreeCol::Name, r, TreeCol::Files, 255);
    if (IsRoot) {
        m_grid.setCellForeColor(r, TreeCol::Name, r, TreeCol::Files, m_settings.Root_Font_Color);
        m_grid.setCellBold(r, TreeCol::Name, r, TreeCol::Name, true);
    }
    return r;
}

void ScanTree::clearUnreadable() {
    m_unreadable.clear();
    m_unreadableCount = 0;
}

void ScanTree::MarkUnreadable(int row, int error) {
    if (m_unreadableCount++ < UnreadableKept)
        m_unreadable.push_back({m_grid.rowDataBytes(row), error});
    m_grid.setCellNote(row, TreeCol::Name, qt_error_string(error));
    const int picture = m_grid.cellPicture(row, TreeCol::Name);
    auto it = m_badged.find(picture);
    if (it == m_badged.end()) {
        const QIcon base = m_grid.picture(picture);
        const QIcon badge = iconFor(TreePicture::Warning);
        it = m_badged
                 .emplace(picture, m_grid.addPicture(base.isNull() && badge.isNull()
                                                         ? QIcon()
                                                         : BadgedIcon::make(base, badge)))
                 .first;
    }
    m_grid.setCellPicture(row, TreeCol::Name, it->second);
}

void ScanTree::MarkNotEntered(int row, const QString &why) {
    m_grid.setCellNote(row, TreeCol::Name, why);
    m_grid.setCellItalic(row, TreeCol::Name, row, TreeCol::Name, true);
}

namespace {

// One write of a row's size (its text given), unit, file count and byte count.
void writeTotals(OutlineGrid &grid, int row, const QString &size, const QString &unit, Fixed bytes,
                 Fixed files) {
    const QChar dec = grid.decimalSeparator();
    grid.setTextRange(row, TreeCol::Size, TreeCol::Bytes,
                      size + u'\t' + unit + u'\t' + files.text(dec) + u'\t' + bytes.text(dec));
}

} // namespace

void ScanTree::setRowTotals(int row, Fixed bytes, Fixed files) {
    const std::int32_t factor = m_sizeFactor;
    const QString unit = m_sizeUnit;
    if (!SetSizeFactorOf(row))
        SetSizeFactor();
    QString size;
    appendSizeText(size, bytes, m_grid.decimalSeparator());
    writeTotals(m_grid, row, size, m_sizeUnit, bytes, files);
    m_sizeFactor = factor;
    m_sizeUnit = unit;
}

void ScanTree::UpdateRoots() {
    Fixed bytes, files;
    for (int c = m_grid.firstChild(TopRow); c >= 0; c = m_grid.nextSibling(c)) {
        bytes += cellValue(c, TreeCol::Bytes);
        files += cellValue(c, TreeCol::Files);
    }
    QString size;
    appendSizeText(size, bytes, m_grid.decimalSeparator());
    writeTotals(m_grid, TopRow, size, m_sizeUnit, bytes, files);
    m_topSizeInUnit = true;
}

Fixed ScanTree::cellValue(int row, int col) const {
    if (auto fixed = m_grid.fixedValue(row, col))
        return Fixed::fromRaw(*fixed);
    const QString text = m_grid.text(row, col);
    if (text.isEmpty())
        return Fixed();
    if (auto parsed = Fixed::parse(text, m_grid.decimalSeparator()))
        return *parsed;
    throw AppError::typeMismatch();
}

Fixed ScanTree::previousValue() const {
    if (auto fixed = m_grid.previousFixedValue())
        return Fixed::fromRaw(*fixed);
    const QString text = m_grid.previousText();
    if (text.isEmpty())
        return Fixed();
    if (auto parsed = Fixed::parse(text, m_grid.decimalSeparator()))
        return *parsed;
    throw AppError::typeMismatch();
}

void ScanTree::writeValue(int row, int col, Fixed value) {
    m_lastWrite = {row, col, value};
    struct Forget { // also when the write fails before its notification
        ScanTree *self;
        ~Forget() { self->m_lastWrite.row = -1; }
    } forget{this};
    m_grid.setFixedValue(row, col, value.raw());
}

Fixed ScanTree::sumOfRootSizes() const {
    Fixed sum;
    for (int c = m_grid.firstChild(TopRow); c >= 0; c = m_grid.nextSibling(c))
        sum += cellValue(c, TreeCol::Size);
    return sum;
}

Fixed ScanTree::resumTopSize() {
    m_topSizeInUnit = false;
    const Fixed sum = sumOfRootSizes();
    writeValue(TopRow, TreeCol::Size, sum);
    return sum;
}

// The rule of carryUp() for a row just appended with the given values of the Size, Files and
// Bytes columns, whose cells were all empty before: each ancestor's size and counts change by
// those values, level by level, as long as anything changes. The top row has no parent, so its
// size may simply be re-summed when UpdateRoots left it in the current unit. Every new total is
// worked out before the first is written, so a total that cannot be held changes none.
void ScanTree::carryNewRow(int row, std::array<Fixed, 3> values, bool newRow) {
    static constexpr int cols[3] = {TreeCol::Size, TreeCol::Files, TreeCol::Bytes};
    struct Write {
        int row, col;
        Fixed value;
    };
    std::vector<Write> writes;
    bool resumTop = false;
    std::array<Fixed, 3> delta = values;
    int child = row;
    for (int parent = m_grid.parentRow(row); parent >= 0;
         child = parent, parent = m_grid.parentRow(parent)) {
        const bool first = newRow && child == row;
        if (!first && delta[0] == Fixed() && delta[1] == Fixed() && delta[2] == Fixed())
            break;
        try {
            int from = 0;
            if (parent == TopRow && m_topSizeInUnit) {
                // A root's own new size waits among the writes (unless it is the row given,
                // whose cell holds its value already).
                const Fixed sum = sumOfRootSizes() + (child == row ? Fixed() : delta[0]);
                writes.push_back({TopRow, TreeCol::Size, sum});
                resumTop = true;
                from = 1;
            }
            // The first values of an only child are the sums, whatever the parent held before.
            const bool onlyChild =
                first && m_grid.firstChild(parent) == child && m_grid.nextSibling(child) < 0;
            for (int k = from; k < 3; ++k) {
                const Fixed old = cellValue(parent, cols[k]);
                const Fixed target = onlyChild ? values[k] : old + delta[k];
                delta[k] = target - old;
                if (delta[k] != Fixed())
                    writes.push_back({parent, cols[k], target});
            }
        } catch (const AppError &e) {
            if (e.number() != AppError::Overflow)
                throw;
            throw totalOverflowOf(parent);
        }
    }
    if (resumTop)
        m_topSizeInUnit = false;
    for (const Write &w : writes)
        writeValue(w.row, w.col, w.value);
}

void ScanTree::beginDeferredCarry() {
    m_pending.clear();
    m_uncarried = {};
    m_deferred = true;
}

void ScanTree::dropDeferredCarry() {
    m_pending.clear();
    m_uncarried = {};
    m_deferred = false;
}

// Sizes and counts are never negative, so no total is larger than the top row's once all is
// carried: when the top row, what was gathered since the last flush and `values` fit, every
// total they add to fits. (What reached the top row already counts twice: that only makes the
// test strict.)
bool ScanTree::fitsWhenCarried(const std::array<Fixed, 3> &values) const {
    static constexpr int cols[3] = {TreeCol::Size, TreeCol::Files, TreeCol::Bytes};
    try {
        for (int k = 0; k < 3; ++k)
            [[maybe_unused]] const Fixed sum =
                cellValue(TopRow, cols[k]) + m_uncarried[k] + values[k];
        return true;
    } catch (const AppError &e) {
        if (e.number() != AppError::Overflow)
            throw;
        return false;
    }
}

void ScanTree::endDeferredCarry() {
    struct End {
        ScanTree *self;
        ~End() { self->dropDeferredCarry(); }
    } end{this};
    const QScopedValueRollback<bool> batch(m_batch, true);
    while (!m_pending.empty())
        popPending();
}

// Makes the top of the pending stack the folder `parent`. Depth first, it is the top already
// or a child of it; folders that are neither (a folder left without folderDone) are carried
// up and dropped first.
void ScanTree::pendingFor(int parent) {
    if (!m_pending.empty() && m_pending.back().row == parent)
        return;
    const int grand = m_grid.parentRow(parent);
    while (!m_pending.empty() && m_pending.back().row != grand) {
        popPending();
        if (!m_pending.empty() && m_pending.back().row == parent)
            return;
    }
    m_pending.push_back({parent, {}});
}

// The top folder's gathered change goes to its parent: into the parent's own gathered change
// when the parent is open below it, else all the way up at once.
void ScanTree::popPending() {
    const Pending top = m_pending.back();
    m_pending.pop_back();
    if (top.delta[0] == Fixed() && top.delta[1] == Fixed() && top.delta[2] == Fixed())
        return;
    const int parent = m_grid.parentRow(top.row);
    if (parent > TopRow && !m_pending.empty() && m_pending.back().row == parent)
        addToParent(top.row, parent, top.delta, false, m_pending.back());
    else
        carryNewRow(top.row, top.delta, false);
}

// Adds a change of `row`'s cells to its parent's (a new row's values are such a change, its
// cells having been empty) and gathers it in `gathered`, the parent's pending change. A new
// only child sets its parent's values, as carryNewRow() does. All totals are worked out before
// any is written, so an overflow changes none.
void ScanTree::addToParent(int row, int parent, const std::array<Fixed, 3> &values, bool newRow,
                           Pending &gathered) {
    static constexpr int cols[3] = {TreeCol::Size, TreeCol::Files, TreeCol::Bytes};
    const bool onlyChild =
        newRow && m_grid.firstChild(parent) == row && m_grid.nextSibling(row) < 0;
    std::array<Fixed, 3> target, delta;
    try {
        for (int k = 0; k < 3; ++k) {
            const Fixed old = cellValue(parent, cols[k]);
            target[k] = onlyChild ? values[k] : old + values[k];
            delta[k] = target[k] - old;
        }
        for (int k = 0; k < 3; ++k)
            gathered.delta[k] += delta[k];
    } catch (const AppError &e) {
        if (e.number() != AppError::Overflow)
            throw;
        throw totalOverflowOf(parent);
    }
    for (int k = 0; k < 3; ++k)
        if (delta[k] != Fixed())
            writeValue(parent, cols[k], target[k]);
}

void ScanTree::folderDone(int row) {
    if (!m_deferred)
        return;
    const QScopedValueRollback<bool> batch(m_batch, true);
    while (!m_pending.empty()) {
        const bool last = m_pending.back().row == row;
        popPending();
        if (last)
            break;
    }
}

void ScanTree::flushCarry() {
    if (m_pending.empty()) {
        m_uncarried = {};
        return;
    }
    const QScopedValueRollback<bool> batch(m_batch, true);
    for (std::size_t i = m_pending.size(); i-- > 0;) {
        Pending &p = m_pending[i];
        if (p.delta[0] == Fixed() && p.delta[1] == Fixed() && p.delta[2] == Fixed())
            continue;
        const std::array<Fixed, 3> delta = std::exchange(p.delta, {});
        const int row = p.row;
        const int parent = m_grid.parentRow(row);
        if (i > 0 && parent > TopRow && m_pending[i - 1].row == parent)
            addToParent(row, parent, delta, false, m_pending[i - 1]);
        else
            carryNewRow(row, delta, false);
    }
    m_uncarried = {};
}

AppError ScanTree::totalOverflow(const QString &what) {
    return AppError(AppError::Overflow, QStringLiteral("Overflow: the total of ") + what +
                                            QStringLiteral(" is beyond what can be counted "
                                                           "(99,999,999,999,999,999,999 bytes)."));
}

// Names a row's folder by its path; the top row totals every scan.
AppError ScanTree::totalOverflowOf(int row) const {
    if (row == TopRow || row < 0)
        return totalOverflow(QStringLiteral("all scans"));
    const QByteArray path = m_grid.rowDataBytes(row);
    return totalOverflow(path.isEmpty() ? m_grid.text(row, TreeCol::Name)
                                        : NativeText::decode(path));
}

void ScanTree::carryUp(int row, int col) {
    if (row < 1 || (col != TreeCol::Size && col != TreeCol::Files && col != TreeCol::Bytes))
        return;
    const int parent = m_grid.parentRow(row);
    if (parent < 0)
        return;
    if (parent == TopRow && m_topSizeInUnit) {
        // UpdateRoots left the top row's size in the current unit; the first change that
        // reaches the top row makes it the sum of the roots' sizes again (the counts were
        // written as sums, so changes still add to them).
        resumTopSize();
        if (col == TreeCol::Size)
            return;
    }
    const std::optional<qint64> previous = m_grid.previousFixedValue();
    // Up the chain, the reported cell is the one just written here: its value is known.
    const Fixed now =
        m_lastWrite.row == row && m_lastWrite.col == col ? m_lastWrite.value : cellValue(row, col);
    m_lastWrite.row = -1;
    Fixed target;
    if (!previous && m_grid.firstChild(parent) == row && m_grid.nextSibling(row) < 0) {
        // The first value of an only child: the sum is its value, whatever the parent held
        // before it had children. (A child that held a number already kept the parent equal
        // to it, so the change below gives the same.)
        target = now;
        if (target == cellValue(parent, col))
            return;
    } else {
        const Fixed delta = now - (previous ? Fixed::fromRaw(*previous) : previousValue());
        if (delta == Fixed())
            return;
        target = cellValue(parent, col) + delta;
    }
    writeValue(parent, col, target);
}

void ScanTree::reportError(const std::exception &error) {
    static const QString title = QStringLiteral("Error in fgTree_CellChanged");
    AppError reported(5, QString::fromUtf8(error.what()));
    if (auto *app = dynamic_cast<const AppError *>(&error))
        reported = *app;
    else if (dynamic_cast<const std::out_of_range *>(&error))
        reported = AppError(AppError::SubscriptOutOfRange, QString::fromUtf8(error.what()));
    if (m_errorSink)
        m_errorSink(title, reported);
    else
        qWarning().noquote() << title << reported.number() << reported.description();
}

void ScanTree::fgTree_CellChanged(int Row, int Col) {
    if (m_batch) // AddTreeRow carries its own row
        return;
    try {
        carryUp(Row, Col);
    } catch (const std::exception &e) {
        reportError(e);
    }
}

bool ScanTree::isScanRoot(const OutlineGrid &grid, int row) {
    return row > TopRow && row < grid.rows() && grid.isNode(row) && grid.level(row) == 0;
}

TreeRow ScanTree::rowKind(const OutlineGrid &grid, int row) {
    if (row < 0 || row >= grid.rows())
        return TreeRow::Note;
    return static_cast<TreeRow>(grid.rowKind(row));
}

bool ScanTree::isFolderRow(const OutlineGrid &grid, int row) {
    return row >= TopRow && rowKind(grid, row) == TreeRow::Folder;
}

void ScanTree::setRowKind(OutlineGrid &grid, int row, TreeRow kind) {
    grid.setRowKind(row, static_cast<int>(kind));
}

SizeBasis ScanTree::basisOfRoot(const OutlineGrid &grid, int row) {
    return grid.countsDiskUsage(row) ? SizeBasis::DiskUsage : SizeBasis::FileSize;
}

void ScanTree::setBasisOfRoot(OutlineGrid &grid, int row, SizeBasis basis) {
    grid.setCountsDiskUsage(row, basis == SizeBasis::DiskUsage);
}

QString ScanTree::basisHeading(const OutlineGrid &grid) {
    QStringList onDisk;
    int roots = 0;
    for (int r = grid.rows() > TopRow ? grid.firstChild(TopRow) : -1; r >= 0;
         r = grid.nextSibling(r)) {
        if (!isScanRoot(grid, r))
            continue;
        ++roots;
        if (basisOfRoot(grid, r) == SizeBasis::DiskUsage)
            onDisk.append(grid.text(r, TreeCol::Name));
    }
    if (onDisk.isEmpty())
        return QString();
    const QString disk = sizeBasisText(SizeBasis::DiskUsage);
    if (onDisk.size() == roots)
        return QStringLiteral("Sizes: ") + disk;
    return QStringLiteral("Sizes: ") + disk + QStringLiteral(" in the scans of ") +
           onDisk.join(QStringLiteral(", ")) + QStringLiteral("; ") +
           sizeBasisText(SizeBasis::FileSize) + QStringLiteral(" in the others");
}

KeptFilesPtr ScanTree::keptFilesOf(int row) const {
    if (row <= TopRow || row >= m_grid.rows())
        return nullptr;
    int root = row;
    while (root > TopRow && !isScanRoot(m_grid, root))
        root = m_grid.parentRow(root);
    if (root <= TopRow)
        return nullptr;
    QByteArray path = m_grid.rowDataBytes(root);
    if (!path.endsWith('/'))
        path.append('/');
    for (auto it = m_kept.rbegin(); it != m_kept.rend(); ++it)
        if ((*it)->rootPath() == path)
            return *it;
    return nullptr;
}

void ScanTree::addKeptFiles(KeptFilesPtr kept) {
    QSet<QByteArray> roots;
    for (int r = m_grid.rows() > TopRow ? m_grid.firstChild(TopRow) : -1; r >= 0;
         r = m_grid.nextSibling(r)) {
        QByteArray path = m_grid.rowDataBytes(r);
        if (!path.endsWith('/'))
            path.append('/');
        roots.insert(path);
    }
    std::erase_if(m_kept, [&](const KeptFilesPtr &k) {
        return k->rootPath() == kept->rootPath() || !roots.contains(k->rootPath());
    });
    m_kept.push_back(std::move(kept));
}

namespace {

// The clean path of the start folder of the scan that holds `row`; empty outside every scan.
QByteArray startPathOf(const OutlineGrid &grid, int row) {
    int root = row > ScanTree::TopRow && row < grid.rows() ? row : -1;
    while (root > ScanTree::TopRow && !ScanTree::isScanRoot(grid, root))
        root = grid.parentRow(root);
    return root > ScanTree::TopRow ? NativePath::clean(grid.rowDataBytes(root)) : QByteArray();
}

} // namespace

ScanTree::StartRecord ScanTree::startRecordOf(int row) const {
    return m_starts.value(startPathOf(m_grid, row));
}

ScannedPath::Start ScanTree::startOf(int row) const {
    const QByteArray path = startPathOf(m_grid, row);
    return {path, m_starts.value(path).identity};
}

void ScanTree::recordStart(const QByteArray &path, const StartRecord &record) {
    m_starts.insert(NativePath::clean(path), record);
}
