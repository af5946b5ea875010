// --json: the plan as JSON Lines.
#include "audit_fixture.h"

namespace {

INSTANTIATE_TEST_SUITE_P(
    json, audit,
    testing::Values(
        // The same address twice as JSON, not listed: the summary alone.
        audit_case{"json_duplicate_not_listed",
                   {"--json", "@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff\nAABBCCDDEEFF\n"}},
                   "{\"type\":\"summary\",\"devices\":1,\"blocks\":250,\"blocks_in_use\":1,"
                   "\"shared_blocks\":0,\"sharing_devices\":0,\"must_share\":0}\n",
                   "@a:2: duplicate of @a:1\n",
                   0},
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
        audit_case{"placed_rows",
                   {"--csv", "--json", "--all", "@g"},
                   {{"g", "mac,n,Port_Min,port-max,server\n"
                          "aa:bb:cc:dd:ee:ff,a,2000,2099,s1.example\n"
                          "00:00:00:00:00:8b,b,2000,2099,s2.example\n"
                          "00:00:00:00:01:8b,c,,,\n"}},
                   "{\"type\":\"device\",\"first\":40580,\"last\":40582,\"mac\":\"00:00:00:00:01:"
                   "8b\",\"label\":\"c,,,\",\"file\":\"@g\",\"line\":4,\"shared\":false,\"port_"
                   "min\":40000,\"port_max\":41000,\"server\":\"\",\"fields\":{\"mac\":\"00:00:00:"
                   "00:01:8b\",\"n\":\"c\",\"Port_Min\":\"\",\"port-max\":\"\",\"server\":\"\"}}\n"
                   "{\"type\":\"device\",\"first\":2056,\"last\":2058,\"mac\":\"aa:bb:cc:dd:ee:"
                   "ff\",\"label\":\"a,2000,2099,s1.example\",\"file\":\"@g\",\"line\":2,"
                   "\"shared\":false,\"port_min\":2000,\"port_max\":2099,\"server\":\"s1.example\","
                   "\"fields\":{\"mac\":\"aa:bb:cc:dd:ee:ff\",\"n\":\"a\",\"Port_Min\":\"2000\","
                   "\"port-max\":\"2099\",\"server\":\"s1.example\"}}\n"
                   "{\"type\":\"device\",\"first\":2056,\"last\":2058,\"mac\":\"00:00:00:00:00:"
                   "8b\",\"label\":\"b,2000,2099,s2.example\",\"file\":\"@g\",\"line\":3,"
                   "\"shared\":false,\"port_min\":2000,\"port_max\":2099,\"server\":\"s2.example\","
                   "\"fields\":{\"mac\":\"00:00:00:00:00:8b\",\"n\":\"b\",\"Port_Min\":\"2000\","
                   "\"port-max\":\"2099\",\"server\":\"s2.example\"}}\n"
                   "{\"type\":\"summary\",\"devices\":3,\"blocks\":300,\"blocks_in_use\":3,"
                   "\"shared_blocks\":0,\"sharing_devices\":0,\"must_share\":0}\n",
                   "",
                   0}),
    case_name);

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
        fields.append(1, 'x').append(std::to_string(i)).append(" ").append(macs[i]);
        fields.append(" ").append(labels[i]).append("\n");
        csv.append(1, '"').append(labels[i]).append("\nand \"\"more\"\"\",").append(macs[i]);
        csv += "\r\n";
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

// Text as JSON: escaped, and valid UTF-8 whatever the bytes, through the
// output's buffer and through a small one of its own alike.
TEST(json_text, escapes_and_mends)
{
    const std::string long_text = std::string(4093, 'a') + "\xf0\x9f\x98\x80" + "b";
    const struct {
        std::string text, json;
    } cases[] = {
        {"plain text, longer than a word", "plain text, longer than a word"},
        {"\"\\/\n\r\t\x01\x1f\x7f", "\\\"\\\\/\\n\\r\\t\\u0001\\u001f\\u007f"},
        // The bounds of a second byte, both ends: an E1 with a C0 after it is
        // three bad bytes; U+00BF and U+043F are kept.
        {"\xe1\xc0\x80|\xc2\xbf\xd0\xbf", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd|\xc2\xbf\xd0\xbf"},
        // C1 controls (U+0080 to U+009F) are escaped too; U+00A0 is not.
        {"\xc2\x80\xc2\x9b[2J\xc2\x9f\xc2\xa0", "\\u0080\\u009b[2J\\u009f\xc2\xa0"},
        {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf",
         "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf"},
        // Overlong forms, surrogates, past U+10FFFF, stray and cut short.
        {"\xc0\xaf|\xe0\x80\xaf|\xed\xa0\x80|\xf4\x90\x80\x80|\x80|\xe2\x82",
         "\xef\xbf\xbd\xef\xbf\xbd|\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd|"
         "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd|\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd|"
         "\xef\xbf\xbd|\xef\xbf\xbd\xef\xbf\xbd"},
        // A character across the end of a piece stays whole.
        {long_text, long_text},
    };
    for (const auto &c : cases) {
        for (const std::size_t capacity : {std::size_t{1} << 16, std::size_t{64}}) {
            std::vector<char> buffer(capacity);
            std::string got;
            struct sink_file {
                std::FILE *file = std::tmpfile();
                ~sink_file() { std::fclose(file); }
            } sink;
            portslot::output to_file(fileno(sink.file), buffer.data(), buffer.size());
            portslot::audit::write_json_chars(to_file, c.text.data(), c.text.size());
            ASSERT_TRUE(to_file.flush());
            std::rewind(sink.file);
            for (int ch; (ch = std::fgetc(sink.file)) != EOF;)
                got += static_cast<char>(ch);
            EXPECT_EQ(got, c.json) << testing::PrintToString(c.text.substr(0, 40)) << capacity;
        }
    }
}

} // namespace
