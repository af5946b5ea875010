// The output under a write() that takes nothing: a write that returns 0 is
// tried again, never taken as written. The system's write is wrapped at link
// time (-Wl,--wrap=write), and the wrapper takes nothing on the calls a case
// asks for.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "output.h"

namespace {
int nothing_for = 0; // the next this many writes take nothing
} // namespace

extern "C" ssize_t __real_write(int fd, const void *data, size_t size);
extern "C" ssize_t __wrap_write(int fd, const void *data, size_t size)
{
    if (nothing_for > 0) {
        --nothing_for;
        return 0;
    }
    return __real_write(fd, data, size);
}

namespace {

TEST(output, tries_again_after_a_write_that_took_nothing)
{
    for (const int nothing : {1, 3}) {
        std::FILE *sink = std::tmpfile();
        char buffer[8];
        portslot::output out(fileno(sink), buffer, sizeof buffer);
        nothing_for = nothing;
        out.text("40556-40558\taa:bb:cc:dd:ee:ff\n"); // longer than the buffer
        out.text("x");
        EXPECT_TRUE(out.flush());
        EXPECT_EQ(nothing_for, 0);
        std::string written;
        std::rewind(sink);
        for (int c; (c = std::fgetc(sink)) != EOF;)
            written += static_cast<char>(c);
        std::fclose(sink);
        EXPECT_EQ(written, "40556-40558\taa:bb:cc:dd:ee:ff\nx") << nothing;
    }
}

} // namespace
