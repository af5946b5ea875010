#include "replaced_file.h"

#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "memory.h"

namespace portslot::audit {

namespace {

// "DIR/.portslot-audit-XXXXXX" beside `path`, for mkstemp: a name that fits
// wherever the file's own does, and that no reader of "*.prom" (or of any
// suffix) takes for the file.
char *name_beside(const char *path)
{
    const char *const slash = strrchr(path, '/');
    const size_t folder = slash != nullptr ? size_t(slash - path) + 1 : 0;
    static constexpr char own[] = ".portslot-audit-XXXXXX";
    auto *name = static_cast<char *>(allocate_zeroed(folder + sizeof own, 1));
    memcpy(name, path, folder);
    memcpy(name + folder, own, sizeof own);
    return name;
}

// The temporary file being written, if any: removed when a stop signal
// ends the run, and at exit (a fatal condition ends the run through exit()),
// so that no half-written file is left behind.
char *volatile pending = nullptr;
constexpr int stop_signals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction before[3];

void remove_pending()
{
    if (pending != nullptr)
        unlink(pending);
}

#if PORTSLOT_COVERAGE
extern "C" int __llvm_profile_write_file(void);
#endif

void on_stop(int signal_number)
{
    remove_pending();
#if PORTSLOT_COVERAGE // (the profile is written at exit, which a signal skips)
    __llvm_profile_write_file();
#endif
    ::signal(signal_number, SIG_DFL); // then ended by it, as it would have been
    raise(signal_number);
}

// Blocks (or unblocks) the stop signals, while `pending` changes.
void hold_stops(int how)
{
    sigset_t set;
    sigemptyset(&set);
    for (const int s : stop_signals)
        sigaddset(&set, s);
    sigprocmask(how, &set, nullptr);
}

// The temporary file `name` made and opened, with the stop signals set to
// remove it; its descriptor, or -1 with `error` set.
int open_temporary(char *name, int &error)
{
    static bool registered = false;
    if (!registered)
        registered = atexit(remove_pending) == 0;
    hold_stops(SIG_BLOCK);
    const int fd = mkstemp(name);
    if (fd < 0) {
        error = errno;
    } else {
        pending = name;
        struct sigaction action {};
        action.sa_handler = on_stop;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < 3; ++i)
            sigaction(stop_signals[i], &action, &before[i]);
    }
    hold_stops(SIG_UNBLOCK);
    return fd;
}

} // namespace

file_replacement::file_replacement(const char *path, bool keep_mode)
    : path_(path), temporary_(name_beside(path)), keep_mode_(keep_mode),
      fd_(open_temporary(temporary_, error_)), out_(fd_, buffer_, sizeof buffer_)
{
}

namespace {

// Gives `fd` the mode and owner of the file `path`; 0 or the error. Where
// the owner cannot be given (or the file is gone), only the owner's part of
// the mode: no one else may read what another owner or group may not have.
int take_mode_of(int fd, const char *path)
{
    struct stat was {};
    const bool owned = stat(path, &was) == 0 && fchown(fd, was.st_uid, was.st_gid) == 0;
    return fchmod(fd, was.st_mode & (owned ? 07777 : 0700)) != 0 ? errno : 0;
}

} // namespace

int file_replacement::finish()
{
    // Each step only after those before it went well; the first that fails
    // gives the error. The file is closed whatever happened.
    const auto failed = [](int result) { return result != 0 ? errno : 0; };
    error_ = out_.flush() ? 0 : out_.error();
    error_ = error_ != 0  ? error_
             : keep_mode_ ? take_mode_of(fd_, path_)
                          : failed(fchmod(fd_, 0644));
    error_ = error_ != 0 ? error_ : failed(fsync(fd_));
    const int closing = failed(close(fd_));
    error_ = error_ != 0 ? error_ : closing;
    hold_stops(SIG_BLOCK);
    error_ = error_ != 0 ? error_ : failed(rename(temporary_, path_));
    if (error_ != 0)
        unlink(temporary_);
    pending = nullptr;
    for (size_t i = 0; i < 3; ++i)
        sigaction(stop_signals[i], &before[i], nullptr);
    hold_stops(SIG_UNBLOCK);
    return error_;
}

file_replacement::~file_replacement()
{
    free(temporary_); // (finish() has closed and renamed or removed the file)
}

} // namespace portslot::audit
