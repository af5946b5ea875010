// A file written whole or not at all: the text goes to a new file beside
// it, which then takes its name in one step (rename), so a reader sees the
// old file or the new one, never part of one, and a run that fails leaves
// the old file as it was.
#ifndef PORTSLOT_AUDIT_REPLACED_FILE_H
#define PORTSLOT_AUDIT_REPLACED_FILE_H

#include "output.h"

namespace portslot::audit {

// Writes `path` anew with what `write(out)` puts on `out`: a temporary file
// ".portslot-audit-XXXXXX" in its folder, written, synced, made readable by
// all (mode 0644: a collector reads it as another user; with `keep_mode`,
// the mode and owner `path` has, or where the owner cannot be kept the
// owner's part of the mode alone, so that no one else may read it), then
// renamed to `path`. Returns 0, or the error of the step that failed, after which the
// temporary file is gone and `path` untouched. The temporary file is also
// removed when SIGTERM, SIGINT or SIGHUP ends the run while it is written,
// and when the run ends at exit() (a fatal condition, which `write` may
// raise to leave `path` as it was).
template <class Write> int replace_file(const char *path, Write &&write, bool keep_mode = false);

// The steps, for replace_file.
class file_replacement {
  public:
    file_replacement(const char *path, bool keep_mode);
    ~file_replacement();
    file_replacement(const file_replacement &) = delete;
    file_replacement &operator=(const file_replacement &) = delete;

    int error() const { return error_; }
    output &out() { return out_; }
    int finish(); // 0 or the error

  private:
    const char *path_;
    char *temporary_; // its name
    bool keep_mode_;
    int error_ = 0;
    int fd_;
    char buffer_[1 << 16];
    output out_;
};

template <class Write> int replace_file(const char *path, Write &&write, bool keep_mode)
{
    file_replacement file(path, keep_mode);
    if (file.error() != 0)
        return file.error();
    write(file.out());
    return file.finish();
}

} // namespace portslot::audit

#endif
