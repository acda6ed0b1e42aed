// The tree side of the outline grid: levels, outline state, node links and node sorts.
#include "OutlineGrid.h"

#include "Fixed.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

// Node-link index ----------------------------------------------------------------------------
//
// Links are built by one pass that keeps the chain of open ancestors on a stack: a row's parent
// is the nearest row above with a lower level, which is the top of the stack once every entry
// with a level >= the row's has been popped. Appends extend the pass where it stopped, so a
// scan that appends rows and asks for their parents pays O(1) amortised per row; a change
// anywhere else restarts the pass at the next query.

void OutlineGrid::invalidateIndex(int fromRow) {
    if (fromRow >= m_indexedEnd)
        return;
    m_indexedEnd = 0;
    m_stack.clear();
}

void OutlineGrid::ensureIndexed(int upTo) const {
    upTo = std::min(upTo, rows());
    if (m_indexedEnd >= upTo)
        return;
    if (m_indexedEnd < m_fixedRows) {
        m_indexedEnd = m_fixedRows;
        m_stack.clear();
    }
    const auto n = static_cast<std::size_t>(rows());
    if (m_parent.size() < n) {
        m_parent.resize(n);
        m_end.resize(n);
    }
    for (int r = m_indexedEnd; r < upTo; ++r) {
        const int lv = m_rows[r].level;
        while (!m_stack.empty() && m_rows[m_stack.back()].level >= lv) {
            m_end[m_stack.back()] = r;
            m_stack.pop_back();
        }
        m_parent[r] = m_stack.empty() ? -1 : m_stack.back();
        m_end[r] = -1;
        m_stack.push_back(r);
    }
    m_indexedEnd = upTo;
}

int OutlineGrid::parentRow(int row) const {
    checkRow(row);
    if (row < m_fixedRows)
        return -1;
    ensureIndexed(row + 1);
    return m_parent[row];
}

int OutlineGrid::firstChild(int row) const {
    checkRow(row);
    // The row below is a child exactly when it is deeper: its nearest lower row is this one.
    if (row < m_fixedRows || row + 1 >= rows() || m_rows[row + 1].level <= m_rows[row].level)
        return -1;
    return row + 1;
}

int OutlineGrid::subtreeEnd(int row) const {
    checkRow(row);
    if (row < m_fixedRows)
        return row + 1;
    ensureIndexed(rows());
    return m_end[row] < 0 ? rows() : m_end[row];
}

int OutlineGrid::nextSibling(int row) const {
    const int end = subtreeEnd(row);
    if (row < m_fixedRows || end >= rows())
        return -1;
    return m_parent[end] == m_parent[row] ? end : -1;
}

int OutlineGrid::lastChild(int row) const {
    int last = -1;
    for (int c = firstChild(row); c >= 0; c = nextSibling(c))
        last = c;
    return last;
}

int OutlineGrid::firstSibling(int row) const {
    const int p = parentRow(row);
    if (row < m_fixedRows)
        return -1;
    return p >= 0 ? p + 1 : m_fixedRows;
}

// Rows -------------------------------------------------------------------------------------

bool OutlineGrid::isNode(int row) const {
    checkRow(row);
    return m_rows[row].flags & FlagNode;
}

void OutlineGrid::setNode(int row, bool on) {
    checkRow(row);
    auto &f = m_rows[row].flags;
    f = on ? (f | FlagNode) : (f & ~FlagNode);
    noteStructure(row);
}

int OutlineGrid::level(int row) const {
    checkRow(row);
    return m_rows[row].level;
}

void OutlineGrid::setLevel(int row, int lv) {
    checkRow(row);
    lv = std::clamp(lv, -1, MaxLevel);
    if (m_rows[row].level == lv)
        return;
    m_rows[row].level = lv;
    invalidateIndex(row);
    noteStructure(row);
}

GridOutlineState OutlineGrid::outlineState(int row) const {
    checkRow(row);
    return (m_rows[row].flags & FlagCollapsed) ? OutlineCollapsed : OutlineExpanded;
}

void OutlineGrid::setOutlineState(int row, GridOutlineState state) {
    checkRow(row);
    auto &f = m_rows[row].flags;
    const auto nf = static_cast<std::uint8_t>(state == OutlineCollapsed ? (f | FlagCollapsed)
                                                                        : (f & ~FlagCollapsed));
    if (nf == f)
        return;
    f = nf;
    noteStructure(row);
}

