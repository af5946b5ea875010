#include "port_plan.h"

#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>

#include <algorithm>

#include <portslot/port_derivation.h>

#include "mac_text.h"
#include "shown_text.h"

namespace portslot::audit {

void prefer_large_pages(void *start, size_t size)
{
    constexpr uintptr_t large = uintptr_t{1} << 21;
    const uintptr_t first = (reinterpret_cast<uintptr_t>(start) + large - 1) & ~(large - 1);
    const uintptr_t last = (reinterpret_cast<uintptr_t>(start) + size) & ~(large - 1);
    if (first < last)
        madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
}

size_t fleet::index_of(uint64_t offset) const
{
    if (count == 1)
        return 0;
    // The last inventory that starts at or before the offset.
    return static_cast<size_t>(std::upper_bound(bases, bases + count, offset) - bases) - 1;
}

namespace {

// The fields of the entry whose address stands at `offset`.
entry entry_at(const fleet &inventories, uint64_t offset)
{
    const size_t i = inventories.index_of(offset);
    const inventory &inv = inventories.inventories[i];
    entry e{};
    read_fields(inv.text + (offset - inventories.bases[i]), inv.text + inv.size, e);
    return e;
}

const char *text_at(const fleet &inventories, uint64_t offset)
{
    const size_t i = inventories.index_of(offset);
    return inventories.inventories[i].text + (offset - inventories.bases[i]);
}

// A device's address as one value: the twelve bytes that are not colons, ASCII
// letters in lower case. (Only addresses that gave a port get here, and those
// hold exactly twelve.)
struct address {
    uint64_t high;
    uint32_t low;

