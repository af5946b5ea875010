// portslot-audit: finds the devices of an inventory that portslot would give
// the same ports, before they are deployed.

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <portslot/port_derivation.h>

#include "audit_options.h"
#include "fatal.h"
#include "inventory.h"
#include "memory.h"
#include "output.h"
#include "port_plan.h"
#include "shown_text.h"
#include "suggest.h"

namespace {

using namespace portslot::audit;
using portslot::output;

// Diagnostics and the plan are buffered; diagnostics are flushed before
// anything that may wait (a read from a pipe, writing the plan) and at exit.
char err_buffer[1 << 16];
char out_buffer[1 << 18];

void write_failure(output &err, const char *subject, int error)
{
    err.text("portslot-audit: ");
    if (subject != nullptr) {
        write_name(err, subject);
        err.text(": ");
    }
    err.text(strerror(error));
    err.text("\n");
}

// Writes what is buffered for standard output; 0, or 2 after saying why not.
int finish_output(output &out, output &err)
{
    if (out.flush())
        return 0;
    err.text("portslot-audit: write error: ");
    err.text(strerror(out.error()));
    err.text("\n");
    return 2;
}

// What a run holds: freed at every exit, so that leak checkers stay quiet.
struct run_state {
    inventory *inventories = nullptr;
    uint64_t *bases = nullptr;
    size_t loaded = 0;
    growing_array<uint64_t> devices;
    growing_array<duplicate> duplicates;
    // Running out of memory ends the run: this says so, of what if known.
    bool out_of_memory = false;
    const char *memory_subject = nullptr;
    bool too_large = false;

