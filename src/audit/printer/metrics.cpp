#include "metrics.h"

#include <string.h>

#include "decimal.h"
#include "json_text.h"
#include "plan.h"
#include "port_holders.h"
#include "utf8.h"
#include "words.h"

namespace portslot::audit {

namespace {

constexpr size_t longest_label = 256;

// One byte of a label's value, or the sequence it starts, at `to`; `p`
// moves past what was read.
char *put_label_char(char *to, const unsigned char *&p, const unsigned char *end)
{
    const unsigned char c = *p;
    const char *escape = c == '\\' ? "\\\\" : c == '"' ? "\\\"" : c == '\n' ? "\\n" : nullptr;
    if (escape != nullptr) {
        *to++ = escape[0];
        *to++ = escape[1];
        ++p;
        return to;
    }
    const bool kept = (c >= 0x20 && c != 0x7f) || c == '\t';
    const size_t n = c < 0x80 ? size_t{kept} : utf8_sequence(p, size_t(end - p));
    if (n == 0) {
        __builtin_memcpy(to, "\xef\xbf\xbd", 3);
        ++p;
        return to + 3;
    }
    __builtin_memcpy(to, p, n);
    p += n;
    return to + n;
}

// An address as a label's value: printable ASCII as it is, but every other
// byte, '\\' and '"' as "\\xHH" (in the format, "\\\\xHH"), so that two
// addresses' values differ where their bytes do.
char *put_address_value(char *to, const char *text, size_t size)
{
    static constexpr char hex[] = "0123456789abcdef";
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    const auto *const end = p + size;
    copy_quotable_ascii(to, p, end); // (the words that need no care, at once)
    for (; p != end; ++p) {
        if (quotable_bytes.of[*p]) {
            *to++ = static_cast<char>(*p);
            continue;
        }
        memcpy(to, "\\\\x", 3);
        to[3] = hex[*p >> 4];
        to[4] = hex[*p & 15];
        to += 5;
    }
    return to;
}

void write_family(output &out, const char *name, const char *help)
{
    out.text("# HELP ");
    out.text(name);
    out.text(" ");
    out.text(help);
    out.text("\n# TYPE ");
    out.text(name);
    out.text(" gauge\n");
}

void write_count(output &out, const char *name, const char *help, uint64_t value)
{
    write_family(out, name, help);
    out.text(name);
    out.text(" ");
    out.number(static_cast<int64_t>(value));
    out.text("\n");
}

// The end of a device's line, alike for the devices of one block:
// `",port="P",shared="S"} V` and the line end.
struct block_end {
    size_t size = 0;
    char text[64];
};
void make_block_end(block_end &end, int32_t first, bool shared, bool listens)
{
    char *to = put_text(end.text, "\",port=\"");
    to += put_decimal(to, static_cast<uint64_t>(first));
    to = shared ? put_text(to, "\",shared=\"true\"} ") : put_text(to, "\",shared=\"false\"} ");
    to = listens ? put_text(to, "1\n") : put_text(to, "0\n");
    end.size = static_cast<size_t>(to - end.text);
}

void write_devices(const plan &p, const fleet &inventories, output &out)
{
    block_end end;
    growing_array<char> label; // a label in pieces, joined
    const port_holders *const holders = p.sockets->holders;
    constexpr uint64_t none = ~uint64_t{0};
    uint64_t holder = none; // the record of the block's holder (--identify), where named
    for_each_row(
        p, inventories,
        [&](int32_t first, int32_t, bool shared) {
            bool listens = false;
            for_each_listening_port(p, first, [&](int32_t) { listens = true; });
            const block_holder *told = holders != nullptr ? holders->of(first) : nullptr;
            // (No device of a block an unknown key answers for is connected.)
            const bool unknown = told != nullptr && told->state == holder_state::unknown_key;
            make_block_end(end, first, shared, listens && !unknown);
            holder = told != nullptr && told->state == holder_state::held ? told->holder : none;
        },
        [&](const plan_row &r) __attribute__((always_inline)) { // (in each format's walk)
            if (holder != none) [[unlikely]] // the holder alone
                end.text[end.size - 2] = r.offset == holder ? '1' : '0';
            const char *text = r.e.after;
            size_t size = r.e.after_size;
            if (r.e.before_size != 0) {
                label.size = 0;
                append(label, r.e.before, r.e.before_size);
                if (r.e.joiner != 0)
                    append(label, &r.e.joiner, 1);
                append(label, r.e.after, r.e.after_size);
                text = label.items;
                size = label.size;
            }
            // (An address is at most 18 bytes here.)
            char *const start = out.room(128 + 5 * 18 + 3 * longest_label);
            char *to = put_text(start, "portslot_device_connected{mac=\"");
            to = put_address_value(to, r.e.mac, r.e.mac_size);
            to = put_text(to, "\",label=\"");
            to = put_label_value(to, text, size);
            memcpy(to, end.text, sizeof end.text); // (a fixed size: moves, not a call)
            out.commit(static_cast<size_t>(to + end.size - start));
        });
}

} // namespace

char *put_label_value(char *to, const char *text, size_t size)
{
    if (size > longest_label) {
        size = longest_label;
        while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xc0) == 0x80)
            --size;
    }
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    const auto *const end = p + size;
    while (p != end) {
        // Plain ASCII eight bytes at a time, up to a byte that needs care.
        copy_quotable_ascii(to, p, end);
        if (p != end)
            to = put_label_char(to, p, end);
    }
    return to;
}

void write_metrics(const plan &p, const fleet &inventories, const metrics_counts &counts,
                   output &out)
{
    const int64_t exposed_ports = counts.exposed_ports;
    write_family(out, "portslot_device_connected",
                 "Whether a port of the device's block listens on the tunnel server (1) or"
                 " none (0); in a shared block, one of its devices holds it, unless its host key"
                 " named the holder (1) and the others (0).");
    write_devices(p, inventories, out);
    const plan_summary &s = p.summary;
    write_count(out, "portslot_devices", "Devices of the inventory.", s.devices);
    write_count(out, "portslot_devices_connected",
                "Devices whose block listens, alone in it.", s.connected);
    write_count(out, "portslot_devices_not_connected",
                "Devices none of whose block's ports listen.", s.not_connected);
    write_count(out, "portslot_devices_cannot_tell",
                "Devices of shared blocks that listen: which of them is connected is unknown.",
                s.cannot_tell);
    write_count(out, "portslot_ports_listening_without_device",
                "Ports of the range that listen, held by no device of the inventory.",
                s.unheld_ports);
    write_count(out, "portslot_shared_blocks", "Blocks of ports held by more than one device.",
                s.shared_blocks);
    write_count(out, "portslot_records_refused",
                "Records of the inventories that gave no device (no port, a malformed record):"
                " the audit's FILE:LINE messages name them.",
                counts.refused_records);
    if (s.identified)
        write_count(out, "portslot_ports_unknown_host_key",
                    "Devices' SSH ports where a host key that no device of the block has answers.",
                    s.unknown_keys);
    if (exposed_ports >= 0)
        write_count(out, "portslot_ephemeral_ports_exposed",
                    "Ports devices may get that the kernel may also give to this host's"
                    " outgoing connections, not reserved.",
                    static_cast<uint64_t>(exposed_ports));
}

} // namespace portslot::audit
