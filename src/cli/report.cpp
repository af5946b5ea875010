#include "report.h"

namespace portslot {

void print_options(port_options options, std::FILE *out)
{
    std::fprintf(out, "port_min    = %d\n", options.port_min);
    std::fprintf(out, "port_max    = %d\n", options.port_max);
    std::fprintf(out, "port_count  = %d\n", options.port_count);
    std::fprintf(out, "port_num    = %d\n", options.port_num);
    std::fprintf(out, "mac_address = %s\n",
                 options.mac_address != nullptr ? options.mac_address : "(null)");
}

} // namespace portslot
