// An ssh_config fragment for reaching the devices through their tunnels:
// a Host block a device, named by an alias, leading to the port of its
// block that its SSH server is forwarded to on the tunnel server.
#ifndef PORTSLOT_AUDIT_SSH_CONFIG_H
#define PORTSLOT_AUDIT_SSH_CONFIG_H

#include <stdint.h>

#include "fleet.h"
#include "output.h"
#include "plan.h"

namespace portslot::audit {

struct ssh_config_options {
    // The alias's field (from 1) or CSV column; 0 and null: the label.
    uint32_t alias_field;
    const char *alias_field_name;
    int32_t port_num;  // the port of the block, from 1
    const char *jump;  // ProxyJump's list; null: none
    const char *alias_domain; // the domain aliases with a dot may be in; null: none
    const char *jump_user;    // the user on the devices' servers; null: ssh's own choice
    const fleet_ranges *ranges; // the devices' servers (never null); a named one ends its ProxyJump
    // The host keys' field (from 1) or CSV column; 0 and null: a CSV column
    // named host_key. The known_hosts file that holds them, as the machine
    // that uses the fragment names it.
    uint32_t host_key_field;
    const char *host_key_field_name;
    const char *known_hosts_file;
};

// Where --known-hosts writes and a fragment with host keys reads, unless named.
inline constexpr char default_known_hosts_file[] = "~/.ssh/portslot_known_hosts";

// For each device of `p` (which has a row for every device), in block
// order: in a shared block a comment that only one of its devices answers,
// then "Host ALIAS", HostName localhost, its Port, and HostKeyAlias its
// address ("aa:bb:cc:dd:ee:ff"), so that its host key follows the device and
// not the port; ProxyJump where asked. Where the inventory holds host keys,
// a device that has one is pinned to the known_hosts file
// (UserKnownHostsFile, StrictHostKeyChecking yes: no key but its own is
// taken, at first contact either), and one that has none gets a comment
// that ssh's own settings decide. The alias is the first word of its
// label or of its field (choose_aliases), within the limits of
// limit_candidate, in lower case. A device whose address is not
// plain gets no block but a FILE:LINE message, as does a CSV inventory
// without the column named; false then. An alias a device earlier in the
// files has, or that names a jump host, is said, and the device gets the
// alias made from its address.
bool write_ssh_config(const plan &p, const fleet &inventories, const ssh_config_options &how,
                      output &out, output &err);

} // namespace portslot::audit

#endif
