// End-to-end runs of portslot-audit on small inventories.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <portslot/port_derivation.h>

#include "run_tool.h"

// gcc says it builds with AddressSanitizer by a macro, clang by a feature.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PORTSLOT_HAS_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef PORTSLOT_HAS_ADDRESS_SANITIZER
#define PORTSLOT_HAS_ADDRESS_SANITIZER 0
#endif

namespace {

// Under the defaults (250 blocks) these three keys leave remainder 139, so
// the three devices share 40556-40558; the fourth is alone in 40004-40006.
constexpr const char *fleet = "# fleet\n"
                              "aa:bb:cc:dd:ee:ff  gateway  room 1 \n"
                              "\n"
                              "   # indented comment\n"
                              "00:00:00:00:00:8b\tcam\n"
                              "  11:22:33:00:01:85 printer\r\n"
                              "00:00:00:00:00:01 solo";
constexpr const char *shared_lines = "40556-40558\taa:bb:cc:dd:ee:ff\tgateway  room 1\n"
                                     "40556-40558\t00:00:00:00:00:8b\tcam\n"
                                     "40556-40558\t11:22:33:00:01:85\tprinter\n";

// Test processes run side by side, so each writes files of its own.
std::string write_file(const std::string &name, const std::string &text)
{
    const std::string path = testing::TempDir() + "audit-" + std::to_string(getpid()) + "-" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

struct audit_case {
    const char *name;
    std::vector<std::string> args; // after the program name; "@x" is the file x
    std::vector<std::pair<std::string, std::string>> files;
    std::string out, err;
    int status;
    const char *stdin_text = nullptr;
};

void PrintTo(const audit_case &c, std::ostream *os)
{
    *os << c.name;
}

class audit : public testing::TestWithParam<audit_case> {};

TEST_P(audit, prints_plan_and_status)
{
    const audit_case &c = GetParam();
    std::vector<std::pair<std::string, std::string>> paths;
    for (const auto &[name, text] : c.files)
        paths.emplace_back("@" + name, write_file(name, text));
    std::vector<std::string> argv{"portslot-audit"};
    for (const std::string &arg : c.args) {
        std::string value = arg;
        for (const auto &[at, path] : paths)
            if (arg == at)
                value = path;
        argv.push_back(value);
    }
    std::string out = c.out, err = c.err;
    for (const auto &[at, path] : paths)
        for (std::string *text : {&out, &err})
            for (std::size_t pos; (pos = text->find(at)) != std::string::npos;)
                text->replace(pos, at.size(), path);

    const std::string in = c.stdin_text ? write_file("stdin", c.stdin_text) : "";
    const tool_run run =
        run_tool(PORTSLOT_AUDIT_PATH, argv, nullptr, c.stdin_text ? in.c_str() : nullptr);
    for (const auto &[at, path] : paths)
        std::remove(path.c_str());
    if (c.stdin_text)
        std::remove(in.c_str());
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, err);
    EXPECT_EQ(run.status, c.status);
}

// Public keys as ssh-keygen writes them, without their comments.
const std::string ed25519 =
    "ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIJdsDsrgSVJYkkY4ioNWI6K/O1VxGXsQUQzsE7StoGm7";
const std::string ecdsa = "ecdsa-sha2-nistp256 "
                          "AAAAE2VjZHNhLXNoYTItbmlzdHAyNTYAAAAIbmlzdHAyNTYAAABBBIfB5DUacL+"
                          "7Arnda2ixQ2a7o71rID8s+ir6vX2U3HNXT1VzjyK+SGctcfln92hzseH8Bf8QT4hymosfjP/"
                          "iaHI=";
// Other Ed25519 keys: one base64 digit of the key's bytes changed.
std::string ed25519_key(int n)
{
    std::string key = ed25519;
    key[40] = static_cast<char>('A' + n);
    return key;
}
// Sockets that listen, as ss -Hltn writes them.
std::string ss_listening(std::initializer_list<int> ports)
{
    std::string text;
    for (const int port : ports)
        text += "LISTEN 0 1 127.0.0.1:" + std::to_string(port) + " 0.0.0.0:*\n";
    return text;
}
const std::string listening_ports =
    ss_listening({2, 4, 6, 8, 10, 12, 14, 16, 22, 40004, 65534, 65535});
const std::string both_ports_of_40556 = ss_listening({40556, 40558});
const std::string fleet_summary = "4 devices, 2 of 250 blocks in use, 1 shared by 3 devices\n";
const std::string try_help = "Try 'portslot-audit --help' for more information.\n";

// A device's block of --ssh-config, after the blank line that parts blocks.
std::string host_block(bool shared, const std::string &alias, int port, const std::string &mac,
                       bool jump)
{
    std::string block = "\n";
    if (shared)
        block += "# shares ports " + std::to_string(port) + "-" + std::to_string(port + 2) +
                 " with another device: only the one connected answers\n";
    block += "Host " + alias + "\n    HostName localhost\n    Port " + std::to_string(port);
    block += "\n    HostKeyAlias " + mac + "\n";
    return block + (jump ? "    ProxyJump admin@tunnel\n" : "");
}

INSTANTIATE_TEST_SUITE_P(
    runs, audit,
    testing::Values(
        audit_case{
            "shared_blocks", {"@fleet"}, {{"fleet", fleet}}, shared_lines + fleet_summary, "", 1},
        audit_case{"all_devices",
                   {"--all", "@fleet"},
                   {{"fleet", fleet}},
                   "40004-40006\t00:00:00:00:00:01\tsolo\n" + std::string(shared_lines) +
                       fleet_summary,
                   "",
                   1},
        audit_case{"no_sharing",
                   {"@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff\n00:00:00:00:00:01\n"}},
                   "2 devices, 2 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        // Files in turn. The same device listed twice (colons dropped, case
        // ignored) is one device, not sharing: the later entry is reported.
        audit_case{
            "two_files_and_joined_options",
            {"--port-min=40000", "@a", "--all", "--port-max", "41000", "@b"},
            {{"a", "aa:bb:cc:dd:ee:ff x\n00:00:00:00:00:8b z\n"}, {"b", "\nAABB:CCDDEEFF y\n"}},
            "40556-40558\taa:bb:cc:dd:ee:ff\tx\n40556-40558\t00:00:00:00:00:8b\tz\n"
            "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
            "@b:2: duplicate of @a:1\n",
            1},
        audit_case{"duplicate_alone_is_no_sharing",
                   {"@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff x\n00:00:00:00:00:01\n::AABBCCDDEEFF y\naabbccddeeff\n"
                          "aabb:cc:dd:ee:ff: z\n"}},
                   "2 devices, 2 of 250 blocks in use, 0 shared by 0 devices\n",
                   "@a:3: duplicate of @a:1\n@a:4: duplicate of @a:1\n@a:5: duplicate of @a:1\n",
                   0},
        // An append log: the last entry of a device is its current one.
        audit_case{"keep_last_entry",
                   {"--keep-last", "--all", "--csv", "@k", "@l"},
                   {{"k", "hwaddr,hostname\naa:bb:cc:dd:ee:ff,old\n00:00:00:00:00:01,solo\n"
                          "AA:BB:CC:DD:EE:FF,new\n"},
                    {"l", "hwaddr,hostname\n00:00:00:00:00:8b,cam\naa:bb:cc:dd:ee:ff,newest\n"}},
                   "40004-40006\t00:00:00:00:00:01\tsolo\n"
                   "40556-40558\t00:00:00:00:00:8b\tcam\n"
                   "40556-40558\taa:bb:cc:dd:ee:ff\tnewest\n"
                   "3 devices, 2 of 250 blocks in use, 1 shared by 2 devices\n",
                   "@k:2: duplicate of @l:3\n@k:4: duplicate of @l:3\n",
                   1},
        // A byte order mark is no part of the first address, in any format.
        audit_case{"byte_order_mark_skipped",
                   {"--all", "@a", "--field", "2", "@b"},
                   {{"a", "\xef\xbb\xbf"
                          "1 aa:bb:cc:dd:ee:ff x\n"},
                    {"b", "\xef\xbb\xbf"
                          "2 00:00:00:00:00:8b y\n"}},
                   "40556-40558\taa:bb:cc:dd:ee:ff\t1 x\n40556-40558\t00:00:00:00:00:8b\t2 y\n"
                   "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
                   "",
                   1},
        audit_case{"byte_order_mark_plain",
                   {"--all", "@a"},
                   {{"a", "\xef\xbb\xbf"
                          "aa:bb:cc:dd:ee:ff x\n"}},
                   "40556-40558\taa:bb:cc:dd:ee:ff\tx\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        // Rows in block order: of two devices, the one in the lower block
        // first, whatever their order in the inventory.
        audit_case{"two_devices_out_of_block_order",
                   {"--all"},
                   {},
                   "40004-40006\t00:00:00:00:00:01\ta\n40008-40010\t00:00:00:00:00:02\tb\n"
                   "2 devices, 2 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0,
                   "00:00:00:00:00:02 b\n00:00:00:00:00:01 a\n"},
        // Ports and line numbers of every width.
        audit_case{"four_digit_ports",
                   {"--all", "--port-min", "8000", "--port-max", "9000", "@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff\n"}},
                   "8556-8558\taa:bb:cc:dd:ee:ff\t\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        audit_case{
            "ports_across_digit_counts",
            {"--all", "--port-min", "9990", "--port-max", "10010", "--port-count", "3", "@a"},
            {{"a", "00:00:00:00:00:01\n00:00:00:00:00:02\n"}},
            "9996-10000\t00:00:00:00:00:01\t\n10002-10006\t00:00:00:00:00:02\t\n"
            "2 devices, 2 of 3 blocks in use, 0 shared by 0 devices\n",
            "",
            0},
        audit_case{"six_digit_ports",
                   {"--all", "--port-min", "65609", "--port-max", "100010", "@a"},
                   {{"a", "00:00:00:00:00:01\n"}},
                   "65614-65616\t00:00:00:00:00:01\t\n"
                   "1 device, 1 of 8600 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        audit_case{
            "duplicates_on_long_line_numbers",
            {"@f"},
            {{"f", "aa:bb:cc:dd:ee:ff\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#"
                   "\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#"
                   "\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#"
                   "\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\nAABBCCDDEEFF\n#\n#\n#\n#\n#"
                   "\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#"
                   "\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#"
                   "\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#"
                   "\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\n#\naabbccddeeff\n"}},
            "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
            "@f:90: duplicate of @f:1\n@f:190: duplicate of @f:1\n",
            0},
        // The same address twice as JSON, not listed: the summary alone.
        audit_case{"json_duplicate_not_listed",
                   {"--json", "@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff\nAABBCCDDEEFF\n"}},
                   "{\"type\":\"summary\",\"devices\":1,\"blocks\":250,\"blocks_in_use\":1,"
                   "\"shared_blocks\":0,\"sharing_devices\":0,\"must_share\":0}\n",
                   "@a:2: duplicate of @a:1\n",
                   0},
        // A block of port 0, at offset 0: two devices, and no phantom duplicate.
        audit_case{"block_of_port_zero",
                   {"--port-min", "0", "--port-max", "0", "--port-count", "1", "@a"},
                   {{"a", "00:00:00:00:00:01 a\n00:00:00:00:00:02 b\n"}},
                   "0-0\t00:00:00:00:00:01\ta\n0-0\t00:00:00:00:00:02\tb\n"
                   "2 devices, 1 of 1 block in use, 1 shared by 2 devices\n"
                   "more devices than blocks: at least 2 devices must share, whatever the "
                   "addresses are\n",
                   "",
                   1},
        audit_case{"file_name_with_a_quote",
                   {"'x"},
                   {},
                   "0 devices, 0 of 250 blocks in use, 0 shared by 0 devices\n",
                   "portslot-audit: ''\\''x': No such file or directory\n",
                   2},
        // Devices listed twice in every format, an address known by its place
        // on its record's first line or by its record's start: blanks before
        // the record, an address in another form, a field before it that
        // holds a line end, a quoted address, a long text before it.
        audit_case{"listed_twice_in_fields",
                   {"--all", "--field", "2", "@a"},
                   {{"a", "  1 aabbccddeeff x\n  2 AABBCCDDEEFF y\n\t3 00:00:00:00:00:8b z\n"}},
                   "40556-40558\taabbccddeeff\t1 x\n40556-40558\t00:00:00:00:00:8b\t3 z\n"
                   "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
                   "@a:2: duplicate of @a:1\n",
                   1},
        audit_case{
            "listed_twice_in_csv_across_lines",
            {"--csv", "--all", "@b"},
            {{"b",
              "n,mac\n\"a\nb\",aa:bb:cc:dd:ee:ff\nc,AA:BB:CC:DD:EE:FF\nd,00:00:00:00:00:8b\n"}},
            "40556-40558\taa:bb:cc:dd:ee:ff\t\"a\nb\"\n40556-40558\t00:00:00:00:00:8b\td\n"
            "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
            "@b:4: duplicate of @b:2\n",
            1},
        audit_case{
            "listed_twice_in_csv_quoted_first",
            {"--csv", "--all", "@c"},
            {{"c", "mac,n\n\"aa:bb:cc:dd:ee:ff\",x\naabbccddeeff,y\n 00:00:00:00:00:8b,z\n"}},
            "40556-40558\taa:bb:cc:dd:ee:ff\tx\n40556-40558\t00:00:00:00:00:8b\tz\n"
            "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
            "@c:3: duplicate of @c:2\n",
            1},
        audit_case{
            "listed_twice_in_csv_first_column",
            {"--csv", "--all", "@c"},
            {{"c", "mac,n\naa:bb:cc:dd:ee:ff,x\n00:00:00:00:00:8b,y\nAA:BB:CC:DD:EE:FF,z\n"}},
            "40556-40558\taa:bb:cc:dd:ee:ff\tx\n40556-40558\t00:00:00:00:00:8b\ty\n"
            "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
            "@c:4: duplicate of @c:2\n",
            1},
        audit_case{"listed_twice_after_a_delimiter",
                   {"--all", "--delimiter", ",", "--field", "2", "@d"},
                   {{"d", "x,aabbccddeeff\ny,AA:BB:CC:DD:EE:FF\nthe longest label of all,"
                          "00:00:00:00:00:8b\n"}},
                   "40556-40558\taabbccddeeff\tx\n"
                   "40556-40558\t00:00:00:00:00:8b\tthe longest label of all\n"
                   "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
                   "@d:2: duplicate of @d:1\n",
                   1},
        // JSON lines counted over every kind of line end, to the text's end.
        audit_case{
            "json_lines_after_every_line_end",
            {"--json", "--all", "@r"},
            {{"r", "aa:bb:cc:dd:ee:ff a\r00:00:00:00:00:8b b\r\n\r00:00:00:00:00:01 c\r"}},
            "{\"type\":\"device\",\"first\":40004,\"last\":40006,\"mac\":"
            "\"00:00:00:00:00:01\",\"label\":\"c\",\"file\":\"@r\",\"line\":4,\"shared\":false}\n"
            "{\"type\":\"device\",\"first\":40556,\"last\":40558,\"mac\":"
            "\"aa:bb:cc:dd:ee:ff\",\"label\":\"a\",\"file\":\"@r\",\"line\":1,\"shared\":true}\n"
            "{\"type\":\"device\",\"first\":40556,\"last\":40558,\"mac\":"
            "\"00:00:00:00:00:8b\",\"label\":\"b\",\"file\":\"@r\",\"line\":2,\"shared\":true}\n"
            "{\"type\":\"summary\",\"devices\":3,\"blocks\":250,\"blocks_in_use\":2,"
            "\"shared_blocks\":1,\"sharing_devices\":2,\"must_share\":0}\n",
            "",
            1},
        // A last address shorter than the usual form, without a line end.
        audit_case{"short_last_address_shared",
                   {"@s"},
                   {{"s", "00:00:00:00:00:8b x\naabbccddeeff"}},
                   "40556-40558\t00:00:00:00:00:8b\tx\n40556-40558\taabbccddeeff\t\n"
                   "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
                   "",
                   1},
        audit_case{"short_last_address_shared_csv",
                   {"--csv", "@c"},
                   {{"c", "n,mac\nx,00:00:00:00:00:8b\ny,aabbccddeeff"}},
                   "40556-40558\t00:00:00:00:00:8b\tx\n40556-40558\taabbccddeeff\ty\n"
                   "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
                   "",
                   1},
        // A lone carriage return ends a line; CR LF is one line end.
        audit_case{"carriage_return_line_ends",
                   {"@cr"},
                   {{"cr", "aa:bb:cc:dd:ee:ff a\r00:00:00:00:00:8b b\r\nzz c\r"}},
                   "40556-40558\taa:bb:cc:dd:ee:ff\ta\n40556-40558\t00:00:00:00:00:8b\tb\n"
                   "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
                   "@cr:3: no port for \"zz\"\n",
                   2},
        audit_case{"standard_input", {}, {}, shared_lines + fleet_summary, "", 1, fleet},
        audit_case{"dash_is_standard_input", {"-"}, {}, shared_lines + fleet_summary, "", 1, fleet},
        // A bad line is reported and the rest is still audited.
        audit_case{"line_without_port",
                   {"@bad"},
                   {{"bad", "aa:bb:cc:dd:ee:ff a\naa-bb-cc-dd-ee-ff b\n00:00:00:00:00:8b c\n"
                            "zz\n"}},
                   "40556-40558\taa:bb:cc:dd:ee:ff\ta\n40556-40558\t00:00:00:00:00:8b\tc\n"
                   "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
                   "@bad:2: no port for \"aa-bb-cc-dd-ee-ff\"\n@bad:4: no port for \"zz\"\n",
                   2},
        audit_case{"bad_line_on_standard_input",
                   {},
                   {},
                   "0 devices, 0 of 250 blocks in use, 0 shared by 0 devices\n",
                   "-:1: no port for \"x\"\n",
                   2,
                   "x\n"},
        audit_case{"unreadable_file",
                   {"/nonexistent/inventory", "@a", "--", "-nonexistent"},
                   {{"a", "aa:bb:cc:dd:ee:ff\n"}},
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "portslot-audit: /nonexistent/inventory: No such file or directory\n"
                   "portslot-audit: -nonexistent: No such file or directory\n",
                   2},
        audit_case{"directory_as_file",
                   {"/"},
                   {},
                   "0 devices, 0 of 250 blocks in use, 0 shared by 0 devices\n",
                   "portslot-audit: /: Is a directory\n",
                   2},
        // A NUL byte in an address: no argument could carry it to portslot.
        audit_case{"nul_in_address",
                   {"@nul"},
                   {{"nul", std::string("aa:bb:cc:dd:ee:f\0f x\n", 21)}},
                   "0 devices, 0 of 250 blocks in use, 0 shared by 0 devices\n",
                   "@nul:1: no port for \"aa:bb:cc:dd:ee:f\\x00f\"\n",
                   2},
        audit_case{
            "more_devices_than_blocks",
            {"--port-max", "40002", "@a"},
            {{"a", "00:00:00:00:00:01\n00:00:00:00:00:02\n00:00:00:00:00:03\n"}},
            "40000-40002\t00:00:00:00:00:01\t\n40000-40002\t00:00:00:00:00:02\t\n"
            "40000-40002\t00:00:00:00:00:03\t\n"
            "3 devices, 1 of 1 block in use, 1 shared by 3 devices\n"
            "more devices than blocks: at least 3 devices must share, whatever the addresses are\n",
            "",
            1},
        audit_case{"as_many_devices_as_blocks",
                   {"--port-max", "40002", "@a"},
                   {{"a", "00:00:00:00:00:01\n"}},
                   "1 device, 1 of 1 block in use, 0 shared by 0 devices\n",
                   "",
                   0},
        // Port 0 is a port; a range reaching below 0 is refused.
        audit_case{"first_port_zero",
                   {"--port-min", "-1", "--port-max", "9", "--port-count", "1", "--all", "@z"},
                   {{"z", "00:00:00:00:00:00 zero\n00:00:00:00:00:03 three"}},
                   "0-0\t00:00:00:00:00:00\tzero\n6-6\t00:00:00:00:00:03\tthree\n"
                   "2 devices, 2 of 5 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        audit_case{"range_below_zero",
                   {"--port-min", "-10", "--port-max", "10", "--port-count", "1"},
                   {},
                   "",
                   "portslot-audit: --port-min -10 gives ports below 0, which are never usable\n" +
                       try_help,
                   2},
        // Standard input named twice is read once, and said so; it is never
        // closed.
        audit_case{"standard_input_twice",
                   {"-", "-"},
                   {},
                   shared_lines + fleet_summary,
                   "portslot-audit: -: named more than once; read once\n",
                   1,
                   fleet},
        audit_case{"unknown_option",
                   {"--port-num", "1"},
                   {},
                   "",
                   "portslot-audit: unknown option '--port-num'\n" + try_help,
                   2},
        audit_case{"delimiter_of_two_bytes",
                   {"--delimiter", "ab"},
                   {},
                   "",
                   "portslot-audit: invalid value 'ab' for --delimiter: not one byte, or a line "
                   "end or a double quote\n" +
                       try_help,
                   2},
        // Arguments are shown with control bytes escaped, C1 ones too.
        audit_case{
            "option_errors_escape_their_text",
            {"--port-count", "1\x1b[31m"},
            {},
            "",
            "portslot-audit: invalid value '1\\x1b[31m' for --port-count: not a whole number "
            "from -2147483648 to 2147483647\n" +
                try_help,
            2},
        audit_case{"unknown_option_escaped",
                   {"--\xc2\x9b"
                    "2J=\n"},
                   {},
                   "",
                   "portslot-audit: unknown option '--\\xc2\\x9b2J=\\x0a'\n" + try_help,
                   2},
        audit_case{"delimiter_line_end_escaped",
                   {"--delimiter", "\n"},
                   {},
                   "",
                   "portslot-audit: invalid value '\\x0a' for --delimiter: not one byte, or a line "
                   "end or a double quote\n" +
                       try_help,
                   2},
        audit_case{"not_a_whole_number",
                   {"--port-min", "40000abc"},
                   {},
                   "",
                   "portslot-audit: invalid value '40000abc' for --port-min: not a whole number "
                   "from -2147483648 to 2147483647\n" +
                       try_help,
                   2},
        audit_case{"out_of_range",
                   {"--port-max=11000000000"},
                   {},
                   "",
                   "portslot-audit: invalid value '11000000000' for --port-max: not a whole number "
                   "from -2147483648 to 2147483647\n" +
                       try_help,
                   2},
        audit_case{"missing_value",
                   {"--port-count"},
                   {},
                   "",
                   "portslot-audit: option '--port-count' needs a value\n" + try_help,
                   2},
        audit_case{
            "no_whole_block",
            {"--port-min", "40000", "--port-max", "40001"},
            {},
            "",
            "portslot-audit: the range 40000 to 40001 holds no whole block of 2 even ports\n" +
                try_help,
            2},
        audit_case{"count_below_one",
                   {"--port-count", "0"},
                   {},
                   "",
                   "portslot-audit: --port-count must be at least 1, not 0\n" + try_help,
                   2},
        audit_case{"flag_with_value",
                   {"--all=yes"},
                   {},
                   "",
                   "portslot-audit: option '--all' takes no value\n" + try_help,
                   2},
        // --suggest: the smallest range from --port-min up without sharing,
        // or, where none is, the one with the fewest devices sharing.
        audit_case{"suggest_smallest_range_without_sharing",
                   {"--suggest", "@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff gw\n00:00:00:00:00:8b cam\n00:00:00:00:00:01 pr\n"}},
                   "--port-min 40000 --port-max 40026 --port-count 2\n"
                   "3 devices, 3 of 7 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        audit_case{"suggest_cannot_avoid_sharing",
                   {"--suggest", "--all", "--port-min=40001", "--port-max", "40007", "@a"},
                   {{"a", "00:00:00:00:00:01\n00:00:00:00:00:02\n00:00:00:00:00:03\n"
                          "00:00:00:00:00:04\n"}},
                   "--port-min 40001 --port-max 40004 --port-count 2\n"
                   "40002-40004\t00:00:00:00:00:01\t\n40002-40004\t00:00:00:00:00:02\t\n"
                   "40002-40004\t00:00:00:00:00:03\t\n40002-40004\t00:00:00:00:00:04\t\n"
                   "4 devices, 1 of 1 block in use, 1 shared by 4 devices\n"
                   "more devices than blocks: at least 4 devices must share, whatever the "
                   "addresses are\n",
                   "portslot-audit: these devices share a block in every range up to --port-max "
                   "40007: 00:00:00:00:00:01 (@a:1), 00:00:00:00:00:02 (@a:2), 00:00:00:00:00:03 "
                   "(@a:3), 00:00:00:00:00:04 (@a:4)\n",
                   1},
        // Keys 0 and 6 share under 1, 2 and 3 blocks: no range up to 40010
        // separates them; equal keys share in every range.
        audit_case{"suggest_names_devices_no_range_separates",
                   {"--suggest", "--port-max", "40010", "@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff a\n00:00:00:00:00:00 z\n11:22:33:dd:ee:ff b\n"
                          "00:00:00:00:00:06 s\n"}},
                   "--port-min 40000 --port-max 40002 --port-count 2\n"
                   "40000-40002\taa:bb:cc:dd:ee:ff\ta\n40000-40002\t00:00:00:00:00:00\tz\n"
                   "40000-40002\t11:22:33:dd:ee:ff\tb\n40000-40002\t00:00:00:00:00:06\ts\n"
                   "4 devices, 1 of 1 block in use, 1 shared by 4 devices\n"
                   "more devices than blocks: at least 4 devices must share, whatever the "
                   "addresses are\n",
                   "portslot-audit: these devices share a block in every range up to --port-max "
                   "40010: 00:00:00:00:00:00 (@a:2), 00:00:00:00:00:06 (@a:4)\n"
                   "portslot-audit: these devices share a block in every range up to --port-max "
                   "40010: aa:bb:cc:dd:ee:ff (@a:1), 11:22:33:dd:ee:ff (@a:3)\n",
                   1},
        // Beside a block of one: only the devices no range separates.
        audit_case{"suggest_names_only_inseparable_devices",
                   {"--suggest"},
                   {},
                   "--port-min 40000 --port-max 40006 --port-count 2\n"
                   "40004-40006\t00:00:00:00:00:01\ta\n40004-40006\t11:22:33:00:00:01\tb\n"
                   "3 devices, 2 of 2 blocks in use, 1 shared by 2 devices\n"
                   "more devices than blocks: at least 2 devices must share, whatever the "
                   "addresses are\n",
                   "portslot-audit: these devices share a block in every range up to --port-max "
                   "65535: 00:00:00:00:00:01 (-:1), 11:22:33:00:00:01 (-:2)\n",
                   1,
                   "00:00:00:00:00:01 a\n11:22:33:00:00:01 b\n00:00:00:00:00:02 c\n"},
        audit_case{"suggest_one_device_listed_twice",
                   {"--suggest", "--port-count", "3", "@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff\nAABBCCDDEEFF\n"}},
                   "--port-min 40000 --port-max 40004 --port-count 3\n"
                   "1 device, 1 of 1 block in use, 0 shared by 0 devices\n",
                   "@a:2: duplicate of @a:1\n",
                   0},
        audit_case{"all_in_block_order",
                   {"--all", "@a"},
                   {{"a", "00:00:00:00:00:64\n00:00:00:00:00:01\n00:00:00:00:00:32\n"
                          "00:00:00:00:00:02\n"}},
                   "40004-40006\t00:00:00:00:00:01\t\n40008-40010\t00:00:00:00:00:02\t\n"
                   "40200-40202\t00:00:00:00:00:32\t\n40400-40402\t00:00:00:00:00:64\t\n"
                   "4 devices, 4 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        // Letters past f are compared without case too; the duplicate is not
        // its file's last line.
        audit_case{
            "duplicate_in_a_later_file",
            {"@a", "@b"},
            {{"a", "zz:zz:zz:dd:ee:ff x\n"}, {"b", "ZZ:ZZ:ZZ:dd:ee:ff y\n00:00:00:00:00:01\n"}},
            "2 devices, 2 of 250 blocks in use, 0 shared by 0 devices\n",
            "@b:1: duplicate of @a:1\n",
            0},
        audit_case{"file_named_twice",
                   {"@a", "@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff\n"}},
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "portslot-audit: @a: named more than once; read once\n",
                   0},
        audit_case{"odd_names_quoted",
                   {"", "no such 'file'", "e\x1bx'\\b"},
                   {},
                   "0 devices, 0 of 250 blocks in use, 0 shared by 0 devices\n",
                   "portslot-audit: '': No such file or directory\n"
                   "portslot-audit: 'no such '\\''file'\\''': No such file or directory\n"
                   "portslot-audit: $'e\\x1bx\\'\\\\b': No such file or directory\n",
                   2},
        // What an inventory holds cannot act on a terminal through a
        // diagnostic; rows to a pipe are the inventory's data, unchanged.
        audit_case{"control_bytes_escaped",
                   {"--all"},
                   {},
                   "40556-40558\taa:bb:cc:dd:ee:ff\t\x1b]0;t\x07\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "-:2: no port for \"\\x1b[2J\\x7f\"\n-:3: no port for \"" +
                       std::string(64, 'a') + "...\"\n",
                   2,
                   "aa:bb:cc:dd:ee:ff \x1b]0;t\x07\n\x1b[2J\x7f\n"
                   "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa x\n"},
        audit_case{
            "no_whole_block_of_one",
            {"--port-min", "40001", "--port-max", "40001", "--port-count", "1"},
            {},
            "",
            "portslot-audit: the range 40001 to 40001 holds no whole block of 1 even port\n" +
                try_help,
            2},
        // Within a block, input order, as without --suggest.
        audit_case{"suggest_keeps_input_order",
                   {"--suggest", "@a"},
                   {{"a", "aa0000000002 a\nbb0000000001 b\ncc0000000002 c\ndd0000000001 d\n"}},
                   "--port-min 40000 --port-max 40002 --port-count 2\n"
                   "40000-40002\taa0000000002\ta\n40000-40002\tbb0000000001\tb\n"
                   "40000-40002\tcc0000000002\tc\n40000-40002\tdd0000000001\td\n"
                   "4 devices, 1 of 1 block in use, 1 shared by 4 devices\n"
                   "more devices than blocks: at least 4 devices must share, whatever the "
                   "addresses are\n",
                   "portslot-audit: these devices share a block in every range up to --port-max "
                   "65535: bb0000000001 (@a:2), dd0000000001 (@a:4)\n"
                   "portslot-audit: these devices share a block in every range up to --port-max "
                   "65535: aa0000000002 (@a:1), cc0000000002 (@a:3)\n",
                   1},
        // Equal keys share under any number of blocks: the first is the
        // answer, found at once however large the range.
        audit_case{
            "suggest_equal_keys_over_the_whole_range",
            {"--suggest", "--port-min", "0", "--port-max", "2147483647", "--port-count", "1", "@a"},
            {{"a", "aa:bb:cc:00:00:01 a\n11:22:33:00:00:01 b\n"}},
            "--port-min 0 --port-max 0 --port-count 1\n0-0\taa:bb:cc:00:00:01\ta\n"
            "0-0\t11:22:33:00:00:01\tb\n2 devices, 1 of 1 block in use, 1 shared by 2 devices\n"
            "more devices than blocks: at least 2 devices must share, whatever the "
            "addresses are\n",
            "portslot-audit: these devices share a block in every range up to --port-max "
            "2147483647: aa:bb:cc:00:00:01 (@a:1), 11:22:33:00:00:01 (@a:2)\n",
            1},
        // The address from another field: a leases file, a neighbour table
        // (whose failed entries have no address), fields split at a byte.
        audit_case{
            "leases_field",
            {"--field", "2", "--all", "@l"},
            {{"l", "1733580000 aa:bb:cc:dd:ee:ff 192.0.2.10 laptop *\n"
                   "# expiry mac ip name\n"
                   "1733580100 00:00:00:00:00:8b 192.0.2.11 cam\n1733580200 00:00:00:00:00:01"}},
            "40004-40006\t00:00:00:00:00:01\t1733580200\n"
            "40556-40558\taa:bb:cc:dd:ee:ff\t1733580000 192.0.2.10 laptop *\n"
            "40556-40558\t00:00:00:00:00:8b\t1733580100 192.0.2.11 cam\n"
            "3 devices, 2 of 250 blocks in use, 1 shared by 2 devices\n",
            "",
            1},
        audit_case{"field_missing",
                   {"--field=5", "@n"},
                   {{"n", "192.0.2.1 dev eth0 lladdr aa:bb:cc:dd:ee:ff REACHABLE\n"
                          "192.0.2.9 dev eth0  FAILED\n"}},
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "@n:2: no field 5\n",
                   2},
        audit_case{"delimited_fields",
                   {"--delimiter", ",", "--field", "2", "--all", "@d"},
                   {{"d", "a, aa:bb:cc:dd:ee:ff ,x\n,00:00:00:00:00:8b,,y\n\tb,00:00:00:00:00:01\n"
                          "c\n"}},
                   "40004-40006\t00:00:00:00:00:01\tb\n40556-40558\taa:bb:cc:dd:ee:ff\ta,x\n"
                   "40556-40558\t00:00:00:00:00:8b\t,,y\n"
                   "3 devices, 2 of 250 blocks in use, 1 shared by 2 devices\n",
                   "@d:4: no field 2\n",
                   2},
        audit_case{"delimiter_alone",
                   {"--delimiter", ",", "--all", "@d"},
                   {{"d", "aa:bb:cc:dd:ee:ff,gateway, room 1\n"}},
                   "40556-40558\taa:bb:cc:dd:ee:ff\tgateway, room 1\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        // CSV: quoted fields hold delimiters, quotes and line ends; a record's
        // diagnostics name the line it starts on.
        audit_case{
            "csv_by_column_name",
            {"--csv", "--delimiter", ";", "@c"},
            {{"c", "\xef\xbb\xbfName;Hardware-Address;Note\r\n"
                   "\"Smith; J\";aa:bb:cc:dd:ee:ff;\"say \"\"hi\"\"\"\r\n"
                   "cam;\"00:00:00:00:00:8b\";\"two\r\nlines\"\r\n\r\nx;\"zz\"\"zz\"\r\ny\r\n"}},
            "40556-40558\taa:bb:cc:dd:ee:ff\t\"Smith; J\";\"say \"\"hi\"\"\"\n"
            "40556-40558\t00:00:00:00:00:8b\tcam;\"two\r\nlines\"\n"
            "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
            "@c:6: no port for \"zz\"\"zz\"\n@c:7: no field 2\n",
            2},
        audit_case{
            "csv_lease_database",
            {"--csv", "@k"},
            {{"k", "address,hwaddr,client_id,valid_lifetime,expire,subnet_id,fqdn_fwd,"
                   "fqdn_rev,hostname,state,user_context\n"
                   "192.0.2.1,aa:bb:cc:dd:ee:ff,,3600,1733580000,1,0,0,host1,0,\n"
                   "192.0.2.2,00:00:00:00:00:8b,01:02,3600,1733580000,1,0,0,host2,0,\n"}},
            "40556-40558\taa:bb:cc:dd:ee:ff\t192.0.2.1,,3600,1733580000,1,0,0,host1,0,\n"
            "40556-40558\t00:00:00:00:00:8b\t192.0.2.2,01:02,3600,1733580000,1,0,0,host2,0,\n"
            "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
            "",
            1},
        // A host name that opens a quote and never closes it costs its own
        // record, not the rest of the file (rows as a DHCP server wrote them).
        audit_case{
            "csv_unclosed_quote_costs_one_record",
            {"--csv", "@k"},
            {{"k", "address,hwaddr,client_id,valid_lifetime,expire,subnet_id,fqdn_fwd,"
                   "fqdn_rev,hostname,state,user_context\n"
                   "192.0.2.19,00:1b:21:3a:4f:18,,3600,1796719698,1,0,0,\"lead quote,0,\n"
                   "192.0.2.30,aa:bb:cc:dd:ee:ff,01:aa:bb:cc:dd:ee:ff,3600,1796719698,1,0,0,"
                   "gateway,0,\n"
                   "192.0.2.34,00:00:00:00:00:8b,01:00:00:00:00:00:8b,3600,1796719698,1,0,0,"
                   "camera,0,\n"}},
            "40556-40558\taa:bb:cc:dd:ee:ff\t192.0.2.30,01:aa:bb:cc:dd:ee:ff,3600,1796719698,1,0,"
            "0,gateway,0,\n"
            "40556-40558\t00:00:00:00:00:8b\t192.0.2.34,01:00:00:00:00:00:8b,3600,1796719698,1,0,"
            "0,camera,0,\n"
            "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
            "@k:2: malformed CSV record (a quote opened here does not close)\n",
            2},
        audit_case{"csv_text_after_closing_quote",
                   {"--csv", "--all", "@c"},
                   {{"c", "mac,note\n00:00:00:00:00:01,\"a\nb\"c\n00:00:00:00:00:03,x\n"}},
                   "40012-40014\t00:00:00:00:00:03\tx\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "@c:2: malformed CSV record (text after a closing quote)\n"
                   "@c:3: no port for \"b\"c\"\n",
                   2},
        audit_case{
            "csv_malformed_header",
            {"--csv", "@h", "@c"},
            {{"h", "\n\"note,mac\n00:00:00:00:00:01,x\n"}, {"c", "mac\n00:00:00:00:00:01\n"}},
            "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
            "@h:2: malformed CSV record (a quote opened here does not close)\n",
            2},
        audit_case{"csv_column_named",
                   {"--csv", "--field", "where", "--all", "@c"},
                   {{"c", "mac,\"W\"\"h\",Wh,Wherever,Where\nroom 1,a,b,c,00:00:00:00:00:01\n"}},
                   "40004-40006\t00:00:00:00:00:01\troom 1,a,b,c\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        audit_case{"csv_without_address_column",
                   {"--csv", "@a", "@c"},
                   {{"a", "mac\n00:00:00:00:00:01 y\n"}, {"c", "Name,Room\nx,1\n"}},
                   "",
                   "@a:2: no port for \"00:00:00:00:00:01 y\"\n"
                   "portslot-audit: @c: no MAC address column (mac, mac address, hwaddr) in the "
                   "header \"Name,Room\"; name it with --field\n",
                   2},
        audit_case{
            "csv_header_after_blank_lines",
            {"--csv", "--all", "@c"},
            {{"c",
              "\n \r\na_column_whose_name_is_quite_long,Max,Mac Address\nx,y,00:00:00:00:00:01\n"
              "y,z,zz\n"}},
            "40004-40006\t00:00:00:00:00:01\tx,y\n"
            "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
            "@c:5: no port for \"zz\"\n",
            2},
        audit_case{"csv_column_by_number",
                   {"--csv", "--field", "2", "@e", "@c", "@h"},
                   {{"e", ""}, {"c", "h1,h2\nx,00:00:00:00:00:01\n"}, {"h", "h1,h2"}},
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        // --drop-column: columns left out of the labels and the JSON fields,
        // wherever they stand; one the header lacks, or the addresses', ends
        // the run.
        audit_case{"csv_columns_dropped",
                   {"--csv", "--all", "--drop-column", "key", "--drop-column", "1", "@c", "@e", "@l"},
                   {{"c", "id,name,mac,key,site\n1,gw,aa:bb:cc:dd:ee:ff,ssh-ed25519 AAAA,\"x,y\"\n"
                          "2,cam,00:00:00:00:00:01,,\n"},
                    {"e", ""},
                    {"l", "name,key,mac\ncam2,k,00:00:00:00:00:02\n"}},
                   "40004-40006\t00:00:00:00:00:01\tcam,\n"
                   "40008-40010\t00:00:00:00:00:02\t\n"
                   "40556-40558\taa:bb:cc:dd:ee:ff\tgw,\"x,y\"\n"
                   "3 devices, 3 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        audit_case{"csv_columns_dropped_in_json",
                   {"--csv", "--json", "--all", "--drop-column", "3", "@c"},
                   {{"c", "mac,name,key\n00:00:00:00:00:01,cam,k\n"}},
                   "{\"type\":\"device\",\"first\":40004,\"last\":40006,\"mac\":\"00:00:00:00:00:01\","
                   "\"label\":\"cam\",\"file\":\"@c\",\"line\":2,\"shared\":false,\"fields\":{\"mac\":"
                   "\"00:00:00:00:00:01\",\"name\":\"cam\"}}\n"
                   "{\"type\":\"summary\",\"devices\":1,\"blocks\":250,\"blocks_in_use\":1,"
                   "\"shared_blocks\":0,\"sharing_devices\":0,\"must_share\":0}\n",
                   "",
                   0},
        audit_case{"csv_dropped_column_not_found",
                   {"--csv", "--drop-column", "Key", "--drop-column", "40", "@c"},
                   {{"c", "\nmac,key\n"}},
                   "",
                   "portslot-audit: @c:2: --drop-column '40': no such column in the header\n",
                   2},
        audit_case{"csv_columns_dropped_beside_sockets",
                   {"--sockets", "@s", "--csv", "--drop-column", "key", "@c"},
                   {{"c", "mac,name,key\n00:00:00:00:00:01,cam,ssh-ed25519 AAAA\n"},
                    {"s", "LISTEN 0 128 127.0.0.1:40004 0.0.0.0:*\n"}},
                   "40004-40006\tlistening 40004\t00:00:00:00:00:01\tcam\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n"
                   "1 device connected, 0 not connected, 0 ports of the range listening without a "
                   "device\n",
                   "",
                   0},
        audit_case{"csv_dropped_column_zero",
                   {"--csv", "--drop-column", "0"},
                   {},
                   "",
                   "portslot-audit: invalid value '0' for --drop-column: not a column's number from "
                   "1, nor its name\n" +
                       try_help,
                   2},
        audit_case{"csv_address_column_dropped",
                   {"--csv", "--drop-column", "MAC", "@c"},
                   {{"c", "mac,key\n"}},
                   "",
                   "portslot-audit: @c:1: --drop-column 'MAC': the addresses' column, which no "
                   "label holds\n",
                   2},
        audit_case{"csv_column_not_found",
                   {"--csv", "--field", "MAC", "@c"},
                   {{"c", "Name,Room\n"}},
                   "",
                   "portslot-audit: @c: no column named \"MAC\" in the header \"Name,Room\"\n",
                   2},
        // --port: the holders of a port, in block order; 0 only when each
        // port has exactly one.
        // Devices listed twice are found over the whole fleet, in every mode,
        // and reported before the answers.
        audit_case{"port_reports_every_device_listed_twice",
                   {"--port", "40556", "--port", "3"},
                   {},
                   "40556-40558\taa:bb:cc:dd:ee:ff\ta\n",
                   "-:3: duplicate of -:2\nportslot-audit: no device holds port 3: it is outside "
                   "the range 40000 to 41000\n",
                   1,
                   "aa:bb:cc:dd:ee:ff a\n00:00:00:00:00:01 b\n00:00:00:00:00:01 c\n"},
        // An odd minimum rounds up: 40556 is still the device's port.
        audit_case{"port_under_a_rounded_range",
                   {"--port-min", "39999", "--port", "40556", "@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff gw\n"}},
                   "40556-40558\taa:bb:cc:dd:ee:ff\tgw\n",
                   "",
                   0},
        audit_case{"port_held_by_one",
                   {"--port", "40006", "--port=40004", "@fleet"},
                   {{"fleet", fleet}},
                   "40004-40006\t00:00:00:00:00:01\tsolo\n",
                   "",
                   0},
        audit_case{"port_shared",
                   {"--port", "40556", "--port", "40004", "@fleet"},
                   {{"fleet", fleet}},
                   "40004-40006\t00:00:00:00:00:01\tsolo\n" + std::string(shared_lines),
                   "",
                   1},
        audit_case{"port_not_held",
                   {"--port", "40008", "--port", "40001", "--port", "39998", "--port", "40800",
                    "--port", "42000", "--port-max", "40999", "@fleet"},
                   {{"fleet", fleet}},
                   "",
                   "portslot-audit: no device holds port 40008\n"
                   "portslot-audit: no device holds port 40001: it is odd, and blocks hold even "
                   "ports only\n"
                   "portslot-audit: no device holds port 39998: it is outside the range 40000 "
                   "to 40999\n"
                   "portslot-audit: no device holds port 40800\n"
                   "portslot-audit: no device holds port 42000: it is outside the range 40000 "
                   "to 40999\n",
                   1},
        audit_case{"port_past_last_block",
                   {"--port", "40996", "--port-count", "3", "--port-max", "40999"},
                   {},
                   "",
                   "portslot-audit: no device holds port 40996: it is past the last whole "
                   "block, which ends at 40994\n",
                   1,
                   ""},
        audit_case{"port_with_suggest",
                   {"--port", "40000", "--suggest"},
                   {},
                   "",
                   "portslot-audit: --port cannot be used with --suggest\n" + try_help,
                   2},
        audit_case{"field_not_a_number",
                   {"--field", "0"},
                   {},
                   "",
                   "portslot-audit: invalid value '0' for --field: not a field number from 1, "
                   "nor a column's name\n" +
                       try_help,
                   2},
        audit_case{"field_name_without_csv",
                   {"--field", "mac"},
                   {},
                   "",
                   "portslot-audit: --field 'mac' names a column, which only --csv has; give a "
                   "field number\n" +
                       try_help,
                   2},
        audit_case{"delimiter_not_a_byte",
                   {"--delimiter="},
                   {},
                   "",
                   "portslot-audit: invalid value '' for --delimiter: not one byte, or a line end "
                   "or a double quote\n" +
                       try_help,
                   2},
        // JSON Lines: the range, the rows, the summary.
        audit_case{
            "json",
            {"--json", "--suggest", "--all", "--csv", "@c"},
            {{"c", "mac,\"Na\"\"me\"\nAA:BB:CC:DD:EE:FF,\"\\\x01\xff\xf0\x9f\x98\x80\",x\n"}},
            "{\"type\":\"range\",\"port_min\":40000,\"port_max\":40002,\"port_count\":2}\n"
            "{\"type\":\"device\",\"first\":40000,\"last\":40002,\"mac\":\"AA:BB:CC:DD:EE:FF\","
            "\"label\":\"\\\"\\\\\\u0001\xef\xbf\xbd\xf0\x9f\x98\x80\\\",x\",\"file\":\"@c\","
            "\"line\":2,\"shared\":false,\"fields\":{\"mac\":\"AA:BB:CC:DD:EE:FF\","
            "\"Na\\\"me\":\"\\\\\\u0001\xef\xbf\xbd\xf0\x9f\x98\x80\",\"3\":\"x\"}}\n"
            "{\"type\":\"summary\",\"devices\":1,\"blocks\":1,\"blocks_in_use\":1,"
            "\"shared_blocks\":0,\"sharing_devices\":0,\"must_share\":0}\n",
            "",
            0},
        // A label longer than the output's buffer holds at once.
        audit_case{"json_long_label",
                   {"--json", "--port", "40556", "@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff " + std::string(5000, 'x') + "\n00:00:00:00:00:8b"}},
                   "{\"type\":\"device\",\"first\":40556,\"last\":40558,\"mac\":"
                   "\"aa:bb:cc:dd:ee:ff\",\"label\":\"" +
                       std::string(5000, 'x') +
                       "\",\"file\":\"@a\",\"line\":1,\"shared\":true}\n"
                       "{\"type\":\"device\",\"first\":40556,\"last\":40558,\"mac\":"
                       "\"00:00:00:00:00:8b\",\"label\":\"\",\"file\":\"@a\",\"line\":2,"
                       "\"shared\":true}\n",
                   "",
                   1},
        // A record's columns: empty, quoted with text after the quotes, with a
        // quote though not quoted, never closed.
        audit_case{"json_csv_fields",
                   {"--json", "--csv", "--all", "--port-max", "40002", "@c"},
                   {{"c", "mac,empty,q,open\n00:00:00:00:00:01,,\"a\"\"bc\",x\"y\n"
                          "00:00:00:00:00:02,,,\"never\""}},
                   "{\"type\":\"device\",\"first\":40000,\"last\":40002,\"mac\":"
                   "\"00:00:00:00:00:01\",\"label\":\",\\\"a\\\"\\\"bc\\\",x\\\"y\",\"file\":"
                   "\"@c\",\"line\":2,\"shared\":true,\"fields\":{\"mac\":\"00:00:00:00:00:01\","
                   "\"empty\":\"\",\"q\":\"a\\\"bc\",\"open\":\"x\\\"y\"}}\n"
                   "{\"type\":\"device\",\"first\":40000,\"last\":40002,\"mac\":"
                   "\"00:00:00:00:00:02\",\"label\":\",,\\\"never\\\"\",\"file\":\"@c\",\"line\":3,"
                   "\"shared\":true,\"fields\":{\"mac\":\"00:00:00:00:00:02\",\"empty\":\"\","
                   "\"q\":\"\",\"open\":\"never\"}}\n"
                   "{\"type\":\"summary\",\"devices\":2,\"blocks\":1,\"blocks_in_use\":1,"
                   "\"shared_blocks\":1,\"sharing_devices\":2,\"must_share\":2}\n",
                   "",
                   1},
        // Every column has a key of its own: a name given twice (also names
        // that differ only in bytes that are not UTF-8), several empty
        // names and columns past the header go by their numbers, after as many
        // '#' as keep them from any column's name.
        audit_case{
            "json_csv_keys_of_their_own",
            {"--json", "--csv", "--all", "--field", "1", "@c"},
            {{"c", "a,a,,,3,#3,b,\xe4,\xfc\n00:00:00:00:00:01,x,y,z,w,v,u,t,s,r\n"}},
            "{\"type\":\"device\",\"first\":40004,\"last\":40006,\"mac\":"
            "\"00:00:00:00:00:01\",\"label\":\"x,y,z,w,v,u,t,s,r\",\"file\":\"@c\",\"line\":2,"
            "\"shared\":false,\"fields\":{\"##1\":\"00:00:00:00:00:01\",\"##2\":\"x\","
            "\"##3\":\"y\",\"##4\":\"z\",\"3\":\"w\",\"#3\":\"v\",\"b\":\"u\",\"##8\":\"t\","
            "\"##9\":\"s\",\"##10\":\"r\"}}\n"
            "{\"type\":\"summary\",\"devices\":1,\"blocks\":250,\"blocks_in_use\":1,"
            "\"shared_blocks\":0,\"sharing_devices\":0,\"must_share\":0}\n",
            "",
            0},
        // Beside the sockets that listen: the state before the address; a
        // port listening on several addresses once; states other than
        // LISTEN, other protocols and ports outside the range ignored.
        audit_case{
            "listening_from_ss",
            {"--sockets", "@s", "@fleet"},
            {{"fleet", fleet},
             {"s", "State Recv-Q Send-Q Local Address:Port Peer Address:PortProcess\n"
                   "LISTEN 0 128 127.0.0.1:40558 0.0.0.0:*\n"
                   "LISTEN 0 128 [::1]:40558 [::]:*\n"
                   "LISTEN 0 128 127.0.0.1%lo:40556 0.0.0.0:*\n"
                   "ESTAB 0 0 10.0.0.1:40004 10.0.0.2:22\n"
                   "LISTEN 0 128 *:40999 *:* users:((\"x\",pid=1,fd=3))\n"
                   "LISTEN 0 128 0.0.0.0:22 0.0.0.0:*\n"}},
            "40004-40006\tnot listening\t00:00:00:00:00:01\tsolo\n"
            "40556-40558\tshared, listening 40556,40558\taa:bb:cc:dd:ee:ff\tgateway  room 1\n"
            "40556-40558\tshared, listening 40556,40558\t00:00:00:00:00:8b\tcam\n"
            "40556-40558\tshared, listening 40556,40558\t11:22:33:00:01:85\tprinter\n"
            "40999\tlistening, no device\n" +
                fleet_summary +
                "0 devices connected, 1 not connected, 3 in shared blocks that listen (which of "
                "them is connected cannot be told), 1 port of the range listening without a "
                "device\n",
            "",
            1},
        // A fleet whose ports listen, each alone in its block: all is well.
        audit_case{
            "listening_from_proc_tables",
            {"--json", "--sockets", "@s", "@a"},
            {{"a", "00:00:00:00:00:01 a\n00:00:00:00:00:02 b\n00:00:00:00:00:03 c\n"},
             {"s", "  sl  local_address rem_address   st tx_queue\n"
                   "   0: 0100007F:9C46 00000000:0000 0A 00000000:00000000\n"
                   "   1: 0100007F:9C48 0200000A:0016 01 00000000:00000000\n"
                   "  sl  local_address                         remote_address st\n"
                   " 0: 00000000000000000000000001000000:9C4A "
                   "00000000000000000000000000000000:0000 0A 0\n"}},
            "{\"type\":\"device\",\"first\":40004,\"last\":40006,\"mac\":\"00:00:00:00:00:01\","
            "\"label\":\"a\",\"file\":\"@a\",\"line\":1,\"shared\":false,\"listening\":[40006]}\n"
            "{\"type\":\"device\",\"first\":40008,\"last\":40010,\"mac\":\"00:00:00:00:00:02\","
            "\"label\":\"b\",\"file\":\"@a\",\"line\":2,\"shared\":false,\"listening\":[40010]}\n"
            "{\"type\":\"device\",\"first\":40012,\"last\":40014,\"mac\":\"00:00:00:00:00:03\","
            "\"label\":\"c\",\"file\":\"@a\",\"line\":3,\"shared\":false,\"listening\":[]}\n"
            "{\"type\":\"summary\",\"devices\":3,\"blocks\":250,\"blocks_in_use\":3,"
            "\"shared_blocks\":0,\"sharing_devices\":0,\"must_share\":0,\"connected\":2,"
            "\"not_connected\":1,\"cannot_tell\":0,\"ports_without_device\":0}\n",
            "",
            0},
        // A netid column (ss -Hltun); a port no device holds, in JSON.
        audit_case{
            "listening_port_without_device_json",
            {"--json", "--sockets", "-", "--port-count", "1", "--port-max", "40003", "@a"},
            {{"a", "00:00:00:00:00:01 a\n"}},
            "{\"type\":\"device\",\"first\":40002,\"last\":40002,\"mac\":\"00:00:00:00:00:01\","
            "\"label\":\"a\",\"file\":\"@a\",\"line\":1,\"shared\":false,\"listening\":[]}\n"
            "{\"type\":\"port_without_device\",\"port\":40001}\n"
            "{\"type\":\"port_without_device\",\"port\":40003}\n"
            "{\"type\":\"summary\",\"devices\":1,\"blocks\":2,\"blocks_in_use\":1,"
            "\"shared_blocks\":0,\"sharing_devices\":0,\"must_share\":0,\"connected\":0,"
            "\"not_connected\":1,\"cannot_tell\":0,\"ports_without_device\":2}\n",
            "",
            1,
            "udp UNCONN 0 0 0.0.0.0:40002 0.0.0.0:*\ntcp LISTEN 0 5 0.0.0.0:40001 0.0.0.0:*\n"
            "tcp LISTEN 0 5 0.0.0.0:40003 0.0.0.0:*\ntcp LISTEN 0 5 0.0.0.0:40004 0.0.0.0:*\n"},
        // Lines of neither form, a port by its service's name, a table cut
        // short: each reported, the rest read, status 2.
        audit_case{
            "listening_table_faults",
            {"--sockets", "@s", "@a"},
            {{"a", "00:00:00:00:00:01 a\n"},
             {"s", "LISTEN 0 128 0.0.0.0:ssh 0.0.0.0:*\nLISTEN 0 128\n"
                   "LISTEN x 128 0.0.0.0:1 0.0.0.0:*\nLISTEN 0 128 0.0.0.0 0.0.0.0:*\n"
                   "LISTEN 0 128 0.0.0.0:70000 0.0.0.0:*\n\nLISTEN 0 128 0.0.0.0:40006 0.0.0.0:*"}},
            "40004-40006\tnot listening\t00:00:00:00:00:01\ta\n"
            "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n"
            "0 devices connected, 1 not connected, 0 ports of the range listening without "
            "a device\n",
            "@s:1: not a line of ss -Hltn: \"LISTEN 0 128 0.0.0.0:ssh 0.0.0.0:*\"\n"
            "@s:2: not a line of ss -Hltn: \"LISTEN 0 128\"\n"
            "@s:3: not a line of ss -Hltn: \"LISTEN x 128 0.0.0.0:1 0.0.0.0:*\"\n"
            "@s:4: not a line of ss -Hltn: \"LISTEN 0 128 0.0.0.0 0.0.0.0:*\"\n"
            "@s:5: not a line of ss -Hltn: \"LISTEN 0 128 0.0.0.0:70000 0.0.0.0:*\"\n"
            "@s:7: cut short, no line end: \"LISTEN 0 128 0.0.0.0:40006 0.0.0.0:*\"\n",
            2},
        audit_case{"listening_proc_table_faults",
                   {"--sockets", "@s", "@a"},
                   {{"a", "00:00:00:00:00:01 a\n"},
                    {"s", "0: 0100007F:9C46 00000000:0000 0A\n0 0100007F:9C46 00000000:0000 0A\n"
                          "0: 0100007G:9C46 00000000:0000 0A\n0: 0100007F:9C46 00000000:000 0A\n"
                          "0: 0100007F:9C46 00000000:0000 A\n0: 0100007F:9C46 00000000:0000 0Z\n"
                          "0: 0100007F-9C46 00000000:0000 0A\n0: 0100007F:9C46\n"}},
                   "40004-40006\tlistening 40006\t00:00:00:00:00:01\ta\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n"
                   "1 device connected, 0 not connected, 0 ports of the range listening without "
                   "a device\n",
                   "@s:2: not a line of /proc/net/tcp: \"0 0100007F:9C46 00000000:0000 0A\"\n"
                   "@s:3: not a line of /proc/net/tcp: \"0: 0100007G:9C46 00000000:0000 0A\"\n"
                   "@s:4: not a line of /proc/net/tcp: \"0: 0100007F:9C46 00000000:000 0A\"\n"
                   "@s:5: not a line of /proc/net/tcp: \"0: 0100007F:9C46 00000000:0000 A\"\n"
                   "@s:6: not a line of /proc/net/tcp: \"0: 0100007F:9C46 00000000:0000 0Z\"\n"
                   "@s:7: not a line of /proc/net/tcp: \"0: 0100007F-9C46 00000000:0000 0A\"\n"
                   "@s:8: not a line of /proc/net/tcp: \"0: 0100007F:9C46\"\n",
                   2},
        audit_case{"listening_table_missing",
                   {"--sockets", "/nonexistent/tcp", "@a"},
                   {{"a", "00:00:00:00:00:01 a\n"}},
                   "40004-40006\tnot listening\t00:00:00:00:00:01\ta\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n"
                   "0 devices connected, 1 not connected, 0 ports of the range listening without "
                   "a device\n",
                   "portslot-audit: /nonexistent/tcp: No such file or directory\n",
                   2},
        audit_case{"listening_with_suggest",
                   {"--listening", "--suggest"},
                   {},
                   "",
                   "portslot-audit: --listening cannot be used with --suggest\n" + try_help,
                   2},
        audit_case{"listening_with_port",
                   {"--sockets=x", "--port", "40556"},
                   {},
                   "",
                   "portslot-audit: --sockets cannot be used with --port\n" + try_help,
                   2},
        audit_case{"listening_with_sockets",
                   {"--listening", "--sockets", "x"},
                   {},
                   "",
                   "portslot-audit: --listening cannot be used with --sockets (one reads this "
                   "host's sockets, the other a saved table)\n" +
                       try_help,
                   2},
        audit_case{"sockets_and_inventory_both_standard_input",
                   {"--sockets", "-"},
                   {},
                   "",
                   "portslot-audit: --sockets - and an inventory cannot both be standard input; "
                   "give the inventory's name\n" +
                       try_help,
                   2},
        // The tunnel account's keys: each may listen on its own ports only;
        // the comment is the address and the other fields, a line end in a
        // label a space; a key with options before it, of another type than
        // its body says, cut short or missing is refused with its place.
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
        // the key field; a label's first byte a line end becomes a space.
        // One key for two devices: neither line, both places said.
        audit_case{"authorized_keys_refused_texts",
                   {"--csv", "--authorized-keys", "key", "@k"},
                   {{"k", "mac,name,key\n\"aabbccddeef\n\"," + ed25519_key(2) + "," +
                              ed25519_key(3) + "\n\"52:54:00:00:00:0\x1b\",e," +
                              ed25519_key(4) + "\n52:54:00:00:00:02,a,\"" + ed25519_key(5) +
                              "\x1b[2J\"\n52:54:00:00:00:03,\"\nb\"," + ed25519_key(6) + "  " +
                              "\n52:54:00:00:00:04,c," + ed25519_key(7) +
                              "\n52:54:00:00:00:06,d,\"" + ed25519_key(7) + " other\"\n"}},
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
                   "key must be one device's\n",
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
        audit_case{"columns_dropped_without_csv",
                   {"--drop-column", "2"},
                   {},
                   "",
                   "portslot-audit: --drop-column cannot be used with an inventory that is not "
                   "CSV; give --csv\n" +
                       try_help,
                   2},
        audit_case{"columns_dropped_from_keys",
                   {"--csv", "--authorized-keys", "key", "--drop-column", "name"},
                   {},
                   "",
                   "portslot-audit: --drop-column cannot be used with --authorized-keys (a key "
                   "line's comment leaves the key out already)\n" +
                       try_help,
                   2},
        audit_case{"columns_dropped_nine_times",
                   {"--csv", "--drop-column=1", "--drop-column=2", "--drop-column=3",
                    "--drop-column=4", "--drop-column=5", "--drop-column=6", "--drop-column=7",
                    "--drop-column=8", "--drop-column=9"},
                   {},
                   "",
                   "portslot-audit: --drop-column may be given at most 8 times\n" + try_help,
                   2},
        audit_case{"authorized_keys_named_without_csv",
                   {"--authorized-keys", "key"},
                   {},
                   "",
                   "portslot-audit: --authorized-keys 'key' names a column, which only --csv has; "
                   "give a field number\n" +
                       try_help,
                   2},
        // ssh_config: an alias from the label's first word where it can be
        // one and is not taken (without case), else from the address; the
        // shared block said; an address not plain gets no block (status 2).
        audit_case{"hosts_aliases",
                   {"--ssh-config", "--jump", "admin@tunnel", "@h"},
                   {{"h", "aa:bb:cc:dd:ee:ff gateway room 1\n00:00:00:00:00:8b Gateway\n"
                          "00:00:00:00:00:01\n00:00:00:00:00:02 \"quoted\"\n"
                          "00:00:00:00:00:03 LOCALHOST\naa:bb:cc:dd:ee:fg odd\n"
                          "00:00:00:00:00:05 aabbccddeeff\n"}},
                   (host_block(false, "000000000001", 40004, "00:00:00:00:00:01", true) +
                    host_block(false, "000000000002", 40008, "00:00:00:00:00:02", true) +
                    host_block(false, "000000000003", 40012, "00:00:00:00:00:03", true) +
                    host_block(false, "000000000005", 40020, "00:00:00:00:00:05", true) +
                    host_block(true, "gateway", 40556, "aa:bb:cc:dd:ee:ff", true) +
                    host_block(true, "00000000008b", 40556, "00:00:00:00:00:8b", true))
                       .substr(1),
                   "@h:2: alias \"Gateway\" is @h:1's already; this device is 00000000008b\n"
                   "@h:6: the address is not a plain MAC address (12 hexadecimal digits, colons "
                   "aside); no Host block for it\n"
                   "portslot-audit: warning: 2 devices share a block with another, and only the "
                   "one connected answers on its port (their blocks say so)\n",
                   2},
        audit_case{"hosts_column_port_2",
                   {"--csv", "--ssh-config", "--alias-field", "name", "--ssh-port-num", "2", "@c"},
                   {{"c", "mac,name\n00:00:00:00:00:01,a b\n00:00:00:00:00:02,\n"}},
                   host_block(false, "a", 40006, "00:00:00:00:00:01", false).substr(1) +
                       host_block(false, "000000000002", 40010, "00:00:00:00:00:02", false),
                   "",
                   0},
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
                   "portslot-audit: invalid value 'a #b' for --jump: not USER@HOST for ProxyJump "
                   "(no blank, quote, backslash, '#' or control byte)\n" +
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
        audit_case{"metrics_alone",
                   {"--metrics", "m.prom"},
                   {},
                   "",
                   "portslot-audit: --metrics goes only with --listening or --sockets\n" +
                       try_help,
                   2},
        audit_case{"metrics_folder_missing",
                   {"--sockets", "@s", "--metrics", "/nonexistent/m.prom", "@f"},
                   {{"s", ""}, {"f", "00:00:00:00:00:01 solo\n"}},
                   "40004-40006\tnot listening\t00:00:00:00:00:01\tsolo\n1 device, 1 of 250 "
                   "blocks in use, 0 shared by 0 devices\n0 devices connected, 1 not connected, 0 ports of "
                   "the range listening without a device\n",
                   "portslot-audit: /nonexistent/m.prom: No such file or directory\n",
                   2},
        // A block of 40,000 ports, past the last port number: its ports that
        // listen, up to 65534, and the odd port no device can hold.
        audit_case{"listening_block_past_the_port_space",
                   {"--sockets", "@s", "--port-min", "0", "--port-max", "80000", "--port-count",
                    "40000", "@a"},
                   {{"a", "00:00:00:00:00:01 a\n"}, {"s", listening_ports}},
                   "0-79998\tlistening 2,4,6,8,10,12,14,16,22,40004,65534\t00:00:00:00:00:01\ta\n"
                   "65535\tlistening, no device\n"
                   "1 device, 1 of 1 block in use, 0 shared by 0 devices\n"
                   "1 device connected, 0 not connected, 1 port of the range listening without a "
                   "device\n",
                   "",
                   1},
        audit_case{
            "listening_block_past_the_port_space_json",
            {"--json", "--sockets", "@s", "--port-min", "0", "--port-max", "80000", "--port-count",
             "40000", "@a"},
            {{"a", "00:00:00:00:00:01 a\n"}, {"s", listening_ports}},
            "{\"type\":\"device\",\"first\":0,\"last\":79998,\"mac\":\"00:00:00:00:00:01\","
            "\"label\":\"a\",\"file\":\"@a\",\"line\":1,\"shared\":false,\"listening\":[2,4,6,"
            "8,10,12,14,16,22,40004,65534]}\n"
            "{\"type\":\"port_without_device\",\"port\":65535}\n"
            "{\"type\":\"summary\",\"devices\":1,\"blocks\":1,\"blocks_in_use\":1,"
            "\"shared_blocks\":0,\"sharing_devices\":0,\"must_share\":0,\"connected\":1,"
            "\"not_connected\":0,\"cannot_tell\":0,\"ports_without_device\":1}\n",
            "",
            1},
        // CSV beside the sockets, as text and as JSON.
        audit_case{"listening_csv",
                   {"--csv", "--sockets", "@s", "@k"},
                   {{"k", "mac,name\naa:bb:cc:dd:ee:ff,gw\n"}, {"s", both_ports_of_40556}},
                   "40556-40558\tlistening 40556,40558\taa:bb:cc:dd:ee:ff\tgw\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n"
                   "1 device connected, 0 not connected, 0 ports of the range listening without a "
                   "device\n",
                   "",
                   0},
        audit_case{
            "listening_csv_json",
            {"--csv", "--json", "--sockets", "@s", "@k"},
            {{"k", "mac,name\naa:bb:cc:dd:ee:ff,gw\n"}, {"s", both_ports_of_40556}},
            "{\"type\":\"device\",\"first\":40556,\"last\":40558,\"mac\":\"aa:bb:cc:dd:ee:ff\","
            "\"label\":\"gw\",\"file\":\"@k\",\"line\":2,\"shared\":false,\"listening\":[40556,"
            "40558],\"fields\":{\"mac\":\"aa:bb:cc:dd:ee:ff\",\"name\":\"gw\"}}\n"
            "{\"type\":\"summary\",\"devices\":1,\"blocks\":250,\"blocks_in_use\":1,"
            "\"shared_blocks\":0,\"sharing_devices\":0,\"must_share\":0,\"connected\":1,"
            "\"not_connected\":0,\"cannot_tell\":0,\"ports_without_device\":0}\n",
            "",
            0},
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
        // Devices listed twice whose address is not written with colons, in
        // a field with more after it; a column named as an earlier one but
        // for case is the one --field names; a header name holding a line
        // end moves the lines after it; keys that span every block of a
        // range of one block keep it.
        audit_case{"duplicates_in_a_middle_field",
                   {"--field", "2", "--delimiter", ",", "@d"},
                   {{"d", "x,aabbccddeeff,one\ny,aabbccddeeff,two\n"}},
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "@d:2: duplicate of @d:1\n",
                   0},
        audit_case{"duplicates_in_a_middle_column",
                   {"--csv", "@d"},
                   {{"d", "name,mac,site\nx,aabbccddeeff,one\ny,aabbccddeeff,two\n"}},
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "@d:3: duplicate of @d:2\n",
                   0},
        audit_case{"column_named_but_for_case",
                   {"--csv", "--field", "mac", "--all", "@c"},
                   {{"c", "MAC,mac,name\nx,aa:bb:cc:dd:ee:ff,n\n"}},
                   "40556-40558\taa:bb:cc:dd:ee:ff\tx,n\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        audit_case{"header_name_over_two_lines",
                   {"--csv", "--all", "@c"},
                   {{"c", "mac,\"na\nme\"\nzz,x\naa:bb:cc:dd:ee:ff,y\n"}},
                   "40556-40558\taa:bb:cc:dd:ee:ff\ty\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "@c:3: no port for \"zz\"\n",
                   2},
        audit_case{"suggest_in_a_range_of_one_block",
                   {"--suggest", "--port-min", "40000", "--port-max", "40000", "--port-count",
                    "1", "@k"},
                   {{"k", "00:00:00:00:00:00\n00:00:00:00:00:01\n"}},
                   "--port-min 40000 --port-max 40000 --port-count 1\n"
                   "40000-40000\t00:00:00:00:00:00\t\n"
                   "40000-40000\t00:00:00:00:00:01\t\n"
                   "2 devices, 1 of 1 block in use, 1 shared by 2 devices\n"
                   "more devices than blocks: at least 2 devices must share, whatever the "
                   "addresses are\n",
                   "portslot-audit: these devices share a block in every range up to --port-max "
                   "40000: 00:00:00:00:00:00 (@k:1), 00:00:00:00:00:01 (@k:2)\n",
                   1},
        audit_case{"sockets_from_a_folder",
                   {"--sockets", "/", "@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff\n"}},
                   "40556-40558\tnot listening\taa:bb:cc:dd:ee:ff\t\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n"
                   "0 devices connected, 1 not connected, 0 ports of the range listening without a "
                   "device\n",
                   "portslot-audit: /: Is a directory\n",
                   2},
        audit_case{"version", {"--version"}, {}, "portslot-audit " PORTSLOT_VERSION "\n", "", 0}),
    // Each case by its name, so that a failure says what broke.
    [](const testing::TestParamInfo<audit_case> &info) { return std::string(info.param.name); });

