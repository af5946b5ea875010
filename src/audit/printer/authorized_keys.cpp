#include "authorized_keys.h"

#include <string.h>

#include <algorithm>
#include <iterator>
#include <string_view>

#include "csv_header.h"
#include "fatal.h"
#include "inventory_records.h"
#include "key_lines.h"
#include "key_record.h"
#include "line_numbers.h"
#include "plain_mac.h"
#include "plan.h"
#include "public_key.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

bool is_space(char c)
{
    return c == ' ' || c == '\t';
}

// The key's column in each inventory: the field given, or the column of
// that name in a CSV inventory's header (0: none).
uint32_t key_column_of(const inventory &inv, const key_field &where)
{
    if (where.name == nullptr)
        return where.field;
    return csv_column_named(inv, where.name);
}

// The comment: no control byte (a line end would start a line of its own),
// each a space.
void clean_comment(char *text, size_t size)
{
    for (size_t k = 0; k < size; ++k) {
        if (starts_c1_control(text + k, size - k)) {
            text[k] = ' ';
            text[++k] = ' ';
        } else if (is_control(text[k])) {
            text[k] = ' ';
        }
    }
}

// Marks the devices that hold the same key as another: sshd would take the
// first line of such a key for both, so neither line can be written.
void refuse_shared_keys(growing_array<key_line> &lines, const char *texts)
{
    growing_array<size_t> order; // the lines with a key, by key, then by place
    for (size_t i = 0; i < lines.size; ++i)
        if (lines.items[i].why == refusal::none)
            order.push(i);
    const auto key_of = [&](size_t i) {
        return std::string_view(texts + lines.items[i].key, lines.items[i].key_size);
    };
    std::sort(order.items, order.items + order.size, [&](size_t a, size_t b) {
        return key_of(a) != key_of(b) ? key_of(a) < key_of(b)
                                      : lines.items[a].offset < lines.items[b].offset;
    });
    for (size_t k = 0, end; k < order.size; k = end) {
        const key_line &first = lines.items[order.items[k]];
        for (end = k + 1; end < order.size && key_of(order.items[end]) == key_of(order.items[k]);
             ++end) {
        }
        for (size_t j = k; end - k > 1 && j < end; ++j) {
            key_line &line = lines.items[order.items[j]];
            line.why = refusal::same_key;
            line.other = j == k ? lines.items[order.items[k + 1]].offset : first.offset;
        }
    }
}

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

// The line of the device of `row`, whose record gave `g`: its key and
// comment appended to `texts`, or why it gets none.
key_line checked_line(const plan_row &row, const key_record &g, growing_array<char> &texts)
{
    key_line line{row.offset, row.first, row.shared, refusal::none, key_fault::none, 0, 0,
                  0,          0,         0};
    const char *key = g.key.items;
    size_t size = g.key.size;
    while (size > 0 && is_space(*key))
        ++key, --size;
    while (size > 0 && is_space(key[size - 1]))
        --size;
    line.key = texts.size;
    bool control = false;
    for (size_t k = 0; k < size; ++k)
        control = control || is_control(key[k]) || starts_c1_control(key + k, size - k);
    if (!g.has_key || size == 0) {
        line.why = refusal::no_key;
    } else if (char text[17]; !read_plain_mac(row.e.mac, row.e.mac_size, text)) {
        line.why = refusal::address;
    } else if (control) {
        line.why = refusal::control_in_key;
    } else {
        const public_key read = read_public_key(key, size);
        line.fault = read.fault;
        line.why = read.size == 0 ? refusal::bad_key : refusal::none;
        size = read.size == 0 ? size : read.size;
    }
    append(texts, key, size);
    line.key_size = size;
    line.comment = texts.size;
    append(texts, row.e.mac, row.e.mac_size);
    if (g.label.size != 0) {
        append(texts, " ", 1);
        append(texts, g.label.items, g.label.size);
    }
    line.comment_size = texts.size - line.comment;
    clean_comment(texts.items + line.comment, line.comment_size);
    return line;
}

} // namespace

bool range_fits_port_numbers(const port_range &range, int64_t blocks, const char *option,
                             const char *what, output &err)
{
    const int64_t first = int64_t{range.port_min} + (range.port_min & 1);
    const int64_t last = first + 2 * (blocks * range.port_count - 1);
    if (first >= 1 && last <= 65535)
        return true;
    warn(err, option);
    err.text(": the range gives ");
    if (first < 1) {
        err.text("port 0");
    } else {
        err.text("ports up to ");
        err.number(last);
    }
    err.text(", which ");
    err.text(what);
    err.text("; choose a range within 2 to 65534\n");
    return false;
}

bool write_authorized_keys(const plan &p, const fleet &inventories, const key_field &where,
                           output &out, output &err)
{
    bool ok = true;
    growing_array<uint32_t> columns;
    for (size_t i = 0; i < inventories.count; ++i) {
        columns.push(key_column_of(inventories.files[i], where));
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
    key_record g{{}, {}, {}, false};
    const auto gather_line = [&](const plan_row &row) {
        if (columns.items[row.inventory] == 0)
            return;
        read_key_record(inventories.files[row.inventory], row.record, columns.items[row.inventory],
                        g);
        lines.push(checked_line(row, g, texts));
    };
    by_format(inventories, [&](auto plain) {
        for_each_row<plain()>(
            p, inventories, [](int32_t, int32_t, bool) {}, gather_line);
    });
    refuse_shared_keys(lines, texts.items);
    for (size_t i = 0; i < lines.size; ++i)
        if (lines.items[i].why == refusal::none)
            write_line(out, lines.items[i], p.range, texts.items);
    return write_key_diagnostics(lines, inventories, texts.items, err) && ok;
}

} // namespace portslot::audit
