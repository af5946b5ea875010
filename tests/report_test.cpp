// The parameter report and the output it goes through: exact bytes, for
// records and texts the command line cannot make.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "output.h"
#include "report.h"

namespace {

// What `write` sends through an output, read back from a temporary file.
template <typename Write> std::string written(Write write)
{
    std::FILE *file = std::tmpfile();
    {
        portslot::output out(fileno(file));
        write(out);
        EXPECT_TRUE(out.flush());
    }
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

TEST(report, prints_every_field_as_given)
{
    const struct {
        portslot::port_options options;
        const char *want;
    } cases[] = {
        {{INT32_MIN, INT32_MAX, 0, -1, "aa:bb"},
         "port_min    = -2147483648\nport_max    = 2147483647\nport_count  = 0\n"
         "port_num    = -1\nmac_address = aa:bb\n"},
        // A record from an empty argument vector has no MAC text.
        {{40000, 41000, 2, -1, nullptr},
         "port_min    = 40000\nport_max    = 41000\nport_count  = 2\nport_num    = -1\n"
         "mac_address = (null)\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(written([&](portslot::output &out) { portslot::print_options(c.options, out); }),
                  c.want);
}

TEST(output, writes_numbers_as_printf_and_texts_of_any_length)
{
    for (const std::int32_t n : {0, 7, -7, 10, 40556, INT32_MAX, INT32_MIN}) {
        char want[16];
        std::snprintf(want, sizeof want, "%d", n);
        EXPECT_EQ(written([&](portslot::output &out) { out.number(n); }), want);
    }
    // Pieces that fill the buffer exactly, overrun it, and exceed it whole.
    const std::string a(511, 'a'), b(2, 'b'), c(5000, 'c');
    EXPECT_EQ(written([&](portslot::output &out) {
                  out.text(a.c_str());
                  out.text(b.c_str());
                  out.text(c.c_str());
                  out.bytes("d", 1);
              }),
              a + b + c + "d");
}

TEST(output, keeps_the_first_write_error)
{
    portslot::output out(-1);
    out.text("lost");
    EXPECT_FALSE(out.flush());
    EXPECT_EQ(out.error(), EBADF);
}

} // namespace
