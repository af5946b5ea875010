#include "fleet.h"

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "block_of_address.h"
#include "csv_header.h"
#include "decimal.h"
#include "fatal.h"
#include "inventory_records.h"
#include "inventory_watch.h"
#include "memory.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

// An inventory loaded earlier from the file that `name` names now, or null.
// Told from the name's identity before it is opened, as opening a FIFO a
// second time would wait for ever for a writer; standard input and a pipe
// named twice (as "-" and /dev/stdin, say) are one file too.
const inventory *loaded_before(const loaded_fleet &loaded, const char *name)
{
    struct stat info {};
    if ((strcmp(name, "-") == 0 ? fstat(0, &info) : stat(name, &info)) != 0)
        return nullptr; // (opening it says why)
    for (size_t i = 0; i < loaded.count; ++i) {
        const inventory &earlier = loaded.files[i];
        if (earlier.file_system == static_cast<uint64_t>(info.st_dev) &&
            earlier.inode == static_cast<uint64_t>(info.st_ino))
            return &earlier;
    }
    return nullptr;
}

void write_read_once(output &err, const char *name, const inventory &earlier)
{
    warn(err);
    write_name(err, name);
    if (strcmp(earlier.name, name) == 0) {
        err.text(": named more than once; read once\n");
    } else {
        err.text(": the same file as ");
        write_name(err, earlier.name);
        err.text("; read once\n");
    }
}

// "FILE:LINE: " for a record of `inv`.
void write_place(output &err, const inventory &inv, const entry &e)
{
    portslot::audit::write_place(err, inv.name, e.line);
    err.text(": ");
}

// "malformed CSV record (WHY)" and a line end.
void write_malformed(output &err, unsigned char fault)
{
    err.text(fault == unclosed_quote ? "malformed CSV record (a quote opened here does not close)\n"
                                     : "malformed CSV record (text after a closing quote)\n");
}

// Says why the record `e` of `inv` gives no device.
void write_refusal(output &err, const inventory &inv, const entry &e)
{
    write_place(err, inv, e);
    if (e.malformed != no_fault) {
        write_malformed(err, e.malformed);
        return;
    }
    if (e.no_field) {
        char digits[20];
        err.text("no field ");
        err.bytes(digits, put_decimal(digits, inv.format.field));
        err.text("\n");
        return;
    }
    err.text("no port for \"");
    write_cut(err, e.mac, e.mac_size, 64);
    err.text("\"\n");
}

// Adds the devices of `inv`, whose text starts at `base` in the fleet, each
// in `layout` (no inventory places its devices). Returns how many records
// gave no port.
uint64_t add_unplaced_devices(const inventory &inv, uint64_t base, const block_layout &layout,
                              growing_array<uint64_t> &devices, output &err)
{
    uint64_t refused = 0;
    for_each_record(
        inv, inv.text + inv.records_start,
        inv.records_line, [&](const entry &e, const char *record) __attribute__((always_inline)) {
            // An address longer than 17 bytes gives no port; so does a NUL byte
            // in it, which no argument could carry to portslot, or a quote.
            const int32_t first = e.has_nul || e.has_quote || e.no_field
                                      ? -1
                                      : first_port_of_address(e.mac, e.mac_size, layout);
            if (first >= 0) {
                const uint64_t offset =
                    base + static_cast<uint64_t>(device_place(record, e, inv.format) - inv.text);
                devices.push(make_device(first, offset));
                return;
            }
            ++refused;
            write_refusal(err, inv, e);
        });
    return refused;
}

// The block of the device of record `e` of `inv`, placed in its own range
// and on its own server where its fields say, else in the command line's
// range (`home_first`: its block there, or -1 when that is the block); -1
// where the record gives no port, -2 after saying why its placement is none.
// `spots`: the record's placement fields as its scan noted them, or null in
// an inventory without placement columns.
[[gnu::always_inline]] inline int32_t place_device(const inventory &inv, const entry &e,
                                                   const column_spots *spots, fleet_ranges &ranges,
                                                   uint32_t &server, int32_t &home_first,
                                                   placement_memo &memo,
                                                   growing_array<char> &scratch, output &err)
{
    // An address longer than 17 bytes gives no port; so does a NUL byte in
    // it, which no argument could carry to portslot, or a quote.
    if (e.has_nul || e.has_quote || e.no_field)
        return -1;
    uint32_t range = 0;
    const placement_fault fault =
        spots != nullptr ? take_noted_placement(ranges, memo, *spots, scratch, range, server)
                         : take_placement(ranges, placement_fields{}, range, server);
    if (fault != placement_fault::none) {
        write_place(err, inv, e);
        err.text(placement_fault_text(fault));
        err.text("\n");
        return -2;
    }
    const block_layout &home = ranges.layouts.items[0];
    home_first = range == 0 ? -1 : first_port_of_address(e.mac, e.mac_size, home);
    return first_port_of_address(e.mac, e.mac_size, ranges.layouts.items[range]);
}

