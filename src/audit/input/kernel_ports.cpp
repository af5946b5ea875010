#include "kernel_ports.h"

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "memory.h"

namespace portslot::audit {

namespace {

// The whole of `proc` + `file`, ended by a NUL, in a buffer from the heap
// that the caller frees; null when it cannot be read. (A reserved list may
// run to tens of kilobytes.)
char *read_small_file(const char *proc, const char *file)
{
    const size_t proc_size = strlen(proc), file_size = strlen(file);
    char *path = static_cast<char *>(reallocate(nullptr, proc_size + file_size + 1));
    memcpy(path, proc, proc_size);
    memcpy(path + proc_size, file, file_size + 1);
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    free(path);
    if (fd < 0)
        return nullptr;
    size_t capacity = 4096, size = 0;
    char *text = static_cast<char *>(reallocate(nullptr, capacity));
    ssize_t got = 0;
    while ((got = read(fd, text + size, capacity - 1 - size)) > 0) {
        size += static_cast<size_t>(got);
        if (size == capacity - 1 && capacity < (size_t{1} << 20)) {
            capacity *= 2;
            text = static_cast<char *>(reallocate(text, capacity));
        }
    }
    close(fd);
    text[size] = '\0';
    if (got != 0) {
        free(text);
        return nullptr;
    }
    return text;
}

// A port number at `p`, moving past it; -1 when there is none.
int32_t read_port(const char *&p)
{
    int32_t value = -1;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = (value < 0 ? 0 : value * 10) + (*p - '0');
        if (value > 65535)
            return -1;
    }
    return value;
}

bool at_line_end(const char *p)
{
    return (*p == '\n' && p[1] == '\0') || *p == '\0';
}

} // namespace

bool read_ephemeral_ports(const char *proc, ephemeral_ports &ports)
{
    char *text = read_small_file(proc, "/sys/net/ipv4/ip_local_port_range");
    if (text == nullptr)
        return false;
    const char *p = text;
    ports.low = read_port(p);
    while (*p == ' ' || *p == '\t')
        ++p;
    ports.high = read_port(p);
    bool ok = ports.low >= 0 && ports.high >= 0 && at_line_end(p);
    free(text);
    // "40000-41000,8080", or nothing.
    text = ok ? read_small_file(proc, "/sys/net/ipv4/ip_local_reserved_ports") : nullptr;
    ok = text != nullptr;
    for (p = text; ok && !at_line_end(p);) {
        const int32_t first = read_port(p);
        const int32_t last = *p == '-' ? read_port(++p) : first;
        ok = first >= 0 && last >= first;
        for (int32_t port = first; ok && port <= last; ++port)
            ports.reserved.add(static_cast<uint32_t>(port));
        if (*p == ',')
            ++p;
        else
            ok = ok && at_line_end(p);
    }
    free(text);
    return ok;
}

} // namespace portslot::audit
