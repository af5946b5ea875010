// The plan as text: "first-last<TAB>mac<TAB>label" rows, the summary, and the
// options of a range found.
#include "plan_printer.h"

#include <string.h>

#include "decimal.h"
#include "json_text.h"
#include "plan.h"
#include "port_holders.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

// What a row starts with: "first-last<TAB>", and beside the sockets the
// state; copied whole with each row.
using row_start = char[48];

// "first-last<TAB>" for a block; returns its length.
size_t block_ports(int32_t first, int32_t last, char *ports)
{
    size_t n = put_decimal(ports, static_cast<uint32_t>(first));
    ports[n++] = '-';
    n += put_decimal(ports + n, static_cast<uint32_t>(last));
    ports[n++] = '\t';
    return n;
}

// A row written piece by piece: to a terminal (`escape`: control bytes shown
// escaped), or longer than the output's buffer.
void write_row_in_pieces(output &out, const char *ports, size_t ports_size, const entry &e,
                         bool escape)
{
    const auto put = [&](const char *text, size_t n) {
        if (escape)
            write_escaped(out, text, n);
        else
            out.bytes(text, n);
    };
    out.bytes(ports, ports_size);
    put(e.mac, e.mac_size);
    out.bytes("\t", 1);
    put(e.before, e.before_size);
    put(&e.joiner, e.joiner != 0);
    put(e.after, e.after_size);
    out.bytes("\n", 1);
}

