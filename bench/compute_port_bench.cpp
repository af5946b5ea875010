// The cost of one compute_port call, over a varied set of MAC texts: valid
// addresses in both forms and cases, and texts that fail each check.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include <portslot/port_derivation.h>

namespace {

std::vector<std::string> mac_texts()
{
    std::vector<std::string> texts;
    for (unsigned i = 0; i < 64; ++i) {
        const unsigned a = i * 2654435761u;
        char text[32];
        switch (i % 4) {
        case 0:
            std::snprintf(text, sizeof text, "00:1a:2b:%02x:%02x:%02x", a >> 24, (a >> 16) & 255,
                          (a >> 8) & 255);
            break;
        case 1:
            std::snprintf(text, sizeof text, "001A2B%06X", a >> 8);
            break;
        case 2:
            std::snprintf(text, sizeof text, "00-1a-2b-%02x-%02x-%02x", a >> 24, (a >> 16) & 255,
                          a & 255);
            break;
        default:
            std::snprintf(text, sizeof text, "a:a:b:b:c:c:d:d:e:e:%x", a);
            break;
        }
        texts.emplace_back(text);
    }
    return texts;
}

void compute_port_varied(benchmark::State &state)
{
    const std::vector<std::string> texts = mac_texts();
    std::size_t i = 0;
    for (auto _ : state) {
        const char *text = texts[i++ % texts.size()].c_str();
        benchmark::DoNotOptimize(portslot::compute_port(text, 40000, 41000, 2, 1));
    }
}
BENCHMARK(compute_port_varied);

} // namespace

BENCHMARK_MAIN();
