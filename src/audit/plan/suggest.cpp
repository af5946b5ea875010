#include "suggest.h"

#include <time.h>

#include <algorithm>

#include "block_of_address.h"
#include "memory.h"
#include "placement.h"

namespace portslot::audit {

namespace {

// Remainders by one number of blocks, by multiplication rather than
// division: for a key below 2^32 the estimated quotient is at most one short
// (with m = floor((2^32 - 1) / d), key * m / 2^32 > key / d - 1 for d >= 2,
// and d = 1 gives key - 1 for keys from 1). A range holds fewer than 2^31
// blocks, so d is below 2^32.
class divisor {
  public:
    explicit divisor(uint64_t d) : d_(d), m_(UINT32_MAX / d) {}
    uint64_t remainder(uint64_t key) const
    {
        if (key > UINT32_MAX)
            return key % d_; // keys from tails such as "-00001"
        const uint64_t q = (key * m_) >> 32;
        uint64_t r = key - q * d_;
        return r >= d_ ? r - d_ : r;
    }

  private:
    uint64_t d_, m_;
};

// How many keys each block holds, as none, one or more, for one number of
// blocks at a time. Blocks are counted in place when there are few enough
// of them, else in a hash table as large as the fleet needs.
class block_counter {
  public:
    block_counter() = default;
    block_counter(const block_counter &) = delete;
    block_counter &operator=(const block_counter &) = delete;
    ~block_counter()
    {
        free(seen_);
        free(twice_);
        free(blocks_);
    }

    void init(int64_t max_blocks, size_t keys)
    {
        constexpr int64_t in_place = int64_t{1} << 20;
        hashed_ = max_blocks > in_place && static_cast<uint64_t>(max_blocks) > 2 * keys;
        if (hashed_) {
            bits_ = 4;
            while ((size_t{1} << bits_) < 2 * keys)
                ++bits_;
            size_ = size_t{1} << bits_;
        } else {
            size_ = static_cast<size_t>(max_blocks);
        }
        seen_ = static_cast<uint32_t *>(allocate_zeroed(size_, sizeof(uint32_t)));
        twice_ = static_cast<uint32_t *>(allocate_zeroed(size_, sizeof(uint32_t)));
        blocks_ =
            hashed_ ? static_cast<uint64_t *>(allocate_zeroed(size_, sizeof(uint64_t))) : nullptr;
    }

    // Forgets every count, in constant time: a round is one number of blocks,
    // and there are fewer than 2^32 of them.
    void start() { ++round_; }

    // Counts a key in `block`: 0 when it is the block's first, 1 when its
    // second, 2 when a later one.
    int add(uint64_t block)
    {
        size_t slot = static_cast<size_t>(block);
        if (hashed_) {
            slot = static_cast<size_t>((block * 0x9e3779b97f4a7c15u) >> (64 - bits_));
            while (seen_[slot] == round_ && blocks_[slot] != block)
                slot = (slot + 1) & (size_ - 1);
            blocks_[slot] = block;
        }
        if (seen_[slot] != round_) {
            seen_[slot] = round_;
            return 0;
        }
        if (twice_[slot] != round_) {
            twice_[slot] = round_;
            return 1;
        }
        return 2;
    }

