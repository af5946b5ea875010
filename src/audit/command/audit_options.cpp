#include "audit_options.h"

#include <string.h>

#include "fatal.h"
#include "jump_hosts.h"
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

// MIN-MAX: two ports from 1 to 65535, the first not above the second.
bool parse_bounds(const char *text, port_bounds &bounds)
{
    const char *dash = strchr(text, '-');
    if (dash == nullptr || dash == text || dash - text > 5)
        return false;
    char low[6] = {};
    memcpy(low, text, static_cast<size_t>(dash - text));
    int32_t a = 0, b = 0;
    if (low[0] < '0' || low[0] > '9' || dash[1] < '0' || dash[1] > '9' || !parse_number(low, a) ||
        !parse_number(dash + 1, b))
        return false;
    bounds = port_bounds{a, b};
    return a >= 1 && b <= 65535 && a <= b;
}

// A login name: letters, digits, '.', '_' and '-', not starting with '-'.
bool is_login_name(const char *text)
{
    if (*text == '\0' || *text == '-')
        return false;
    for (; *text != '\0'; ++text)
        if (!((*text >= 'a' && *text <= 'z') || (*text >= 'A' && *text <= 'Z') ||
              (*text >= '0' && *text <= '9') || *text == '.' || *text == '_' || *text == '-'))
            return false;
    return true;
}

// A path ssh_config takes as one word, as written: not empty, no blank,
// quote, '%' (a token ssh would expand) or control byte.
bool is_ssh_config_word(const char *text)
{
    if (*text == '\0')
        return false;
    for (; *text != '\0'; ++text)
        if (*text == ' ' || *text == '"' || *text == '\'' || *text == '%' ||
            static_cast<unsigned char>(*text) < 0x20 || *text == 0x7f)
            return false;
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

} // namespace

namespace {

// The options, and what each takes.
enum class takes { nothing, number, port, field, key_field, alias_field, jump, domain, delimiter, name, column, server, overflow, user, host_key_field, path };
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
    {"--alias-domain", takes::domain, nullptr, nullptr, parsed_command::not_a_domain},
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
    {"--place", takes::nothing, &audit_options::place, nullptr, {}},
    {"--overflow", takes::overflow, nullptr, nullptr, parsed_command::not_a_range},
    {"--server", takes::server, nullptr, nullptr, parsed_command::not_a_host},
    {"--jump-user", takes::user, nullptr, nullptr, parsed_command::not_a_user},
    {"--known-hosts", takes::nothing, &audit_options::known_hosts, nullptr, {}},
    {"--host-key-field", takes::host_key_field, nullptr, nullptr, parsed_command::not_a_field},
    {"--known-hosts-file", takes::path, nullptr, nullptr, parsed_command::not_a_path},
    {"--identify", takes::nothing, &audit_options::identify, nullptr, {}},
    {"--identify-all", takes::nothing, &audit_options::identify_all, nullptr, {}},
    {"--keys-seen", takes::name, nullptr, nullptr, {}, &audit_options::keys_seen},
    {"--learn", takes::nothing, &audit_options::learn, nullptr, {}},
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
        return check_jumps(value).why == nullptr;
    case takes::domain:
        options.alias_domain = value;
        return is_dns_name(value, strlen(value));
    // (Given once too often, the count passes the list's size, and the
    // error says so.)
    case takes::server:
        if (options.server_count == sizeof options.servers / sizeof *options.servers) {
            ++options.server_count;
            return false;
        }
        if (!is_server_name(value, strlen(value)))
            return false;
        options.servers[options.server_count++] = value;
        return true;
    case takes::overflow:
        if (options.overflow_count == sizeof options.overflow / sizeof *options.overflow) {
            ++options.overflow_count;
            return false;
        }
        if (!parse_bounds(value, options.overflow[options.overflow_count]))
            return false;
        ++options.overflow_count;
        return true;
    case takes::user:
        options.jump_user = value;
        return is_login_name(value);
    case takes::alias_field:
        return parse_field(value, options.alias_field, options.alias_field_name);
    case takes::field:
        return parse_field(value, options.field, options.field_name);
    case takes::key_field:
        return parse_field(value, options.key_field, options.key_field_name);
    case takes::host_key_field:
        return parse_field(value, options.host_key_field, options.host_key_field_name);
    case takes::path:
        options.known_hosts_file = value;
        return is_ssh_config_word(value);
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

} // namespace

