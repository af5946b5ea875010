// The lines of authorized_keys and known_hosts as they are gathered, before
// any is written: which devices get one, and why the others do not.
#ifndef PORTSLOT_AUDIT_KEY_LINES_H
#define PORTSLOT_AUDIT_KEY_LINES_H

#include <stddef.h>
#include <stdint.h>

#include "fleet.h"
#include "growing_array.h"
#include "key_record.h"
#include "plan.h"
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
    size_t mac; // (a host with a line) its known_hosts line in `texts`, from its
                // address to the line end after the comment
    uint64_t other;               // same_key: the record that holds it first
};

// What the keys are for: the tunnel account's authorized_keys (the devices'
// own keys), or the administrator's known_hosts (their host keys).
enum class key_use : unsigned char { tunnel, host };

// The line of every device of `p` whose inventory has a key column (the
// `columns` of `inventories`, 0: none), in block order: its key and comment
// (for the tunnel, its address and label; for a host, its label without the
// columns dropped) appended to `texts`, or why it gets none. A host key is
// read by read_host_key. The devices that hold the same key as another are
// refused too: sshd would take the first line of such a key for both, and
// ssh could not tell two hosts of one key apart.
void gather_key_lines(const plan &p, const fleet &inventories,
                      const growing_array<uint32_t> &columns, key_use use,
                      growing_array<key_line> &lines, growing_array<char> &texts);

} // namespace portslot::audit

#endif
