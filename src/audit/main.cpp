// portslot-audit: finds the devices of an inventory that portslot would give
// the same ports, before they are deployed.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include <portslot/port_derivation.h>

#include "audit_options.h"
#include "inventory.h"
#include "port_plan.h"

namespace {

using namespace portslot::audit;

constexpr const char program[] = "portslot-audit";

// Reads one inventory and adds its devices; false when anything in it went
// wrong (the rest of it is still audited).
bool audit_file(const std::string &name, const port_range &range, std::deque<std::string> &texts,
                std::vector<device> &devices)
{
    const bool is_stdin = name == "-";
    const int fd = is_stdin ? 0 : open(name.c_str(), O_RDONLY | O_CLOEXEC);
    std::string &text = texts.emplace_back();
    const int error = fd < 0 ? errno : read_all(fd, text);
    if (!is_stdin && fd >= 0)
        close(fd);
    if (error != 0) {
        std::fprintf(stderr, "%s: %s: %s\n", program, name.c_str(), std::strerror(error));
        return false;
    }

    bool ok = true;
    for_each_entry(text, [&](const inventory_entry &entry) {
        // A NUL byte in the address could never reach portslot as an argument.
        std::int32_t first = -1;
        if (std::strlen(entry.mac) == entry.mac_size)
            first = portslot::compute_port(entry.mac, range.port_min, range.port_max,
                                           range.port_count, 1);
        if (first >= 0) {
            devices.push_back(device{first, entry.mac, entry.label});
            return;
        }
        ok = false;
        std::fprintf(stderr, "%s:%llu: no port for \"", name.c_str(),
                     static_cast<unsigned long long>(entry.line));
        std::fwrite(entry.mac, 1, entry.mac_size, stderr);
        std::fputs("\"\n", stderr);
    });
    return ok;
}

int fail(const std::string &message)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program,
                 message.c_str(), program);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    const parsed_command command =
        parse_command(std::vector<std::string>(argv + (argc > 0), argv + argc));
    switch (command.action) {
    case parsed_command::help:
        std::fputs(usage_text, stdout);
        return std::fflush(stdout) == 0 ? 0 : 2;
    case parsed_command::version:
        std::printf("%s %s\n", program, PORTSLOT_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 2;
    case parsed_command::error:
        return fail(command.message);
    case parsed_command::run:
        break;
    }

    const audit_options &options = command.options;
    const port_range range{options.port_min, options.port_max, options.port_count};
    if (range.port_count < 1)
        return fail("--port-count must be at least 1, not " + std::to_string(range.port_count));
    const std::int64_t blocks =
        portslot::port_block_count(range.port_min, range.port_max, range.port_count);
    if (blocks == 0)
        return fail("the range " + std::to_string(range.port_min) + " to " +
                    std::to_string(range.port_max) + " holds no whole block of " +
                    std::to_string(range.port_count) + " even ports");

    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);

    std::deque<std::string> texts; // the inventories, which the devices point into
    std::vector<device> devices;
    bool ok = true;
    for (const std::string &name : options.files)
        ok = audit_file(name, range, texts, devices) && ok;

    const plan_summary summary = write_plan(devices, range, options.all, stdout);
    write_summary(summary, blocks, stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: write error: %s\n", program, std::strerror(errno));
        return 2;
    }
    if (!ok)
        return 2;
    return summary.shared_blocks > 0 ? 1 : 0;
}
