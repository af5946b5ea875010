// Reporting the entries of devices listed twice, with their line numbers.
#ifndef PORTSLOT_AUDIT_DUPLICATE_REPORT_H
#define PORTSLOT_AUDIT_DUPLICATE_REPORT_H

#include "device_identity.h"
#include "fleet.h"
#include "growing_array.h"
#include "output.h"

namespace portslot::audit {

// "FILE:LINE: duplicate of FILE:LINE" for each duplicate, in their order.
void write_duplicates(const growing_array<duplicate> &duplicates, const fleet &inventories,
                      output &err);

} // namespace portslot::audit

#endif
