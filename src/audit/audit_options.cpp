#include "audit_options.h"

#include <string.h>

#include "fatal.h"
#include "shown_text.h"

namespace portslot::audit {

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

// A field number from 1, or with --csv a column's name.
bool parse_field(const char *text, uint32_t &field, const char *&field_name)
{
    int32_t number = 0;
    if ((*text >= '0' && *text <= '9') || *text == '-' || *text == '+') {
        if (!parse_number(text, number) || number < 1)
            return false;
        field = static_cast<uint32_t>(number);
        field_name = nullptr;
        return true;
    }
    if (*text == '\0')
        return false;
    field = 0;
    field_name = text;
    return true;
}

// One byte, and none that ends a line or quotes a CSV field.
bool parse_delimiter(const char *text, char &delimiter)
{
    if (text[0] == '\0' || text[1] != '\0' || text[0] == '\n' || text[0] == '\r' || text[0] == '"')
        return false;
    delimiter = text[0];
    return true;
}

// --jump's USER@HOST (or a list of them, as ssh's -J takes): one word of
// an ssh_config line, without a quote, a backslash, '#' or a control byte.
bool is_jump(const char *text)
{
    if (*text == '\0' || *text == '-')
        return false;
    for (; *text != '\0'; ++text) {
        const auto c = static_cast<unsigned char>(*text);
        if (c <= ' ' || c >= 0x7f || c == '"' || c == '\'' || c == '\\' || c == '#')
            return false;
    }
    return true;
}

} // namespace

