#include "audit_options.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace portslot::audit {

const char usage_text[] =
    "Usage: portslot-audit [OPTION]... [FILE]...\n"
    "Find the devices of an inventory that portslot would give the same ports.\n"
    "\n"
    "Each line of an inventory holds a MAC address, then an optional label;\n"
    "blank lines and lines starting with '#' are skipped. With no FILE, or\n"
    "when FILE is -, read standard input.\n"
    "\n"
    "  --port-min N     lowest port of the range (default 40000)\n"
    "  --port-max N     highest port of the range (default 41000)\n"
    "  --port-count N   ports each device takes (default 2)\n"
    "  --all            list every device, not only those that share a block\n"
    "  --help           print this help and exit\n"
    "  --version        print the version and exit\n"
    "\n"
    "Exit status: 0 when no block is shared, 1 when some block is shared,\n"
    "2 when a line gives no port, a file cannot be read or an option is wrong.\n";

namespace {

// A whole number, all of the text, within 32 bits.
bool parse_number(const std::string &text, std::int32_t &value)
{
    const char *first = text.data();
    const char *last = first + text.size();
    // from_chars takes a "-" but not a "+"; allow one "+" before a digit.
    if (last - first >= 2 && first[0] == '+' && first[1] >= '0' && first[1] <= '9')
        ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last;
}

} // namespace

parsed_command parse_command(const std::vector<std::string> &args)
{
    parsed_command command;
    audit_options &options = command.options;
    const auto fail = [&](std::string message) {
        command.action = parsed_command::error;
        command.message = std::move(message);
        return command;
    };

    const struct {
        const char *name;
        std::int32_t audit_options::*field;
    } numbers[] = {{"--port-min", &audit_options::port_min},
                   {"--port-max", &audit_options::port_max},
                   {"--port-count", &audit_options::port_count}};

    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (options_ended || arg == "-" || arg.empty() || arg[0] != '-') {
            options.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const bool joined = equals != std::string::npos;

        if (name == "--help" || name == "--version" || name == "--all") {
            if (joined)
                return fail("option '" + name + "' takes no value");
            if (name == "--all") {
                options.all = true;
                continue;
            }
            command.action = name == "--help" ? parsed_command::help : parsed_command::version;
            return command;
        }

        const auto number = std::find_if(std::begin(numbers), std::end(numbers),
                                         [&](const auto &n) { return name == n.name; });
        if (number == std::end(numbers))
            return fail("unknown option '" + arg + "'");
        std::string value;
        if (joined)
            value = arg.substr(equals + 1);
        else if (i + 1 < args.size())
            value = args[++i];
        else
            return fail("option '" + name + "' needs a value");
        if (!parse_number(value, options.*(number->field)))
            return fail("invalid value '" + value + "' for " + name +
                        ": not a whole number from -2147483648 to 2147483647");
    }
    if (options.files.empty())
        options.files.push_back("-");
    return command;
}

} // namespace portslot::audit
