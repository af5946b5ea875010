// Starts programs many times each, alternating so that drift in machine load
// hits all alike, and prints the median wall time of a run and the peak
// resident memory of one run of each, one line per program.
//   startup_bench RUNS PROGRAM... [-- ARG...]
// Every program gets the same arguments; their output goes to /dev/null.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <vector>

extern char **environ;

namespace {

struct run_result {
    double seconds;
    long max_rss_kb;
};

run_result run_once(std::vector<char *> &argv, posix_spawn_file_actions_t *actions)
{
    timespec start{}, end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], actions, nullptr, argv.data(), environ) != 0) {
        std::perror(argv[0]);
        std::exit(2);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    clock_gettime(CLOCK_MONOTONIC, &end);
    return {double(end.tv_sec - start.tv_sec) + double(end.tv_nsec - start.tv_nsec) * 1e-9,
            usage.ru_maxrss};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_bench RUNS PROGRAM... [-- ARG...]\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    int args_from = 2;
    while (args_from < argc && std::string(argv[args_from]) != "--")
        ++args_from;
    const int programs = args_from - 2;
    std::vector<std::vector<char *>> commands(static_cast<std::size_t>(programs));
    for (int which = 0; which < programs; ++which) {
        auto &command = commands[static_cast<std::size_t>(which)];
        command.push_back(argv[2 + which]);
        for (int i = args_from + 1; i < argc; ++i)
            command.push_back(argv[i]);
        command.push_back(nullptr);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);

    std::vector<std::vector<double>> seconds(commands.size());
    std::vector<long> max_rss_kb(commands.size(), 0);
    for (int i = 0; i < runs; ++i)
        for (std::size_t which = 0; which < commands.size(); ++which) {
            const run_result r = run_once(commands[which], &actions);
            seconds[which].push_back(r.seconds);
            max_rss_kb[which] = std::max(max_rss_kb[which], r.max_rss_kb);
        }

    for (std::size_t which = 0; which < commands.size(); ++which)
        std::printf("%s median_us %.1f max_rss_kb %ld\n", commands[which][0],
                    median(seconds[which]) * 1e6, max_rss_kb[which]);
    return 0;
}
