#pragma once

#include <QString>

#include <cstdint>
#include <vector>

/// The subtree a treemap or rings chart draws, as its owner hands it over: items named by ids
/// the owner chooses, each with a value and its children in the order they are to be drawn.
/// The chart asks only for the children of items big enough to be seen, so a source over a
/// million items costs what is shown, not what exists.
class TreeChartSource {
public:
    enum class Kind : std::uint8_t {
        Folder, ///< may have children
        Files,  ///< the files directly inside a folder, drawn as one leaf
        File,   ///< a single file shown on its own
    };
    struct Item {
        int id = -1;
        double value = 0; ///< bytes; 0 or less draws nothing
        Kind kind = Kind::Folder;
    };

    virtual ~TreeChartSource() = default;

    /// The item in the centre of the chart; -1 when there is nothing to draw.
    virtual int rootId() const = 0;
    virtual double value(int id) const = 0;
    /// Replaces `out` with the children of `id`, in drawing order.
    virtual void children(int id, std::vector<Item> &out) const = 0;
    virtual QString name(int id) const = 0;
    /// What the pointer resting on the item shows.
    virtual QString toolTip(int id) const = 0;
    /// Differs whenever children() or value() may answer differently: a cached layout is
    /// good while it stays the same.
    virtual std::uint64_t stamp() const = 0;
};
