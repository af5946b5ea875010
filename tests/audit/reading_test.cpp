// Reading inventories: lines, files, standard input, the plan's rows and devices listed twice.
#include "audit_fixture.h"

namespace {

INSTANTIATE_TEST_SUITE_P(
    read, audit,
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
        // A last address shorter than the usual form, without a line end.
        audit_case{"short_last_address_shared",
                   {"@s"},
                   {{"s", "00:00:00:00:00:8b x\naabbccddeeff"}},
                   "40556-40558\t00:00:00:00:00:8b\tx\n40556-40558\taabbccddeeff\t\n"
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
                   0}),
    case_name);

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

TEST(inventory, splits_lines_into_address_and_label)
{
    using namespace std::string_literals;
    using portslot::audit::record_format;
    const record_format plain{}, first{record_format::fields, 0, 1},
        second{record_format::fields, 0, 2}, third{record_format::fields, 0, 3},
        comma{record_format::fields, ',', 2}, csv{record_format::csv, ',', 2},
        csv_first{record_format::csv, ',', 1};
    const struct {
        std::string text;
        std::vector<std::string> entries; // "line|mac|label", then "|no field", "|quote", "|nul"
        record_format format;
    } cases[] = {
        {"", {}, plain},
        {"\n\n \t\n# x\n  #y z\n", {}, plain},
        {"a", {"1|a|"}, plain},
        {"a b\n", {"1|a|b"}, plain},
        {"\v\fa\tb  c \r\n", {"1|a|b  c"}, plain},
        {"a#b c#d\n#\nx", {"1|a#b|c#d", "3|x|"}, plain},
        {"a \r", {"1|a|"}, plain},
        {"a\n \t", {"1|a|"}, plain},
        // A lone carriage return ends a line too; CR LF is one line end.
        {"a x\rb y\r\rc\r\n\nd\n\re", {"1|a|x", "2|b|y", "4|c|", "6|d|", "8|e|"}, plain},
        // A last line without a line end, read to its end and no further.
        {"aa:bb:cc:dd:ee:ff a\tbcdefghij", {"1|aa:bb:cc:dd:ee:ff|a\tbcdefghij"}, plain},
        // Another field: the label joins what stands before and after it.
        {"1733 aa:bb  x y \n# c\n  only\nabcdefgh\x01ijk m\0c\n  \t"s,
         {"1|aa:bb|1733 x y", "3|||no field", "4|m\0c|abcdefgh\x01ijk|nul"s},
         second},
        {"a b\na b c\nx y", {"1|||no field", "2|c|a b", "3|||no field"}, third},
        {"z\n0123456789abcdefghij mac x\n  p\tq \v m r", {"1|||no field", "2|mac|0123456789abcdefghij x", "3|q|p m r"}, second},
        {"  p\tq \v m r\n", {"1|m|p\tq r"}, third},
        {"x m\n", {"1|m|x"}, second},
        {"a b  c ", {"1|a|b  c"}, first},
        {" a , mac , b ,\n,m\n\tx", {"1|mac|a,b ,", "2|m|", "3|||no field"}, comma},
        // CSV: quotes hold delimiters, quotes and line ends; an address may
        // hold no quote.
        // A quote that never closes, or text after a closing quote, makes the
        // record malformed: the next starts on the line after its first.
        {"x,\"m,\"\"a\",y\nx,\"aa\"b\n\"p\r\nq\",z\r\n\n#,w\nx,\"open",
         {"1|m,\"\"a|x,y|quote", "2|||no field|malformed 2", "3|z|\"p\r\nq\"", "6|w|#",
          "7|||no field|malformed 1"},
         csv},
        {"a,\"q\" ,z\nb,c\nx,\"open\ny,m",
         {"1|||no field|malformed 2", "2|c|b", "3|||no field|malformed 1", "4|m|y"},
         csv},
        {"a,\"two\nlines\" x\nb,c\n", {"1|||no field|malformed 2", "2|||no field", "3|c|b"}, csv},
        {"\"a\nb\",c\nd", {"1|a\nb|c", "3|d|"}, csv_first},
        {"\"a\rb\",c\nx,m,", {"1|c|\"a\rb\"", "3|m|x,"}, csv},
        {"x,\"open\r", {"1|||no field|malformed 1"}, csv},
    };
    for (const auto &c : cases) {
        std::vector<std::string> got;
        const guarded_text text(c.text);
        portslot::audit::inventory inv;
        inv.text = text.data();
        inv.size = c.text.size();
        inv.format = c.format;
        uint64_t base = 0;
        const portslot::audit::fleet view{&inv, &base, 1, c.format.kind == record_format::plain};
        portslot::audit::for_each_record(
            inv, inv.text, 1, [&](const portslot::audit::entry &e, const char *record) {
                // The label as a row reads it again, from the device's place.
                const auto place =
                    static_cast<uint64_t>(portslot::audit::device_place(record, e, inv.format) - inv.text);
                std::string label;
                if (!e.no_field && e.malformed == 0) {
                    const portslot::audit::entry r = portslot::audit::by_format(view, [&](auto plain) {
                        return portslot::audit::entry_at<decltype(plain)::value>(view, place);
                    });
                    label.assign(r.before, r.before_size);
                    if (r.joiner != 0)
                        label += r.joiner;
                    label.append(r.after, r.after_size);
                }
                got.push_back(
                    std::to_string(e.line) + "|" + std::string(e.mac, e.mac_size) + "|" + label +
                    (e.no_field ? "|no field" : "") + (e.has_quote ? "|quote" : "") +
                    (e.has_nul ? "|nul" : "") +
                    (e.malformed != 0 ? "|malformed " + std::to_string(e.malformed) : ""));
            });
        EXPECT_EQ(got, c.entries) << testing::PrintToString(c.text);
    }
}

