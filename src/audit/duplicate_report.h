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

// For append logs, where a device's later entry is the current one: keeps
// only the last entry of each device of the sorted `devices` (in block order
// still), and puts each earlier one in `superseded`, in input order.
void keep_last_entries(growing_array<uint64_t> &devices, const fleet &inventories,
                       growing_array<duplicate> &superseded);

} // namespace portslot::audit

#endif