void OutlineGrid::outline(int lv) {
    for (int r = m_fixedRows; r < rows(); ++r) {
        if (!(m_rows[r].flags & FlagNode))
            continue;
        if (m_rows[r].level >= lv)
            m_rows[r].flags |= FlagCollapsed;
        else
            m_rows[r].flags &= ~FlagCollapsed;
    }
    noteStructure(m_fixedRows);
}

int OutlineGrid::rowHeight(int row) const {
    checkRow(row);
    return m_rows[row].height;
}

void OutlineGrid::setRowHeight(int row, int twips) {
    checkRow(row);
    m_rows[row].height = std::clamp(twips, -1, MaxRowHeight);
    noteStructure(row);
}

bool OutlineGrid::isRowHidden(int row) const {
    checkRow(row);
    return m_rows[row].flags & FlagHidden;
}

void OutlineGrid::setRowHidden(int row, bool hidden) {
    checkRow(row);
    auto &f = m_rows[row].flags;
    f = hidden ? (f | FlagHidden) : (f & ~FlagHidden);
    noteStructure(row);
}

bool OutlineGrid::isHiddenByOutline(int row) const {
    for (int p = parentRow(row); p >= 0; p = m_parent[p])
        if (m_rows[p].flags & FlagCollapsed)
            return true;
    return false;
}

bool OutlineGrid::isRowVisible(int row) const {
    checkRow(row);
    return !(m_rows[row].flags & FlagHidden) && m_rows[row].height != 0 && !isHiddenByOutline(row);
}

// Node sort --------------------------------------------------------------------------------

namespace {

// One child's sort key: numbers (exact when fixed-point) order before texts.
struct SortKey {
    bool isText = false;
    bool exact = false;
    FixedRaw fixed = 0;
    double value = 0;
    QString text;
};

int compareKeys(const SortKey &a, const SortKey &b, GridSort how) {
    int c = 0;
    if (how == GridSort::NumericAscending || how == GridSort::NumericDescending ||
        (!a.isText && !b.isText)) {
        if (a.exact && b.exact)
            c = a.fixed < b.fixed ? -1 : (a.fixed > b.fixed ? 1 : 0);
        else
            c = a.value < b.value ? -1 : (a.value > b.value ? 1 : 0);
    } else if (a.isText != b.isText) {
        c = a.isText ? 1 : -1;
    } else {
        c = QString::compare(a.text, b.text, Qt::CaseSensitive); // both already case-folded
    }
    const bool descending =
        how == GridSort::GenericDescending || how == GridSort::NumericDescending;
    return descending ? -c : c;
}

} // namespace

// Sorts the given rows (all children of one node) by the column settings; returns the rows in
// their new order. Equal keys keep their order.
static std::vector<int> orderChildren(const OutlineGrid &g, const std::vector<int> &children,
                                      const std::vector<std::pair<int, GridSort>> &keys) {
    std::vector<std::vector<SortKey>> table(keys.size(), std::vector<SortKey>(children.size()));
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const bool numeric = keys[k].second == GridSort::NumericAscending ||
                             keys[k].second == GridSort::NumericDescending;
        for (std::size_t i = 0; i < children.size(); ++i) {
            SortKey &key = table[k][i];
            const int row = children[i], col = keys[k].first;
            if (auto f = g.fixedValue(row, col)) {
                key.exact = true;
                key.fixed = *f;
                key.value = static_cast<double>(*f) / Fixed::Scale;
            } else if (auto v = g.number(row, col)) {
                key.value = *v;
            } else if (!numeric) {
                key.isText = true;
                // Folded once here, so comparing is a plain comparison of code units.
                key.text = g.text(row, col).toCaseFolded();
            }
        }
    }
    std::vector<int> idx(children.size());
    std::iota(idx.begin(), idx.end(), 0);
    std::stable_sort(idx.begin(), idx.end(), [&](int a, int b) {
        for (std::size_t k = 0; k < keys.size(); ++k) {
            if (int c = compareKeys(table[k][a], table[k][b], keys[k].second))
                return c < 0;
        }
        return false;
    });
    std::vector<int> out(children.size());
    for (std::size_t i = 0; i < idx.size(); ++i)
        out[i] = children[idx[i]];
    return out;
}

