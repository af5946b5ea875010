// portslot-audit --help.
#ifndef PORTSLOT_AUDIT_USAGE_H
#define PORTSLOT_AUDIT_USAGE_H

namespace portslot::audit {

// The help text, as --help prints it.
extern const char usage_text[];

} // namespace portslot::audit

#endif