// Every byte that --delimiter takes splits fields as a comma does, with
// fields and in CSV: a part of the label on each side of the address, joined
// by the delimiter, even where the byte is negative as a char.
TEST(audit_delimiters, every_allowed_byte_splits_like_a_comma)
{
    for (int byte = 1; byte < 256; ++byte) {
        const char d = static_cast<char>(byte);
        if (d == '\n' || d == '\r' || d == '"')
            continue;
        // An address and label parts that do not hold the byte.
        const std::string mac = std::string("abcdef:").find(d) == std::string::npos
                                    ? "aa:bb:cc:dd:ee:ff"
                                    : "AABBCCDDEEFF";
        const std::string x = d == 'x' ? "w" : "x", y = d == 'y' ? "z" : "y";
        std::string line = x, row = "40556-40558\t", header = x;
        line.append(1, d).append(mac).append(1, d).append(y).append("\n");
        row.append(mac).append("\t").append(x).append(1, d).append(y).append("\n");
        header.append(1, d).append(y).append("\n");
        const std::string fields = write_file("delimited", line);
        const std::string csv = write_file("delimited-csv", header.append(line));
        const tool_run split =
            run_tool(PORTSLOT_AUDIT_PATH, {"portslot-audit", "--all", "--field", "2", "--delimiter",
                                           std::string(1, d), fields});
        const tool_run records =
            run_tool(PORTSLOT_AUDIT_PATH, {"portslot-audit", "--all", "--csv", "--field", "2",
                                           "--delimiter", std::string(1, d), csv});
        const std::string summary = "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n";
        EXPECT_EQ(split.out, row + summary) << "byte " << byte;
        EXPECT_EQ(records.out, row + summary) << "byte " << byte;
        std::remove(fields.c_str());
        std::remove(csv.c_str());
    }
}

