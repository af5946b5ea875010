// Drives what the audit reads on the server with arbitrary bytes: socket
// tables (ss -Hltn, /proc/net/tcp) and public keys. It checks each listening
// port found against a plain reading of the lines, and that a key taken is a
// known type followed by base64 and nothing else.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "output.h"
#include "port_set.h"
#include "public_key.h"
#include "socket_table.h"

namespace {

// True when some ':' of `text` is followed by `port`, up to a blank or a
// line end: in decimal digits, or in four hexadecimal ones (the local
// address's port, in either form).
bool named_somewhere(const std::string &text, long port)
{
    for (size_t at = text.find(':'); at != std::string::npos; at = text.find(':', at + 1)) {
        const size_t end = text.find_first_of(" \t\n", at + 1);
        const std::string digits =
            text.substr(at + 1, end == std::string::npos ? end : end - at - 1);
        if (digits.empty() || digits.size() > 9)
            continue;
        if (digits.find_first_not_of("0123456789") == std::string::npos &&
            std::strtol(digits.c_str(), nullptr, 10) == port)
            return true;
        if (digits.size() == 4 &&
            digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos &&
            std::strtol(digits.c_str(), nullptr, 16) == port)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    portslot::audit::port_set listening;
    char buffer[1 << 12];
    portslot::output err(-1, buffer, sizeof buffer);
    const bool ok =
        portslot::audit::read_socket_text("t", text.data(), text.size(), listening, err);
    for (int port = 0; port <= 65535; ++port)
        if (listening.has(port) && !named_somewhere(text, port))
            __builtin_trap();
    const std::string last_line = text.substr(text.rfind('\n') + 1);
    if (ok && last_line.find_first_not_of(" \t") != std::string::npos)
        __builtin_trap(); // a last line without its end is never taken as whole

    const portslot::audit::public_key read =
        portslot::audit::read_public_key(text.data(), text.size());
    const size_t key = read.size;
    if (key > text.size() || (key == 0) != (read.fault != portslot::audit::key_fault::none))
        __builtin_trap();
    if (key > 0) {
        const size_t space = text.find_first_of(" \t");
        if (space == std::string::npos || space >= key)
            __builtin_trap();
        for (size_t i = text.find_first_not_of(" \t", space); i < key; ++i)
            if (!std::isalnum(static_cast<unsigned char>(text[i])) && text[i] != '+' &&
                text[i] != '/' && text[i] != '=')
                __builtin_trap();
    }
    return 0;
}
