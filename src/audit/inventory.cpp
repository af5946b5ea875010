#include "inventory.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace portslot::audit {

namespace {

// White space within a line.
bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

} // namespace

int read_all(int fd, std::string &text)
{
    struct stat info {};
    std::size_t capacity = 1 << 16;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        capacity = static_cast<std::size_t>(info.st_size) + 1;
    text.clear();
    for (;;) {
        if (text.size() == capacity)
            capacity *= 2;
        const std::size_t used = text.size();
        text.resize(capacity);
        const ssize_t got = ::read(fd, text.data() + used, capacity - used);
        text.resize(used + (got > 0 ? static_cast<std::size_t>(got) : 0));
        if (got > 0)
            continue;
        if (got == 0)
            return 0;
        if (errno != EINTR)
            return errno;
    }
}

void for_each_entry(std::string &text, const std::function<void(const inventory_entry &)> &visit)
{
    // A spare terminator, so that the last MAC field can be ended in place
    // even when the text does not end with a line end.
    const std::size_t size = text.size();
    text.push_back('\0');
    char *data = text.data();

    std::uint64_t line = 0;
    for (std::size_t start = 0; start < size;) {
        ++line;
        const void *newline = std::memchr(data + start, '\n', size - start);
        const std::size_t end =
            newline ? static_cast<std::size_t>(static_cast<const char *>(newline) - data) : size;
        const std::size_t next = end + 1;

        std::size_t i = start;
        while (i < end && is_blank(data[i]))
            ++i;
        if (i == end || data[i] == '#') {
            start = next;
            continue;
        }
        const std::size_t mac_start = i;
        while (i < end && !is_blank(data[i]))
            ++i;
        const std::size_t mac_end = i;

        std::size_t label_end = end;
        while (label_end > i && is_blank(data[label_end - 1]))
            --label_end;
        while (i < label_end && is_blank(data[i]))
            ++i;

        // The byte after the field is white space or the line end: no longer needed.
        data[mac_end] = '\0';
        visit(inventory_entry{data + mac_start, mac_end - mac_start,
                              std::string_view(data + i, label_end - i), line});
        start = next;
    }
}

} // namespace portslot::audit
