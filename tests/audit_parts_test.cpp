// The parts of portslot-audit: its command line and its reading of
// inventories.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audit_options.h"
#include "block_of_address.h"
#include "block_sort.h"
#include "duplicate_report.h"
#include "fatal.h"
#include "fleet.h"
#include "inventory.h"
#include "inventory_lines.h"
#include "inventory_records.h"
#include "host_aliases.h"
#include "json_text.h"
#include "metrics.h"
#include "listed_twice.h"
#include "memory.h"
#include "output.h"
#include "placement.h"
#include "plan.h"
#include "plan_notes.h"
#include "plan_printer.h"
#include "public_key.h"
#include "socket_table.h"
#include "suggest.h"

#include <functional>
#include <portslot/port_derivation.h>

#include "mac_text.h"

#include <map>
#include <random>

namespace {

using portslot::audit::parse_command;

// A copy of `text` that ends where a page ends, with an inaccessible page
// after it: a read past its end crashes the test.
class guarded_text {
  public:
    explicit guarded_text(const std::string &text)
    {
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        size_ = (text.size() / page + 2) * page;
        map_ = static_cast<char *>(
            mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(map_ + size_ - page, page, PROT_NONE);
        data_ = map_ + size_ - page - text.size();
        std::copy(text.begin(), text.end(), data_);
    }
    guarded_text(const guarded_text &) = delete;
    guarded_text &operator=(const guarded_text &) = delete;
    ~guarded_text() { munmap(map_, size_); }
    const char *data() const { return data_; }

  private:
    char *map_, *data_;
    std::size_t size_;
};
using portslot::audit::parsed_command;

// A fleet of one inventory named "fleet", holding `size` bytes at `text`.
struct one_inventory {
    portslot::audit::inventory inv;
    std::uint64_t base = 0;
    portslot::audit::fleet inventories{&inv, &base, 1};

    one_inventory(const char *text, std::size_t size)
    {
        inv.name = "fleet";
        inv.text = text;
        inv.size = size;
    }
    one_inventory(const one_inventory &) = delete;
};

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
        portslot::audit::for_each_record(
            inv, inv.text, 1, [&](const portslot::audit::entry &e, const char *) {
                std::string label(e.before, e.before_size);
                if (e.joiner != 0)
                    label += e.joiner;
                label.append(e.after, e.after_size);
                got.push_back(
                    std::to_string(e.line) + "|" + std::string(e.mac, e.mac_size) + "|" + label +
                    (e.no_field ? "|no field" : "") + (e.has_quote ? "|quote" : "") +
                    (e.has_nul ? "|nul" : "") +
                    (e.malformed != 0 ? "|malformed " + std::to_string(e.malformed) : ""));
            });
        EXPECT_EQ(got, c.entries) << testing::PrintToString(c.text);
    }
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

// A label's value for the metrics: the format's three escapes, other
// control bytes and bad UTF-8 as U+FFFD, the tab kept, cut at 256 bytes
// where a character starts.
TEST(metrics, label_values_escaped_and_cut)
{
    const std::string long_label = std::string(255, 'a') + "\xc3\xa9" + "b";
    const struct {
        std::string text, value;
    } cases[] = {
        {"gateway \"x\"\\y\nz\tw", "gateway \\\"x\\\"\\\\y\\nz\tw"},
        {"a\x01\x1b\x7f\xff\xc3\xa9", "a\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xc3\xa9"},
        {long_label, std::string(255, 'a')},
    };
    for (const auto &c : cases) {
        std::FILE *file = std::tmpfile();
        portslot::output out(fileno(file));
        portslot::audit::write_label_value(out, c.text.data(), c.text.size());
        ASSERT_TRUE(out.flush());
        std::rewind(file);
        std::string got;
        for (int ch; (ch = std::fgetc(file)) != EOF;)
            got += static_cast<char>(ch);
        std::fclose(file);
        EXPECT_EQ(got, c.value);
    }
}

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
    };
    for (const auto &c : cases)
        EXPECT_EQ(portslot::audit::usable_alias(c.word, strlen(c.word)), c.usable) << c.word;
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

