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
    if (!out_.flush())
        error_ = out_.error();
    else if (fchmod(fd_, 0644) != 0 || fsync(fd_) != 0)
        error_ = errno;
    if (close(fd_) != 0 && error_ == 0)
        error_ = errno;
    fd_ = -1;
    if (error_ == 0 && rename(temporary_, path_) != 0)
        error_ = errno;
    if (error_ != 0)
        unlink(temporary_);
    free(temporary_);
    temporary_ = nullptr;
    return error_;
}

file_replacement::~file_replacement()
{
    if (fd_ >= 0) {
        close(fd_);
        unlink(temporary_);
    }
    free(temporary_);
}

} // namespace portslot::audit
