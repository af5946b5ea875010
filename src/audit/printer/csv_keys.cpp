#include "csv_keys.h"

#include <string.h>

#include <algorithm>
#include <string_view>

#include "csv_header.h"
#include "decimal.h"
#include "json_text.h"

namespace portslot::audit {

namespace {

// The number of '#' that `name` holds before digits and nothing else, plus
// one; 0 when it is no such name.
size_t hashes_to_pass(const char *name, size_t size)
{
    size_t hashes = 0;
    while (hashes < size && name[hashes] == '#')
        ++hashes;
    if (hashes == size)
        return 0;
    for (size_t i = hashes; i < size; ++i)
        if (name[i] < '0' || name[i] > '9')
            return 0;
    return hashes + 1;
}

} // namespace

csv_keys::csv_keys(const fleet &inventories)
{
    for (size_t i = 0; i < inventories.count; ++i)
        add(inventories.files[i]);
}

void csv_keys::add(const inventory &inv)
{
    columns of{keys_.size, 0, 0};
    if (inv.format.kind != record_format::csv || inv.header == nullptr) {
        inventories_.push(of);
        return;
    }
    column_names named;
    read_column_names(inv, named);
    const size_t count = named.starts.size - 1;
    // Each name as its JSON text; names whose texts are the same (also
    // where only bytes that are not UTF-8 differ, each U+FFFD) are keyed by
    // their numbers. Found by sorting, as a header may have many columns.
    const size_t first = keys_.size;
    for (size_t i = 0; i < count; ++i) {
        const char *name = named.text.items + named.starts.items[i];
        const size_t size = named.starts.items[i + 1] - named.starts.items[i];
        const size_t passed = hashes_to_pass(name, size);
        of.hashes = passed > of.hashes ? passed : of.hashes;
        while (text_.capacity < text_.size + 6 * size)
            text_.grow();
        const size_t start = text_.size;
        text_.size = static_cast<size_t>(put_json_chars(text_.items + start, name, size) -
                                         text_.items);
        keys_.push(key{start, text_.size});
    }
    growing_array<size_t> order;
    for (size_t i = 0; i < count; ++i)
        order.push(first + i);
    const auto text_of = [&](size_t k) {
        return std::string_view(text_.items + keys_.items[k].start,
                                keys_.items[k].end - keys_.items[k].start);
    };
    std::sort(order.items, order.items + order.size,
              [&](size_t a, size_t b) { return text_of(a) < text_of(b); });
    for (size_t i = 0, j; i < order.size; i = j) {
        for (j = i + 1; j < order.size && text_of(order.items[j]) == text_of(order.items[i]); ++j) {
        }
        for (size_t k = i; j - i > 1 && k < j; ++k)
            keys_.items[order.items[k]].by_number = true;
    }
    of.count = count;
    inventories_.push(of);
}

void csv_keys::write(output &out, size_t i, size_t column) const
{
    const columns &of = inventories_.items[i];
    out.bytes("\"", 1);
    if (column <= of.count && !keys_.items[of.first + column - 1].by_number) {
        const key &k = keys_.items[of.first + column - 1];
        out.bytes(text_.items + k.start, k.end - k.start);
    } else {
        for (size_t n = 0; n < of.hashes; ++n)
            out.bytes("#", 1);
        char digits[20];
        out.bytes(digits, put_decimal(digits, column));
    }
    out.bytes("\":", 2);
}

} // namespace portslot::audit
