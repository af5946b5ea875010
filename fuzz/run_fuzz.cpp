// Drives a whole run: the input split at NUL bytes into an argument vector,
// then the scanner, the derivation and the report. The record must match a
// plain, independent reading of the same vector.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <vector>

#include <portslot/options.h>
#include <portslot/port_derivation.h>

#include "output.h"
#include "report.h"

namespace {

// atoi's reading with saturation, digit by digit.
std::int32_t plain_number(const std::string &text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), std::int64_t{1} << 32);
    if (negative)
        value = -value;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

int sink()
{
    static const int fd = open("/dev/null", O_WRONLY);
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Each argument in a buffer of exactly its own size.
    std::vector<std::string> words(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\0')
            words.emplace_back();
        else
            words.back() += static_cast<char>(data[i]);
    }
    std::vector<const char *> argv;
    for (const std::string &word : words)
        argv.push_back(word.c_str());

    const portslot::port_options got = portslot::getopt(static_cast<int>(argv.size()), argv.data());

    portslot::port_options want{40000, 41000, 2, -1, nullptr};
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::int32_t *field = words[i] == "--port-min"     ? &want.port_min
                              : words[i] == "--port-max"   ? &want.port_max
                              : words[i] == "--port-count" ? &want.port_count
                              : words[i] == "--port-num"   ? &want.port_num
                                                           : nullptr;
        if (field == nullptr)
            want.mac_address = argv[i];
        else if (++i < words.size())
            *field = plain_number(words[i]);
    }
    if (got.port_min != want.port_min || got.port_max != want.port_max ||
        got.port_count != want.port_count || got.port_num != want.port_num ||
        got.mac_address != want.mac_address)
        std::abort();

    const std::int32_t port = portslot::compute_port(got.mac_address, got.port_min, got.port_max,
                                                     got.port_count, got.port_num);
    portslot::output out(sink());
    if (port < 0)
        portslot::print_options(got, out);
    else
        out.number(port);
    if (!out.flush())
        std::abort();
    return 0;
}
