#include "csv_header.h"

#include <string.h>

#include <initializer_list>

#include "ascii.h"
#include "fatal.h"
#include "inventory_records.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

// A name as the search for the address column compares it: ASCII letters in
// lower case, without spaces, '_' and '-'; at most 24 bytes of it.
size_t folded(const char *start, const char *stop, char (&out)[24])
{
    size_t n = 0;
    bool too_long = false;
    csv_value(start, stop, [&](const char *text, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c == ' ' || c == '_' || c == '-')
                continue;
            if (n == sizeof out)
                too_long = true;
            else
                out[n++] = static_cast<char>(letter_cases.lower[c]);
        }
    });
    return too_long ? 0 : n;
}

bool is_folded_name(const char *start, const char *stop, std::initializer_list<const char *> names)
{
    char name[24];
    const size_t n = folded(start, stop, name);
    for (const char *known : names)
        if (n == strlen(known) && memcmp(name, known, n) == 0)
            return true;
    return false;
}

bool is_address_name(const char *start, const char *stop)
{
    return is_folded_name(start, stop, {"mac", "macaddress", "hwaddr", "hardwareaddress"});
}

// The columns found by their names, as the address column is (the first of
// each name): port_min, port_max and server, which place the devices, and
// host_key.
void find_named_columns(inventory &inv)
{
    walk_csv_fields(inv.header, inv.header + inv.header_size, inv.format.delimiter,
                    [&](uint32_t column, const char *start, const char *stop) {
                        if (column == inv.format.field)
                            return true;
                        uint32_t *const which = is_folded_name(start, stop, {"portmin"})   ? &inv.port_min_column
                                                : is_folded_name(start, stop, {"portmax"}) ? &inv.port_max_column
                                                : is_folded_name(start, stop, {"server"})  ? &inv.server_column
                                                : is_folded_name(start, stop, {"hostkey"}) ? &inv.host_key_column
                                                                                           : nullptr;
                        if (which != nullptr && *which == 0)
                            *which = column;
                        return true;
                    });
}

// True when the column's name is `name`: the same bytes, or when `fold`, the
// same but for the case of ASCII letters.
bool is_named(const char *start, const char *stop, const char *name, bool fold)
{
    const size_t size = strlen(name);
    size_t at = 0;
    bool same = true;
    csv_value(start, stop, [&](const char *text, size_t n) {
        for (size_t i = 0; i < n && same; ++i, ++at) {
            const auto a = static_cast<unsigned char>(text[i]);
            const auto b = static_cast<unsigned char>(name[at < size ? at : size]);
            same = at < size && (fold ? letter_cases.lower[a] == letter_cases.lower[b] : a == b);
        }
    });
    return same && at == size;
}

// Ends the run: `inv` has no column named `name`, or (null) none of the
// addresses' names.
[[noreturn]] void no_column(const inventory &inv, const char *name)
{
    output &err = fatal_diagnostics();
    warn(err);
    write_name(err, inv.name);
    if (name != nullptr) {
        err.text(": no column named \"");
        write_escaped(err, name, strlen(name));
        err.text("\"");
    } else {
        err.text(": no MAC address column (mac, mac address, hwaddr)");
    }
    err.text(" in the header \"");
    write_cut(err, inv.header, inv.header_size, 64);
    err.text(name != nullptr ? "\"\n" : "\"; name it with --field\n");
    fatal_end();
}

// Where the header of `inv` starts, and its `line`: after any byte order
// mark (spreadsheets write one before UTF-8; it is no part of the first
// column's name) and blank lines; null when there is nothing else.
const char *header_start(const inventory &inv, uint64_t &line)
{
    const char *const end = inv.text + inv.size;
    const char *p = inv.text;
    if (inv.size >= 3 && memcmp(p, "\xef\xbb\xbf", 3) == 0)
        p += 3;
    for (;;) {
        const char *first = detail::skip_blanks(p, end);
        if (first == end)
            return nullptr;
        if (detail::class_of(*first) != detail::line_end)
            return p;
        p = detail::past_line_end(first, end);
        ++line;
    }
}

} // namespace

uint32_t csv_column_named(const inventory &inv, const char *name)
{
    if (inv.header == nullptr)
        return 0;
    const char *const end = inv.header + inv.header_size;
    for (const bool fold : {false, true}) {
        uint32_t found = 0;
        walk_csv_fields(inv.header, end, inv.format.delimiter,
                        [&](uint32_t column, const char *start, const char *stop) {
                            found = is_named(start, stop, name, fold) ? column : 0;
                            return found == 0;
                        });
        if (found != 0)
            return found;
    }
    return 0;
}

unsigned char read_csv_header(inventory &inv, const char *name, uint64_t &header_line)
{
    const char *const end = inv.text + inv.size;
    uint64_t line = 1;
    const char *p = header_start(inv, line);
    if (p == nullptr) {
        inv.records_start = inv.size;
        return no_fault;
    }
    inv.header = p;
    header_line = inv.header_line = line;
    const bool field_given = inv.format.field != 0;
    uint32_t found = 0;
    const char *record_end = p;
    for (const bool fold : {false, true}) {
        const field_walk walk = walk_csv_fields(
            p, end, inv.format.delimiter, [&](uint32_t column, const char *start, const char *stop) {
                if (found == 0 && (name != nullptr ? is_named(start, stop, name, fold)
                                                   : !field_given && is_address_name(start, stop)))
                    found = column;
                return true;
            });
        record_end = walk.stop;
        if (walk.fault != no_fault) { // no names to trust, and no record after it
            inv.header = nullptr;
            inv.records_start = inv.size;
            return walk.fault;
        }
        if (!fold)
            line += walk.line_ends;
        if (found != 0 || name == nullptr)
            break;
    }
    inv.header_size = static_cast<size_t>(record_end - p);
    inv.records_start = static_cast<size_t>(detail::past_line_end(record_end, end) - inv.text);
    inv.records_line = line + 1;
    if (!field_given) {
        if (found == 0)
            no_column(inv, name);
        inv.format.field = found;
    }
    find_named_columns(inv);
    return no_fault;
}

void read_column_names(const inventory &inv, column_names &names)
{
    names.starts.push(0);
    walk_csv_fields(inv.header, inv.header + inv.header_size, inv.format.delimiter,
                    [&](uint32_t, const char *start, const char *stop) {
                        csv_value(start, stop, [&](const char *piece, size_t size) {
                            for (size_t i = 0; i < size; ++i)
                                names.text.push(piece[i]);
                        });
                        names.starts.push(names.text.size);
                        return true;
                    });
}

} // namespace portslot::audit
