#include "option_combinations.h"

#include <string.h>

namespace portslot::audit {

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

namespace {

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
    return false;
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

} // namespace

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


} // namespace portslot::audit
