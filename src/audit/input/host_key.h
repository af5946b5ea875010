// The SSH host keys of an inventory's devices, as the administrator's ssh
// checks them: where each inventory holds them (and the devices' own keys),
// and which keys ssh would take as a host's.
#ifndef PORTSLOT_AUDIT_HOST_KEY_H
#define PORTSLOT_AUDIT_HOST_KEY_H

#include <stddef.h>
#include <stdint.h>

#include "inventory.h"
#include "public_key.h"

namespace portslot::audit {

// The column of `inv` that holds the devices' own (tunnel) keys, from 1:
// field `field`, or with a `name` the CSV column of that name (0: none).
uint32_t key_column(const inventory &inv, uint32_t field, const char *name);

// The column of `inv` that holds the host keys, from 1: field `field` when
// it is not 0, else the CSV column named `name`, else a CSV column named
// host_key (as the address column is named); 0 when there is none.
uint32_t host_key_column(const inventory &inv, uint32_t field, const char *name);

// The host key at the start of `text`: a public key read as read_public_key
// reads it, but neither a security key's type (a user's key, never a
// host's) nor a certificate.
public_key read_host_key(const char *text, size_t size);

} // namespace portslot::audit

#endif