    ~run_state()
    {
        for (size_t i = 0; i < loaded; ++i)
            free_inventory(inventories[i]);
        free(inventories);
        free(bases);
    }
};

// Reads one inventory and adds its devices. False when a line gives no
// port or the file cannot be read (the rest is still audited), or when the
// run must end.
bool audit_inventory(run_state &run, const port_range &range, uint64_t base, output &err)
{
    inventory &inv = run.inventories[run.loaded];
    run.memory_subject = inv.name;
    const int error = load_inventory(inv, err);
    run.out_of_memory = error == ENOMEM;
    if (error != 0) {
        if (!run.out_of_memory) // which is reported as the run ends
            write_failure(err, inv.name, error);
        return false;
    }
    for (size_t i = 0; i < run.loaded; ++i) {
        // (Standard input named again goes on from where it stopped.)
        const bool both_stdin =
            strcmp(inv.name, "-") == 0 && strcmp(run.inventories[i].name, "-") == 0;
        if (both_stdin || !same_file(run.inventories[i], inv))
            continue;
        // Its devices would all be listed twice: it is read once.
        err.text("portslot-audit: ");
        write_name(err, inv.name);
        if (strcmp(run.inventories[i].name, inv.name) == 0) {
            err.text(": named more than once; read once\n");
        } else {
            err.text(": the same file as ");
            write_name(err, run.inventories[i].name);
            err.text("; read once\n");
        }
        free_inventory(inv);
        return true;
    }
    ++run.loaded;
    if (inv.size > max_offset - base) {
        err.text("portslot-audit: ");
        write_name(err, inv.name);
        err.text(": inventories of more than 8 GiB in all are too large to audit\n");
        run.too_large = true;
        return false;
    }

    bool ok = true;
    const char *const end = inv.text + inv.size;
    for_each_entry(inv.text, inv.size, [&](const entry &e) {
        // An address longer than 17 bytes gives no port; so does a NUL byte
        // in it, which no argument could carry to portslot.
        char mac[24];
        const size_t n = e.mac_size < 18 ? e.mac_size : 18;
        if (end - e.mac >= 24)
            memcpy(mac, e.mac, 24); // a fixed size: a few moves, not a call
        else
            memcpy(mac, e.mac, n);
        mac[n] = '\0';
        const int32_t first =
            e.has_nul
                ? -1
                : portslot::compute_port(mac, range.port_min, range.port_max, range.port_count, 1);
        if (first >= 0) {
            const uint64_t offset = base + static_cast<uint64_t>(e.mac - inv.text);
            run.out_of_memory = !run.devices.push(make_device(first, offset));
            return !run.out_of_memory;
        }
        ok = false;
        write_escaped(err, inv.name, strlen(inv.name));
        err.text(":");
        err.number(static_cast<int64_t>(e.line));
        err.text(": no port for \"");
        write_cut(err, e.mac, e.mac_size, 64);
        err.text("\"\n");
        return true;
    });
    // The plan reads back only the lines it lists.
    release_pages(inv);
    return ok && !run.out_of_memory;
}

// Ends the message about a wrong command line that the caller wrote.
int fail(output &err)
{
    write_try_help(err);
    err.flush();
    return 2;
}

int64_t rounded_min(const port_range &range)
{
    return int64_t{range.port_min} + (range.port_min & 1);
}

// The smallest maximum that gives `blocks` blocks: the last port of the last
// block.
int32_t last_port(const port_range &range, int64_t blocks)
{
    return static_cast<int32_t>(rounded_min(range) + 2 * (blocks * range.port_count - 1));
}

// One line, rewritten in place, on how far the search has come; cleared
// when it is done (`tried` 0).
void write_progress(output &err, const port_range &range, int64_t tried, int64_t last,
                    suggestion best)
{
    err.text("\r");
    if (tried != 0) {
        err.text("portslot-audit: searching: ");
        err.number(tried);
        err.text(" of ");
        err.number(last);
        err.text(" block counts (");
        err.number(tried * 100 / last);
        err.text("%), best so far --port-max ");
        err.number(last_port(range, best.blocks));
        err.text(" with ");
        err.number(static_cast<int64_t>(best.sharing));
        err.text(" devices sharing");
    }
    err.text("\x1b[K");
    err.flush();
}

// Searches the ranges from range.port_min up to range.port_max (which holds
// `max_blocks` blocks) for the one with the fewest devices sharing, and
// among those the smallest; writes its options, and gives the devices their
// blocks in it (`found`, of `blocks` blocks). Devices listed twice are
// reported here. False when memory ran out.
bool suggest_range(run_state &run, const fleet &inventories, const port_range &range,
                   int64_t max_blocks, output &out, output &err, port_range &found, int64_t &blocks)
{
    growing_array<uint64_t> keys;
    const bool memory = distinct_keys(run.devices, inventories, run.duplicates, keys) &&
                        write_duplicates(run.duplicates, inventories, err);
    run.duplicates.size = 0;
    struct progress_context {
        output &err;
        const port_range &range;
    } context{err, range};
    const search_progress progress{[](void *c, int64_t tried, int64_t last, suggestion best) {
                                       auto &[err, range] = *static_cast<progress_context *>(c);
                                       write_progress(err, range, tried, last, best);
                                   },
                                   &context};
    // Progress is for a person watching: only on a terminal.
    blocks = memory ? search_blocks(keys.items, keys.size, max_blocks,
                                    isatty(2) == 1 ? &progress : nullptr)
                          .blocks
                    : 0;
    found = range;
    found.port_max = last_port(range, blocks);
    const bool placed = blocks > 0 && place_devices(run.devices, inventories, found);
    if (placed) {
        out.text("--port-min ");
        out.number(found.port_min);
        out.text(" --port-max ");
        out.number(found.port_max);
        out.text(" --port-count ");
        out.number(found.port_count);
        out.text("\n");
    }
    return placed;
}

int audit(const audit_options &options, run_state &run, output &out, output &err)
{
    const port_range range{options.port_min, options.port_max, options.port_count};
    if (range.port_count < 1) {
        err.text("portslot-audit: --port-count must be at least 1, not ");
        err.number(range.port_count);
        return fail(err);
    }
    // A port below 0 is never usable: refuse a range that would hand one out.
    if (range.port_min < -1) {
        err.text("portslot-audit: --port-min ");
        err.number(range.port_min);
        err.text(" gives ports below 0, which are never usable");
        return fail(err);
    }
    const int64_t blocks =
        portslot::port_block_count(range.port_min, range.port_max, range.port_count);
    if (blocks == 0) {
        err.text("portslot-audit: the range ");
        err.number(range.port_min);
        err.text(" to ");
        err.number(range.port_max);
        err.text(" holds no whole block of ");
        err.number(range.port_count);
        err.text(range.port_count == 1 ? " even port" : " even ports");
        return fail(err);
    }

    run.inventories =
        static_cast<inventory *>(allocate_zeroed(options.file_count, sizeof(inventory)));
    run.bases = static_cast<uint64_t *>(allocate_zeroed(options.file_count, sizeof(uint64_t)));
    run.out_of_memory = run.inventories == nullptr || run.bases == nullptr;
    bool ok = true;
    uint64_t base = 0;
    watch_mappings(err, &run.inventories, &run.loaded);
    for (size_t i = 0; i < options.file_count && !run.out_of_memory && !run.too_large; ++i) {
        run.inventories[run.loaded] = inventory{};
        run.inventories[run.loaded].name = options.files[i];
        run.bases[run.loaded] = base;
        const size_t before = run.loaded;
        ok = audit_inventory(run, range, base, err) && ok;
        base += run.loaded > before ? run.inventories[before].size : 0;
    }
    run.memory_subject = run.out_of_memory ? run.memory_subject : nullptr;

    // Without --suggest, devices listed twice are found while the plan is
    // written, and reported after it.
    const fleet inventories{run.inventories, run.bases, run.loaded};
    port_range plan = range;
    int64_t plan_blocks = blocks;
    growing_array<duplicate> found_again; // by the plan, after the search reported them
    plan_summary summary;
    bool memory = !run.out_of_memory && !run.too_large && sort_by_block(run.devices);
    memory = memory && (!options.suggest || suggest_range(run, inventories, range, blocks, out, err,
                                                          plan, plan_blocks));
    err.flush(); // before the plan, which may wait for its reader
    memory = memory && write_plan(run.devices, inventories, plan, options.all, isatty(1) == 1, out,
                                  summary, options.suggest ? found_again : run.duplicates);
    memory = memory && write_duplicates(run.duplicates, inventories, err);
    if (run.too_large || !memory) {
        if (!memory && !run.too_large)
            write_failure(err, run.memory_subject, ENOMEM);
        err.flush();
        return 2;
    }
    // Every line the plan needed has been read: a file written meanwhile may
    // have given some of them old text and others new.
    for (size_t i = 0; i < run.loaded; ++i)
        if (changed_since_loaded(run.inventories[i]))
            fatal(err, run.inventories[i].name, "changed while being read");
    write_summary(summary, plan_blocks, out);
    const int status = finish_output(out, err);
    // Standard output does not depend on standard error, but a diagnostic
    // that could not be written fails the run.
    const bool diagnostics_written = err.flush();
    return status != 0 || !ok || !diagnostics_written ? 2 : summary.shared_blocks > 0 ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    output out(1, out_buffer, sizeof out_buffer);
    output err(2, err_buffer, sizeof err_buffer);
    run_state run;
    // The names of the files take the places of the arguments, which they
    // never outnumber; the vector's closing null gives room for "-".
    char **args = argv + (argc > 0);
    const parsed_command command =
        parse_command(argc > 0 ? argc - 1 : 0, args, const_cast<const char **>(args));
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
        return audit(command.options, run, out, err);
    }
    const int status = finish_output(out, err);
    err.flush();
    return status;
}