  private:
    uint32_t *seen_ = nullptr, *twice_ = nullptr; // the round in which it held one, two
    uint64_t *blocks_ = nullptr;                  // hashed: the block each slot counts
    size_t size_ = 0;
    int bits_ = 0;
    bool hashed_ = false;
    uint32_t round_ = 0;
};

// The devices in shared blocks with `blocks` blocks; or, once it is clear
// that there are at least `limit`, a number from `limit` up that is no more.
// (Out of line: inlined, it shares registers with the search around it,
// and its loop, where the time goes, spills them.)
[[gnu::noinline]] uint64_t count_sharing(const uint64_t *keys, size_t count, int64_t blocks,
                                         uint64_t limit, block_counter &counter)
{
    const divisor by(static_cast<uint64_t>(blocks));
    counter.start();
    uint64_t sharing = 0, shared_blocks = 0;
    for (size_t i = 0; i < count; ++i) {
        switch (counter.add(by.remainder(keys[i]))) {
        case 0:
            continue;
        case 1: {
            sharing += 2;
            // Blocks already shared hold no device alone, so at most the
            // others do, and every other device shares.
            const uint64_t alone_at_most = static_cast<uint64_t>(blocks) - ++shared_blocks;
            if (alone_at_most == 0)
                return count;
            if (count > alone_at_most && count - alone_at_most >= limit)
                return count - alone_at_most;
            break;
        }
        default:
            sharing += 1;
        }
        if (sharing >= limit)
            return sharing;
    }
    return sharing;
}

} // namespace

namespace {

// The sharing that no number of blocks avoids: devices whose keys are equal
// share under every one.
uint64_t sharing_floor(const uint64_t *keys, size_t count)
{
    if (count < 2)
        return 0;
    auto *sorted = static_cast<uint64_t *>(reallocate(nullptr, count * sizeof(uint64_t)));
    for (size_t i = 0; i < count; ++i)
        sorted[i] = keys[i];
    std::sort(sorted, sorted + count);
    uint64_t floor = 0;
    for (size_t begin = 0, end; begin < count; begin = end) {
        for (end = begin + 1; end < count && sorted[end] == sorted[begin]; ++end) {
        }
        floor += end - begin > 1 ? end - begin : 0;
    }
    free(sorted);
    return floor;
}

int64_t now_ms()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

} // namespace

suggestion search_blocks(const uint64_t *keys, size_t count, int64_t max_blocks,
                         const search_progress *progress)
{
    block_counter counter;
    const uint64_t floor = sharing_floor(keys, count);
    counter.init(max_blocks, count);
    // With more blocks than the keys span, distinct keys never share: every
    // larger number gives the floor, so none need be tried.
    uint64_t low = UINT64_MAX, high = 0;
    for (size_t i = 0; i < count; ++i) {
        low = keys[i] < low ? keys[i] : low;
        high = keys[i] > high ? keys[i] : high;
    }
    const uint64_t span = count == 0 ? 0 : high - low;
    const int64_t last =
        span < static_cast<uint64_t>(max_blocks) ? static_cast<int64_t>(span) + 1 : max_blocks;
    const int64_t start_ms = now_ms();
    int64_t next_report_ms = start_ms + (progress != nullptr ? progress->after_ms : 0);
    bool reported = false;
    suggestion best{0, UINT64_MAX};
    for (int64_t blocks = 1; blocks <= last; ++blocks) {
        // Counting stops once the range cannot beat the best so far; a tie
        // goes to the smaller range, found first.
        const uint64_t sharing = count_sharing(keys, count, blocks, best.sharing, counter);
        if (sharing < best.sharing) {
            best = suggestion{blocks, sharing};
            if (sharing == floor)
                break; // no number of blocks does better
        }
        if (progress != nullptr && blocks % 256 == 0 && now_ms() >= next_report_ms) {
            progress->report(progress->context, blocks, last, best);
            next_report_ms = now_ms() + 250;
            reported = true;
        }
    }
    if (reported)
        progress->report(progress->context, 0, last, best); // done: clears the report
    return best;
}

// The range from range.port_min that holds `blocks` blocks, and no more.
port_range range_of_blocks(const port_range &range, int64_t blocks)
{
    const int64_t first = first_even_port(range.port_min);
    port_range found = range;
    found.port_max = static_cast<int32_t>(first + 2 * (blocks * range.port_count - 1));
    return found;
}

// Finds the range up to range.port_max (of `max_blocks` blocks) that leaves
// the fewest of the distinct `devices` sharing, and among those the
// smallest, and gives the devices their blocks in it.
port_range suggest_range(growing_array<uint64_t> &devices, const fleet &inventories,
                         const port_range &range, int64_t max_blocks,
                         const search_progress *progress, inseparable_groups &inseparable)
{
    growing_array<uint64_t> keys;
    keys_of(devices, inventories, keys);
    const suggestion best = search_blocks(keys.items, keys.size, max_blocks, progress);
    const port_range found = range_of_blocks(range, best.blocks);
    place_devices(devices, inventories, found);
    if (best.sharing > 0)
        find_inseparable_groups(devices, inventories, max_blocks, inseparable);
    return found;
}

} // namespace portslot::audit
