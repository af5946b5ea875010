// What is said of the devices that get no authorized_keys or known_hosts
// line, and of the devices that share a block.
#ifndef PORTSLOT_AUDIT_KEY_DIAGNOSTICS_H
#define PORTSLOT_AUDIT_KEY_DIAGNOSTICS_H

#include "fleet.h"
#include "growing_array.h"
#include "key_lines.h"
#include "output.h"

namespace portslot::audit {

// The places of refused devices and their reasons, in file order; then for
// the tunnel's keys, each shared block's places of its devices. A device
// without a host key is not refused: the caller counts them. False when any
// was refused.
bool write_key_diagnostics(const growing_array<key_line> &lines, const fleet &inventories,
                           const char *texts, key_use use, output &err);

} // namespace portslot::audit

#endif
