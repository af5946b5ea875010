// --listening, --sockets and --metrics: the fleet beside the sockets that listen.
#include "audit_fixture.h"

namespace {

INSTANTIATE_TEST_SUITE_P(
    listen, audit,
    testing::Values(
        // Beside the sockets that listen: the state before the address; a
        // port listening on several addresses once; states other than
        // LISTEN, other protocols and ports outside the range ignored.
        audit_case{
            "listening_from_ss",
            {"--sockets", "@s", "@fleet"},
            {{"fleet", fleet},
             {"s", "State Recv-Q Send-Q Local Address:Port Peer Address:PortProcess\n"
                   "LISTEN 0 128 127.0.0.1:40558 0.0.0.0:*\n"
                   "LISTEN 0 128 [::1]:40558 [::]:*\n"
                   "LISTEN 0 128 127.0.0.1%lo:40556 0.0.0.0:*\n"
                   "ESTAB 0 0 10.0.0.1:40004 10.0.0.2:22\n"
                   "LISTEN 0 128 *:40999 *:* users:((\"x\",pid=1,fd=3))\n"
                   "LISTEN 0 128 0.0.0.0:22 0.0.0.0:*\n"}},
            "40004-40006\tnot listening\t00:00:00:00:00:01\tsolo\n"
            "40556-40558\tshared, listening 40556,40558\taa:bb:cc:dd:ee:ff\tgateway  room 1\n"
            "40556-40558\tshared, listening 40556,40558\t00:00:00:00:00:8b\tcam\n"
            "40556-40558\tshared, listening 40556,40558\t11:22:33:00:01:85\tprinter\n"
            "40999\tlistening, no device\n" +
                fleet_summary +
                "0 devices connected, 1 not connected, 3 in shared blocks that listen (which of "
                "them is connected cannot be told), 1 port of the range listening without a "
                "device\n",
            "",
            1},
        // A fleet whose ports listen, each alone in its block: all is well.
        audit_case{
            "listening_from_proc_tables",
            {"--json", "--sockets", "@s", "@a"},
            {{"a", "00:00:00:00:00:01 a\n00:00:00:00:00:02 b\n00:00:00:00:00:03 c\n"},
             {"s", "  sl  local_address rem_address   st tx_queue\n"
                   "   0: 0100007F:9C46 00000000:0000 0A 00000000:00000000\n"
                   "   1: 0100007F:9C48 0200000A:0016 01 00000000:00000000\n"
                   "  sl  local_address                         remote_address st\n"
                   " 0: 00000000000000000000000001000000:9C4A "
                   "00000000000000000000000000000000:0000 0A 0\n"}},
            "{\"type\":\"device\",\"first\":40004,\"last\":40006,\"mac\":\"00:00:00:00:00:01\","
            "\"label\":\"a\",\"file\":\"@a\",\"line\":1,\"shared\":false,\"listening\":[40006]}\n"
            "{\"type\":\"device\",\"first\":40008,\"last\":40010,\"mac\":\"00:00:00:00:00:02\","
            "\"label\":\"b\",\"file\":\"@a\",\"line\":2,\"shared\":false,\"listening\":[40010]}\n"
            "{\"type\":\"device\",\"first\":40012,\"last\":40014,\"mac\":\"00:00:00:00:00:03\","
            "\"label\":\"c\",\"file\":\"@a\",\"line\":3,\"shared\":false,\"listening\":[]}\n"
            "{\"type\":\"summary\",\"devices\":3,\"blocks\":250,\"blocks_in_use\":3,"
            "\"shared_blocks\":0,\"sharing_devices\":0,\"must_share\":0,\"connected\":2,"
            "\"not_connected\":1,\"cannot_tell\":0,\"ports_without_device\":0}\n",
            "",
            0},
        // A netid column (ss -Hltun); a port no device holds, in JSON.
        audit_case{
            "listening_port_without_device_json",
            {"--json", "--sockets", "-", "--port-count", "1", "--port-max", "40003", "@a"},
            {{"a", "00:00:00:00:00:01 a\n"}},
            "{\"type\":\"device\",\"first\":40002,\"last\":40002,\"mac\":\"00:00:00:00:00:01\","
            "\"label\":\"a\",\"file\":\"@a\",\"line\":1,\"shared\":false,\"listening\":[]}\n"
            "{\"type\":\"port_without_device\",\"port\":40001}\n"
            "{\"type\":\"port_without_device\",\"port\":40003}\n"
            "{\"type\":\"summary\",\"devices\":1,\"blocks\":2,\"blocks_in_use\":1,"
            "\"shared_blocks\":0,\"sharing_devices\":0,\"must_share\":0,\"connected\":0,"
            "\"not_connected\":1,\"cannot_tell\":0,\"ports_without_device\":2}\n",
            "",
            1,
            "udp UNCONN 0 0 0.0.0.0:40002 0.0.0.0:*\ntcp LISTEN 0 5 0.0.0.0:40001 0.0.0.0:*\n"
            "tcp LISTEN 0 5 0.0.0.0:40003 0.0.0.0:*\ntcp LISTEN 0 5 0.0.0.0:40004 0.0.0.0:*\n"},
        // Lines of neither form, a port by its service's name, a table cut
        // short: each reported, the rest read, status 2.
        audit_case{
            "listening_table_faults",
            {"--sockets", "@s", "@a"},
            {{"a", "00:00:00:00:00:01 a\n"},
             {"s", "LISTEN 0 128 0.0.0.0:ssh 0.0.0.0:*\nLISTEN 0 128\n"
                   "LISTEN x 128 0.0.0.0:1 0.0.0.0:*\nLISTEN 0 128 0.0.0.0 0.0.0.0:*\n"
                   "LISTEN 0 128 0.0.0.0:70000 0.0.0.0:*\n\nLISTEN 0 128 0.0.0.0:40006 0.0.0.0:*"}},
            "40004-40006\tnot listening\t00:00:00:00:00:01\ta\n"
            "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n"
            "0 devices connected, 1 not connected, 0 ports of the range listening without "
            "a device\n",
            "@s:1: not a line of ss -Hltn: \"LISTEN 0 128 0.0.0.0:ssh 0.0.0.0:*\"\n"
            "@s:2: not a line of ss -Hltn: \"LISTEN 0 128\"\n"
            "@s:3: not a line of ss -Hltn: \"LISTEN x 128 0.0.0.0:1 0.0.0.0:*\"\n"
            "@s:4: not a line of ss -Hltn: \"LISTEN 0 128 0.0.0.0 0.0.0.0:*\"\n"
            "@s:5: not a line of ss -Hltn: \"LISTEN 0 128 0.0.0.0:70000 0.0.0.0:*\"\n"
            "@s:7: cut short, no line end: \"LISTEN 0 128 0.0.0.0:40006 0.0.0.0:*\"\n",
            2},
        audit_case{"listening_proc_table_faults",
                   {"--sockets", "@s", "@a"},
                   {{"a", "00:00:00:00:00:01 a\n"},
                    {"s", "0: 0100007F:9C46 00000000:0000 0A\n0 0100007F:9C46 00000000:0000 0A\n"
                          "0: 0100007G:9C46 00000000:0000 0A\n0: 0100007F:9C46 00000000:000 0A\n"
                          "0: 0100007F:9C46 00000000:0000 A\n0: 0100007F:9C46 00000000:0000 0Z\n"
                          "0: 0100007F-9C46 00000000:0000 0A\n0: 0100007F:9C46\n"}},
                   "40004-40006\tlistening 40006\t00:00:00:00:00:01\ta\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n"
                   "1 device connected, 0 not connected, 0 ports of the range listening without "
                   "a device\n",
                   "@s:2: not a line of /proc/net/tcp: \"0 0100007F:9C46 00000000:0000 0A\"\n"
                   "@s:3: not a line of /proc/net/tcp: \"0: 0100007G:9C46 00000000:0000 0A\"\n"
                   "@s:4: not a line of /proc/net/tcp: \"0: 0100007F:9C46 00000000:000 0A\"\n"
                   "@s:5: not a line of /proc/net/tcp: \"0: 0100007F:9C46 00000000:0000 A\"\n"
                   "@s:6: not a line of /proc/net/tcp: \"0: 0100007F:9C46 00000000:0000 0Z\"\n"
                   "@s:7: not a line of /proc/net/tcp: \"0: 0100007F-9C46 00000000:0000 0A\"\n"
                   "@s:8: not a line of /proc/net/tcp: \"0: 0100007F:9C46\"\n",
                   2},
        audit_case{"listening_table_missing",
                   {"--sockets", "/nonexistent/tcp", "@a"},
                   {{"a", "00:00:00:00:00:01 a\n"}},
                   "40004-40006\tnot listening\t00:00:00:00:00:01\ta\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n"
                   "0 devices connected, 1 not connected, 0 ports of the range listening without "
                   "a device\n",
                   "portslot-audit: /nonexistent/tcp: No such file or directory\n",
                   2},
        audit_case{"listening_with_suggest",
                   {"--listening", "--suggest"},
                   {},
                   "",
                   "portslot-audit: --listening cannot be used with --suggest\n" + try_help,
                   2},
        audit_case{"listening_with_port",
                   {"--sockets=x", "--port", "40556"},
                   {},
                   "",
                   "portslot-audit: --sockets cannot be used with --port\n" + try_help,
                   2},
        audit_case{"listening_with_sockets",
                   {"--listening", "--sockets", "x"},
                   {},
                   "",
                   "portslot-audit: --listening cannot be used with --sockets (one reads this "
                   "host's sockets, the other a saved table)\n" +
                       try_help,
                   2},
        audit_case{"sockets_and_inventory_both_standard_input",
                   {"--sockets", "-"},
                   {},
                   "",
                   "portslot-audit: --sockets - and an inventory cannot both be standard input; "
                   "give the inventory's name\n" +
                       try_help,
                   2},
        audit_case{"metrics_alone",
                   {"--metrics", "m.prom"},
                   {},
                   "",
                   "portslot-audit: --metrics goes only with --listening or --sockets\n" +
                       try_help,
                   2},
        // Metrics of a CSV inventory whose shared block listens (their
        // content is checked by promtool and node_exporter, in the
        // monitoring test); none from a table that could not be read.
        audit_case{"metrics_of_a_shared_block",
                   {"--csv", "--sockets", "@s", "--metrics", "@m", "@c"},
                   {{"s", ss_listening({40556})},
                    {"m", ""},
                    {"c", "name,mac,room\nx,aa:bb:cc:dd:ee:ff,r1\ny,00:00:00:00:00:8b,r2\n"}},
                   "40556-40558\tshared, listening 40556\taa:bb:cc:dd:ee:ff\tx,r1\n"
                   "40556-40558\tshared, listening 40556\t00:00:00:00:00:8b\ty,r2\n"
                   "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n0 devices connected, "
                   "0 not connected, 2 in shared blocks that listen (which of them is connected "
                   "cannot be told), 0 ports of the range listening without a device\n",
                   "",
                   1},
        audit_case{"metrics_of_leases",
                   {"--sockets", "@s", "--metrics", "@m", "--field", "2", "@l"},
                   {{"s", ss_listening({40556})},
                    {"m", ""},
                    {"l", "1 aa:bb:cc:dd:ee:ff 192.0.2.1 gw\n3 00:00:00:00:00:01 192.0.2.3\n"}},
                   "40004-40006\tnot listening\t00:00:00:00:00:01\t3 192.0.2.3\n"
                   "40556-40558\tlistening 40556\taa:bb:cc:dd:ee:ff\t1 192.0.2.1 gw\n"
                   "2 devices, 2 of 250 blocks in use, 0 shared by 0 devices\n1 device connected, "
                   "1 not connected, 0 ports of the range listening without a device\n",
                   "",
                   0},
        audit_case{"metrics_not_from_a_bad_table",
                   {"--sockets", "@s", "--metrics", "@m", "@f"},
                   {{"s", "bad line\n"}, {"m", ""}, {"f", "00:00:00:00:00:01 solo\n"}},
                   "40004-40006\tnot listening\t00:00:00:00:00:01\tsolo\n1 device, 1 of 250 "
                   "blocks in use, 0 shared by 0 devices\n0 devices connected, 1 not connected, 0 "
                   "ports of the range listening without a device\n",
                   "@s:1: not a line of ss -Hltn: \"bad line\"\nportslot-audit: @m: left as it "
                   "was, as the run could not read all it was given\n",
                   2},
        // A folder where the file should be: the file beside it is written,
        // then removed when it cannot take the folder's name.
        audit_case{"metrics_path_a_folder",
                   {"--sockets", "@s", "--metrics", ".", "@f"},
                   {{"s", ""}, {"f", "00:00:00:00:00:01 solo\n"}},
                   "40004-40006\tnot listening\t00:00:00:00:00:01\tsolo\n1 device, 1 of 250 "
                   "blocks in use, 0 shared by 0 devices\n0 devices connected, 1 not connected, 0 "
                   "ports of the range listening without a device\n",
                   "portslot-audit: .: Device or resource busy\n",
                   2},
        audit_case{"metrics_folder_missing",
                   {"--sockets", "@s", "--metrics", "/nonexistent/m.prom", "@f"},
                   {{"s", ""}, {"f", "00:00:00:00:00:01 solo\n"}},
                   "40004-40006\tnot listening\t00:00:00:00:00:01\tsolo\n1 device, 1 of 250 "
                   "blocks in use, 0 shared by 0 devices\n0 devices connected, 1 not connected, 0 ports of "
                   "the range listening without a device\n",
                   "portslot-audit: /nonexistent/m.prom: No such file or directory\n",
                   2},
        // A block of 40,000 ports, past the last port number: its ports that
        // listen, up to 65534, and the odd port no device can hold.
        audit_case{"listening_block_past_the_port_space",
                   {"--sockets", "@s", "--port-min", "0", "--port-max", "80000", "--port-count",
                    "40000", "@a"},
                   {{"a", "00:00:00:00:00:01 a\n"}, {"s", listening_ports}},
                   "0-79998\tlistening 2,4,6,8,10,12,14,16,22,40004,65534\t00:00:00:00:00:01\ta\n"
                   "65535\tlistening, no device\n"
                   "1 device, 1 of 1 block in use, 0 shared by 0 devices\n"
                   "1 device connected, 0 not connected, 1 port of the range listening without a "
                   "device\n",
                   "",
                   1},
        audit_case{
            "listening_block_past_the_port_space_json",
            {"--json", "--sockets", "@s", "--port-min", "0", "--port-max", "80000", "--port-count",
             "40000", "@a"},
            {{"a", "00:00:00:00:00:01 a\n"}, {"s", listening_ports}},
            "{\"type\":\"device\",\"first\":0,\"last\":79998,\"mac\":\"00:00:00:00:00:01\","
            "\"label\":\"a\",\"file\":\"@a\",\"line\":1,\"shared\":false,\"listening\":[2,4,6,"
            "8,10,12,14,16,22,40004,65534]}\n"
            "{\"type\":\"port_without_device\",\"port\":65535}\n"
            "{\"type\":\"summary\",\"devices\":1,\"blocks\":1,\"blocks_in_use\":1,"
            "\"shared_blocks\":0,\"sharing_devices\":0,\"must_share\":0,\"connected\":1,"
            "\"not_connected\":0,\"cannot_tell\":0,\"ports_without_device\":1}\n",
            "",
            1},
        // CSV beside the sockets, as text and as JSON.
        audit_case{"listening_csv",
                   {"--csv", "--sockets", "@s", "@k"},
                   {{"k", "mac,name\naa:bb:cc:dd:ee:ff,gw\n"}, {"s", both_ports_of_40556}},
                   "40556-40558\tlistening 40556,40558\taa:bb:cc:dd:ee:ff\tgw\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n"
                   "1 device connected, 0 not connected, 0 ports of the range listening without a "
                   "device\n",
                   "",
                   0},
        audit_case{
            "listening_csv_json",
            {"--csv", "--json", "--sockets", "@s", "@k"},
            {{"k", "mac,name\naa:bb:cc:dd:ee:ff,gw\n"}, {"s", both_ports_of_40556}},
            "{\"type\":\"device\",\"first\":40556,\"last\":40558,\"mac\":\"aa:bb:cc:dd:ee:ff\","
            "\"label\":\"gw\",\"file\":\"@k\",\"line\":2,\"shared\":false,\"listening\":[40556,"
            "40558],\"fields\":{\"mac\":\"aa:bb:cc:dd:ee:ff\",\"name\":\"gw\"}}\n"
            "{\"type\":\"summary\",\"devices\":1,\"blocks\":250,\"blocks_in_use\":1,"
            "\"shared_blocks\":0,\"sharing_devices\":0,\"must_share\":0,\"connected\":1,"
            "\"not_connected\":0,\"cannot_tell\":0,\"ports_without_device\":0}\n",
            "",
            0},
        audit_case{"sockets_from_a_folder",
                   {"--sockets", "/", "@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff\n"}},
                   "40556-40558\tnot listening\taa:bb:cc:dd:ee:ff\t\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n"
                   "0 devices connected, 1 not connected, 0 ports of the range listening without a "
                   "device\n",
                   "portslot-audit: /: Is a directory\n",
                   2},
        audit_case{"placed_beside_sockets",
                   {"--csv", "--server", "s1.example", "--sockets", "@s", "@g"},
                   {{"g", "mac,n,port_min,port_max,server\n" "aa:bb:cc:dd:ee:ff,a,2000,2099,s1.example\n" "00:00:00:00:00:8b,b,40000,41000,s1.example\n" "00:00:00:00:01:8b,c,2000,2099,s2.example\n"}, {"s", "State Recv-Q Send-Q Local Address:Port Peer Address:PortProcess\n" "LISTEN 0 128 127.0.0.1:2056 0.0.0.0:*\n" "LISTEN 0 128 127.0.0.1:2098 0.0.0.0:*\n" "LISTEN 0 128 127.0.0.1:3000 0.0.0.0:*\n" "LISTEN 0 128 127.0.0.1:40998 0.0.0.0:*\n"}},
                   "2056-2058\tlistening 2056\taa:bb:cc:dd:ee:ff\ta,2000,2099,s1.example\n" "40556-40558\tnot listening\t00:00:00:00:00:8b\tb,40000,41000,s1.example\n" "2098\tlistening, no device\n" "40998\tlistening, no device\n" "2 devices, 2 of 275 blocks in use, 0 shared by 0 devices\n" "1 device connected, 1 not connected, 2 ports of the range listening without a device\n",
                   "",
                   1},
        // The holder of each shared block's SSH port, from what ssh-keyscan
        // printed (a stand-in): the device whose host key answered; a key no
        // device of the block has (every one has a host key: status 1); a key
        // where one device has none; a block not in the file; a line of
        // another form refused.
        audit_case{"identify_from_keys_seen",
                   {"--csv", "--drop-column", "host_key", "--sockets", "@s", "--keys-seen", "@k", "@i"},
                   {{"i", "mac,name,host_key\n52:54:00:00:00:01,a," + ed25519 +
                              "\n52:54:00:00:00:fb,b," + ed25519_key(1) + "\n52:54:00:00:00:02,c," +
                              ed25519_key(2) + "\n52:54:00:00:00:fc,d," + ed25519_key(4) +
                              "\n52:54:00:00:00:03,e," + ed25519_key(5) + "\n52:54:00:00:00:fd,f,\n"
                              "52:54:00:00:00:04,g," + ed25519_key(7) + "\n52:54:00:00:00:fe,h," +
                              ed25519_key(8) + "\n"},
                    {"s", ss_listening({40004, 40008, 40012, 40016})},
                    {"k", "# 127.0.0.1:40004 SSH-2.0-OpenSSH_9.2p1\n\n[127.0.0.1]:40004 " +
                              ed25519_key(1) + "\n[127.0.0.1]:40004 " + ecdsa + "\r\n[127.0.0.1]:40008 " +
                              ed25519_key(25) + "\n[127.0.0.1]:40012 " + ed25519_key(24) +
                              "\n127.0.0.1 " + ed25519_key(23) + "\n"}},
                   "40004-40006\tshared, listening 40004, held by 52:54:00:00:00:fb\t52:54:00:00:00:01\ta\n"
                   "40004-40006\tshared, listening 40004, held by 52:54:00:00:00:fb\t52:54:00:00:00:fb\tb\n"
                   "40008-40010\tshared, listening 40008, an unknown host key on 40008\t52:54:00:00:00:02\tc\n"
                   "40008-40010\tshared, listening 40008, an unknown host key on 40008\t52:54:00:00:00:fc\td\n"
                   "40012-40014\tshared, listening 40012, not told on 40012\t52:54:00:00:00:03\te\n"
                   "40012-40014\tshared, listening 40012, not told on 40012\t52:54:00:00:00:fd\tf\n"
                   "40016-40018\tshared, listening 40016\t52:54:00:00:00:04\tg\n"
                   "40016-40018\tshared, listening 40016\t52:54:00:00:00:fe\th\n"
                   "8 devices, 4 of 250 blocks in use, 4 shared by 8 devices\n"
                   "1 device connected, 3 not connected, 4 in shared blocks that listen (which of them "
                   "is connected cannot be told), 1 port of devices answered by a host key none of "
                   "their block has, 0 ports of the range listening without a device\n",
                   "",
                   1},
        audit_case{"identify_json_from_keys_seen",
                   {"--csv", "--json", "--drop-column", "host_key", "--sockets", "@s", "--keys-seen", "@k", "@i"},
                   {{"i", "mac,name,host_key\n52:54:00:00:00:01,a,\t " + ed25519 + "\n52:54:00:00:00:fb,b,\n"},
                    {"s", ss_listening({40004})},
                    {"k", "[127.0.0.1]:40004 " + ed25519 + "\n"}},
                   "{\"type\":\"device\",\"first\":40004,\"last\":40006,\"mac\":\"52:54:00:00:00:01\","
                   "\"label\":\"a\",\"file\":\"@i\",\"line\":2,\"shared\":true,\"listening\":[40004],"
                   "\"identified\":\"held\",\"holder\":\"52:54:00:00:00:01\",\"fields\":{\"mac\":"
                   "\"52:54:00:00:00:01\",\"name\":\"a\"}}\n"
                   "{\"type\":\"device\",\"first\":40004,\"last\":40006,\"mac\":\"52:54:00:00:00:fb\","
                   "\"label\":\"b\",\"file\":\"@i\",\"line\":3,\"shared\":true,\"listening\":[40004],"
                   "\"identified\":\"held\",\"holder\":\"52:54:00:00:00:01\",\"fields\":{\"mac\":"
                   "\"52:54:00:00:00:fb\",\"name\":\"b\"}}\n"
                   "{\"type\":\"summary\",\"devices\":2,\"blocks\":250,\"blocks_in_use\":1,"
                   "\"shared_blocks\":1,\"sharing_devices\":2,\"must_share\":0,\"connected\":1,"
                   "\"not_connected\":1,\"cannot_tell\":0,\"ports_without_device\":0,"
                   "\"unknown_host_keys\":0}\n",
                   "",
                   1},
        audit_case{"identify_keys_seen_refused",
                   {"--csv", "--sockets", "@s", "--keys-seen", "@k", "@i"},
                   {{"i", "mac,name,host_key\n52:54:00:00:00:01,a,\n"},
                    {"s", ss_listening({40004})},
                    {"k", "[127.0.0.1]:x " + ed25519 + "\n|1|abc " + ed25519 + "\n[::1]:99999 " + ed25519 +
                              "\n[127.0.0.1]:40004 ssh-ed25519\n"}},
                   "40004-40006\tlistening 40004\t52:54:00:00:00:01\ta,\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n"
                   "1 device connected, 0 not connected, 0 ports of the range listening without a device\n",
                   "@k:1: not a line of ssh-keyscan's: [HOST]:PORT TYPE BASE64, a key ssh takes\n"
                   "@k:2: not a line of ssh-keyscan's: [HOST]:PORT TYPE BASE64, a key ssh takes\n"
                   "@k:3: not a line of ssh-keyscan's: [HOST]:PORT TYPE BASE64, a key ssh takes\n"
                   "@k:4: not a line of ssh-keyscan's: [HOST]:PORT TYPE BASE64, a key ssh takes\n",
                   2},
        // ssh-keyscan's forms: comments, blank separators and CRLF taken,
        // the last line without its end; hosts without a port, ports out of
        // range or not numbers refused. A folder is no such file.
        audit_case{"identify_keys_seen_forms",
                   {"--csv", "--drop-column", "host_key", "--sockets", "@s", "--keys-seen", "@k", "@i"},
                   {{"i", "mac,name,host_key\n52:54:00:00:00:01,a," + ed25519 + "\n"},
                    {"s", ss_listening({40004})},
                    {"k", "  # a comment\n[127.0.0.1]:40004\t" + ed25519 + "\r\n[h]:1\n[h] " + ed25519 +
                              "\n[h]x12 " + ed25519 + "\n[h]:0 " + ed25519 + "\n[h]:65536 " + ed25519 +
                              "\n[h]:/1 " + ed25519 + "\n[127.0.0.1 " + ed25519 + "\n[h]:655350 " +
                              ed25519 + "\n[h]:1 ssh-ed25519-cert-v01@openssh.com\tAAAA\n[h]:1 "
                              "ssh-ed25519-not-a-certificate-type AAAA\n[127.0.0.1]:40004 " + ed25519}},
                   "40004-40006\tlistening 40004, held by 52:54:00:00:00:01\t52:54:00:00:00:01\ta\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n"
                   "1 device connected, 0 not connected, 0 ports of the range listening without a device\n",
                   "@k:3: not a line of ssh-keyscan's: [HOST]:PORT TYPE BASE64, a key ssh takes\n"
                   "@k:4: not a line of ssh-keyscan's: [HOST]:PORT TYPE BASE64, a key ssh takes\n"
                   "@k:5: not a line of ssh-keyscan's: [HOST]:PORT TYPE BASE64, a key ssh takes\n"
                   "@k:6: not a line of ssh-keyscan's: [HOST]:PORT TYPE BASE64, a key ssh takes\n"
                   "@k:7: not a line of ssh-keyscan's: [HOST]:PORT TYPE BASE64, a key ssh takes\n"
                   "@k:8: not a line of ssh-keyscan's: [HOST]:PORT TYPE BASE64, a key ssh takes\n"
                   "@k:9: not a line of ssh-keyscan's: [HOST]:PORT TYPE BASE64, a key ssh takes\n"
                   "@k:10: not a line of ssh-keyscan's: [HOST]:PORT TYPE BASE64, a key ssh takes\n"
                   "@k:11: not a line of ssh-keyscan's: [HOST]:PORT TYPE BASE64, a key ssh takes\n"
                   "@k:12: not a line of ssh-keyscan's: [HOST]:PORT TYPE BASE64, a key ssh takes\n",
                   2},
        // --learn: the key that answered for the one device of a block
        // without a host key written into the inventory (its Ed25519 key of
        // those that answered), the column appended, every other byte kept;
        // never for a shared block, nor for a device whose port is not up.
        audit_case{"learn_appends_the_column",
                   {"--csv", "--sockets", "@s", "--keys-seen", "@k", "--learn", "--host-key-field", "hostkey", "@i"},
                   {{"i", "name,mac\r\na,52:54:00:00:00:01\r\nb,52:54:00:00:00:fb\r\n"
                          "\"c,\r\ntwo\",52:54:00:00:00:02\r\nd,52:54:00:00:00:03\r\ne,52:54:00:00:00:04"},
                    {"s", ss_listening({40004, 40008, 40012})},
                    {"k", "[127.0.0.1]:40004 " + ed25519_key(1) + "\n[127.0.0.1]:40008 " + ecdsa +
                              "\n[127.0.0.1]:40008 " + ed25519_key(2) + "\n[127.0.0.1]:40012 " +
                              ed25519_key(3) + "\n"}},
                   "40004-40006\tshared, listening 40004, not told on 40004\t52:54:00:00:00:01\ta\n"
                   "40004-40006\tshared, listening 40004, not told on 40004\t52:54:00:00:00:fb\tb\n"
                   "40008-40010\tlistening 40008, not told on 40008\t52:54:00:00:00:02\t\"c,\r\ntwo\"\n"
                   "40012-40014\tlistening 40012, not told on 40012\t52:54:00:00:00:03\td\n"
                   "40016-40018\tnot listening\t52:54:00:00:00:04\te\n"
                   "5 devices, 4 of 250 blocks in use, 1 shared by 2 devices\n"
                   "2 devices connected, 1 not connected, 2 in shared blocks that listen (which of "
                   "them is connected cannot be told), 0 ports of the range listening without a "
                   "device\n",
                   "portslot-audit: 2 host keys learnt into @i: what answered on the port of a block "
                   "whose one device had none (trusted on first sight)\n",
                   1,
                   nullptr,
                   {{"i", "name,mac,hostkey\r\na,52:54:00:00:00:01,\r\nb,52:54:00:00:00:fb,\r\n"
                          "\"c,\r\ntwo\",52:54:00:00:00:02," + ed25519_key(2) + "\r\nd,52:54:00:00:00:03," +
                          ed25519_key(3) + "\r\ne,52:54:00:00:00:04,"}}},
        // The column in place: a blank field filled; a field that holds a
        // key, even one refused, is the administrator's and is kept.
        audit_case{"learn_fills_blank_fields_only",
                   {"--csv", "--sockets", "@s", "--keys-seen", "@k", "--learn", "@i"},
                   {{"i", "mac,host_key,name\n52:54:00:00:00:01,,a\n52:54:00:00:00:fb,,b\n"
                          "52:54:00:00:00:02,  ,c\n52:54:00:00:00:03,ssh-ed25519 AAAA,d\n"
                          "52:54:00:00:00:04," + ed25519_key(4) + ",e\n"},
                    {"s", ss_listening({40004, 40008, 40012, 40016})},
                    {"k", "[127.0.0.1]:40004 " + ed25519_key(1) + "\n[127.0.0.1]:40008 " + ecdsa +
                              "\n[127.0.0.1]:40012 " + ed25519_key(3) + "\n[127.0.0.1]:40016 " +
                              ed25519_key(4) + "\n"}},
                   "40004-40006\tshared, listening 40004, not told on 40004\t52:54:00:00:00:01\t,a\n"
                   "40004-40006\tshared, listening 40004, not told on 40004\t52:54:00:00:00:fb\t,b\n"
                   "40008-40010\tlistening 40008, not told on 40008\t52:54:00:00:00:02\t  ,c\n"
                   "40012-40014\tlistening 40012, an unknown host key on 40012\t52:54:00:00:00:03\t"
                   "ssh-ed25519 AAAA,d\n"
                   "40016-40018\tlistening 40016, held by 52:54:00:00:00:04\t52:54:00:00:00:04\t" +
                       ed25519_key(4) + ",e\n"
                   "5 devices, 4 of 250 blocks in use, 1 shared by 2 devices\n"
                   "2 devices connected, 1 not connected, 2 in shared blocks that listen (which of "
                   "them is connected cannot be told), 1 port of devices answered by a host key none "
                   "of their block has, 0 ports of the range listening without a device\n",
                   "portslot-audit: 1 host key learnt into @i: what answered on the port of a block "
                   "whose one device had none (trusted on first sight)\n",
                   1,
                   nullptr,
                   {{"i", "mac,host_key,name\n52:54:00:00:00:01,,a\n52:54:00:00:00:fb,,b\n"
                          "52:54:00:00:00:02," + ecdsa + ",c\n52:54:00:00:00:03,ssh-ed25519 AAAA,d\n"
                          "52:54:00:00:00:04," + ed25519_key(4) + ",e\n"}}},
        audit_case{"learn_nothing_from_a_shared_block",
                   {"--csv", "--drop-column", "host_key", "--sockets", "@s", "--keys-seen", "@k", "--learn", "@i"},
                   {{"i", "mac,host_key\n52:54:00:00:00:01,\n52:54:00:00:00:fb,\n"},
                    {"s", ss_listening({40004})},
                    {"k", "[127.0.0.1]:40004 " + ed25519_key(1) + "\n"}},
                   "40004-40006\tshared, listening 40004, not told on 40004\t52:54:00:00:00:01\t\n"
                   "40004-40006\tshared, listening 40004, not told on 40004\t52:54:00:00:00:fb\t\n"
                   "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n"
                   "0 devices connected, 0 not connected, 2 in shared blocks that listen (which of "
                   "them is connected cannot be told), 0 ports of the range listening without a "
                   "device\n",
                   "portslot-audit: 0 host keys learnt into @i\n",
                   1,
                   nullptr,
                   {{"i", "mac,host_key\n52:54:00:00:00:01,\n52:54:00:00:00:fb,\n"}}},
        audit_case{"identify_keys_seen_folder",
                   {"--csv", "--sockets", "@s", "--keys-seen", "/", "@i"},
                   {{"i", "mac,host_key\n52:54:00:00:00:01,\n"}, {"s", ss_listening({40004})}},
                   "40004-40006\tlistening 40004\t52:54:00:00:00:01\t\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n"
                   "1 device connected, 0 not connected, 0 ports of the range listening without a device\n",
                   "portslot-audit: /: Is a directory\n",
                   2},
        // Fields split at blanks: the host key from its field, before the rest.
        audit_case{"identify_from_blank_fields",
                   {"--host-key-field", "2", "--sockets", "@s", "--keys-seen", "@k", "@p"},
                   {{"p", "52:54:00:00:00:01 " + ed25519 + " a\n52:54:00:00:00:fb\n"
                          "52:54:00:00:00:02 " + ed25519_key(2) + "\n"},
                    {"s", ss_listening({40004, 40008})},
                    {"k", "[127.0.0.1]:40004 " + ed25519 + "\n"}},
                   "40004-40006\tshared, listening 40004, held by 52:54:00:00:00:01\t52:54:00:00:00:01\t" +
                       ed25519 + " a\n40004-40006\tshared, listening 40004, held by 52:54:00:00:00:01\t"
                       "52:54:00:00:00:fb\t\n40008-40010\tlistening 40008\t52:54:00:00:00:02\t" + ed25519_key(2) +
                       "\n3 devices, 2 of 250 blocks in use, 1 shared by 2 devices\n2 devices "
                       "connected, 1 not connected, 0 ports of the range listening without a device\n",
                   "",
                   1},
        audit_case{"identify_keys_seen_missing",
                   {"--csv", "--sockets", "@s", "--keys-seen", "/nonexistent/keys", "@i"},
                   {{"i", "mac,name\n52:54:00:00:00:01,a\n"}, {"s", ss_listening({40004})}},
                   "40004-40006\tlistening 40004\t52:54:00:00:00:01\ta\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n"
                   "1 device connected, 0 not connected, 0 ports of the range listening without a device\n",
                   "portslot-audit: @i: no column named \"host_key\" for the host keys\n"
                   "portslot-audit: /nonexistent/keys: No such file or directory\n",
                   2}),
    case_name);