// What no single option says: combinations refused, and the defaults that
// depend on other options.
namespace {

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
                      : options.ssh_port_num_given && !options.identify ? "--ssh-port-num"
                      : options.jump != nullptr   ? "--jump"
                      : options.alias_domain != nullptr ? "--alias-domain"
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

// --identify and --keys-seen, which go with --listening and --sockets
// (settled); true when `command` was refused. Either names the holders.
bool settle_identify(parsed_command &command)
{
    audit_options &options = command.options;
    const auto fail = [&](parsed_command::error_kinds kind, const char *name, const char *value) {
        refuse(command, kind, name, strlen(name), value);
        return true;
    };
    const bool asked_here = options.identify || options.identify_all;
    if (options.keys_seen != nullptr && options.sockets == nullptr)
        return fail(parsed_command::needs_other, "--keys-seen", "--sockets");
    if (asked_here && options.sockets != nullptr)
        return fail(parsed_command::conflicting, options.identify_all ? "--identify-all" : "--identify",
                    "--sockets (another host's ports are not asked from here: give what "
                    "ssh-keyscan printed there, --keys-seen FILE)");
    if (asked_here && !options.listening)
        return fail(parsed_command::needs_other, options.identify_all ? "--identify-all" : "--identify",
                    "--listening");
    options.identify = asked_here || options.keys_seen != nullptr;
    if (!options.learn)
        return false;
    // The key learnt is written into the inventory it was missing from.
    if (!options.identify)
        return fail(parsed_command::needs_other, "--learn",
                    "--identify, --identify-all or --keys-seen");
    const char *const other =
        !options.csv              ? "an inventory that is not CSV; give --csv"
        : options.file_count > 1 ? "more than one inventory (it writes one back)"
        : options.file_count == 0 || strcmp(options.files[0], "-") == 0
            ? "an inventory on standard input (it replaces the file: give its name)"
            : nullptr;
    return other != nullptr && fail(parsed_command::conflicting, "--learn", other);
}

// --known-hosts and the host keys' options, and what they cannot be used
// with; true when `command` was refused.
bool settle_known_hosts(parsed_command &command)
{
    const audit_options &options = command.options;
    const auto fail = [&](parsed_command::error_kinds kind, const char *name, const char *value) {
        refuse(command, kind, name, strlen(name), value);
        return true;
    };
    const bool host_keys = options.host_key_field != 0 || options.host_key_field_name != nullptr;
    if (options.host_key_field_name != nullptr && !options.csv)
        return fail(parsed_command::needs_csv, "--host-key-field", options.host_key_field_name);
    if (host_keys && !options.known_hosts && !options.ssh_config && !options.identify)
        return fail(parsed_command::needs_other, "--host-key-field",
                    "--known-hosts, --ssh-config, --identify or --keys-seen");
    if (options.known_hosts_file != nullptr && !options.ssh_config)
        return fail(parsed_command::needs_other, "--known-hosts-file", "--ssh-config");
    if ((options.known_hosts || options.identify) && !options.csv && !host_keys)
        return fail(parsed_command::needs_other,
                    options.known_hosts ? "--known-hosts"
                    : options.keys_seen != nullptr ? "--keys-seen"
                                                   : "--identify",
                    "--csv (a host_key column) or --host-key-field");
    if (!options.known_hosts)
        return false;
    const bool keys = options.key_field != 0 || options.key_field_name != nullptr;
    const char *other = keys                       ? "--authorized-keys"
                        : options.ssh_config       ? "--ssh-config"
                        : options.place            ? "--place"
                        : options.suggest          ? "--suggest"
                        : options.port_queries > 0 ? "--port"
                        : options.sockets != nullptr ? "--sockets"
                        : options.listening        ? "--listening"
                        : options.json             ? "--json"
                                                   : nullptr;
    return other != nullptr && fail(parsed_command::conflicting, "--known-hosts", other);
}

// --place's own options, and the modes it cannot be used with; true when
// `command` was refused.
bool settle_place(parsed_command &command)
{
    const audit_options &options = command.options;
    const auto fail = [&](parsed_command::error_kinds kind, const char *name, const char *value) {
        refuse(command, kind, name, strlen(name), value);
        return true;
    };
    if (options.overflow_count > 0 && !options.place)
        return fail(parsed_command::needs_other, "--overflow", "--place");
    if (options.jump_user != nullptr && !options.ssh_config)
        return fail(parsed_command::needs_other, "--jump-user", "--ssh-config");
    if (!options.place)
        return false;
    const bool keys = options.key_field != 0 || options.key_field_name != nullptr;
    const char *other = options.suggest              ? "--suggest"
                        : options.listening          ? (options.sockets != nullptr ? "--sockets" : "--listening")
                        : keys                       ? "--authorized-keys"
                        : options.ssh_config         ? "--ssh-config"
                        : options.json               ? "--json"
                        : options.port_queries > 0   ? "--port"
                        : options.file_count > 1     ? "more than one inventory (it writes one back)"
                                                     : nullptr;
    return other != nullptr && fail(parsed_command::conflicting, "--place", other);
}

// Refuses the combinations no option may be given in, and sets the defaults
// that depend on others; "-" (standard input) when `files` names none.
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
    if (settle_identify(command) || settle_known_hosts(command) || settle_ssh_config(command) ||
        settle_place(command))
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

fleet_source source_of(const audit_options &options)
{
    fleet_source source{.files = options.files,
                        .file_count = options.file_count,
                        .format = {},
                        .field_name = options.field_name,
                        .servers = options.servers,
                        .server_count = options.server_count};
    record_format &format = source.format;
    format.field = options.field; // (0: not given)
    format.delimiter = options.delimiter;
    if (options.csv) {
        format.kind = record_format::csv;
        format.delimiter = options.delimiter != 0 ? options.delimiter : ',';
        return source;
    }
    format.field = format.field != 0 ? format.field : 1;
    if (format.field != 1 || format.delimiter != 0)
        format.kind = record_format::fields;
    return source;
}

} // namespace portslot::audit
