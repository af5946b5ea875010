// What a wrong command line is told.
#ifndef PORTSLOT_AUDIT_COMMAND_ERRORS_H
#define PORTSLOT_AUDIT_COMMAND_ERRORS_H

#include "audit_options.h"
#include "output.h"

namespace portslot::audit {

// "portslot-audit: " and the message of a wrong command line, with the hint
// to try --help.
void write_command_error(const parsed_command &command, output &err);

// Ends a message about the command line: the line end and the hint.
void write_try_help(output &err);

} // namespace portslot::audit

#endif
