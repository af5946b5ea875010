#include "options.h"

#include "number_reading.h"

namespace portslot {

namespace {

// Byte-exact comparison of two whole texts, as strcmp(a, b) == 0 (a loop of
// its own: the tool calls as few C library functions as it can).
bool same_text(const char *a, const char *b)
{
    for (; *a == *b; ++a, ++b)
        if (*a == '\0')
            return true;
    return false;
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
        int32_t port_options::*field;
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
            if (same_text(arg, candidate.name)) {
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
        options.*(match->field) = read_decimal(argv[i]);
    }
    return options;
}

} // namespace portslot