// Running out of memory at any allocation ends the run with the documented
// answer, never a crash or a wrong one: each step is run once to count its
// allocations, then once with each of them failing.
TEST(audit_memory, every_allocation_may_fail)
{
    using namespace portslot::audit;
    const std::string text = "aa:bb:cc:dd:ee:ff a\n00:00:00:00:00:8b b\nAABBCCDDEEFF c\n"
                             "00:00:00:00:00:01 d"; // its row ends where the text does
    const guarded_text guarded(text);
    const one_inventory fleet_of_one(guarded.data(), text.size());
    const inventory &inv = fleet_of_one.inv;
    const fleet &inventories = fleet_of_one.inventories;
    const port_range range{40000, 41000, 2};
    const auto place = [&](growing_array<std::uint64_t> &devices) {
        for_each_entry(inv.text, inv.size, [&](const entry &e) {
            const std::string mac(e.mac, e.mac_size);
            devices.push(make_device(portslot::compute_port(mac.c_str(), 40000, 41000, 2, 1),
                                     static_cast<std::uint64_t>(e.mac - inv.text)));
            return true;
        });
        sort_by_block(devices);
    };
    char sink[64];
    const struct {
        const char *subject; // what the message names, if anything
        std::function<bool()> step;
    } steps[] = {
        {"fleet",
         [] {
             std::FILE *pipe = popen("head -c 300000 /dev/zero", "r");
             portslot::output diagnostics(2);
             char *read = nullptr;
             std::size_t size = 0;
             const int error = read_all(fileno(pipe), "p", read, size, diagnostics, SIZE_MAX);
             pclose(pipe);
             std::free(read);
             return error == 0 && size == 300000;
         }},
        {nullptr,
         [] { // large enough to ask for large pages
             growing_array<std::uint64_t> many;
             for (std::uint64_t i = 0; i < 600000; ++i)
                 many.push(i);
             return many.items[599999] == 599999;
         }},
        {nullptr,
         [&] {
             growing_array<std::uint64_t> devices;
             growing_array<duplicate> duplicates;
             portslot::output out(-1, sink, sizeof sink), err(-1, sink, sizeof sink);
             place(devices);
             drop_listed_twice(devices, inventories, kept_entry::first, duplicates);
             const plan p = make_plan(devices, range, rows_of::every_device);
             text_printer.rows(p, inventories, rows_place{out, false});
             json_printer.rows(p, inventories, rows_place{out, false});
             write_duplicates(duplicates, inventories, err);
             return p.summary.devices == 3 && duplicates.size == 1;
         }},
        {nullptr,
         [&] {
             growing_array<std::uint64_t> devices, keys;
             place(devices);
             keys_of(devices, inventories, keys);
             place_devices(devices, inventories, {40000, 40006, 2});
             return keys.size == 4 && devices.size == 4;
         }},
        {nullptr,
         [] {
             const std::uint64_t keys[] = {1, 2, 3, 3 + 4096};
             return search_blocks(keys, 4, 1 << 22).blocks == 5;
         }},
    };
    for (const auto &[subject, step] : steps) {
        set_memory_subject(subject);
        const long before = allocations();
        ASSERT_TRUE(step());
        const long count = allocations() - before;
        EXPECT_GT(count, 0) << "a step that allocates nothing";
        const std::string message = std::string("^portslot-audit: ") +
                                    (subject != nullptr ? std::string(subject) + ": " : "") +
                                    "Cannot allocate memory\n$";
        for (long granted = 0; granted < count; ++granted)
            EXPECT_EXIT(
                {
                    fail_allocation_after(granted);
                    step();
                    std::exit(0);
                },
                testing::ExitedWithCode(2), message)
                << (subject != nullptr ? subject : "-") << " " << granted;
    }
    set_memory_subject(nullptr);
}