// The block's `ports`, the address, a tab, the label (the text before the
// address, the joiner, the text after it) and a line end, copied into the
// output's buffer at once where it can be.
[[gnu::always_inline]] inline void write_row(output &out, const row_start &ports, size_t ports_size,
                                             const entry &e, bool escape)
{
    const size_t joined = e.joiner != 0;
    const size_t size = ports_size + e.mac_size + e.before_size + joined + e.after_size + 2;
    // Room for the fixed-size copies too, which may reach past the row.
    char *to = escape ? nullptr : out.room(size + sizeof ports);
    if (to == nullptr) {
        write_row_in_pieces(out, ports, ports_size, e, escape);
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
    if (e.before_size + joined != 0) {
        memcpy(to, e.before, e.before_size);
        to += e.before_size;
        *to = e.joiner;
        to += joined;
    }
    memcpy(to, e.after, e.after_size);
    to[e.after_size] = '\n';
    out.commit(size);
}

// What the host key on a block's SSH port said (--identify), after its
// state: ", held by ADDRESS", ", an unknown host key on P", ", no answer on
// P", ", not told on P" (a key answered that no device with a host key has);
// nothing for a block not asked about.
char *put_holder(char *at, const block_holder *b)
{
    if (b == nullptr)
        return at;
    if (b->state == holder_state::held) {
        at = put_text(at, ", held by ");
        memcpy(at, b->mac, 17);
        return at + 17;
    }
    const char *said = b->state == holder_state::unknown_key ? ", an unknown host key on "
                       : b->state == holder_state::no_answer ? ", no answer on "
                                                             : ", not told on ";
    const size_t size = strlen(said);
    memcpy(at, said, size);
    at += size;
    return at + put_decimal(at, static_cast<uint32_t>(b->port));
}

// Beside the sockets, a block's rows start "first-last<TAB>STATE<TAB>", the
// state before the address and label (which may hold tabs): "listening
// P,P" (the block's ports that listen) or "not listening", after "shared, "
// when devices share the block, as the sockets cannot tell which holds it.
// Ports that listen and that no device holds follow, "P<TAB>listening, no
// device".
[[gnu::noinline]] void write_listening_rows(const plan &p, const fleet &inventories,
                                            const rows_place &to)
{
    growing_array<char> start;
    row_start short_start; // the start, when it fits
    for_each_row(
        p, inventories,
        [&](int32_t first, int32_t last, bool shared) {
            const size_t most =
                128 + 6 * size_t(p.range.port_count < 32768 ? p.range.port_count : 32768);
            while (start.capacity < most)
                start.grow();
            row_start ports;
            char *at = start.items;
            const size_t ports_size = block_ports(first, last, ports);
            memcpy(at, ports, ports_size);
            at += ports_size;
            if (shared)
                at = put_text(at, "shared, ");
            char separator = ' ';
            at = put_text(at, "listening");
            char *const listing = at;
            for_each_listening_port(p, first, [&](int32_t port) {
                *at++ = separator;
                separator = ',';
                at += put_decimal(at, static_cast<uint32_t>(port));
            });
            if (at == listing)
                at = put_text(at - 9, "not listening");
            if (p.sockets->holders != nullptr)
                at = put_holder(at, p.sockets->holders->of(first));
            *at++ = '\t';
            start.size = static_cast<size_t>(at - start.items);
            if (start.size <= sizeof short_start)
                memcpy(short_start, start.items, start.size);
        },
        [&](const plan_row &row) {
            if (start.size <= sizeof short_start)
                return write_row(to.out, short_start, start.size, row.e, to.terminal);
            to.out.bytes(start.items, start.size);
            write_row(to.out, short_start, 0, row.e, to.terminal);
        });
    for (size_t i = 0; i < p.sockets->unheld.size; ++i) {
        to.out.number(p.sockets->unheld.items[i]);
        to.out.text("\tlistening, no device\n");
    }
}

void write_rows(const plan &p, const fleet &inventories, const rows_place &to)
{
    if (p.sockets != nullptr)
        return write_listening_rows(p, inventories, to);
    row_start ports;
    size_t ports_size = 0;
    for_each_row(
        p, inventories,
        [&](int32_t first, int32_t last, bool) { ports_size = block_ports(first, last, ports); },
        [&](const plan_row &row) { write_row(to.out, ports, ports_size, row.e, to.terminal); });
}

// "N nouns", or "1 noun".
void put_count(output &out, uint64_t count, const char *noun)
{
    char digits[20];
    out.bytes(digits, put_decimal(digits, count));
    out.text(" ");
    out.text(noun);
    if (count != 1)
        out.text("s");
}

// "D devices, U of B blocks in use, S shared by K devices", and when there
// are more devices than blocks a second line with the sharing that no choice
// of addresses avoids.
void write_summary(const plan_summary &summary, output &out)
{
    char digits[20];
    put_count(out, summary.devices, "device");
    out.text(", ");
    out.bytes(digits, put_decimal(digits, summary.blocks_in_use));
    out.text(" of ");
    put_count(out, summary.blocks, "block");
    out.text(" in use, ");
    out.bytes(digits, put_decimal(digits, summary.shared_blocks));
    out.text(" shared by ");
    put_count(out, summary.sharing_devices, "device");
    out.text("\n");
    if (const uint64_t must_share = summary.must_share(); must_share != 0) {
        out.text("more devices than blocks: at least ");
        put_count(out, must_share, "device");
        out.text(" must share, whatever the addresses are\n");
    }
    if (summary.listening) {
        put_count(out, summary.connected, "device");
        out.text(" connected, ");
        out.bytes(digits, put_decimal(digits, summary.not_connected));
        out.text(" not connected, ");
        if (summary.cannot_tell != 0) {
            out.bytes(digits, put_decimal(digits, summary.cannot_tell));
            out.text(" in shared blocks that listen (which of them is connected cannot be"
                     " told), ");
        }
        if (summary.unknown_keys != 0) {
            put_count(out, summary.unknown_keys, "port");
            out.text(" of devices answered by a host key none of their block has, ");
        }
        put_count(out, summary.unheld_ports, "port");
        out.text(" of the range listening without a device\n");
    }
}

// "--port-min N --port-max N --port-count N", to paste after portslot.
void write_range(const port_range &range, output &out)
{
    out.text("--port-min ");
    out.number(range.port_min);
    out.text(" --port-max ");
    out.number(range.port_max);
    out.text(" --port-count ");
    out.number(range.port_count);
    out.text("\n");
}

} // namespace

const plan_printer text_printer{write_range, write_rows, write_summary};

} // namespace portslot::audit
