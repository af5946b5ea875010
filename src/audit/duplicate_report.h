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

// Which entry of a device listed twice is kept: the first, or the last (for
// append logs, where a device's later entry is the current one).
enum class kept_entry { first, last };

// Keeps one entry of each device of the sorted `devices` (in block order
// still), and puts each other one in `duplicates`, in input order.
void drop_listed_twice(growing_array<uint64_t> &devices, const fleet &inventories, kept_entry keep,
                       growing_array<duplicate> &duplicates);

} // namespace portslot::audit

#endif