TEST(inventory, reads_a_stream_longer_than_its_first_guess)
{
    std::FILE *pipe = popen("head -c 300000 /dev/zero", "r");
    ASSERT_NE(pipe, nullptr);
    portslot::output diagnostics(2);
    char *text = nullptr;
    std::size_t size = 0;
    EXPECT_EQ(portslot::audit::read_all(fileno(pipe), "p", text, size, diagnostics, SIZE_MAX), 0);
    pclose(pipe);
    EXPECT_EQ(std::string(text, size), std::string(300000, '\0'));
    std::free(text);
    EXPECT_EQ(portslot::audit::read_all(-1, "p", text, size, diagnostics, SIZE_MAX), EBADF);
    EXPECT_EQ(text, nullptr);
    // A pipe that passes the bound ends the run as it grows.
    EXPECT_EXIT(
        {
            std::FILE *endless = popen("cat /dev/zero", "r");
            portslot::audit::read_all(fileno(endless), "p", text, size, diagnostics, 100000);
        },
        testing::ExitedWithCode(2), "p: inventories of more than 8 GiB in all are too large");
}

// The search finds exactly what trying every number of blocks finds: the
// fewest devices sharing, and the fewest blocks that give it.
// The audit's own reading of an address gives the derivation's port, for
// the usual form and for every near miss of it.
TEST(block_of_address, agrees_with_the_derivation)
{
    std::mt19937_64 random(20261208);
    using namespace std::string_literals;
    const std::string bytes = "0123456789abcdefABCDEF:::: \t-+xXgG\0\xff"s;
    for (int i = 0; i < 200000; ++i) {
        std::string mac;
        if (i % 2 == 0) { // the usual form, a byte or two changed
            char usual[18];
            std::snprintf(
                usual, sizeof usual, "%02x:%02x:%02x:%02x:%02x:%02x",
                static_cast<unsigned>(random() % 256), static_cast<unsigned>(random() % 256),
                static_cast<unsigned>(random() % 256), static_cast<unsigned>(random() % 256),
                static_cast<unsigned>(random() % 256), static_cast<unsigned>(random() % 256));
            mac = usual;
            for (int changes = static_cast<int>(random() % 3); changes > 0; --changes)
                mac[random() % mac.size()] = bytes[random() % bytes.size()];
        } else {
            for (std::size_t n = random() % 20; n > 0; --n)
                mac += bytes[random() % bytes.size()];
        }
        const auto min = static_cast<std::int32_t>(random() % 70000) - (i % 7 == 0 ? 1 : 0);
        const auto max = min + static_cast<std::int32_t>(random() % 3000);
        const auto count = 1 + static_cast<std::int32_t>(random() % 5);
        if (portslot::port_block_count(min, max, count) == 0 || min < -1)
            continue;
        const portslot::audit::block_layout layout(min, max, count);
        // (No argument can carry a NUL byte: such an address gives no port.)
        const std::int32_t want = mac.find('\0') == std::string::npos
                                      ? portslot::compute_port(mac.c_str(), min, max, count, 1)
                                      : -1;
        ASSERT_EQ(portslot::audit::first_port_of_address(mac.data(), mac.size(), layout), want)
            << testing::PrintToString(mac) << " " << min << " " << max << " " << count;
        // And its key, as the library reads it, for the search.
        char digits[18];
        if (want >= 0) {
            ASSERT_EQ(portslot::audit::key_of_address(mac.data(), mac.size()),
                      portslot::mac_tail_value(portslot::remove_char(digits, mac.c_str(), ':')))
                << testing::PrintToString(mac);
        }
    }
}

} // namespace
