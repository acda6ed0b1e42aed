// Saved scans: any bytes either open as one new scan root whose every node is the sum of its
// children, or are refused with the scan-file error and leave the tree as it was.
#include "AppError.h"
#include "FuzzInput.h"
#include "OutlineGrid.h"
#include "ScanFile.h"
#include "ScanTree.h"
#include "Settings.h"

#include <cstdio>

namespace {

// Sizes, counts and bytes of a row's children added up, compared with the row's own.
bool sumsHold(const ScanTree &tree, int row) {
    const OutlineGrid &grid = tree.grid();
    if (grid.firstChild(row) < 0)
        return true;
    for (const int col : {TreeCol::Files, TreeCol::Bytes}) {
        Fixed sum;
        for (int c = grid.firstChild(row); c >= 0; c = grid.nextSibling(c))
            sum += tree.cellValue(c, col);
        if (sum != tree.cellValue(row, col))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    QByteArray bytes = fuzzBytes(data, size);
    std::FILE *stream = fmemopen(bytes.data(), static_cast<std::size_t>(bytes.size()) + 1, "rb");
    if (!stream)
        return 0;
    Settings settings;
    settings.Object_Size = 0;
    OutlineGrid grid;
    ScanTree tree(grid, settings);
    tree.InitTreeGrid();
    const int rowsBefore = grid.rows();
    try {
        // A shallow bound keeps each run short; the bound itself is what is exercised.
        const int root = ScanFile::Read(tree, stream, nullptr, 64);
        FUZZ_CHECK(root == rowsBefore);
        FUZZ_CHECK(grid.level(root) == 0);
        FUZZ_CHECK(grid.rows() >= root + 2); // at least the root and its files row
        for (int r = root; r < grid.rows(); ++r)
            FUZZ_CHECK(sumsHold(tree, r));
    } catch (const AppError &e) {
        FUZZ_CHECK(e.number() == AppError::InvalidScanFile);
        FUZZ_CHECK(grid.rows() == rowsBefore);
    }
    std::fclose(stream);
    return 0;
}