// A label's value for the metrics: the format's three escapes, other
// control bytes and bad UTF-8 as U+FFFD, the tab kept, cut at 256 bytes
// where a character starts.
TEST(metrics, label_values_escaped_and_cut)
{
    const std::string long_label = std::string(255, 'a') + "\xc3\xa9" + "b";
    const struct {
        std::string text, value;
    } cases[] = {
        {"gateway \"x\"\\y\nz\tw", "gateway \\\"x\\\"\\\\y\\nz\tw"},
        {"a\x01\x1b\x7f\xff\xc3\xa9", "a\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xc3\xa9"},
        {long_label, std::string(255, 'a')},
        // Overlong and past U+10FFFF: each byte replaced; a valid one kept.
        {"\xf0\x8f\xbf\xbf\xf4\x90\x80\x80\xf0\x9f\x98\x80",
         std::string(8, '\x01') + "\xf0\x9f\x98\x80"},
    };
    for (const auto &c : cases) {
        char value[3 * 256];
        const char *end = portslot::audit::put_label_value(value, c.text.data(), c.text.size());
        std::string want = c.value; // (\x01: U+FFFD)
        for (size_t at; (at = want.find('\x01')) != std::string::npos;)
            want.replace(at, 1, "\xef\xbf\xbd");
        EXPECT_EQ(std::string(static_cast<const char *>(value), end), want);
    }
}

