// A record of an inventory that holds the devices' public keys, split: the
// key's field, whole, and the label of the key's line (every other field
// but the address).
#ifndef PORTSLOT_AUDIT_KEY_RECORD_H
#define PORTSLOT_AUDIT_KEY_RECORD_H

#include <stdint.h>

#include "growing_array.h"
#include "inventory.h"

namespace portslot::audit {

struct key_record {
    growing_array<char> key, label;
    growing_array<char> field; // one field of the label
    bool has_key;
};

// How much of the record is read: the whole label; all but the columns the
// inventory drops; or up to the key, or without a key column the label's
// first field (where a Host alias comes from).
enum class label_part : unsigned char { whole, without_dropped, first_field };

// Reads the key (field `key_column`; with fields split at blanks, the rest
// of the line) and the label (the other fields but the address, trimmed,
// the empty ones left out, joined by spaces; CSV fields by their values; as
// much as `part` says) of the record at `record` of `inv` into `g`.
void read_key_record(const inventory &inv, const char *record, uint32_t key_column, key_record &g,
                     label_part part = label_part::whole);

// True when field `column` of the record at `record` of `inv` holds more
// than blanks (a CSV field's value; with fields split at blanks, the field).
bool field_has_text(const inventory &inv, const char *record, uint32_t column);

} // namespace portslot::audit

#endif