    bool operator==(const address &other) const { return high == other.high && low == other.low; }
    size_t hash(int bits) const
    {
        const uint64_t mixed = (high ^ (uint64_t{low} << 17)) * 0x9e3779b97f4a7c15u;
        return static_cast<size_t>(mixed >> (64 - bits));
    }
};

// Each byte in lower case, where it is an ASCII letter.
struct case_table {
    unsigned char lower[256];
};
consteval case_table make_case_table()
{
    case_table table{};
    for (int c = 0; c < 256; ++c)
        table.lower[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return table;
}
constexpr case_table cases = make_case_table();

address address_of(const entry &e)
{
    unsigned char bytes[12] = {};
    const auto *mac = reinterpret_cast<const unsigned char *>(e.mac);
    // (One test of all five colons, in the usual form.)
    if (e.mac_size == 17 && ((mac[2] ^ ':') | (mac[5] ^ ':') | (mac[8] ^ ':') | (mac[11] ^ ':') |
                             (mac[14] ^ ':')) == 0) {
        // The usual form, "aa:bb:cc:dd:ee:ff".
        for (size_t i = 0; i < 6; ++i) {
            bytes[2 * i] = cases.lower[mac[3 * i]];
            bytes[2 * i + 1] = cases.lower[mac[3 * i + 1]];
        }
    } else {
        size_t n = 0;
        // A device's address holds exactly twelve bytes that are not colons.
        for (size_t i = 0; i < e.mac_size; ++i)
            if (mac[i] != ':')
                bytes[n++] = cases.lower[mac[i]];
    }
    address a{};
    memcpy(&a.high, bytes, 8);
    memcpy(&a.low, bytes + 8, 4);
    return a;
}

// One block's entries while they are checked for devices listed twice.
struct block_work {
    growing_array<address> addresses;
    growing_array<uint64_t> offsets;
    growing_array<uint32_t> slots; // a hash table of positions + 1; 0 is empty
    int slot_bits = 0;

    // Room for `size` entries; false when out of memory.
    bool make_room(size_t size)
    {
        while (addresses.capacity < size)
            if (!addresses.grow() || !offsets.grow())
                return false;
        slot_bits = 1;
        while ((size_t{1} << slot_bits) < 2 * size)
            ++slot_bits;
        while (slots.capacity < (size_t{1} << slot_bits))
            if (!slots.grow())
                return false;
        for (size_t i = 0; i < (size_t{1} << slot_bits); ++i)
            slots.items[i] = 0;
        return true;
    }

    // The position of an earlier entry with the same address as entry `i`
    // (the first, as only first entries are remembered); else `i`, which is
    // remembered from now on.
    size_t first_of(size_t i)
    {
        const size_t mask = (size_t{1} << slot_bits) - 1;
        for (size_t slot = addresses.items[i].hash(slot_bits);; slot = (slot + 1) & mask) {
            const uint32_t held = slots.items[slot];
            if (held == 0) {
                slots.items[slot] = static_cast<uint32_t>(i + 1);
                return i;
            }
            if (addresses.items[held - 1] == addresses.items[i])
                return held - 1;
        }
    }
};

// Writes the decimal digits of `value` at `out`; returns how many.
size_t put_decimal(char *out, uint64_t value)
{
    char digits[20];
    size_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (size_t i = 0; i < n; ++i)
        out[i] = digits[n - 1 - i];
    return n;
}

void put_count(output &out, uint64_t count, const char *noun)
{
    char digits[20];
    out.bytes(digits, put_decimal(digits, count));
    out.text(" ");
    out.text(noun);
    if (count != 1)
        out.text("s");
}

constexpr int digit_bits = 11;

// "first-last<TAB>" (`ports`), the address, a tab, the label and a line end,
// copied into the output's buffer at once.
// On a terminal (`escape`), control bytes are shown escaped.
void write_row(output &out, const char (&ports)[24], size_t ports_size, const entry &e, bool escape)
{
    const size_t size = ports_size + e.mac_size + e.label_size + 2;
    // Room for the fixed-size copies too, which may reach past the row.
    char *to = escape ? nullptr : out.room(size + sizeof ports);
    if (to == nullptr) { // a label longer than the buffer, or a terminal
        out.bytes(ports, ports_size);
        if (escape) {
            write_escaped(out, e.mac, e.mac_size);
            out.bytes("\t", 1);
            write_escaped(out, e.label, e.label_size);
        } else {
            out.bytes(e.mac, e.mac_size);
            out.bytes("\t", 1);
            out.bytes(e.label, e.label_size);
        }
        out.bytes("\n", 1);
        return;
    }
    // Copies of a fixed size are a few moves, not a call.
    memcpy(to, ports, sizeof ports);
    to += ports_size;
    if (e.mac_size == 17) {
        memcpy(to, e.mac, 16);
        to[16] = e.mac[16];
    } else {
        memcpy(to, e.mac, e.mac_size);
    }
    to += e.mac_size;
    *to++ = '\t';
    memcpy(to, e.label, e.label_size);
    to[e.label_size] = '\n';
    out.commit(size);
}

} // namespace

bool sort_by_block(growing_array<uint64_t> &devices)
{
    const size_t n = devices.size;
    if (n < 2)
        return true;
    // Only the bits in which first ports differ need sorting; a stable
    // radix pass per 11 of them keeps input order within a block.
    const uint64_t first = devices.items[0] >> offset_bits;
    uint64_t differ = 0;
    for (size_t i = 0; i < n; ++i)
        differ |= (devices.items[i] >> offset_bits) ^ first;
    if (differ == 0)
        return true;
    int low = 0;
    while ((differ >> low & 1) == 0)
        ++low;
    int high = 63;
    while ((differ >> high & 1) == 0)
        --high;

    uint64_t *scratch = static_cast<uint64_t *>(reallocate(nullptr, n * sizeof(uint64_t)));
    if (scratch == nullptr)
        return false;
    prefer_large_pages(scratch, n * sizeof(uint64_t));
    uint64_t *from = devices.items, *to = scratch;
    for (int shift = offset_bits + low; shift <= offset_bits + high; shift += digit_bits) {
        size_t counts[size_t{1} << digit_bits] = {};
        const uint64_t mask = (uint64_t{1} << digit_bits) - 1;
        for (size_t i = 0; i < n; ++i)
            ++counts[from[i] >> shift & mask];
        size_t total = 0;
        for (size_t &count : counts) {
            const size_t here = count;
            count = total;
            total += here;
        }
        for (size_t i = 0; i < n; ++i)
            to[counts[from[i] >> shift & mask]++] = from[i];
        std::swap(from, to);
    }
    // The sorted devices stay where the last pass put them.
    if (from != devices.items) {
        std::swap(devices.items, scratch);
        devices.capacity = n;
    }
    free(scratch);
    return true;
}

bool write_duplicates(const growing_array<duplicate> &duplicates, const fleet &inventories,
                      output &err)
{
    if (duplicates.size == 0)
        return true;
    // Line numbers are counted only now, in one pass over each inventory,
    // for the entries that need them.
    growing_array<uint64_t> offsets;
    for (size_t i = 0; i < duplicates.size; ++i)
        if (!offsets.push(duplicates.items[i].later) || !offsets.push(duplicates.items[i].first))
            return false;
    std::sort(offsets.items, offsets.items + offsets.size);
    offsets.size = static_cast<size_t>(std::unique(offsets.items, offsets.items + offsets.size) -
                                       offsets.items);
    uint64_t *lines = static_cast<uint64_t *>(reallocate(nullptr, offsets.size * sizeof(uint64_t)));
    if (lines == nullptr)
        return false;
    for (size_t begin = 0; begin < offsets.size;) {
        const size_t i = inventories.index_of(offsets.items[begin]);
        const uint64_t base = inventories.bases[i];
        const inventory &inv = inventories.inventories[i];
        size_t end = begin;
        while (end < offsets.size && offsets.items[end] - base < inv.size)
            ++end;
        line_numbers(inv.text, inv.size, base, offsets.items + begin, end - begin, lines + begin);
        begin = end;
    }

    const auto put_place = [&](uint64_t offset) {
        const size_t at = static_cast<size_t>(
            std::lower_bound(offsets.items, offsets.items + offsets.size, offset) - offsets.items);
        char digits[20];
        const char *name = inventories.inventories[inventories.index_of(offset)].name;
        write_escaped(err, name, strlen(name));
        err.text(":");
        err.bytes(digits, put_decimal(digits, lines[at]));
    };
    for (size_t i = 0; i < duplicates.size; ++i) {
        put_place(duplicates.items[i].later);
        err.text(": duplicate of ");
        put_place(duplicates.items[i].first);
        err.text("\n");
    }
    free(lines);
    return true;
}

namespace {

// "first-last<TAB>" for the block whose first port is `first` and of which
// `e` is a device; returns its length.
size_t block_ports(int32_t first, const entry &e, const port_range &range, char (&ports)[24])
{
    // The block's last port, as portslot --port-num <count> gives it.
    char mac[19] = {};
    std::copy(e.mac, e.mac + std::min(e.mac_size, sizeof mac - 1), mac);
    const int32_t last =
        compute_port(mac, range.port_min, range.port_max, range.port_count, range.port_count);
    size_t n = put_decimal(ports, static_cast<uint32_t>(first));
    ports[n++] = '-';
    n += put_decimal(ports + n, static_cast<uint32_t>(last));
    ports[n++] = '\t';
    return n;
}

} // namespace

namespace {

// Calls `visit(entry, position)` for each device of the block
// devices[begin, end), in order, counting them from 0: the first entry of
// each device, while every later one goes to `duplicates`. False when out of
// memory.
template <class Visit>
bool each_distinct(block_work &work, const growing_array<uint64_t> &devices, size_t begin,
                   size_t end, const fleet &inventories, growing_array<duplicate> &duplicates,
                   Visit &&visit)
{
    if (end - begin == 1) {
        visit(entry_at(inventories, offset_of(devices.items[begin])), size_t{0});
        return true;
    }
    if (!work.make_room(end - begin))
        return false;
    constexpr size_t ahead = 64; // lines fetched ahead, as blocks visit them out of order
    size_t kept = 0;
    for (size_t i = begin; i < end; ++i) {
        if (i + ahead < devices.size) {
            // A line may cross into the next cache line.
            const char *line = text_at(inventories, offset_of(devices.items[i + ahead]));
            __builtin_prefetch(line);
            __builtin_prefetch(line + 48);
        }
        const uint64_t offset = offset_of(devices.items[i]);
        const entry e = entry_at(inventories, offset);
        work.addresses.items[kept] = address_of(e);
        work.offsets.items[kept] = offset;
        const size_t original = work.first_of(kept);
        if (original != kept) {
            if (!duplicates.push(duplicate{offset, work.offsets.items[original]}))
                return false;
            continue;
        }
        visit(e, kept++);
    }
    return true;
}

// The end of the block that starts at `begin`.
size_t block_end(const growing_array<uint64_t> &devices, size_t begin)
{
    const int32_t first = first_port_of(devices.items[begin]);
    size_t end = begin + 1;
    while (end < devices.size && first_port_of(devices.items[end]) == first)
        ++end;
    return end;
}

bool by_later(const duplicate &a, const duplicate &b)
{
    return a.later < b.later;
}

} // namespace

bool write_plan(const growing_array<uint64_t> &devices, const fleet &inventories,
                const port_range &range, bool all, bool escape, output &out, plan_summary &summary,
                growing_array<duplicate> &duplicates)
{
    block_work work;
    char ports[24];
    for (size_t begin = 0, end; begin < devices.size; begin = end) {
        end = block_end(devices, begin);
        const int32_t first = first_port_of(devices.items[begin]);
        if (end - begin == 1 && !all) { // a device alone, not listed: its line is not read
            ++summary.blocks_in_use;
            ++summary.devices;
            continue;
        }
        // Each line is read once: a device is written as soon as it is known
        // not to be listed twice, except that without --all the block's first
        // device waits until a second one shows that the block is shared.
        size_t kept = 0, n = 0;
        entry waiting{};
        const bool ok = each_distinct(work, devices, begin, end, inventories, duplicates,
                                      [&](const entry &e, size_t position) {
                                          kept = position + 1;
                                          if (position == 0)
                                              n = block_ports(first, e, range, ports);
                                          if (all || position > 1) {
                                              write_row(out, ports, n, e, escape);
                                          } else if (position == 0) {
                                              waiting = e;
                                          } else {
                                              write_row(out, ports, n, waiting, escape);
                                              write_row(out, ports, n, e, escape);
                                          }
                                      });
        if (!ok)
            return false;
        ++summary.blocks_in_use;
        summary.devices += kept;
        if (kept > 1) {
            ++summary.shared_blocks;
            summary.sharing_devices += kept;
        }
    }
    std::sort(duplicates.items, duplicates.items + duplicates.size, by_later);
    return true;
}

bool distinct_keys(const growing_array<uint64_t> &devices, const fleet &inventories,
                   growing_array<duplicate> &duplicates, growing_array<uint64_t> &keys)
{
    block_work work;
    bool ok = true;
    for (size_t begin = 0, end; begin < devices.size && ok; begin = end) {
        end = block_end(devices, begin);
        ok = each_distinct(work, devices, begin, end, inventories, duplicates,
                           [&](const entry &e, size_t) {
                               // The key as the derivation reads it: colons
                               // dropped, then the tail. (Only addresses that
                               // gave a port get here: at most 17 bytes.)
                               char mac[18] = {}, digits[18];
                               std::copy(e.mac, e.mac + std::min(e.mac_size, sizeof mac - 1), mac);
                               ok = ok && keys.push(mac_tail_value(remove_char(digits, mac, ':')));
                           }) &&
             ok;
    }
    std::sort(duplicates.items, duplicates.items + duplicates.size, by_later);
    return ok;
}

bool place_devices(growing_array<uint64_t> &devices, const fleet &inventories,
                   const port_range &range)
{
    for (size_t i = 0; i < devices.size; ++i) {
        const uint64_t offset = offset_of(devices.items[i]);
        const entry e = entry_at(inventories, offset);
        char mac[18] = {};
        std::copy(e.mac, e.mac + std::min(e.mac_size, sizeof mac - 1), mac);
        devices.items[i] = make_device(
            compute_port(mac, range.port_min, range.port_max, range.port_count, 1), offset);
    }
    // The devices are in the order of their old blocks now: back to input
    // order (ascending offsets) first, so that each new block lists its
    // devices in input order.
    std::sort(devices.items, devices.items + devices.size,
              [](uint64_t a, uint64_t b) { return offset_of(a) < offset_of(b); });
    return sort_by_block(devices);
}

void write_summary(const plan_summary &summary, int64_t blocks, output &out)
{
    char digits[20];
    put_count(out, summary.devices, "device");
    out.text(", ");
    out.bytes(digits, put_decimal(digits, summary.blocks_in_use));
    out.text(" of ");
    put_count(out, static_cast<uint64_t>(blocks), "block");
    out.text(" in use, ");
    out.bytes(digits, put_decimal(digits, summary.shared_blocks));
    out.text(" shared by ");
    put_count(out, summary.sharing_devices, "device");
    out.text("\n");
    const auto devices = static_cast<int64_t>(summary.devices);
    // Each block beyond the last holds at least one device more, and the
    // first shared block holds two: devices - blocks + 1 at least.
    if (devices > blocks) {
        out.text("more devices than blocks: at least ");
        put_count(out, static_cast<uint64_t>(devices - blocks + 1), "device");
        out.text(" must share, whatever the addresses are\n");
    }
}

} // namespace portslot::audit
