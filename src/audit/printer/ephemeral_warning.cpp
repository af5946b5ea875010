#include "ephemeral_warning.h"

#include <portslot/port_derivation.h>

#include "block_of_address.h"
#include "fatal.h"
#include "growing_array.h"

namespace portslot::audit {

namespace {

// The kernel takes at most a page less one byte of this value in one write:
// sysctl -w of a longer line reserves what fits and drops the rest.
constexpr size_t longest_value = 4095;

void append(growing_array<char> &to, const char *text)
{
    for (; *text != '\0'; ++text)
        to.push(*text);
}

void append_number(growing_array<char> &to, int32_t value)
{
    char digits[12];
    int n = 0;
    do
        digits[n++] = static_cast<char>('0' + value % 10);
    while ((value /= 10) > 0);
    while (n > 0)
        to.push(digits[--n]);
}

// The ports of `set` from `low` to `high` as "A-B,C,...", runs of ports
// `step` apart (1, or 2 for even ports) written as their ends.
void write_ports(growing_array<char> &to, const port_set &set, int32_t low, int32_t high,
                 int32_t step)
{
    const char *separator = "";
    for (int32_t port = low; port <= high; ++port) {
        if (!set.has(static_cast<uint32_t>(port)))
            continue;
        int32_t last = port;
        while (last + step <= high && set.has(static_cast<uint32_t>(last + step)))
            last += step;
        append(to, separator);
        append_number(to, port);
        if (last != port) {
            append(to, "-");
            append_number(to, last);
        }
        separator = ",";
        port = last;
    }
}

void write_text(output &err, const growing_array<char> &text)
{
    err.bytes(text.items, text.size);
}

// What to do about the exposed ports from `first` to `last`: the line
// that reserves them (the even ports of `even`, merged with what is
// reserved, where the line fits; else the whole span, into `span`), or to
// move the range where reserving would leave fewer than half of the
// ephemeral ports.
void write_reservation(output &err, const ephemeral_ports &kernel, const port_set &even,
                       port_set &span, int32_t exposed_first, int32_t exposed_last)
{
    const bool one = exposed_first == exposed_last;
    growing_array<char> value;
    write_ports(value, even, 0, 65535, 1);
    const port_set *reserving = &even;
    if (value.size > longest_value) {
        for (int32_t p = exposed_first; p <= exposed_last; ++p)
            span.add(static_cast<uint32_t>(p));
        value.size = 0;
        write_ports(value, span, 0, 65535, 1);
        reserving = &span;
    }
    int64_t left = 0;
    for (int32_t p = kernel.low; p <= kernel.high; ++p)
        left += !reserving->has(static_cast<uint32_t>(p));
    const char *why = value.size > longest_value ? "would make a line longer than sysctl takes"
                      : 2 * left < int64_t{kernel.high} - kernel.low + 1
                          ? "would leave fewer than half of the ephemeral ports to this"
                            " host's outgoing connections"
                          : nullptr;
    if (why != nullptr) {
        err.text(one ? "Reserving it " : "Reserving them ");
        err.text(why);
        err.text(": move the range out of ");
        err.number(kernel.low);
        err.text("-");
        err.number(kernel.high);
        err.text(" (--port-min, --port-max), or move net.ipv4.ip_local_port_range away from it\n");
        return;
    }
    err.text(one ? "Reserve it now, and at every boot:\n"
                 : "Reserve them now, and at every boot:\n");
    err.text("  sysctl -w net.ipv4.ip_local_reserved_ports=");
    write_text(err, value);
    err.text("\n  echo 'net.ipv4.ip_local_reserved_ports = ");
    write_text(err, value);
    err.text("' >/etc/sysctl.d/60-portslot.conf\n");
}

// The ports a device can get: the even ports of the range's whole blocks,
// from `first` to `last`.
struct even_ports {
    int64_t first, last;
};
even_ports devices_ports(const port_range &range)
{
    const int64_t blocks = port_block_count(range.port_min, range.port_max, range.port_count);
    const int64_t first = first_even_port(range.port_min);
    return {first, first + 2 * (blocks * range.port_count - 1)};
}

} // namespace

int64_t exposed_port_count(const port_range &range, const ephemeral_ports &kernel)
{
    const auto [first, last] = devices_ports(range);
    // From the first of them in the ephemeral range on.
    const int64_t from = first < kernel.low ? first + (kernel.low - first + 1) / 2 * 2 : first;
    int64_t count = 0;
    for (int64_t port = from; port <= last && port <= kernel.high; port += 2)
        count += !kernel.reserved.has(static_cast<uint32_t>(port));
    return count;
}

void warn_ephemeral_overlap(const port_range &range, const ephemeral_ports &kernel, output &err)
{
    const auto [first, last] = devices_ports(range);
    port_set exposed, even_reserving = kernel.reserved, span_reserving = kernel.reserved;
    int32_t exposed_first = -1, exposed_last = -1;
    for (int64_t port = first < 0 ? 0 : first; port <= last && port <= 65535; port += 2) {
        const auto p = static_cast<int32_t>(port);
        if (p < kernel.low || p > kernel.high || kernel.reserved.has(static_cast<uint32_t>(p)))
            continue;
        exposed.add(static_cast<uint32_t>(p));
        even_reserving.add(static_cast<uint32_t>(p));
        exposed_first = exposed_first < 0 ? p : exposed_first;
        exposed_last = p;
    }
    if (exposed_first < 0)
        return;
    growing_array<char> ports;
    write_ports(ports, exposed, exposed_first, exposed_last, 2);
    const bool one = exposed_first == exposed_last;
    warn(err, one ? "warning: port " : "warning: the even ports ");
    write_text(err, ports);
    err.text(one ? " of the range lies" : " of the range lie");
    err.text(" in the kernel's ephemeral ports (");
    err.number(kernel.low);
    err.text("-");
    err.number(kernel.high);
    err.text(one ? ") and is not reserved" : ") and are not reserved");
    err.text(": an outgoing connection of this host may take a device's port, and the device"
             " cannot listen until it ends. ");
    write_reservation(err, kernel, even_reserving, span_reserving, exposed_first, exposed_last);
}

} // namespace portslot::audit