namespace {

// The options, and what each takes.
enum class takes { nothing, number, port, field, key_field, alias_field, jump, delimiter, name, column };
struct option_spec {
    const char *name;
    takes what;
    bool audit_options::*flag;           // with nothing: set
    int32_t audit_options::*number;      // with a number: where it goes
    parsed_command::error_kinds refusal; // a value it cannot take
    const char *audit_options::*text = nullptr; // with a name: where it goes
};
constexpr option_spec known_options[] = {
    {"--all", takes::nothing, &audit_options::all, nullptr, {}},
    {"--suggest", takes::nothing, &audit_options::suggest, nullptr, {}},
    {"--csv", takes::nothing, &audit_options::csv, nullptr, {}},
    {"--json", takes::nothing, &audit_options::json, nullptr, {}},
    {"--keep-last", takes::nothing, &audit_options::keep_last, nullptr, {}},
    {"--listening", takes::nothing, &audit_options::listening, nullptr, {}},
    {"--sockets", takes::name, nullptr, nullptr, {}, &audit_options::sockets},
    {"--metrics", takes::name, nullptr, nullptr, {}, &audit_options::metrics},
    {"--ssh-config", takes::nothing, &audit_options::ssh_config, nullptr, {}},
    {"--alias-field", takes::alias_field, nullptr, nullptr, parsed_command::not_a_field},
    {"--ssh-port-num", takes::number, nullptr, &audit_options::ssh_port_num,
     parsed_command::not_a_number},
    {"--jump", takes::jump, nullptr, nullptr, parsed_command::not_a_jump},
    {"--authorized-keys", takes::key_field, nullptr, nullptr, parsed_command::not_a_field},
    {"--help", takes::nothing, nullptr, nullptr, {}},
    {"--version", takes::nothing, nullptr, nullptr, {}},
    {"--port-min", takes::number, nullptr, &audit_options::port_min, parsed_command::not_a_number},
    {"--port-max", takes::number, nullptr, &audit_options::port_max, parsed_command::not_a_number},
    {"--port-count", takes::number, nullptr, &audit_options::port_count,
     parsed_command::not_a_number},
    {"--port", takes::port, nullptr, nullptr, parsed_command::not_a_number},
    {"--field", takes::field, nullptr, nullptr, parsed_command::not_a_field},
    {"--delimiter", takes::delimiter, nullptr, nullptr, parsed_command::not_a_delimiter},
    {"--drop-column", takes::column, nullptr, nullptr, parsed_command::too_many},
};

const option_spec *option_named(const char *name, size_t size)
{
    for (const option_spec &option : known_options)
        if (same(name, size, option.name))
            return &option;
    return nullptr;
}

// Takes `value` for `option` into `options` (and `ports`); false when it is
// not a value the option takes.
bool take_value(const option_spec &option, const char *value, audit_options &options,
                int32_t *ports)
{
    int32_t number = 0;
    switch (option.what) {
    case takes::name: // --sockets (which settle() makes --listening too), --metrics
        options.*option.text = value;
        return true;
    case takes::jump:
        options.jump = value;
        return is_jump(value);
    case takes::alias_field:
        return parse_field(value, options.alias_field, options.alias_field_name);
    case takes::field:
        return parse_field(value, options.field, options.field_name);
    case takes::key_field:
        return parse_field(value, options.key_field, options.key_field_name);
    case takes::delimiter:
        return parse_delimiter(value, options.delimiter);
    case takes::column: {
        constexpr size_t most = sizeof options.dropped_columns / sizeof *options.dropped_columns;
        uint32_t column = 0;
        const char *name = nullptr;
        if (options.dropped_count == most || !parse_field(value, column, name))
            return false;
        options.dropped_columns[options.dropped_count++] = value;
        return true;
    }
    case takes::port:
        if (!parse_number(value, number))
            return false;
        ports[options.port_queries++] = number;
        return true;
    default: // a number
        options.port_max_given =
            options.port_max_given || option.number == &audit_options::port_max;
        options.ssh_port_num_given |= option.number == &audit_options::ssh_port_num;
        return parse_number(value, options.*option.number);
    }
}

// Makes `command` say that the command line is wrong, and how.
parsed_command &refuse(parsed_command &command, parsed_command::error_kinds kind, const char *name,
                       size_t name_size, const char *value)
{
    command.action = parsed_command::error;
    command.error_kind = kind;
    command.name = name;
    command.name_size = name_size;
    command.value = value;
    return command;
}

// --ssh-config's own options, and what it cannot be used with; true when
// `command` was refused.
bool settle_ssh_config(parsed_command &command)
{
    const audit_options &options = command.options;
    const auto fail = [&](parsed_command::error_kinds kind, const char *name, const char *value) {
        refuse(command, kind, name, strlen(name), value);
        return true;
    };
    const char *own = options.alias_field != 0 || options.alias_field_name != nullptr
                          ? "--alias-field"
                      : options.ssh_port_num_given ? "--ssh-port-num"
                      : options.jump != nullptr   ? "--jump"
                                                  : nullptr;
    if (!options.ssh_config && own != nullptr)
        return fail(parsed_command::needs_other, own, "--ssh-config");
    if (options.alias_field_name != nullptr && !options.csv)
        return fail(parsed_command::needs_csv, "--alias-field", options.alias_field_name);
    const bool keys = options.key_field != 0 || options.key_field_name != nullptr;
    const char *other = !options.ssh_config            ? nullptr
                        : keys                         ? "--authorized-keys"
                        : options.suggest              ? "--suggest"
                        : options.port_queries > 0     ? "--port"
                        : options.sockets != nullptr   ? "--sockets"
                        : options.listening            ? "--listening"
                        : options.json                 ? "--json"
                        : options.dropped_count > 0
                            ? "--drop-column (an alias is one field: --alias-field chooses it)"
                            : nullptr;
    if (other == nullptr)
        return false;
    return fail(parsed_command::conflicting, "--ssh-config", other);
}

// What no single option says: combinations refused, and the defaults that
// depend on others.
void settle(parsed_command &command, const char **files)
{
    audit_options &options = command.options;
    const auto fail = [&](auto kind, const char *name, size_t name_size, const char *value) {
        refuse(command, kind, name, name_size, value);
    };
    if (options.field_name != nullptr && !options.csv)
        return fail(parsed_command::needs_csv, "--field", 7, options.field_name);
    if (options.key_field_name != nullptr && !options.csv)
        return fail(parsed_command::needs_csv, "--authorized-keys", 17, options.key_field_name);
    if (options.dropped_count > 0 && !options.csv)
        return fail(parsed_command::conflicting, "--drop-column", 13,
                    "an inventory that is not CSV; give --csv");
    // --listening reads this host's sockets, --sockets a table saved on
    // another: one or the other.
    if (options.listening && options.sockets != nullptr)
        return fail(parsed_command::conflicting, "--listening", 11,
                    "--sockets (one reads this host's sockets, the other a saved table)");
    const char *const listening = options.sockets != nullptr ? "--sockets" : "--listening";
    options.listening = options.listening || options.sockets != nullptr;
    const bool keys = options.key_field != 0 || options.key_field_name != nullptr;
    if (keys && options.dropped_count > 0)
        return fail(parsed_command::conflicting, "--drop-column", 13,
                    "--authorized-keys (a key line's comment leaves the key out already)");
    if (keys && (options.suggest || options.port_queries > 0 || options.listening || options.json))
        return fail(parsed_command::conflicting, "--authorized-keys", 17,
                    options.suggest            ? "--suggest"
                    : options.port_queries > 0 ? "--port"
                    : options.listening        ? listening
                                               : "--json");
    if (settle_ssh_config(command))
        return;
    if (options.metrics != nullptr && !options.listening)
        return fail(parsed_command::needs_other, "--metrics", 9, "--listening or --sockets");
    if (options.port_queries > 0 && (options.suggest || options.all))
        return fail(parsed_command::conflicting, "--port", 6,
                    options.suggest ? "--suggest" : "--all");
    // Beside the sockets every device is listed, in the range deployed.
    if (options.listening && (options.suggest || options.port_queries > 0))
        return fail(parsed_command::conflicting, listening, strlen(listening),
                    options.suggest ? "--suggest" : "--port");
    // A search goes as high as a port can: up to the last port number.
    if (options.suggest && !options.port_max_given)
        options.port_max = 65535;
    if (options.file_count == 0)
        files[options.file_count++] = "-";
    if (options.sockets != nullptr && strcmp(options.sockets, "-") == 0)
        for (size_t i = 0; i < options.file_count; ++i)
            if (strcmp(files[i], "-") == 0)
                return fail(parsed_command::standard_input_twice, "--sockets", 9, "-");
}

} // namespace

