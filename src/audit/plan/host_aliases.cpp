#include "host_aliases.h"

#include <stdlib.h>
#include <string.h>

#include "ascii.h"
#include "jump_hosts.h"
#include "memory.h"
#include "words.h"

namespace portslot::audit {

namespace {

// Up to eight bytes from `p` (`size` of them) as a word, the first lowest;
// 0 past them.
uint64_t word_of(const char *p, size_t size)
{
    if (size >= 8)
        return load_word(p);
    uint64_t word = 0;
    for (size_t i = 0; i < size; ++i)
        word |= uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    return word;
}

// What each byte may be in an alias.
enum : unsigned char { in_alias = 1, digit_or_dot = 2, hex_digit = 4, not_dot = 8, not_upper = 16 };
struct byte_kinds {
    unsigned char of[256];
};
consteval byte_kinds make_byte_kinds()
{
    byte_kinds kinds{};
    for (int c = 0; c < 256; ++c) {
        const bool digit = c >= '0' && c <= '9';
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool hex = digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        const bool other = c == '.' || c == '_' || c == '+' || c == '-';
        kinds.of[c] = static_cast<unsigned char>(((digit || letter || other) ? in_alias : 0) |
                                                 ((digit || c == '.') ? digit_or_dot : 0) |
                                                 (hex ? hex_digit : 0) | (c != '.' ? not_dot : 0) |
                                                 (c < 'A' || c > 'Z' ? not_upper : 0));
    }
    return kinds;
}
constexpr byte_kinds kinds = make_byte_kinds();

bool same_without_case(const char *a, const char *b, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        if (letter_cases.lower[static_cast<unsigned char>(a[i])] !=
            letter_cases.lower[static_cast<unsigned char>(b[i])])
            return false;
    return true;
}

// Up to eight bytes of an alias from `p` (`size` of them), folded: on the
// bytes an alias may hold, setting 0x20 is the lower case of a letter and
// leaves the others apart ('_' becomes DEL, which no alias holds).
uint64_t folded_word(const char *p, size_t size)
{
    return word_of(p, size) | 0x2020202020202020u;
}

// Of two usable aliases of `size` bytes each.
bool same_alias(const char *a, const char *b, size_t size)
{
    for (size_t i = 0; i < size; i += 8)
        if (folded_word(a + i, size - i) != folded_word(b + i, size - i))
            return false;
    return true;
}

} // namespace

namespace {

// Of a word whose bytes are all of `kinds`.
bool usable(const char *word, size_t size, unsigned all)
{
    if (size == 0 || size > 64 || word[0] == '-' || word[0] == '.')
        return false;
    if ((all & in_alias) == 0 || (all & digit_or_dot) != 0 || (size == 12 && (all & hex_digit)))
        return false;
    return !(size == 9 && same_without_case(word, "localhost", 9));
}

} // namespace

host_candidate candidate_of(uint64_t offset, const char *text, size_t size,
                            const alias_limits *limits)
{
    size_t begin = 0;
    while (begin < size && is_space_or_tab(text[begin]))
        ++begin;
    // The word, the kinds all its bytes are, and its hash without case, in
    // one pass, eight bytes at a time (0 past the end of the text ends the
    // word as a control byte does).
    unsigned all = in_alias | digit_or_dot | hex_digit | not_dot | not_upper;
    uint64_t h = 0;
    size_t end = begin;
    for (;;) {
        const uint64_t bytes = word_of(text + end, size - end);
        const unsigned taken = first_marked(marks_below(bytes, 0x21) | marks_of(bytes, 0x7f));
        for (unsigned k = 0; k < taken; ++k)
            all &= kinds.of[(bytes >> (8 * k)) & 0xff];
        if (taken > 0) {
            const uint64_t kept = taken == 8 ? bytes : bytes & ((uint64_t{1} << (8 * taken)) - 1);
            h = (h ^ (kept | 0x2020202020202020u)) * 0x9e3779b97f4a7c15u;
        }
        end += taken;
        if (taken < 8)
            break;
    }
    host_candidate c{offset, text + begin, end - begin, 0, false, false, (all & not_dot) == 0,
                     (all & not_upper) == 0};
    c.usable = usable(c.word, c.word_size, all);
    // (Most words have no dot, nor a jump host's size.)
    if (c.usable && limits != nullptr &&
        (c.dotted || ((limits->jump_sizes >> (c.word_size - 1)) & 1) != 0))
        limit_candidate(c, *limits);
    if (!c.usable)
        return c;
    h ^= c.word_size;
    h ^= h >> 33; // (the low bits choose the slot: mix the high ones in)
    h *= 0xff51afd7ed558ccdu;
    c.hash = h ^ (h >> 33);
    return c;
}

void limit_candidate(host_candidate &c, const alias_limits &limits)
{
    const size_t d = limits.domain_size;
    if (c.dotted)
        c.usable = d > 0 && c.word_size > d + 1 && c.word[c.word_size - d - 1] == '.' &&
                   same_without_case(c.word + c.word_size - d, limits.domain, d);
    for (size_t i = 0; c.usable && i < limits.jump_count; ++i) {
        const jump_part &jump = limits.jumps[i];
        c.jump_host = jump.host_size == c.word_size &&
                      same_without_case(jump.host, c.word, c.word_size);
        c.usable = !c.jump_host;
    }
}

bool usable_alias(const char *word, size_t size)
{
    const host_candidate c = candidate_of(0, word, size);
    return c.usable && c.word == word && c.word_size == size;
}

size_t choose_aliases(const growing_array<host_candidate> &devices,
                      growing_array<host_alias> &aliases)
{
    // The holder of each word so far, by the word's hash: open addressing,
    // a slot a device's index from 1 (0: free), at most half full.
    size_t slots = 16;
    while (slots < 2 * devices.size)
        slots *= 2;
    // (A fleet has fewer than 2^32 devices: 8 GiB at most. Zeroed by the
    // system, as a table this large is mapped afresh.)
    uint32_t *const holders = static_cast<uint32_t *>(allocate_zeroed(slots, sizeof(uint32_t)));
    growing_array<size_t> slot; // each device's slot; `slots` for an address alias
    slot.reserve(devices.size);
    slot.size = devices.size;
    aliases.reserve(devices.size);
    aliases.size = devices.size;
    for (size_t i = 0; i < devices.size; ++i) {
        const host_candidate &d = devices.items[i];
        host_alias &alias = aliases.items[i];
        alias = {d.usable      ? alias_from::label
                 : d.jump_host ? alias_from::jump_host
                               : alias_from::address,
                 0};
        slot.items[i] = slots;
        if (alias.from != alias_from::label)
            continue;
        size_t at = d.hash & (slots - 1);
        for (; holders[at] != 0; at = (at + 1) & (slots - 1)) {
            const host_candidate &other = devices.items[holders[at] - 1];
            if (other.word_size == d.word_size && same_alias(other.word, d.word, d.word_size))
                break;
        }
        slot.items[i] = at;
        uint32_t &holder = holders[at];
        if (holder != 0 && devices.items[holder - 1].offset < d.offset) {
            alias = {alias_from::address_taken, 0};
            continue;
        }
        if (holder != 0) // a later device had it
            aliases.items[holder - 1] = {alias_from::address_taken, 0};
        holder = static_cast<uint32_t>(i + 1);
    }
    // Each device that gave way names the one that keeps the word.
    size_t gave_way = 0;
    for (size_t i = 0; i < devices.size; ++i) {
        if (aliases.items[i].from == alias_from::address_taken) {
            aliases.items[i].holder = holders[slot.items[i]] - 1;
            ++gave_way;
        }
        gave_way += aliases.items[i].from == alias_from::jump_host;
    }
    free(holders);
    return gave_way;
}

} // namespace portslot::audit
