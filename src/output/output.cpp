#include "output.h"

#include <errno.h>
#include <unistd.h>

namespace portslot {

void output::write_out(const char *data, size_t size)
{
    while (size > 0 && error_ == 0) {
        const ssize_t written = ::write(fd_, data, size);
        if (written < 0) {
            if (errno != EINTR)
                error_ = errno;
            continue;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
}

void output::bytes(const char *data, size_t size)
{
    if (size > capacity_ - used_) {
        flush();
        // Too long to buffer at all: straight through.
        if (size >= capacity_) {
            write_out(data, size);
            return;
        }
    }
    // Eight bytes at a time: a fixed-size copy is a load and a store, not a
    // call of memcpy.
    char *to = buffer_ + used_;
    size_t i = 0;
    for (; i + 8 <= size; i += 8)
        __builtin_memcpy(to + i, data + i, 8);
    for (; i < size; ++i)
        to[i] = data[i];
    used_ += size;
}

char *output::make_room(size_t size)
{
    if (size > capacity_)
        return nullptr;
    flush();
    return buffer_ + used_;
}

void output::text(const char *text)
{
    size_t size = 0;
    while (text[size] != '\0')
        ++size;
    bytes(text, size);
}

void output::number(int64_t value)
{
    // Digits from the right, of the magnitude as an unsigned number: the
    // magnitude of INT64_MIN has no signed value.
    char digits[21];
    char *start = digits + sizeof digits;
    uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        *--start = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *--start = '-';
    bytes(start, static_cast<size_t>(digits + sizeof digits - start));
}

bool output::flush()
{
    write_out(buffer_, used_);
    used_ = 0;
    return error_ == 0;
}

} // namespace portslot
