#include "json_rows.h"

#include <string.h>

#include "decimal.h"
#include "inventory_records.h"
#include "json_text.h"

namespace portslot::audit {

namespace {

// The columns of the CSV record at `record` of inventory `i`, each under its
// key, as JSON members.
void write_csv_fields(output &out, const inventory &inv, size_t i, const csv_keys &keys,
                      const char *record)
{
    const char delimiter = inv.format.delimiter;
    const char *const end = inv.text + inv.size;
    const auto put = [&](const char *text, size_t size) { write_json_chars(out, text, size); };
    uint64_t line_ends = 0, column = 1;
    unsigned char fault = no_fault; // (the record was read whole before)
    for (const char *p = record;; ++p, ++column) {
        keys.write(out, i, column);
        out.text("\"");
        const char *stop = csv_field_end(p, end, delimiter, line_ends, fault);
        csv_value(p, stop, put);
        out.text("\"");
        p = stop;
        if (p == end || *p != delimiter)
            return;
        out.text(",");
    }
}

} // namespace

size_t json_row_start(int32_t first, int32_t last, char (&start)[64])
{
    char *to = put_text(start, "{\"type\":\"device\",\"first\":");
    to += put_decimal(to, static_cast<uint32_t>(first));
    to = put_text(to, ",\"last\":");
    to += put_decimal(to, static_cast<uint32_t>(last));
    to = put_text(to, ",\"mac\":\"");
    return static_cast<size_t>(to - start);
}

json_names::json_names(const fleet &inventories) : columns(inventories)
{
    if (inventories.count == 0)
        return; // (a plan written as text)
    for (size_t i = 0; i < inventories.count; ++i) {
        const char *name = inventories.inventories[i].name;
        const size_t size = strlen(name);
        while (text.capacity < text.size + 6 * size + 32)
            text.grow();
        starts.push(text.size);
        char *to = put_text(text.items + text.size, "\",\"file\":\"");
        to = put_json_chars(to, name, size);
        to = put_text(to, "\",\"line\":");
        text.size = static_cast<size_t>(to - text.items);
    }
    starts.push(text.size);
}

void write_json_row(output &out, const char (&row_start)[64], size_t row_start_size, const entry &e,
                    uint64_t offset, bool shared, const fleet &inventories, const json_names &names,
                    const line_index &lines)
{
    const size_t i = inventories.index_of(offset);
    const inventory &inv = inventories.inventories[i];
    const char *name = names.text.items + names.starts.items[i];
    const size_t name_size = names.starts.items[i + 1] - names.starts.items[i];
    const size_t text = e.mac_size + e.before_size + 1 + e.label_size;
    char *const start = text < (size_t{1} << 12) ? out.room(120 + name_size + 6 * text) : nullptr;
    if (start == nullptr) { // a label too long for the buffer: piece by piece
        out.bytes(row_start, row_start_size);
        write_json_chars(out, e.mac, e.mac_size);
        out.text("\",\"label\":\"");
        write_json_chars(out, e.before, e.before_size);
        write_json_chars(out, &e.joiner, e.joiner != 0);
        write_json_chars(out, e.label, e.label_size);
        out.bytes(name, name_size);
        char digits[20];
        out.bytes(digits, put_decimal(digits, lines.line_of(offset)));
        out.text(shared ? ",\"shared\":true" : ",\"shared\":false");
    } else {
        memcpy(start, row_start, sizeof row_start); // (a fixed size: a few moves)
        char *to = put_json_chars(start + row_start_size, e.mac, e.mac_size);
        to = put_text(to, "\",\"label\":\"");
        to = put_json_chars(to, e.before, e.before_size);
        to = put_json_chars(to, &e.joiner, e.joiner != 0);
        to = put_json_chars(to, e.label, e.label_size);
        memcpy(to, name, name_size);
        to += name_size;
        to += put_decimal(to, lines.line_of(offset));
        to = shared ? put_text(to, ",\"shared\":true") : put_text(to, ",\"shared\":false");
        out.commit(static_cast<size_t>(to - start));
    }
    if (inv.format.kind == record_format::csv) {
        out.text(",\"fields\":{");
        write_csv_fields(out, inv, i, names.columns, inv.text + (offset - inventories.bases[i]));
        out.text("}");
    }
    out.bytes("}\n", 2);
}

} // namespace portslot::audit
