#include "InodeSet.h"

#include <algorithm>

namespace {

// A strong mix (the finaliser of MurmurHash3): inode numbers come in runs, which a plain
// multiplication would crowd into neighbouring slots.
std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return x;
}

// The slot a hash starts at, for any capacity (not only powers of two).
std::uint32_t home(std::uint64_t hash, std::uint32_t capacity) {
    return static_cast<std::uint32_t>((static_cast<unsigned __int128>(hash) * capacity) >> 64);
}

constexpr std::uint32_t MinCapacity = 8;
// A shard grows before it is more than 4/5 full, by half again: afterwards it is at least 8/15
// full, so a slot of 8 bytes costs at most 15 bytes per entry.
bool tooFull(std::uint32_t used, std::uint32_t capacity) {
    return std::uint64_t(used) * 5 > std::uint64_t(capacity) * 4;
}

} // namespace

InodeSet::InodeSet() = default;
InodeSet::~InodeSet() = default;
InodeSet::InodeSet(InodeSet &&) noexcept = default;
InodeSet &InodeSet::operator=(InodeSet &&) noexcept = default;

void InodeSet::clear() {
    std::vector<Device>().swap(m_devices);
    m_last = 0;
    m_size = 0;
    m_bytes = 0;
    m_peakBytes = 0;
}

void InodeSet::account(std::size_t add, std::size_t remove) {
    m_bytes += add;
    m_peakBytes = std::max(m_peakBytes, m_bytes);
    m_bytes -= remove;
}

InodeSet::Device &InodeSet::deviceOf(std::uint64_t device) {
    if (m_last < m_devices.size() && m_devices[m_last].id == device)
        return m_devices[m_last];
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        if (m_devices[i].id == device) {
            m_last = i;
            return m_devices[i];
        }
    }
    Device d;
    d.id = device;
    d.shards = std::make_unique<Shard[]>(ShardCount);
    account(sizeof(Device) + ShardCount * sizeof(Shard), 0);
    m_devices.push_back(std::move(d));
    m_last = m_devices.size() - 1;
    return m_devices.back();
}

bool InodeSet::insert(std::uint64_t device, std::uint64_t inode) {
    Device &d = deviceOf(device);
    if (inode == 0) {
        if (d.zeroSeen)
            return false;
        d.zeroSeen = true;
        ++m_size;
        return true;
    }
    const std::uint64_t hash = mix(inode);
    Shard &shard = d.shards[hash >> (64 - ShardBits)];
    if (!insertInto(shard, inode, hash << ShardBits))
        return false;
    ++m_size;
    if (tooFull(shard.used, shard.capacity))
        grow(shard);
    return true;
}

// Linear probing from the hash's home slot, wrapping at the end.
bool InodeSet::insertInto(Shard &shard, std::uint64_t inode, std::uint64_t hash) {
    if (shard.capacity == 0) {
        shard.cells = std::make_unique<std::uint64_t[]>(MinCapacity);
        shard.capacity = MinCapacity;
        account(MinCapacity * sizeof(std::uint64_t), 0);
    }
    std::uint32_t i = home(hash, shard.capacity);
    for (;;) {
        std::uint64_t &slot = shard.cells[i];
        if (slot == inode)
            return false;
        if (slot == 0) {
            slot = inode;
            ++shard.used;
            return true;
        }
        if (++i == shard.capacity)
            i = 0;
    }
}

void InodeSet::grow(Shard &shard) {
    const std::uint32_t capacity = shard.capacity + shard.capacity / 2;
    Shard bigger;
    bigger.cells = std::make_unique<std::uint64_t[]>(capacity);
    bigger.capacity = capacity;
    account(std::size_t(capacity) * sizeof(std::uint64_t), 0);
    for (std::uint32_t i = 0; i < shard.capacity; ++i)
        if (const std::uint64_t inode = shard.cells[i])
            insertInto(bigger, inode, mix(inode) << ShardBits);
    account(0, std::size_t(shard.capacity) * sizeof(std::uint64_t));
    shard = std::move(bigger);
}
