#include "run_tool.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

int temporary_file()
{
    char name[] = "/tmp/portslot-test-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0)
        throw std::runtime_error("mkstemp failed");
    unlink(name);
    return fd;
}

std::string slurp(int fd)
{
    std::string text;
    char chunk[4096];
    lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;)
        text.append(chunk, static_cast<std::size_t>(n));
    close(fd);
    return text;
}

} // namespace

tool_run run_tool(const std::string &path, const std::vector<std::string> &argv,
                  const char *stdout_path, const char *stdin_path)
{
    // Files rather than pipes: no deadlock however much the tool writes.
    const int out = stdout_path ? open(stdout_path, O_WRONLY) : temporary_file();
    const int err = temporary_file();
    if (out < 0)
        throw std::runtime_error("cannot open stdout target");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, stdin_path ? stdin_path : "/dev/null", O_RDONLY,
                                     0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);

    std::vector<std::string> words = argv;
    std::string program = path;
#ifdef PORTSLOT_EMULATOR
    // The emulator runs the program with the same element 0 ("-0").
    std::vector<std::string> emulated;
    std::istringstream emulator(PORTSLOT_EMULATOR);
    for (std::string word; emulator >> word;)
        emulated.push_back(word);
    emulated.insert(emulated.end(), {"-0", argv.empty() ? "" : argv[0], path});
    if (!argv.empty())
        emulated.insert(emulated.end(), argv.begin() + 1, argv.end());
    program = emulated[0];
    words = emulated;
#endif
    std::vector<char *> args;
    for (const std::string &arg : words)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);

    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("posix_spawn failed");
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);

    tool_run result;
    if (stdout_path)
        close(out);
    else
        result.out = slurp(out);
    result.err = slurp(err);
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    return result;
}
