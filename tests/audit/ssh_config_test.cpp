// --ssh-config: reaching the devices by name.
#include "audit_fixture.h"

namespace {

// A block of a fragment from an inventory with host keys: pinned to `file`,
// or (null) said to have none.
std::string pinned_block(const std::string &alias, int port, const std::string &mac,
                         const char *file)
{
    return host_block(false, alias, port, mac, false) +
           (file != nullptr ? "    UserKnownHostsFile " + std::string(file) +
                                  "\n    StrictHostKeyChecking yes\n"
                            : "    # no host key in the inventory: ssh's own settings decide at "
                              "first contact\n");
}
constexpr const char *default_file = "~/.ssh/portslot_known_hosts";

INSTANTIATE_TEST_SUITE_P(
    hosts, audit,
    testing::Values(
        // ssh_config: an alias from the label's first word where it can be
        // one and is not taken (without case), else from the address; the
        // shared block said; an address not plain gets no block (status 2).
        audit_case{"hosts_aliases",
                   {"--ssh-config", "--jump", "admin@tunnel", "@h"},
                   {{"h", "aa:bb:cc:dd:ee:ff gateway room 1\n00:00:00:00:00:8b Gateway\n"
                          "00:00:00:00:00:01\n00:00:00:00:00:02 \"quoted\"\n"
                          "00:00:00:00:00:03 LOCALHOST\naa:bb:cc:dd:ee:fg odd\n"
                          "00:00:00:00:00:05 aabbccddeeff\n11:22:33:00:01:85 Printer\n"
                          "00:00:00:00:00:06 printer\nxyz\n"}},
                   (host_block(false, "000000000001", 40004, "00:00:00:00:00:01", true) +
                    host_block(false, "000000000002", 40008, "00:00:00:00:00:02", true) +
                    host_block(false, "000000000003", 40012, "00:00:00:00:00:03", true) +
                    host_block(false, "000000000005", 40020, "00:00:00:00:00:05", true) +
                    host_block(false, "000000000006", 40024, "00:00:00:00:00:06", true) +
                    host_block(true, "gateway", 40556, "aa:bb:cc:dd:ee:ff", true) +
                    host_block(true, "00000000008b", 40556, "00:00:00:00:00:8b", true) +
                    host_block(true, "printer", 40556, "11:22:33:00:01:85", true))
                       .substr(1),
                   "@h:10: no port for \"xyz\"\n"
                   "@h:2: alias \"Gateway\" is @h:1's already; this device is 00000000008b\n"
                   "@h:6: the address is not a plain MAC address (12 hexadecimal digits, colons "
                   "aside); no Host block for it\n"
                   "@h:9: alias \"printer\" is @h:8's already; this device is 000000000006\n"
                   "portslot-audit: warning: 3 devices share a block with another, and only the "
                   "one connected answers on its port (their blocks say so)\n",
                   2},
        // From a field of a leases file: aliases of 8 bytes and more, and one
        // that a device earlier in the file has, without case.
        audit_case{"hosts_leases_field",
                   {"--ssh-config", "--alias-field", "4", "--field", "2", "@l"},
                   {{"l", "1 aa:bb:cc:dd:ee:ff 192.0.2.1 gateway-of-the-hall\n"
                          "2 00:00:00:00:00:8b 192.0.2.2 camera01\n"
                          "3 00:00:00:00:00:01 192.0.2.3 CAMERA01\n"}},
                   host_block(false, "000000000001", 40004, "00:00:00:00:00:01", false).substr(1) +
                       host_block(true, "gateway-of-the-hall", 40556, "aa:bb:cc:dd:ee:ff", false) +
                       host_block(true, "camera01", 40556, "00:00:00:00:00:8b", false),
                   "@l:3: alias \"CAMERA01\" is @l:2's already; this device is 000000000001\n"
                   "portslot-audit: warning: 2 devices share a block with another, and only the "
                   "one connected answers on its port (their blocks say so)\n",
                   1},
        audit_case{"hosts_column_port_2",
                   {"--csv", "--ssh-config", "--alias-field", "name", "--ssh-port-num", "2", "@c"},
                   {{"c", "mac,name\n00:00:00:00:00:01,a b\n00:00:00:00:00:02,\n"}},
                   host_block(false, "a", 40006, "00:00:00:00:00:01", false).substr(1) +
                       host_block(false, "000000000002", 40010, "00:00:00:00:00:02", false),
                   "",
                   0},
        // The label's first word, of a CSV record's fields' values.
        audit_case{"hosts_csv_label",
                   {"--csv", "--ssh-config", "@c"},
                   {{"c", "name,mac\ncam 1,00:00:00:00:00:01\n"}},
                   host_block(false, "cam", 40004, "00:00:00:00:00:01", false).substr(1),
                   "",
                   0},
        // The alias from a field of a plain inventory; a line without it
        // gets the alias made from its address.
        audit_case{"hosts_alias_field",
                   {"--ssh-config", "--alias-field", "3", "@p"},
                   {{"p", "00:00:00:00:00:01 x gw\n00:00:00:00:00:02 y\n"}},
                   (host_block(false, "gw", 40004, "00:00:00:00:00:01", false) +
                    host_block(false, "000000000002", 40008, "00:00:00:00:00:02", false))
                       .substr(1),
                   "",
                   0},
        audit_case{"hosts_port_num_zero",
                   {"--ssh-config", "--ssh-port-num", "0"},
                   {},
                   "",
                   "portslot-audit: --ssh-port-num 0: a block holds ports 1 to 2\n" + try_help,
                   2},
        audit_case{"hosts_ports_out_of_bounds",
                   {"--ssh-config", "--port-min", "65530", "--port-max", "65540"},
                   {},
                   "",
                   "portslot-audit: --ssh-config: the range gives ports up to 65540, which ssh "
                   "cannot reach; choose a range within 2 to 65534\n",
                   2},
        audit_case{"hosts_column_missing",
                   {"--csv", "--ssh-config", "--alias-field", "host", "@c"},
                   {{"c", "mac,name\n00:00:00:00:00:01,a\n"}},
                   host_block(false, "000000000001", 40004, "00:00:00:00:00:01", false).substr(1),
                   "portslot-audit: @c: no column named \"host\" for the aliases; its devices are "
                   "named by their addresses\n",
                   2},
        audit_case{"hosts_options_alone",
                   {"--jump", "a@b"},
                   {},
                   "",
                   "portslot-audit: --jump goes only with --ssh-config\n" + try_help,
                   2},
        audit_case{"hosts_jump_two_words",
                   {"--ssh-config", "--jump", "a #b"},
                   {},
                   "",
                   "portslot-audit: invalid value 'a #b' for --jump: HOST 'a #b' is not a DNS "
                   "name, an IPv4 address or an IPv6 address in brackets (ProxyJump takes "
                   "[USER@]HOST[:PORT], or a comma list of them)\n" +
                       try_help,
                   2},
        // No alias may be a host the fragment goes through (ssh would then
        // jump through the device's own block, without end), nor a name with
        // a dot outside --alias-domain (it could be one of the
        // administrator's own hosts); aliases in lower case.
        audit_case{"hosts_kept_off_other_hosts",
                   {"--ssh-config", "--jump", "admin@tunnel", "--alias-domain",
                    "Dev.Example.net", "@h"},
                   {{"h", "00:00:00:00:00:01 Tunnel\n00:00:00:00:00:02 GitHub.com\n"
                          "00:00:00:00:00:03 GW.dev.example.NET\n00:00:00:00:00:04 dev.example.net\n"
                          "00:00:00:00:00:05 x.notdev.example.net\n00:00:00:00:00:06 CAM_1\tx\n"}},
                   (host_block(false, "000000000001", 40004, "00:00:00:00:00:01", true) +
                    host_block(false, "000000000002", 40008, "00:00:00:00:00:02", true) +
                    host_block(false, "gw.dev.example.net", 40012, "00:00:00:00:00:03", true) +
                    host_block(false, "000000000004", 40016, "00:00:00:00:00:04", true) +
                    host_block(false, "000000000005", 40020, "00:00:00:00:00:05", true) +
                    host_block(false, "cam_1", 40024, "00:00:00:00:00:06", true))
                       .substr(1),
                   "@h:1: alias \"Tunnel\" names a host of --jump; this device is 000000000001\n",
                   0},
        audit_case{"hosts_domain_not_a_name",
                   {"--ssh-config", "--alias-domain", "-x"},
                   {},
                   "",
                   "portslot-audit: invalid value '-x' for --alias-domain: not a DNS name (labels "
                   "of letters, digits and '-', joined by dots)\n" +
                       try_help,
                   2},
        audit_case{"hosts_port_num_past",
                   {"--ssh-config", "--ssh-port-num", "3"},
                   {},
                   "",
                   "portslot-audit: --ssh-port-num 3: a block holds ports 1 to 2\n" + try_help,
                   2},
        audit_case{"hosts_with_sockets",
                   {"--ssh-config", "--sockets", "-"},
                   {},
                   "",
                   "portslot-audit: --ssh-config cannot be used with --sockets\n" + try_help,
                   2},
        audit_case{"placed_hosts_jump_to_their_servers",
                   {"--csv", "--ssh-config", "--jump-user", "tunnel", "--jump", "gw.example", "@g"},
                   {{"g", "mac,n,Port_Min,port-max,server\n" "aa:bb:cc:dd:ee:ff,a,2000,2099,s1.example\n" "00:00:00:00:00:8b,b,2000,2099,s2.example\n" "00:00:00:00:01:8b,c,,,\n"}},
                   "Host c\n" "    HostName localhost\n" "    Port 40580\n" "    HostKeyAlias 00:00:00:00:01:8b\n" "    ProxyJump gw.example\n" "\n" "Host a\n" "    HostName localhost\n" "    Port 2056\n" "    HostKeyAlias aa:bb:cc:dd:ee:ff\n" "    ProxyJump gw.example,tunnel@s1.example\n" "\n" "Host b\n" "    HostName localhost\n" "    Port 2056\n" "    HostKeyAlias 00:00:00:00:00:8b\n" "    ProxyJump gw.example,tunnel@s2.example\n",
                   "",
                   0},
        audit_case{"alias_names_a_server",
                   {"--csv", "--ssh-config", "@s"},
                   {{"s", "mac,n,server\n" "aa:bb:cc:dd:ee:ff,gw,gw\n" "00:00:00:00:00:8b,b,2001:db8::1\n"}},
                   "Host aabbccddeeff\n" "    HostName localhost\n" "    Port 40556\n" "    HostKeyAlias aa:bb:cc:dd:ee:ff\n" "    ProxyJump gw\n" "\n" "Host b\n" "    HostName localhost\n" "    Port 40556\n" "    HostKeyAlias 00:00:00:00:00:8b\n" "    ProxyJump [2001:db8::1]\n",
                   "@s:2: alias \"gw\" names a server of the fleet; this device is aabbccddeeff\n",
                   0},
        // With host keys, a device that has one is pinned to the known_hosts
        // file; one without keeps ssh's own settings, said in its block. A
        // column asked for that an inventory lacks is said.
        audit_case{"hosts_pinned_to_their_keys",
                   {"--csv", "--ssh-config", "--known-hosts-file", "/etc/ssh/fleet", "@k", "@n"},
                   {{"k", "mac,name,host_key\naa:bb:cc:dd:ee:ff,gw," + ed25519 + "\n00:00:00:00:00:01,cam, \n"},
                    {"n", "mac,name\n00:00:00:00:00:02,x\n"}},
                   "Host cam\n    HostName localhost\n    Port 40004\n    HostKeyAlias 00:00:00:00:00:01\n"
                   "    # no host key in the inventory: ssh's own settings decide at first contact\n\n"
                   "Host x\n    HostName localhost\n    Port 40008\n    HostKeyAlias 00:00:00:00:00:02\n"
                   "    # no host key in the inventory: ssh's own settings decide at first contact\n\n"
                   "Host gw\n    HostName localhost\n    Port 40556\n    HostKeyAlias aa:bb:cc:dd:ee:ff\n"
                   "    UserKnownHostsFile /etc/ssh/fleet\n    StrictHostKeyChecking yes\n",
                   "",
                   0},
        // A host key field pins where it holds more than blanks: quoted or
        // not, a doubled quote being text; in fields split at blanks or at a
        // delimiter too.
        audit_case{"hosts_pinned_where_the_field_holds_text",
                   {"--csv", "--ssh-config", "@q"},
                   {{"q", "mac,name,host_key\n00:00:00:00:00:01,a,\"\"\n00:00:00:00:00:02,b,\" \"\n"
                          "00:00:00:00:00:03,c,\"\"\"\"\n00:00:00:00:00:04,d,\"k\"\n"
                          "00:00:00:00:00:05,e\n00:00:00:00:00:06,f,  \n"}},
                   (pinned_block("a", 40004, "00:00:00:00:00:01", nullptr) +
                    pinned_block("b", 40008, "00:00:00:00:00:02", nullptr) +
                    pinned_block("c", 40012, "00:00:00:00:00:03", default_file) +
                    pinned_block("d", 40016, "00:00:00:00:00:04", default_file) +
                    pinned_block("e", 40020, "00:00:00:00:00:05", nullptr) +
                    pinned_block("f", 40024, "00:00:00:00:00:06", nullptr))
                       .substr(1),
                   "",
                   0},
        audit_case{"hosts_pinned_from_blank_fields",
                   {"--ssh-config", "--host-key-field", "3", "@b"},
                   {{"b", "00:00:00:00:00:01 a k\n00:00:00:00:00:02 b\n"}},
                   (pinned_block("a", 40004, "00:00:00:00:00:01", default_file) +
                    pinned_block("b", 40008, "00:00:00:00:00:02", nullptr))
                       .substr(1),
                   "",
                   0},
        audit_case{"hosts_pinned_from_delimited_fields",
                   {"--ssh-config", "--delimiter", ";", "--host-key-field", "1", "@d"},
                   {{"d", "00:00:00:00:00:01;a\n"}},
                   pinned_block("a", 40004, "00:00:00:00:00:01", default_file).substr(1),
                   "",
                   0},
        // Where the text ends right after a host-key field, or in it: an
        // empty field, one the file's end cuts, "" at the end; a last field
        // of its own at the end of a file split at blanks or a delimiter.
        audit_case{"hosts_pinned_at_the_end_of_the_file",
                   {"--csv", "--ssh-config", "@a", "@c", "@d"},
                   {{"a", "mac,host_key,name\n00:00:00:00:00:01,,a\n00:00:00:00:00:02,"},
                    {"c", "mac,host_key\n00:00:00:00:00:04,\"\""},
                    {"d", "mac,host_key\n00:00:00:00:00:07,k"}},
                   (pinned_block("a", 40004, "00:00:00:00:00:01", nullptr) +
                    pinned_block("000000000002", 40008, "00:00:00:00:00:02", nullptr) +
                    pinned_block("000000000004", 40016, "00:00:00:00:00:04", nullptr) +
                    pinned_block("k", 40028, "00:00:00:00:00:07", default_file))
                       .substr(1),
                   "",
                   0},
        audit_case{"hosts_pinned_at_the_end_of_blank_fields",
                   {"--ssh-config", "--host-key-field", "2", "@b"},
                   {{"b", "00:00:00:00:00:05"}},
                   pinned_block("000000000005", 40020, "00:00:00:00:00:05", nullptr).substr(1),
                   "",
                   0},
        audit_case{"hosts_pinned_at_the_end_of_delimited_fields",
                   {"--ssh-config", "--delimiter", ";", "--host-key-field", "2", "@e"},
                   {{"e", "00:00:00:00:00:06"}},
                   pinned_block("000000000006", 40024, "00:00:00:00:00:06", nullptr).substr(1),
                   "",
                   0},
        audit_case{"hosts_without_the_host_key_column",
                   {"--csv", "--ssh-config", "--host-key-field", "hk", "@n"},
                   {{"n", "mac,name\n00:00:00:00:00:02,x\n"}},
                   "Host x\n    HostName localhost\n    Port 40008\n    HostKeyAlias 00:00:00:00:00:02\n",
                   "portslot-audit: @n: no column named \"hk\" for the host keys\n",
                   2}),
    case_name);

TEST(host_aliases, names_ssh_takes_for_one_device)
{
    const std::string too_long(65, 'a');
    const struct {
        const char *word;
        bool usable;
    } cases[] = {
        {"gateway-2.site_1+x", true}, {"", false},           {"-n", false},
        {".hidden", false},           {"a*", false},         {"a,b", false},
        {"caf\xc3\xa9", false},       {"10.0.0.1", false},   {"LocalHost", false},
        {"aabbccddeeff", false},      {"aabbccddeefg", true}, {too_long.c_str(), false},
        {"localhorn", true},          {" gw", false},        {"\tgw", false},
        {"gw x", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(portslot::audit::usable_alias(c.word, strlen(c.word)), c.usable) << c.word;
}

// Many names, each given twice without case, the later in the files first:
// every name kept by its earlier device, whatever slots the hash gives.
TEST(host_aliases, the_earlier_device_keeps_a_name)
{
    using namespace portslot::audit;
    std::vector<std::string> words;
    for (int i = 0; i < 300; ++i)
        words.push_back("device-" + std::to_string(i) + "-of-the-fleet");
    growing_array<host_candidate> devices;
    for (size_t i = 0; i < 2 * words.size(); ++i) {
        std::string &word = words[i % words.size()];
        word[0] = i < words.size() ? 'd' : 'D';
        devices.push(candidate_of(1000 - i, word.c_str(), word.size()));
    }
    growing_array<host_alias> aliases;
    choose_aliases(devices, aliases);
    for (size_t i = 0; i < devices.size; ++i) {
        const bool later = i < words.size(); // (offsets fall as i rises)
        EXPECT_EQ(aliases.items[i].from, later ? alias_from::address_taken : alias_from::label);
        if (later) {
            EXPECT_EQ(aliases.items[i].holder, i + words.size());
        }
    }
}

TEST(plain_mac, reads_twelve_digits_colons_aside)
{
    const struct {
        const char *mac, *text; // (null: not plain)
    } cases[] = {
        {"AA:bb:CC:dd:EE:ff", "aa:bb:cc:dd:ee:ff"}, {"aabbccddeeff", "aa:bb:cc:dd:ee:ff"},
        {"aabb:ccdd:eeff", "aa:bb:cc:dd:ee:ff"},    {"aa:bb:cc:dd:ee:fg", nullptr},
        {"aa-bb-cc-dd-ee-ff", nullptr},             {"aa:bb:cc:dd:ee:f", nullptr},
        {"aabbccddeeff0", nullptr},                 {"aa:bb:cc:dd:e\xe9:ff", nullptr},
        {"aa:bb:cc:dd:ee::f", nullptr},             {"aa:bb:cc:dd:ee:ff:", "aa:bb:cc:dd:ee:ff"},
        {"a\x11:bb:cc:dd:ee:ff", nullptr},          {"aa\x1a" "bb:cc:dd:ee:ff", nullptr},
        {"aa:bb:cc:dd:Ge:ff", nullptr},             {"aa:bb:cc:dd:ee:\x06f", nullptr},
    };
    for (const auto &c : cases) {
        char text[17];
        const bool plain = portslot::audit::read_plain_mac(c.mac, strlen(c.mac), text);
        EXPECT_EQ(plain, c.text != nullptr) << c.mac;
        if (plain && c.text != nullptr) {
            EXPECT_EQ(std::string(text, 17), c.text) << c.mac;
        }
    }
    // Each byte of the usual form in turn made the other kind (a colon a
    // digit, a digit a colon): 13 or 11 digits, never plain.
    for (size_t k = 0; k < 17; ++k) {
        std::string mac = "aa:bb:cc:dd:ee:ff";
        mac[k] = mac[k] == ':' ? 'a' : ':';
        char text[17];
        EXPECT_FALSE(portslot::audit::read_plain_mac(mac.data(), 17, text)) << mac;
    }
}

} // namespace
