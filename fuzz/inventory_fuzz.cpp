// Drives the audit's reading of inventories and of its command line with
// arbitrary bytes, and checks what every entry must satisfy.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "audit_options.h"
#include "fleet.h"
#include "inventory_lines.h"
#include "inventory_records.h"
#include "json_text.h"

namespace {

bool blank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}
bool line_end(char c)
{
    return c == '\n' || c == '\r';
}

// A strict CSV reader written plainly, as the audit's is not: the fields of
// the record at `p`, split at commas; a quoted field that never closes, or
// whose closing quote is followed by anything but a comma or a line end,
// makes the record malformed.
struct csv_record {
    bool malformed = false;
    std::vector<std::string> fields;
};
csv_record strict_csv_record(const char *p, const char *end)
{
    csv_record record;
    for (;;) {
        std::string value;
        if (p != end && *p == '"') {
            for (++p;; ++p) {
                if (p == end) {
                    record.malformed = true;
                    return record;
                }
                if (*p == '"') {
                    if (p + 1 == end || p[1] != '"')
                        break;
                    ++p;
                }
                value += *p;
            }
            ++p;
            if (p != end && *p != ',' && !line_end(*p)) {
                record.malformed = true;
                return record;
            }
        } else {
            for (; p != end && *p != ',' && !line_end(*p); ++p)
                value += *p;
        }
        record.fields.push_back(value);
        if (p == end || *p != ',')
            return record;
        ++p;
    }
}

std::string trimmed(const std::string &text)
{
    std::size_t first = 0, last = text.size();
    while (first != last && blank(text[first]))
        ++first;
    while (last != first && blank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // A copy of exactly `size` bytes, so that the sanitizer sees any read
    // past the end of a last line without a line end.
    const std::vector<char> text(data, data + size);
    std::uint64_t last_line = 0;
    portslot::audit::for_each_entry(text.data(), text.size(), [&](const portslot::audit::entry &e) {
        const std::string mac(e.mac, e.mac_size), label(e.after, e.after_size);
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

    // In the other formats every field read lies within the text, records
    // come on later lines, and a record that would give a device reads back
    // from its place as its row does: the same address, every part of its
    // label within the text.
    portslot::audit::inventory inv;
    inv.text = text.data();
    inv.size = text.size();
    const char *const end = text.data() + text.size();
    const auto within = [&](const char *p, std::size_t n) {
        return p >= text.data() && p <= end && n <= static_cast<std::size_t>(end - p);
    };
    std::uint64_t base = 0;
    for (const char delimiter : {'\0', ',', '\t'}) {
        using portslot::audit::record_format;
        inv.format.kind = delimiter == ',' ? record_format::csv : record_format::fields;
        inv.format.delimiter = delimiter;
        // (Field 1 split at blanks is the plain format.)
        const std::uint32_t lowest = delimiter == '\0' ? 2 : 1;
        inv.format.field = size > 0 ? lowest + data[0] % 4 : 2;
        const portslot::audit::fleet fleet{&inv, &base, 1, false};
        std::uint64_t previous = 0;
        portslot::audit::for_each_record(
            inv, inv.text, 1, [&](const portslot::audit::entry &e, const char *record) {
                if (!within(e.mac, e.mac_size) || !within(record, 0) || e.line <= previous)
                    std::abort();
                previous = e.line;
                if (!e.no_field && e.malformed == 0 && !e.has_nul && !e.has_quote) {
                    const auto place = static_cast<std::uint64_t>(
                        portslot::audit::device_place(record, e, inv.format) - text.data());
                    const portslot::audit::entry row = portslot::audit::entry_at<false>(fleet, place);
                    if (row.mac != e.mac || row.mac_size != e.mac_size ||
                        !within(row.before, row.before_size) || !within(row.after, row.after_size))
                        std::abort();
                }
                if (delimiter != ',')
                    return;
                // CSV as the strict reader has it: malformed or not, and the
                // address field's value (where it holds no quote).
                const csv_record model = strict_csv_record(record, end);
                if (model.malformed != (e.malformed != 0))
                    std::abort();
                const std::string mac(e.mac, e.mac_size);
                const bool has_field = !model.malformed && model.fields.size() >= inv.format.field;
                if (has_field == e.no_field || (has_field && mac.find('"') == std::string::npos &&
                                                trimmed(model.fields[inv.format.field - 1]) != mac))
                    std::abort();
            });
    }

    // As a JSON string: no control byte is left.
    char json[1 << 12] = {}; // room for 512 bytes, six for each at most
    portslot::output out(-1, json, sizeof json);
    portslot::audit::write_json_chars(out, text.data(), std::min(text.size(), sizeof json / 8));
    for (const char byte : json)
        if (byte != '\0' && static_cast<unsigned char>(byte) < 0x20)
            std::abort();

    // The same bytes as a command line, split at NUL bytes.
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\0')
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    std::vector<const char *> argv, files(args.size() + 1);
    std::vector<std::int32_t> ports(args.size());
    for (const std::string &arg : args)
        argv.push_back(arg.c_str());
    const auto command = portslot::audit::parse_command(static_cast<int>(argv.size()), argv.data(),
                                                        files.data(), ports.data());
    if (command.action == portslot::audit::parsed_command::run &&
        (command.options.file_count == 0 || command.options.file_count > args.size()))
        std::abort();
    return 0;
}
