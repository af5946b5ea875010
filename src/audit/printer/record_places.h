// The places of the records a message names, as "FILE:LINE": the records'
// offsets gathered first, then their lines counted in one pass over each
// inventory (a pass a message would cost the file once per record).
#ifndef PORTSLOT_AUDIT_RECORD_PLACES_H
#define PORTSLOT_AUDIT_RECORD_PLACES_H

#include <stdint.h>

#include "fleet.h"
#include "growing_array.h"
#include "output.h"

namespace portslot::audit {

class record_places {
public:
    explicit record_places(const fleet &inventories) : inventories_(inventories) {}

    // The record at `offset` will be named.
    void add(uint64_t offset) { offsets_.push(offset); }
    bool empty() const { return offsets_.size == 0; }
    // Counts the lines of the records added (once, before any is named).
    void number();
    // The line of the record at `offset`, one that was added.
    uint64_t line_of(uint64_t offset) const;
    // "FILE:LINE" of the record at `offset`.
    void write(output &err, uint64_t offset) const;

private:
    const fleet &inventories_;
    growing_array<uint64_t> offsets_, lines_; // ascending, each once; and their lines
};

} // namespace portslot::audit

#endif