// On a terminal, rows show the control bytes of addresses and labels
// escaped; elsewhere they pass unchanged.
// A file written while its plan is written: every row is true of one text,
// and the first device whose address no longer gives its block ends the run
// there. The change is made between planning and writing, as a writer of the
// file could make it; text rows and JSON rows alike.
TEST(plan, ends_at_the_first_row_whose_address_changed)
{
    using namespace portslot::audit;
    for (const bool json : {false, true}) {
        std::string text = "00:00:00:00:00:01 a\n00:00:00:00:00:02 b\n00:00:00:00:00:03 c\n";
        const one_inventory fleet_of_one(text.data(), text.size());
        const fleet &inventories = fleet_of_one.inventories;
        growing_array<std::uint64_t> devices;
        for (std::uint64_t i = 0; i < 3; ++i)
            devices.push(make_device(static_cast<std::int32_t>(40004 + 4 * i), 20 * i));
        text[20 + 16] = '9'; // the second device's address, now of another block
        std::FILE *sink = std::tmpfile();
        EXPECT_EXIT(
            {
                char buffer[64]; // (rows reach the file as they are written)
                portslot::output out(fileno(sink), buffer, sizeof buffer);
                keep_output_on_fatal(out);
                const plan p = make_plan(devices, {40000, 41000, 2}, rows_of::every_device);
                (json ? json_printer : text_printer).rows(p, inventories, rows_place{out, false});
                std::exit(0);
            },
            testing::ExitedWithCode(2), "portslot-audit: fleet: changed while being read\n");
        std::string written;
        std::rewind(sink);
        for (int c; (c = std::fgetc(sink)) != EOF;)
            written += static_cast<char>(c);
        std::fclose(sink);
        // What reached the file: the first device's row, whole, and no other.
        EXPECT_EQ(written,
                  json ? "{\"type\":\"device\",\"first\":40004,\"last\":40006,\"mac\":"
                         "\"00:00:00:00:00:01\",\"label\":\"a\",\"file\":\"fleet\",\"line\":1,"
                         "\"shared\":false}\n"
                       : "40004-40006\t00:00:00:00:00:01\ta\n");
    }
}

TEST(plan, escapes_rows_for_a_terminal)
{
    using namespace portslot::audit;
    const std::string text = "aa:bb:cc:dd:ee:ff \x1b]0;x\x07 y\xc2\x9b"
                             "1m\xc2\xa0\n";
    const one_inventory fleet_of_one(text.data(), text.size());
    const fleet &inventories = fleet_of_one.inventories;
    for (const bool escape : {false, true}) {
        growing_array<std::uint64_t> devices;
        devices.push(make_device(40556, 0));
        char buffer[128];
        portslot::output out(-1, buffer, sizeof buffer);
        const plan p = make_plan(devices, {40000, 41000, 2}, rows_of::every_device);
        text_printer.rows(p, inventories, rows_place{out, escape});
        const std::string row =
            std::string(buffer, std::find(buffer, buffer + sizeof buffer, '\n'));
        EXPECT_EQ(row, escape
                           ? "40556-40558\taa:bb:cc:dd:ee:ff\t\\x1b]0;x\\x07 y\\xc2\\x9b1m\xc2\xa0"
                           : "40556-40558\taa:bb:cc:dd:ee:ff\t\x1b]0;x\x07 y\xc2\x9b"
                             "1m\xc2\xa0");
    }
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

TEST(suggest, agrees_with_trying_every_number_of_blocks)
{
    std::mt19937_64 random(20261207);
    for (int fleet = 0; fleet < 3000; ++fleet) {
        // Now and then more blocks than can be counted in place, for a few
        // devices with distinct keys, so that a range without sharing ends it.
        const bool many_blocks = fleet % 100 == 0;
        std::vector<std::uint64_t> keys(random() % (many_blocks ? 10 : 40));
        const std::uint64_t spread = std::uint64_t{1} << (many_blocks ? 40 : random() % 26);
        for (std::uint64_t &key : keys)
            key = random() % 8 == 0 ? ~(random() % 1000) : random() % spread; // some past 2^32
        const std::int64_t max_blocks = many_blocks ? (std::int64_t{1} << 21) + 3
                                                    : 1 + static_cast<std::int64_t>(random() % 400);

        std::int64_t want_blocks = 0;
        std::uint64_t want_sharing = UINT64_MAX;
        for (std::int64_t blocks = 1; blocks <= max_blocks; ++blocks) {
            std::map<std::uint64_t, std::uint64_t> held;
            for (std::uint64_t key : keys)
                ++held[key % static_cast<std::uint64_t>(blocks)];
            std::uint64_t sharing = 0;
            for (const auto &[block, devices] : held)
                sharing += devices > 1 ? devices : 0;
            if (sharing < want_sharing) {
                want_sharing = sharing;
                want_blocks = blocks;
            }
            if (sharing == 0)
                break;
        }
        const auto got = portslot::audit::search_blocks(keys.data(), keys.size(), max_blocks);
        ASSERT_EQ(got.blocks, want_blocks) << "fleet " << fleet;
        ASSERT_EQ(got.sharing, want_sharing) << "fleet " << fleet;
    }
}

} // namespace

