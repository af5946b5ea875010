// The command line of portslot-audit.
#ifndef PORTSLOT_AUDIT_OPTIONS_H
#define PORTSLOT_AUDIT_OPTIONS_H

#include <stddef.h>
#include <stdint.h>

#include "fleet.h"
#include "output.h"

namespace portslot::audit {

struct audit_options {
    int32_t port_min = 40000;
    int32_t port_max = 41000;
    int32_t port_count = 2;
    bool port_max_given = false;
    bool all = false;       // list every device, not only those that share
    bool suggest = false;   // search for the smallest range with the least sharing
    bool json = false;      // the plan as JSON Lines
    bool keep_last = false; // of a device listed twice, keep the last entry
    // Every device beside the TCP sockets that listen: this host's, or those
    // of the table `sockets` ("-": standard input).
    bool listening = false;
    const char *sockets = nullptr;
    // --metrics: where the live view goes, for a textfile collector.
    const char *metrics = nullptr;
    // --ssh-config: a Host block a device; its alias from field `alias_field`
    // (or the column `alias_field_name`; 0 and null: the label's first
    // word), its port the block's `ssh_port_num`th, through `jump` if given.
    bool ssh_config = false;
    uint32_t alias_field = 0;
    const char *alias_field_name = nullptr;
    int32_t ssh_port_num = 1;
    bool ssh_port_num_given = false;
    const char *jump = nullptr;
    const char *alias_domain = nullptr; // where labels with a dot may be aliases
    // --authorized-keys: the key's field (from 1) or column name; 0 and
    // null when not given.
    uint32_t key_field = 0;
    const char *key_field_name = nullptr;
    // --known-hosts: the administrator's known_hosts, a line a device, its
    // host key from field `host_key_field` (or the column
    // `host_key_field_name`; 0 and null: a CSV column named host_key), which
    // --ssh-config pins too, naming `known_hosts_file`.
    bool known_hosts = false;
    uint32_t host_key_field = 0;
    const char *host_key_field_name = nullptr;
    const char *known_hosts_file = nullptr;
    // --identify: ask each listening SSH port of a shared block (`identify_all`:
    // of every block) for its host key with ssh-keyscan, or (`keys_seen`)
    // read what it printed on another host, and name the device it belongs to.
    // `learn`: record in the inventory (one CSV file, replaced whole) the key
    // that answers for the one device of a block that has none.
    bool identify = false, identify_all = false, learn = false;
    const char *keys_seen = nullptr;
    // Where a line's address is: field `field` (from 1), or with --csv the
    // column named `field_name`; fields split at `delimiter`, or at runs of
    // blanks when it is 0. With --csv and neither, the column is found by
    // its name.
    bool csv = false;
    uint32_t field = 0; // 0: not given
    const char *field_name = nullptr;
    char delimiter = 0;
    // --drop-column: CSV columns (names, or numbers from 1) the labels leave out.
    const char *dropped_columns[8];
    size_t dropped_count = 0;
    const char **files; // "-" is standard input; at least one
    size_t file_count = 0;
    const int32_t *ports; // --port: only the devices that hold these ports
    size_t port_queries = 0;
    // --place: each device without a placement given a range (and a
    // server), the fleet's range first, then the --overflow ranges in order,
    // then the next --server; the inventory written back with them.
    bool place = false;
    port_bounds overflow[64];
    size_t overflow_count = 0;
    // --server: the fleet's servers, the first an empty server field's; in
    // the modes that write for one server, the last named is that one.
    const char *servers[64];
    size_t server_count = 0;
    const char *jump_user = nullptr; // --ssh-config: the user on every server
};

// What the command line asks for: an audit, help or the version; or it is
// wrong, and the error fields say how.
struct parsed_command {
    enum { run, help, version, error } action = run;
    enum error_kinds {
        unknown_option,
        takes_no_value,
        needs_value,
        not_a_number,
        not_a_field,
        not_a_delimiter,
        not_a_jump,
        not_a_domain,
        not_a_host,
        not_a_range,
        not_a_user,
        not_a_path,
        needs_csv,
        needs_other, // `name` goes only with `value`
        too_many, // `name` given more often than it may be
        conflicting, // `name` cannot be used with `value`
        standard_input_twice,
    } error_kind{};
    const char *name = nullptr; // the option as written, up to any "="
    size_t name_size = 0;
    const char *value = nullptr; // the offending value or argument
    audit_options options;
};

// Reads the `count` arguments after the program name. Options may come
// before or after the files, as "--name value" or "--name=value"; "--" ends
// them. `files` must have room for `count` + 1 names, and `ports` for
// `count` numbers; the options point into them and into `args`.
parsed_command parse_command(int count, const char *const *args, const char **files,
                             int32_t *ports);

// Where the addresses are, as the options say.
fleet_source source_of(const audit_options &options);

} // namespace portslot::audit

#endif
