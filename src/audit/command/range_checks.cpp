#include "range_checks.h"

#include <portslot/port_derivation.h>

#include "block_of_address.h"
#include "command_errors.h"
#include "fatal.h"

namespace portslot::audit {

namespace {

// The number of blocks `range` holds; 0 after saying why it cannot be used.
int64_t usable_blocks(const port_range &range, output &err)
{
    if (range.port_count < 1) {
        warn(err, "--port-count must be at least 1, not ");
        err.number(range.port_count);
        return 0;
    }
    // A port below 0 is never usable: refuse a range that would hand one out.
    if (range.port_min < -1) {
        warn(err, "--port-min ");
        err.number(range.port_min);
        err.text(" gives ports below 0, which are never usable");
        return 0;
    }
    const int64_t blocks =
        portslot::port_block_count(range.port_min, range.port_max, range.port_count);
    if (blocks == 0) {
        warn(err, "the range ");
        err.number(range.port_min);
        err.text(" to ");
        err.number(range.port_max);
        err.text(" holds no whole block of ");
        err.number(range.port_count);
        err.text(range.port_count == 1 ? " even port" : " even ports");
    }
    return blocks;
}


// True when every port `range` can give (its `blocks` whole blocks) is a
// port number, 1 to 65535; else false after saying that `option`'s range
// gives ports which `what` ("no key can listen on").
bool range_fits_port_numbers(const port_range &range, int64_t blocks, const char *option,
                             const char *what, output &err)
{
    const int64_t first = first_even_port(range.port_min);
    const int64_t last = first + 2 * (blocks * range.port_count - 1);
    if (first >= 1 && last <= 65535)
        return true;
    warn(err, option);
    err.text(": the range gives ");
    if (first < 1) {
        err.text("port 0");
    } else {
        err.text("ports up to ");
        err.number(last);
    }
    err.text(", which ");
    err.text(what);
    err.text("; choose a range within 2 to 65534\n");
    return false;
}

} // namespace

int64_t blocks_to_audit(const audit_options &options, const port_range &range, output &err)
{
    int64_t blocks = usable_blocks(range, err);
    const bool keys_wanted = options.key_field != 0 || options.key_field_name != nullptr;
    if (blocks != 0 && keys_wanted &&
        !range_fits_port_numbers(range, blocks, "--authorized-keys", "no key can listen on", err))
        return 0;
    if (blocks != 0 && (options.ssh_config || options.identify)) {
        const int32_t n = options.ssh_port_num;
        if (n < 1 || n > range.port_count) {
            warn(err, "--ssh-port-num ");
            err.number(n);
            err.text(": a block holds ports 1 to ");
            err.number(range.port_count);
            blocks = 0;
        } else if (!range_fits_port_numbers(range, blocks, "--ssh-config", "ssh cannot reach",
                                            err)) {
            return 0;
        }
    }
    if (blocks == 0)
        write_try_help(err);
    return blocks;
}

} // namespace portslot::audit
