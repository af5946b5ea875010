// Text from outside (addresses, labels, file names) as the audit shows it:
// control bytes escaped, so that what an inventory holds cannot act on the
// user's terminal, and long texts cut short.
#ifndef PORTSLOT_AUDIT_SHOWN_TEXT_H
#define PORTSLOT_AUDIT_SHOWN_TEXT_H

#include <stddef.h>
#include <stdint.h>

#include "output.h"

namespace portslot::audit {

// True for the bytes below 0x20, and 0x7f.
inline bool is_control(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

// True when `size` bytes at `p` start with a C1 control (U+0080 to U+009F) in
// UTF-8: 0xc2, then 0x80 to 0x9f.
inline bool starts_c1_control(const char *p, size_t size)
{
    return size >= 2 && static_cast<unsigned char>(p[0]) == 0xc2 &&
           static_cast<unsigned char>(p[1]) >= 0x80 && static_cast<unsigned char>(p[1]) < 0xa0;
}

// `size` bytes of `text`, each control byte as "\xHH", and each C1 control
// as its two bytes so.
void write_escaped(output &out, const char *text, size_t size);

// As write_escaped, but at most the first `limit` bytes, then "..." when
// there were more.
void write_cut(output &out, const char *text, size_t size, size_t limit);

// "FILE:LINE", the name escaped (not quoted: the place stays easy to parse).
void write_place(output &out, const char *name, uint64_t line);

// A file name for a message: as it stands when it is plain, else in single
// quotes (an empty name, or one with blanks or quotes), or as $'...' with
// \xHH escapes when it holds control bytes: the way a shell takes it back.
void write_name(output &out, const char *name);

} // namespace portslot::audit

#endif
