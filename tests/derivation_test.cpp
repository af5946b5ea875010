// The port derivation: MAC text checks, the key, range rounding and checks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <portslot/port_derivation.h>

#include "mac_text.h"
#include "number_reading.h"

namespace {

struct port_case {
    const char *mac;
    std::int32_t port_min, port_max, port_count, port_num;
    std::int32_t port;
};

void PrintTo(const port_case &c, std::ostream *os)
{
    *os << (c.mac ? c.mac : "(null)") << ' ' << c.port_min << ' ' << c.port_max << ' '
        << c.port_count << ' ' << c.port_num;
}

class derivation : public testing::TestWithParam<port_case> {};

TEST_P(derivation, gives_port)
{
    const port_case &c = GetParam();
    EXPECT_EQ(portslot::compute_port(c.mac, c.port_min, c.port_max, c.port_count, c.port_num),
              c.port);
}

constexpr const char *mac = "aa:bb:cc:dd:ee:ff";

INSTANTIATE_TEST_SUITE_P(
    mac_texts, derivation,
    testing::Values(port_case{mac, 40000, 41000, 2, 1, 40556},
                    port_case{mac, 40000, 41000, 2, 2, 40558},
                    // Only the lengths are checked; colons may stand anywhere.
                    port_case{"aabbccddeeff", 40000, 41000, 2, 1, 40556},
                    port_case{"AA:BB:CC:DD:EE:FF", 40000, 41000, 2, 1, 40556},
                    port_case{"::aabbccddeeff", 40000, 41000, 2, 1, 40556},
                    port_case{"zz:zz:zz:dd:ee:ff", 40000, 41000, 2, 1, 40556},
                    port_case{"::::::aabbccddeeff", 40000, 41000, 2, 1, -1},
                    port_case{"aa-bb-cc-dd-ee-ff", 40000, 41000, 2, 1, -1},
                    port_case{"a:a:b:b:c:c:d:d:e:e:f:f", 40000, 41000, 2, 1, -1},
                    port_case{"aabbccddeef", 40000, 41000, 2, 1, -1},
                    port_case{"aabbccddeeff0", 40000, 41000, 2, 1, -1},
                    port_case{"", 40000, 41000, 2, 1, -1},
                    port_case{nullptr, 40000, 41000, 2, 1, -1},
                    // strtoul's rules for a tail that is not plain hexadecimal.
                    port_case{"aa:bb:cc:zz:zz:zz", 40000, 41000, 2, 2, 40002},
                    port_case{"aabbcc0xffff", 40000, 41000, 2, 1, 40140},
                    port_case{"aabbcc-00001", 40000, 41000, 2, 1, 40460},
                    port_case{"aabbcc 12345", 40000, 41000, 2, 1, 40260},
                    port_case{"00:1a:2b:3c:4d:5e", 40000, 41000, 4, 3, 40732}));

INSTANTIATE_TEST_SUITE_P(
    ranges, derivation,
    testing::Values(
        // Odd bounds round inwards to even.
        port_case{mac, 40001, 41001, 2, 1, 40558}, port_case{mac, 40001, 40001, 2, 1, -1},
        port_case{mac, 41000, 40000, 2, 1, -1}, port_case{mac, 0, 0, 1, 1, 0},
        port_case{mac, 40000, 40002, 2, 2, 40002}, port_case{"000000000000", -10, 10, 1, 1, -10},
        port_case{"000000000000", -3, -3, 1, 1, -1}, port_case{"000000000000", -3, -2, 1, 1, -2},
        // The block number and the port within it must be sensible.
        port_case{mac, 40000, 41000, 0, 1, -1}, port_case{mac, 40000, 41000, -2, 1, -1},
        port_case{mac, 40000, 41000, 2, 0, -1}, port_case{mac, 40000, 41000, 2, 3, -1},
        port_case{mac, 40000, 41000, 2, -1, -1},
        // No whole block in the range: no port, and no division by zero.
        port_case{mac, 40000, 40000, 2, 1, -1}, port_case{mac, 40000, 40004, 4, 1, -1},
        // Extremes that would wrap in 32 bits.
        port_case{mac, INT32_MAX, INT32_MAX, 1, 1, -1},
        port_case{"000000000000", INT32_MIN, INT32_MAX, 1, 1, INT32_MIN},
        port_case{"ff:ff:ff:ff:ff:ff", -2000000000, 2000000000, 3, 3, -1899336706},
        port_case{"ff:ff:ff:ff:ff:ff", INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX, 2147483644},
        port_case{"ff:ff:ff:ff:ff:ff", 0, INT32_MAX, 1, 1, 2 * 16777215}));

TEST(port_block_count, counts_whole_blocks_of_the_rounded_range)
{
    const struct {
        std::int32_t min, max, count;
        std::int64_t blocks;
    } cases[] = {
        {40000, 41000, 2, 250},
        {40000, 41000, 1, 501},
        {40001, 41001, 2, 250},
        {40000, 41000, 501, 1},
        {40000, 41000, 502, 0},
        {40001, 40001, 2, 0},
        {41000, 40000, 2, 0},
        {0, 0, 1, 1},
        {40000, 41000, 0, 0},
        {40000, 41000, -1, 0},
        {INT32_MIN, INT32_MAX, 1, std::int64_t{1} << 31},
        {INT32_MAX, INT32_MAX, 1, 0},
        {-3, -3, 1, 0},
        {-3, -2, 1, 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(portslot::port_block_count(c.min, c.max, c.count), c.blocks)
            << c.min << ' ' << c.max << ' ' << c.count;
}

struct text_case {
    const char *text;
    std::uint64_t key;
};

void PrintTo(const text_case &c, std::ostream *os)
{
    *os << (c.text ? c.text : "(null)");
}

class tail_value : public testing::TestWithParam<text_case> {};

TEST_P(tail_value, reads_last_six_as_hexadecimal)
{
    EXPECT_EQ(portslot::mac_tail_value(GetParam().text), GetParam().key);
}

INSTANTIATE_TEST_SUITE_P(texts, tail_value,
                         // Only the offset is the key's own: how the tail reads is strtoul's,
                         // which number_reading checks against the C library.
                         testing::Values(text_case{"aabbccddeeff", 14544639},
                                         text_case{"xxxxxxDDEEFF", 14544639},
                                         text_case{"aabbcc-00001", UINT64_MAX},
                                         text_case{"aabbc", 0}, text_case{"", 0},
                                         text_case{nullptr, 0}));

// The tool reads numbers without calling the C library; it must read them
// exactly as strtol (clamped to 32 bits) and strtoul do where long has 64
// bits, on every machine: so the 64-bit strtoll and strtoull are the model.
TEST(number_reading, agrees_with_the_c_library)
{
    const char *const texts[] = {"",
                                 "0",
                                 "7",
                                 "-7",
                                 "+7",
                                 "  \t\n\v\f\r42",
                                 "+-3",
                                 "-+3",
                                 "--3",
                                 "- 3",
                                 "12abc",
                                 "abc",
                                 "ff",
                                 "FF",
                                 "Ab",
                                 "0x",
                                 "0x1f",
                                 "0X1F",
                                 "0xg",
                                 "-0x10",
                                 " +0x10",
                                 "00x10",
                                 "x10",
                                 "2147483647",
                                 "2147483648",
                                 "-2147483648",
                                 "-2147483649",
                                 "99999999999999999999999",
                                 "-99999999999999999999999",
                                 "ffffffffffffffff",
                                 "10000000000000000",
                                 "-ffffffffffffffff",
                                 "-10000000000000000",
                                 "0000000000000000000000001",
                                 "\x80",
                                 "9\xff",
                                 "1 2"};
    for (const char *text : texts) {
        const long long wide = std::strtoll(text, nullptr, 10);
        const long long clamped = wide > INT32_MAX   ? INT32_MAX
                                  : wide < INT32_MIN ? INT32_MIN
                                                     : wide;
        EXPECT_EQ(portslot::read_decimal(text), clamped) << '"' << text << '"';
        EXPECT_EQ(portslot::read_hex(text), std::strtoull(text, nullptr, 16)) << '"' << text << '"';
    }
}

TEST(remove_char, drops_every_copy_of_the_byte)
{
    const struct {
        const char *src, *want;
    } cases[] = {{"aa:bb:cc", "aabbcc"}, {":::", ""},  {"", ""},
                 {"abc", "abc"},         {":a:", "a"}, {"a::b", "ab"}};
    for (const auto &c : cases) {
        char dst[16];
        EXPECT_EQ(portslot::remove_char(dst, c.src, ':'), dst);
        EXPECT_STREQ(dst, c.want) << c.src;
    }
    char dst[8];
    EXPECT_STREQ(portslot::remove_char(dst, "a-b-c", '-'), "abc");
}

} // namespace
