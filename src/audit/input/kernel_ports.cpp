#include "kernel_ports.h"

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "memory.h"

namespace portslot::audit {

namespace {

// The first bytes of `proc` + `file` (no more than these files ever hold),
// ended by a NUL; false when it cannot be read.
bool read_small_file(const char *proc, const char *file, char (&text)[4096])
{
    const size_t proc_size = strlen(proc), file_size = strlen(file);
    char *path = static_cast<char *>(reallocate(nullptr, proc_size + file_size + 1));
    memcpy(path, proc, proc_size);
    memcpy(path + proc_size, file, file_size + 1);
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    free(path);
    if (fd < 0)
        return false;
    size_t size = 0;
    ssize_t got = 0;
    while (size < sizeof text - 1 && (got = read(fd, text + size, sizeof text - 1 - size)) > 0)
        size += static_cast<size_t>(got);
    close(fd);
    text[size] = '\0';
    return got == 0;
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
    char text[4096];
    if (!read_small_file(proc, "/sys/net/ipv4/ip_local_port_range", text))
        return false;
    const char *p = text;
    ports.low = read_port(p);
    while (*p == ' ' || *p == '\t')
        ++p;
    ports.high = read_port(p);
    if (ports.low < 0 || ports.high < 0 || !at_line_end(p))
        return false;
    // "40000-41000,8080", or nothing.
    if (!read_small_file(proc, "/sys/net/ipv4/ip_local_reserved_ports", text))
        return false;
    for (p = text; !at_line_end(p);) {
        const int32_t first = read_port(p);
        const int32_t last = *p == '-' ? read_port(++p) : first;
        if (first < 0 || last < first)
            return false;
        for (int32_t port = first; port <= last; ++port)
            ports.reserved.add(static_cast<uint32_t>(port));
        if (*p == ',')
            ++p;
        else if (!at_line_end(p))
            return false;
    }
    return true;
}

} // namespace portslot::audit
