#include "ssh_config.h"

#include <string.h>

#include <algorithm>

#include "ascii.h"
#include "csv_header.h"
#include "decimal.h"
#include "device_ranges.h"
#include "fatal.h"
#include "host_aliases.h"
#include "host_key.h"
#include "key_record.h"
#include "known_hosts.h"
#include "plain_mac.h"
#include "plan.h"
#include "record_places.h"
#include "shown_text.h"
#include "words.h"

namespace portslot::audit {

namespace {

// A device as its block is written, beside its candidate (the same index
// of `names`). Its word is in the inventory's text, or (`copied`) at
// `word_at` of the words copied out of records.
struct host_row {
    size_t word_at;
    int32_t first;
    uint32_t server;
    bool shared, copied;
    bool pinned; // its host key is in the inventory
    bool plain; // its address is plain, and at `mac` as "aa:bb:cc:dd:ee:ff"
    char mac[17];
};
struct host_rows {
    growing_array<host_row> rows;
    growing_array<host_candidate> names;
    size_t not_plain = 0; // devices without a block
};

template <size_t N> char *put(char *to, const char (&text)[N])
{
    memcpy(to, text, N - 1);
    return to + N - 1;
}

// The `size` bytes of a word (1 to 64) at `word`: eight at a time, the last
// eight overlapping, rather than a call for a few bytes.
char *put_word(char *to, const char *word, size_t size)
{
    if (size < 8) {
        for (size_t k = 0; k < size; ++k)
            to[k] = word[k];
        return to + size;
    }
    memcpy(to, word, 8);
    for (size_t k = 8; k + 8 < size; k += 8)
        memcpy(to + k, word + k, 8);
    memcpy(to + size - 8, word + size - 8, 8);
    return to + size;
}

// The `size` bytes of an alias (1 to 64 of letters, digits, '.', '_', '+'
// and '-') at `word`, in lower case: eight at a time, the last eight
// overlapping, each word lowered on the way (a byte from 'A' to 'Z' gains 0x20).
char *put_lower_word(char *to, const char *word, size_t size)
{
    if (size < 8) {
        for (size_t k = 0; k < size; ++k)
            to[k] = static_cast<char>(letter_cases.lower[static_cast<unsigned char>(word[k])]);
        return to + size;
    }
    const auto lowered = [](const char *from) {
        constexpr uint64_t ones = 0x0101010101010101u;
        uint64_t bytes; // (in the machine's order, as it is stored back)
        memcpy(&bytes, from, 8); // (ASCII: no carry between bytes)
        const uint64_t upper = (bytes + ones * (0x80 - 'A')) & ~(bytes + ones * (0x80 - 'Z' - 1));
        return bytes | ((upper & ones * 0x80) >> 2);
    };
    uint64_t last = lowered(word + size - 8);
    for (size_t k = 0; k + 8 < size; k += 8) {
        const uint64_t bytes = lowered(word + k);
        memcpy(to + k, &bytes, 8);
    }
    memcpy(to + size - 8, &last, 8);
    return to + size;
}

// The alias made from an address: its 12 digits, "aabbccddeeff".
char *put_mac_digits(char *to, const char (&mac)[17])
{
    for (int i = 0; i < 6; ++i) {
        to[2 * i] = mac[3 * i];
        to[2 * i + 1] = mac[3 * i + 1];
    }
    return to + 12;
}

// What the devices of one block have alike: the comment of a shared block
// and the port, written once for the block.
struct block_text {
    int32_t first = -1;
    size_t comment_size = 0, port_size = 0;
    char comment[80], port[12]; // (the longest comment: 79 bytes)
};

// ProxyJump: --jump's hosts, then the device's server where it is named
// (an address with colons in brackets, as ssh reads it).
void write_proxy_jump(output &out, uint32_t server, const ssh_config_options &how)
{
    size_t size = 0;
    // (No inventory with placement columns: no server is named.)
    const bool placed = how.ranges->placed();
    const char *name = placed ? server_name(*how.ranges, server, size) : nullptr;
    if (how.jump == nullptr && size == 0)
        return;
    out.text("    ProxyJump ");
    if (how.jump != nullptr)
        out.text(how.jump);
    if (size != 0) {
        if (how.jump != nullptr)
            out.text(",");
        if (how.jump_user != nullptr) {
            out.text(how.jump_user);
            out.text("@");
        }
        const bool colons = memchr(name, ':', size) != nullptr;
        if (colons)
            out.text("[");
        out.bytes(name, size);
        if (colons)
            out.text("]");
    }
    out.text("\n");
}

void write_block(output &out, const host_row &row, const host_candidate &name,
                 const host_alias &alias,
                 const ssh_config_options &how, const port_range &range, block_text &block,
                 bool first, const growing_array<char> &pinning)
{
    if (row.first != block.first) {
        block.first = row.first;
        char *to = put(block.comment, "# shares ports ");
        to += put_decimal(to, static_cast<uint64_t>(row.first));
        *to++ = '-';
        to += put_decimal(to, static_cast<uint64_t>(last_port(row.first, range)));
        to = put(to, " with another device: only the one connected answers\n");
        block.comment_size = static_cast<size_t>(to - block.comment);
        block.port_size = put_decimal(block.port, static_cast<uint64_t>(row.first + 2 * (how.port_num - 1)));
    }
    char *const start = out.room(384);
    char *to = start;
    if (!first) // a blank line between blocks
        *to++ = '\n';
    if (row.shared) {
        memcpy(to, block.comment, sizeof block.comment); // (a fixed size: moves, not a call)
        to += block.comment_size;
    }
    to = put(to, "Host ");
    if (alias.from == alias_from::label) {
        to = name.upper ? put_lower_word(to, name.word, name.word_size)
                        : put_word(to, name.word, name.word_size);
    } else {
        to = put_mac_digits(to, row.mac);
    }
    to = put(to, "\n    HostName localhost\n    Port ");
    memcpy(to, block.port, sizeof block.port);
    to += block.port_size;
    to = put(to, "\n    HostKeyAlias ");
    memcpy(to, row.mac, 17);
    to[17] = '\n';
    to += 18;
    out.commit(static_cast<size_t>(to - start));
    if (pinning.size != 0) [[unlikely]] {
        if (row.pinned)
            out.bytes(pinning.items, pinning.size);
        else
            out.text("    # no host key in the inventory: ssh's own settings decide at first contact\n");
    }
    write_proxy_jump(out, row.server, how);
}

// Every device of `p`, in block order, with the word its alias may be: the
// first of its label, or with `from_column` of that column's field.
void gather_rows(const plan &p, const fleet &inventories, const growing_array<uint32_t> &columns,
                 const growing_array<uint32_t> &key_columns, const ssh_config_options &how,
                 host_rows &hosts, growing_array<char> &words)
{
    const bool from_column = how.alias_field != 0 || how.alias_field_name != nullptr;
    growing_array<jump_part> jumps; // (--jump's hosts, read once)
    for (const char *at = how.jump; at != nullptr;) {
        jump_part jump{};
        at = read_jump(at, jump);
        jumps.push(jump);
    }
    // The devices' servers are hosts on the way too: an alias like one would loop.
    for (size_t i = 0; i < how.ranges->server_count(); ++i) {
        jump_part server{};
        server.host = server_name(*how.ranges, i, server.host_size);
        if (server.host_size != 0)
            jumps.push(server);
    }
    uint64_t jump_sizes = 0;
    for (size_t i = 0; i < jumps.size; ++i)
        if (jumps.items[i].host_size - 1 < 64)
            jump_sizes |= uint64_t{1} << (jumps.items[i].host_size - 1);
    const alias_limits limits{how.alias_domain,
                              how.alias_domain != nullptr ? strlen(how.alias_domain) : 0,
                              jumps.items, jumps.size, jump_sizes};
    key_record g{{}, {}, {}, false};
    size_t copied = 0;
    hosts.rows.reserve(p.devices.size); // (a row a device at most)
    hosts.names.reserve(p.devices.size);
    const auto gather = [&](const plan_row &r) __attribute__((always_inline)) {
        host_row &row = hosts.rows.items[hosts.rows.size];
        host_candidate &name = hosts.names.items[hosts.names.size];
        row.first = r.first;
        row.server = r.server;
        row.shared = r.shared;
        row.copied = false;
        row.pinned = false;
        if (key_columns.size != 0) [[unlikely]] {
            if (const uint32_t column = key_columns.items[r.inventory]; column != 0)
                row.pinned = field_has_text(inventories.files[r.inventory], r.record, column);
        }
        name = {r.offset, nullptr, 0, 0, false, false, false, false};
        row.plain = read_plain_mac(r.e.mac, r.e.mac_size, row.mac);
        hosts.not_plain += !row.plain;
        const size_t i = r.inventory;
        const inventory &inv = inventories.files[i];
        if (inv.format.kind == record_format::plain && !from_column) {
            name = candidate_of(r.offset, r.e.after, r.e.after_size, &limits);
        } else if (columns.items[i] != 0 || !from_column) { // (not a CSV file without it)
            read_key_record(inv, r.record, columns.items[i], g, label_part::first_field);
            const growing_array<char> &field = from_column ? g.key : g.label;
            name = candidate_of(r.offset, field.items, !from_column || g.has_key ? field.size : 0,
                                &limits);
            row.copied = true;
            row.word_at = words.size;
            append(words, name.word, name.word_size);
            ++copied;
        }
        ++hosts.rows.size;
        ++hosts.names.size;
    };
    for_each_row(p, inventories, [](int32_t, int32_t, bool) {}, gather);
    for (size_t i = 0; copied > 0 && i < hosts.rows.size; ++i)
        if (hosts.rows.items[i].copied)
            hosts.names.items[i].word = words.items + hosts.rows.items[i].word_at;
}

// The columns the aliases come from, one an inventory; false after saying
// which CSV inventory has none of the name asked.
bool find_alias_columns(const fleet &inventories, const ssh_config_options &how,
                        growing_array<uint32_t> &columns, output &err)
{
    bool found = true;
    for (size_t i = 0; i < inventories.count; ++i) {
        const inventory &inv = inventories.files[i];
        columns.push(how.alias_field_name != nullptr ? csv_column_named(inv, how.alias_field_name)
                                                     : how.alias_field);
        if (how.alias_field_name != nullptr && columns.items[i] == 0) {
            warn(err);
            write_name(err, inv.name);
            err.text(": no column named \"");
            write_escaped(err, how.alias_field_name, strlen(how.alias_field_name));
            err.text("\" for the aliases; its devices are named by their addresses\n");
            found = false;
        }
    }
    return found;
}

// In file order, the devices that get no block (an address not plain) and
// those whose word another has; false when any gets no block.
// What the hosts on the way that an alias may not name are.
const char *way_hosts(const ssh_config_options &how)
{
    size_t size = 0;
    // (Server 0 is unnamed unless --server named it; the others are named.)
    const bool named =
        how.ranges->server_count() > 1 || (server_name(*how.ranges, 0, size), size != 0);
    return !named ? "a host of --jump" : how.jump != nullptr ? "a host of --jump or a server"
                                                             : "a server of the fleet";
}

bool write_host_diagnostics(const host_rows &hosts, const growing_array<host_alias> &aliases,
                            const fleet &inventories, const char *way_hosts, output &err)
{
    const growing_array<host_row> &rows = hosts.rows;
    const growing_array<host_candidate> &names = hosts.names;
    growing_array<size_t> said; // the rows with something to say
    record_places places(inventories);
    for (size_t i = 0; i < rows.size; ++i) {
        if (rows.items[i].plain && aliases.items[i].from != alias_from::address_taken &&
            aliases.items[i].from != alias_from::jump_host)
            continue;
        said.push(i);
        places.add(names.items[i].offset);
        if (aliases.items[i].from == alias_from::address_taken)
            places.add(names.items[aliases.items[i].holder].offset);
    }
    const auto by_place = [&](size_t a, size_t b) {
        return names.items[a].offset < names.items[b].offset;
    };
    std::sort(said.items, said.items + said.size, by_place);
    places.number();
    const auto place = [&](uint64_t offset) { places.write(err, offset); };
    bool ok = true;
    for (size_t k = 0; k < said.size; ++k) {
        const host_row &row = rows.items[said.items[k]];
        const host_candidate &name = names.items[said.items[k]];
        place(name.offset);
        if (!row.plain) {
            err.text(": the address is not a plain MAC address (12 hexadecimal digits, colons"
                     " aside); no Host block for it\n");
            ok = false;
            continue;
        }
        err.text(": alias \"");
        err.bytes(name.word, name.word_size);
        if (aliases.items[said.items[k]].from == alias_from::jump_host) {
            err.text("\" names ");
            err.text(way_hosts);
            err.text("; this device is ");
        } else {
            err.text("\" is ");
            place(names.items[aliases.items[said.items[k]].holder].offset);
            err.text("'s already; this device is ");
        }
        char digits[12];
        put_mac_digits(digits, row.mac);
        err.bytes(digits, 12);
        err.text("\n");
    }
    return ok;
}

} // namespace

bool write_ssh_config(const plan &p, const fleet &inventories, const ssh_config_options &how,
                      output &out, output &err)
{
    growing_array<uint32_t> columns;
    const bool columns_found = find_alias_columns(inventories, how, columns, err);
    // Host keys: the column asked for (which each inventory must have), or
    // those named host_key.
    growing_array<uint32_t> key_columns;
    const bool keys_asked = how.host_key_field != 0 || how.host_key_field_name != nullptr;
    bool key_columns_found = true;
    if (keys_asked)
        key_columns_found = find_host_key_columns(
            inventories, {how.host_key_field, how.host_key_field_name}, key_columns, err);
    for (size_t i = 0; !keys_asked && i < inventories.count; ++i)
        key_columns.push(host_key_column(inventories.files[i], 0, nullptr));
    // What pins a device with a host key, written alike in each block
    // (nothing where no inventory has host keys).
    growing_array<char> pinning;
    for (size_t i = 0; i < key_columns.size && pinning.size == 0; ++i) {
        if (key_columns.items[i] == 0)
            continue;
        const char *file =
            how.known_hosts_file != nullptr ? how.known_hosts_file : default_known_hosts_file;
        append(pinning, "    UserKnownHostsFile ", 23);
        append(pinning, file, strlen(file));
        append(pinning, "\n    StrictHostKeyChecking yes\n", 31);
    }
    host_rows hosts;
    growing_array<char> words;
    if (pinning.size == 0)
        key_columns.size = 0; // (no host keys: no field to look into)
    gather_rows(p, inventories, columns, key_columns, how, hosts, words);
    growing_array<host_alias> aliases;
    const size_t gave_way = choose_aliases(hosts.names, aliases);

    uint64_t sharing = 0, written = 0;
    block_text block;
    for (size_t i = 0; i < hosts.rows.size; ++i) {
        const host_row &row = hosts.rows.items[i];
        if (!row.plain)
            continue;
        sharing += row.shared;
        write_block(out, row, hosts.names.items[i], aliases.items[i], how, p.range, block,
                    written++ == 0, pinning);
    }
    const bool to_say = hosts.not_plain > 0 || gave_way > 0;
    const bool all_plain = !to_say || write_host_diagnostics(hosts, aliases, inventories, way_hosts(how), err);
    if (sharing > 0) {
        warn(err, "warning: ");
        err.number(static_cast<int64_t>(sharing));
        err.text(" devices share a block with another, and only the one connected answers on"
                 " its port (their blocks say so)\n");
    }
    return columns_found && key_columns_found && all_plain;
}

} // namespace portslot::audit
