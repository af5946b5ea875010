// portslot-audit: finds the devices of an inventory that portslot would give
// the same ports, before they are deployed.
//
// A run goes through its stages in order, as audit() reads. What ends a run
// early (memory running out, inventories too large, a file changed while it
// is read) ends it where it is found, through fatal(): the stages themselves
// only do their work.

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <portslot/port_derivation.h>

#include "audit_options.h"
#include "audit_usage.h"
#include "authorized_keys.h"
#include "block_sort.h"
#include "command_errors.h"
#include "duplicate_report.h"
#include "ephemeral_warning.h"
#include "fatal.h"
#include "fleet.h"
#include "host_key.h"
#include "kernel_ports.h"
#include "keys_seen.h"
#include "known_hosts.h"
#include "learned_inventory.h"
#include "label_columns.h"
#include "listed_twice.h"
#include "memory.h"
#include "metrics.h"
#include "output.h"
#include "placed_inventory.h"
#include "plan.h"
#include "plan_notes.h"
#include "plan_printer.h"
#include "port_holders.h"
#include "port_query.h"
#include "range_assignment.h"
#include "range_checks.h"
#include "replaced_file.h"
#include "shown_text.h"
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

// Keeps one entry of each device listed twice, and reports the others.
void report_listed_twice(growing_array<uint64_t> &devices, const fleet &inventories,
                         kept_entry keep, output &err)
{
    growing_array<duplicate> duplicates;
    drop_listed_twice(devices, inventories, keep, duplicates);
    write_duplicates(duplicates, inventories, err);
}

// --listening: the TCP ports that listen, from the table named or from this
// host (whose ports the kernel may give away are warned about too, and
// counted in `exposed`), and the devices beside them.
struct sockets_view {
    port_set listening;
    socket_match match{listening, 0, 0, 0, {}, nullptr, 0};
    keys_seen seen;        // --identify: the host keys that answered
    port_holders holders;  // and the devices they name
    bool read_whole = true; // false when a table could not be read whole
    int64_t exposed = -1;   // -1: not known (a table saved on another host)
};

// (Its tables, 75 KB, are kept off the stack: a stack that cannot grow is a
// crash. One run of the audit a process.)
sockets_view listening_sockets;

void read_listening(const audit_options &options, const port_range &range,
                    const loaded_fleet &loaded, sockets_view &sockets, output &err)
{
    const fleet_ranges *ranges = &loaded.ranges;
    if (options.sockets != nullptr) {
        sockets.read_whole = read_socket_table(options.sockets, sockets.listening, err);
    } else {
        // (Tests name another /proc.)
        const char *proc = getenv("PORTSLOT_AUDIT_PROC");
        proc = proc != nullptr ? proc : "/proc";
        ephemeral_ports kernel;
        if (read_ephemeral_ports(proc, kernel)) {
            // (Where devices are placed in ranges of their own: the ports
            // from the lowest range's to the highest's.)
            const port_range watched = span_of_ranges(loaded.ranges);
            warn_ephemeral_overlap(watched, kernel, err);
            sockets.exposed = exposed_port_count(watched, kernel);
        }
        sockets.read_whole = read_host_sockets(proc, sockets.listening, err);
    }
    match_sockets(loaded.devices, range, ranges, sockets.match);
}

// How long ssh-keyscan waits for a port's answer.
constexpr int scan_seconds = 5;

// --identify, --keys-seen: the host key that answers on each block's SSH
// port, and the device it names; `sockets` then counts the holders.
void identify_holders(const audit_options &options, const port_range &range,
                      const loaded_fleet &loaded, sockets_view &sockets, output &err)
{
    const fleet inventories = loaded.view();
    growing_array<uint32_t> columns;
    bool ok = true;
    if (options.learn) // (it appends the column where the inventory lacks it)
        columns.push(host_key_column(inventories.files[0], options.host_key_field,
                                     options.host_key_field_name));
    else
        ok = find_host_key_columns(
            inventories, {options.host_key_field, options.host_key_field_name}, columns, err);
    const bool all = options.identify_all || options.keys_seen != nullptr || options.learn;
    if (options.keys_seen != nullptr) {
        ok = read_keys_file(options.keys_seen, sockets.seen, err) && ok;
    } else {
        growing_array<int32_t> ports;
        ports_to_ask(loaded.devices, sockets.listening, options.ssh_port_num, all, ports);
        err.flush(); // (the scans take seconds)
        ok = scan_host_keys("ssh-keyscan", ports.items, ports.size, scan_seconds, sockets.seen,
                            err) && ok;
    }
    sort_keys_seen(sockets.seen);
    const plan p = make_plan(loaded.devices, range, rows_of::every_device, nullptr, &loaded.ranges);
    name_holders(p, inventories, columns, sockets.seen, options.ssh_port_num, all,
                 sockets.holders, sockets.match);
    sockets.match.holders = &sockets.holders;
    sockets.read_whole = sockets.read_whole && ok;
}

