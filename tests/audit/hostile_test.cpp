// Hostile conditions: unreadable and changing files, control bytes, memory running out, output that cannot be written.
#include "audit_fixture.h"

namespace {

INSTANTIATE_TEST_SUITE_P(
    hostile, audit,
    testing::Values(
        audit_case{"file_name_with_a_quote",
                   {"'x"},
                   {},
                   "0 devices, 0 of 250 blocks in use, 0 shared by 0 devices\n",
                   "portslot-audit: ''\\''x': No such file or directory\n",
                   2},
        audit_case{"bad_line_on_standard_input",
                   {},
                   {},
                   "0 devices, 0 of 250 blocks in use, 0 shared by 0 devices\n",
                   "-:1: no port for \"x\"\n",
                   2,
                   "x\n"},
        audit_case{"unreadable_file",
                   {"/nonexistent/inventory", "@a", "--", "-nonexistent"},
                   {{"a", "aa:bb:cc:dd:ee:ff\n"}},
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "portslot-audit: /nonexistent/inventory: No such file or directory\n"
                   "portslot-audit: -nonexistent: No such file or directory\n",
                   2},
        audit_case{"directory_as_file",
                   {"/"},
                   {},
                   "0 devices, 0 of 250 blocks in use, 0 shared by 0 devices\n",
                   "portslot-audit: /: Is a directory\n",
                   2},
        // A NUL byte in an address: no argument could carry it to portslot.
        audit_case{"nul_in_address",
                   {"@nul"},
                   {{"nul", std::string("aa:bb:cc:dd:ee:f\0f x\n", 21)}},
                   "0 devices, 0 of 250 blocks in use, 0 shared by 0 devices\n",
                   "@nul:1: no port for \"aa:bb:cc:dd:ee:f\\x00f\"\n",
                   2},
        audit_case{"odd_names_quoted",
                   {"", "no such 'file'", "e\x1bx'\\b"},
                   {},
                   "0 devices, 0 of 250 blocks in use, 0 shared by 0 devices\n",
                   "portslot-audit: '': No such file or directory\n"
                   "portslot-audit: 'no such '\\''file'\\''': No such file or directory\n"
                   "portslot-audit: $'e\\x1bx\\'\\\\b': No such file or directory\n",
                   2},
        // What an inventory holds cannot act on a terminal through a
        // diagnostic; rows to a pipe are the inventory's data, unchanged.
        audit_case{"control_bytes_escaped",
                   {"--all"},
                   {},
                   "40556-40558\taa:bb:cc:dd:ee:ff\t\x1b]0;t\x07\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "-:2: no port for \"\\x1b[2J\\x7f\"\n-:3: no port for \"" +
                       std::string(64, 'a') + "...\"\n",
                   2,
                   "aa:bb:cc:dd:ee:ff \x1b]0;t\x07\n\x1b[2J\x7f\n"
                   "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa x\n"}),
    case_name);

// Output that cannot be written fails the run: the plan (longer than the
// output buffer, so that writing fails before the end), help and version.
TEST(audit_output, write_error_fails_the_run)
{
    std::ostringstream inventory;
    for (unsigned i = 0; i < 10000; ++i)
        inventory << "00:00:00:" << std::hex << std::setw(6) << std::setfill('0') << i << '\n';
    const std::string path = write_file("full", inventory.str());
    for (const char *option : {"--all", "--help", "--version"}) {
        const tool_run run =
            run_tool(PORTSLOT_AUDIT_PATH, {"portslot-audit", option}, "/dev/full", path.c_str());
        EXPECT_EQ(run.err, "portslot-audit: write error: No space left on device\n") << option;
        EXPECT_EQ(run.status, 2) << option;
    }
    std::remove(path.c_str());
}

// Under the limits of a small machine and hostile conditions: memory that
// runs out is an error like any other, a slow pipe costs no more memory than
// its bytes, every file is closed once read, standard output does not depend
// on standard error, and a file changed while it is read never gives a mixed
// answer.
TEST(audit_conditions, are_met_or_reported)
{
#if defined(PORTSLOT_EMULATED)
    GTEST_SKIP()
        << "the cases run the audit from a host shell, which cannot start a foreign program";
#endif
    const std::string big = write_file("big", std::string(8 << 20, 'a'));
    const std::string one = write_file("one", "aa:bb:cc:dd:ee:ff\n");
    const std::string huge = write_file("huge", ""); // 9 GiB, all of it a hole
    ASSERT_EQ(truncate(huge.c_str(), off_t{9} << 30), 0);
    const std::string line = write_file("line", std::string(33 << 20, 'a'));
    const std::string fleet_text = "x\naa:bb:cc:dd:ee:ff a\n00:00:00:00:00:8b b\n";
    const std::string changing = write_file("changing", fleet_text);
    // What the ephemeral warning says of exposed ports, and when reserving
    // them would leave the host too few.
    const std::string taken = " and are not reserved: an outgoing connection of this host may take "
                              "a device's port, and the device cannot listen until it ends. ";
    const std::string taken_one = " and is not reserved" + taken.substr(21);
    const std::string leaves_too_few = " would leave fewer than half of the ephemeral ports to this "
                                       "host's outgoing connections: move the range out of ";
    std::string many;
    for (int i = 0; i < 40; ++i)
        many += " \"$1\"";
    // The audit reads "$1" (mapped, its first line a diagnostic), then waits
    // on standard input; once the diagnostic is out, CHANGE alters "$1", and
    // the audit goes on to write the plan from it.
    const auto change_while_read = [](const std::string &change) {
        return "touch -d @0 \"$1\"; d=$(mktemp -d); mkfifo \"$d/in\";"
               " \"$0\" --all \"$1\" - <\"$d/in\" >\"$d/out\" 2>\"$d/err\" & exec 3>\"$d/in\";"
               " until grep -qs 'no port' \"$d/err\"; do sleep 0.01; done; " +
               change +
               "; exec 3>&-; wait $!; s=$?; cat \"$d/out\"; cat \"$d/err\" >&2; rm -r \"$d\"; exit "
               "$s";
    };
    const std::string shared =
        "40556-40558\taa:bb:cc:dd:ee:ff\ta\n40556-40558\t00:00:00:00:00:8b\tb\n"
        "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n";
    enum { anywhere, native, changed }; // native: address-space limits hold
    const struct {
        const char *name;
        int where;
        std::string script; // $0 is portslot-audit, $1 a file
        std::string file, out, err;
        int status;
    } cases[] = {
        {"out_of_memory", native, "ulimit -v 7500; exec \"$0\" \"$1\" \"$1\"", big, "",
         "portslot-audit: " + big + ": Cannot allocate memory\n", 2},
        {"slow_pipe", native,
         "for i in $(seq 10 40); do echo 00:00:00:00:00:$i; sleep 0.01; done |"
         " (ulimit -v 7500; exec \"$0\")",
         one, "31 devices, 31 of 250 blocks in use, 0 shared by 0 devices\n", "", 0},
        // A metrics file larger than the process may write (a full disk to
        // it; a limit above what a coverage profile takes): the old file
        // stays, nothing beside it.
        {"metrics_file_too_large", anywhere,
         "d=$(mktemp -d); echo old >\"$d/m.prom\"; awk 'BEGIN { for (i = 0; i < 60000; i++) "
         "printf \"02:00:00:%02x:%02x:%02x d\\n\", i / 65536, i / 256 % 256, i % 256 }' "
         ">\"$d/f\"; (trap '' XFSZ; ulimit -f 6000; \"$0\" --sockets /dev/null --metrics "
         "\"$d/m.prom\" \"$d/f\" >/dev/null 2>\"$d/err\"; echo \"$?\"); sed \"s|$d|D|\" "
         "\"$d/err\"; cat \"$d/m.prom\"; ls \"$d\"; rm -r \"$d\"",
         one, "2\nportslot-audit: D/m.prom: File too large\nold\nerr\nf\nm.prom\n", "", 0},
        {"many_files", anywhere, "ulimit -n 12; exec \"$0\"" + many + " 2>/dev/null", one,
         "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n", "", 0},
        {"too_large", anywhere, "exec \"$0\" \"$1\" /nonexistent", huge, "",
         "portslot-audit: " + huge +
             ": inventories of more than 8 GiB in all are too large to audit\n",
         2},
        // A file is mapped, not copied: a line larger than memory allows.
        {"one_line_mapped", native, "ulimit -v 50000; exec \"$0\" \"$1\"", line,
         "0 devices, 0 of 250 blocks in use, 0 shared by 0 devices\n",
         line + ":1: no port for \"" + std::string(64, 'a') + "...\"\n", 2},
        {"many_standard_inputs", native,
         "args=$(yes - | head -n 100000); exec prlimit --as=9000000 \"$0\" $args </dev/null", one,
         "", "portslot-audit: Cannot allocate memory\n", 2},
        {"diagnostics_closed", anywhere,
         "printf 'aa:bb:cc:dd:ee:ff a\\n00:00:00:00:00:8b b\\nxx\\n' | \"$0\" 2>&-", one, shared,
         "", 2},
        {"diagnostics_full", anywhere,
         "printf 'aa:bb:cc:dd:ee:ff a\\n00:00:00:00:00:8b b\\nxx\\n' | \"$0\" 2>/dev/full", one,
         shared, "", 2},
        {"duplicate_notice_lost", anywhere,
         "printf 'aa:bb:cc:dd:ee:ff\\nAABBCCDDEEFF\\n' | \"$0\" 2>/dev/full", one,
         "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n", "", 2},
        // A FIFO named twice is told from its name before it is opened again,
        // which would wait for ever; standard input named twice is one pipe.
        {"fifo_named_twice", anywhere,
         "d=$(mktemp -d); mkfifo \"$d/ff\"; cat \"$1\" >\"$d/ff\" & \"$0\" \"$d/ff\" \"$d/ff\" "
         "2>\"$d/err\"; s=$?; sed \"s|$d/||\" \"$d/err\" >&2; rm -r \"$d\"; exit $s",
         one, "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
         "portslot-audit: ff: named more than once; read once\n", 0},
        {"pipe_named_twice", anywhere, "cat \"$1\" | \"$0\" - /dev/stdin -", one,
         "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
         "portslot-audit: /dev/stdin: the same file as -; read once\n"
         "portslot-audit: -: named more than once; read once\n",
         0},
        {"same_file_under_another_name", anywhere,
         "exec \"$0\" \"$1\" \"$(dirname \"$1\")/./$(basename \"$1\")\"", one,
         "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
         "portslot-audit: " + one.substr(0, one.rfind('/')) + "/." + one.substr(one.rfind('/')) +
             ": the same file as " + one + "; read once\n",
         0},
        // Files that cannot be mapped are read.
        {"system_file", anywhere, "exec \"$0\" --all /sys/class/net/lo/address", one,
         "40000-40002\t00:00:00:00:00:00\t\n1 device, 1 of 250 blocks in use, 0 shared by 0 "
         "devices\n",
         "", 0},
        // Changed while the metrics were written: the run ends before the
        // file is replaced, and the temporary file is gone.
        {"changed_while_metrics_written", changed,
         "touch -d @0 \"$1\"; d=$(mktemp -d); mkfifo \"$d/in\"; : >\"$d/ss\"; echo old >\"$d/m.prom\"; "
         "\"$0\" --sockets \"$d/ss\" --metrics \"$d/m.prom\" \"$1\" - <\"$d/in\" >/dev/null "
         "2>\"$d/err\" & exec 3>\"$d/in\"; until grep -qs 'no port' \"$d/err\"; do sleep 0.01; done; "
         "echo 00:00:00:00:00:01 >>\"$1\"; exec 3>&-; wait $!; echo $?; cat \"$d/m.prom\"; ls -A \"$d\" "
         "| grep -c portslot-audit; tail -n 1 \"$d/err\" | sed \"s|$1|F|\"; rm -r \"$d\"",
         changing, "2\nold\n0\nportslot-audit: F: changed while being read\n", "", 0},
        // SIGTERM while the metrics are written (a million devices, so that
        // the writing is seen): the temporary file goes, the old file stays.
        {"metrics_stopped_while_written", anywhere,
         "d=$(mktemp -d); : >\"$d/ss\"; echo old >\"$d/m.prom\"; awk 'BEGIN { for (i = 0; i < "
         "1000000; i++) printf \"%02x:%02x:%02x:00:00:01 d%d\\n\", i % 256, int(i / 256) % 256, "
         "int(i / 65536), i }' >\"$d/f\"; \"$0\" --sockets \"$d/ss\" --metrics \"$d/m.prom\" \"$d/f\" "
         ">/dev/null 2>&1 & p=$!; until ls -A \"$d\" | grep -q portslot-audit || ! kill -0 $p "
         "2>/dev/null; do sleep 0.002; done; { kill -TERM $p; wait $p; echo $?; } 2>/dev/null; "
         "cat \"$d/m.prom\"; "
         "ls -A \"$d\" | grep -c portslot-audit; rm -r \"$d\"",
         one, "143\nold\n0\n", "", 0},
        {"shrinks_while_read", changed, change_while_read(": >\"$1\""), changing, "",
         changing + ":1: no port for \"x\"\nportslot-audit: " + changing +
             ": changed while being read\n",
         2},
        // Removed meanwhile, the file's text stays as it was: nothing mixed.
        {"removed_while_read", changed, change_while_read("rm \"$1\""), changing, shared,
         changing + ":1: no port for \"x\"\n", 2},
        // Another file put in its place: the mapped one stays as it was.
        {"replaced_while_read", changed,
         change_while_read("printf 'zz\\n' >\"$1.new\"; mv \"$1.new\" \"$1\""), changing, shared,
         changing + ":1: no port for \"x\"\n", 2},
        // Grown meanwhile: the rows written stay, each true of one text.
        {"grows_while_read", changed, change_while_read("echo 00:00:00:00:00:01 >>\"$1\""),
         changing, "40556-40558\taa:bb:cc:dd:ee:ff\ta\n40556-40558\t00:00:00:00:00:8b\tb\n",
         changing + ":1: no port for \"x\"\nportslot-audit: " + changing +
             ": changed while being read\n",
         2},
        // On a terminal, rows show control bytes escaped (and the terminal
        // ends lines with CR LF).
        {"rows_on_a_terminal", changed,
         "printf 'aa:bb:cc:dd:ee:ff \\033[2Jx\\n' >\"$1\"; A=$0 F=$1 exec script -qec '\"$A\" "
         "--suggest --all \"$F\" 2>&1' /dev/null",
         changing,
         "--port-min 40000 --port-max 40002 --port-count 2\r\n"
         "40000-40002\taa:bb:cc:dd:ee:ff\t\\x1b[2Jx\r\n"
         "1 device, 1 of 1 block in use, 0 shared by 0 devices\r\n",
         "", 0},
        // The same bytes written again, and only the nanoseconds of the
        // modification time tell: still a change. Rows written stay.
        {"rewritten_within_a_second", changed,
         change_while_read("cat \"$1\" >\"$1.same\"; dd if=\"$1.same\" of=\"$1\" conv=notrunc "
                           "status=none; rm \"$1.same\"; touch -d @0.5 \"$1\""),
         changing, "40556-40558\taa:bb:cc:dd:ee:ff\ta\n40556-40558\t00:00:00:00:00:8b\tb\n",
         changing + ":1: no port for \"x\"\nportslot-audit: " + changing +
             ": changed while being read\n",
         2},
        // Rows are escaped by whether standard output is a terminal, whatever
        // standard error is.
        {"terminal_for_rows_only", changed,
         "printf 'aa:bb:cc:dd:ee:ff \\033[2Jx\\n' >\"$1\"; A=$0 F=$1 exec script -qec '\"$A\" "
         "--all \"$F\" 2>/dev/null' /dev/null",
         changing,
         "40556-40558\taa:bb:cc:dd:ee:ff\t\\x1b[2Jx\r\n"
         "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\r\n",
         "", 0},
        {"terminal_for_diagnostics_only", changed,
         "printf 'aa:bb:cc:dd:ee:ff \\033[2Jx\\n' >\"$1\"; d=$(mktemp -d); A=$0 F=$1 O=$d/out "
         "script -qec '\"$A\" --all \"$F\" >\"$O\"' /dev/null; cat \"$d/out\"; rm -r \"$d\"",
         changing,
         "40556-40558\taa:bb:cc:dd:ee:ff\t\033[2Jx\n"
         "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
         "", 0},
        // A long search shows its progress on a terminal only (the second it
        // waits made none by the tests' own hook).
        {"progress_on_a_terminal", anywhere,
         "seq 0 14999 | awk '{printf \"00:00:00:%06x\\n\", ($1 * 1117) % 16777216}' >\"$1.keys\"; "
         "A=$0 F=$1.keys PORTSLOT_AUDIT_PROGRESS_MS=0 script -qec '\"$A\" --suggest --port-min "
         "1024 "
         "--port-count 1 \"$F\" >/dev/null' /dev/null | tr '\\r' '\\n' | grep -q "
         "'^portslot-audit: searching: [0-9]* of 32256 block counts' && echo shown; "
         "PORTSLOT_AUDIT_PROGRESS_MS=0 \"$0\" --suggest --port-min 1024 --port-count 1 \"$1.keys\" "
         "2>&1 >/dev/null | grep -c searching; rm \"$1.keys\"",
         one, "shown\n0\n", "", 0},
        // A name of control bytes, each six bytes in JSON: the row still
        // fits where it is composed.
        {"json_row_of_a_long_name", anywhere,
         "d=$(mktemp -d); n=$(printf '\\001%.0s' $(seq 255)); mkdir -p \"$d/$n/$n\"; cp \"$1\" "
         "\"$d/$n/$n/$n\"; cd \"$d\"; \"$0\" --json --all \"$n/$n/$n\" | jq -r "
         "'select(.type == \"device\") | \"\\(.first) \\(.file | length) \\(.file | "
         "explode | unique)\"'; rm -r \"$d\"",
         one, "40556 767 [1,47]\n", "", 0},
        // Inventories of more than 8 GiB in all, each of them less: two holes
        // of just over 4 GiB with a device at each end. (Native only: reading
        // the first hole takes seconds, and minutes under the sanitizers.)
        {"too_large_together", native,
         "for f in \"$1.a\" \"$1.b\"; do cp \"$1\" \"$f\"; truncate -s 4294967400 \"$f\"; "
         "echo >>\"$f\"; cat \"$1\" >>\"$f\"; done; \"$0\" \"$1.a\" \"$1.b\" 2>&1 | tail -n 1 | "
         "sed \"s|$1|F|\"; rm \"$1.a\" \"$1.b\"",
         one, "portslot-audit: F.b: inventories of more than 8 GiB in all are too large to audit\n",
         "", 0},
        // Keys as ssh-keygen makes them, cut short, with more after, and with
        // one digit changed (which moves an ECDSA point off its curve): the
        // audit takes exactly those ssh-keygen reads.
        {"keys_agree_with_ssh_keygen", anywhere,
         "d=$(mktemp -d); n=0; bad=0; for t in ed25519 'ecdsa -b 256' 'ecdsa -b 384' 'ecdsa -b "
         "521' 'rsa -b 1024'; do ssh-keygen -q -t $t -N '' -f \"$d/k\"; set -- $(cat "
         "\"$d/k.pub\"); rm \"$d/k\" \"$d/k.pub\"; for v in \"$2\" \"${2%????}\" \"${2}AAAA\" $(for "
         "i in 30 45 60 75 90; do printf '%s ' \"$(printf %s \"$2\" | sed \"s/./A/$i\")\"; done); "
         "do n=$((n+1)); printf '%s %s\\n' \"$1\" \"$v\" >\"$d/p\"; ssh-keygen -l -f \"$d/p\" "
         ">/dev/null 2>&1; s=$?; printf '00:00:00:00:00:01 %s %s\\n' \"$1\" \"$v\" | \"$0\" "
         "--authorized-keys 2 >/dev/null 2>&1; a=$?; [ $((s == 0)) = $((a == 0)) ] || { "
         "bad=$((bad+1)); echo \"$1 $v: ssh-keygen $s, audit $a\"; }; done; done; echo \"$n keys, "
         "$bad disagree\"; rm -r \"$d\"",
         one, "40 keys, 0 disagree\n", "", 0},
        // A socket table that never ends a line ends the read at once, and
        // one far larger than any host's as it passes the bound.
        // --identify on this host (a /proc of the test's own), ssh-keyscan a
        // stand-in that knows two ports' keys: the holder named, an unknown
        // key, a port without an answer; JSON and metrics follow; without
        // ssh-keyscan, the run says so (status 2).
        {"identify_with_a_scanner", anywhere,
         "d=$(mktemp -d); mkdir -p \"$d/net\" \"$d/bin\" \"$d/many/net\"; printf '  sl  local_address "
         "rem_address   st\\n' >\"$d/net/tcp\"; for p in 9C44 9C48 9C4C 9C50; do printf '   0: "
         "0100007F:%s 00000000:0000 0A\\n' $p >>\"$d/net/tcp\"; done; printf '#!/bin/sh\\nwhile [ $# "
         "-gt 1 ]; do [ \"$1\" = -p ] && p=$2; shift; done\\ncase $p in *0) sleep 0.2 ;; esac\\ncase $p in 40004) echo "
         "\"[127.0.0.1]:40004 " + ed25519_key(1) + "\" ;; 40008) echo \"[127.0.0.1]:40008 " +
             ed25519_key(9) + "\" ;; 40012) echo garbage ;; 40016) echo \"[127.0.0.1]:40016 " +
             ed25519_key(8) + "\" ;; esac\\n' >\"$d/bin/ssh-keyscan\"; chmod +x \"$d/bin/ssh-keyscan\"; "
             "printf 'mac,name,host_key\\n52:54:00:00:00:01,a," + ed25519 + "\\n52:54:00:00:00:fb,b," +
             ed25519_key(1) + "\\n52:54:00:00:00:02,c," + ed25519_key(2) + "\\n52:54:00:00:00:fc,d," +
             ed25519_key(4) + "\\n52:54:00:00:00:03,e," + ed25519_key(5) + "\\n52:54:00:00:00:04,g," +
             ed25519_key(7) + "\\n52:54:00:00:00:fe,h,\\n' >\"$d/f.csv\"; head -n 4 \"$d/f.csv\" | sed "
             "-n '1p;4p' >\"$d/g.csv\"; a() { f=$1; shift; PATH=\"$d/bin:$PATH\" "
             "PORTSLOT_AUDIT_PROC=\"$d\" \"$0\" --csv --drop-column host_key --listening \"$@\" "
             "\"$d/$f\"; echo $?; }; a f.csv --identify-all | cut -f2; a f.csv --identify-all --json | "
             "grep -o '\"identified\":\"[a-z_]*\"\\(,\"holder\":\"[^\"]*\"\\)\\{0,1\\}' | uniq; a f.csv "
             "--identify --metrics \"$d/m.prom\" >/dev/null; grep '^portslot_device_connected' "
             "\"$d/m.prom\" | sed 's/.*{mac=\"\\([^\"]*\\)\".* /\\1 /'; a g.csv --identify-all | tail -n "
             "1; printf '  sl  local_address rem_address   st\\n' >\"$d/many/net/tcp\"; echo "
             "mac,host_key >\"$d/many.csv\"; for i in $(seq 10 29); do printf '   0: 0100007F:%04X "
             "00000000:0000 0A\\n' $((40000 + 4 * i)) >>\"$d/many/net/tcp\"; printf "
             "'52:54:00:00:00:%02x,\\n' $i >>\"$d/many.csv\"; done; PATH=\"$d/bin:$PATH\" "
             "PORTSLOT_AUDIT_PROC=\"$d/many\" \"$0\" --csv --listening --identify-all \"$d/many.csv\" | "
             "grep -c 'no answer'; PATH=/nonexistent "
             "PORTSLOT_AUDIT_PROC=\"$d\" \"$0\" --csv --listening --identify \"$d/f.csv\" 2>&1 "
             ">/dev/null | tail -n 1; rm -r \"$d\"",
         one,
         "shared, listening 40004, held by 52:54:00:00:00:fb\nshared, listening 40004, held by "
         "52:54:00:00:00:fb\nshared, listening 40008, an unknown host key on 40008\nshared, "
         "listening 40008, an unknown host key on 40008\nlistening 40012, no answer on 40012\n"
         "shared, listening 40016, not told on 40016\nshared, listening 40016, not told on 40016\n"
         "7 devices, 4 of 250 blocks in use, 3 shared by 6 devices\n2 devices connected, 3 not "
         "connected, 2 in shared blocks that listen (which of them is connected cannot be told), 1 "
         "port of devices answered by a host key none of their block has, 0 ports of the range "
         "listening without a device\n1\n"
         "\"identified\":\"held\",\"holder\":\"52:54:00:00:00:fb\"\n"
         "\"identified\":\"unknown_key\"\n\"identified\":\"no_answer\"\n\"identified\":\"not_told\"\n"
         "52:54:00:00:00:01 0\n52:54:00:00:00:fb 1\n52:54:00:00:00:02 0\n52:54:00:00:00:fc 0\n"
         "52:54:00:00:00:03 1\n52:54:00:00:00:04 1\n52:54:00:00:00:fe 1\n1\n20\n"
         "portslot-audit: cannot run ssh-keyscan: No such file or directory\n",
         "", 0},
        {"sockets_without_end", anywhere,
         "\"$0\" --sockets /dev/zero \"$1\" 2>&1 >/dev/null; echo $?", one,
         "/dev/zero:1: a line longer than any socket table's: not a socket table\n2\n", "", 0},
        // The last good metrics file is left as it was by a run that could
        // not read an inventory; a record refused alone is counted, the file
        // written with the rest; a metrics file that is an input is refused
        // before anything is written; addresses that differ only in bytes
        // that are no text give series of their own; no temporary file left.
        {"metrics_never_lie", anywhere,
         "d=$(mktemp -d); : >\"$d/ss\"; run() { \"$0\" --sockets \"$d/ss\" --metrics \"$@\" "
         ">/dev/null 2>\"$d/err\"; echo $?; }; run \"$d/m.prom\" \"$1\"; cp \"$d/m.prom\" \"$d/good\"; "
         "run \"$d/m.prom\" \"$d/none\"; cmp -s \"$d/m.prom\" \"$d/good\" && echo kept; "
         "printf 'xyz\\n' | cat \"$1\" - >\"$d/f\"; run \"$d/m.prom\" \"$d/f\"; "
         "grep '^portslot_records_refused' \"$d/m.prom\"; cp \"$d/f\" \"$d/f0\"; "
         "run \"$d/f\" \"$d/f\"; cmp -s \"$d/f\" \"$d/f0\" && sed \"s|$d|D|\" \"$d/err\"; "
         "run \"$d/ss\" \"$d/f\"; printf 'aa:bb:cc:dd:ee:f\\377 x\\naa:bb:cc:dd:ee:f\\376 x\\n' "
         ">\"$d/u\"; run \"$d/m.prom\" \"$d/u\"; grep '^portslot_device_connected{' \"$d/m.prom\" "
         "| sed 's/} .*//' | sort | uniq | wc -l; ls -A \"$d\" | grep -c portslot-audit; rm -r \"$d\"",
         one,
         "0\n2\nkept\n2\nportslot_records_refused 1\n2\n"
         "portslot-audit: D/f: --metrics names a file this run reads; nothing written\n2\n1\n2\n0\n",
         "", 0},
        // The ports of the range the kernel may give away, counted: the even
        // ports 40000-40010 but the two reserved.
        {"metrics_ephemeral_ports_exposed", anywhere,
         "d=$(mktemp -d); mkdir -p \"$d/net\" \"$d/sys/net/ipv4\"; printf '  sl  local_address "
         "rem_address   st\\n' >\"$d/net/tcp\"; printf '32768 60999\\n' "
         ">\"$d/sys/net/ipv4/ip_local_port_range\"; printf '40004-40006\\n' "
         ">\"$d/sys/net/ipv4/ip_local_reserved_ports\"; PORTSLOT_AUDIT_PROC=\"$d\" \"$0\" --listening "
         "--port-max 40010 --metrics \"$d/m.prom\" \"$1\" >/dev/null 2>&1; grep "
         "'^portslot_ephemeral_ports_exposed ' \"$d/m.prom\"; rm -r \"$d\"",
         one, "portslot_ephemeral_ports_exposed 4\n", "", 0},
        // Devices placed in ranges of their own: the ports from the lowest
        // range's to the highest's counted, 40000-40110 (56 even ports).
        {"placed_ephemeral_ports_exposed", anywhere,
         "d=$(mktemp -d); mkdir -p \"$d/net\" \"$d/sys/net/ipv4\"; printf '  sl  local_address "
         "rem_address   st\\n' >\"$d/net/tcp\"; printf '32768 60999\\n' "
         ">\"$d/sys/net/ipv4/ip_local_port_range\"; : >\"$d/sys/net/ipv4/ip_local_reserved_ports\"; "
         "printf 'mac,port_min,port_max\\naa:bb:cc:dd:ee:ff,40000,40010\\n00:00:00:00:00:01,40100,"
         "40110\\n' >\"$d/f.csv\"; PORTSLOT_AUDIT_PROC=\"$d\" \"$0\" --csv --listening --metrics "
         "\"$d/m.prom\" \"$d/f.csv\" >/dev/null 2>&1; grep '^portslot_ephemeral_ports_exposed ' "
         "\"$d/m.prom\"; for f in 'aa:bb:cc:dd:ee:ff,,' 'aa:bb:cc:dd:ee:ff,,\\n00:00:00:00:00:01,41100,"
         "41110'; do printf \"mac,port_min,port_max\\\\n$f\\\\n\" >\"$d/f.csv\"; PORTSLOT_AUDIT_PROC=\"$d\" "
         "\"$0\" --csv --listening --metrics \"$d/m.prom\" \"$d/f.csv\" >/dev/null 2>&1; grep "
         "'^portslot_ephemeral_ports_exposed ' \"$d/m.prom\"; done; rm -r \"$d\"",
         one, "portslot_ephemeral_ports_exposed 56\nportslot_ephemeral_ports_exposed 500\n"
         "portslot_ephemeral_ports_exposed 556\n", "", 0},
        // A line past the bound that ends within one piece of the read.
        {"sockets_long_line_ended", anywhere,
         "{ echo 'State Recv-Q Send-Q Local Peer'; printf 'LISTEN 0 128 0.0.0.0:40556 0.0.0.0:* '; "
         "head -c 4097 /dev/zero | tr '\\0' x; echo; } "
         ">\"$1.ss\"; \"$0\" --sockets \"$1.ss\" \"$1\" 2>\"$1.e\" >/dev/null; s=$?; "
         "sed \"s|$1|F|\" \"$1.e\"; echo $s; rm \"$1.ss\" \"$1.e\"", one,
         "F.ss:2: a line longer than any socket table's: not a socket table\n2\n", "", 0},
        // --listening on this host (a /proc of the test's own): the kernel's
        // ephemeral ports warned about where they meet the range and are not
        // reserved, with the line that reserves them beside what is; nothing
        // when it is all reserved or outside, or when the kernel's files
        // cannot be read or are not of their form.
        {"kernel_ephemeral_ports", anywhere,
         "f=$1; d=$(mktemp -d); mkdir -p \"$d/net\" \"$d/sys/net/ipv4\"; "
         "k=\"$d/sys/net/ipv4/ip_local\"; printf '  sl  local_address rem_address   st\\n  "
         " 0: 00000000:9E6C 00000000:0000 0A\\n' >\"$d/net/tcp\"; run() { printf \"$1\" "
         ">\"${k}_port_range\"; printf \"$2\" >\"${k}_reserved_ports\"; printf '%s | %s\\n' "
         "\"$1\" \"$2\"; PORTSLOT_AUDIT_PROC=\"$d\" \"$0\" --listening --port-max 40010 "
         "--metrics \"$d/m.prom\" $3 \"$f\" "
         "2>&1 >/dev/null; echo \"$?\"; }; run '32768\\t60999\\n' '8080,40004-40006\\n'; run "
         "'32768 60999\\n' '40000-41000\\n'; run '50000\\t60999\\n' '\\n'; run "
         "'1024\\t40000\\n' ''; run '32768 60999' '' '--port-min 0 --port-max 70000 "
         "--port-count 1'; run '32768 60999' '' '--port-min 1024 --port-max 65535 "
         "--port-count 1'; run '40002 40002' ''; run '32768 60999' '' '--port-max 44000 "
         "--port-count 1'; cp \"$d/net/tcp\" \"$d/net/tcp6\"; run '32768\\t60999' '1-2,x\\n'; "
         "run 'x' ''; run '1 2 3' ''; run '1 2' '3-'; run '1 2' '5-4'; run '1 2' '1;'; "
         "run '1 99999' ''; run '1 2\\nx' ''; printf '32768 60999\\n' >\"${k}_port_range\"; "
         "yes 1, | head -c 9000 | tr -d '\\n' >\"${k}_reserved_ports\"; echo long; "
         "PORTSLOT_AUDIT_PROC=\"$d\" \"$0\" --listening --port-max 40002 \"$f\" 2>&1 "
         ">/dev/null; echo \"$?\"; rm \"${k}_reserved_ports\"; echo gone; "
         "PORTSLOT_AUDIT_PROC=\"$d\" \"$0\" --listening \"$f\" 2>&1 >/dev/null; echo \"$?\"; "
         "mkdir \"${k}_reserved_ports\"; echo folder; PORTSLOT_AUDIT_PROC=\"$d\" \"$0\" "
         "--listening \"$f\" 2>&1 >/dev/null; echo \"$?\"; rmdir \"${k}_reserved_ports\"; "
         "echo bad >\"$d/net/tcp\"; echo bad; PORTSLOT_AUDIT_PROC=\"$d\" \"$0\" --listening "
         "\"$f\" >/dev/null 2>&1; echo \"$?\"; PORTSLOT_AUDIT_PROC=\"$d/$(printf '%05000d' "
         "0)\" \"$0\" --listening \"$f\" >/dev/null 2>&1; echo \"$?\"; rm -r \"$d\"",
         one,
         "32768\\t60999\\n | 8080,40004-40006\\n\n"
         "portslot-audit: warning: the even ports 40000-40002,40008-40010 of "
         "the range lie in the kernel's ephemeral ports (32768-60999)" +
         taken +
         "Reserve them now, and at every boot:\n"
         "  sysctl -w "
         "net.ipv4.ip_local_reserved_ports=8080,40000,40002,40004-40006,40008,40010\n"
         "  echo 'net.ipv4.ip_local_reserved_ports = "
         "8080,40000,40002,40004-40006,40008,40010' >/etc/sysctl.d/60-portslot.conf\n"
         "0\n"
         "32768 60999\\n | 40000-41000\\n\n"
         "0\n"
         "50000\\t60999\\n | \\n\n"
         "0\n"
         "1024\\t40000\\n | \n"
         "portslot-audit: warning: port 40000 of the range lies in the kernel's "
         "ephemeral ports (1024-40000)" +
         taken_one +
         "Reserve it now, and at every boot:\n"
         "  sysctl -w net.ipv4.ip_local_reserved_ports=40000\n"
         "  echo 'net.ipv4.ip_local_reserved_ports = 40000' "
         ">/etc/sysctl.d/60-portslot.conf\n"
         "0\n"
         "32768 60999 | \n"
         "portslot-audit: warning: the even ports 32768-60998 of the range lie "
         "in the kernel's ephemeral ports (32768-60999)" +
         taken +
         "Reserving them" +
         leaves_too_few +
         "32768-60999 (--port-min, --port-max), or move "
         "net.ipv4.ip_local_port_range away from it\n"
         "1\n"
         "32768 60999 | \n"
         "portslot-audit: warning: the even ports 32768-60998 of the range lie "
         "in the kernel's ephemeral ports (32768-60999)" +
         taken +
         "Reserving them" +
         leaves_too_few +
         "32768-60999 (--port-min, --port-max), or move "
         "net.ipv4.ip_local_port_range away from it\n"
         "1\n"
         "40002 40002 | \n"
         "portslot-audit: warning: port 40002 of the range lies in the kernel's "
         "ephemeral ports (40002-40002)" +
         taken_one +
         "Reserving it" +
         leaves_too_few +
         "40002-40002 (--port-min, --port-max), or move "
         "net.ipv4.ip_local_port_range away from it\n"
         "0\n"
         "32768 60999 | \n"
         "portslot-audit: warning: the even ports 40000-44000 of the range lie "
         "in the kernel's ephemeral ports (32768-60999)" +
         taken +
         "Reserve them now, and at every boot:\n"
         "  sysctl -w net.ipv4.ip_local_reserved_ports=40000-44000\n"
         "  echo 'net.ipv4.ip_local_reserved_ports = 40000-44000' "
         ">/etc/sysctl.d/60-portslot.conf\n"
         "1\n"
         "32768\\t60999 | 1-2,x\\n\n"
         "0\n"
         "x | \n"
         "0\n"
         "1 2 3 | \n"
         "0\n"
         "1 2 | 3-\n"
         "0\n"
         "1 2 | 5-4\n"
         "0\n"
         "1 2 | 1;\n"
         "0\n"
         "1 99999 | \n"
         "0\n"
         "1 2\\nx | \n"
         "0\n"
         "long\n"
         "portslot-audit: warning: the even ports 40000-40002 of the range lie "
         "in the kernel's ephemeral ports (32768-60999)" +
         taken +
         "Reserve them now, and at every boot:\n"
         "  sysctl -w net.ipv4.ip_local_reserved_ports=1,40000,40002\n"
         "  echo 'net.ipv4.ip_local_reserved_ports = 1,40000,40002' "
         ">/etc/sysctl.d/60-portslot.conf\n"
         "0\n"
         "gone\n"
         "0\n"
         "folder\n"
         "0\n"
         "bad\n"
         "2\n"
         "2\n",
         "", 0},
        // This host's own tables: whatever listens, they are read.
        {"listening_on_this_host", anywhere,
         "\"$0\" --listening \"$1\" >/dev/null 2>&1; [ $? -lt 2 ] && echo read", one, "read\n", "",
         0},
        {"rewritten_while_read", changed,
         change_while_read("printf 'x\\n00:00:00:00:00:01 a\\n00:00:00:00:00:02 b\\n' |"
                           " dd of=\"$1\" conv=notrunc status=none"),
         changing, "",
         changing + ":1: no port for \"x\"\nportslot-audit: " + changing +
             ": changed while being read\n",
         2},
    };
    for (const auto &c : cases) {
#if defined(__SANITIZE_ADDRESS__) || PORTSLOT_HAS_ADDRESS_SANITIZER
        if (c.where == native) {
            std::printf("[ SKIPPED  ] case %s: the sanitizer's shadow memory leaves no room for "
                        "address-space limits\n",
                        c.name);
            continue;
        }
#endif
        if (c.where == changed)
            std::ofstream(c.file, std::ios::binary) << fleet_text;
        const tool_run run =
            run_tool("/bin/sh", {"sh", "-c", c.script, PORTSLOT_AUDIT_PATH, c.file});
        EXPECT_EQ(run.out, c.out) << c.name;
        EXPECT_EQ(run.err, c.err) << c.name;
        EXPECT_EQ(run.status, c.status) << c.name;
    }
    for (const std::string &path : {big, one, huge, line, changing})
        std::remove(path.c_str());
}

// Running out of memory at any allocation ends the run with the documented
// answer, never a crash or a wrong one: each step is run once to count its
// allocations, then once with each of them failing.
TEST(audit_memory, every_allocation_may_fail)
{
    using namespace portslot::audit;
    const std::string text = "aa:bb:cc:dd:ee:ff a\n00:00:00:00:00:8b b\nAABBCCDDEEFF c\n"
                             "00:00:00:00:00:01 d"; // its row ends where the text does
    const guarded_text guarded(text);
    const one_inventory fleet_of_one(guarded.data(), text.size());
    const inventory &inv = fleet_of_one.inv;
    const portslot::audit::fleet &inventories = fleet_of_one.inventories;
    const port_range range{40000, 41000, 2};
    const auto place = [&](growing_array<std::uint64_t> &devices) {
        for_each_entry(inv.text, inv.size, [&](const entry &e) {
            const std::string mac(e.mac, e.mac_size);
            devices.push(make_device(portslot::compute_port(mac.c_str(), 40000, 41000, 2, 1),
                                     static_cast<std::uint64_t>(e.mac - inv.text)));
            return true;
        });
        sort_by_block(devices);
    };
    char sink[64];
    const struct {
        const char *subject; // what the message names, if anything
        std::function<bool()> step;
    } steps[] = {
        {"fleet",
         [] {
             std::FILE *pipe = popen("head -c 300000 /dev/zero", "r");
             portslot::output diagnostics(2);
             char *read = nullptr;
             std::size_t size = 0;
             const int error = read_all(fileno(pipe), "p", read, size, diagnostics, SIZE_MAX);
             pclose(pipe);
             std::free(read);
             return error == 0 && size == 300000;
         }},
        {nullptr,
         [] { // large enough to ask for large pages
             growing_array<std::uint64_t> many;
             for (std::uint64_t i = 0; i < 600000; ++i)
                 many.push(i);
             return many.items[599999] == 599999;
         }},
        {nullptr,
         [&] {
             growing_array<std::uint64_t> devices;
             growing_array<duplicate> duplicates;
             portslot::output out(-1, sink, sizeof sink), err(-1, sink, sizeof sink);
             place(devices);
             drop_listed_twice(devices, inventories, kept_entry::first, duplicates);
             const plan p = make_plan(devices, range, rows_of::every_device);
             text_printer.rows(p, inventories, rows_place{out, false});
             json_printer.rows(p, inventories, rows_place{out, false});
             write_duplicates(duplicates, inventories, err);
             return p.summary.devices == 3 && duplicates.size == 1;
         }},
        {nullptr,
         [&] {
             growing_array<std::uint64_t> devices, keys;
             place(devices);
             keys_of(devices, inventories, keys);
             place_devices(devices, inventories, {40000, 40006, 2});
             return keys.size == 4 && devices.size == 4;
         }},
        {nullptr,
         [] {
             const std::uint64_t keys[] = {1, 2, 3, 3 + 4096};
             return search_blocks(keys, 4, 1 << 22).blocks == 5;
         }},
    };
    for (const auto &[subject, step] : steps) {
        set_memory_subject(subject);
        const long before = allocations();
        ASSERT_TRUE(step());
        const long count = allocations() - before;
        EXPECT_GT(count, 0) << "a step that allocates nothing";
        const std::string message = std::string("^portslot-audit: ") +
                                    (subject != nullptr ? std::string(subject) + ": " : "") +
                                    "Cannot allocate memory\n$";
        for (long granted = 0; granted < count; ++granted)
            EXPECT_EXIT(
                {
                    fail_allocation_after(granted);
                    step();
                    std::exit(0);
                },
                testing::ExitedWithCode(2), message)
                << (subject != nullptr ? subject : "-") << " " << granted;
    }
    set_memory_subject(nullptr);
}

// On a terminal, rows show the control bytes of addresses and labels
// escaped; elsewhere they pass unchanged.
// A file written while its plan is written: every row is true of one text,
// and the first device whose address no longer gives its block ends the run
// there. The change is made between planning and writing, as a writer of the
// file could make it; text rows and JSON rows alike.
TEST(plan, ends_at_the_first_row_whose_address_changed)
{
    using namespace portslot::audit;
    for (const bool json : {false, true}) {
        std::string text = "00:00:00:00:00:01 a\n00:00:00:00:00:02 b\n00:00:00:00:00:03 c\n";
        const one_inventory fleet_of_one(text.data(), text.size());
        const portslot::audit::fleet &inventories = fleet_of_one.inventories;
        growing_array<std::uint64_t> devices;
        for (std::uint64_t i = 0; i < 3; ++i)
            devices.push(make_device(static_cast<std::int32_t>(40004 + 4 * i), 20 * i));
        text[20 + 16] = '9'; // the second device's address, now of another block
        std::FILE *sink = std::tmpfile();
        EXPECT_EXIT(
            {
                char buffer[64]; // (rows reach the file as they are written)
                portslot::output out(fileno(sink), buffer, sizeof buffer);
                keep_output_on_fatal(out);
                const plan p = make_plan(devices, {40000, 41000, 2}, rows_of::every_device);
                (json ? json_printer : text_printer).rows(p, inventories, rows_place{out, false});
                std::exit(0);
            },
            testing::ExitedWithCode(2), "portslot-audit: fleet: changed while being read\n");
        std::string written;
        std::rewind(sink);
        for (int c; (c = std::fgetc(sink)) != EOF;)
            written += static_cast<char>(c);
        std::fclose(sink);
        // What reached the file: the first device's row, whole, and no other.
        EXPECT_EQ(written,
                  json ? "{\"type\":\"device\",\"first\":40004,\"last\":40006,\"mac\":"
                         "\"00:00:00:00:00:01\",\"label\":\"a\",\"file\":\"fleet\",\"line\":1,"
                         "\"shared\":false}\n"
                       : "40004-40006\t00:00:00:00:00:01\ta\n");
    }
}

TEST(plan, escapes_rows_for_a_terminal)
{
    using namespace portslot::audit;
    const std::string text = "aa:bb:cc:dd:ee:ff \x1b]0;x\x07 y\xc2\x9b"
                             "1m\xc2\xa0\n";
    const one_inventory fleet_of_one(text.data(), text.size());
    const portslot::audit::fleet &inventories = fleet_of_one.inventories;
    for (const bool escape : {false, true}) {
        growing_array<std::uint64_t> devices;
        devices.push(make_device(40556, 0));
        char buffer[128];
        portslot::output out(-1, buffer, sizeof buffer);
        const plan p = make_plan(devices, {40000, 41000, 2}, rows_of::every_device);
        text_printer.rows(p, inventories, rows_place{out, escape});
        const std::string row =
            std::string(buffer, std::find(buffer, buffer + sizeof buffer, '\n'));
        EXPECT_EQ(row, escape
                           ? "40556-40558\taa:bb:cc:dd:ee:ff\t\\x1b]0;x\\x07 y\\xc2\\x9b1m\xc2\xa0"
                           : "40556-40558\taa:bb:cc:dd:ee:ff\t\x1b]0;x\x07 y\xc2\x9b"
                             "1m\xc2\xa0");
    }
}

} // namespace
