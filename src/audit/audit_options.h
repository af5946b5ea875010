// The command line of portslot-audit.
#ifndef PORTSLOT_AUDIT_OPTIONS_H
#define PORTSLOT_AUDIT_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

namespace portslot::audit {

struct audit_options {
    std::int32_t port_min = 40000;
    std::int32_t port_max = 41000;
    std::int32_t port_count = 2;
    bool all = false;               // list every device, not only those that share
    std::vector<std::string> files; // "-" is standard input; none means standard input
};

// What the command line asks for: an audit, help or the version; or it is
// wrong, and `error` says how.
struct parsed_command {
    enum { run, help, version, error } action = run;
    audit_options options;
    std::string message; // with `error`: what is wrong, one line
};

// Reads the arguments after the program name. Options may come before or
// after the files, as "--name value" or "--name=value"; "--" ends them.
parsed_command parse_command(const std::vector<std::string> &args);

extern const char usage_text[];

} // namespace portslot::audit

#endif