// True when `error` (of replace_file) is 0; else says why `path` is as it was.
bool replaced(const char *path, int error, output &err)
{
    if (error != 0)
        warn_errno(err, path, error);
    return error == 0;
}

// --learn: the host key that answered for each device alone in its block
// that has none, written into its inventory, replaced whole (its mode and
// owner kept): trust on first sight, from the server's side, where only
// that device's key may listen. False after saying why the inventory could
// not be replaced (it is then as it was).
bool learn_host_keys(const audit_options &options, const loaded_fleet &loaded,
                     const sockets_view &sockets, output &err)
{
    growing_array<learned_key> learned;
    keys_to_learn(sockets.holders, sockets.seen, learned);
    const fleet inventories = loaded.view();
    const inventory &inv = inventories.files[0];
    const char *const path = options.files[0];
    bool written = true;
    if (learned.size > 0) {
        const uint32_t column =
            host_key_column(inv, options.host_key_field, options.host_key_field_name);
        const char *const name =
            options.host_key_field_name != nullptr ? options.host_key_field_name : "host_key";
        // (A link's file is replaced, not the link.)
        char *const real = realpath(path, nullptr);
        const int error = replace_file(
            real != nullptr ? real : path,
            [&](output &file) {
                write_learned_inventory(inv, inventories.bases[0], column, name, learned,
                                        sockets.seen.texts.items, file);
                check_unchanged(loaded);
            },
            true);
        free(real);
        written = replaced(path, error, err);
    }
    if (written) {
        warn(err);
        err.number(static_cast<int64_t>(learned.size));
        err.text(learned.size == 1 ? " host key learnt into " : " host keys learnt into ");
        write_name(err, path);
        err.text(learned.size == 0 ? "\n"
                                   : ": what answered on the port of a block whose one device"
                                     " had none (trusted on first sight)\n");
    }
    return written;
}

// --metrics: the plan beside the sockets, in place of the file named, whole;
// false after saying why not (the file is then as it was). An inventory
// changed while it was written ends the run before the file is replaced.
bool replace_metrics(const char *path, const plan &p, const loaded_fleet &loaded,
                     int64_t exposed, output &err)
{
    return replaced(path,
                    replace_file(path,
                                 [&](output &file) {
                                     write_metrics(p, loaded.view(), {exposed, loaded.refused}, file);
                                     check_unchanged(loaded);
                                 }),
                    err);
}

// The tunnel account's authorized_keys, for every device of `loaded`; a
// block shared is said on standard error, as its devices' keys may listen
// on each other's ports.
int write_keys(loaded_fleet &loaded, const key_field &keys, const port_range &range, output &out,
               output &err)
{
    const fleet inventories = loaded.view();
    const plan p = make_plan(loaded.devices, range, rows_of::every_device, nullptr, &loaded.ranges);
    err.flush();
    const bool keys_read = write_authorized_keys(p, inventories, keys, out, err);
    check_unchanged(loaded);
    return exit_status(loaded.complete && keys_read, p.summary.shared_blocks > 0, out, err);
}

// --known-hosts: a line for every device of `loaded` that has a host key.
int write_host_keys(const audit_options &options, loaded_fleet &loaded, const port_range &range,
                    output &out, output &err)
{
    const plan p = make_plan(loaded.devices, range, rows_of::every_device, nullptr, &loaded.ranges);
    err.flush();
    const host_key_choice where{options.host_key_field, options.host_key_field_name};
    const bool keys_read = write_known_hosts(p, loaded.view(), where, out, err);
    check_unchanged(loaded);
    return exit_status(loaded.complete && keys_read, p.summary.shared_blocks > 0, out, err);
}

