// What no single option of the command line says: combinations refused,
// and the defaults that depend on other options.
#ifndef PORTSLOT_AUDIT_OPTION_COMBINATIONS_H
#define PORTSLOT_AUDIT_OPTION_COMBINATIONS_H

#include <stddef.h>

#include "audit_options.h"

namespace portslot::audit {

// Makes `command` say that the command line is wrong, and how.
parsed_command &refuse(parsed_command &command, parsed_command::error_kinds kind, const char *name,
                       size_t name_size, const char *value);

// Refuses the combinations no option may be given in, and sets the defaults
// that depend on others; "-" (standard input) when `files` names none.
void settle(parsed_command &command, const char **files);

} // namespace portslot::audit

#endif
