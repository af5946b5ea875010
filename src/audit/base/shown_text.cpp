#include "shown_text.h"

#include <string.h>

namespace portslot::audit {

void write_escaped(output &out, const char *text, size_t size)
{
    static const char hex[] = "0123456789abcdef";
    const char *plain = text;
    const char *const end = text + size;
    for (const char *p = text; p != end; ++p) {
        const size_t bytes = is_control(*p)                                       ? 1
                             : starts_c1_control(p, static_cast<size_t>(end - p)) ? 2
                                                                                  : 0;
        if (bytes == 0)
            continue;
        out.bytes(plain, static_cast<size_t>(p - plain));
        for (size_t i = 0; i < bytes; ++i) {
            const auto byte = static_cast<unsigned char>(p[i]);
            const char escaped[4] = {'\\', 'x', hex[byte >> 4], hex[byte & 15]};
            out.bytes(escaped, sizeof escaped);
        }
        p += bytes - 1;
        plain = p + 1;
    }
    out.bytes(plain, static_cast<size_t>(end - plain));
}

void write_place(output &out, const char *name, uint64_t line)
{
    write_escaped(out, name, strlen(name));
    out.text(":");
    out.number(static_cast<int64_t>(line));
}

void write_cut(output &out, const char *text, size_t size, size_t limit)
{
    write_escaped(out, text, size < limit ? size : limit);
    if (size > limit)
        out.text("...");
}

namespace {

// Bytes that a shell takes as themselves, and that read plainly in a message:
// letters, digits, "/._-+,:@%=" and every byte from 0x80 (UTF-8).
struct plain_bytes {
    bool of[256];
};
consteval plain_bytes make_plain_bytes()
{
    plain_bytes plain{};
    const char marks[] = "/._-+,:@%=";
    for (int c = 0; c < 256; ++c)
        plain.of[c] =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80;
    for (const char *c = marks; *c != '\0'; ++c)
        plain.of[static_cast<unsigned char>(*c)] = true;
    return plain;
}
constexpr plain_bytes plain_in_names = make_plain_bytes();

} // namespace

void write_name(output &out, const char *name)
{
    size_t size = 0;
    bool plain = true, controls = false;
    for (; name[size] != '\0'; ++size) { // (a byte that is not NUL has one after it)
        const bool control = is_control(name[size]) || starts_c1_control(name + size, 2);
        plain = plain && plain_in_names.of[static_cast<unsigned char>(name[size])] && !control;
        controls = controls || control;
    }
    plain = plain && size != 0;
    if (plain) {
        out.bytes(name, size);
        return;
    }
    // Single quotes take every byte as it is, but a control byte cannot be
    // shown as itself: then $'...', where \xHH, \\ and \' are what a shell
    // (bash, zsh, ksh, BusyBox ash) takes back.
    out.text(controls ? "$'" : "'");
    const char *part = name;
    for (size_t i = 0; i < size; ++i) {
        if (name[i] != '\'' && !(controls && name[i] == '\\'))
            continue;
        write_escaped(out, part, static_cast<size_t>(name + i - part));
        out.text(!controls ? "'\\''" : name[i] == '\'' ? "\\'" : "\\\\");
        part = name + i + 1;
    }
    write_escaped(out, part, static_cast<size_t>(name + size - part));
    out.text("'");
}

} // namespace portslot::audit
