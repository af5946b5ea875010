#include "socket_match.h"

#include "block_sort.h"
#include "device_ranges.h"

namespace portslot::audit {

void match_sockets(const growing_array<uint64_t> &devices, const port_range &range,
                   const fleet_ranges *ranges, socket_match &m)
{
    port_set held;
    for (size_t begin = 0, end; begin < devices.size; begin = end) {
        end = block_end(devices, begin);
        const int64_t first = first_port_of(devices.items[begin]);
        bool connected = false;
        for (int64_t k = 0, port = first; k < range.port_count && port <= 65535; ++k, port += 2) {
            connected = connected || m.listening.has(port);
            held.add(static_cast<uint32_t>(port));
        }
        const size_t count = end - begin;
        (!connected ? m.not_connected : count > 1 ? m.cannot_tell : m.connected) += count;
    }
    if (!ranges->placed() || devices.size == 0) {
        const int32_t low = range.port_min > 0 ? range.port_min : 0;
        const int32_t high = range.port_max < 65535 ? range.port_max : 65535;
        for (int32_t port = low; port <= high; ++port)
            if (m.listening.has(port) && !held.has(port))
                m.unheld.push(port);
        return;
    }
    // Where devices are placed each in their own range: the ports of every
    // range that holds one of them.
    port_set scanned;
    const auto scan = [&](int32_t min, int32_t max) {
        for (int32_t port = min > 0 ? min : 0; port <= max && port <= 65535; ++port)
            scanned.add(static_cast<uint32_t>(port));
    };
    growing_array<bool> seen;
    for (size_t i = 0; i < ranges->layouts.size; ++i)
        seen.push(false);
    for (size_t i = 0; i < devices.size; ++i) {
        const block_layout &l = ranges->layout_of(first_port_of(devices.items[i]));
        bool &was = seen.items[&l - ranges->layouts.items];
        if (!was)
            scan(l.port_min, l.port_max);
        was = true;
    }
    for (int32_t port = 0; port <= 65535; ++port)
        if (m.listening.has(port) && scanned.has(port) && !held.has(port))
            m.unheld.push(port);
}

} // namespace portslot::audit
