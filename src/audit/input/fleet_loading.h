// Loading a run's fleet: every inventory named, in whole, and each of its
// devices given its block in the range. Lines that give no port and files
// that cannot be read are reported, and the rest is still audited.
#ifndef PORTSLOT_AUDIT_FLEET_LOADING_H
#define PORTSLOT_AUDIT_FLEET_LOADING_H

#include <stddef.h>
#include <stdint.h>

#include "fleet.h"
#include "growing_array.h"
#include "inventory.h"
#include "output.h"
#include "record_format.h"

namespace portslot::audit {

struct loaded_fleet {
    inventory *files = nullptr;
    uint64_t *bases = nullptr;
    size_t count = 0;                // inventories loaded
    growing_array<uint64_t> devices; // in input order
    bool complete = true;            // every line gave a port, every file was read

    loaded_fleet() = default;
    loaded_fleet(const loaded_fleet &) = delete;
    loaded_fleet &operator=(const loaded_fleet &) = delete;
    ~loaded_fleet();

    bool plain = true; // every inventory in the plain format

    fleet view() const { return fleet{files, bases, count, plain}; }
};

// What to load, and how its records hold their addresses.
struct fleet_source {
    const char *const *files;
    size_t file_count;
    record_format format;
    const char *field_name; // with CSV: the address column's name, or null
};

// Loads the inventories of `source` into `loaded`. A file named twice, or
// under two names, is read once. Inventories too large to audit, and CSV
// inventories without the address column, end the run.
void load_fleet(const fleet_source &source, const port_range &range, loaded_fleet &loaded,
                output &err);

// Ends the run when an inventory has changed since it was loaded: lines
// read from it since may hold old text and new.
void check_unchanged(const loaded_fleet &loaded);

} // namespace portslot::audit

#endif