std::vector<std::pair<int, GridSort>> OutlineGrid::sortKeys() const {
    std::vector<std::pair<int, GridSort>> keys;
    for (int c = 0; c < cols(); ++c)
        if (m_cols[c].sort != GridSort::None)
            keys.emplace_back(c, m_cols[c].sort);
    return keys;
}

void OutlineGrid::sortNode(int row) {
    checkRow(row);
    const auto keys = sortKeys();
    if (keys.empty() || row < m_fixedRows)
        return;
    std::vector<int> children;
    for (int c = firstChild(row); c >= 0; c = nextSibling(c))
        children.push_back(c);
    if (children.size() < 2)
        return;
    const std::vector<int> sorted = orderChildren(*this, children, keys);
    if (sorted == children)
        return;
    const int end = subtreeEnd(row);
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(end - row - 1));
    for (int c : sorted) {
        const int ce = nextSibling(c) >= 0 ? nextSibling(c) : end;
        for (int r = c; r < ce; ++r)
            order.push_back(r);
    }
    permuteBlock(row + 1, order);
    relinkBlock(row, end);
}

bool OutlineGrid::sortAllNodes(const std::function<bool()> &goOn) {
    const auto keys = sortKeys();
    const int n = rows();
    if (keys.empty() || n - m_fixedRows < 3)
        return true;
    ensureIndexed(n);
    // Every node's children in their sorted order, side by side in one array (node r's list
    // is kids[begin[r] .. begin[r] + count[r])); then one depth-first pass gives the new order.
    std::vector<int> kids, begin(static_cast<std::size_t>(n), 0),
        count(static_cast<std::size_t>(n), 0);
    kids.reserve(static_cast<std::size_t>(n));
    std::vector<int> list;
    bool moved = false;
    std::size_t ordered = 0; // children ordered since goOn was last asked
    for (int r = m_fixedRows; r < n; ++r) {
        if (goOn && ordered >= 4096) {
            ordered = 0;
            if (!goOn())
                return false;
        }
        if (firstChild(r) < 0)
            continue;
        list.clear();
        for (int c = r + 1; c >= 0; c = nextSibling(c))
            list.push_back(c);
        begin[r] = static_cast<int>(kids.size());
        count[r] = static_cast<int>(list.size());
        ordered += list.size();
        if (list.size() > 1) {
            const std::vector<int> sorted = orderChildren(*this, list, keys);
            moved = moved || sorted != list;
            kids.insert(kids.end(), sorted.begin(), sorted.end());
        } else {
            kids.push_back(list.front());
        }
    }
    if (!moved)
        return true;
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(n - m_fixedRows));
    std::vector<std::pair<int, int>> stack; // node, index of the next child to visit
    for (int top = m_fixedRows; top >= 0; top = nextSibling(top)) {
        order.push_back(top);
        stack.emplace_back(top, 0);
        while (!stack.empty()) {
            auto &[node, next] = stack.back();
            if (next == count[node]) {
                stack.pop_back();
                continue;
            }
            const int child = kids[static_cast<std::size_t>(begin[node] + next++)];
            order.push_back(child);
            stack.emplace_back(child, 0);
        }
    }
    permuteBlock(m_fixedRows, order);
    invalidateIndex(m_fixedRows);
    return true;
}

void OutlineGrid::moveRowsUp(int first, int count, int to) {
    if (count <= 0 || to >= first)
        return;
    checkRow(to);
    checkRow(first + count - 1);
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(first + count - to));
    for (int r = first; r < first + count; ++r)
        order.push_back(r);
    for (int r = to; r < first; ++r)
        order.push_back(r);
    permuteBlock(to, order);
    invalidateIndex(to);
}

void OutlineGrid::reorderRows(int first, const std::vector<int> &order) {
    if (order.empty())
        return;
    checkRow(first);
    const int last = first + static_cast<int>(order.size());
    if (last > rows())
        throw std::out_of_range("reorderRows: order reaches past the last row");
    std::vector<bool> seen(order.size());
    for (int r : order) {
        if (r < first || r >= last || seen[static_cast<std::size_t>(r - first)])
            throw std::invalid_argument("reorderRows: order is not a permutation");
        seen[static_cast<std::size_t>(r - first)] = true;
    }
    permuteBlock(first, order);
    invalidateIndex(first);
}

