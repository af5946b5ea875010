// Inventories: taking each in whole, mapped or read, and telling whether it
// changed meanwhile.
#ifndef PORTSLOT_AUDIT_INVENTORY_H
#define PORTSLOT_AUDIT_INVENTORY_H

#include <stddef.h>
#include <stdint.h>

#include "output.h"
#include "record_format.h"

namespace portslot::audit {

// One inventory, held whole: mapped when it is a regular file, else read
// into memory from the heap.
struct inventory {
    const char *name = nullptr; // as given; "-" is standard input
    const char *text = nullptr;
    size_t size = 0;
    bool mapped = false;
    void *map = nullptr; // the whole mapping, which may start before `text`
    size_t map_size = 0;
    // Which file it is, and when it was last written: a regular file that is
    // written while the audit reads it no longer matches its mapping.
    bool regular = false;
    uint64_t file_system = 0, inode = 0;
    int64_t modified_s = 0, modified_ns = 0, file_size = 0;
    // How its records are read; in CSV, the header, and where the records
    // after it start, and on which line.
    record_format format;
    const char *header = nullptr;
    size_t header_size = 0;
    uint64_t header_line = 1;
    // Columns left out of the labels (--drop-column), from 1.
    uint32_t dropped[8] = {};
    size_t dropped_count = 0;
    // Columns that place its devices (CSV), from 1; 0 where there is none.
    uint32_t port_min_column = 0, port_max_column = 0, server_column = 0;
    uint32_t host_key_column = 0; // the devices' host keys (CSV), from 1; 0: none
    size_t records_start = 0; // the offset of its first record
    uint64_t records_line = 1;
};

// Opens and takes in `inv.name`, from its current position to its end, and
// leaves that position at the end; standard input is never closed.
// `diagnostics` is flushed before every read that may wait. Returns 0 or the
// errno of what failed; running out of memory, and what is read (not mapped)
// passing the 8 GiB that all inventories may hold, end the run.
int load_inventory(inventory &inv, output &diagnostics);

// True when `inv` was mapped and its file has been written since, or has
// another size: what was read of it may mix old and new text.
bool changed_since_loaded(const inventory &inv);

// True when `a` and `b` were taken from the same regular file.
inline bool same_file(const inventory &a, const inventory &b)
{
    return a.regular && b.regular && a.file_system == b.file_system && a.inode == b.inode;
}

// Reads all of `fd` (the file `name`) into a buffer from the heap, which the
// caller frees; 0 or the errno of the read that failed. More than `limit`
// bytes end the run, as the inventories of a run may hold no more.
int read_all(int fd, const char *name, char *&text, size_t &size, output &diagnostics,
             size_t limit);

// Lets the system drop a mapped inventory's pages until they are read again.
void release_pages(const inventory &inv);
void free_inventory(inventory &inv);

} // namespace portslot::audit

#endif
