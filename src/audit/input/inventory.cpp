#include "inventory.h"

#include "fatal.h"
#include "fleet.h"
#include "memory.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace portslot::audit {

int read_all(int fd, const char *name, char *&text, size_t &size, output &diagnostics, size_t limit)
{
    // The buffer doubles when full, and nothing is written to it but what is
    // read: a slow pipe costs no more than its bytes, and an endless one
    // ends the read once it passes the limit.
    size_t capacity = 0;
    size = 0;
    text = nullptr;
    for (;;) {
        if (size > limit)
            fatal(name, "inventories of more than 8 GiB in all are too large to audit");
        if (size == capacity) {
            // (Doubling cannot overflow: no buffer of half the address space
            // was ever granted.)
            const size_t grown = capacity == 0 ? size_t{1} << 16 : capacity * 2;
            text = static_cast<char *>(reallocate(text, grown));
            capacity = grown;
        }
        diagnostics.flush(); // the read may wait for a slow writer
        const ssize_t got = ::read(fd, text + size, capacity - size);
        if (got > 0) {
            size += static_cast<size_t>(got);
            continue;
        }
        if (got == 0)
            return 0;
        if (errno != EINTR) {
            const int error = errno;
            free(text);
            text = nullptr;
            return error;
        }
    }
}

namespace {

void note_identity(inventory &inv, const struct stat &info)
{
    inv.regular = S_ISREG(info.st_mode);
    inv.file_system = static_cast<uint64_t>(info.st_dev);
    inv.inode = static_cast<uint64_t>(info.st_ino);
    inv.modified_s = static_cast<int64_t>(info.st_mtim.tv_sec);
    inv.modified_ns = static_cast<int64_t>(info.st_mtim.tv_nsec);
    inv.file_size = static_cast<int64_t>(info.st_size);
}

// Maps the regular file `fd` from `position` to its end; false when it
// cannot be mapped (sysfs and the like).
bool map_inventory(inventory &inv, int fd, const struct stat &info, off_t position)
{
    const off_t page = static_cast<off_t>(sysconf(_SC_PAGESIZE));
    const off_t start = position - position % page;
    const size_t map_size = static_cast<size_t>(info.st_size - start);
    void *map = mmap(nullptr, map_size, PROT_READ, MAP_PRIVATE, fd, start);
    if (map == MAP_FAILED && errno == ENOMEM)
        out_of_memory();
    if (map == MAP_FAILED)
        return false;
    madvise(map, map_size, MADV_SEQUENTIAL);
    inv.map = map;
    inv.map_size = map_size;
    inv.text = static_cast<const char *>(map) + (position - start);
    inv.size = static_cast<size_t>(info.st_size - position);
    inv.mapped = true;
    lseek(fd, info.st_size, SEEK_SET);
    return true;
}

} // namespace

int load_inventory(inventory &inv, output &diagnostics)
{
    const bool is_stdin = inv.name[0] == '-' && inv.name[1] == '\0';
    const int fd = is_stdin ? 0 : open(inv.name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    // What fstat cannot tell is no regular file: it is read.
    struct stat info {};
    fstat(fd, &info);
    note_identity(inv, info);
    // Standard input may have been read in part already (or be named twice):
    // what is left of it is what counts, as it would be for a pipe. (lseek
    // fails only where there is no position, on what is no regular file.)
    const off_t position = lseek(fd, 0, SEEK_CUR);
    const bool mappable = S_ISREG(info.st_mode) && info.st_size > position &&
                          static_cast<uint64_t>(info.st_size) <= SIZE_MAX;
    if (!(mappable && map_inventory(inv, fd, info, position))) {
        // Pipes, terminals, files whose size says nothing (/proc), and files
        // that cannot be mapped (/sys).
        char *text = nullptr;
        // (No more than all inventories together may hold: an endless pipe
        // ends the run as it passes that, not once memory runs out.)
        error =
            read_all(fd, inv.name, text, inv.size, diagnostics, static_cast<size_t>(max_offset));
        inv.text = text;
    }
    if (!is_stdin)
        close(fd);
    return error;
}

bool changed_since_loaded(const inventory &inv)
{
    if (!inv.mapped)
        return false; // what was read is a copy
    struct stat info {};
    if ((strcmp(inv.name, "-") == 0 ? fstat(0, &info) : stat(inv.name, &info)) != 0)
        return false; // removed: the mapping keeps the text it had
    inventory now;
    note_identity(now, info);
    // Another file under the name (one put in its place) leaves the mapped
    // one as it was.
    return same_file(now, inv) &&
           (now.file_size != inv.file_size || now.modified_s != inv.modified_s ||
            now.modified_ns != inv.modified_ns);
}

void release_pages(const inventory &inv)
{
    if (inv.mapped)
        madvise(inv.map, inv.map_size, MADV_DONTNEED);
}

void free_inventory(inventory &inv)
{
    if (inv.mapped)
        munmap(inv.map, inv.map_size);
    else
        free(const_cast<char *>(inv.text));
    inv.text = nullptr;
    inv.mapped = false;
}

} // namespace portslot::audit
