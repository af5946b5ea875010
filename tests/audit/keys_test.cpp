// --authorized-keys: the tunnel account's keys.
#include "audit_fixture.h"

namespace {

INSTANTIATE_TEST_SUITE_P(
    keys, audit,
    testing::Values(
        // The tunnel account's keys: each may listen on its own ports only;
        // the comment is the address and the other fields, a line end in a
        // label a space; a key with options before it, of another type than
        // its body says, cut short or missing is refused with its place.
        // From a leases file whose fourth field on is the key: the comment is
        // the address and the fields before it.
        audit_case{"authorized_keys_from_leases",
                   {"--authorized-keys", "4", "--field", "2", "@l"},
                   {{"l", "1733 52:54:00:00:00:01 192.0.2.10 " + ed25519 + " gw\n1734 " +
                              "00:00:00:00:00:01 192.0.2.11 " + ed25519_key(1) + "\n"}},
                   "restrict,port-forwarding,permitlisten=\"localhost:40004\","
                   "permitlisten=\"localhost:40006\",command=\"/bin/false\" " +
                       ed25519 + " 52:54:00:00:00:01 1733 192.0.2.10\n" +
                       "restrict,port-forwarding,permitlisten=\"localhost:40004\","
                       "permitlisten=\"localhost:40006\",command=\"/bin/false\" " +
                       ed25519_key(1) + " 00:00:00:00:00:01 1734 192.0.2.11\n",
                   "portslot-audit: warning: 2 devices share 1 block, and each of their keys "
                   "may listen on the others' ports:\n  40004: @l:1 @l:2\n",
                   1},
        audit_case{"authorized_keys_from_csv",
                   {"--csv", "--authorized-keys", "KEY", "@k"},
                   {{"k", "mac,name,key,room\n"
                          "52:54:00:00:00:01,\"gate\nway\"," +
                              ed25519 +
                              " dev@a, 1\t\n"
                              "52:54:00:00:00:02,cam,\"" +
                              ecdsa +
                              "\",\x1b[2\xc2\x9b\n"
                              "52:54:00:00:00:03,x,\"command=\"\"sh\"\" " +
                              ed25519 +
                              "\"\n"
                              "52:54:00:00:00:04,y,,\n"
                              "52:54:00:00:00:05,z\n"
                              "52:54:00:00:00:06,w,ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIJds\n"
                              "52:54:00:00:00:07,v,ssh-rsa " +
                              ed25519.substr(12) +
                              "\n"
                              "52:54:00:00:00:08,u,ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIJd!\n"
                              "00:00:00:00:00:01,\"r \"\"x\"\"\",\"  " +
                              ed25519_key(1) + "\"\n"}},
                   "restrict,port-forwarding,permitlisten=\"localhost:40004\","
                   "permitlisten=\"localhost:40006\",command=\"/bin/false\" " +
                       ed25519 +
                       " 52:54:00:00:00:01 gate way 1\n"
                       "restrict,port-forwarding,permitlisten=\"localhost:40004\","
                       "permitlisten=\"localhost:40006\",command=\"/bin/false\" " +
                       ed25519_key(1) +
                       " 00:00:00:00:00:01 r \"x\"\n"
                       "restrict,port-forwarding,permitlisten=\"localhost:40008\","
                       "permitlisten=\"localhost:40010\",command=\"/bin/false\" " +
                       ecdsa + " 52:54:00:00:00:02 cam  [2  \n",
                   "@k:5: not a public key sshd takes: \"command=\"sh\"\" is not a key type (the "
                   "field holds TYPE BASE64 and a comment, nothing before it)\n"
                   "@k:6: no public key\n@k:7: no public key\n"
                   "@k:8: not a public key sshd takes: its data is cut short\n"
                   "@k:9: not a public key sshd takes: its data is of another type than its text "
                   "says\n"
                   "@k:10: not a public key sshd takes: its data is not canonical base64\n"
                   "portslot-audit: warning: 2 devices share 1 block, and each of their keys may "
                   "listen on the others' ports:\n  40004: @k:2 @k:11\n",
                   2},
        // What could end a key's line or act on a terminal never reaches
        // one: an address that is not a plain MAC text (a line end in it
        // would start a line of the record's choosing), a control byte in
        // the key field (a tab between its words too, though the key reads
        // well); a label's first byte a line end becomes a space.
        // One key for two devices: neither line, both places said.
        audit_case{"authorized_keys_refused_texts",
                   {"--csv", "--authorized-keys", "key", "@k"},
                   {{"k", "mac,name,key\n\"aabbccddeef\n\"," + ed25519_key(2) + "," +
                              ed25519_key(3) + "\n\"52:54:00:00:00:0\x1b\",e," +
                              ed25519_key(4) + "\n52:54:00:00:00:02,a,\"" + ed25519_key(5) +
                              "\x1b[2J\"\n52:54:00:00:00:03,\"\nb\"," + ed25519_key(6) + "  " +
                              "\n52:54:00:00:00:04,c," + ed25519_key(7) +
                              "\n52:54:00:00:00:06,d,\"" + ed25519_key(7) + " other\"\n"
                              "52:54:00:00:00:07,e,\"ssh-ed25519\t" + ed25519_key(8).substr(12) + "\"\n"}},
                   "restrict,port-forwarding,permitlisten=\"localhost:40012\","
                   "permitlisten=\"localhost:40014\",command=\"/bin/false\" " +
                       ed25519_key(6) + " 52:54:00:00:00:03  b\n",
                   "@k:2: the address is not a plain MAC address (12 hexadecimal digits, colons "
                   "aside); no key line for it\n"
                   "@k:4: the address is not a plain MAC address (12 hexadecimal digits, colons "
                   "aside); no key line for it\n"
                   "@k:5: a control byte in the key field\n"
                   "@k:8: the same public key as @k:9, so neither device's line is written: a "
                   "key must be one device's\n"
                   "@k:9: the same public key as @k:8, so neither device's line is written: a "
                   "key must be one device's\n"
                   "@k:10: a control byte in the key field\n",
                   2},
        // Every permitlisten a port a key can listen on: a range that gives
        // port 0 or ports past 65535 is refused before anything is read.
        audit_case{"authorized_keys_ports_out_of_bounds",
                   {"--port-min", "65530", "--port-max", "65540", "--authorized-keys", "2"},
                   {},
                   "",
                   "portslot-audit: --authorized-keys: the range gives ports up to 65540, which "
                   "no key can listen on; choose a range within 2 to 65534\n",
                   2},
        audit_case{"authorized_keys_port_zero",
                   {"--port-min", "-1", "--authorized-keys", "2"},
                   {},
                   "",
                   "portslot-audit: --authorized-keys: the range gives port 0, which no key can "
                   "listen on; choose a range within 2 to 65534\n",
                   2},
        // Fields split at blanks: the key is the rest of the line (its own
        // comment dropped); with a delimiter, the field alone.
        audit_case{
            "authorized_keys_from_fields",
            {"--port-count", "1", "--authorized-keys=3", "@k"},
            {{"k", "52:54:00:00:00:01 gate " + ed25519 + " dev@a\n52:54:00:00:00:03 x"}},
            "restrict,port-forwarding,permitlisten=\"localhost:40002\",command=\"/bin/false\" " +
                ed25519 + " 52:54:00:00:00:01 gate\n",
            "@k:2: no public key\n",
            2},
        audit_case{
            "authorized_keys_from_delimited_fields",
            {"--port-count", "1", "--authorized-keys", "2", "--delimiter", ";", "@d"},
            {{"d", "52:54:00:00:00:02;" + ecdsa + ";cam"}},
            "restrict,port-forwarding,permitlisten=\"localhost:40004\",command=\"/bin/false\" " +
                ecdsa + " 52:54:00:00:00:02 cam\n",
            "",
            0},
        audit_case{"authorized_keys_column_missing",
                   {"--csv", "--authorized-keys", "key", "@k", "@e"},
                   {{"k", "mac,name\n52:54:00:00:00:01,a\n"}, {"e", ""}},
                   "",
                   "portslot-audit: @k: no column named \"key\" for the keys\n",
                   2},
        audit_case{"authorized_keys_with_json",
                   {"--authorized-keys", "2", "--json"},
                   {},
                   "",
                   "portslot-audit: --authorized-keys cannot be used with --json\n" + try_help,
                   2},
        audit_case{"columns_dropped_from_keys",
                   {"--csv", "--authorized-keys", "key", "--drop-column", "name"},
                   {},
                   "",
                   "portslot-audit: --drop-column cannot be used with --authorized-keys (a key "
                   "line's comment leaves the key out already)\n" +
                       try_help,
                   2},
        audit_case{"authorized_keys_named_without_csv",
                   {"--authorized-keys", "key"},
                   {},
                   "",
                   "portslot-audit: --authorized-keys 'key' names a column, which only --csv has; "
                   "give a field number\n" +
                       try_help,
                   2},
        // Keys of devices in two shared blocks: warned about, status 1.
        audit_case{
            "authorized_keys_of_shared_blocks",
            {"--authorized-keys", "2", "--port-count", "1", "--port-max", "40002", "@k"},
            {{"k", "00:00:00:00:00:01 " + ed25519_key(1) + "\n00:00:00:00:00:03 " +
                       ed25519_key(3) + "\n00:00:00:00:00:00 " + ed25519_key(0) +
                       "\n00:00:00:00:00:02 " + ed25519_key(2) + "\n"}},
            "restrict,port-forwarding,permitlisten=\"localhost:40000\",command=\"/bin/false\" " +
                ed25519_key(0) + " 00:00:00:00:00:00\n" +
                "restrict,port-forwarding,permitlisten=\"localhost:40000\",command=\"/bin/"
                "false\" " +
                ed25519_key(2) + " 00:00:00:00:00:02\n" +
                "restrict,port-forwarding,permitlisten=\"localhost:40002\",command=\"/bin/"
                "false\" " +
                ed25519_key(1) + " 00:00:00:00:00:01\n" +
                "restrict,port-forwarding,permitlisten=\"localhost:40002\",command=\"/bin/"
                "false\" " +
                ed25519_key(3) + " 00:00:00:00:00:03\n",
            "portslot-audit: warning: 4 devices share 2 blocks, and each of their keys may "
            "listen on the others' ports:\n  40000: @k:3 @k:4\n  40002: @k:1 @k:2\n",
            1},
        // The administrator's known_hosts: a line a device under its address,
        // its label the comment (the columns dropped left out, a control byte
        // a space); a security key, a certificate and a key two devices hold
        // are refused, a device without one counted.
        audit_case{"known_hosts_from_csv",
                   {"--csv", "--known-hosts", "--drop-column", "key", "@k"},
                   {{"k", "mac,name,Host Key,key\n52:54:00:00:00:01,gw\x1b" "1," + ed25519 +
                              " comment," + ed25519_key(1) + "\n52:54:00:00:00:02,cam,,x\n"
                              "52:54:00:00:00:03,sk,sk-ssh-ed25519@openssh.com AAAAGnNrLXNzaC1lZDI1NTE5QG9wZW5zc2guY29tAAAAIAABAgMEBQYHCAkKCwwNDg8QERITFBUWFxgZGhscHR4fAAAABHNzaDo=\n"
                              "52:54:00:00:00:04,cert,ssh-ed25519-cert-v01@openssh.com AAAA\n"
                              "00:00:00:00:00:05,twin," + ed25519_key(6) + "\n00:00:00:00:00:06,twin," +
                              ed25519_key(6) + "\n00:00:00:00:00:fb,d5," + ecdsa + "\nab:00:00:00:00:01,twin," +
                              ed25519_key(6) + "\n00:00:00:00:00:08,twin," + ed25519_key(6) + "\n"}},
                   "52:54:00:00:00:01 " + ed25519 + " gw 1\n00:00:00:00:00:fb " + ecdsa + " d5\n",
                   "@k:4: not a host key ssh takes: a security key's type, which is a user's key "
                   "and never a host's\n@k:5: not a host key ssh takes: a certificate, not the "
                   "host's key itself\n@k:6: the same host key as @k:7, so neither device's line "
                   "is written: ssh could not tell them apart\n@k:7: the same host key as @k:6, so "
                   "neither device's line is written: ssh could not tell them apart\n@k:9: the same "
                   "host key as @k:6, so neither device's line is written: ssh could not tell "
                   "them apart\n@k:10: the same host key as @k:6, so neither device's line is "
                   "written: ssh could not tell them apart\nportslot-audit: warning: 3 devices share a block with another, and only the "
                   "one connected answers on its port: its host key says which\n"
                   "portslot-audit: warning: 1 device has no host key in the inventory, and no "
                   "line here (ssh cannot tell such a device from another on its port)\n",
                   2},
        // Fields split at blanks: TYPE BASE64 from the field named, before the
        // tunnel key; a CSV file without the column is said.
        audit_case{"known_hosts_blank_fields",
                   {"--known-hosts", "--host-key-field", "2", "@b"},
                   {{"b", "52:54:00:00:00:01 " + ed25519 + " " + ed25519_key(1) + " x\n"}},
                   "52:54:00:00:00:01 " + ed25519 + "\n",
                   "",
                   0},
        // Texts refused where they are read: a control byte (C0 or C1) in
        // the key, an address that is not plain, base64 that is not
        // canonical; blanks before a key, which may be of any length; a CSV
        // file without a header holds no host keys.
        audit_case{"known_hosts_refused_texts",
                   {"--csv", "--known-hosts", "@k", "@e"},
                   {{"k", "mac,name,host_key\n52:54:00:00:00:01,a,\"\tssh-ed25519 "
                          "AAAAC3NzaC1lZDI1NTE5AAAAIJds\x1bsrgSVJYkkY4ioNWI6K/O1VxGXsQUQzsE7StoGm7\"\n"
                          "52:54:00:00:00:02,b,ssh-ed25519 "
                          "AAAAC3NzaC1lZDI1NTE5AAAAIJdsDsrgSVJYkkY4ioNWI6K/O1VxGXsQUQzsE7StoG\xc2\x9b\n"
                          "\"aabbccddeef\n\",c," + ed25519 + "\n52:54:00:00:00:03,d,ssh-ed25519 "
                          "AAAAC3NzaC1lZDI1NTE5AAAAIJdsDsrgSVJYkkY4ioNWI6K/O1VxGXsQUQzsE7StoG!=\n"
                          "52:54:00:00:00:04,e,ssh-ed25519 "
                          "AAAAC3NzaC1lZDI1NTE5AAAAIJdsDsrgSVJYkkY4ioNWI6K/O1VxGXsQUQzsE7StoGm=\n"
                          "52:54:00:00:00:05,f,\tssh-rsa AAAAB3NzaC1yc2EAAAADAQABAAAAgQC5GkBVQSLVLNBmZGFAqOh8tpbqqkbXNDQHhzDnZKi4dWobUH9jJk5vByWkG7R/LpkpjfzwGr6IZiF/TV71UVhooeCUdUSrCVmvPPzkhp10ysb2ueM2HSj+cHhLs9dhRh5C8wf1OrMBvNEvVfnIpTAblfr5lMsx3RXJooukrAt9ew==\n"},
                    {"e", ""}},
                   "52:54:00:00:00:05 ssh-rsa AAAAB3NzaC1yc2EAAAADAQABAAAAgQC5GkBVQSLVLNBmZGFAqOh8tpbqqkbXNDQHhzDnZKi4dWobUH9jJk5vByWkG7R/LpkpjfzwGr6IZiF/TV71UVhooeCUdUSrCVmvPPzkhp10ysb2ueM2HSj+cHhLs9dhRh5C8wf1OrMBvNEvVfnIpTAblfr5lMsx3RXJooukrAt9ew== f\n",
                   "@k:2: a control byte in the host key field\n@k:3: a control byte in the host "
                   "key field\n@k:4: the address is not a plain MAC address (12 hexadecimal digits, "
                   "colons aside); no known_hosts line for it\n@k:6: not a host key ssh takes: its "
                   "data is not canonical base64\n@k:7: not a host key ssh takes: its data is not "
                   "canonical base64\n",
                   2},
        audit_case{"known_hosts_without_column",
                   {"--csv", "--known-hosts", "@n"},
                   {{"n", "mac,name\n52:54:00:00:00:01,x\n"}},
                   "",
                   "portslot-audit: @n: no column named \"host_key\" for the host keys\n",
                   2}),
    case_name);

// A key's text from its fields, each an SSH string, in canonical base64.
std::string key_text(const std::string &type, const std::vector<std::string> &fields)
{
    std::string blob;
    for (const std::string &f : fields) {
        for (int shift = 24; shift >= 0; shift -= 8)
            blob += static_cast<char>(f.size() >> shift & 0xff);
        blob += f;
    }
    const char *digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text = type + " ";
    for (size_t i = 0; i < blob.size(); i += 3) {
        uint32_t v = 0;
        for (size_t k = 0; k < 3; ++k)
            v = v << 8 | (i + k < blob.size() ? static_cast<unsigned char>(blob[i + k]) : 0);
        for (size_t k = 0; k < 4; ++k)
            text += k <= blob.size() - i ? digits[v >> (18 - 6 * k) & 63] : '=';
    }
    return text;
}

// What is taken for an OpenSSH public key: a type sshd knows, then canonical
// base64 of that type's fields, each whole and sound, and nothing after.
TEST(authorized_keys, take_keys_sshd_takes)
{
    using portslot::audit::key_fault;
    const std::string ed25519 =
        "ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIJdsDsrgSVJYkkY4ioNWI6K/O1VxGXsQUQzsE7StoGm7";
    const std::string ecdsa =
        "ecdsa-sha2-nistp256 AAAAE2VjZHNhLXNoYTItbmlzdHAyNTYAAAAIbmlzdHAyNTYAAABBBIfB5DUacL+"
        "7Arnda2ixQ2a7o71rID8s+ir6vX2U3HNXT1VzjyK+SGctcfln92hzseH8Bf8QT4hymosfjP/iaHI=";
    const std::string padded =
        "ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQ==";
    // The point of `ecdsa`, and RSA numbers of given sizes (an odd modulus
    // with its top bit set).
    const std::string point = "\x04\x87\xc1\xe4\x35\x1a\x70\xbf\xbb\x02\xb9\xdd\x6b\x68\xb1\x43"
                              "\x66\xbb\xa3\xbd\x6b\x20\x3f\x2c\xfa\x2a\xfa\xbd\x7d\x94\xdc\x73"
                              "\x57\x4f\x55\x73\x8f\x22\xbe\x48\x67\x2d\x71\xf9\x67\xf7\x68\x73"
                              "\xb1\xe1\xfc\x05\xff\x10\x4f\x88\x72\x9a\x8b\x1f\x8c\xff\xe2\x68"
                              "\x72";
    const auto modulus = [](size_t bytes, char top) {
        return std::string(1, '\0') + top + std::string(bytes - 1, '\x01');
    };
    const std::string e("\x01\x00\x01", 3), k32(32, 'k'), p256 = "nistp256";
    const std::string sk_ed = "sk-ssh-ed25519@openssh.com",
                      sk_ec = "sk-ecdsa-sha2-nistp256@openssh.com";
    const struct {
        std::string text;
        size_t size; // of the key, without its comment; 0: refused
        key_fault fault;
    } cases[] = {
        {ed25519, ed25519.size(), key_fault::none},
        {ed25519 + " dev@a b", ed25519.size(), key_fault::none},
        {ed25519 + "\tx", ed25519.size(), key_fault::none},
        {ed25519 + "x", 0, key_fault::not_base64}, // a digit too many
        {"ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAI!dsDsrgSVJYkkY4ioNWI6K/O1VxGXsQUQzsE7StoGm7", 0,
         key_fault::not_base64},
        {"ssh-ed25519\t\t" + ed25519.substr(12) + "\tx", ed25519.size() + 1, key_fault::none},
        {ecdsa, ecdsa.size(), key_fault::none},
        {padded, 0, key_fault::ed25519_size},
        {"ssh-foo " + ed25519.substr(12), 0, key_fault::unknown_type},
        {"ssh-dss " + ed25519.substr(12), 0, key_fault::unknown_type},
        {"command=\"sh\" " + ed25519, 0, key_fault::unknown_type}, // options before it
        {"ssh-rsa " + ed25519.substr(12), 0, key_fault::other_type},
        {"ssh-ed25519", 0, key_fault::no_data},
        {"ssh-ed25519 ", 0, key_fault::no_data},
        {ed25519.substr(0, ed25519.size() - 1), 0, key_fault::not_base64},
        {"ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIJds", 0, key_fault::cut_short},
        {"ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIZdsDsrgSVJYkkY4ioNWI6K/O1VxGXsQUQzsE7StoGm7", 0,
         key_fault::cut_short}, // the key's size 33 in the usual key's length
        {"ssh-ed25519 AAAAC3NzaC1lZDI1NTE5", 0, key_fault::cut_short},
        {"ssh-ed25519 AAAA", 0, key_fault::cut_short},          // not even the type's name
        {"ssh-ed25519 AAAAAAAAAAF4", 0, key_fault::other_type}, // an empty type's name
        {"ssh-ed25519 AAAAC3NzaC1lZDI1NTE4AAAAIAEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEB", 0,
         key_fault::other_type},
        {"ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIJdsDsrg!VJYkkY4ioNWI6K/O1VxGXsQUQzsE7StoGm7", 0,
         key_fault::not_base64},
        {"ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIJdsDsrg=VJYkkY4ioNWI6K/O1VxGXsQUQzsE7StoGm7", 0,
         key_fault::not_base64},
        {"ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBA=A=", 0,
         key_fault::not_base64},
        {padded.substr(0, padded.size() - 3) + "R==", 0, key_fault::not_base64}, // spare bits
        {ecdsa.substr(0, ecdsa.size() - 2) + "J=", 0, key_fault::not_base64},
        {"ssh-ed25519 " + std::string(10924, 'A'), 0, key_fault::too_large},
        {"", 0, key_fault::unknown_type},
        // Each type's fields, whole and sound, and nothing after them.
        {key_text("ssh-ed25519", {"ssh-ed25519", std::string(31, 'k')}), 0,
         key_fault::ed25519_size},
        {key_text("ssh-ed25519", {"ssh-ed25519", std::string(33, 'k')}), 0,
         key_fault::ed25519_size},
        {key_text("ssh-ed25519", {"ssh-ed25519", k32, ""}), 0, key_fault::extra_fields},
        {key_text(sk_ed, {sk_ed, k32}), 0, key_fault::no_application},
        {key_text(sk_ed, {sk_ed, k32, "ssh:"}), key_text(sk_ed, {sk_ed, k32, "ssh:"}).size(),
         key_fault::none},
        {key_text(sk_ec, {sk_ec, p256, point, "ssh:"}),
         key_text(sk_ec, {sk_ec, p256, point, "ssh:"}).size(), key_fault::none},
        {key_text(sk_ec, {sk_ec, p256, point, std::string("s\0h", 3)}), 0,
         key_fault::no_application},
        {key_text("ecdsa-sha2-nistp256", {"ecdsa-sha2-nistp256", "nistp384", point}), 0,
         key_fault::curve_name},
        {key_text("ecdsa-sha2-nistp384", {"ecdsa-sha2-nistp384", "nistp384", point}), 0,
         key_fault::point_form},
        {key_text("ecdsa-sha2-nistp256", {"ecdsa-sha2-nistp256", p256, point.substr(0, 64)}), 0,
         key_fault::point_form},
        {key_text("ecdsa-sha2-nistp256",
                  {"ecdsa-sha2-nistp256", p256, "\x02" + point.substr(1, 32)}),
         0, key_fault::point_form},
        {key_text("ecdsa-sha2-nistp256",
                  {"ecdsa-sha2-nistp256", p256, point.substr(0, 64) + "\x73"}),
         0, key_fault::not_on_curve},
        {key_text("ecdsa-sha2-nistp256", {"ecdsa-sha2-nistp256", p256, point, "x"}), 0,
         key_fault::extra_fields},
        {key_text("ecdsa-sha2-nistp256", {"ecdsa-sha2-nistp256", p256}), 0, key_fault::cut_short},
        {key_text("ecdsa-sha2-nistp256",
                  {"ecdsa-sha2-nistp256", p256, "\x04" + std::string(64, '\0')}),
         0, key_fault::not_on_curve}, // the origin, whose coordinates are too short
        {key_text("ssh-rsa", {"ssh-rsa", e, modulus(128, '\x80')}),
         key_text("ssh-rsa", {"ssh-rsa", e, modulus(128, '\x80')}).size(), key_fault::none},
        {key_text("ssh-rsa", {"ssh-rsa", e, modulus(2048, '\x80')}),
         key_text("ssh-rsa", {"ssh-rsa", e, modulus(2048, '\x80')}).size(), key_fault::none},
        {key_text("ssh-rsa", {"ssh-rsa", e, modulus(128, '\x7f')}), 0, key_fault::rsa_size},
        {key_text("ssh-rsa", {"ssh-rsa", e, modulus(64, '\x40')}), 0, key_fault::rsa_size},
        {key_text("ssh-rsa", {"ssh-rsa", e, modulus(2049, '\x80')}), 0, key_fault::rsa_size},
        {key_text("ssh-rsa", {"ssh-rsa", e, modulus(256, '\xc0').substr(1)}), 0,
         key_fault::rsa_negative},
        {key_text("ssh-rsa", {"ssh-rsa", "\x81", modulus(256, '\x80')}), 0,
         key_fault::rsa_negative}, // a one-byte exponent with its high bit set
        {key_text("ssh-rsa", {"ssh-rsa", e}), 0, key_fault::cut_short},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.substr(0, 100));
        const portslot::audit::public_key key =
            portslot::audit::read_public_key(c.text.data(), c.text.size());
        EXPECT_EQ(key.size, c.size);
        EXPECT_EQ(key.fault, c.fault);
    }
}

} // namespace
