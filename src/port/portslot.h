/* The port derivation for C programs and other languages' foreign-function
 * interfaces: the same arguments and results as portslot::compute_port and
 * portslot::port_block_count. See portslot_compute_port(3). */
#ifndef PORTSLOT_PORTSLOT_H
#define PORTSLOT_PORTSLOT_H

#include <stdint.h>

#include <portslot/export.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The port for the device with MAC text `mac_address`, or -1 when the inputs
 * give none (a null text included). */
PORTSLOT_API int32_t portslot_compute_port(const char *mac_address, int32_t port_min,
                                           int32_t port_max, int32_t port_count, int32_t port_num);

/* How many whole blocks of `port_count` even ports the range holds; 0 when it
 * holds none. */
PORTSLOT_API int64_t portslot_block_count(int32_t port_min, int32_t port_max, int32_t port_count);

#ifdef __cplusplus
}
#endif

#endif
