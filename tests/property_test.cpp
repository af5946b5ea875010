// Properties of the derivation over many generated inputs, and agreement with
// a plain 32-bit model wherever that model's arithmetic does not wrap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include <portslot/port_derivation.h>

namespace {

// The derivation as 32-bit arithmetic, written independently; only trusted
// where the range's width fits in 32 bits and the rounding does not wrap.
std::int32_t model_port(const std::string &mac, std::int32_t min, std::int32_t max,
                        std::int32_t count, std::int32_t num)
{
    if (mac.size() > 17)
        return -1;
    std::string digits;
    for (char c : mac)
        if (c != ':')
            digits += c;
    if (digits.size() != 12)
        return -1;
    const auto key = static_cast<std::uint64_t>(static_cast<std::int64_t>(
        static_cast<std::int32_t>(std::strtoul(digits.c_str() + 6, nullptr, 16))));
    if (min % 2 != 0)
        min += 1;
    if (max % 2 != 0)
        max -= 1;
    if (max < min || count <= 0 || num <= 0 || num > count)
        return -1;
    const std::int32_t even = (max - min) / 2 + 1;
    const std::int32_t blocks = even / count;
    if (blocks == 0)
        return -1;
    const std::uint64_t block = key % static_cast<std::uint64_t>(static_cast<std::int64_t>(blocks));
    const auto index = static_cast<std::int64_t>(block) * count + (num - 1);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(min) +
                                     2u * static_cast<std::uint32_t>(index));
}

class generator {
  public:
    std::string mac()
    {
        static constexpr char hex[] = "0123456789abcdefABCDEF";
        static constexpr char odd[] = "0123456789abcdef:xXz +-\t";
        std::string text;
        switch (pick(0, 2)) {
        case 0: // plain colon-separated address
            for (int i = 0; i < 6; ++i) {
                if (i > 0)
                    text += ':';
                text += hex[pick(0, 21)];
                text += hex[pick(0, 21)];
            }
            return text;
        case 1: // twelve digits
            for (int i = 0; i < 12; ++i)
                text += hex[pick(0, 21)];
            return text;
        default: // anything of about the right length
            for (int n = pick(0, 20); n > 0; --n)
                text += odd[pick(0, 23)];
            return text;
        }
    }

    std::int32_t bound()
    {
        switch (pick(0, 3)) {
        case 0:
            return pick(39990, 41010);
        case 1:
            return pick(-100, 100);
        case 2:
            return pick(INT32_MIN, INT32_MAX);
        default:
            return pick(0, 1) ? INT32_MAX - pick(0, 3) : INT32_MIN + pick(0, 3);
        }
    }

    std::int32_t count() { return pick(0, 3) ? pick(1, 8) : pick(-2, 1000); }

    std::int32_t pick(std::int32_t lo, std::int32_t hi)
    {
        return std::uniform_int_distribution<std::int32_t>(lo, hi)(engine_);
    }

  private:
    std::mt19937_64 engine_{20261207};
};

TEST(derivation_properties, hold_over_generated_inputs)
{
    generator gen;
    for (int trial = 0; trial < 200000; ++trial) {
        const std::string mac = gen.mac();
        std::int32_t min = gen.bound(), max = gen.bound();
        if (gen.pick(0, 1))
            max = static_cast<std::int32_t>(std::clamp<std::int64_t>(
                std::int64_t{min} + gen.pick(-4, 2000), INT32_MIN, INT32_MAX));
        const std::int32_t count = gen.count();
        const std::int32_t num = gen.pick(-1, count < 1 ? 2 : count + 1);
        SCOPED_TRACE(testing::Message()
                     << '"' << mac << "\" " << min << ' ' << max << ' ' << count << ' ' << num);

        const std::int32_t port = portslot::compute_port(mac.c_str(), min, max, count, num);

        const std::int64_t low = std::int64_t{min} + (min & 1);
        const std::int64_t high = std::int64_t{max} - (max & 1);
        if (high - low <= INT32_MAX && min != INT32_MAX) {
            ASSERT_EQ(port, model_port(mac, min, max, count, num));
        }
        if (port == -1)
            continue;
        ASSERT_EQ(port % 2, 0);
        ASSERT_GE(port, low);
        ASSERT_LE(port, high);
        // The device's ports lie two apart, from the block's first one.
        const std::int32_t first = portslot::compute_port(mac.c_str(), min, max, count, 1);
        ASSERT_EQ(std::int64_t{port}, std::int64_t{first} + 2 * (num - 1));
    }
}

} // namespace