// A fleet larger than the plan's look-ahead, in block order as the
// derivation gives it (also under the sanitizers).
TEST(audit_scale, twenty_thousand_devices_in_block_order)
{
    std::string inventory;
    std::vector<std::pair<std::int32_t, std::string>> rows;
    for (unsigned i = 0; i < 20000; ++i) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "00:00:00:%02x:%02x:%02x", i >> 16, (i >> 8) & 255, i & 255);
        inventory += std::string(mac) + "\n";
        const std::int32_t first = portslot::compute_port(mac, 40000, 41000, 2, 1);
        rows.emplace_back(first, std::to_string(first) + "-" + std::to_string(first + 2) + "\t" +
                                     mac + "\t\n");
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    std::string want;
    for (const auto &row : rows)
        want += row.second;
    want += "20000 devices, 250 of 250 blocks in use, 250 shared by 20000 devices\n";
    const std::string path = write_file("twenty-thousand", inventory);
    const tool_run run = run_tool(PORTSLOT_AUDIT_PATH, {"portslot-audit", "--all", path});
    std::remove(path.c_str());
    EXPECT_EQ(run.out, want + "more devices than blocks: at least 19751 devices must share, "
                              "whatever the addresses are\n");
    EXPECT_EQ(run.status, 1);
}

// Output that cannot be written fails the run: the plan (longer than the
// output buffer, so that writing fails before the end), help and version.
TEST(audit_output, write_error_fails_the_run)
{
    std::ostringstream inventory;
    for (unsigned i = 0; i < 10000; ++i)
        inventory << "00:00:00:" << std::hex << std::setw(6) << std::setfill('0') << i << '\n';
    const std::string path = write_file("full", inventory.str());
    for (const char *option : {"--all", "--help", "--version"}) {
        const tool_run run =
            run_tool(PORTSLOT_AUDIT_PATH, {"portslot-audit", option}, "/dev/full", path.c_str());
        EXPECT_EQ(run.err, "portslot-audit: write error: No space left on device\n") << option;
        EXPECT_EQ(run.status, 2) << option;
    }
    std::remove(path.c_str());
}

