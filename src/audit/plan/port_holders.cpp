#include "port_holders.h"

#include <string.h>

#include <algorithm>

#include "block_sort.h"
#include "host_key.h"
#include "key_record.h"
#include "inventory_records.h"
#include "plain_mac.h"

namespace portslot::audit {

const block_holder *port_holders::of(int32_t first) const
{
    const block_holder *const begin = blocks.items, *const end = begin + blocks.size;
    const block_holder *at = std::lower_bound(
        begin, end, first, [](const block_holder &b, int32_t f) { return b.first < f; });
    return at != end && at->first == first ? at : nullptr;
}

void ports_to_ask(const growing_array<uint64_t> &devices, const port_set &listening,
                  int32_t ssh_port_num, bool all, growing_array<int32_t> &ports)
{
    for (size_t begin = 0, end; begin < devices.size; begin = end) {
        end = block_end(devices, begin);
        const int64_t port = int64_t{first_port_of(devices.items[begin])} + 2 * (ssh_port_num - 1);
        // (The range's ports are port numbers: the range was checked.)
        if ((end - begin > 1 || all) && listening.has(static_cast<uint32_t>(port)))
            ports.push(static_cast<int32_t>(port));
    }
    std::sort(ports.items, ports.items + ports.size);
}

namespace {

// The counts of `m` once block `b` is told.
void count_holder(const block_holder &b, socket_match &m)
{
    if (b.state == holder_state::held && b.devices > 1) {
        m.cannot_tell -= b.devices;
        m.connected += 1;
        m.not_connected += b.devices - 1;
    } else if (b.state == holder_state::unknown_key) {
        (b.devices > 1 ? m.cannot_tell : m.connected) -= b.devices;
        m.not_connected += b.devices;
        ++m.unknown_keys;
    }
}

// True when the host key in `g` is one of the keys seen [begin, end).
bool key_seen(const key_record &g, const keys_seen &seen, size_t begin, size_t end)
{
    const char *const text_end = g.key.items + g.key.size;
    const char *key = detail::skip_blanks(g.key.items, text_end);
    const public_key read = read_host_key(key, static_cast<size_t>(text_end - key));
    for (size_t k = begin; read.size != 0 && k < end; ++k) {
        const seen_key &s = seen.keys.items[k];
        if (s.size == read.size && memcmp(seen.texts.items + s.text, key, read.size) == 0)
            return true;
    }
    return false;
}

} // namespace

void name_holders(const plan &p, const fleet &inventories, const growing_array<uint32_t> &key_columns,
                  const keys_seen &seen, int32_t ssh_port_num, bool all, port_holders &h,
                  socket_match &m)
{
    block_holder b{};
    bool asking = false, all_have_keys = true;
    size_t begin = 0, end = 0; // the keys seen on the block's port
    const auto tell = [&] {
        if (!asking)
            return;
        if (b.state != holder_state::held)
            b.state = begin == end      ? holder_state::no_answer
                      : all_have_keys ? holder_state::unknown_key
                                      : holder_state::not_told;
        h.blocks.push(b);
        count_holder(b, m);
    };
    key_record g{{}, {}, {}, false};
    for_each_row(
        p, inventories,
        [&](int32_t first, int32_t, bool shared) {
            tell();
            const int64_t port = int64_t{first} + 2 * (ssh_port_num - 1);
            asking = (shared || all) && seen.asked.has(static_cast<uint32_t>(port)) &&
                     m.listening.has(static_cast<uint32_t>(port));
            b = block_holder{first, static_cast<int32_t>(port), holder_state::not_told, 0, 0, {}};
            all_have_keys = true;
            if (asking)
                keys_at(seen, b.port, begin, end);
        },
        [&](const plan_row &row) {
            if (!asking)
                return;
            ++b.devices;
            const uint32_t column = key_columns.items[row.inventory];
            g.key.size = 0;
            g.has_key = false;
            if (column != 0)
                read_key_record(inventories.files[row.inventory], row.record, column, g,
                                label_part::first_field);
            const char *const key_end = g.key.items + g.key.size;
            const bool has_key = g.has_key && detail::skip_blanks(g.key.items, key_end) != key_end;
            all_have_keys = all_have_keys && has_key;
            if (!has_key && b.devices == 1)
                b.holder = row.offset;
            if (b.state != holder_state::held && key_seen(g, seen, begin, end) &&
                read_plain_mac(row.e.mac, row.e.mac_size, b.mac)) {
                b.state = holder_state::held;
                b.holder = row.offset;
            }
        });
    tell();
}

void keys_to_learn(const port_holders &h, const keys_seen &seen,
                   growing_array<learned_key> &learned)
{
    static constexpr const char *preferred[] = {"ssh-ed25519 ", "ecdsa-sha2-", "ssh-rsa "};
    constexpr size_t ranks = sizeof preferred / sizeof preferred[0];
    for (size_t i = 0; i < h.blocks.size; ++i) {
        const block_holder &b = h.blocks.items[i];
        if (b.devices != 1 || b.state != holder_state::not_told)
            continue;
        size_t begin = 0, end = 0;
        keys_at(seen, b.port, begin, end);
        size_t chosen = begin, best = ranks; // (a key answered: not_told)
        for (size_t k = begin; k < end; ++k) {
            const char *const text = seen.texts.items + seen.keys.items[k].text;
            for (size_t rank = 0; rank < best; ++rank)
                if (strncmp(text, preferred[rank], strlen(preferred[rank])) == 0) {
                    chosen = k;
                    best = rank;
                }
        }
        const seen_key &s = seen.keys.items[chosen];
        learned.push({b.holder, s.text, s.size});
    }
    std::sort(learned.items, learned.items + learned.size,
              [](const learned_key &a, const learned_key &b) { return a.offset < b.offset; });
}

} // namespace portslot::audit
