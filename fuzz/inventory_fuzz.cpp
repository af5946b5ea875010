// Drives the audit's reading of inventories and of its command line with
// arbitrary bytes, and checks what every entry must satisfy.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "audit_options.h"
#include "inventory.h"

namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string original(reinterpret_cast<const char *>(data), size);
    std::string text = original;
    std::uint64_t last_line = 0;
    portslot::audit::for_each_entry(text, [&](const portslot::audit::inventory_entry &e) {
        const std::string_view mac(e.mac, e.mac_size);
        // An address is a non-empty run of non-blank bytes on a later line,
        // ended in place, and not a comment; the label is trimmed.
        if (mac.empty() || mac[0] == '#' || e.mac[e.mac_size] != '\0' || e.line <= last_line ||
            mac.find('\n') != mac.npos || e.label.find('\n') != e.label.npos)
            std::abort();
        for (char c : mac)
            if (blank(c))
                std::abort();
        if (!e.label.empty() && (blank(e.label.front()) || blank(e.label.back())))
            std::abort();
        last_line = e.line;
    });

    // The same bytes as a command line, split at NUL bytes.
    std::vector<std::string> args(1);
    for (char c : original) {
        if (c == '\0')
            args.emplace_back();
        else
            args.back() += c;
    }
    const auto command = portslot::audit::parse_command(args);
    if ((command.action == portslot::audit::parsed_command::error) == command.message.empty())
        std::abort();
    return 0;
}
