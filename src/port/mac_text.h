// The library's own helpers for MAC texts, used by the derivation and its
// tests; not part of the installed interface.
#ifndef PORTSLOT_MAC_TEXT_H
#define PORTSLOT_MAC_TEXT_H

#include <stdint.h>

namespace portslot {

// Copies `src` to `dst` without any byte equal to `ch`, terminates `dst` and
// returns it. `dst` must hold the length of `src` plus one.
char *remove_char(char *dst, const char *src, char ch);

// The key of a colon-free MAC text: the number that strtoul reads in base 16
// from the seventh character on. A text shorter than that (or null) gives 0.
uint64_t mac_tail_value(const char *text);

} // namespace portslot

#endif
