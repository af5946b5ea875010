#include "fatal.h"

#include <signal.h>
#include <stdint.h>
#include <stdlib.h>

#include <new>

#include "shown_text.h"

namespace portslot::audit {

namespace {

output *fatal_err = nullptr;
output *fatal_out = nullptr;
// Until report_fatal_to() is called, a standard error of its own, made when
// first needed.
alignas(output) unsigned char own_err[sizeof(output)];
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
    fatal_out = nullptr; // (a row may be half written)
    fatal(name, "changed while being read");
}

} // namespace

void report_fatal_to(output &err)
{
    fatal_err = &err;
}

output &fatal_diagnostics()
{
    if (fatal_err == nullptr)
        fatal_err = new (own_err) output(2);
    return *fatal_err;
}

void keep_output_on_fatal(output &out)
{
    fatal_out = &out;
}

void fatal_end()
{
    if (fatal_out != nullptr)
        fatal_out->flush();
    fatal_diagnostics().flush();
    exit(2);
}

void fatal(const char *subject, const char *reason)
{
    output &err = fatal_diagnostics();
    err.text("portslot-audit: ");
    if (subject != nullptr) {
        write_name(err, subject);
        err.text(": ");
    }
    err.text(reason);
    err.text("\n");
    fatal_end();
}

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
