#include "key_lines.h"

#include <stdlib.h>
#include <string.h>

#include <string_view>

#include "ascii.h"
#include "host_key.h"
#include "memory.h"
#include "plain_mac.h"
#include "shown_text.h"
#include "words.h"

namespace portslot::audit {

namespace {

// Past the words of eight bytes of `text` that are printable ASCII: where
// the first other byte is, or where fewer than eight bytes are left.
const char *printable_ascii_end(const char *text, size_t size)
{
    const char *p = text, *const end = text + size;
    for (; end - p >= 8; p += 8) {
        const uint64_t word = load_word(p);
        if ((marks_below(word, 0x20) | marks_of(word, 0x7f) | (word & 0x8080808080808080u)) != 0)
            break;
    }
    return p;
}

// True when `text` holds a control byte (C0, DEL, or a C1 control in
// UTF-8).
bool holds_control(const char *text, size_t size)
{
    for (const char *p = printable_ascii_end(text, size), *end = text + size; p != end; ++p)
        if (is_control(*p) || starts_c1_control(p, static_cast<size_t>(end - p)))
            return true;
    return false;
}

// The comment: no control byte (a line end would start a line of its own),
// each a space.
void clean_comment(char *text, size_t size)
{
    // (Eight bytes at a time while they are printable ASCII, as labels are.)
    size_t k = static_cast<size_t>(printable_ascii_end(text, size) - text);
    for (; k < size; ++k) {
        if (starts_c1_control(text + k, size - k)) {
            text[k] = ' ';
            text[++k] = ' ';
        } else if (is_control(text[k])) {
            text[k] = ' ';
        }
    }
}

// A hash of `text`, eight bytes at a time.
uint64_t hash_of_text(std::string_view text)
{
    uint64_t h = text.size();
    size_t k = 0;
    for (; k + 8 <= text.size(); k += 8) {
        uint64_t word;
        memcpy(&word, text.data() + k, 8);
        h = (h ^ word) * 0x9e3779b97f4a7c15u;
        h ^= h >> 29;
    }
    for (; k < text.size(); ++k)
        h = (h ^ static_cast<unsigned char>(text[k])) * 0x100000001b3u;
    return h ^ (h >> 32);
}

// The two first holders of a key (by place) and how many hold it.
struct key_holders {
    size_t first, second, count;
};

// Marks the devices that hold the same key as another, so that neither
// line is written: each names the key's first holder, and that one the
// second.
void refuse_shared_keys(growing_array<key_line> &lines, const char *texts)
{
    const auto key_of = [&](size_t i) {
        return std::string_view(texts + lines.items[i].key, lines.items[i].key_size);
    };
    // Each key's holders, by the key's hash: open addressing, a slot a
    // key's index in `keys` from 1 (0: free), at most half full; the texts
    // compared only where the hashes are alike.
    size_t slots = 16;
    while (slots < 2 * lines.size)
        slots *= 2;
    struct slot {
        uint64_t hash;
        size_t key;
    };
    slot *const table = static_cast<slot *>(allocate_zeroed(slots, sizeof(slot)));
    growing_array<key_holders> keys;
    growing_array<size_t> key_of_line; // from 1; 0: a line without a key
    key_of_line.reserve(lines.size);
    for (size_t i = 0; i < lines.size; ++i) {
        key_of_line.push(0);
        if (lines.items[i].why != refusal::none)
            continue;
        const uint64_t hash = hash_of_text(key_of(i));
        size_t at = hash & (slots - 1);
        while (table[at].key != 0 && (table[at].hash != hash ||
                                      key_of(keys.items[table[at].key - 1].first) != key_of(i)))
            at = (at + 1) & (slots - 1);
        if (table[at].key == 0) {
            keys.push({i, i, 0});
            table[at] = {hash, keys.size};
        }
        key_of_line.items[i] = table[at].key;
        key_holders &k = keys.items[table[at].key - 1];
        const uint64_t offset = lines.items[i].offset;
        if (k.count++ == 0)
            continue;
        if (offset < lines.items[k.first].offset) {
            k.second = k.first;
            k.first = i;
        } else if (k.count == 2 || offset < lines.items[k.second].offset) {
            k.second = i;
        }
    }
    free(table);
    for (size_t i = 0; i < lines.size; ++i) {
        if (key_of_line.items[i] == 0 || keys.items[key_of_line.items[i] - 1].count < 2)
            continue;
        const key_holders &k = keys.items[key_of_line.items[i] - 1];
        lines.items[i].why = refusal::same_key;
        lines.items[i].other = lines.items[i == k.first ? k.second : k.first].offset;
    }
}

// The line of the device of `row`, whose record gave `g`.
key_line checked_line(const plan_row &row, const key_record &g, key_use use,
                      growing_array<char> &texts)
{
    key_line line{row.offset, row.first, row.shared, refusal::none, key_fault::none, 0, 0,
                  0,          0,         0, 0};
    char mac[17];
    const char *key = g.key.items;
    size_t size = g.key.size;
    while (size > 0 && is_space_or_tab(*key))
        ++key, --size;
    while (size > 0 && is_space_or_tab(key[size - 1]))
        --size;
    if (!g.has_key || size == 0) {
        line.why = refusal::no_key;
    } else if (!read_plain_mac(row.e.mac, row.e.mac_size, mac)) {
        line.why = refusal::address;
    } else {
        const public_key read =
            use == key_use::host ? read_host_key(key, size) : read_public_key(key, size);
        // (A key read holds no control byte but a tab between its words.)
        if ((read.size != 0 && memchr(key, '\t', read.size) != nullptr) ||
            holds_control(key + read.size, size - read.size)) {
            line.why = refusal::control_in_key;
        } else {
            line.fault = read.fault;
            line.why = read.size == 0 ? refusal::bad_key : refusal::none;
            size = read.size == 0 ? size : read.size;
        }
    }
    // A host's line is gathered whole, "ADDRESS KEY COMMENT\n", to be
    // written as it stands; its comment is its label alone.
    const bool known_host = use == key_use::host && line.why == refusal::none;
    if (known_host) {
        line.mac = texts.size;
        append(texts, mac, 17);
        append(texts, " ", 1);
    }
    line.key = texts.size;
    append(texts, key, size);
    line.key_size = size;
    if (known_host && g.label.size != 0)
        append(texts, " ", 1);
    line.comment = texts.size;
    if (use == key_use::tunnel)
        append(texts, row.e.mac, row.e.mac_size);
    if (g.label.size != 0) {
        if (use == key_use::tunnel)
            append(texts, " ", 1);
        append(texts, g.label.items, g.label.size);
    }
    line.comment_size = texts.size - line.comment;
    clean_comment(texts.items + line.comment, line.comment_size);
    if (known_host)
        append(texts, "\n", 1);
    return line;
}

} // namespace

void gather_key_lines(const plan &p, const fleet &inventories,
                      const growing_array<uint32_t> &columns, key_use use,
                      growing_array<key_line> &lines, growing_array<char> &texts)
{
    key_record g{{}, {}, {}, false};
    const auto gather_line = [&](const plan_row &row) {
        if (columns.items[row.inventory] == 0)
            return;
        read_key_record(inventories.files[row.inventory], row.record, columns.items[row.inventory],
                        g, use == key_use::host ? label_part::without_dropped : label_part::whole);
        lines.push(checked_line(row, g, use, texts));
    };
    for_each_row(p, inventories, [](int32_t, int32_t, bool) {}, gather_line);
    refuse_shared_keys(lines, texts.items);
}

} // namespace portslot::audit
