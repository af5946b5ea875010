// The parameter report and the output it goes through: exact bytes, for
// records and texts the command line cannot make.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

#include "output.h"
#include "report.h"

namespace {

// What `write` sends through an output, read back from a temporary file.
template <typename Write> std::string written(Write write)
{
    std::FILE *file = std::tmpfile();
    {
        portslot::output out(fileno(file));
        write(out);
        EXPECT_TRUE(out.flush());
    }
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

TEST(report, prints_every_field_as_given)
{
    const struct {
        portslot::port_options options;
        const char *want;
    } cases[] = {
        {{INT32_MIN, INT32_MAX, 0, -1, "aa:bb"},
         "port_min    = -2147483648\nport_max    = 2147483647\nport_count  = 0\n"
         "port_num    = -1\nmac_address = aa:bb\n"},
        // A record whose arguments were all options has no MAC text: shown
        // as the empty one, as when the argument vector is empty.
        {{40000, 41000, 2, -1, nullptr},
         "port_min    = 40000\nport_max    = 41000\nport_count  = 2\nport_num    = -1\n"
         "mac_address = \n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(written([&](portslot::output &out) { portslot::print_options(c.options, out); }),
                  c.want);
}

TEST(output, writes_numbers_as_printf_and_texts_of_any_length)
{
    for (const std::int32_t n : {0, 7, -7, 10, 40556, INT32_MAX, INT32_MIN}) {
        char want[16];
        std::snprintf(want, sizeof want, "%d", n);
        EXPECT_EQ(written([&](portslot::output &out) { out.number(n); }), want);
    }
    // Pieces that fill the buffer exactly, overrun it, and exceed it whole.
    const std::string a(511, 'a'), b(2, 'b'), c(5000, 'c');
    EXPECT_EQ(written([&](portslot::output &out) {
                  out.text(a.c_str());
                  out.text(b.c_str());
                  out.text(c.c_str());
                  out.bytes("d", 1);
              }),
              a + b + c + "d");
}

// A buffer filled exactly holds what it was given and not a byte more.
TEST(output, fills_its_buffer_exactly)
{
    char buffer[9] = "########";
    buffer[8] = '!';
    portslot::output out(-1, buffer, 8);
    out.bytes("a", 1);
    out.bytes("bcdefgh", 7);
    EXPECT_EQ(std::string(buffer, 9), "abcdefgh!");
}

// Writes that a signal cuts short (a slow reader of a pipe) go on where they
// stopped: the reader gets every byte, in order.
TEST(output, resumes_writes_cut_short)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    struct sigaction action {};
    action.sa_handler = [](int) {};
    sigaction(SIGUSR1, &action, nullptr); // without SA_RESTART
    std::string sent;
    for (int i = 0; sent.size() < (1u << 20); ++i)
        sent += std::to_string(i) + ",";
    std::thread writer_thread;
    const pthread_t reader = pthread_self();
    std::string got;
    std::atomic<bool> done{false};
    writer_thread = std::thread([&] {
        char buffer[1 << 18];
        portslot::output out(fds[1], buffer, sizeof buffer);
        out.bytes(sent.data(), sent.size() / 2);
        out.text(sent.c_str() + sent.size() / 2);
        EXPECT_TRUE(out.flush());
        done = true;
        close(fds[1]);
    });
    const pthread_t writer = writer_thread.native_handle();
    char chunk[4096];
    for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;) {
        got.append(chunk, static_cast<std::size_t>(n));
        if (!done)
            pthread_kill(writer, SIGUSR1);
    }
    (void)reader;
    writer_thread.join();
    close(fds[0]);
    signal(SIGUSR1, SIG_DFL);
    EXPECT_EQ(got, sent);
}

TEST(output, keeps_the_first_write_error)
{
    portslot::output out(-1);
    out.text("lost");
    EXPECT_FALSE(out.flush());
    EXPECT_EQ(out.error(), EBADF);
}

} // namespace
