// Text from outside (addresses, labels, file names) as the audit shows it:
// control bytes escaped, so that what an inventory holds cannot act on the
// user's terminal, and long texts cut short.
#ifndef PORTSLOT_AUDIT_SHOWN_TEXT_H
#define PORTSLOT_AUDIT_SHOWN_TEXT_H

#include <stddef.h>

#include "output.h"

namespace portslot::audit {

// True for the bytes below 0x20, and 0x7f.
inline bool is_control(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

// `size` bytes of `text`, each control byte as "\xHH".
void write_escaped(output &out, const char *text, size_t size);

// As write_escaped, but at most the first `limit` bytes, then "..." when
// there were more.
void write_cut(output &out, const char *text, size_t size, size_t limit);

// A file name for a message: as it stands when it is plain, else in single
// quotes (an empty name, or one with blanks, quotes or control bytes), the
// way a shell would take it back.
void write_name(output &out, const char *name);

} // namespace portslot::audit

#endif
