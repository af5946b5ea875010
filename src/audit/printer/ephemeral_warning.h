// The warning that the kernel may hand ports of the range to the server's
// own outgoing connections: a device cannot listen on its port while one of
// them holds it.
#ifndef PORTSLOT_AUDIT_EPHEMERAL_WARNING_H
#define PORTSLOT_AUDIT_EPHEMERAL_WARNING_H

#include "fleet.h"
#include "kernel_ports.h"
#include "output.h"

namespace portslot::audit {

// Names the ports devices can get in `range` (the even ports of its whole
// blocks) that lie in the kernel's ephemeral range and are not reserved, if
// any, and gives the line that reserves them beside what is reserved
// already, for sysctl -w and for /etc/sysctl.d: the even ports alone, or the
// whole span of them where that line would be longer than the kernel takes
// in one write. Where reserving would leave the host fewer than half of its
// ephemeral ports, or even the span's line is too long, it says to move the
// range instead.
void warn_ephemeral_overlap(const port_range &range, const ephemeral_ports &kernel, output &err);

// How many of the ports devices can get in `range` lie in the kernel's
// ephemeral range and are not reserved.
int64_t exposed_port_count(const port_range &range, const ephemeral_ports &kernel);

} // namespace portslot::audit

#endif