namespace {

// A long search tells how far it has come, every 256 numbers of blocks once
// its time is up, then once more when it is done; the line it writes on a
// terminal names the best range so far, and is cleared at the end.
TEST(suggest, reports_its_progress)
{
    using namespace portslot::audit;
    std::vector<std::uint64_t> keys(600);
    for (std::size_t i = 0; i < keys.size(); ++i)
        keys[i] = i; // no sharing before 600 blocks
    std::vector<std::int64_t> tried;
    search_progress progress{[](void *c, std::int64_t at, std::int64_t, suggestion) {
                                 static_cast<std::vector<std::int64_t> *>(c)->push_back(at);
                             },
                             &tried, 0};
    EXPECT_EQ(search_blocks(keys.data(), keys.size(), 1 << 20, &progress).blocks, 600);
    EXPECT_EQ(tried, (std::vector<std::int64_t>{256, 0})); // the next a quarter second later

    char buffer[256];
    const auto line = [&](std::int64_t at) {
        portslot::output err(-1, buffer, sizeof buffer);
        const port_range range{40001, 65535, 2};
        const terminal_progress on_terminal(err, range);
        on_terminal.progress.report(on_terminal.progress.context, at, 600, suggestion{10, 4});
        return std::string(buffer, std::find(buffer, buffer + sizeof buffer, 'K') + 1);
    };
    EXPECT_EQ(line(256), "\rportslot-audit: searching: 256 of 600 block counts (42%), best so far "
                         "--port-max 40040 with 4 devices sharing\x1b[K");
    EXPECT_EQ(line(0), "\r\x1b[K");
}

// Socket tables, a line at a time: the ports that listen, and the lines of
// neither form, as each form is told from a table's first line.
TEST(socket_table, reads_listening_ports_and_refuses_other_lines)
{
    using portslot::audit::port_set;
    const struct {
        std::string text;
        std::vector<int> ports; // listening; -1: the line is refused
    } cases[] = {
        // /proc/net/tcp and tcp6
        {"  sl  local_address rem_address   st\n", {}},
        {"0: 0100007F:9C46 00000000:0000 0A\n", {40006}},
        {"0:\t0100007f:9c46\t00000000:0000\t0a\tx\n", {40006}},
        {"12: 00000000000000000000000001000000:0016 00000000000000000000000000000000:0000 0A 0\n",
         {22}},
        {"0: 0100007F:9C46 00000000:0000 01\n", {}},
        {"0: 0100007F:9C46 00000000:0000 1A\n", {}},
        {"0: 0100007F:9C46 00000000:0000 0B\n", {}},
        {"0: 0100007F:9C46 00000000:0000 0A\n1 0100007F:9C46 00000000:0000 0A\n", {40006, -1}},
        {"0: 0100007F:9C46 00000000:0000 0A\n: 0100007F:9C46 00000000:0000 0A\n", {40006, -1}},
        {"0: 0100007F:9C46 00000000:0000 0A\n12\n", {40006, -1}},
        {"0: 0100007:9C46 00000000:0000 0A\n", {-1}},
        {"0: 000000000000000000000000010000000:9C46 00000000:0000 0A\n", {-1}},
        {"0: 0100007F9C46 00000000:0000 0A\n", {-1}},
        {"0: 0100007F:9C4\n", {-1}},
        {"0: 0100007F:9C4G 00000000:0000 0A\n", {-1}},
        {"0: 0100007F:9C46x 00000000:0000 0A\n", {-1}},
        {"0: 0100007F:9C46\n", {-1}},
        {"0: 0100007F:9C46 00000000:0000\n", {-1}},
        {"0: 0100007F:9C46 00000000:0000 0\n", {-1}},
        {"0: 0100007F:9C46 00000000:0000 0AA\n", {-1}},
        {"0: 0100007F:9C46 00000000:0000 G1\n", {-1}},
        {"0: 0100007F:9C46 00000000:0000 0G\n", {-1}},
        // ss -Hltn, with or without its header, with a netid column
        {"State Recv-Q Send-Q Local Address:Port Peer Address:PortProcess\n", {}},
        {"Netid State Recv-Q Send-Q Local Address:Port Peer Address:PortProcess\n", {}},
        {"LISTEN 0 128 127.0.0.1:40006 0.0.0.0:*\n", {40006}},
        {"LISTEN\t0\t128\t[::]:22\t[::]:*\n", {22}},
        {"tcp LISTEN 0 128 *:22 *:*\n", {22}},
        {"udp UNCONN 0 0 0.0.0.0:68 0.0.0.0:*\n", {}},
        {"ESTAB 0 0 10.0.0.1:22 10.0.0.2:50000\n", {}},
        {"LISTEN 0 128 127.0.0.1:65535 0.0.0.0:*\n", {65535}},
        {"LISTEN 0 128 127.0.0.1:65536 0.0.0.0:*\n", {-1}},
        {"LISTEN 0 128 127.0.0.1:ssh 0.0.0.0:*\n", {-1}},
        {"LISTEN 0 128 127.0.0.1: 0.0.0.0:*\n", {-1}},
        {"LISTEN 0 128 127.0.0.1 0.0.0.0:*\n", {-1}},
        {"LISTEN 0 128 127.0.0.1:22 0.0.0.0\n", {-1}},
        {"LISTEN 0 128 127.0.0.1:22\n", {-1}},
        {"LISTEN 0 x 127.0.0.1:22 0.0.0.0:*\n", {-1}},
        {"LISTEN 0 128 127.0.0.1:22 0.0.0.0:*", {-1}}, // cut short
        {"\n \n", {}},
        {"LISTEN 0 128 127.0.0.1:-1 0.0.0.0:*\n", {-1}},
        {"0: 0100007F:9C46 00000000:0000 0A\nsx 0100007F:9C46 00000000:0000 0A\n"
         "slot 0100007F:9C46 00000000:0000 0A\n",
         {40006, -1, -1}},
        {"~x LISTEN 0 1 a:1 b:2\n", {-1}},
        {"123\n", {-1}},
        {"(x\n", {-1}},
        {"x\n", {-1}},
        {"sx\n", {-1}},
        {"12x 0100007F:9C46\n", {-1}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        port_set listening;
        char buffer[4096];
        portslot::output err(-1, buffer, sizeof buffer);
        const bool ok =
            portslot::audit::read_socket_text("t", c.text.data(), c.text.size(), listening, err);
        const std::string said(buffer, err.room(1));
        std::vector<int> got;
        for (int port = 0; port <= 65535; ++port)
            if (listening.has(port))
                got.push_back(port);
        std::vector<int> want;
        size_t refused = 0;
        for (int port : c.ports)
            if (port < 0)
                ++refused;
            else
                want.push_back(port);
        EXPECT_EQ(got, want);
        EXPECT_EQ(ok, refused == 0);
        EXPECT_EQ(static_cast<size_t>(std::count(said.begin(), said.end(), '\n')), refused) << said;
    }
}

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
