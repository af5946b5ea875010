#include "inventory_watch.h"

#include <signal.h>
#include <stdint.h>

#include "fatal.h"

namespace portslot::audit {

namespace {

const inventory *const *watched = nullptr;
const size_t *watched_count = nullptr;

// A bus error is raised synchronously by the audit's own read of a mapped
// page, in its only thread, while it copies text: the diagnostics buffer
// holds only whole messages then, and the run can end from here as from
// any other fatal condition.
void on_bus_error(int, siginfo_t *info, void *)
{
    const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
    const char *name = "-";
    for (size_t i = 0; i < *watched_count; ++i) {
        // (Below the start, the difference wraps past every size.)
        const inventory &inv = (*watched)[i];
        if (at - reinterpret_cast<uintptr_t>(inv.map) < inv.map_size)
            name = inv.name;
    }
    fatal_mid_write(name, "changed while being read");
}

} // namespace

void watch_mappings(const inventory *const *inventories, const size_t *loaded)
{
    watched = inventories;
    watched_count = loaded;
    struct sigaction action {};
    action.sa_sigaction = on_bus_error;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, nullptr);
}

} // namespace portslot::audit
