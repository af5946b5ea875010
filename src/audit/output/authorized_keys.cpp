#include "authorized_keys.h"

#include <string.h>

#include <algorithm>
#include <iterator>
#include <string_view>

#include "csv_header.h"
#include "inventory_records.h"
#include "line_numbers.h"
#include "plan_rows.h"
#include "public_key.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

bool is_space(char c)
{
    return c == ' ' || c == '\t';
}

// A record's key and the rest of its fields, gathered.
struct gathered {
    growing_array<char> key, label;
    growing_array<char> field; // one field of the label
    bool has_key;
};

void append(growing_array<char> &to, const char *text, size_t size)
{
    if (size == 0) // (an empty field may have no bytes at all)
        return;
    while (to.capacity < to.size + size + 1)
        to.grow();
    memcpy(to.items + to.size, text, size);
    to.size += size;
}

// Adds a field to the label: a space between fields, none empty.
void add_to_label(gathered &g, const char *text, size_t size)
{
    while (size > 0 && is_space(*text))
        ++text, --size;
    while (size > 0 && is_space(text[size - 1]))
        --size;
    if (size == 0)
        return;
    if (g.label.size != 0)
        append(g.label, " ", 1);
    append(g.label, text, size);
}

// Gathers the key (field `key_column`) and the label (every field but it and
// the address) of the record at `record`.
void gather(const inventory &inv, const char *record, uint32_t key_column, gathered &g)
{
    g.key.size = g.label.size = 0;
    g.has_key = false;
    const char *const end = inv.text + inv.size;
    const record_format &format = inv.format;
    const char *p = record;
    for (uint32_t column = 1;; ++column) {
        // The field's value, whole, into the key or the label.
        growing_array<char> &value = column == key_column ? g.key : g.field;
        value.size = 0;
        const char *stop;
        if (format.kind == record_format::csv) {
            uint64_t line_ends = 0;
            unsigned char fault = no_fault;
            stop = csv_field_end(p, end, format.delimiter, line_ends, fault);
            csv_value(p, stop, [&](const char *text, size_t size) { append(value, text, size); });
        } else if (format.delimiter != 0) {
            stop = detail::delimiter_or_line_end(p, end, format.delimiter);
            append(value, p, static_cast<size_t>(stop - p));
        } else { // runs of blanks; the key runs to the line's end
            p = detail::skip_blanks(p, end);
            stop = p;
            while (stop != end && detail::class_of(*stop) != detail::line_end &&
                   (column == key_column || detail::class_of(*stop) != detail::blank))
                ++stop;
            if (p == stop)
                return;
            append(value, p, static_cast<size_t>(stop - p));
        }
        if (column != key_column && column != format.field)
            add_to_label(g, g.field.items, g.field.size);
        g.has_key = g.has_key || column == key_column;
        if (format.kind == record_format::csv || format.delimiter != 0) {
            if (stop == end || *stop != format.delimiter)
                return;
            p = stop + 1;
        } else {
            if (column == key_column) // the rest of the line was the key
                return;
            p = stop;
        }
    }
}

// The key's column in each inventory: the field given, or the column of
// that name in a CSV inventory's header (0: none).
uint32_t key_column_of(const inventory &inv, const key_field &where)
{
    if (where.name == nullptr)
        return where.field;
    return csv_column_named(inv, where.name);
}

// Why a device gets no line.
enum class refusal : unsigned char {
    none,
    no_key,         // no key field, or an empty one
    bad_key,        // not a key sshd takes (`fault` says why)
    control_in_key, // a control byte in the key field
    address,        // the address is not a plain MAC text
    same_key,       // the key is another device's too
};

// A device's line, gathered before any is written: the lines of devices
// that hold the same key are not written at all.
struct key_line {
    uint64_t offset; // of its record
    int32_t first;   // its block's first port
    bool shared;
    refusal why;
    key_fault fault;
    size_t key, key_size;         // the key field's text in `texts`
    size_t comment, comment_size; // address and label, in `texts`
    uint64_t other;               // same_key: the record that holds it first
};

