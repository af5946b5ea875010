// A set of TCP ports, 0 to 65535, one bit each.
#ifndef PORTSLOT_AUDIT_PORT_SET_H
#define PORTSLOT_AUDIT_PORT_SET_H

#include <stdint.h>

namespace portslot::audit {

struct port_set {
    uint64_t words[1024] = {};

    void add(uint32_t port) { words[port >> 6 & 1023] |= uint64_t{1} << (port & 63); }
    // True when `port` (0 to 65535) is in the set.
    bool has(uint32_t port) const { return (words[port >> 6 & 1023] >> (port & 63) & 1) != 0; }
};

} // namespace portslot::audit

#endif
