// The names the devices are reached by through ssh: one Host alias each,
// taken from the device's label where it can be one, else made from its
// address; no two alike without case (they are written in lower case, as
// ssh lowers the name typed and matches a Host pattern as it is written).
#ifndef PORTSLOT_AUDIT_HOST_ALIASES_H
#define PORTSLOT_AUDIT_HOST_ALIASES_H

#include <stddef.h>
#include <stdint.h>

#include "growing_array.h"
#include "jump_hosts.h"

namespace portslot::audit {

// A device, and the word of its label it would be called by (none when
// `word_size` is 0): whether it can be an alias, and if so its hash.
struct host_candidate {
    uint64_t offset; // of its record: the earlier in the files keeps a word
    const char *word;
    size_t word_size;
    uint64_t hash;
    bool usable;
    bool jump_host; // not usable: its word names a host the fragment goes through
    bool dotted;    // its word holds a dot
    bool upper;     // and a capital letter
};

// The candidate of the device at `offset` whose label (or field) is the
// `size` bytes at `text`: its first word (blanks skipped before it; it ends
// at a blank or a control byte), read once; within `limits` if given.
struct alias_limits;
host_candidate candidate_of(uint64_t offset, const char *text, size_t size,
                            const alias_limits *limits = nullptr);

// What an alias must also keep off, where ssh would take it for another
// host: a name with a dot, which may be a real host's ("github.com"), but
// one ending in ".DOMAIN" where the administrator gives `domain`; and the
// hosts the fragment goes through (the hosts of `jumps`, --jump's list).
// Both without case; either may be null.
struct alias_limits {
    const char *domain; // (null: none)
    size_t domain_size;
    const jump_part *jumps; // read once (read_jump), for every device
    size_t jump_count;
    uint64_t jump_sizes; // bit N - 1 set for a jump host of N bytes (1 to 64)
};

// `c` kept usable only within `limits`; a word that names a jump host is
// marked so. (candidate_of does it, given them.)
void limit_candidate(host_candidate &c, const alias_limits &limits);

// The alias a device gets.
enum class alias_from : unsigned char {
    label,         // its word
    address,       // no word, or one that cannot be an alias
    address_taken, // its word is an earlier device's alias
    jump_host,     // its word names a host the fragment goes through
};
struct host_alias {
    alias_from from;
    size_t holder; // address_taken: the candidate that has the word
};

// Whether `size` bytes at `word` can be a Host alias that names one device
// and nothing else: 1 to 64 ASCII letters, digits, '.', '_', '+' and '-',
// not starting with '-' or '.' (ssh would take an option or a relative
// name), and not a name the host already means: "localhost", digits and dots
// (an IPv4 address), or 12 hexadecimal digits (an alias made from an address).
bool usable_alias(const char *word, size_t size);

// The alias of each of `devices` (in any order): its word where it is
// usable and no device earlier in the files has it (letters
// compared without case); else one made from its address, which no word can
// be. Returns how many gave their word way to an earlier device or to a
// jump host.
size_t choose_aliases(const growing_array<host_candidate> &devices,
                      growing_array<host_alias> &aliases);

} // namespace portslot::audit

#endif
