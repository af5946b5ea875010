// The tunnel account's authorized_keys, from an inventory that holds each
// device's public key: one line a device, whose key may do one thing, listen
// on its own block's ports on the server's loopback.
#ifndef PORTSLOT_AUDIT_AUTHORIZED_KEYS_H
#define PORTSLOT_AUDIT_AUTHORIZED_KEYS_H

#include <stddef.h>
#include <stdint.h>

#include "fleet.h"
#include "output.h"
#include "plan.h"

namespace portslot::audit {

// Where a device's public key is: field `field` (from 1) or with CSV the
// column named `name`. Where fields are runs of non-blanks the key is the
// rest of the line from that field on, as a key holds blanks.
struct key_field {
    uint32_t field;
    const char *name;
};

// For each device of `p`: restrict,port-forwarding, a permitlisten for each
// port of its block on localhost and a harmless forced command, its key, and
// as the comment its address and the record's other fields, each control
// byte a space. A device gets a FILE:LINE message instead of its line when
// its record has no key, a key sshd would refuse (read_public_key), a control
// byte in the key field, or an address that is not a plain MAC text; and the
// devices that hold one key between them all get one, as sshd would let
// each use the first line of it. The messages come in file order after the
// lines, then the devices of each shared block; false when any was refused.
bool write_authorized_keys(const plan &p, const fleet &inventories, const key_field &where,
                           output &out, output &err);

} // namespace portslot::audit

#endif
