#include "host_aliases.h"

#include <string.h>

#include "letter_case.h"

namespace portslot::audit {

namespace {

bool is_alias_byte(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '.' || c == '_' || c == '+' || c == '-';
}

bool all_of(const char *word, size_t size, bool (*in)(unsigned char))
{
    for (size_t i = 0; i < size; ++i)
        if (!in(static_cast<unsigned char>(word[i])))
            return false;
    return true;
}

bool is_digit_or_dot(unsigned char c)
{
    return (c >= '0' && c <= '9') || c == '.';
}

bool is_hex_digit(unsigned char c)
{
    return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

bool same_without_case(const char *a, const char *b, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        if (letter_cases.lower[static_cast<unsigned char>(a[i])] !=
            letter_cases.lower[static_cast<unsigned char>(b[i])])
            return false;
    return true;
}

uint64_t hash_without_case(const char *word, size_t size)
{
    uint64_t h = 0xcbf29ce484222325u; // FNV-1a
    for (size_t i = 0; i < size; ++i)
        h = (h ^ letter_cases.lower[static_cast<unsigned char>(word[i])]) * 0x100000001b3u;
    return h;
}

} // namespace

bool usable_alias(const char *word, size_t size)
{
    if (size == 0 || size > 64 || word[0] == '-' || word[0] == '.')
        return false;
    if (!all_of(word, size, is_alias_byte) || all_of(word, size, is_digit_or_dot))
        return false;
    if (size == 12 && all_of(word, size, is_hex_digit))
        return false;
    return !(size == 9 && same_without_case(word, "localhost", 9));
}

void choose_aliases(const growing_array<host_candidate> &devices, const char *words,
                    growing_array<host_alias> &aliases)
{
    // The words taken so far, by their hash: open addressing, a slot an
    // index from 1 (0: free), at most half full.
    size_t slots = 16;
    while (slots < 2 * devices.size)
        slots *= 2;
    growing_array<size_t> taken;
    taken.reserve(slots);
    memset(taken.items, 0, slots * sizeof(size_t));
    aliases.reserve(devices.size);
    aliases.size = devices.size;
    for (size_t i = 0; i < devices.size; ++i) {
        const host_candidate &d = devices.items[i];
        const char *word = words + d.word;
        host_alias &alias = aliases.items[i];
        alias = {usable_alias(word, d.word_size) ? alias_from::label : alias_from::address, 0};
        if (alias.from == alias_from::address)
            continue;
        size_t at = hash_without_case(word, d.word_size) & (slots - 1);
        for (; taken.items[at] != 0; at = (at + 1) & (slots - 1)) {
            const host_candidate &other = devices.items[taken.items[at] - 1];
            if (other.word_size == d.word_size &&
                same_without_case(words + other.word, word, d.word_size)) {
                alias = {alias_from::address_taken, taken.items[at] - 1};
                break;
            }
        }
        if (alias.from == alias_from::label)
            taken.items[at] = i + 1;
    }
}

} // namespace portslot::audit
