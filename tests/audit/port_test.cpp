// --port: who holds a port.
#include "audit_fixture.h"

namespace {

INSTANTIATE_TEST_SUITE_P(
    port, audit,
    testing::Values(
        // --port: the holders of a port, in block order; 0 only when each
        // port has exactly one.
        // Devices listed twice are found over the whole fleet, in every mode,
        // and reported before the answers.
        audit_case{"port_reports_every_device_listed_twice",
                   {"--port", "40556", "--port", "3"},
                   {},
                   "40556-40558\taa:bb:cc:dd:ee:ff\ta\n",
                   "-:3: duplicate of -:2\nportslot-audit: no device holds port 3: it is outside "
                   "the range 40000 to 41000\n",
                   1,
                   "aa:bb:cc:dd:ee:ff a\n00:00:00:00:00:01 b\n00:00:00:00:00:01 c\n"},
        // An odd minimum rounds up: 40556 is still the device's port.
        audit_case{"port_under_a_rounded_range",
                   {"--port-min", "39999", "--port", "40556", "@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff gw\n"}},
                   "40556-40558\taa:bb:cc:dd:ee:ff\tgw\n",
                   "",
                   0},
        audit_case{"port_held_by_one",
                   {"--port", "40006", "--port=40004", "@fleet"},
                   {{"fleet", fleet}},
                   "40004-40006\t00:00:00:00:00:01\tsolo\n",
                   "",
                   0},
        audit_case{"port_shared",
                   {"--port", "40556", "--port", "40004", "@fleet"},
                   {{"fleet", fleet}},
                   "40004-40006\t00:00:00:00:00:01\tsolo\n" + std::string(shared_lines),
                   "",
                   1},
        audit_case{"port_not_held",
                   {"--port", "40008", "--port", "40001", "--port", "39998", "--port", "40800",
                    "--port", "42000", "--port-max", "40999", "@fleet"},
                   {{"fleet", fleet}},
                   "",
                   "portslot-audit: no device holds port 40008\n"
                   "portslot-audit: no device holds port 40001: it is odd, and blocks hold even "
                   "ports only\n"
                   "portslot-audit: no device holds port 39998: it is outside the range 40000 "
                   "to 40999\n"
                   "portslot-audit: no device holds port 40800\n"
                   "portslot-audit: no device holds port 42000: it is outside the range 40000 "
                   "to 40999\n",
                   1},
        audit_case{"port_past_last_block",
                   {"--port", "40996", "--port-count", "3", "--port-max", "40999"},
                   {},
                   "",
                   "portslot-audit: no device holds port 40996: it is past the last whole "
                   "block, which ends at 40994\n",
                   1,
                   ""},
        audit_case{"port_with_suggest",
                   {"--port", "40000", "--suggest"},
                   {},
                   "",
                   "portslot-audit: --port cannot be used with --suggest\n" + try_help,
                   2},
        audit_case{"placed_port_held",
                   {"--csv", "--port", "2056", "--port", "40580", "--port", "2100", "@g"},
                   {{"g", "mac,n,Port_Min,port-max,server\n" "aa:bb:cc:dd:ee:ff,a,2000,2099,s1.example\n" "00:00:00:00:00:8b,b,2000,2099,s2.example\n" "00:00:00:00:01:8b,c,,,\n"}},
                   "40580-40582\t00:00:00:00:01:8b\tc,,,\n" "2056-2058\taa:bb:cc:dd:ee:ff\ta,2000,2099,s1.example\n" "2056-2058\t00:00:00:00:00:8b\tb,2000,2099,s2.example\n",
                   "portslot-audit: no device holds port 2100: no range the devices are placed in holds it\n",
                   1}),
    case_name);


} // namespace
