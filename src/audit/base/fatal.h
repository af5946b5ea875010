// What ends a run where it is found (memory running out, inventories too
// large to audit, a file changed while it is read): the diagnostics written
// so far are flushed, the reason is said, and the run ends with status 2.
// The rows written so far stay; the status says the output is incomplete.
#ifndef PORTSLOT_AUDIT_FATAL_H
#define PORTSLOT_AUDIT_FATAL_H

#include <stddef.h>

#include "output.h"

namespace portslot::audit {

// Where fatal() writes: the run's diagnostics. Until this is called, a
// standard error of its own.
void report_fatal_to(output &err);

// The run's standard output, whose whole rows fatal() writes out before the
// run ends: each was true when it was written. (Not after a bus error, which
// may come in the middle of a row.)
void keep_output_on_fatal(output &out);

// "portslot-audit: " on `err`, then `text`: how every message of the audit
// about itself starts (OpenBSD's warnx); returns `err`, for the rest of it.
output &warn(output &err, const char *text = "");

// "portslot-audit: NAME: " and the system's reason for `error` (OpenBSD's
// warn), a line of its own.
void warn_errno(output &err, const char *name, int error);

// "portslot-audit: SUBJECT: REASON" (without a null subject), then exit(2).
[[noreturn]] void fatal(const char *subject, const char *reason);

// As fatal(), for a fault in the middle of writing (a bus error while text is
// copied): what standard output holds is not written, as its last row may be
// half.
[[noreturn]] void fatal_mid_write(const char *subject, const char *reason);

// For a message that fatal() cannot compose: where to write it, and then the
// end of the run.
output &fatal_diagnostics();
[[noreturn]] void fatal_end();

} // namespace portslot::audit

#endif
