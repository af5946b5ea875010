// The command line: options, their values and their combinations.
#include "audit_fixture.h"

namespace {

INSTANTIATE_TEST_SUITE_P(
    cli, audit,
    testing::Values(
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
        audit_case{
            "no_whole_block_of_one",
            {"--port-min", "40001", "--port-max", "40001", "--port-count", "1"},
            {},
            "",
            "portslot-audit: the range 40001 to 40001 holds no whole block of 1 even port\n" +
                try_help,
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
        audit_case{"columns_dropped_without_csv",
                   {"--drop-column", "2"},
                   {},
                   "",
                   "portslot-audit: --drop-column cannot be used with an inventory that is not "
                   "CSV; give --csv\n" +
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
        audit_case{"version", {"--version"}, {}, "portslot-audit " PORTSLOT_VERSION "\n", "", 0}),
    case_name);

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

TEST(audit_command, reads_options_and_files)
{
    const struct {
        std::vector<std::string> args;
        int action;
        std::int32_t min, max, count;
        bool all;
        std::vector<std::string> files;
        int error = -1; // which error, for an error
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
        {{"--port-min", "+-5"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::not_a_number},
        {{"--port-min", "+"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::not_a_number},
        {{"--port-min="},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::not_a_number},
        {{"--port-min", " 5"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::not_a_number},
        {{"--port-min", "2147483648"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::not_a_number},
        {{"--port-max=11000000000"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::not_a_number},
        {{"--port-min=-2147483648"}, parsed_command::run, INT32_MIN, 41000, 2, false, {"-"}},
        {{"-x"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::unknown_option},
        {{"--help=1"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::takes_no_value},
        {{"f", "--help", "--bogus"}, parsed_command::help, 40000, 41000, 2, false, {"f"}},
        {{"--version"}, parsed_command::version, 40000, 41000, 2, false, {}},
        {{"--field="},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::not_a_field},
        {{"--field=-1"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::not_a_field},
        {{"--field=1x"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::not_a_field},
        {{"--delimiter", "ab"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::not_a_delimiter},
        {{"--delimiter", "\n"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::not_a_delimiter},
        {{"--delimiter", "\r"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::not_a_delimiter},
        {{"--delimiter", "\""},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::not_a_delimiter},
        {{"--port-count"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::needs_value},
        {{"--field", "mac"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::needs_csv},
        {{"--port", "x"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::not_a_number},
        {{"--authorized-keys", "2", "--suggest"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::conflicting},
        {{"--authorized-keys", "2", "--port", "1"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::conflicting},
        {{"--authorized-keys", "2", "--listening"},
         parsed_command::error,
         40000,
         41000,
         2,
         false,
         {},
         parsed_command::conflicting},
        {{"--port", "1", "--all"},
         parsed_command::error,
         40000,
         41000,
         2,
         true,
         {},
         parsed_command::conflicting},
        {{"--field", "+1", "--csv", "--json", "--delimiter=;", "f"},
         parsed_command::run,
         40000,
         41000,
         2,
         false,
         {"f"}},
        {{"--ssh-config", "--suggest"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::conflicting},
        {{"--ssh-config", "--port", "1"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::conflicting},
        {{"--ssh-config", "--listening"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::conflicting},
        {{"--ssh-config", "--json"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::conflicting},
        {{"--ssh-config", "--authorized-keys", "2"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::conflicting},
        {{"--ssh-config", "--csv", "--drop-column", "2"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::conflicting},
        {{"--ssh-port-num", "2"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::needs_other},
        {{"--alias-field", "2"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::needs_other},
        {{"--jump", "a@b"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::needs_other},
        {{"--ssh-config", "--alias-field", "name"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::needs_csv},
        {{"--metrics", "m"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::needs_other},
        {{"--ssh-config", "--jump", ""}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::not_a_jump},
        {{"--ssh-config", "--jump", "-J"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::not_a_jump},
        {{"--ssh-config", "--jump", "a'b"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::not_a_jump},
        {{"--ssh-config", "--jump", "a\\b"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::not_a_jump},
        {{"--ssh-config", "--jump", "a\"b"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::not_a_jump},
        {{"--ssh-config", "--jump", "a\x7f"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::not_a_jump},
        {{"--ssh-config", "--jump", "a#b"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::not_a_jump},
        {{"--ssh-config", "--alias-field", "0"}, parsed_command::error, 40000, 41000, 2, false, {}, parsed_command::not_a_field},
        {{"--ssh-config", "--ssh-port-num=2", "--jump", "a@b,c@d", "--alias-field", "3"},
         parsed_command::run, 40000, 41000, 2, false, {"-"}},
        {{"--sockets", "s", "--metrics", "m"}, parsed_command::run, 40000, 41000, 2, false, {"-"}},
    };
    for (const auto &c : cases) {
        std::vector<const char *> args, files(c.args.size() + 1);
        std::vector<std::int32_t> ports(c.args.size());
        for (const std::string &arg : c.args)
            args.push_back(arg.c_str());
        const parsed_command got =
            parse_command(static_cast<int>(args.size()), args.data(), files.data(), ports.data());
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(got.action, c.action);
        if (c.action == parsed_command::error) {
            EXPECT_EQ(got.error_kind, c.error);
            continue;
        }
        EXPECT_EQ(got.options.port_min, c.min);
        EXPECT_EQ(got.options.port_max, c.max);
        EXPECT_EQ(got.options.port_count, c.count);
        EXPECT_EQ(got.options.all, c.all);
        EXPECT_EQ(
            std::vector<std::string>(got.options.files, got.options.files + got.options.file_count),
            c.files);
    }
}

} // namespace
