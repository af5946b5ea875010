// Drives what the audit reads on the server with arbitrary bytes: socket
// tables (ss -Hltn, /proc/net/tcp) and public keys. It checks each listening
// port found against a plain reading of the lines, that a key taken is a
// known type followed by base64 and nothing else, and, with the bytes as a
// CSV inventory of keys, that every authorized_keys line written is one
// device's alone: the fixed options, its own ports, a key sshd takes, a
// plain address and a comment without control bytes.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include <portslot/port_derivation.h>

#include "authorized_keys.h"
#include "block_sort.h"
#include "fleet.h"
#include "listed_twice.h"
#include "output.h"
#include "plan.h"
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

// The text of a memory file from its start.
std::string contents(int fd)
{
    std::string text;
    char piece[4096];
    lseek(fd, 0, SEEK_SET);
    for (ssize_t got; (got = read(fd, piece, sizeof piece)) > 0;)
        text.append(piece, static_cast<size_t>(got));
    return text;
}

// The keys lines of `text` read as "mac,key,name" CSV, each checked.
void check_key_lines(const std::string &text)
{
    using namespace portslot::audit;
    const int in = memfd_create("inventory", 0), out_fd = memfd_create("keys", 0);
    const std::string inventory = "mac,key,name\n" + text;
    if (in < 0 || out_fd < 0 || write(in, inventory.data(), inventory.size()) < 0)
        __builtin_trap();
    lseek(in, 0, SEEK_SET);
    const std::string name = "/proc/self/fd/" + std::to_string(in);
    const char *names[] = {name.c_str()};
    const port_range range{40000, 40010, 2};
    record_format format{};
    format.kind = record_format::csv;
    format.delimiter = ',';
    char buffer[1 << 12], out_buffer[1 << 12];
    portslot::output err(-1, buffer, sizeof buffer), out(out_fd, out_buffer, sizeof out_buffer);
    size_t devices = 0;
    {
        loaded_fleet loaded;
        load_fleet({names, 1, format, nullptr}, range, loaded, err);
        sort_by_block(loaded.devices);
        growing_array<duplicate> duplicates;
        drop_listed_twice(loaded.devices, loaded.view(), kept_entry::first, duplicates);
        devices = loaded.devices.size;
        const plan p = make_plan(loaded.devices, range, rows_of::every_device);
        write_authorized_keys(p, loaded.view(), {2, nullptr}, out, err);
        out.flush();
    }
    const std::string lines = contents(out_fd);
    close(in);
    close(out_fd);
    size_t count = 0;
    for (size_t at = 0, end; at < lines.size(); at = end + 1, ++count) {
        end = lines.find('\n', at);
        if (end == std::string::npos)
            __builtin_trap(); // a line without its end
        const std::string line = lines.substr(at, end - at);
        for (char c : line)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                __builtin_trap();
        // restrict,port-forwarding,permitlisten="localhost:P",permitlisten=
        // "localhost:Q",command="/bin/false" KEY MAC[ COMMENT]
        const size_t options_end = line.find(' ');
        const size_t key_end = line.find(' ', line.find(' ', options_end + 1) + 1);
        const std::string key = line.substr(options_end + 1, key_end - options_end - 1);
        if (read_public_key(key.data(), key.size()).size != key.size())
            __builtin_trap();
        const size_t mac_end = line.find(' ', key_end + 1);
        const std::string mac = line.substr(key_end + 1, mac_end - key_end - 1);
        if (mac.find_first_not_of("0123456789abcdefABCDEF:") != std::string::npos)
            __builtin_trap();
        const int32_t first = portslot::compute_port(mac.c_str(), 40000, 40010, 2, 1);
        const std::string options = "restrict,port-forwarding,permitlisten=\"localhost:" +
                                    std::to_string(first) + "\",permitlisten=\"localhost:" +
                                    std::to_string(first + 2) + "\",command=\"/bin/false\"";
        if (first < 0 || line.substr(0, options_end) != options)
            __builtin_trap();
    }
    if (count > devices)
        __builtin_trap();
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
    check_key_lines(text);
    return 0;
}
