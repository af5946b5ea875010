// End-to-end runs of the built tool: exact bytes on both streams and the
// exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_tool.h"

namespace {

std::string report(const std::string &min, const std::string &max, const std::string &count,
                   const std::string &num, const std::string &mac)
{
    return "port_min    = " + min + "\nport_max    = " + max + "\nport_count  = " + count +
           "\nport_num    = " + num + "\nmac_address = " + mac + "\n";
}

struct cli_case {
    std::vector<std::string> argv; // element 0 included
    std::string out;
    int status;
};

void PrintTo(const cli_case &c, std::ostream *os)
{
    for (const std::string &arg : c.argv)
        *os << '[' << arg.substr(0, 20) << ']';
}

class cli : public testing::TestWithParam<cli_case> {};

TEST_P(cli, prints_exact_bytes_and_status)
{
    const cli_case &c = GetParam();
    const tool_run run = run_tool(PORTSLOT_PATH, c.argv);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, c.status);
}

const std::string mac = "aa:bb:cc:dd:ee:ff";
const std::string long_text(100000, 'x');

INSTANTIATE_TEST_SUITE_P(
    runs, cli,
    testing::Values(
        // The worked example and its second port: digits only, no line end.
        cli_case{{"portslot", "--port-num", "1", mac}, "40556", 0},
        cli_case{{"portslot", "--port-num", "2", mac}, "40558", 0},
        cli_case{{"portslot", mac, "--port-num", "1"}, "40556", 0},
        cli_case{{"x", "--port-min", "0", "--port-max", "0", "--port-count", "1", "--port-num", "1",
                  "001122334455"},
                 "0",
                 0},
        // The invocation name alone is the MAC text of the report.
        cli_case{{"./tool"}, report("40000", "41000", "2", "-1", "./tool"), 255},
        // Linux gives an empty vector an empty element 0; a vector of options
        // only has no MAC text, shown the same way.
        cli_case{{}, report("40000", "41000", "2", "-1", ""), 255},
        cli_case{{"--port-num", "1"}, report("40000", "41000", "2", "1", ""), 255},
        // Seventeen bytes and no colon: too long once colons are dropped,
        // however the working copy is sized.
        cli_case{{"portslot", "--port-num", "1", "aabbccddeeff01234"},
                 report("40000", "41000", "2", "1", "aabbccddeeff01234"),
                 255},
        cli_case{
            {"portslot", "--port-num", "3", mac}, report("40000", "41000", "2", "3", mac), 255},
        // The report shows the bounds as entered, not rounded.
        cli_case{{"portslot", "--port-min", "40001", "--port-max", "40001", "--port-num", "1", mac},
                 report("40001", "40001", "2", "1", mac),
                 255},
        // A negative derived port is a failure.
        cli_case{{"p", "--port-min", "-10", "--port-max", "10", "--port-count", "1", "--port-num",
                  "1", "000000000000"},
                 report("-10", "10", "1", "1", "000000000000"),
                 255},
        // A range with no whole block.
        cli_case{{"p", "--port-min", "40000", "--port-max", "40000", "--port-num", "1", mac},
                 report("40000", "40000", "2", "1", mac),
                 255},
        // Saturated numbers and atoi-style junk, shown as read.
        cli_case{{"p", "--port-min", "99999999999", "--port-max", "-99999999999", "--port-count",
                  " +3junk", "--port-num", "x", mac},
                 report("2147483647", "-2147483648", "3", "0", mac),
                 255},
        cli_case{{"p", "--port-min", "-2000000000", "--port-max", "2000000000", "--port-count", "3",
                  "--port-num", "3", "ff:ff:ff:ff:ff:ff"},
                 report("-2000000000", "2000000000", "3", "3", "ff:ff:ff:ff:ff:ff"),
                 255},
        // Ports above 65535 are printed when the range asks for them.
        cli_case{{"p", "--port-min", "100000", "--port-max", "100002", "--port-num", "2", mac},
                 "100002",
                 0},
        // A text of any length is reported whole.
        // Eighteen bytes whose first seventeen are a whole address.
        cli_case{{"p", "--port-num", "1", "aa:bb:cc:dd:ee:ff:"},
                 report("40000", "41000", "2", "1", "aa:bb:cc:dd:ee:ff:"),
                 255},
        cli_case{{"p", "--port-num", "1", long_text},
                 report("40000", "41000", "2", "1", long_text),
                 255}));

TEST(cli_output, write_error_fails_the_run)
{
    for (const std::vector<std::string> &argv :
         {std::vector<std::string>{"portslot", "--port-num", "1", mac},
          std::vector<std::string>{"portslot"},
          // A report longer than the output buffer fails while it is written.
          std::vector<std::string>{"portslot", long_text}}) {
        const tool_run run = run_tool(PORTSLOT_PATH, argv, "/dev/full");
        EXPECT_EQ(run.err, "portslot: write error: No space left on device\n");
        EXPECT_EQ(run.status, 255);
    }
}

} // namespace
