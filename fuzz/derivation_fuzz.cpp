// Drives compute_port with four numbers and a MAC text taken from the input,
// and checks what every result must satisfy.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <portslot/port_derivation.h>

#include "number_reading.h"

namespace {

std::int32_t take_number(const std::uint8_t *&data, std::size_t &size)
{
    std::uint32_t value = 0;
    const std::size_t n = size < 4 ? size : 4;
    for (std::size_t i = 0; i < n; ++i)
        value = value << 8 | data[i];
    data += n;
    size -= n;
    return static_cast<std::int32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::int32_t port_min = take_number(data, size);
    const std::int32_t port_max = take_number(data, size);
    const std::int32_t port_count = take_number(data, size);
    const std::int32_t port_num = take_number(data, size);

    // The text in a buffer of exactly its own size, so that a read past its
    // terminator is caught.
    std::vector<char> mac(data, data + size);
    mac.push_back('\0');
    const char *text = mac.data();

    // The tool's own number reading must match the C library's on any text.
    const long long wide = std::strtoll(text, nullptr, 10);
    if (portslot::read_decimal(text) != (wide > INT32_MAX   ? INT32_MAX
                                         : wide < INT32_MIN ? INT32_MIN
                                                            : wide) ||
        portslot::read_hex(text) != std::strtoull(text, nullptr, 16))
        std::abort();

    const std::int32_t port =
        portslot::compute_port(text, port_min, port_max, port_count, port_num);
    if (port != portslot::compute_port(text, port_min, port_max, port_count, port_num))
        std::abort();
    if (port == -1)
        return 0;

    const std::int64_t low = std::int64_t{port_min} + (port_min & 1);
    const std::int64_t high = std::int64_t{port_max} - (port_max & 1);
    if (port % 2 != 0 || port < low || port > high)
        std::abort();
    // A port was given, so the first port of the same block exists and lies
    // 2 * (port_num - 1) below it.
    const std::int32_t first = portslot::compute_port(text, port_min, port_max, port_count, 1);
    if (std::int64_t{port} != std::int64_t{first} + 2 * (std::int64_t{port_num} - 1))
        std::abort();
    return 0;
}
