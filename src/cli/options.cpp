#include "options.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace portslot {

namespace {

// atoi's reading (white space, one sign, digits up to the first other byte,
// no digits gives 0), but a value past the 32-bit range saturates instead of
// being undefined.
std::int32_t read_number(const char *text)
{
    const long value = std::strtol(text, nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

} // namespace

port_options getopt(int argc, const char *const *argv)
{
    port_options options{};
    options.port_min = 40000;
    options.port_max = 41000;
    options.port_count = 2;
    options.port_num = -1;

    // Matched in this order; each takes the next argument as its value.
    struct option {
        const char *name;
        std::int32_t port_options::*field;
    };
    const option table[] = {
        {"--port-min", &port_options::port_min},
        {"--port-max", &port_options::port_max},
        {"--port-count", &port_options::port_count},
        {"--port-num", &port_options::port_num},
    };

    for (int i = 0; i < argc; ++i) {
        const char *arg = argv[i];
        const option *match = nullptr;
        for (const option &candidate : table)
            if (std::strcmp(arg, candidate.name) == 0) {
                match = &candidate;
                break;
            }
        if (match == nullptr) {
            options.mac_address = arg;
            continue;
        }
        // An option with no value left keeps its field as it was.
        if (++i >= argc)
            break;
        options.*(match->field) = read_number(argv[i]);
    }
    return options;
}

} // namespace portslot
