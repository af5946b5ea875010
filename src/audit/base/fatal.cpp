#include "fatal.h"

#include <stdlib.h>
#include <string.h>

#include <new>

#include "shown_text.h"

namespace portslot::audit {

namespace {

output *fatal_err = nullptr;
output *fatal_out = nullptr;
// Until report_fatal_to() is called, a standard error of its own, made when
// first needed.
alignas(output) unsigned char own_err[sizeof(output)];
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

output &warn(output &err, const char *text)
{
    err.text("portslot-audit: ");
    err.text(text);
    return err;
}

void warn_errno(output &err, const char *name, int error)
{
    warn(err);
    write_name(err, name);
    err.text(": ");
    err.text(strerror(error));
    err.text("\n");
}

void fatal(const char *subject, const char *reason)
{
    output &err = warn(fatal_diagnostics());
    if (subject != nullptr) {
        write_name(err, subject);
        err.text(": ");
    }
    err.text(reason);
    err.text("\n");
    fatal_end();
}

void fatal_mid_write(const char *subject, const char *reason)
{
    fatal_out = nullptr;
    fatal(subject, reason);
}

} // namespace portslot::audit
