#include "keys_seen.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "ascii.h"
#include "decimal.h"
#include "fatal.h"
#include "public_key.h"
#include "shown_text.h"

extern char **environ;

namespace portslot::audit {

namespace {

// The port of a host field (not empty): "[HOST]:PORT", or a plain host's
// 22; -1 for another form (a hashed name, which says no port).
int32_t port_of_host(const char *p, const char *end)
{
    if (*p == '|')
        return -1;
    if (*p != '[')
        return 22;
    const char *close = static_cast<const char *>(memchr(p, ']', static_cast<size_t>(end - p)));
    if (close == nullptr || end - close < 3 || close[1] != ':')
        return -1;
    int32_t port = 0;
    for (const char *d = close + 2; d != end; ++d) {
        if (*d < '0' || *d > '9' || port > 6553)
            return -1;
        port = port * 10 + (*d - '0');
    }
    return port >= 1 && port <= 65535 ? port : -1;
}

// One line (without its end): true when it is a comment, blank, or a key
// taken into `seen`.
bool take_line(const char *p, const char *end, keys_seen &seen)
{
    while (p != end && is_space_or_tab(*p))
        ++p;
    if (p == end || *p == '#')
        return true;
    const char *host_end = p;
    while (host_end != end && !is_space_or_tab(*host_end))
        ++host_end;
    const int32_t port = port_of_host(p, host_end);
    const char *key = host_end;
    while (key != end && is_space_or_tab(*key))
        ++key;
    const public_key read = read_public_key(key, static_cast<size_t>(end - key));
    if (port < 0 || read.size == 0)
        return false;
    seen.keys.push({port, seen.texts.size, read.size});
    append(seen.texts, key, read.size);
    seen.asked.add(static_cast<uint32_t>(port));
    return true;
}

} // namespace

namespace {

// As read_keys_text, saying nothing where `err` is null.
bool take_keys(const char *name, const char *text, size_t size, keys_seen &seen, output *err)
{
    bool ok = true;
    const char *const end = text + size;
    uint64_t line = 1;
    for (const char *p = text; p < end; ++line) {
        const char *stop = static_cast<const char *>(memchr(p, '\n', static_cast<size_t>(end - p)));
        stop = stop != nullptr ? stop : end;
        const char *content_end = stop != p && stop[-1] == '\r' ? stop - 1 : stop;
        if (!take_line(p, content_end, seen) && err != nullptr) {
            write_place(*err, name, line);
            err->text(": not a line of ssh-keyscan's: [HOST]:PORT TYPE BASE64, a key ssh takes\n");
            ok = false;
        }
        p = stop + 1;
    }
    return ok;
}

} // namespace

bool read_keys_text(const char *name, const char *text, size_t size, keys_seen &seen,
                    output &err)
{
    return take_keys(name, text, size, seen, &err);
}

bool read_keys_file(const char *name, keys_seen &seen, output &err)
{
    const int fd = open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        warn_errno(err, name, errno);
        return false;
    }
    growing_array<char> text;
    for (;;) {
        while (text.capacity - text.size < 65536)
            text.grow();
        const ssize_t got = read(fd, text.items + text.size, text.capacity - text.size);
        if (got <= 0) {
            const int error = got < 0 ? errno : 0;
            close(fd);
            if (error != 0) {
                warn_errno(err, name, error);
                return false;
            }
            return read_keys_text(name, text.items, text.size, seen, err);
        }
        text.size += static_cast<size_t>(got);
    }
}

