// The parameter report: exact lines for records the command line cannot make.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "report.h"

namespace {

std::string report_of(const portslot::port_options &options)
{
    char text[512] = {};
    std::FILE *out = fmemopen(text, sizeof text - 1, "w");
    portslot::print_options(options, out);
    std::fclose(out);
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
        EXPECT_EQ(report_of(c.options), c.want);
}

} // namespace