// Rebuilds the links of the rows in (row, end) after they were reordered among themselves;
// every one of them descends from `row`, so nothing outside the block changes but row's last
// child and, when the block reaches the end, the chain of open ancestors.
void OutlineGrid::relinkBlock(int row, int end) {
    std::vector<int> stack{row};
    for (int r = row + 1; r < end; ++r) {
        const int lv = m_rows[r].level;
        while (m_rows[stack.back()].level >= lv) {
            m_end[stack.back()] = r;
            stack.pop_back();
        }
        m_parent[r] = stack.back();
        stack.push_back(r);
    }
    const bool open = end >= m_indexedEnd;
    for (std::size_t i = 1; i < stack.size(); ++i)
        m_end[stack[i]] = open ? -1 : end;
    if (open) {
        m_stack.clear();
        for (int r = m_indexedEnd - 1; r >= 0; r = m_parent[r])
            m_stack.push_back(r);
        std::reverse(m_stack.begin(), m_stack.end());
    }
}

namespace {

// Rearranges base[0..n) in place so that base[i] ends up holding what base[from[i]] held,
// following each cycle of the permutation once.
template <typename T> void permuteInPlace(T *base, const std::vector<int> &from) {
    std::vector<bool> done(from.size());
    for (std::size_t i = 0; i < from.size(); ++i) {
        if (done[i])
            continue;
        T held = std::move(base[i]);
        std::size_t j = i;
        for (;;) {
            done[j] = true;
            const auto src = static_cast<std::size_t>(from[j]);
            if (src == i) {
                base[j] = std::move(held);
                break;
            }
            base[j] = std::move(base[src]);
            j = src;
        }
    }
}

} // namespace

// Moves the rows first.. so that position first + i holds what row order[i] held; cells, looks,
// selection, cursor and single-row borders go with their rows.
void OutlineGrid::permuteBlock(int first, const std::vector<int> &order) {
    const auto len = order.size();
    std::vector<int> from(len), newPos(len);
    for (std::size_t i = 0; i < len; ++i) {
        from[i] = order[i] - first;
        newPos[static_cast<std::size_t>(from[i])] = first + static_cast<int>(i);
    }
    auto moved = [&](int r) {
        return r >= first && r < first + static_cast<int>(len) ? newPos[r - first] : r;
    };

    std::vector<std::pair<std::uint64_t, CellLook>> looks;
    for (int r = first; r < first + static_cast<int>(len); ++r) {
        if (!(m_rows[r].flags & FlagLooks))
            continue;
        for (int c = 0; c < cols(); ++c) {
            const std::uint64_t key = (static_cast<std::uint64_t>(r) << 16) | c;
            if (auto it = m_looks.find(key); it != m_looks.end()) {
                looks.emplace_back((static_cast<std::uint64_t>(moved(r)) << 16) | c,
                                   std::move(it->second));
                m_looks.erase(it);
            }
        }
    }
    for (auto &[key, look] : looks)
        m_looks.insert_or_assign(key, std::move(look));

    permuteInPlace(m_rows.data() + first, from);
    for (auto &column : m_cells)
        if (!column.empty())
            permuteInPlace(column.data() + first, from);

    for (int &r : m_selected)
        r = moved(r);
    std::sort(m_selected.begin(), m_selected.end());
    if (m_cursorRow >= 0)
        m_cursorRow = moved(m_cursorRow);
    if (m_selRowEnd >= 0)
        m_selRowEnd = moved(m_selRowEnd);
    for (GridBorder &b : m_borders)
        if (b.range.top == b.range.bottom)
            b.range.top = b.range.bottom = moved(b.range.top);
    noteStructure(first);
}

bool OutlineGrid::countsDiskUsage(int row) const {
    checkRow(row);
    return m_rows[row].flags & FlagDiskUsage;
}

void OutlineGrid::setCountsDiskUsage(int row, bool on) {
    checkRow(row);
    auto &f = m_rows[row].flags;
    f = on ? (f | FlagDiskUsage) : (f & ~FlagDiskUsage);
}

int OutlineGrid::rowKind(int row) const {
    checkRow(row);
    return m_rows[row].flags >> KindShift;
}

void OutlineGrid::setRowKind(int row, int kind) {
    checkRow(row);
    auto &f = m_rows[row].flags;
    f = static_cast<std::uint8_t>((f & ((1u << KindShift) - 1)) |
                                  (std::clamp(kind, 0, MaxRowKind) << KindShift));
}
