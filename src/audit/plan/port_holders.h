// Which device of a block holds its port: the SSH server that answers on
// the block's SSH port belongs to a device of the block (only its keys may
// listen there), and the host key it shows says which, where the inventory
// holds the devices' host keys.
#ifndef PORTSLOT_AUDIT_PORT_HOLDERS_H
#define PORTSLOT_AUDIT_PORT_HOLDERS_H

#include <stdint.h>

#include "fleet.h"
#include "growing_array.h"
#include "keys_seen.h"
#include "plan.h"
#include "port_set.h"
#include "socket_match.h"

namespace portslot::audit {

enum class holder_state : unsigned char {
    held,        // the key of one of the block's devices answered
    unknown_key, // a key none of them has (every one has a host key)
    no_answer,   // asked, nothing answered in time
    not_told,    // a key answered that is not theirs, but some have none
};
struct block_holder {
    int32_t first; // the block's first port
    int32_t port;  // the port asked
    holder_state state;
    uint32_t devices;   // of the block
    uint64_t holder;    // held: the holder's record; not_told, a device alone: its own
    char mac[17];       // held: its address
};
struct port_holders {
    growing_array<block_holder> blocks; // by first port

    // The block from `first`, or null when it was not asked about.
    const block_holder *of(int32_t first) const;
};

// The SSH port (the `ssh_port_num`th) of each block of the sorted `devices`
// that listens, of shared blocks only unless `all`, ascending.
void ports_to_ask(const growing_array<uint64_t> &devices, const port_set &listening,
                  int32_t ssh_port_num, bool all, growing_array<int32_t> &ports);

// For each block of `p` whose SSH port was asked (`seen.asked`) and
// listens, shared or (`all`) alone: the device whose host key (from
// `key_columns`, one an inventory of `inventories`, 0: none) answered, or
// what did; `m`'s counts then follow it: the holder is connected and the
// others of its block are not, and a block an unknown key answers for has
// none connected.
void name_holders(const plan &p, const fleet &inventories, const growing_array<uint32_t> &key_columns,
                  const keys_seen &seen, int32_t ssh_port_num, bool all, port_holders &h,
                  socket_match &m);

// A host key to write into the inventory: the key seen (in `seen.texts`)
// and the record of the device it is learnt for.
struct learned_key {
    uint64_t offset;
    size_t text, size;
};

// For each block of one device without a host key whose port answered
// (`h`, not_told): the key that answered, the first of its types in
// Ed25519, ECDSA, RSA. (Only that device's key may listen there.) By record.
void keys_to_learn(const port_holders &h, const keys_seen &seen,
                   growing_array<learned_key> &learned);

} // namespace portslot::audit

#endif
