// How an inventory's lines hold their addresses.
#ifndef PORTSLOT_AUDIT_RECORD_FORMAT_H
#define PORTSLOT_AUDIT_RECORD_FORMAT_H

#include <stdint.h>

namespace portslot::audit {

struct record_format {
    enum : unsigned char {
        plain,  // the address first, then the label: a line's first run of non-blanks
        fields, // the address in field `field`, fields split at `delimiter` or blanks
        csv,    // CSV records, split at `delimiter`, after a header
    } kind = plain;
    char delimiter = 0; // 0: runs of blanks
    uint32_t field = 1; // from 1; with CSV, 0 until the header names the column
};

} // namespace portslot::audit

#endif
