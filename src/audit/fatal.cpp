#include "fatal.h"

#include <signal.h>
#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include "shown_text.h"

namespace portslot::audit {

namespace {

void write_reason(output &err, const char *subject, const char *reason)
{
    err.text("portslot-audit: ");
    if (subject != nullptr) {
        write_name(err, subject);
        err.text(": ");
    }
    err.text(reason);
    err.text("\n");
    err.flush();
}

output *watched_err;
const inventory *const *watched;
const size_t *watched_count;

// A bus error is raised by the audit's own read of a mapped page, in the
// thread that reads it, never inside the C library: the diagnostics buffer
// holds only whole messages then, and the run can end from here.
void on_bus_error(int, siginfo_t *info, void *)
{
    const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
    const char *name = nullptr;
    for (size_t i = 0; i < *watched_count && name == nullptr; ++i) {
        const inventory &inv = (*watched)[i];
        const auto start = reinterpret_cast<uintptr_t>(inv.map);
        if (inv.mapped && at >= start && at - start < inv.map_size)
            name = inv.name;
    }
    write_reason(*watched_err, name, "changed while being read");
    _exit(2);
}

} // namespace

void fatal(output &err, const char *subject, const char *reason)
{
    write_reason(err, subject, reason);
    exit(2);
}

void watch_mappings(output &err, const inventory *const *inventories, const size_t *loaded)
{
    watched_err = &err;
    watched = inventories;
    watched_count = loaded;
    struct sigaction action {};
    action.sa_sigaction = on_bus_error;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, nullptr);
}

} // namespace portslot::audit
