// The option scanner: argument vectors and the records they give.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <portslot/options.h>

namespace {

struct scan_case {
    std::vector<const char *> argv; // element 0 included
    std::int32_t port_min, port_max, port_count, port_num;
    const char *mac; // expected MAC text, or null
};

void PrintTo(const scan_case &c, std::ostream *os)
{
    for (const char *arg : c.argv)
        *os << '[' << arg << ']';
}

class scanner : public testing::TestWithParam<scan_case> {};

TEST_P(scanner, reads_record)
{
    const scan_case &c = GetParam();
    const portslot::port_options o =
        portslot::getopt(static_cast<int>(c.argv.size()), c.argv.data());
    EXPECT_EQ(o.port_min, c.port_min);
    EXPECT_EQ(o.port_max, c.port_max);
    EXPECT_EQ(o.port_count, c.port_count);
    EXPECT_EQ(o.port_num, c.port_num);
    EXPECT_STREQ(o.mac_address, c.mac); // equal when both are null
}

constexpr const char *mac = "aa:bb:cc:dd:ee:ff";

INSTANTIATE_TEST_SUITE_P(
    cases, scanner,
    testing::Values(scan_case{{}, 40000, 41000, 2, -1, nullptr},
                    scan_case{{"./tool"}, 40000, 41000, 2, -1, "./tool"},
                    scan_case{{"t", "--port-num", "1", mac}, 40000, 41000, 2, 1, mac},
                    scan_case{{"t", mac, "--port-num", "1"}, 40000, 41000, 2, 1, mac},
                    scan_case{{"t", "--port-min", "1", "--port-max", "2", "--port-count", "3",
                               "--port-num", "4", mac},
                              1,
                              2,
                              3,
                              4,
                              mac},
                    // A missing value leaves the field as it was.
                    scan_case{{"t", "--port-num"}, 40000, 41000, 2, -1, "t"},
                    // The value is the next argument whatever it is.
                    scan_case{{"t", "--port-min", "--port-max", "5"}, 0, 41000, 2, -1, "5"},
                    scan_case{{"t", "--port-num", mac}, 40000, 41000, 2, 0, "t"},
                    // Only exact, whole, case-sensitive names are options.
                    scan_case{{"t", "--port-min=100"}, 40000, 41000, 2, -1, "--port-min=100"},
                    scan_case{{"t", "--PORT-MIN", "7"}, 40000, 41000, 2, -1, "7"},
                    scan_case{{"t", "--port-mi", "7"}, 40000, 41000, 2, -1, "7"},
                    // The last plain argument and the later value win.
                    scan_case{
                        {"t", mac, "11:22:33:44:55:66"}, 40000, 41000, 2, -1, "11:22:33:44:55:66"},
                    scan_case{{"t", "--port-num", "1", "--port-num", "2"}, 40000, 41000, 2, 2, "t"},
                    // Numbers read like atoi: white space, sign, trailing junk, no digits.
                    scan_case{{"t", "--port-min", "40000abc", "--port-max", " +1junk",
                               "--port-count", "x", "--port-num", "-7"},
                              40000,
                              1,
                              0,
                              -7,
                              "t"},
                    scan_case{{"t", "--port-min", "\t\n 12", "--port-max", "+-3", "--port-count",
                               "", "--port-num", "0x10"},
                              12,
                              0,
                              0,
                              0,
                              "t"},
                    // Values past 32 bits saturate.
                    scan_case{{"t", "--port-min", "2147483647", "--port-max", "-2147483648",
                               "--port-count", "2147483648", "--port-num", "-2147483649"},
                              INT32_MAX,
                              INT32_MIN,
                              INT32_MAX,
                              INT32_MIN,
                              "t"},
                    scan_case{{"t", "--port-min", "99999999999999999999999", "--port-max",
                               "-99999999999999999999999"},
                              INT32_MAX,
                              INT32_MIN,
                              2,
                              -1,
                              "t"}));

} // namespace
