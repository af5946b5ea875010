// What the audit's tests share: the end-to-end case and its runner (a run
// of portslot-audit on small inventories, its output and status compared),
// the inventories, keys and socket tables the cases use, and the helpers of
// the tests of its parts. Each feature's tests are in a file of their own.
#ifndef PORTSLOT_TESTS_AUDIT_FIXTURE_H
#define PORTSLOT_TESTS_AUDIT_FIXTURE_H

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iomanip>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <portslot/port_derivation.h>

#include "audit_options.h"
#include "block_of_address.h"
#include "block_sort.h"
#include "duplicate_report.h"
#include "fatal.h"
#include "fleet.h"
#include "host_aliases.h"
#include "inventory.h"
#include "inventory_lines.h"
#include "inventory_records.h"
#include "json_text.h"
#include "listed_twice.h"
#include "mac_text.h"
#include "memory.h"
#include "metrics.h"
#include "output.h"
#include "plain_mac.h"
#include "placement.h"
#include "plan.h"
#include "plan_notes.h"
#include "plan_printer.h"
#include "public_key.h"
#include "../run_tool.h"
#include "socket_table.h"
#include "suggest.h"

// gcc says it builds with AddressSanitizer by a macro, clang by a feature.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PORTSLOT_HAS_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef PORTSLOT_HAS_ADDRESS_SANITIZER
#define PORTSLOT_HAS_ADDRESS_SANITIZER 0
#endif

using portslot::audit::parse_command;
using portslot::audit::parsed_command;


// Under the defaults (250 blocks) these three keys leave remainder 139, so
// the three devices share 40556-40558; the fourth is alone in 40004-40006.
inline constexpr const char *fleet = "# fleet\n"
                              "aa:bb:cc:dd:ee:ff  gateway  room 1 \n"
                              "\n"
                              "   # indented comment\n"
                              "00:00:00:00:00:8b\tcam\n"
                              "  11:22:33:00:01:85 printer\r\n"
                              "00:00:00:00:00:01 solo";
inline constexpr const char *shared_lines = "40556-40558\taa:bb:cc:dd:ee:ff\tgateway  room 1\n"
                                     "40556-40558\t00:00:00:00:00:8b\tcam\n"
                                     "40556-40558\t11:22:33:00:01:85\tprinter\n";

// Test processes run side by side, so each writes files of its own.
inline std::string write_file_path(const std::string &name)
{
    return testing::TempDir() + "audit-" + std::to_string(getpid()) + "-" + name;
}
inline std::string write_file(const std::string &name, const std::string &text)
{
    const std::string path = write_file_path(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

struct audit_case {
    const char *name;
    std::vector<std::string> args; // after the program name; "@x" is the file x
    std::vector<std::pair<std::string, std::string>> files;
    std::string out, err;
    int status;
    const char *stdin_text = nullptr;
    std::vector<std::pair<std::string, std::string>> files_after = {}; // what they hold then
};

inline void PrintTo(const audit_case &c, std::ostream *os)
{
    *os << c.name;
}

class audit : public testing::TestWithParam<audit_case> {};


// Public keys as ssh-keygen writes them, without their comments.
inline const std::string ed25519 =
    "ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIJdsDsrgSVJYkkY4ioNWI6K/O1VxGXsQUQzsE7StoGm7";
inline const std::string ecdsa = "ecdsa-sha2-nistp256 "
                          "AAAAE2VjZHNhLXNoYTItbmlzdHAyNTYAAAAIbmlzdHAyNTYAAABBBIfB5DUacL+"
                          "7Arnda2ixQ2a7o71rID8s+ir6vX2U3HNXT1VzjyK+SGctcfln92hzseH8Bf8QT4hymosfjP/"
                          "iaHI=";
// Other Ed25519 keys: one base64 digit of the key's bytes changed.
inline std::string ed25519_key(int n)
{
    std::string key = ed25519;
    key[40] = static_cast<char>('A' + n);
    return key;
}
// Sockets that listen, as ss -Hltn writes them.
inline std::string ss_listening(std::initializer_list<int> ports)
{
    std::string text;
    for (const int port : ports)
        text += "LISTEN 0 1 127.0.0.1:" + std::to_string(port) + " 0.0.0.0:*\n";
    return text;
}
inline const std::string listening_ports =
    ss_listening({2, 4, 6, 8, 10, 12, 14, 16, 22, 40004, 65534, 65535});
inline const std::string both_ports_of_40556 = ss_listening({40556, 40558});
inline const std::string fleet_summary = "4 devices, 2 of 250 blocks in use, 1 shared by 3 devices\n";
inline const std::string try_help = "Try 'portslot-audit --help' for more information.\n";

// A device's block of --ssh-config, after the blank line that parts blocks.
inline std::string host_block(bool shared, const std::string &alias, int port, const std::string &mac,
                       bool jump)
{
    std::string block = "\n";
    if (shared)
        block += "# shares ports " + std::to_string(port) + "-" + std::to_string(port + 2) +
                 " with another device: only the one connected answers\n";
    block += "Host " + alias + "\n    HostName localhost\n    Port " + std::to_string(port);
    block += "\n    HostKeyAlias " + mac + "\n";
    return block + (jump ? "    ProxyJump admin@tunnel\n" : "");
}



// A copy of `text` that ends where a page ends, with an inaccessible page
// after it: a read past its end crashes the test.
class guarded_text {
  public:
    explicit guarded_text(const std::string &text)
    {
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        size_ = (text.size() / page + 2) * page;
        map_ = static_cast<char *>(
            mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(map_ + size_ - page, page, PROT_NONE);
        data_ = map_ + size_ - page - text.size();
        std::copy(text.begin(), text.end(), data_);
    }
    guarded_text(const guarded_text &) = delete;
    guarded_text &operator=(const guarded_text &) = delete;
    ~guarded_text() { munmap(map_, size_); }
    const char *data() const { return data_; }

  private:
    char *map_, *data_;
    std::size_t size_;
};

// A fleet of one inventory named "fleet", holding `size` bytes at `text`.
struct one_inventory {
    portslot::audit::inventory inv;
    std::uint64_t base = 0;
    portslot::audit::fleet inventories{&inv, &base, 1};

    one_inventory(const char *text, std::size_t size)
    {
        inv.name = "fleet";
        inv.text = text;
        inv.size = size;
    }
    one_inventory(const one_inventory &) = delete;
};

// Each end-to-end case by its name, so that a failure says what broke.
inline std::string case_name(const testing::TestParamInfo<audit_case> &info)
{
    return info.param.name;
}

#endif
