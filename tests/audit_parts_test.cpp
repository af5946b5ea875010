// The parts of portslot-audit: its command line and its reading of
// inventories.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "audit_options.h"
#include "inventory.h"

namespace {

using portslot::audit::parse_command;
using portslot::audit::parsed_command;

TEST(audit_command, reads_options_and_files)
{
    const struct {
        std::vector<std::string> args;
        int action;
        std::int32_t min, max, count;
        bool all;
        std::vector<std::string> files;
    } cases[] = {
        {{}, parsed_command::run, 40000, 41000, 2, false, {"-"}},
        {{"a", "--all", "b"}, parsed_command::run, 40000, 41000, 2, true, {"a", "b"}},
        {{"--port-min=+5", "--port-max", "-7", "--port-count=3"},
         parsed_command::run,
         5,
         -7,
         3,
         false,
         {"-"}},
        {{"--", "--all", "-", ""}, parsed_command::run, 40000, 41000, 2, false, {"--all", "-", ""}},
        {{"--port-min", "+-5"}, parsed_command::error, 40000, 41000, 2, false, {}},
        {{"--port-min", "+"}, parsed_command::error, 40000, 41000, 2, false, {}},
        {{"--port-min="}, parsed_command::error, 40000, 41000, 2, false, {}},
        {{"--port-min", " 5"}, parsed_command::error, 40000, 41000, 2, false, {}},
        {{"--port-min", "2147483648"}, parsed_command::error, 40000, 41000, 2, false, {}},
        {{"-x"}, parsed_command::error, 40000, 41000, 2, false, {}},
        {{"--help=1"}, parsed_command::error, 40000, 41000, 2, false, {}},
        {{"f", "--help", "--bogus"}, parsed_command::help, 40000, 41000, 2, false, {"f"}},
        {{"--version"}, parsed_command::version, 40000, 41000, 2, false, {}},
    };
    for (const auto &c : cases) {
        const parsed_command got = parse_command(c.args);
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(got.action, c.action);
        EXPECT_EQ(got.message.empty(), c.action != parsed_command::error);
        if (c.action == parsed_command::error)
            continue;
        EXPECT_EQ(got.options.port_min, c.min);
        EXPECT_EQ(got.options.port_max, c.max);
        EXPECT_EQ(got.options.port_count, c.count);
        EXPECT_EQ(got.options.all, c.all);
        EXPECT_EQ(got.options.files, c.files);
    }
}

TEST(inventory, splits_lines_into_address_and_label)
{
    const struct {
        std::string text;
        std::vector<std::string> entries; // "line|mac|label"
    } cases[] = {
        {"", {}},
        {"\n\n \t\n# x\n  #y z\n", {}},
        {"a", {"1|a|"}},
        {"a b\n", {"1|a|b"}},
        {"\v\fa\tb  c \r\n", {"1|a|b  c"}},
        {"a#b c#d\n#\nx", {"1|a#b|c#d", "3|x|"}},
        {"a \r", {"1|a|"}},
    };
    for (auto c : cases) {
        std::vector<std::string> got;
        portslot::audit::for_each_entry(c.text, [&](const portslot::audit::inventory_entry &e) {
            got.push_back(std::to_string(e.line) + "|" + std::string(e.mac, e.mac_size) + "|" +
                          std::string(e.label));
            EXPECT_EQ(e.mac[e.mac_size], '\0');
        });
        EXPECT_EQ(got, c.entries) << testing::PrintToString(c.text);
    }
}

TEST(inventory, reads_a_stream_longer_than_its_first_guess)
{
    std::FILE *pipe = popen("head -c 300000 /dev/zero", "r");
    ASSERT_NE(pipe, nullptr);
    std::string text;
    EXPECT_EQ(portslot::audit::read_all(fileno(pipe), text), 0);
    pclose(pipe);
    EXPECT_EQ(text, std::string(300000, '\0'));
    EXPECT_EQ(portslot::audit::read_all(-1, text), EBADF);
}

} // namespace
