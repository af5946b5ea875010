#include "known_hosts.h"

#include <string.h>

#include "fatal.h"
#include "host_key.h"
#include "key_diagnostics.h"
#include "key_lines.h"
#include "shown_text.h"

namespace portslot::audit {

bool find_host_key_columns(const fleet &inventories, const host_key_choice &where,
                           growing_array<uint32_t> &columns, output &err)
{
    bool found = true;
    for (size_t i = 0; i < inventories.count; ++i) {
        const inventory &inv = inventories.files[i];
        columns.push(host_key_column(inv, where.field, where.name));
        if (columns.items[i] != 0 || inv.header == nullptr)
            continue;
        warn(err);
        write_name(err, inv.name);
        err.text(": no column named \"");
        const char *name = where.name != nullptr ? where.name : "host_key";
        write_escaped(err, name, strlen(name));
        err.text("\" for the host keys\n");
        found = false;
    }
    return found;
}

bool write_known_hosts(const plan &p, const fleet &inventories, const host_key_choice &where,
                       output &out, output &err)
{
    growing_array<uint32_t> columns;
    const bool found = find_host_key_columns(inventories, where, columns, err);
    growing_array<key_line> lines;
    growing_array<char> texts;
    gather_key_lines(p, inventories, columns, key_use::host, lines, texts);
    uint64_t without = 0;
    for (size_t i = 0; i < lines.size; ++i) {
        const key_line &line = lines.items[i];
        without += line.why == refusal::no_key;
        if (line.why != refusal::none)
            continue;
        out.bytes(texts.items + line.mac, line.comment + line.comment_size + 1 - line.mac);
    }
    const bool read = write_key_diagnostics(lines, inventories, texts.items, key_use::host, err);
    if (const uint64_t sharing = p.summary.sharing_devices; sharing > 0) {
        warn(err, "warning: ");
        err.number(static_cast<int64_t>(sharing));
        err.text(" devices share a block with another, and only the one connected answers on"
                 " its port: its host key says which\n");
    }
    if (without > 0) {
        warn(err, "warning: ");
        err.number(static_cast<int64_t>(without));
        err.text(without == 1 ? " device has" : " devices have");
        err.text(" no host key in the inventory, and no line here (ssh cannot tell such a device"
                 " from another on its port)\n");
    }
    return found && read;
}

} // namespace portslot::audit