// Socket tables, a line at a time: the ports that listen, and the lines of
// neither form, as each form is told from a table's first line.
TEST(socket_table, reads_listening_ports_and_refuses_other_lines)
{
    using portslot::audit::port_set;
    const struct {
        std::string text;
        std::vector<int> ports; // listening; -1: the line is refused
    } cases[] = {
        // /proc/net/tcp and tcp6
        {"  sl  local_address rem_address   st\n", {}},
        {"0: 0100007F:9C46 00000000:0000 0A\n", {40006}},
        {"0:\t0100007f:9c46\t00000000:0000\t0a\tx\n", {40006}},
        {"12: 00000000000000000000000001000000:0016 00000000000000000000000000000000:0000 0A 0\n",
         {22}},
        {"0: 0100007F:9C46 00000000:0000 01\n", {}},
        {"0: 0100007F:9C46 00000000:0000 1A\n", {}},
        {"0: 0100007F:9C46 00000000:0000 0B\n", {}},
        {"0: 0100007F:9C46 00000000:0000 0A\n1 0100007F:9C46 00000000:0000 0A\n", {40006, -1}},
        {"0: 0100007F:9C46 00000000:0000 0A\n: 0100007F:9C46 00000000:0000 0A\n", {40006, -1}},
        {"0: 0100007F:9C46 00000000:0000 0A\n12\n", {40006, -1}},
        {"0: 0100007:9C46 00000000:0000 0A\n", {-1}},
        {"0: 000000000000000000000000010000000:9C46 00000000:0000 0A\n", {-1}},
        {"0: 0100007F9C46 00000000:0000 0A\n", {-1}},
        {"0: 0100007F:9C4\n", {-1}},
        {"0: 0100007F:9C4G 00000000:0000 0A\n", {-1}},
        {"0: 0100007F:9C46x 00000000:0000 0A\n", {-1}},
        {"0: 0100007F:9C46\n", {-1}},
        {"0: 0100007F:9C46 00000000:0000\n", {-1}},
        {"0: 0100007F:9C46 00000000:0000 0\n", {-1}},
        {"0: 0100007F:9C46 00000000:0000 0AA\n", {-1}},
        {"0: 0100007F:9C46 00000000:0000 G1\n", {-1}},
        {"0: 0100007F:9C46 00000000:0000 0G\n", {-1}},
        // ss -Hltn, with or without its header, with a netid column
        {"State Recv-Q Send-Q Local Address:Port Peer Address:PortProcess\n", {}},
        {"Netid State Recv-Q Send-Q Local Address:Port Peer Address:PortProcess\n", {}},
        {"LISTEN 0 128 127.0.0.1:40006 0.0.0.0:*\n", {40006}},
        {"LISTEN\t0\t128\t[::]:22\t[::]:*\n", {22}},
        {"tcp LISTEN 0 128 *:22 *:*\n", {22}},
        {"udp UNCONN 0 0 0.0.0.0:68 0.0.0.0:*\n", {}},
        {"ESTAB 0 0 10.0.0.1:22 10.0.0.2:50000\n", {}},
        {"LISTEN 0 128 127.0.0.1:65535 0.0.0.0:*\n", {65535}},
        {"LISTEN 0 128 127.0.0.1:65536 0.0.0.0:*\n", {-1}},
        {"LISTEN 0 128 127.0.0.1:ssh 0.0.0.0:*\n", {-1}},
        {"LISTEN 0 128 127.0.0.1: 0.0.0.0:*\n", {-1}},
        {"LISTEN 0 128 127.0.0.1 0.0.0.0:*\n", {-1}},
        {"LISTEN 0 128 127.0.0.1:22 0.0.0.0\n", {-1}},
        {"LISTEN 0 128 127.0.0.1:22\n", {-1}},
        {"LISTEN 0 x 127.0.0.1:22 0.0.0.0:*\n", {-1}},
        {"LISTEN 0 128 127.0.0.1:22 0.0.0.0:*", {-1}}, // cut short
        {"\n \n", {}},
        {"LISTEN 0 128 127.0.0.1:-1 0.0.0.0:*\n", {-1}},
        {"0: 0100007F:9C46 00000000:0000 0A\nsx 0100007F:9C46 00000000:0000 0A\n"
         "slot 0100007F:9C46 00000000:0000 0A\n",
         {40006, -1, -1}},
        {"~x LISTEN 0 1 a:1 b:2\n", {-1}},
        {"123\n", {-1}},
        {"(x\n", {-1}},
        {"x\n", {-1}},
        {"sx\n", {-1}},
        {"12x 0100007F:9C46\n", {-1}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        port_set listening;
        char buffer[4096];
        portslot::output err(-1, buffer, sizeof buffer);
        const bool ok =
            portslot::audit::read_socket_text("t", c.text.data(), c.text.size(), listening, err);
        const std::string said(buffer, err.room(1));
        std::vector<int> got;
        for (int port = 0; port <= 65535; ++port)
            if (listening.has(port))
                got.push_back(port);
        std::vector<int> want;
        size_t refused = 0;
        for (int port : c.ports)
            if (port < 0)
                ++refused;
            else
                want.push_back(port);
        EXPECT_EQ(got, want);
        EXPECT_EQ(ok, refused == 0);
        EXPECT_EQ(static_cast<size_t>(std::count(said.begin(), said.end(), '\n')), refused) << said;
    }
}

} // namespace
