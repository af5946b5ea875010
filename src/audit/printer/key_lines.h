// The lines of authorized_keys as they are gathered, before any is written,
// and what is said of those refused and of the devices that share a block.
#ifndef PORTSLOT_AUDIT_KEY_LINES_H
#define PORTSLOT_AUDIT_KEY_LINES_H

#include <stddef.h>
#include <stdint.h>

#include "fleet.h"
#include "growing_array.h"
#include "output.h"
#include "public_key.h"

namespace portslot::audit {

// Why a device gets no line.
enum class refusal : unsigned char {
    none,
    no_key,         // no key field, or an empty one
    bad_key,        // not a key sshd takes (`fault` says why)
    control_in_key, // a control byte in the key field
    address,        // the address is not a plain MAC text
    same_key,       // the key is another device's too
};

// A device's line, gathered before any is written: the lines of devices
// that hold the same key are not written at all.
struct key_line {
    uint64_t offset; // of its record
    int32_t first;   // its block's first port
    bool shared;
    refusal why;
    key_fault fault;
    size_t key, key_size;         // the key field's text in `texts`
    size_t comment, comment_size; // address and label, in `texts`
    uint64_t other;               // same_key: the record that holds it first
};

// The places of refused devices and their reasons, in file order; then for
// each shared block the places of its devices. False when any was refused.
bool write_key_diagnostics(const growing_array<key_line> &lines, const fleet &inventories,
                           const char *texts, output &err);

} // namespace portslot::audit

#endif
