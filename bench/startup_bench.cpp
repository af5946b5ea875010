// Starts two programs many times each, alternating so that drift in machine
// load hits both alike, and prints the median wall time of a run and the peak
// resident memory of one run of each.
//   startup_bench RUNS PROGRAM_A PROGRAM_B [ARG...]
// Both programs get the same arguments; their output goes to /dev/null.
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
    if (argc < 4) {
        std::fprintf(stderr, "usage: startup_bench RUNS PROGRAM_A PROGRAM_B [ARG...]\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    std::vector<char *> commands[2];
    for (int which = 0; which < 2; ++which) {
        commands[which].push_back(argv[2 + which]);
        for (int i = 4; i < argc; ++i)
            commands[which].push_back(argv[i]);
        commands[which].push_back(nullptr);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);

    std::vector<double> seconds[2];
    long max_rss_kb[2] = {0, 0};
    for (int i = 0; i < runs; ++i)
        for (int which = 0; which < 2; ++which) {
            const run_result r = run_once(commands[which], &actions);
            seconds[which].push_back(r.seconds);
            max_rss_kb[which] = std::max(max_rss_kb[which], r.max_rss_kb);
        }

    for (int which = 0; which < 2; ++which)
        std::printf("%s median_us %.1f max_rss_kb %ld\n", argv[2 + which],
                    median(seconds[which]) * 1e6, max_rss_kb[which]);
    return 0;
}
