// A set of TCP ports, 0 to 65535, one bit each.
#ifndef PORTSLOT_AUDIT_PORT_SET_H
#define PORTSLOT_AUDIT_PORT_SET_H

#include <stdint.h>

namespace portslot::audit {

struct port_set {
    uint64_t words[1024] = {};

    void add(uint32_t port) { words[port >> 6 & 1023] |= uint64_t{1} << (port & 63); }
    // True when `port` is a port number and in the set.
    bool has(int64_t port) const
    {
        return port >= 0 && port <= 65535 && (words[port >> 6] >> (port & 63) & 1) != 0;
    }
};

} // namespace portslot::audit

#endif