parsed_command parse_command(int count, const char *const *args, const char **files, int32_t *ports)
{
    parsed_command command;
    audit_options &options = command.options;
    options.files = files;
    options.ports = ports;
    const auto fail = [&](auto kind, const char *name, size_t name_size, const char *value) {
        return refuse(command, kind, name, name_size, value);
    };
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
        const char *value = arg[name_size] == '=' ? arg + name_size + 1 : nullptr;
        const option_spec *option = option_named(arg, name_size);
        if (option == nullptr)
            return fail(parsed_command::unknown_option, arg, name_size, arg);
        if (option->what == takes::nothing) {
            if (value != nullptr)
                return fail(parsed_command::takes_no_value, arg, name_size, nullptr);
            if (option->flag == nullptr) { // --help, --version
                command.action =
                    same(arg, name_size, "--help") ? parsed_command::help : parsed_command::version;
                return command;
            }
            options.*option->flag = true;
            continue;
        }
        if (value == nullptr && i + 1 < count)
            value = args[++i];
        if (value == nullptr)
            return fail(parsed_command::needs_value, arg, name_size, nullptr);
        if (!take_value(*option, value, options, ports))
            return fail(option->refusal, arg, name_size, value);
    }
    settle(command, files);
    return command;
}

} // namespace portslot::audit