TEST(audit_help, prints_usage_and_succeeds)
{
    const tool_run run = run_tool(PORTSLOT_AUDIT_PATH, {"portslot-audit", "--help"});
    EXPECT_EQ(run.out.rfind("Usage: portslot-audit [OPTION]... [FILE]...\n", 0), 0u);
    EXPECT_EQ(run.status, 0);
    // Without even a program name, it audits standard input.
    const tool_run bare = run_tool(PORTSLOT_AUDIT_PATH, {});
    EXPECT_EQ(bare.out, "0 devices, 0 of 250 blocks in use, 0 shared by 0 devices\n");
    EXPECT_EQ(bare.status, 0);
}

// Under the limits of a small machine and hostile conditions: memory that
// runs out is an error like any other, a slow pipe costs no more memory than
// its bytes, every file is closed once read, standard output does not depend
// on standard error, and a file changed while it is read never gives a mixed
// answer.
TEST(audit_conditions, are_met_or_reported)
{
#if defined(PORTSLOT_EMULATED)
    GTEST_SKIP()
        << "the cases run the audit from a host shell, which cannot start a foreign program";
#endif
    const std::string big = write_file("big", std::string(8 << 20, 'a'));
    const std::string one = write_file("one", "aa:bb:cc:dd:ee:ff\n");
    const std::string huge = write_file("huge", ""); // 9 GiB, all of it a hole
    ASSERT_EQ(truncate(huge.c_str(), off_t{9} << 30), 0);
    const std::string line = write_file("line", std::string(33 << 20, 'a'));
    const std::string fleet_text = "x\naa:bb:cc:dd:ee:ff a\n00:00:00:00:00:8b b\n";
    const std::string changing = write_file("changing", fleet_text);
    // What the ephemeral warning says of exposed ports, and when reserving
    // them would leave the host too few.
    const std::string taken = " and are not reserved: an outgoing connection of this host may take "
                              "a device's port, and the device cannot listen until it ends. ";
    const std::string taken_one = " and is not reserved" + taken.substr(21);
    const std::string leaves_too_few = " would leave fewer than half of the ephemeral ports to this "
                                       "host's outgoing connections: move the range out of ";
    std::string many;
    for (int i = 0; i < 40; ++i)
        many += " \"$1\"";
    // The audit reads "$1" (mapped, its first line a diagnostic), then waits
    // on standard input; once the diagnostic is out, CHANGE alters "$1", and
    // the audit goes on to write the plan from it.
    const auto change_while_read = [](const std::string &change) {
        return "touch -d @0 \"$1\"; d=$(mktemp -d); mkfifo \"$d/in\";"
               " \"$0\" --all \"$1\" - <\"$d/in\" >\"$d/out\" 2>\"$d/err\" & exec 3>\"$d/in\";"
               " until grep -qs 'no port' \"$d/err\"; do sleep 0.01; done; " +
               change +
               "; exec 3>&-; wait $!; s=$?; cat \"$d/out\"; cat \"$d/err\" >&2; rm -r \"$d\"; exit "
               "$s";
    };
    const std::string shared =
        "40556-40558\taa:bb:cc:dd:ee:ff\ta\n40556-40558\t00:00:00:00:00:8b\tb\n"
        "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n";
    enum { anywhere, native, changed }; // native: address-space limits hold
    const struct {
        const char *name;
        int where;
        std::string script; // $0 is portslot-audit, $1 a file
        std::string file, out, err;
        int status;
    } cases[] = {
        {"out_of_memory", native, "ulimit -v 6000; exec \"$0\" \"$1\" \"$1\"", big, "",
         "portslot-audit: " + big + ": Cannot allocate memory\n", 2},
        {"slow_pipe", native,
         "for i in $(seq 10 40); do echo 00:00:00:00:00:$i; sleep 0.01; done |"
         " (ulimit -v 6000; exec \"$0\")",
         one, "31 devices, 31 of 250 blocks in use, 0 shared by 0 devices\n", "", 0},
        {"many_files", anywhere, "ulimit -n 12; exec \"$0\"" + many + " 2>/dev/null", one,
         "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n", "", 0},
        {"too_large", anywhere, "exec \"$0\" \"$1\" /nonexistent", huge, "",
         "portslot-audit: " + huge +
             ": inventories of more than 8 GiB in all are too large to audit\n",
         2},
        // A file is mapped, not copied: a line larger than memory allows.
        {"one_line_mapped", native, "ulimit -v 50000; exec \"$0\" \"$1\"", line,
         "0 devices, 0 of 250 blocks in use, 0 shared by 0 devices\n",
         line + ":1: no port for \"" + std::string(64, 'a') + "...\"\n", 2},
        {"many_standard_inputs", native,
         "args=$(yes - | head -n 100000); exec prlimit --as=6000000 \"$0\" $args </dev/null", one,
         "", "portslot-audit: Cannot allocate memory\n", 2},
        {"diagnostics_closed", anywhere,
         "printf 'aa:bb:cc:dd:ee:ff a\\n00:00:00:00:00:8b b\\nxx\\n' | \"$0\" 2>&-", one, shared,
         "", 2},
        {"diagnostics_full", anywhere,
         "printf 'aa:bb:cc:dd:ee:ff a\\n00:00:00:00:00:8b b\\nxx\\n' | \"$0\" 2>/dev/full", one,
         shared, "", 2},
        {"duplicate_notice_lost", anywhere,
         "printf 'aa:bb:cc:dd:ee:ff\\nAABBCCDDEEFF\\n' | \"$0\" 2>/dev/full", one,
         "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n", "", 2},
        // A FIFO named twice is told from its name before it is opened again,
        // which would wait for ever; standard input named twice is one pipe.
        {"fifo_named_twice", anywhere,
         "d=$(mktemp -d); mkfifo \"$d/ff\"; cat \"$1\" >\"$d/ff\" & \"$0\" \"$d/ff\" \"$d/ff\" "
         "2>\"$d/err\"; s=$?; sed \"s|$d/||\" \"$d/err\" >&2; rm -r \"$d\"; exit $s",
         one, "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
         "portslot-audit: ff: named more than once; read once\n", 0},
        {"pipe_named_twice", anywhere, "cat \"$1\" | \"$0\" - /dev/stdin -", one,
         "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
         "portslot-audit: /dev/stdin: the same file as -; read once\n"
         "portslot-audit: -: named more than once; read once\n",
         0},
        {"same_file_under_another_name", anywhere,
         "exec \"$0\" \"$1\" \"$(dirname \"$1\")/./$(basename \"$1\")\"", one,
         "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
         "portslot-audit: " + one.substr(0, one.rfind('/')) + "/." + one.substr(one.rfind('/')) +
             ": the same file as " + one + "; read once\n",
         0},
        // Files that cannot be mapped are read.
        {"system_file", anywhere, "exec \"$0\" --all /sys/class/net/lo/address", one,
         "40000-40002\t00:00:00:00:00:00\t\n1 device, 1 of 250 blocks in use, 0 shared by 0 "
         "devices\n",
         "", 0},
        {"shrinks_while_read", changed, change_while_read(": >\"$1\""), changing, "",
         changing + ":1: no port for \"x\"\nportslot-audit: " + changing +
             ": changed while being read\n",
         2},
        // Removed meanwhile, the file's text stays as it was: nothing mixed.
        {"removed_while_read", changed, change_while_read("rm \"$1\""), changing, shared,
         changing + ":1: no port for \"x\"\n", 2},
        // Another file put in its place: the mapped one stays as it was.
        {"replaced_while_read", changed,
         change_while_read("printf 'zz\\n' >\"$1.new\"; mv \"$1.new\" \"$1\""), changing, shared,
         changing + ":1: no port for \"x\"\n", 2},
        // Grown meanwhile: the rows written stay, each true of one text.
        {"grows_while_read", changed, change_while_read("echo 00:00:00:00:00:01 >>\"$1\""),
         changing, "40556-40558\taa:bb:cc:dd:ee:ff\ta\n40556-40558\t00:00:00:00:00:8b\tb\n",
         changing + ":1: no port for \"x\"\nportslot-audit: " + changing +
             ": changed while being read\n",
         2},
        // On a terminal, rows show control bytes escaped (and the terminal
        // ends lines with CR LF).
        {"rows_on_a_terminal", changed,
         "printf 'aa:bb:cc:dd:ee:ff \\033[2Jx\\n' >\"$1\"; A=$0 F=$1 exec script -qec '\"$A\" "
         "--suggest --all \"$F\" 2>&1' /dev/null",
         changing,
         "--port-min 40000 --port-max 40002 --port-count 2\r\n"
         "40000-40002\taa:bb:cc:dd:ee:ff\t\\x1b[2Jx\r\n"
         "1 device, 1 of 1 block in use, 0 shared by 0 devices\r\n",
         "", 0},
        // The same bytes written again, and only the nanoseconds of the
        // modification time tell: still a change. Rows written stay.
        {"rewritten_within_a_second", changed,
         change_while_read("cat \"$1\" >\"$1.same\"; dd if=\"$1.same\" of=\"$1\" conv=notrunc "
                           "status=none; rm \"$1.same\"; touch -d @0.5 \"$1\""),
         changing, "40556-40558\taa:bb:cc:dd:ee:ff\ta\n40556-40558\t00:00:00:00:00:8b\tb\n",
         changing + ":1: no port for \"x\"\nportslot-audit: " + changing +
             ": changed while being read\n",
         2},
        // Rows are escaped by whether standard output is a terminal, whatever
        // standard error is.
        {"terminal_for_rows_only", changed,
         "printf 'aa:bb:cc:dd:ee:ff \\033[2Jx\\n' >\"$1\"; A=$0 F=$1 exec script -qec '\"$A\" "
         "--all \"$F\" 2>/dev/null' /dev/null",
         changing,
         "40556-40558\taa:bb:cc:dd:ee:ff\t\\x1b[2Jx\r\n"
         "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\r\n",
         "", 0},
        {"terminal_for_diagnostics_only", changed,
         "printf 'aa:bb:cc:dd:ee:ff \\033[2Jx\\n' >\"$1\"; d=$(mktemp -d); A=$0 F=$1 O=$d/out "
         "script -qec '\"$A\" --all \"$F\" >\"$O\"' /dev/null; cat \"$d/out\"; rm -r \"$d\"",
         changing,
         "40556-40558\taa:bb:cc:dd:ee:ff\t\033[2Jx\n"
         "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
         "", 0},
        // A long search shows its progress on a terminal only (the second it
        // waits made none by the tests' own hook).
        {"progress_on_a_terminal", anywhere,
         "seq 0 14999 | awk '{printf \"00:00:00:%06x\\n\", ($1 * 1117) % 16777216}' >\"$1.keys\"; "
         "A=$0 F=$1.keys PORTSLOT_AUDIT_PROGRESS_MS=0 script -qec '\"$A\" --suggest --port-min "
         "1024 "
         "--port-count 1 \"$F\" >/dev/null' /dev/null | tr '\\r' '\\n' | grep -q "
         "'^portslot-audit: searching: [0-9]* of 32256 block counts' && echo shown; "
         "PORTSLOT_AUDIT_PROGRESS_MS=0 \"$0\" --suggest --port-min 1024 --port-count 1 \"$1.keys\" "
         "2>&1 >/dev/null | grep -c searching; rm \"$1.keys\"",
         one, "shown\n0\n", "", 0},
        // A name of control bytes, each six bytes in JSON: the row still
        // fits where it is composed.
        {"json_row_of_a_long_name", anywhere,
         "d=$(mktemp -d); n=$(printf '\\001%.0s' $(seq 255)); mkdir -p \"$d/$n/$n\"; cp \"$1\" "
         "\"$d/$n/$n/$n\"; cd \"$d\"; \"$0\" --json --all \"$n/$n/$n\" | jq -r "
         "'select(.type == \"device\") | \"\\(.first) \\(.file | length) \\(.file | "
         "explode | unique)\"'; rm -r \"$d\"",
         one, "40556 767 [1,47]\n", "", 0},
        // Inventories of more than 8 GiB in all, each of them less: two holes
        // of just over 4 GiB with a device at each end. (Native only: reading
        // the first hole takes seconds, and minutes under the sanitizers.)
        {"too_large_together", native,
         "for f in \"$1.a\" \"$1.b\"; do cp \"$1\" \"$f\"; truncate -s 4294967400 \"$f\"; "
         "echo >>\"$f\"; cat \"$1\" >>\"$f\"; done; \"$0\" \"$1.a\" \"$1.b\" 2>&1 | tail -n 1 | "
         "sed \"s|$1|F|\"; rm \"$1.a\" \"$1.b\"",
         one, "portslot-audit: F.b: inventories of more than 8 GiB in all are too large to audit\n",
         "", 0},
        // Keys as ssh-keygen makes them, cut short, with more after, and with
        // one digit changed (which moves an ECDSA point off its curve): the
        // audit takes exactly those ssh-keygen reads.
        {"keys_agree_with_ssh_keygen", anywhere,
         "d=$(mktemp -d); n=0; bad=0; for t in ed25519 'ecdsa -b 256' 'ecdsa -b 384' 'ecdsa -b "
         "521' 'rsa -b 1024'; do ssh-keygen -q -t $t -N '' -f \"$d/k\"; set -- $(cat "
         "\"$d/k.pub\"); rm \"$d/k\" \"$d/k.pub\"; for v in \"$2\" \"${2%????}\" \"${2}AAAA\" $(for "
         "i in 30 45 60 75 90; do printf '%s ' \"$(printf %s \"$2\" | sed \"s/./A/$i\")\"; done); "
         "do n=$((n+1)); printf '%s %s\\n' \"$1\" \"$v\" >\"$d/p\"; ssh-keygen -l -f \"$d/p\" "
         ">/dev/null 2>&1; s=$?; printf '00:00:00:00:00:01 %s %s\\n' \"$1\" \"$v\" | \"$0\" "
         "--authorized-keys 2 >/dev/null 2>&1; a=$?; [ $((s == 0)) = $((a == 0)) ] || { "
         "bad=$((bad+1)); echo \"$1 $v: ssh-keygen $s, audit $a\"; }; done; done; echo \"$n keys, "
         "$bad disagree\"; rm -r \"$d\"",
         one, "40 keys, 0 disagree\n", "", 0},
        // A socket table that never ends a line ends the read at once, and
        // one far larger than any host's as it passes the bound.
        {"sockets_without_end", anywhere,
         "\"$0\" --sockets /dev/zero \"$1\" 2>&1 >/dev/null; echo $?", one,
         "/dev/zero:1: a line longer than any socket table's: not a socket table\n2\n", "", 0},
        // --listening on this host (a /proc of the test's own): the kernel's
        // ephemeral ports warned about where they meet the range and are not
        // reserved, with the line that reserves them beside what is; nothing
        // when it is all reserved or outside, or when the kernel's files
        // cannot be read or are not of their form.
        {"kernel_ephemeral_ports", anywhere,
         "f=$1; d=$(mktemp -d); mkdir -p \"$d/net\" \"$d/sys/net/ipv4\"; "
         "k=\"$d/sys/net/ipv4/ip_local\"; printf '  sl  local_address rem_address   st\\n  "
         " 0: 00000000:9E6C 00000000:0000 0A\\n' >\"$d/net/tcp\"; run() { printf \"$1\" "
         ">\"${k}_port_range\"; printf \"$2\" >\"${k}_reserved_ports\"; printf '%s | %s\\n' "
         "\"$1\" \"$2\"; PORTSLOT_AUDIT_PROC=\"$d\" \"$0\" --listening --port-max 40010 $3 \"$f\" "
         "2>&1 >/dev/null; echo \"$?\"; }; run '32768\\t60999\\n' '8080,40004-40006\\n'; run "
         "'32768 60999\\n' '40000-41000\\n'; run '50000\\t60999\\n' '\\n'; run "
         "'1024\\t40000\\n' ''; run '32768 60999' '' '--port-min 0 --port-max 70000 "
         "--port-count 1'; run '32768 60999' '' '--port-min 1024 --port-max 65535 "
         "--port-count 1'; run '40002 40002' ''; run '32768 60999' '' '--port-max 44000 "
         "--port-count 1'; cp \"$d/net/tcp\" \"$d/net/tcp6\"; run '32768\\t60999' '1-2,x\\n'; "
         "run 'x' ''; run '1 2 3' ''; run '1 2' '3-'; run '1 2' '5-4'; run '1 2' '1;'; "
         "run '1 99999' ''; run '1 2\\nx' ''; printf '32768 60999\\n' >\"${k}_port_range\"; "
         "yes 1, | head -c 9000 | tr -d '\\n' >\"${k}_reserved_ports\"; echo long; "
         "PORTSLOT_AUDIT_PROC=\"$d\" \"$0\" --listening --port-max 40002 \"$f\" 2>&1 "
         ">/dev/null; echo \"$?\"; rm \"${k}_reserved_ports\"; echo gone; "
         "PORTSLOT_AUDIT_PROC=\"$d\" \"$0\" --listening \"$f\" 2>&1 >/dev/null; echo \"$?\"; "
         "mkdir \"${k}_reserved_ports\"; echo folder; PORTSLOT_AUDIT_PROC=\"$d\" \"$0\" "
         "--listening \"$f\" 2>&1 >/dev/null; echo \"$?\"; rmdir \"${k}_reserved_ports\"; "
         "echo bad >\"$d/net/tcp\"; echo bad; PORTSLOT_AUDIT_PROC=\"$d\" \"$0\" --listening "
         "\"$f\" >/dev/null 2>&1; echo \"$?\"; PORTSLOT_AUDIT_PROC=\"$d/$(printf '%05000d' "
         "0)\" \"$0\" --listening \"$f\" >/dev/null 2>&1; echo \"$?\"; rm -r \"$d\"",
         one,
         "32768\\t60999\\n | 8080,40004-40006\\n\n"
         "portslot-audit: warning: the even ports 40000-40002,40008-40010 of "
         "the range lie in the kernel's ephemeral ports (32768-60999)" +
         taken +
         "Reserve them now, and at every boot:\n"
         "  sysctl -w "
         "net.ipv4.ip_local_reserved_ports=8080,40000,40002,40004-40006,40008,40010\n"
         "  echo 'net.ipv4.ip_local_reserved_ports = "
         "8080,40000,40002,40004-40006,40008,40010' >/etc/sysctl.d/60-portslot.conf\n"
         "0\n"
         "32768 60999\\n | 40000-41000\\n\n"
         "0\n"
         "50000\\t60999\\n | \\n\n"
         "0\n"
         "1024\\t40000\\n | \n"
         "portslot-audit: warning: port 40000 of the range lies in the kernel's "
         "ephemeral ports (1024-40000)" +
         taken_one +
         "Reserve it now, and at every boot:\n"
         "  sysctl -w net.ipv4.ip_local_reserved_ports=40000\n"
         "  echo 'net.ipv4.ip_local_reserved_ports = 40000' "
         ">/etc/sysctl.d/60-portslot.conf\n"
         "0\n"
         "32768 60999 | \n"
         "portslot-audit: warning: the even ports 32768-60998 of the range lie "
         "in the kernel's ephemeral ports (32768-60999)" +
         taken +
         "Reserving them" +
         leaves_too_few +
         "32768-60999 (--port-min, --port-max), or move "
         "net.ipv4.ip_local_port_range away from it\n"
         "1\n"
         "32768 60999 | \n"
         "portslot-audit: warning: the even ports 32768-60998 of the range lie "
         "in the kernel's ephemeral ports (32768-60999)" +
         taken +
         "Reserving them" +
         leaves_too_few +
         "32768-60999 (--port-min, --port-max), or move "
         "net.ipv4.ip_local_port_range away from it\n"
         "1\n"
         "40002 40002 | \n"
         "portslot-audit: warning: port 40002 of the range lies in the kernel's "
         "ephemeral ports (40002-40002)" +
         taken_one +
         "Reserving it" +
         leaves_too_few +
         "40002-40002 (--port-min, --port-max), or move "
         "net.ipv4.ip_local_port_range away from it\n"
         "0\n"
         "32768 60999 | \n"
         "portslot-audit: warning: the even ports 40000-44000 of the range lie "
         "in the kernel's ephemeral ports (32768-60999)" +
         taken +
         "Reserve them now, and at every boot:\n"
         "  sysctl -w net.ipv4.ip_local_reserved_ports=40000-44000\n"
         "  echo 'net.ipv4.ip_local_reserved_ports = 40000-44000' "
         ">/etc/sysctl.d/60-portslot.conf\n"
         "1\n"
         "32768\\t60999 | 1-2,x\\n\n"
         "0\n"
         "x | \n"
         "0\n"
         "1 2 3 | \n"
         "0\n"
         "1 2 | 3-\n"
         "0\n"
         "1 2 | 5-4\n"
         "0\n"
         "1 2 | 1;\n"
         "0\n"
         "1 99999 | \n"
         "0\n"
         "1 2\\nx | \n"
         "0\n"
         "long\n"
         "portslot-audit: warning: the even ports 40000-40002 of the range lie "
         "in the kernel's ephemeral ports (32768-60999)" +
         taken +
         "Reserve them now, and at every boot:\n"
         "  sysctl -w net.ipv4.ip_local_reserved_ports=1,40000,40002\n"
         "  echo 'net.ipv4.ip_local_reserved_ports = 1,40000,40002' "
         ">/etc/sysctl.d/60-portslot.conf\n"
         "0\n"
         "gone\n"
         "0\n"
         "folder\n"
         "0\n"
         "bad\n"
         "2\n"
         "2\n",
         "", 0},
        // This host's own tables: whatever listens, they are read.
        {"listening_on_this_host", anywhere,
         "\"$0\" --listening \"$1\" >/dev/null 2>&1; [ $? -lt 2 ] && echo read", one, "read\n", "",
         0},
        {"rewritten_while_read", changed,
         change_while_read("printf 'x\\n00:00:00:00:00:01 a\\n00:00:00:00:00:02 b\\n' |"
                           " dd of=\"$1\" conv=notrunc status=none"),
         changing, "",
         changing + ":1: no port for \"x\"\nportslot-audit: " + changing +
             ": changed while being read\n",
         2},
    };
    for (const auto &c : cases) {
#if defined(__SANITIZE_ADDRESS__) || PORTSLOT_HAS_ADDRESS_SANITIZER
        if (c.where == native) {
            std::printf("[ SKIPPED  ] case %s: the sanitizer's shadow memory leaves no room for "
                        "address-space limits\n",
                        c.name);
            continue;
        }
#endif
        if (c.where == changed)
            std::ofstream(c.file, std::ios::binary) << fleet_text;
        const tool_run run =
            run_tool("/bin/sh", {"sh", "-c", c.script, PORTSLOT_AUDIT_PATH, c.file});
        EXPECT_EQ(run.out, c.out) << c.name;
        EXPECT_EQ(run.err, c.err) << c.name;
        EXPECT_EQ(run.status, c.status) << c.name;
    }
    for (const std::string &path : {big, one, huge, line, changing})
        std::remove(path.c_str());
}

