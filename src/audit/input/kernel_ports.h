// The ports the kernel hands out to outgoing connections of this host (its
// ephemeral range), and those reserved from it.
#ifndef PORTSLOT_AUDIT_KERNEL_PORTS_H
#define PORTSLOT_AUDIT_KERNEL_PORTS_H

#include <stdint.h>

#include "port_set.h"

namespace portslot::audit {

struct ephemeral_ports {
    int32_t low = 0, high = -1;
    port_set reserved;
};

// Reads `proc`/sys/net/ipv4/ip_local_port_range and ip_local_reserved_ports;
// false when either cannot be read or is not of their form.
bool read_ephemeral_ports(const char *proc, ephemeral_ports &ports);

} // namespace portslot::audit

#endif
