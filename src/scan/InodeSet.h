#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

/// The files a walk has met under more than one name, by device and inode, so that the space of
/// a hard-linked file is counted once. Built for many entries in little memory: each device has
/// its own tables of bare 8-byte inode numbers, split by hash into shards that grow one at a time
/// by half again, so that even while a shard is being rehashed the whole set stays within 16
/// bytes per entry (once it holds more than a few thousand).
class InodeSet {
public:
    InodeSet();
    ~InodeSet();
    InodeSet(InodeSet &&) noexcept;
    InodeSet &operator=(InodeSet &&) noexcept;

    /// Adds a file; true when it was not in the set yet (the first meeting).
    bool insert(std::uint64_t device, std::uint64_t inode);
    /// Empties the set and gives its memory back.
    void clear();

    std::size_t size() const { return m_size; }
    /// Bytes the set holds now, and the most it held at once (including a shard being grown).
    std::size_t bytes() const { return m_bytes; }
    std::size_t peakBytes() const { return m_peakBytes; }

private:
    struct Shard {
        std::unique_ptr<std::uint64_t[]> cells; // 0 = empty
        std::uint32_t capacity = 0;
        std::uint32_t used = 0;
    };
    static constexpr int ShardBits = 6;
    static constexpr std::size_t ShardCount = std::size_t(1) << ShardBits;
    struct Device {
        std::uint64_t id = 0;
        bool zeroSeen = false; // inode 0 cannot be stored in a slot, where 0 means empty
        std::unique_ptr<Shard[]> shards;
    };

    std::vector<Device> m_devices;
    std::size_t m_last = 0; // the device met last; runs of one device are the rule
    std::size_t m_size = 0;
    std::size_t m_bytes = 0;
    std::size_t m_peakBytes = 0;

    Device &deviceOf(std::uint64_t device);
    bool insertInto(Shard &shard, std::uint64_t inode, std::uint64_t hash);
    void grow(Shard &shard);
    void account(std::size_t add, std::size_t remove);
};
