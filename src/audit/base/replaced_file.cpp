#include "replaced_file.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "memory.h"

namespace portslot::audit {

namespace {

// "PATH.XXXXXX", for mkstemp.
char *name_beside(const char *path)
{
    const size_t size = strlen(path);
    auto *name = static_cast<char *>(allocate_zeroed(size + 8, 1));
    memcpy(name, path, size);
    memcpy(name + size, ".XXXXXX", 7);
    return name;
}

} // namespace

file_replacement::file_replacement(const char *path)
    : path_(path), temporary_(name_beside(path)), fd_(mkstemp(temporary_)),
      out_(fd_, buffer_, sizeof buffer_)
{
    if (fd_ < 0)
        error_ = errno;
}

int file_replacement::finish()
{
    // Each step only after those before it went well; the first that fails
    // gives the error. The file is closed whatever happened.
    const auto failed = [](int result) { return result != 0 ? errno : 0; };
    error_ = out_.flush() ? 0 : out_.error();
    error_ = error_ != 0 ? error_ : failed(fchmod(fd_, 0644));
    error_ = error_ != 0 ? error_ : failed(fsync(fd_));
    const int closing = failed(close(fd_));
    error_ = error_ != 0 ? error_ : closing;
    error_ = error_ != 0 ? error_ : failed(rename(temporary_, path_));
    if (error_ != 0)
        unlink(temporary_);
    return error_;
}

file_replacement::~file_replacement()
{
    free(temporary_); // (finish() has closed and renamed or removed the file)
}

} // namespace portslot::audit
