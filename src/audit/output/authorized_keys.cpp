#include "authorized_keys.h"

#include <stdlib.h>
#include <string.h>

#include "csv_header.h"
#include "inventory_records.h"
#include "line_numbers.h"
#include "plan_rows.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

// The key types sshd takes (ssh-dss no longer).
constexpr const char *key_types[] = {
    "ssh-ed25519",
    "ssh-rsa",
    "ecdsa-sha2-nistp256",
    "ecdsa-sha2-nistp384",
    "ecdsa-sha2-nistp521",
    "sk-ssh-ed25519@openssh.com",
    "sk-ecdsa-sha2-nistp256@openssh.com",
};

// Each byte's value as a base64 digit, or -1.
struct base64_table {
    signed char of[256];
};
consteval base64_table make_base64_digits()
{
    base64_table table{};
    const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int c = 0; c < 256; ++c)
        table.of[c] = -1;
    for (int i = 0; i < 64; ++i)
        table.of[static_cast<unsigned char>(digits[i])] = static_cast<signed char>(i);
    return table;
}
constexpr base64_table base64_digits = make_base64_digits();

int base64_digit(char c)
{
    return base64_digits.of[static_cast<unsigned char>(c)];
}

// True when `body` (base64, `size` bytes) decodes to a key of `type`: SSH
// strings (four bytes of length, then the bytes) that fill it exactly, the
// first of them the type's name, and at least one after it.
bool body_has_type(const char *body, size_t size, const char *type)
{
    unsigned char blob[8192];
    if (size % 4 != 0 || size == 0 || size / 4 * 3 > sizeof blob)
        return false;
    size_t n = 0;
    for (size_t i = 0; i < size; i += 4) {
        uint32_t v = 0;
        int pad = 0;
        for (size_t k = i; k < i + 4; ++k) {
            const int digit = base64_digit(body[k]);
            const bool padding =
                body[k] == '=' && k + 3 >= size && (k + 1 == size || body[k + 1] == '=');
            if (digit < 0 && !padding)
                return false;
            pad += padding;
            v = v << 6 | uint32_t(digit < 0 ? 0 : digit);
        }
        blob[n++] = static_cast<unsigned char>(v >> 16);
        blob[n++] = static_cast<unsigned char>(v >> 8);
        blob[n++] = static_cast<unsigned char>(v);
        n -= static_cast<size_t>(pad);
    }
    const size_t type_size = strlen(type);
    size_t strings = 0, at = 0;
    while (n - at >= 4) {
        const size_t length = size_t{blob[at]} << 24 | size_t{blob[at + 1]} << 16 |
                              size_t{blob[at + 2]} << 8 | blob[at + 3];
        if (length > n - at - 4)
            return false;
        if (strings++ == 0 && (length != type_size || memcmp(blob + at + 4, type, type_size) != 0))
            return false;
        at += 4 + length;
    }
    return at == n && strings >= 2;
}

bool is_space(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

size_t public_key_size(const char *text, size_t size)
{
    size_t type_end = 0;
    while (type_end < size && !is_space(text[type_end]))
        ++type_end;
    size_t body = type_end;
    while (body < size && is_space(text[body]))
        ++body;
    size_t body_end = body;
    while (body_end < size && !is_space(text[body_end]))
        ++body_end;
    for (const char *type : key_types)
        if (type_end == strlen(type) && memcmp(text, type, type_end) == 0 && body > type_end &&
            body_has_type(text + body, body_end - body, type))
            return body_end;
    return 0;
}

namespace {

// A record's key and the rest of its fields, gathered.
struct gathered {
    growing_array<char> key, label;
    growing_array<char> field; // one field of the label
    bool has_key;
};

void append(growing_array<char> &to, const char *text, size_t size)
{
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

// A device refused: where its record is, and why (in the low bits).
enum refusal : uint64_t { no_key, not_a_key };

} // namespace

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
    growing_array<uint64_t> refused; // offset << 1 | refusal
    gathered g{{}, {}, {}, false};
    const auto write_line = [&](const plan_row &row) {
        const size_t i = inventories.index_of(row.offset);
        const inventory &inv = inventories.files[i];
        if (columns.items[i] == 0)
            return;
        const char *record = record_at(inv, inv.text + (row.offset - inventories.bases[i]));
        gather(inv, record, columns.items[i], g);
        const char *key = g.key.items;
        size_t size = g.key.size;
        while (size > 0 && is_space(*key))
            ++key, --size;
        const size_t kept = g.has_key ? public_key_size(key, size) : 0;
        if (kept == 0) {
            refused.push(row.offset << 1 | (g.has_key && size != 0 ? not_a_key : no_key));
            return;
        }
        out.text("restrict,port-forwarding");
        for (int64_t k = 0, port = row.first; k < p.range.port_count; ++k, port += 2) {
            out.text(",permitlisten=\"localhost:");
            out.number(static_cast<int32_t>(port));
            out.text("\"");
        }
        out.text(",command=\"/bin/false\" ");
        out.bytes(key, kept);
        out.text(" ");
        out.bytes(row.e.mac, row.e.mac_size);
        // The comment: no control byte (a line end would start a line of
        // its own), each a space.
        for (size_t k = 0; k < g.label.size; ++k) {
            if (starts_c1_control(g.label.items + k, g.label.size - k)) {
                g.label.items[k] = ' ';
                g.label.items[++k] = ' ';
            } else if (is_control(g.label.items[k])) {
                g.label.items[k] = ' ';
            }
        }
        if (g.label.size != 0)
            out.text(" ");
        out.bytes(g.label.items, g.label.size);
        out.text("\n");
    };
    by_format(inventories, [&](auto plain) {
        for_each_row<plain()>(
            p, inventories, [](int32_t, int32_t, bool) {}, write_line);
    });
    if (refused.size == 0)
        return ok;
    qsort(refused.items, refused.size, sizeof(uint64_t), [](const void *a, const void *b) {
        const uint64_t x = *static_cast<const uint64_t *>(a), y = *static_cast<const uint64_t *>(b);
        return (x > y) - (x < y);
    });
    growing_array<uint64_t> lines;
    for (size_t k = 0; k < refused.size; ++k)
        lines.push(refused.items[k] >> 1);
    number_lines(inventories, lines.items, lines.size, lines.items);
    for (size_t k = 0; k < refused.size; ++k) {
        const uint64_t offset = refused.items[k] >> 1;
        write_place(err, inventories.files[inventories.index_of(offset)].name, lines.items[k]);
        err.text((refused.items[k] & 1) == not_a_key
                     ? ": not an OpenSSH public key (TYPE BASE64, nothing before it)\n"
                     : ": no public key\n");
    }
    return false;
}

} // namespace portslot::audit
