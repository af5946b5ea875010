// Buffered output straight to a file descriptor. The tool writes through this
// rather than stdio: stdio would cost symbol lookups, a buffer from the heap
// and more start-up than the rest of a run together.
#ifndef PORTSLOT_OUTPUT_H
#define PORTSLOT_OUTPUT_H

#include <stddef.h>
#include <stdint.h>

namespace portslot {

class output {
  public:
    explicit output(int fd) : fd_(fd) {}
    output(const output &) = delete;
    output &operator=(const output &) = delete;

    void bytes(const char *data, size_t size);
    void text(const char *text); // a NUL-terminated text
    void number(int32_t value);  // as printf's "%d"

    // Writes out what is buffered. False when any write failed; error() then
    // tells why, and everything after the failure was dropped.
    bool flush();
    int error() const { return error_; }

  private:
    void write_out(const char *data, size_t size);

    int fd_;
    int error_ = 0;
    size_t used_ = 0;
    char buffer_[512];
};

} // namespace portslot

#endif
