// portslot-audit: finds the devices of an inventory that portslot would give
// the same ports, before they are deployed.
//
// A run goes through its stages in order, as audit() reads. What ends a run
// early (memory running out, inventories too large, a file changed while it
// is read) ends it where it is found, through fatal(): the stages themselves
// only do their work.

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <portslot/port_derivation.h>

#include "audit_options.h"
#include "authorized_keys.h"
#include "block_sort.h"
#include "duplicate_report.h"
#include "ephemeral_warning.h"
#include "fatal.h"
#include "fleet_loading.h"
#include "kernel_ports.h"
#include "label_columns.h"
#include "listed_twice.h"
#include "memory.h"
#include "metrics.h"
#include "output.h"
#include "plan.h"
#include "plan_notes.h"
#include "plan_printer.h"
#include "port_query.h"
#include "replaced_file.h"
#include "socket_match.h"
#include "socket_table.h"
#include "ssh_config.h"
#include "suggest.h"

namespace {

using namespace portslot::audit;
using portslot::output;

// Diagnostics and the plan are buffered; diagnostics are flushed before
// anything that may wait (a read from a pipe, writing the plan) and at exit.
char err_buffer[1 << 16];
char out_buffer[1 << 18];

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

// Writes what is buffered for standard output; 0, or 2 after saying why not.
int finish_output(output &out, output &err)
{
    if (out.flush())
        return 0;
    warn(err, "write error: ");
    err.text(strerror(out.error()));
    err.text("\n");
    return 2;
}

// 2 when the audit is incomplete: a line gave no port, a file could not be
// read, the plan or a diagnostic could not be written. Else 1 when devices
// share a block (or a port asked is not held), and 0 when none do.
int exit_status(bool complete, bool shared, output &out, output &err)
{
    const int status = finish_output(out, err);
    // Standard output does not depend on standard error, but a diagnostic
    // that could not be written fails the run.
    const bool diagnostics_written = err.flush();
    return status != 0 || !complete || !diagnostics_written ? 2 : shared ? 1 : 0;
}

// Where the addresses are, from the options.
fleet_source source_of(const audit_options &options)
{
    fleet_source source{.files = options.files,
                        .file_count = options.file_count,
                        .format = {},
                        .field_name = options.field_name};
    record_format &format = source.format;
    format.field = options.field; // (0: not given)
    format.delimiter = options.delimiter;
    if (options.csv) {
        format.kind = record_format::csv;
        format.delimiter = options.delimiter != 0 ? options.delimiter : ',';
        return source;
    }
    format.field = format.field != 0 ? format.field : 1;
    if (format.field != 1 || format.delimiter != 0)
        format.kind = record_format::fields;
    return source;
}

// Keeps one entry of each device listed twice, and reports the others.
void report_listed_twice(growing_array<uint64_t> &devices, const fleet &inventories,
                         kept_entry keep, output &err)
{
    growing_array<duplicate> duplicates;
    drop_listed_twice(devices, inventories, keep, duplicates);
    write_duplicates(duplicates, inventories, err);
}

// --listening: the TCP ports that listen, from the table named or from this
// host, where the ports the kernel may give away are warned about too, and
// counted in `exposed` (else it is -1). False when a table could not be
// read whole.
bool read_listening(const audit_options &options, const port_range &range, port_set &listening,
                    int64_t &exposed, output &err)
{
    exposed = -1;
    if (options.sockets != nullptr)
        return read_socket_table(options.sockets, listening, err);
    // (Tests name another /proc.)
    const char *proc = getenv("PORTSLOT_AUDIT_PROC");
    proc = proc != nullptr ? proc : "/proc";
    ephemeral_ports kernel;
    if (read_ephemeral_ports(proc, kernel)) {
        warn_ephemeral_overlap(range, kernel, err);
        exposed = exposed_port_count(range, kernel);
    }
    return read_host_sockets(proc, listening, err);
}

// --metrics: the plan beside the sockets, in place of the file named, whole;
// false after saying why not (the file is then as it was).
bool replace_metrics(const char *path, const plan &p, const fleet &inventories, int64_t exposed,
                     output &err)
{
    const int error = replace_file(
        path, [&](output &file) { write_metrics(p, inventories, exposed, file); });
    if (error != 0)
        warn_errno(err, path, error);
    return error == 0;
}

// The tunnel account's authorized_keys, for every device of `loaded`; a
// block shared is said on standard error, as its devices' keys may listen
// on each other's ports.
int write_keys(loaded_fleet &loaded, const key_field &keys, const port_range &range, output &out,
               output &err)
{
    const fleet inventories = loaded.view();
    const plan p = make_plan(loaded.devices, range, rows_of::every_device);
    err.flush();
    const bool keys_read = write_authorized_keys(p, inventories, keys, out, err);
    check_unchanged(loaded);
    return exit_status(loaded.complete && keys_read, p.summary.shared_blocks > 0, out, err);
}

// --ssh-config: a Host block for every device of `loaded`.
int write_hosts(const audit_options &options, loaded_fleet &loaded, const port_range &range,
                output &out, output &err)
{
    const plan p = make_plan(loaded.devices, range, rows_of::every_device);
    const ssh_config_options how{options.alias_field, options.alias_field_name,
                                 options.ssh_port_num,
                                 options.jump};
    const bool written = write_ssh_config(p, loaded.view(), how, out, err);
    check_unchanged(loaded);
    return exit_status(loaded.complete && written, p.summary.shared_blocks > 0, out, err);
}

// Every inventory taken in, each device given its block in `range`; the
// devices in block order, each listed once.
void load_in_block_order(const audit_options &options, const port_range &range,
                         loaded_fleet &loaded, output &err)
{
    load_fleet(source_of(options), range, loaded, err);
    for (size_t i = 0; i < loaded.count && options.dropped_count > 0; ++i)
        find_dropped_columns(loaded.files[i], options.dropped_columns, options.dropped_count);
    sort_by_block(loaded.devices);
    report_listed_twice(loaded.devices, loaded.view(),
                        options.keep_last ? kept_entry::last : kept_entry::first, err);
}

// --suggest's range, its devices placed in it; what it cannot separate and,
// on a terminal, how far its search has come, said on `err`.
port_range suggest(growing_array<uint64_t> &devices, const fleet &inventories,
                   const port_range &range, int64_t blocks, output &err)
{
    terminal_progress progress(err, range);
    inseparable_groups inseparable;
    const port_range found = suggest_range(devices, inventories, range, blocks,
                                           progress_on_terminal(progress), inseparable);
    write_unavoidable_sharing(inseparable, inventories, range.port_max, err);
    return found;
}

// --port: keeps the devices that hold the ports asked, and says which no
// device holds; true when every one is held.
bool keep_holders(const audit_options &options, growing_array<uint64_t> &devices,
                  const port_range &range, int64_t blocks, output &err)
{
    growing_array<port_miss> misses;
    keep_port_holders(devices, options.ports, options.port_queries, range, blocks, misses);
    write_port_misses(misses, range, err);
    return misses.size == 0;
}

// The blocks of the range the devices take them in; 0 after saying why it
// cannot be used (for keys, also a range that gives no port a key can
// listen on).
int64_t blocks_to_audit(const audit_options &options, const port_range &range, output &err)
{
    int64_t blocks = usable_blocks(range, err);
    const bool keys_wanted = options.key_field != 0 || options.key_field_name != nullptr;
    if (blocks != 0 && keys_wanted &&
        !range_fits_port_numbers(range, blocks, "--authorized-keys", "no key can listen on", err))
        return 0;
    if (blocks != 0 && options.ssh_config) {
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

int audit(const audit_options &options, output &out, output &err)
{
    const port_range range{options.port_min, options.port_max, options.port_count};
    const int64_t blocks = blocks_to_audit(options, range, err);
    if (blocks == 0) {
        err.flush();
        return 2;
    }
    const bool keys_wanted = options.key_field != 0 || options.key_field_name != nullptr;
    // How the plan will be written, chosen once.
    const plan_printer &writer = options.json ? json_printer : text_printer;

    loaded_fleet loaded;
    load_in_block_order(options, range, loaded, err);
    const fleet inventories = loaded.view();

    // --suggest: the range with the least sharing, and the devices' blocks in it.
    port_range placed_in = range;
    if (options.suggest) {
        placed_in = suggest(loaded.devices, inventories, range, blocks, err);
        writer.range(placed_in, out);
    }

    // --port: only the devices that hold the ports asked.
    const bool queries = options.port_queries > 0;
    const bool all_held = !queries || keep_holders(options, loaded.devices, range, blocks, err);

    // --listening: the devices beside the sockets that listen.
    port_set listening;
    socket_match sockets{listening, 0, 0, 0, {}};
    bool sockets_read = true;
    int64_t exposed = -1;
    if (options.listening) {
        sockets_read = read_listening(options, range, listening, exposed, err);
        match_sockets(loaded.devices, range, sockets);
    }

    // --authorized-keys: a line for each device, and nothing else on the output.
    if (keys_wanted)
        return write_keys(loaded, {options.key_field, options.key_field_name}, range, out, err);
    // --ssh-config: a Host block for each device, and nothing else.
    if (options.ssh_config)
        return write_hosts(options, loaded, range, out, err);

    // The plan, and its rows.
    err.flush(); // before the rows, which may wait for their reader
    const bool every_device = options.all || queries || options.listening;
    const plan p = make_plan(loaded.devices, placed_in,
                             every_device ? rows_of::every_device : rows_of::shared_blocks,
                             options.listening ? &sockets : nullptr);
    writer.rows(p, inventories, rows_place{out, isatty(1) == 1});

    // --metrics: the same, for a collector, if the sockets were read whole.
    bool metrics_written = true;
    if (options.metrics != nullptr)
        metrics_written =
            sockets_read && replace_metrics(options.metrics, p, inventories, exposed, err);

    // Every record the rows needed has been read: none may have changed.
    check_unchanged(loaded);

    // The summary (but for --port, which asks about ports, not the fleet).
    if (!queries)
        writer.summary(p.summary, out);
    const bool needs_care = p.summary.shared_blocks > 0 || !all_held || p.summary.unheld_ports > 0;
    return exit_status(loaded.complete && sockets_read && metrics_written, needs_care, out, err);
}

// What the command line asks for, done; its exit status.
int run_command(const parsed_command &command, output &out, output &err)
{
    switch (command.action) {
    case parsed_command::help:
        out.text(usage_text);
        break;
    case parsed_command::version:
        out.text("portslot-audit " PORTSLOT_VERSION "\n");
        break;
    case parsed_command::error:
        write_command_error(command, err);
        err.flush();
        return 2;
    case parsed_command::run:
        return audit(command.options, out, err);
    }
    const int status = finish_output(out, err);
    err.flush();
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    output out(1, out_buffer, sizeof out_buffer);
    output err(2, err_buffer, sizeof err_buffer);
    report_fatal_to(err);
    keep_output_on_fatal(out);
    // The names of the files take the places of the arguments, which they
    // never outnumber; the vector's closing null gives room for "-". The
    // ports asked for are fewer still.
    char **args = argv + (argc > 0);
    const int count = argc > 0 ? argc - 1 : 0;
    auto *ports =
        static_cast<int32_t *>(allocate_zeroed(static_cast<size_t>(count) + 1, sizeof(int32_t)));
    const int status =
        run_command(parse_command(count, args, const_cast<const char **>(args), ports), out, err);
    free(ports);
    return status;
}
