// Derivation of a device's port from its MAC address text and a port range.
// Include guard rather than #pragma once: the build tree holds a copy of
// each public header under include/portslot/, and both may be reached.
#ifndef PORTSLOT_PORT_DERIVATION_H
#define PORTSLOT_PORT_DERIVATION_H

#include <stdint.h>

#include <portslot/export.h>

namespace portslot {

// The port for the device with MAC text `mac_address`, or -1 when the inputs
// give none. The even ports of [port_min, port_max] (rounded inwards to even)
// are cut into blocks of `port_count`; the value of the address's last three
// octets, modulo the number of whole blocks, picks the block, and the 1-based
// `port_num` picks the port within it. A null text gives -1.
PORTSLOT_API int32_t compute_port(const char *mac_address, int32_t port_min, int32_t port_max,
                                  int32_t port_count, int32_t port_num);

// How many whole blocks of `port_count` even ports the range [port_min,
// port_max], rounded inwards to even, holds; 0 when it holds none or
// `port_count` is not positive. A device's key modulo this count is its block.
PORTSLOT_API int64_t port_block_count(int32_t port_min, int32_t port_max, int32_t port_count);

} // namespace portslot

#endif
