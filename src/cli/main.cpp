// portslot: prints the fixed port that a device's MAC address gives it out of
// a port range, or a report of the parameters when they give none.

#include <string.h>

#include <portslot/port_derivation.h>

#include "options.h"
#include "output.h"
#include "report.h"

namespace {

// A port that never reached the caller must not look like success.
void report_write_error(int error)
{
    portslot::output err(2);
    err.text("portslot: write error: ");
    err.text(strerror(error));
    err.text("\n");
    err.flush();
}

} // namespace

int main(int argc, char **argv)
{
    const portslot::port_options options = portslot::getopt(argc, argv);
    const int32_t port =
        portslot::compute_port(options.mac_address, options.port_min, options.port_max,
                               options.port_count, options.port_num);

    portslot::output out(1);
    if (port >= 0)
        out.number(port);
    else
        portslot::print_options(options, out);
    if (!out.flush()) {
        report_write_error(out.error());
        return -1;
    }
    return port >= 0 ? 0 : -1;
}
