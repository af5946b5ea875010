#include "authorized_keys.h"

#include <string.h>

#include "fatal.h"
#include "key_diagnostics.h"
#include "key_lines.h"
#include "host_key.h"
#include "plan.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

void write_line(output &out, const key_line &line, const port_range &range, const char *texts)
{
    out.text("restrict,port-forwarding");
    for (int64_t k = 0, port = line.first; k < range.port_count; ++k, port += 2) {
        out.text(",permitlisten=\"localhost:");
        out.number(static_cast<int32_t>(port));
        out.text("\"");
    }
    out.text(",command=\"/bin/false\" ");
    out.bytes(texts + line.key, line.key_size);
    out.text(" ");
    out.bytes(texts + line.comment, line.comment_size);
    out.text("\n");
}

} // namespace

bool write_authorized_keys(const plan &p, const fleet &inventories, const key_field &where,
                           output &out, output &err)
{
    bool ok = true;
    growing_array<uint32_t> columns;
    for (size_t i = 0; i < inventories.count; ++i) {
        columns.push(key_column(inventories.files[i], where.field, where.name));
        if (columns.items[i] == 0 && inventories.files[i].header != nullptr) {
            warn(err);
            write_name(err, inventories.files[i].name);
            err.text(": no column named \"");
            write_escaped(err, where.name, strlen(where.name));
            err.text("\" for the keys\n");
            ok = false;
        }
    }
    // Every device's key and comment gathered and checked, then the keys
    // two devices hold refused, then the lines written.
    growing_array<key_line> lines;
    growing_array<char> texts;
    gather_key_lines(p, inventories, columns, key_use::tunnel, lines, texts);
    for (size_t i = 0; i < lines.size; ++i)
        if (lines.items[i].why == refusal::none)
            write_line(out, lines.items[i], p.range, texts.items);
    return write_key_diagnostics(lines, inventories, texts.items, key_use::tunnel, err) && ok;
}

} // namespace portslot::audit
