// Drives the audit's reading of inventories and of its command line with
// arbitrary bytes, and checks what every entry must satisfy.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "audit_options.h"
#include "inventory_lines.h"

namespace {

bool blank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}
bool line_end(char c)
{
    return c == '\n' || c == '\r';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // A copy of exactly `size` bytes, so that the sanitizer sees any read
    // past the end of a last line without a line end.
    const std::vector<char> text(data, data + size);
    std::uint64_t last_line = 0;
    portslot::audit::for_each_entry(text.data(), text.size(), [&](const portslot::audit::entry &e) {
        const std::string mac(e.mac, e.mac_size), label(e.label, e.label_size);
        // An address is a non-empty run of bytes that are neither blank nor
        // line ends, on a later line, and not a comment; the label is trimmed.
        if (mac.empty() || mac[0] == '#' || e.line <= last_line)
            std::abort();
        for (char c : mac)
            if (blank(c) || line_end(c))
                std::abort();
        for (char c : label)
            if (line_end(c))
                std::abort();
        if (!label.empty() && (blank(label.front()) || blank(label.back())))
            std::abort();
        last_line = e.line;
        return true;
    });

    // The same bytes as a command line, split at NUL bytes.
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\0')
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    std::vector<const char *> argv, files(args.size() + 1);
    for (const std::string &arg : args)
        argv.push_back(arg.c_str());
    const auto command =
        portslot::audit::parse_command(static_cast<int>(argv.size()), argv.data(), files.data());
    if (command.action == portslot::audit::parsed_command::run &&
        (command.options.file_count == 0 || command.options.file_count > args.size()))
        std::abort();
    return 0;
}
