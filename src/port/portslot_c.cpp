// The C interface: thin wrappers with C linkage over the C++ functions.
#include "portslot.h"

#include <portslot/port_derivation.h>

extern "C" {

int32_t portslot_compute_port(const char *mac_address, int32_t port_min, int32_t port_max,
                              int32_t port_count, int32_t port_num)
{
    return portslot::compute_port(mac_address, port_min, port_max, port_count, port_num);
}

int64_t portslot_block_count(int32_t port_min, int32_t port_max, int32_t port_count)
{
    return portslot::port_block_count(port_min, port_max, port_count);
}

} // extern "C"
