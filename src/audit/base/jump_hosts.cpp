#include "jump_hosts.h"

#include <arpa/inet.h>
#include <string.h>

namespace portslot::audit {

namespace {

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}
bool is_letter_or_digit(char c)
{
    return is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A login name: what useradd takes, and nothing a shell or ssh expands.
bool is_user(const char *p, size_t size)
{
    if (size == 0 || size > 64 || p[0] == '-')
        return false;
    for (size_t i = 0; i < size; ++i)
        if (!is_letter_or_digit(p[i]) && p[i] != '.' && p[i] != '_' && p[i] != '-')
            return false;
    return true;
}

} // namespace

bool is_dns_name(const char *p, size_t size)
{
    if (size == 0 || size > 253)
        return false;
    size_t label = 0;
    bool all_digits = true;
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || p[i] == '.') {
            if (label == 0 || label > 63 || p[i - 1] == '-')
                return false;
            label = 0;
            continue;
        }
        if ((label == 0 && p[i] == '-') || (!is_letter_or_digit(p[i]) && p[i] != '-'))
            return false;
        all_digits = all_digits && is_digit(p[i]);
        ++label;
    }
    return !all_digits;
}

namespace {

// `size` bytes at `p` as the C library reads an address of `family`.
bool is_address(int family, const char *p, size_t size)
{
    char text[64];
    unsigned char address[16];
    if (size >= sizeof text)
        return false;
    memcpy(text, p, size);
    text[size] = '\0';
    return inet_pton(family, text, address) == 1;
}

bool is_host(const char *p, size_t size)
{
    if (size >= 2 && p[0] == '[' && p[size - 1] == ']')
        return is_address(AF_INET6, p + 1, size - 2);
    return is_dns_name(p, size) || is_address(AF_INET, p, size);
}

} // namespace

bool is_server_name(const char *p, size_t size)
{
    if (memchr(p, '\0', size) != nullptr) // (the C library would stop at it)
        return false;
    return is_dns_name(p, size) || is_address(AF_INET, p, size) || is_address(AF_INET6, p, size);
}

namespace {

bool is_port(const char *p, size_t size)
{
    if (size == 0 || size > 5)
        return false;
    unsigned value = 0;
    for (size_t i = 0; i < size; ++i) {
        if (!is_digit(p[i]))
            return false;
        value = value * 10 + static_cast<unsigned>(p[i] - '0');
    }
    return value >= 1 && value <= 65535;
}

} // namespace

const char *read_jump(const char *at, jump_part &jump)
{
    const char *const comma = strchr(at, ',');
    const char *const end = comma != nullptr ? comma : at + strlen(at);
    if (end - at >= 6 && memcmp(at, "ssh://", 6) == 0)
        at += 6;
    jump = {at, at, nullptr, 0, 0, 0};
    if (const char *sign = static_cast<const char *>(memchr(at, '@', size_t(end - at)))) {
        jump.user_size = size_t(sign - at);
        jump.host = sign + 1;
    }
    // The host ends at the first ':' but within brackets, where an IPv6
    // address has its own.
    const char *p = jump.host;
    if (p < end && *p == '[') {
        const char *close = static_cast<const char *>(memchr(p, ']', size_t(end - p)));
        p = close != nullptr ? close + 1 : end;
    }
    while (p < end && *p != ':')
        ++p;
    jump.host_size = size_t(p - jump.host);
    if (p < end) {
        jump.port = p + 1;
        jump.port_size = size_t(end - jump.port);
    }
    return comma != nullptr ? comma + 1 : nullptr;
}

jump_fault check_jumps(const char *list)
{
    if (strcmp(list, "none") == 0)
        return {"\"none\" is no jump: leave --jump out for none", nullptr, nullptr, 0};
    for (const char *at = list; at != nullptr;) {
        const char *const start = at;
        jump_part jump{};
        at = read_jump(at, jump);
        const bool has_user = jump.host != jump.user;
        const bool has_port = jump.port != nullptr;
        if (jump.host == start && jump.host_size == 0 && !has_port)
            return {"an empty jump in the list", nullptr, nullptr, 0};
        if (has_user && !is_user(jump.user, jump.user_size))
            return {"is not a login name (letters, digits, '.', '_' and '-')", "USER", jump.user,
                    jump.user_size};
        if (!is_host(jump.host, jump.host_size))
            return {"is not a DNS name, an IPv4 address or an IPv6 address in brackets", "HOST",
                    jump.host, jump.host_size};
        if (has_port && !is_port(jump.port, jump.port_size))
            return {"is not from 1 to 65535", "PORT", jump.port, jump.port_size};
    }
    return {nullptr, nullptr, nullptr, 0};
}

} // namespace portslot::audit
