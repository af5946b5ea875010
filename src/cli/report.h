// The parameter report printed when a request gives no port.
#ifndef PORTSLOT_REPORT_H
#define PORTSLOT_REPORT_H

#include <cstdio>

#include "options.h"

namespace portslot {

// Writes the five "name = value" lines of `options` to `out`: the values as
// the scanner left them, not rounded.
void print_options(port_options options, std::FILE *out = stdout);

} // namespace portslot

#endif
