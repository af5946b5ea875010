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
    if (size > sizeof buffer_ - used_) {
        flush();
        // Too long to buffer at all: straight through.
        if (size >= sizeof buffer_) {
            write_out(data, size);
            return;
        }
    }
    for (size_t i = 0; i < size; ++i)
        buffer_[used_ + i] = data[i];
    used_ += size;
}

void output::text(const char *text)
{
    size_t size = 0;
    while (text[size] != '\0')
        ++size;
    bytes(text, size);
}

void output::number(int32_t value)
{
    // Digits from the right; the magnitude in 64 bits, as -INT32_MIN does not
    // fit in 32.
    char digits[12];
    char *start = digits + sizeof digits;
    int64_t magnitude = value < 0 ? -int64_t{value} : value;
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
