#include "port_plan.h"

#include <algorithm>
#include <charconv>

#include <portslot/port_derivation.h>

namespace portslot::audit {

namespace {

void put(std::FILE *out, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), out);
}

void put_number(std::FILE *out, std::int64_t value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    put(out, std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

} // namespace

plan_summary write_plan(std::vector<device> &devices, const port_range &range, bool all,
                        std::FILE *out)
{
    std::stable_sort(devices.begin(), devices.end(),
                     [](const device &a, const device &b) { return a.first_port < b.first_port; });

    plan_summary summary;
    summary.devices = devices.size();
    for (auto block = devices.begin(); block != devices.end();) {
        const auto block_end = std::find_if(block, devices.end(), [&](const device &d) {
            return d.first_port != block->first_port;
        });
        const auto size = static_cast<std::size_t>(block_end - block);
        ++summary.blocks_in_use;
        if (size > 1) {
            ++summary.shared_blocks;
            summary.sharing_devices += size;
        }
        if (all || size > 1) {
            // The block's last port, as portslot --port-num <count> gives it.
            const std::int32_t last = compute_port(block->mac, range.port_min, range.port_max,
                                                   range.port_count, range.port_count);
            for (auto d = block; d != block_end; ++d) {
                put_number(out, d->first_port);
                put(out, "-");
                put_number(out, last);
                put(out, "\t");
                put(out, d->mac);
                put(out, "\t");
                put(out, d->label);
                put(out, "\n");
            }
        }
        block = block_end;
    }
    return summary;
}

void write_summary(const plan_summary &summary, std::int64_t blocks, std::FILE *out)
{
    std::fprintf(out, "%zu devices, %zu of %lld blocks in use, %zu shared by %zu devices\n",
                 summary.devices, summary.blocks_in_use, static_cast<long long>(blocks),
                 summary.shared_blocks, summary.sharing_devices);
    const auto devices = static_cast<std::int64_t>(summary.devices);
    if (devices > blocks)
        std::fprintf(out,
                     "more devices than blocks: at least %lld devices must share, whatever the "
                     "addresses are\n",
                     static_cast<long long>(devices - blocks));
}

} // namespace portslot::audit
