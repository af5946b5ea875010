#include "ssh_config.h"

#include <string.h>

#include <algorithm>

#include "csv_header.h"
#include "fatal.h"
#include "host_aliases.h"
#include "key_record.h"
#include "line_numbers.h"
#include "plain_mac.h"
#include "plan_rows.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

// A device as its block is written.
struct host_row {
    host_candidate name;
    int32_t first;
    bool shared;
    bool plain; // its address is plain, and in `digits`
    char digits[12];
};

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

// The first run of bytes of `size` at `text` that are neither blanks nor
// control bytes, into `words`; where it is in `row`.
void take_first_word(const char *text, size_t size, growing_array<char> &words, host_row &row)
{
    size_t begin = 0;
    while (begin < size && is_blank(text[begin]))
        ++begin;
    size_t end = begin;
    while (end < size && !is_blank(text[end]) && !is_control(text[end]))
        ++end;
    row.name.word = words.size;
    row.name.word_size = end - begin;
    append(words, text + begin, end - begin);
}

// The column of each inventory the aliases come from (0: the label).
uint32_t alias_column(const inventory &inv, const ssh_config_options &how)
{
    return how.alias_field_name != nullptr ? csv_column_named(inv, how.alias_field_name)
                                           : how.alias_field;
}

char *put(char *to, const char *text, size_t size)
{
    memcpy(to, text, size);
    return to + size;
}
template <size_t N> char *put(char *to, const char (&text)[N])
{
    return put(to, text, N - 1);
}

// "aa:bb:cc:dd:ee:ff" from the 12 digits.
char *put_mac(char *to, const char *digits)
{
    for (int i = 0; i < 6; ++i) {
        *to++ = digits[2 * i];
        *to++ = digits[2 * i + 1];
        *to++ = ':';
    }
    return to - 1;
}

void write_block(output &out, const host_row &row, const host_alias &alias, const char *words,
                 const ssh_config_options &how, const port_range &range)
{
    if (row.shared) {
        out.text("# shares ports ");
        out.number(row.first);
        out.text("-");
        out.number(last_port(row.first, range));
        out.text(" with another device: only the one connected answers\n");
    }
    char *const start = out.room(256);
    char *to = put(start, "Host ");
    if (alias.from == alias_from::label)
        to = put(to, words + row.name.word, row.name.word_size);
    else
        to = put(to, row.digits, 12);
    to = put(to, "\n    HostName localhost\n    Port ");
    out.commit(static_cast<size_t>(to - start));
    out.number(int64_t{row.first} + 2 * (int64_t{how.port_num} - 1));
    char *const rest = out.room(64);
    to = put_mac(put(rest, "\n    HostKeyAlias "), row.digits);
    to = put(to, "\n");
    out.commit(static_cast<size_t>(to - rest));
    if (how.jump != nullptr) {
        out.text("    ProxyJump ");
        out.text(how.jump);
        out.text("\n");
    }
}

// Every device of `p`, in file order, with the word its alias may be: the
// first of its label, or with `from_column` of that column's field.
void gather_rows(const plan &p, const fleet &inventories, const growing_array<uint32_t> &columns,
                 bool from_column, growing_array<host_row> &rows, growing_array<char> &words)
{
    key_record g{{}, {}, {}, false};
    const auto gather = [&](const plan_row &r) {
        host_row row{{r.offset, 0, 0}, r.first, r.shared, false, {}};
        row.plain = read_plain_mac(r.e.mac, r.e.mac_size, row.digits);
        const size_t i = inventories.index_of(r.offset);
        const inventory &inv = inventories.files[i];
        if (columns.items[i] == 0 && from_column) { // a CSV inventory without the column
            rows.push(row);
            return;
        }
        if (inv.format.kind == record_format::plain && !from_column) {
            take_first_word(r.e.after, r.e.after_size, words, row);
        } else {
            const char *record = record_at(inv, inv.text + (r.offset - inventories.bases[i]));
            read_key_record(inv, record, columns.items[i], g);
            const growing_array<char> &from = from_column ? g.key : g.label;
            if (!from_column || g.has_key)
                take_first_word(from.items, from.size, words, row);
        }
        rows.push(row);
    };
    by_format(inventories, [&](auto plain) {
        for_each_row<plain()>(p, inventories, [](int32_t, int32_t, bool) {}, gather);
    });
    std::sort(rows.items, rows.items + rows.size,
              [](const host_row &a, const host_row &b) { return a.name.offset < b.name.offset; });
}

// The columns the aliases come from, one an inventory; false after saying
// which CSV inventory has none of the name asked.
bool find_alias_columns(const fleet &inventories, const ssh_config_options &how,
                        growing_array<uint32_t> &columns, output &err)
{
    bool found = true;
    for (size_t i = 0; i < inventories.count; ++i) {
        columns.push(alias_column(inventories.files[i], how));
        if (how.alias_field_name != nullptr && columns.items[i] == 0) {
            warn(err);
            write_name(err, inventories.files[i].name);
            err.text(": no column named \"");
            write_escaped(err, how.alias_field_name, strlen(how.alias_field_name));
            err.text("\" for the aliases; its devices are named by their addresses\n");
            found = false;
        }
    }
    return found;
}

} // namespace

bool write_ssh_config(const plan &p, const fleet &inventories, const ssh_config_options &how,
                      output &out, output &err)
{
    growing_array<uint32_t> columns;
    bool ok = find_alias_columns(inventories, how, columns, err);
    growing_array<host_row> rows;
    growing_array<char> words;
    const bool from_column = how.alias_field != 0 || how.alias_field_name != nullptr;
    gather_rows(p, inventories, columns, from_column, rows, words);

    growing_array<host_candidate> names;
    growing_array<uint64_t> lines; // each row's line, from its offset
    names.reserve(rows.size);
    lines.reserve(rows.size);
    for (size_t i = 0; i < rows.size; ++i) {
        names.push(rows.items[i].name);
        lines.push(rows.items[i].name.offset);
    }
    growing_array<host_alias> aliases;
    choose_aliases(names, words.items, aliases);
    number_lines(inventories, lines.items, lines.size, lines.items);

    uint64_t sharing = 0;
    for (size_t i = 0; i < rows.size; ++i) {
        const host_row &row = rows.items[i];
        const char *name = inventories.files[inventories.index_of(row.name.offset)].name;
        if (!row.plain) {
            write_place(err, name, lines.items[i]);
            err.text(": the address is not a plain MAC address (12 hexadecimal digits, colons"
                     " aside); no Host block for it\n");
            ok = false;
            continue;
        }
        if (aliases.items[i].from == alias_from::address_taken) {
            const size_t holder = aliases.items[i].holder;
            write_place(err, name, lines.items[i]);
            err.text(": alias \"");
            err.bytes(words.items + row.name.word, row.name.word_size);
            err.text("\" is ");
            write_place(err, inventories.files[inventories.index_of(rows.items[holder].name.offset)].name,
                        lines.items[holder]);
            err.text("'s already; this device is ");
            err.bytes(row.digits, 12);
            err.text("\n");
        }
        sharing += row.shared;
        out.text(i == 0 ? "# " : "\n# ");
        write_place(out, name, lines.items[i]);
        out.text("\n");
        write_block(out, row, aliases.items[i], words.items, how, p.range);
    }
    if (sharing > 0) {
        warn(err, "warning: ");
        err.number(static_cast<int64_t>(sharing));
        err.text(" devices share a block with another, and only the one connected answers on"
                 " its port (their blocks say so)\n");
    }
    return ok;
}

} // namespace portslot::audit
