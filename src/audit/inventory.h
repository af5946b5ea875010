// Reading inventories: whole files, split into device lines.
#ifndef PORTSLOT_AUDIT_INVENTORY_H
#define PORTSLOT_AUDIT_INVENTORY_H

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace portslot::audit {

// Reads all of file descriptor `fd` into `text`. Returns 0, or the errno of
// the read that failed.
int read_all(int fd, std::string &text);

// One device line of an inventory. `mac` points into the inventory's text and
// is NUL-terminated there; `mac_size` counts its bytes, and a NUL byte within
// them shows as strlen(mac) < mac_size.
struct inventory_entry {
    const char *mac;
    std::size_t mac_size;
    std::string_view label; // the rest of the line, white space trimmed
    std::uint64_t line;     // 1-based
};

// Calls `visit(entry)` for each line of `text` that names a device, skipping
// blank lines and lines whose first non-blank byte is '#'. Writes a NUL after
// each MAC field, in place of the white space or line end that ended it.
void for_each_entry(std::string &text, const std::function<void(const inventory_entry &)> &visit);

} // namespace portslot::audit

#endif
