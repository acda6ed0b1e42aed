// The grid's cell codec: every text written into a cell reads back as the same text, canonical
// numbers among them with their exact values, also after the arena is compacted; row data that
// extends other row data reads back whole.
#include "FuzzInput.h"
#include "GridCellCodec.h"

#include <unordered_map>

using namespace GridCellCodec;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    const QChar decimal = (data[0] & 1) ? u',' : u'.';
    const QByteArray bytes = fuzzBytes(data + 1, size - 1);
    const QString text = QString::fromUtf8(bytes);

    Arena arena(1, '\0'); // offset 0 stands for "no text", as in the grid
    const std::uint64_t cell = encode(arena, text, decimal);
    FUZZ_CHECK(decode(arena, cell, decimal) == text);
    if (const std::optional<FixedRaw> value = wideFixedOf(arena, cell, decimal))
        FUZZ_CHECK(Fixed::fromRaw(*value).text(decimal) == text);
    if (const std::optional<qint64> inlined = fixedOf(cell))
        FUZZ_CHECK(*inlined <= MaxInlineFixed && *inlined >= -MaxInlineFixed);

    Arena fresh(1, '\0');
    const std::uint64_t moved = moveToArena(arena, fresh, cell);
    FUZZ_CHECK(decode(fresh, moved, decimal) == text);

    const qsizetype half = bytes.size() / 2;
    const std::uint64_t base = storeBytes(arena, bytes.constData(), half);
    FUZZ_CHECK(bytesOf(arena, base) == bytes.left(half));
    const std::uint64_t extended =
        storeRowDataExtending(arena, base, bytes.constData() + half, bytes.size() - half);
    FUZZ_CHECK(rowDataOf(arena, extended) == bytes);
    std::unordered_map<std::uint64_t, std::uint64_t> movedRows;
    const std::uint64_t movedExtended = moveRowData(arena, fresh, extended, movedRows);
    FUZZ_CHECK(rowDataOf(fresh, movedExtended) == bytes);
    return 0;
}
