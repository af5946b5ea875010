// The parameter report printed when a request gives no port.
#ifndef PORTSLOT_REPORT_H
#define PORTSLOT_REPORT_H

#include "options.h"
#include "output.h"

namespace portslot {

// Writes the five "name = value" lines of `options` to `out`: the values as
// the scanner left them, not rounded; a missing MAC text shows as
// the empty text.
void print_options(port_options options, output &out);

} // namespace portslot

#endif
