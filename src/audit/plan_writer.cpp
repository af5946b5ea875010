#include "plan_writer.h"

#include <string.h>

#include <algorithm>

#include <portslot/port_derivation.h>

#include "decimal.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

void put_count(output &out, uint64_t count, const char *noun)
{
    char digits[20];
    out.bytes(digits, put_decimal(digits, count));
    out.text(" ");
    out.text(noun);
    if (count != 1)
        out.text("s");
}

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

plan_summary write_plan(const growing_array<uint64_t> &devices, const fleet &inventories,
                        const port_range &range, bool all, bool escape, output &out,
                        growing_array<duplicate> &duplicates)
{
    plan_summary summary;
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
        each_distinct(work, devices, begin, end, inventories, duplicates,
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
        ++summary.blocks_in_use;
        summary.devices += kept;
        if (kept > 1) {
            ++summary.shared_blocks;
            summary.sharing_devices += kept;
        }
    }
    sort_by_later(duplicates);
    return summary;
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
