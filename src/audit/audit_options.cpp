#include "audit_options.h"

namespace portslot::audit {

const char usage_text[] =
    "Usage: portslot-audit [OPTION]... [FILE]...\n"
    "Find the devices of an inventory that portslot would give the same ports.\n"
    "\n"
    "Each line of an inventory holds a MAC address, then an optional label;\n"
    "blank lines and lines starting with '#' are skipped. The same address\n"
    "listed twice is one device, and its later entries are reported. With no\n"
    "FILE, or when FILE is -, read standard input.\n"
    "\n"
    "  --port-min N     lowest port of the range (default 40000)\n"
    "  --port-max N     highest port of the range (default 41000)\n"
    "  --port-count N   ports each device takes (default 2)\n"
    "  --all            list every device, not only those that share a block\n"
    "  --suggest        find the smallest range from --port-min up to --port-max\n"
    "                   (default 65535) with the fewest devices sharing a block,\n"
    "                   and print its options, then its audit\n"
    "  --help           print this help and exit\n"
    "  --version        print the version and exit\n"
    "\n"
    "Exit status: 0 when no block is shared (with --suggest: in the range found),\n"
    "1 when some block is shared,\n"
    "2 when a line gives no port, a file cannot be read or an option is wrong.\n";

namespace {

bool same(const char *text, size_t size, const char *word)
{
    size_t i = 0;
    for (; i < size; ++i)
        if (word[i] != text[i])
            return false;
    return word[i] == '\0';
}

// A whole number, all of the text, within 32 bits: one optional sign, then
// decimal digits and nothing else.
bool parse_number(const char *text, int32_t &value)
{
    const bool negative = *text == '-';
    if (*text == '+' || *text == '-')
        ++text;
    if (*text == '\0')
        return false;
    int64_t magnitude = 0;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9')
            return false;
        magnitude = magnitude * 10 + (*text - '0');
        if (magnitude > int64_t{INT32_MAX} + 1)
            return false;
    }
    const int64_t signed_value = negative ? -magnitude : magnitude;
    if (signed_value > INT32_MAX)
        return false;
    value = static_cast<int32_t>(signed_value);
    return true;
}

} // namespace

parsed_command parse_command(int count, const char *const *args, const char **files)
{
    parsed_command command;
    audit_options &options = command.options;
    options.files = files;
    const auto fail = [&](auto kind, const char *name, size_t name_size, const char *value) {
        command.action = parsed_command::error;
        command.error_kind = kind;
        command.name = name;
        command.name_size = name_size;
        command.value = value;
        return command;
    };

    const struct {
        const char *name;
        int32_t audit_options::*field;
    } numbers[] = {{"--port-min", &audit_options::port_min},
                   {"--port-max", &audit_options::port_max},
                   {"--port-count", &audit_options::port_count}};

    bool options_ended = false;
    for (int i = 0; i < count; ++i) {
        const char *arg = args[i];
        if (options_ended || arg[0] != '-' || arg[1] == '\0') { // "", "-" and names
            files[options.file_count++] = arg;
            continue;
        }
        if (arg[1] == '-' && arg[2] == '\0') {
            options_ended = true;
            continue;
        }
        size_t name_size = 0;
        while (arg[name_size] != '\0' && arg[name_size] != '=')
            ++name_size;
        const char *joined = arg[name_size] == '=' ? arg + name_size + 1 : nullptr;

        const bool help = same(arg, name_size, "--help");
        const bool version = same(arg, name_size, "--version");
        bool audit_options::*flag = same(arg, name_size, "--all")       ? &audit_options::all
                                    : same(arg, name_size, "--suggest") ? &audit_options::suggest
                                                                        : nullptr;
        if (help || version || flag != nullptr) {
            if (joined != nullptr)
                return fail(parsed_command::takes_no_value, arg, name_size, nullptr);
            if (flag != nullptr) {
                options.*flag = true;
                continue;
            }
            command.action = help ? parsed_command::help : parsed_command::version;
            return command;
        }

        int32_t audit_options::*field = nullptr;
        for (const auto &number : numbers)
            if (same(arg, name_size, number.name))
                field = number.field;
        if (field == nullptr)
            return fail(parsed_command::unknown_option, arg, name_size, arg);
        const char *value = joined;
        if (value == nullptr && i + 1 < count)
            value = args[++i];
        if (value == nullptr)
            return fail(parsed_command::needs_value, arg, name_size, nullptr);
        if (!parse_number(value, options.*field))
            return fail(parsed_command::not_a_number, arg, name_size, value);
        options.port_max_given = options.port_max_given || field == &audit_options::port_max;
    }
    // A search goes as high as a port can: up to the last port number.
    if (options.suggest && !options.port_max_given)
        options.port_max = 65535;
    if (options.file_count == 0)
        files[options.file_count++] = "-";
    return command;
}

void write_try_help(output &err)
{
    err.text("\nTry 'portslot-audit --help' for more information.\n");
}

void write_command_error(const parsed_command &command, output &err)
{
    err.text("portslot-audit: ");
    switch (command.error_kind) {
    case parsed_command::unknown_option:
        err.text("unknown option '");
        err.text(command.value);
        err.text("'");
        break;
    case parsed_command::takes_no_value:
    case parsed_command::needs_value:
        err.text("option '");
        err.bytes(command.name, command.name_size);
        err.text(command.error_kind == parsed_command::needs_value ? "' needs a value"
                                                                   : "' takes no value");
        break;
    case parsed_command::not_a_number:
        err.text("invalid value '");
        err.text(command.value);
        err.text("' for ");
        err.bytes(command.name, command.name_size);
        err.text(": not a whole number from -2147483648 to 2147483647");
        break;
    }
    write_try_help(err);
}

} // namespace portslot::audit
