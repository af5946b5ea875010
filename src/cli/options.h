// The command-line options of a port request and their scanner.
// Include guard rather than #pragma once: the build tree holds a copy of
// each public header under include/portslot/, and both may be reached.
#ifndef PORTSLOT_OPTIONS_H
#define PORTSLOT_OPTIONS_H

#include <stdint.h>

#include <portslot/export.h>

namespace portslot {

struct port_options {
    int32_t port_min;        // lowest port of the range, inclusive
    int32_t port_max;        // highest port of the range, inclusive
    int32_t port_count;      // even ports in each device's block
    int32_t port_num;        // 1-based position in the block; -1 when not given
    const char *mac_address; // borrowed from the argument vector; may be null
};

// Reads "--port-min", "--port-max", "--port-count" and "--port-num", each
// followed by its value, from all `argc` elements of `argv`, element 0
// included; every other argument becomes the MAC text, the last one winning.
// Values are read like atoi, saturated to the 32-bit range. Never fails.
PORTSLOT_API port_options getopt(int argc, const char *const *argv);

} // namespace portslot

#endif