// Plain when it is 12 hexadecimal digits, colons between them aside: the
// address goes into the key's comment, where nothing else may pass.
bool is_plain_mac(const char *mac, size_t size)
{
    size_t digits = 0;
    for (size_t i = 0; i < size; ++i) {
        const char c = mac[i];
        const bool hex = (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
        if (!hex && c != ':')
            return false;
        digits += hex;
    }
    return digits == 12;
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

// What a refusal says after the record's place.
void write_refusal(output &err, const key_line &line, const char *texts)
{
    static constexpr const char *faults[] = {
        "",
        "",
        "the type alone, without its base64 data",
        "its data is not canonical base64",
        "its data is larger than any key",
        "its data is of another type than its text says",
        "its data is cut short",
        "its data has fields after the key's own",
        "an Ed25519 key must be 32 bytes",
        "a security key without its application",
        "its curve is not its type's",
        "its point is not an uncompressed point of its curve",
        "its point is not on its curve",
        "an RSA number below zero",
        "an RSA modulus must be 1024 to 16384 bits",
    };
    static_assert(std::size(faults) == static_cast<size_t>(key_fault::rsa_size) + 1);
    switch (line.why) {
    case refusal::no_key:
        err.text(": no public key\n");
        return;
    case refusal::control_in_key:
        err.text(": a control byte in the key field\n");
        return;
    case refusal::address:
        err.text(": the address is not a plain MAC address (12 hexadecimal digits, colons"
                 " aside); no key line for it\n");
        return;
    default: // bad_key (same_key is said with its other place, by the caller)
        break;
    }
    err.text(": not a public key sshd takes: ");
    if (line.fault != key_fault::unknown_type) {
        err.text(faults[static_cast<int>(line.fault)]);
        err.text("\n");
        return;
    }
    size_t word = 0;
    while (word < line.key_size && !is_space(texts[line.key + word]))
        ++word;
    err.text("\"");
    write_cut(err, texts + line.key, word, 64);
    err.text("\" is not a key type (the field holds TYPE BASE64 and a comment, nothing before"
             " it)\n");
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

// The line of the record at `offset`, from the offsets named (ascending)
// and their lines.
uint64_t line_of(const growing_array<uint64_t> &offsets, const growing_array<uint64_t> &numbers,
                 uint64_t offset)
{
    const uint64_t *at = std::lower_bound(offsets.items, offsets.items + offsets.size, offset);
    return numbers.items[at - offsets.items];
}

// The places of refused devices and their reasons, in file order; then for
// each shared block the places of its devices. False when any was refused.
bool write_diagnostics(const growing_array<key_line> &lines, const fleet &inventories,
                       const char *texts, output &err)
{
    growing_array<uint64_t> offsets;
    for (size_t i = 0; i < lines.size; ++i) {
        const key_line &line = lines.items[i];
        if (line.why != refusal::none || line.shared)
            offsets.push(line.offset);
    }
    if (offsets.size == 0)
        return true;
    std::sort(offsets.items, offsets.items + offsets.size);
    growing_array<uint64_t> numbers;
    numbers.reserve(offsets.size);
    numbers.size = offsets.size;
    number_lines(inventories, offsets.items, offsets.size, numbers.items);
    const auto place = [&](uint64_t offset) {
        write_place(err, inventories.files[inventories.index_of(offset)].name,
                    line_of(offsets, numbers, offset));
    };
    // The refusals by place (the lines are in block order).
    growing_array<const key_line *> refused;
    for (size_t i = 0; i < lines.size; ++i)
        if (lines.items[i].why != refusal::none)
            refused.push(lines.items + i);
    std::sort(refused.items, refused.items + refused.size,
              [](const key_line *a, const key_line *b) { return a->offset < b->offset; });
    for (size_t k = 0; k < refused.size; ++k) {
        const key_line &line = *refused.items[k];
        place(line.offset);
        if (line.why == refusal::same_key) {
            err.text(": the same public key as ");
            place(line.other);
            err.text(", so neither device's line is written: a key must be one device's\n");
        } else {
            write_refusal(err, line, texts);
        }
    }
    // Shared blocks: which devices share each.
    uint64_t devices = 0, blocks = 0;
    for (size_t i = 0; i < lines.size; ++i)
        if (lines.items[i].shared) {
            ++devices;
            blocks += i == 0 || lines.items[i - 1].first != lines.items[i].first;
        }
    if (blocks > 0) {
        err.text("portslot-audit: warning: ");
        err.number(static_cast<int64_t>(devices));
        err.text(" devices share ");
        err.number(static_cast<int64_t>(blocks));
        err.text(blocks == 1 ? " block" : " blocks");
        err.text(", and each of their keys may listen on the others' ports:\n");
        for (size_t i = 0; i < lines.size; ++i) {
            const key_line &line = lines.items[i];
            if (!line.shared)
                continue;
            const bool opens = i == 0 || lines.items[i - 1].first != line.first;
            const bool closes = i + 1 == lines.size || lines.items[i + 1].first != line.first;
            if (opens) {
                err.text("  ");
                err.number(line.first);
                err.text(":");
            }
            err.text(" ");
            place(line.offset);
            if (closes)
                err.text("\n");
        }
    }
    return refused.size == 0;
}

} // namespace

bool keys_fit_port_numbers(const port_range &range, int64_t blocks, output &err)
{
    const int64_t first = int64_t{range.port_min} + (range.port_min & 1);
    const int64_t last = first + 2 * (blocks * range.port_count - 1);
    if (first >= 1 && last <= 65535)
        return true;
    err.text("portslot-audit: --authorized-keys: the range gives ");
    if (first < 1) {
        err.text("port 0");
    } else {
        err.text("ports up to ");
        err.number(last);
    }
    err.text(", which no key can listen on; choose a range within 2 to 65534\n");
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
            err.text("portslot-audit: ");
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
    gathered g{{}, {}, {}, false};
    const auto gather_line = [&](const plan_row &row) {
        const size_t i = inventories.index_of(row.offset);
        const inventory &inv = inventories.files[i];
        if (columns.items[i] == 0)
            return;
        key_line line{row.offset, row.first, row.shared, refusal::none, key_fault::none, 0, 0,
                      0,          0,         0};
        gather(inv, record_at(inv, inv.text + (row.offset - inventories.bases[i])),
               columns.items[i], g);
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
        } else if (!is_plain_mac(row.e.mac, row.e.mac_size)) {
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
        lines.push(line);
    };
    by_format(inventories, [&](auto plain) {
        for_each_row<plain()>(
            p, inventories, [](int32_t, int32_t, bool) {}, gather_line);
    });
    refuse_shared_keys(lines, texts.items);
    for (size_t i = 0; i < lines.size; ++i)
        if (lines.items[i].why == refusal::none)
            write_line(out, lines.items[i], p.range, texts.items);
    return write_diagnostics(lines, inventories, texts.items, err) && ok;
}

} // namespace portslot::audit
