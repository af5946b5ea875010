// The warning that the kernel may hand ports of the range to the server's
// own outgoing connections: a device cannot listen on its port while one of
// them holds it.
#ifndef PORTSLOT_AUDIT_EPHEMERAL_WARNING_H
#define PORTSLOT_AUDIT_EPHEMERAL_WARNING_H

#include "fleet.h"
#include "kernel_ports.h"
#include "output.h"

namespace portslot::audit {

// Names the ports of `range` in the kernel's ephemeral range that are not
// reserved, if any, and gives the line that reserves the whole range beside
// what is reserved already, for sysctl -w and for /etc/sysctl.d.
void warn_ephemeral_overlap(const port_range &range, const ephemeral_ports &kernel, output &err);

} // namespace portslot::audit

#endif
