#include "inventory_lines.h"

namespace portslot::audit {

void line_numbers(const char *text, size_t size, uint64_t base, const uint64_t *offsets,
                  size_t count, uint64_t *lines)
{
    using namespace detail;
    const char *p = text;
    const char *const end = text + size;
    uint64_t line = 1;
    for (size_t i = 0; i < count; ++i) {
        for (;;) {
            const char *next = past_line_end(find_line_end(p, end), end);
            if (offsets[i] - base < static_cast<uint64_t>(next - text) || next == end)
                break;
            p = next;
            ++line;
        }
        lines[i] = line;
    }
}

} // namespace portslot::audit