namespace {

// One ssh-keyscan at work: its process, the pipe it prints to, what it printed.
struct scan {
    pid_t pid = -1;
    int fd = -1;
    int32_t port = 0;
    growing_array<char> printed;
};

// Starts `scanner` for `port`; false after saying why it could not be.
bool start_scan(const char *scanner, int32_t port, int seconds, scan &s, output &err)
{
    char port_text[8] = {}, timeout[12] = {};
    put_decimal(port_text, static_cast<uint64_t>(port));
    put_decimal(timeout, static_cast<uint64_t>(seconds));
    // (Host keys are never a security key's: no connection is spent on those types.)
    char *const argv[] = {const_cast<char *>(scanner), const_cast<char *>("-T"), timeout,
                          const_cast<char *>("-t"), const_cast<char *>("ed25519,ecdsa,rsa"),
                          const_cast<char *>("-p"), port_text,
                          const_cast<char *>("127.0.0.1"), nullptr};
    int ends[2] = {-1, -1};
    int error = pipe2(ends, O_CLOEXEC) != 0 ? errno : 0;
    if (error == 0) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        error = posix_spawnp(&s.pid, scanner, &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
    }
    if (error != 0) {
        if (ends[0] >= 0)
            close(ends[0]);
        warn(err, "cannot run ");
        err.text(scanner);
        err.text(": ");
        err.text(strerror(error));
        err.text("\n");
        return false;
    }
    s.fd = ends[0];
    s.port = port;
    s.printed.size = 0;
    return true;
}

// Reads what `s` printed so far; true once it has ended (and been waited for).
bool drain(scan &s)
{
    while (s.printed.capacity - s.printed.size < 4096)
        s.printed.grow();
    // (poll said there is something: the read does not wait.)
    const ssize_t got = read(s.fd, s.printed.items + s.printed.size, 4096);
    if (got > 0) {
        s.printed.size += static_cast<size_t>(got);
        return false;
    }
    close(s.fd);
    s.fd = -1;
    int status = 0;
    waitpid(s.pid, &status, 0);
    return true;
}

} // namespace

bool scan_host_keys(const char *scanner, const int32_t *ports, size_t count, int seconds,
                    keys_seen &seen, output &err)
{
    constexpr size_t parallel = scans_at_once;
    scan running[parallel];
    pollfd polled[parallel];
    size_t slot_of[parallel]; // the scan each polled pipe is of
    size_t next = 0, active = 0;
    bool ok = true;
    while (next < count || active > 0) {
        for (size_t i = 0; i < parallel && next < count && ok; ++i) {
            if (running[i].fd >= 0)
                continue;
            ok = start_scan(scanner, ports[next], seconds, running[i], err);
            if (ok) // (a port not asked is not told)
                seen.asked.add(static_cast<uint32_t>(ports[next]));
            ++next;
            active += ok;
        }
        if (active == 0)
            break;
        nfds_t watched = 0;
        for (size_t i = 0; i < parallel; ++i)
            if (running[i].fd >= 0) {
                slot_of[watched] = i;
                polled[watched++] = {running[i].fd, POLLIN, 0};
            }
        // (A signal cutting the wait short leaves every revents 0: the wait again.)
        poll(polled, watched, -1);
        for (nfds_t k = 0; k < watched; ++k) {
            scan &s = running[slot_of[k]];
            if (polled[k].revents == 0 || !drain(s))
                continue;
            --active;
            // (What a scan prints is taken where it is a key, not said.)
            take_keys("ssh-keyscan", s.printed.items, s.printed.size, seen, nullptr);
        }
    }
    return ok;
}

void sort_keys_seen(keys_seen &seen)
{
    std::sort(seen.keys.items, seen.keys.items + seen.keys.size,
              [](const seen_key &a, const seen_key &b) {
                  return a.port != b.port ? a.port < b.port : a.text < b.text;
              });
}

void keys_at(const keys_seen &seen, int32_t port, size_t &begin, size_t &end)
{
    const seen_key *const first = seen.keys.items, *const last = first + seen.keys.size;
    const seen_key *lo = std::lower_bound(first, last, port,
                                          [](const seen_key &k, int32_t p) { return k.port < p; });
    const seen_key *hi = lo;
    while (hi != last && hi->port == port)
        ++hi;
    begin = static_cast<size_t>(lo - first);
    end = static_cast<size_t>(hi - first);
}

} // namespace portslot::audit
