// portslot: prints the fixed port that a device's MAC address gives it out of
// a port range, or a report of the parameters when they give none.

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <portslot/port_derivation.h>

#include "options.h"
#include "report.h"

namespace {

// Flushes and closes standard output and reports a failed write: a port that
// never reached the caller must not look like success.
bool close_stdout()
{
    const bool flushed = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
    const int flush_error = errno;
    const bool closed = std::fclose(stdout) == 0;
    if (flushed && closed)
        return true;
    std::fprintf(stderr, "portslot: write error: %s\n",
                 std::strerror(flushed ? errno : flush_error));
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    // A buffer of its own keeps stdio from allocating one; it lives until
    // close_stdout, which runs before main returns.
    char buffer[256];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);

    const portslot::port_options options = portslot::getopt(argc, argv);
    const std::int32_t port =
        portslot::compute_port(options.mac_address, options.port_min, options.port_max,
                               options.port_count, options.port_num);
    if (port >= 0)
        std::printf("%d", port);
    else
        portslot::print_options(options);

    if (!close_stdout())
        return -1;
    return port >= 0 ? 0 : -1;
}