// --ssh-config: a Host block for every device of `loaded`.
int write_hosts(const audit_options &options, loaded_fleet &loaded, const port_range &range,
                output &out, output &err)
{
    const plan p = make_plan(loaded.devices, range, rows_of::every_device, nullptr, &loaded.ranges);
    const ssh_config_options how{options.alias_field, options.alias_field_name,
                                 options.ssh_port_num,
                                 options.jump, options.alias_domain,
                                 options.jump_user, &loaded.ranges,
                                 options.host_key_field, options.host_key_field_name,
                                 options.known_hosts_file};
    const bool written = write_ssh_config(p, loaded.view(), how, out, err);
    check_unchanged(loaded);
    return exit_status(loaded.complete && written, p.summary.shared_blocks > 0, out, err);
}

// --place: the inventory written back with every new device's range (and
// server), and where the devices went said on standard error.
int place(const audit_options &options, loaded_fleet &loaded, const port_range &range,
          output &out, output &err)
{
    const fleet inventories = loaded.view();
    const placement_request request{range, options.overflow, options.overflow_count,
                                    loaded.ranges.given_servers};
    range_assignment a;
    if (!assign_ranges(loaded.devices, inventories, request, a, err)) {
        err.flush();
        return 2;
    }
    write_placed_inventory(inventories, a, options.server_count > 0, out, err);
    check_unchanged(loaded);
    write_placement_summary(inventories, a, err);
    return exit_status(loaded.complete, a.nowhere > 0, out, err);
}

// --server (but --place): the devices of the last server named only, this
// server's (an empty server field is the first named's).
void keep_server(const audit_options &options, loaded_fleet &loaded)
{
    const char *name = options.servers[options.server_count - 1];
    const uint64_t server = static_cast<uint64_t>(server_index(loaded.ranges, name, strlen(name)));
    size_t kept = 0;
    for (size_t i = 0; i < loaded.devices.size; ++i)
        if (server_of(loaded.devices.items[i]) == server)
            loaded.devices.items[kept++] = loaded.devices.items[i];
    loaded.devices.size = kept;
}

