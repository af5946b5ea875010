// The fleet beside the server's sockets in Prometheus's text exposition
// format, as node_exporter's textfile collector reads it.
#ifndef PORTSLOT_AUDIT_METRICS_H
#define PORTSLOT_AUDIT_METRICS_H

#include <stdint.h>

#include "fleet.h"
#include "output.h"
#include "plan.h"

namespace portslot::audit {

// What the run knows beside the plan: how many ports of the range the
// kernel may give to outgoing connections (below 0 when that is not known,
// a table saved on another host, and the series is left out), and how many
// records of the inventories gave no device.
struct metrics_counts {
    int64_t exposed_ports;
    uint64_t refused_records;
};

// For each device of `p` (beside the sockets, a row for every device)
// portslot_device_connected, 1 when a port of its block listens, with its
// address, label, first port and whether its block is shared as labels;
// then the fleet's counts. The address label holds the address's bytes
// with each that is not printable ASCII, and '\\', as "\\xHH", so that
// devices told apart by their addresses are told apart by their series.
void write_metrics(const plan &p, const fleet &inventories, const metrics_counts &counts,
                   output &out);

// A label's value as the format has it, at `to`, which has room for three
// times the bytes of `text` up to 256: '\', '"' and the line end escaped,
// each other control byte but the tab and each byte that starts no valid
// UTF-8 sequence as U+FFFD, and at most the first 256 bytes of `text` (cut
// where a character starts). Returns the end of what it wrote.
char *put_label_value(char *to, const char *text, size_t size);

} // namespace portslot::audit

#endif
