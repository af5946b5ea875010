// The range a run asks for, checked before any inventory is read.
#ifndef PORTSLOT_AUDIT_RANGE_CHECKS_H
#define PORTSLOT_AUDIT_RANGE_CHECKS_H

#include <stdint.h>

#include "audit_options.h"
#include "output.h"
#include "plan.h"

namespace portslot::audit {

// The blocks of `range` the devices take theirs in; 0 after saying why it
// cannot be used: no whole block, ports below 0, or for --authorized-keys
// and --ssh-config a range that gives no port they can use.
int64_t blocks_to_audit(const audit_options &options, const port_range &range, output &err);

} // namespace portslot::audit

#endif