// Every --json line parses with strict JSON parsers (Python's, as UTF-8
// that must be valid, and jq) whatever the labels hold, and its devices are
// the text plan's rows.
TEST(audit_json, parses_strictly_and_agrees_with_the_rows)
{
#if defined(PORTSLOT_EMULATED)
    GTEST_SKIP() << "the parsers are host programs, which cannot start a foreign one";
#endif
    const std::string labels[] = {"quote\" back\\slash", "ctl \x01\x1b[2J\x7f\t",
                                  "bad \xff\xfe \xc0\xaf \xed\xa0\x80 \xe2\x82 \xf4\x90\x80\x80",
                                  "four \xf0\x9f\x98\x80 \xe2\x82\xac \xc3\xa9"};
    const char *macs[] = {"aa:bb:cc:dd:ee:ff", "00:00:00:00:00:8b", "11:22:33:00:01:85",
                          "00:00:00:00:00:01"};
    std::string plain, fields, csv = "Name,MAC\n";
    for (int i = 0; i < 4; ++i) {
        plain += std::string(macs[i]) + " " + labels[i] + "\n";
        fields += "x" + std::to_string(i) + " " + macs[i] + " " + labels[i] + "\n";
        csv += "\"" + labels[i] + "\nand \"\"more\"\"\"," + macs[i] + "\r\n";
    }
    const std::string files[] = {write_file("plain", plain), write_file("fields", fields),
                                 write_file("csv", csv)};
    const std::string json_out = write_file("json", "");
    const char *check = R"(
import json, sys
text = sys.stdin.buffer.read().decode('utf-8')  # strict: fails on invalid UTF-8
assert text == '' or text.endswith('\n')
def constant(name): raise ValueError(name)
kinds, rows = [], []
for line in text.splitlines():
    o = json.loads(line, parse_constant=constant)
    kinds.append(o['type'])
    if o['type'] == 'device':
        assert all(type(o[k]) is int for k in ('first', 'last', 'line'))
        assert all(type(o[k]) is str for k in ('mac', 'label', 'file'))
        assert type(o['shared']) is bool
        rows.append('%d-%d\t%s' % (o['first'], o['last'], o['mac']))
assert 'range' not in kinds[1:] and 'summary' not in kinds[:-1]
print('\n'.join(rows))
)";
    const struct {
        std::vector<std::string> options;
        int file;
    } cases[] = {
        {{"--all"}, 0},
        {{}, 0},
        {{"--suggest", "--all"}, 0},
        {{"--port", "40556"}, 0},
        {{"--field", "2", "--all"}, 1},
        {{"--csv", "--all"}, 2},
        {{"--csv", "--suggest"}, 2},
    };
    for (const auto &c : cases) {
        std::vector<std::string> argv{"portslot-audit"};
        argv.insert(argv.end(), c.options.begin(), c.options.end());
        argv.push_back(files[c.file]);
        const tool_run text = run_tool(PORTSLOT_AUDIT_PATH, argv);
        argv.insert(argv.begin() + 1, "--json");
        std::ofstream(json_out, std::ios::binary | std::ios::trunc).flush();
        const tool_run json = run_tool(PORTSLOT_AUDIT_PATH, argv, json_out.c_str());
        const std::string context = testing::PrintToString(argv);
        EXPECT_EQ(json.status, text.status) << context;
        const tool_run parsed =
            run_tool("/usr/bin/python3", {"python3", "-c", check}, nullptr, json_out.c_str());
        EXPECT_EQ(parsed.status, 0) << context << parsed.err;
        EXPECT_EQ(run_tool("/usr/bin/jq", {"jq", "-e", "."}, "/dev/null", json_out.c_str()).status,
                  0)
            << context;
        // The text rows' ports and addresses.
        std::string rows;
        std::istringstream lines(text.out);
        for (std::string line; std::getline(lines, line);) {
            const std::size_t tab = line.find('\t'), next = line.find('\t', tab + 1);
            if (tab != std::string::npos && next != std::string::npos && line[0] >= '0' &&
                line[0] <= '9')
                rows += line.substr(0, next) + "\n";
        }
        EXPECT_EQ(parsed.out, rows.empty() ? "\n" : rows) << context;
    }
    for (const std::string &path : files)
        std::remove(path.c_str());
    std::remove(json_out.c_str());
}