// Adds the devices of `inv`, whose text starts at `base` in the fleet, each
// placed by its fields. Returns how many records gave no port.
[[gnu::noinline]] uint64_t add_placed_devices(const inventory &inv, uint64_t base, fleet_ranges &ranges,
                            growing_array<uint64_t> &devices, output &err)
{
    uint64_t refused = 0;
    growing_array<char> scratch; // a record's placement fields
    placement_memo memo;
    column_spots spots = placement_spots(inv);
    const column_spots *const noted = has_placement_columns(inv) ? &spots : nullptr;
    const auto visit = [&](const entry &e, const char *record) __attribute__((always_inline)) {
            uint32_t server = 0;
            int32_t home_first = -1;
            const int32_t first =
                place_device(inv, e, noted, ranges, server, home_first, memo, scratch, err);
            if (first >= 0) {
                const uint64_t offset =
                    base + static_cast<uint64_t>(device_place(record, e, inv.format) - inv.text);
                devices.push(make_device(first, offset, server));
                ranges.homes.push(make_device(home_first < 0 ? first : home_first, offset));
                return;
            }
            ++refused;
            if (first == -1)
                write_refusal(err, inv, e);
        };
    // (Placement columns are CSV's alone.)
    if (noted != nullptr)
        for_each_record(inv, inv.text + inv.records_start, inv.records_line, visit, spots);
    else
        for_each_record(inv, inv.text + inv.records_start, inv.records_line, visit);
    return refused;
}

uint64_t add_devices(const inventory &inv, uint64_t base, fleet_ranges &ranges,
                     growing_array<uint64_t> &devices, output &err)
{
    if (has_placement_columns(inv) && !ranges.placed()) {
        start_placing(ranges, devices.size != 0);
        ranges.homes.reserve(devices.size); // (the devices so far, each in its own block)
        for (size_t i = 0; i < devices.size; ++i)
            ranges.homes.push(devices.items[i]);
    }
    if (ranges.placed())
        return add_placed_devices(inv, base, ranges, devices, err);
    const block_layout layout = ranges.layouts.items[0];
    return add_unplaced_devices(inv, base, layout, devices, err);
}

} // namespace

loaded_fleet::~loaded_fleet()
{
    for (size_t i = 0; i < count; ++i)
        free_inventory(files[i]);
    free(files);
    free(bases);
}

void load_fleet(const fleet_source &source, const port_range &range, loaded_fleet &loaded,
                output &err)
{
    const size_t file_count = source.file_count;
    loaded.files = static_cast<inventory *>(allocate_zeroed(file_count, sizeof(inventory)));
    loaded.bases = static_cast<uint64_t *>(allocate_zeroed(file_count, sizeof(uint64_t)));
    watch_mappings(&loaded.files, &loaded.count);
    loaded.plain = source.format.kind == record_format::plain;
    start_fleet_ranges(loaded.ranges, range, source.servers, source.server_count);
    uint64_t base = 0;
    for (size_t i = 0; i < file_count; ++i) {
        inventory &inv = loaded.files[loaded.count];
        inv = inventory{};
        inv.name = source.files[i];
        inv.format = source.format;
        set_memory_subject(inv.name);
        if (const inventory *earlier = loaded_before(loaded, inv.name)) {
            // Its devices would all be listed twice.
            write_read_once(err, inv.name, *earlier);
            continue;
        }
        if (const int error = load_inventory(inv, err); error != 0) {
            warn_errno(err, inv.name, error);
            loaded.complete = loaded.read_whole = false;
            continue;
        }
        loaded.bases[loaded.count++] = base;
        if (inv.size > max_offset - base)
            fatal(inv.name, "inventories of more than 8 GiB in all are too large to audit");
        // A byte order mark, as some editors write before UTF-8, is no part
        // of the first line's address.
        if (inv.format.kind != record_format::csv && inv.size >= 3 &&
            memcmp(inv.text, "\xef\xbb\xbf", 3) == 0)
            inv.records_start = 3;
        if (inv.format.kind == record_format::csv) {
            entry header{};
            if (const unsigned char fault = read_csv_header(inv, source.field_name, header.line)) {
                write_place(err, inv, header);
                write_malformed(err, fault);
                loaded.complete = loaded.read_whole = false;
            }
        }
        const uint64_t refused = add_devices(inv, base, loaded.ranges, loaded.devices, err);
        loaded.refused += refused;
        loaded.complete = refused == 0 && loaded.complete;
        base += inv.size;
        // The plan reads back only the lines it lists.
        release_pages(inv);
    }
    set_memory_subject(nullptr);
}

void check_unchanged(const loaded_fleet &loaded)
{
    for (size_t i = 0; i < loaded.count; ++i)
        if (changed_since_loaded(loaded.files[i]))
            fatal(loaded.files[i].name, "changed while being read");
}

} // namespace portslot::audit
