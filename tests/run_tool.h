// Runs a built program (portslot, portslot-audit, a shell) with an exact
// argument vector and captures what it writes and how it ends.
#pragma once

#include <string>
#include <vector>

struct tool_run {
    std::string out;
    std::string err;
    int status; // exit status, or -1 when it did not exit normally
};

// Starts `path` with `argv` as its whole argument vector (element 0 included).
// Standard output goes to `stdout_path` when given, else it is captured;
// standard input comes from `stdin_path`, else from /dev/null.
tool_run run_tool(const std::string &path, const std::vector<std::string> &argv,
                  const char *stdout_path = nullptr, const char *stdin_path = nullptr);