// True when a device of `loaded` is placed in a range or on a server other
// than the command line's.
bool any_device_placed(const loaded_fleet &loaded)
{
    const block_layout *fleet = loaded.ranges.layouts.items;
    for (size_t i = 0; i < loaded.devices.size; ++i) {
        const uint64_t d = loaded.devices.items[i];
        if (server_of(d) != 0 || &loaded.ranges.layout_of(first_port_of(d)) != fleet)
            return true;
    }
    return false;
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
bool keep_holders(const audit_options &options, loaded_fleet &loaded, const port_range &range,
                  int64_t blocks, output &err)
{
    growing_array<port_miss> misses;
    keep_port_holders(loaded.devices, options.ports, options.port_queries, range, blocks, misses,
                      &loaded.ranges);
    write_port_misses(misses, range, err);
    return misses.size == 0;
}

// The plan of `loaded` in `range` (beside the sockets where they were
// read), written with its rows and its summary; --metrics beside it.
int write_plan(const audit_options &options, const plan_printer &writer, loaded_fleet &loaded,
               const port_range &range, const sockets_view *sockets, bool all_held, output &out,
               output &err)
{
    const fleet inventories = loaded.view();
    const bool queries = options.port_queries > 0;
    err.flush(); // before the rows, which may wait for their reader
    const bool every_device = options.all || queries || sockets != nullptr;
    const plan p = make_plan(loaded.devices, range,
                             every_device ? rows_of::every_device : rows_of::shared_blocks,
                             sockets != nullptr ? &sockets->match : nullptr, &loaded.ranges);
    writer.rows(p, inventories, rows_place{out, isatty(1) == 1});

    // --metrics: the same, for a collector, if the inventories and the
    // sockets were read whole (records refused one by one are counted).
    const bool sockets_read = sockets == nullptr || sockets->read_whole;
    bool metrics_written = true;
    if (options.metrics != nullptr && sockets != nullptr) // (--metrics goes only with them)
        metrics_written = sockets_read && loaded.read_whole &&
                          replace_metrics(options.metrics, p, loaded, sockets->exposed, err);
    if (!metrics_written && (!sockets_read || !loaded.read_whole)) {
        warn(err);
        write_name(err, options.metrics);
        err.text(": left as it was, as the run could not read all it was given\n");
    }

    // Every record the rows needed has been read: none may have changed.
    check_unchanged(loaded);

    // The summary (but for --port, which asks about ports, not the fleet).
    if (!queries)
        writer.summary(p.summary, out);
    const bool needs_care = p.summary.shared_blocks > 0 || !all_held ||
                            p.summary.unknown_keys > 0 || p.summary.unheld_ports > 0;
    return exit_status(loaded.complete && sockets_read && metrics_written, needs_care, out, err);
}

// Whether the file --metrics names is one the run reads (an inventory, or
// the socket table), after saying so: writing it would destroy that input.
bool metrics_over_input(const audit_options &options, output &err)
{
    struct stat target {}, input {};
    if (options.metrics == nullptr || stat(options.metrics, &target) != 0)
        return false; // (a file not there yet is no input)
    const auto same = [&](const char *name) {
        const int got = strcmp(name, "-") == 0 ? fstat(0, &input) : stat(name, &input);
        return got == 0 && input.st_dev == target.st_dev && input.st_ino == target.st_ino;
    };
    bool over = options.sockets != nullptr && same(options.sockets);
    for (size_t i = 0; !over && i < options.file_count; ++i)
        over = same(options.files[i]);
    if (over) {
        warn(err);
        write_name(err, options.metrics);
        err.text(": --metrics names a file this run reads; nothing written\n");
    }
    return over;
}

int audit(const audit_options &options, output &out, output &err)
{
    const port_range range{options.port_min, options.port_max, options.port_count};
    if (metrics_over_input(options, err)) {
        err.flush();
        return 2;
    }
    const int64_t blocks = blocks_to_audit(options, range, err);
    if (blocks == 0) {
        err.flush();
        return 2;
    }
    // How the plan will be written, chosen once.
    const plan_printer &writer = options.json ? json_printer : text_printer;

    loaded_fleet loaded;
    loaded.ranges.placing = options.place;
    load_in_block_order(options, range, loaded, err);
    if (options.place)
        return place(options, loaded, range, out, err);
    if (options.server_count > 0)
        keep_server(options, loaded);
    if (options.suggest && any_device_placed(loaded)) {
        err.text("portslot-audit: --suggest moves the whole fleet into one range, and devices of the "
                 "inventory are placed in ranges (or on servers) of their own: see --place\n");
        err.flush();
        return 2;
    }

    // --suggest: the range with the least sharing, and the devices' blocks in it.
    port_range placed_in = range;
    if (options.suggest) {
        placed_in = suggest(loaded.devices, loaded.view(), range, blocks, err);
        writer.range(placed_in, out);
    }

    // --port: only the devices that hold the ports asked.
    const bool all_held =
        options.port_queries == 0 || keep_holders(options, loaded, range, blocks, err);

    // --listening: the devices beside the sockets that listen.
    sockets_view &sockets = listening_sockets;
    if (options.listening)
        read_listening(options, range, loaded, sockets, err);
    if (options.identify)
        identify_holders(options, range, loaded, sockets, err);
    if (options.learn)
        sockets.read_whole = learn_host_keys(options, loaded, sockets, err) && sockets.read_whole;

    // --authorized-keys: a line for each device, and nothing else on the output.
    if (options.key_field != 0 || options.key_field_name != nullptr)
        return write_keys(loaded, {options.key_field, options.key_field_name}, range, out, err);
    // --known-hosts: a line for each device's host key, and nothing else.
    if (options.known_hosts)
        return write_host_keys(options, loaded, range, out, err);
    // --ssh-config: a Host block for each device, and nothing else.
    if (options.ssh_config)
        return write_hosts(options, loaded, range, out, err);

    return write_plan(options, writer, loaded, placed_in, options.listening ? &sockets : nullptr,
                      all_held, out, err);
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
