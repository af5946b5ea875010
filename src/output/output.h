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
    // A small buffer of its own, or `capacity` bytes at `buffer`.
    explicit output(int fd) : fd_(fd), buffer_(own_), capacity_(sizeof own_) {}
    output(int fd, char *buffer, size_t capacity) : fd_(fd), buffer_(buffer), capacity_(capacity) {}
    output(const output &) = delete;
    output &operator=(const output &) = delete;

    void bytes(const char *data, size_t size);

    // Room for `size` more bytes in the buffer, which is written out first if
    // need be; null when the buffer cannot hold that many. commit() keeps
    // what was put there.
    char *room(size_t size)
    {
        return size <= capacity_ - used_ ? buffer_ + used_ : make_room(size);
    }
    void commit(size_t size) { used_ += size; }
    void text(const char *text); // a NUL-terminated text
    void number(int64_t value);  // in decimal, as printf's "%d" for 32 bits

    // Writes out what is buffered. False when any write failed; error() then
    // tells why, and everything after the failure was dropped.
    bool flush();
    int error() const { return error_; }

  private:
    void write_out(const char *data, size_t size);
    char *make_room(size_t size);

    int fd_;
    int error_ = 0;
    char *buffer_;
    size_t capacity_;
    size_t used_ = 0;
    char own_[512];
};

} // namespace portslot

#endif
