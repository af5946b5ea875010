#include "report.h"

namespace portslot {

void print_options(port_options options, output &out)
{
    // Each label is the field's name padded to 12 characters, so that the
    // equals signs line up.
    const struct {
        const char *label;
        int32_t value;
    } numbers[] = {
        {"port_min    = ", options.port_min},
        {"port_max    = ", options.port_max},
        {"port_count  = ", options.port_count},
        {"port_num    = ", options.port_num},
    };
    for (const auto &line : numbers) {
        out.text(line.label);
        out.number(line.value);
        out.text("\n");
    }
    out.text("mac_address = ");
    // No MAC text at all (every argument an option, or none: the kernel
    // then gives an empty one) is shown as the empty text in both cases.
    out.text(options.mac_address != nullptr ? options.mac_address : "");
    out.text("\n");
}

} // namespace portslot
