#include "plan.h"

#include <portslot/port_derivation.h>

namespace portslot::audit {

plan make_plan(const growing_array<uint64_t> &devices, const port_range &range, rows_of rows,
               const socket_match *sockets)
{
    plan_summary summary;
    summary.blocks = static_cast<uint64_t>(
        portslot::port_block_count(range.port_min, range.port_max, range.port_count));
    for (size_t begin = 0, end; begin < devices.size; begin = end) {
        end = block_end(devices, begin);
        ++summary.blocks_in_use;
        summary.devices += end - begin;
        if (end - begin > 1) {
            ++summary.shared_blocks;
            summary.sharing_devices += end - begin;
        }
    }
    if (sockets != nullptr) {
        summary.listening = true;
        summary.connected = sockets->connected;
        summary.not_connected = sockets->not_connected;
        summary.cannot_tell = sockets->cannot_tell;
        summary.unheld_ports = sockets->unheld.size;
    }
    return plan{range, devices, rows, summary, sockets};
}

} // namespace portslot::audit