// A last line without a line end that fills whole pages (nothing past the
// file may be read), and a label longer than the output buffer.
TEST(audit_reading, takes_lines_whole)
{
    for (const std::size_t size : {std::size_t{4096}, std::size_t{1} << 19}) {
        std::string text = "aa:bb:cc:dd:ee:ff ";
        text += std::string(size - text.size(), 'x');
        const std::string path = write_file("page", text);
        const tool_run run = run_tool(PORTSLOT_AUDIT_PATH, {"portslot-audit", "--all", path});
        std::remove(path.c_str());
        EXPECT_EQ(run.out, "40556-40558\taa:bb:cc:dd:ee:ff\t" + text.substr(18) +
                               "\n1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n");
        EXPECT_EQ(run.status, 0);
    }
}

// Every line of --all agrees with what portslot itself prints for the device.
TEST(audit_all, agrees_with_portslot)
{
    const std::vector<std::string> range{"--port-min", "1001",         "--port-max",
                                         "1999",       "--port-count", "3"};
    std::ostringstream inventory;
    for (unsigned i = 0; i < 40; ++i)
        inventory << "00:1a:2b:" << std::hex << std::setw(6) << std::setfill('0')
                  << (i * 2654435761u) % 0xffffff << std::dec << " device" << i << '\n';
    std::vector<std::string> argv{"portslot-audit", "--all"};
    argv.insert(argv.end(), range.begin(), range.end());
    argv.push_back(write_file("agree", inventory.str()));
    const tool_run audit_run = run_tool(PORTSLOT_AUDIT_PATH, argv);
    std::remove(argv.back().c_str());
    ASSERT_EQ(audit_run.err, "");

    std::istringstream lines(audit_run.out);
    int devices = 0;
    for (std::string ports, mac, label;
         std::getline(lines, ports, '\t') && std::getline(lines, mac, '\t') &&
         std::getline(lines, label);
         ++devices) {
        std::vector<std::string> tool{"portslot"};
        tool.insert(tool.end(), range.begin(), range.end());
        tool.insert(tool.end(), {"--port-num", "1", mac});
        const std::string first = run_tool(PORTSLOT_PATH, tool).out;
        tool[tool.size() - 2] = "3";
        const std::string last = run_tool(PORTSLOT_PATH, tool).out;
        EXPECT_EQ(ports, first + "-" + last) << mac;
    }
    EXPECT_EQ(devices, 40);
}

} // namespace
