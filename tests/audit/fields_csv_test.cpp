// Inventories as they are: fields, delimiters, CSV and their columns.
#include "audit_fixture.h"

namespace {

// An inventory of `n` devices, each on a server of its own.
std::string one_server_each(int n)
{
    std::string text = "mac,server\n";
    char line[48];
    for (int i = 0; i < n; ++i) {
        snprintf(line, sizeof line, "00:00:00:%02x:%02x:%02x,h%d.example\n", i >> 16 & 255,
                 i >> 8 & 255, i & 255, i);
        text += line;
    }
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    csv, audit,
    testing::Values(
        // Devices listed twice in every format, an address known by its place
        // on its record's first line or by its record's start: blanks before
        // the record, an address in another form, a field before it that
        // holds a line end, a quoted address, a long text before it.
        audit_case{"listed_twice_in_fields",
                   {"--all", "--field", "2", "@a"},
                   {{"a", "  1 aabbccddeeff x\n  2 AABBCCDDEEFF y\n\t3 00:00:00:00:00:8b z\n"}},
                   "40556-40558\taabbccddeeff\t1 x\n40556-40558\t00:00:00:00:00:8b\t3 z\n"
                   "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
                   "@a:2: duplicate of @a:1\n",
                   1},
        audit_case{
            "listed_twice_in_csv_across_lines",
            {"--csv", "--all", "@b"},
            {{"b",
              "n,mac\n\"a\nb\",aa:bb:cc:dd:ee:ff\nc,AA:BB:CC:DD:EE:FF\nd,00:00:00:00:00:8b\n"}},
            "40556-40558\taa:bb:cc:dd:ee:ff\t\"a\nb\"\n40556-40558\t00:00:00:00:00:8b\td\n"
            "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
            "@b:4: duplicate of @b:2\n",
            1},
        audit_case{
            "listed_twice_in_csv_quoted_first",
            {"--csv", "--all", "@c"},
            {{"c", "mac,n\n\"aa:bb:cc:dd:ee:ff\",x\naabbccddeeff,y\n 00:00:00:00:00:8b,z\n"}},
            "40556-40558\taa:bb:cc:dd:ee:ff\tx\n40556-40558\t00:00:00:00:00:8b\tz\n"
            "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
            "@c:3: duplicate of @c:2\n",
            1},
        audit_case{
            "listed_twice_in_csv_first_column",
            {"--csv", "--all", "@c"},
            {{"c", "mac,n\naa:bb:cc:dd:ee:ff,x\n00:00:00:00:00:8b,y\nAA:BB:CC:DD:EE:FF,z\n"}},
            "40556-40558\taa:bb:cc:dd:ee:ff\tx\n40556-40558\t00:00:00:00:00:8b\ty\n"
            "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
            "@c:4: duplicate of @c:2\n",
            1},
        audit_case{"listed_twice_after_a_delimiter",
                   {"--all", "--delimiter", ",", "--field", "2", "@d"},
                   {{"d", "x,aabbccddeeff\ny,AA:BB:CC:DD:EE:FF\nthe longest label of all,"
                          "00:00:00:00:00:8b\n"}},
                   "40556-40558\taabbccddeeff\tx\n"
                   "40556-40558\t00:00:00:00:00:8b\tthe longest label of all\n"
                   "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
                   "@d:2: duplicate of @d:1\n",
                   1},
        audit_case{"short_last_address_shared_csv",
                   {"--csv", "@c"},
                   {{"c", "n,mac\nx,00:00:00:00:00:8b\ny,aabbccddeeff"}},
                   "40556-40558\t00:00:00:00:00:8b\tx\n40556-40558\taabbccddeeff\ty\n"
                   "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
                   "",
                   1},
        // The address from another field: a leases file, a neighbour table
        // (whose failed entries have no address), fields split at a byte.
        audit_case{
            "leases_field",
            {"--field", "2", "--all", "@l"},
            {{"l", "1733580000 aa:bb:cc:dd:ee:ff 192.0.2.10 laptop *\n"
                   "# expiry mac ip name\n"
                   "1733580100 00:00:00:00:00:8b 192.0.2.11 cam\n1733580200 00:00:00:00:00:01"}},
            "40004-40006\t00:00:00:00:00:01\t1733580200\n"
            "40556-40558\taa:bb:cc:dd:ee:ff\t1733580000 192.0.2.10 laptop *\n"
            "40556-40558\t00:00:00:00:00:8b\t1733580100 192.0.2.11 cam\n"
            "3 devices, 2 of 250 blocks in use, 1 shared by 2 devices\n",
            "",
            1},
        audit_case{"field_missing",
                   {"--field=5", "@n"},
                   {{"n", "192.0.2.1 dev eth0 lladdr aa:bb:cc:dd:ee:ff REACHABLE\n"
                          "192.0.2.9 dev eth0  FAILED\n"}},
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "@n:2: no field 5\n",
                   2},
        audit_case{"delimited_fields",
                   {"--delimiter", ",", "--field", "2", "--all", "@d"},
                   {{"d", "a, aa:bb:cc:dd:ee:ff ,x\n,00:00:00:00:00:8b,,y\n\tb,00:00:00:00:00:01\n"
                          "c\n"}},
                   "40004-40006\t00:00:00:00:00:01\tb\n40556-40558\taa:bb:cc:dd:ee:ff\ta,x\n"
                   "40556-40558\t00:00:00:00:00:8b\t,,y\n"
                   "3 devices, 2 of 250 blocks in use, 1 shared by 2 devices\n",
                   "@d:4: no field 2\n",
                   2},
        audit_case{"delimiter_alone",
                   {"--delimiter", ",", "--all", "@d"},
                   {{"d", "aa:bb:cc:dd:ee:ff,gateway, room 1\n"}},
                   "40556-40558\taa:bb:cc:dd:ee:ff\tgateway, room 1\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        // CSV: quoted fields hold delimiters, quotes and line ends; a record's
        // diagnostics name the line it starts on.
        audit_case{
            "csv_by_column_name",
            {"--csv", "--delimiter", ";", "@c"},
            {{"c", "\xef\xbb\xbfName;Hardware-Address;Note\r\n"
                   "\"Smith; J\";aa:bb:cc:dd:ee:ff;\"say \"\"hi\"\"\"\r\n"
                   "cam;\"00:00:00:00:00:8b\";\"two\r\nlines\"\r\n\r\nx;\"zz\"\"zz\"\r\ny\r\n"}},
            "40556-40558\taa:bb:cc:dd:ee:ff\t\"Smith; J\";\"say \"\"hi\"\"\"\n"
            "40556-40558\t00:00:00:00:00:8b\tcam;\"two\r\nlines\"\n"
            "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
            "@c:6: no port for \"zz\"\"zz\"\n@c:7: no field 2\n",
            2},
        audit_case{
            "csv_lease_database",
            {"--csv", "@k"},
            {{"k", "address,hwaddr,client_id,valid_lifetime,expire,subnet_id,fqdn_fwd,"
                   "fqdn_rev,hostname,state,user_context\n"
                   "192.0.2.1,aa:bb:cc:dd:ee:ff,,3600,1733580000,1,0,0,host1,0,\n"
                   "192.0.2.2,00:00:00:00:00:8b,01:02,3600,1733580000,1,0,0,host2,0,\n"}},
            "40556-40558\taa:bb:cc:dd:ee:ff\t192.0.2.1,,3600,1733580000,1,0,0,host1,0,\n"
            "40556-40558\t00:00:00:00:00:8b\t192.0.2.2,01:02,3600,1733580000,1,0,0,host2,0,\n"
            "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
            "",
            1},
        // A host name that opens a quote and never closes it costs its own
        // record, not the rest of the file (rows as a DHCP server wrote them).
        audit_case{
            "csv_unclosed_quote_costs_one_record",
            {"--csv", "@k"},
            {{"k", "address,hwaddr,client_id,valid_lifetime,expire,subnet_id,fqdn_fwd,"
                   "fqdn_rev,hostname,state,user_context\n"
                   "192.0.2.19,00:1b:21:3a:4f:18,,3600,1796719698,1,0,0,\"lead quote,0,\n"
                   "192.0.2.30,aa:bb:cc:dd:ee:ff,01:aa:bb:cc:dd:ee:ff,3600,1796719698,1,0,0,"
                   "gateway,0,\n"
                   "192.0.2.34,00:00:00:00:00:8b,01:00:00:00:00:00:8b,3600,1796719698,1,0,0,"
                   "camera,0,\n"}},
            "40556-40558\taa:bb:cc:dd:ee:ff\t192.0.2.30,01:aa:bb:cc:dd:ee:ff,3600,1796719698,1,0,"
            "0,gateway,0,\n"
            "40556-40558\t00:00:00:00:00:8b\t192.0.2.34,01:00:00:00:00:00:8b,3600,1796719698,1,0,"
            "0,camera,0,\n"
            "2 devices, 1 of 250 blocks in use, 1 shared by 2 devices\n",
            "@k:2: malformed CSV record (a quote opened here does not close)\n",
            2},
        audit_case{"csv_text_after_closing_quote",
                   {"--csv", "--all", "@c"},
                   {{"c", "mac,note\n00:00:00:00:00:01,\"a\nb\"c\n00:00:00:00:00:03,x\n"}},
                   "40012-40014\t00:00:00:00:00:03\tx\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "@c:2: malformed CSV record (text after a closing quote)\n"
                   "@c:3: no port for \"b\"c\"\n",
                   2},
        audit_case{
            "csv_malformed_header",
            {"--csv", "@h", "@c"},
            {{"h", "\n\"note,mac\n00:00:00:00:00:01,x\n"}, {"c", "mac\n00:00:00:00:00:01\n"}},
            "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
            "@h:2: malformed CSV record (a quote opened here does not close)\n",
            2},
        audit_case{"csv_column_named",
                   {"--csv", "--field", "where", "--all", "@c"},
                   {{"c", "mac,\"W\"\"h\",Wh,Wherever,Where\nroom 1,a,b,c,00:00:00:00:00:01\n"}},
                   "40004-40006\t00:00:00:00:00:01\troom 1,a,b,c\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        audit_case{"csv_without_address_column",
                   {"--csv", "@a", "@c"},
                   {{"a", "mac\n00:00:00:00:00:01 y\n"}, {"c", "Name,Room\nx,1\n"}},
                   "",
                   "@a:2: no port for \"00:00:00:00:00:01 y\"\n"
                   "portslot-audit: @c: no MAC address column (mac, mac address, hwaddr) in the "
                   "header \"Name,Room\"; name it with --field\n",
                   2},
        audit_case{
            "csv_header_after_blank_lines",
            {"--csv", "--all", "@c"},
            {{"c",
              "\n \r\na_column_whose_name_is_quite_long,Max,Mac Address\nx,y,00:00:00:00:00:01\n"
              "y,z,zz\n"}},
            "40004-40006\t00:00:00:00:00:01\tx,y\n"
            "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
            "@c:5: no port for \"zz\"\n",
            2},
        audit_case{"csv_column_by_number",
                   {"--csv", "--field", "2", "@e", "@c", "@h"},
                   {{"e", ""}, {"c", "h1,h2\nx,00:00:00:00:00:01\n"}, {"h", "h1,h2"}},
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        // --drop-column: columns left out of the labels and the JSON fields,
        // wherever they stand; one the header lacks, or the addresses', ends
        // the run.
        audit_case{"csv_columns_dropped",
                   {"--csv", "--all", "--drop-column", "key", "--drop-column", "1", "@c", "@e", "@l"},
                   {{"c", "id,name,mac,key,site\n1,gw,aa:bb:cc:dd:ee:ff,ssh-ed25519 AAAA,\"x,y\"\n"
                          "2,cam,00:00:00:00:00:01,,\n"},
                    {"e", ""},
                    {"l", "name,key,mac\ncam2,k,00:00:00:00:00:02\n"}},
                   "40004-40006\t00:00:00:00:00:01\tcam,\n"
                   "40008-40010\t00:00:00:00:00:02\t\n"
                   "40556-40558\taa:bb:cc:dd:ee:ff\tgw,\"x,y\"\n"
                   "3 devices, 3 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        audit_case{"csv_columns_dropped_in_json",
                   {"--csv", "--json", "--all", "--drop-column", "3", "@c"},
                   {{"c", "mac,name,key\n00:00:00:00:00:01,cam,k\n"}},
                   "{\"type\":\"device\",\"first\":40004,\"last\":40006,\"mac\":\"00:00:00:00:00:01\","
                   "\"label\":\"cam\",\"file\":\"@c\",\"line\":2,\"shared\":false,\"fields\":{\"mac\":"
                   "\"00:00:00:00:00:01\",\"name\":\"cam\"}}\n"
                   "{\"type\":\"summary\",\"devices\":1,\"blocks\":250,\"blocks_in_use\":1,"
                   "\"shared_blocks\":0,\"sharing_devices\":0,\"must_share\":0}\n",
                   "",
                   0},
        audit_case{"csv_dropped_column_not_found",
                   {"--csv", "--drop-column", "Key", "--drop-column", "40", "@c"},
                   {{"c", "\nmac,key\n"}},
                   "",
                   "portslot-audit: @c:2: --drop-column '40': no such column in the header\n",
                   2},
        audit_case{"csv_columns_dropped_beside_sockets",
                   {"--sockets", "@s", "--csv", "--drop-column", "key", "@c"},
                   {{"c", "mac,name,key\n00:00:00:00:00:01,cam,ssh-ed25519 AAAA\n"},
                    {"s", "LISTEN 0 128 127.0.0.1:40004 0.0.0.0:*\n"}},
                   "40004-40006\tlistening 40004\t00:00:00:00:00:01\tcam\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n"
                   "1 device connected, 0 not connected, 0 ports of the range listening without a "
                   "device\n",
                   "",
                   0},
        audit_case{"csv_dropped_column_zero",
                   {"--csv", "--drop-column", "0"},
                   {},
                   "",
                   "portslot-audit: invalid value '0' for --drop-column: not a column's number from "
                   "1, nor its name\n" +
                       try_help,
                   2},
        audit_case{"csv_address_column_dropped",
                   {"--csv", "--drop-column", "MAC", "@c"},
                   {{"c", "mac,key\n"}},
                   "",
                   "portslot-audit: @c:1: --drop-column 'MAC': the addresses' column, which no "
                   "label holds\n",
                   2},
        audit_case{"csv_column_not_found",
                   {"--csv", "--field", "MAC", "@c"},
                   {{"c", "Name,Room\n"}},
                   "",
                   "portslot-audit: @c: no column named \"MAC\" in the header \"Name,Room\"\n",
                   2},
        audit_case{"duplicates_in_a_middle_column",
                   {"--csv", "@d"},
                   {{"d", "name,mac,site\nx,aabbccddeeff,one\ny,aabbccddeeff,two\n"}},
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "@d:3: duplicate of @d:2\n",
                   0},
        audit_case{"column_named_but_for_case",
                   {"--csv", "--field", "mac", "--all", "@c"},
                   {{"c", "MAC,mac,name\nx,aa:bb:cc:dd:ee:ff,n\n"}},
                   "40556-40558\taa:bb:cc:dd:ee:ff\tx,n\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        // A later --field takes the place of an earlier one, a number of a name.
        audit_case{"field_given_again",
                   {"--csv", "--field", "name", "--field", "2", "--all", "@c"},
                   {{"c", "name,mac\nx,aa:bb:cc:dd:ee:ff\n"}},
                   "40556-40558\taa:bb:cc:dd:ee:ff\tx\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        audit_case{"header_name_over_two_lines",
                   {"--csv", "--all", "@c"},
                   {{"c", "mac,\"na\nme\"\nzz,x\naa:bb:cc:dd:ee:ff,y\n"}},
                   "40556-40558\taa:bb:cc:dd:ee:ff\ty\n"
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "@c:3: no port for \"zz\"\n",
                   2},
        audit_case{"placed_ranges_shared_within_one",
                   {"--csv", "--all", "@g"},
                   {{"g", "mac,n,Port_Min,port-max\n" "aa:bb:cc:dd:ee:ff,a,2000,2099\n" "00:00:00:00:00:8b,b,2000,2099\n" "00:00:00:00:01:8b,c,,\n"}},
                   "2056-2058\taa:bb:cc:dd:ee:ff\ta,2000,2099\n" "2056-2058\t00:00:00:00:00:8b\tb,2000,2099\n" "40580-40582\t00:00:00:00:01:8b\tc,,\n" "3 devices, 2 of 275 blocks in use, 1 shared by 2 devices\n",
                   "",
                   1},
        audit_case{"placement_faults",
                   {"--csv", "@b"},
                   {{"b", "mac,portMin,Port-Max,server\n" "aa:bb:cc:dd:ee:ff,1000,2000,\n" "00:00:00:00:00:8b,1500,2500,\n" "00:00:00:00:00:01,1001,1001,\n" "00:00:00:00:00:02,1001,,\n" "00:00:00:00:00:03,x,5,\n" "00:00:00:00:00:04,,,a b\n" "00:00:00:00:00:05,65534,65535,\n"}},
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "@b:3: port_min to port_max holds ports of another range in part (ranges must be the same or apart)\n" "@b:4: port_min to port_max holds no whole block\n" "@b:5: port_min and port_max go together: one is empty\n" "@b:6: port_min or port_max is no port from 1 to 65535\n" "@b:7: the server is no host name or address\n" "@b:8: port_min to port_max holds no whole block\n",
                   2},
        audit_case{"placed_on_servers_apart",
                   {"--csv", "--all", "@s"},
                   {{"s", "mac,n,server\n" "aa:bb:cc:dd:ee:ff,a,s1.example\n" "00:00:00:00:00:8b,b,S2.example\n" "00:00:00:00:01:8b,c,\n"}},
                   "40580-40582\t00:00:00:00:01:8b\tc,\n" "40556-40558\taa:bb:cc:dd:ee:ff\ta,s1.example\n" "40556-40558\t00:00:00:00:00:8b\tb,S2.example\n" "3 devices, 3 of 750 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        audit_case{"one_server_of_the_inventory",
                   {"--csv", "--all", "--server", "s1.example", "--server", "s2.example", "@s"},
                   {{"s", "mac,n,server\n" "aa:bb:cc:dd:ee:ff,a,s1.example\n" "00:00:00:00:00:8b,b,S2.example\n" "00:00:00:00:01:8b,c,\n"}},
                   "40556-40558\t00:00:00:00:00:8b\tb,S2.example\n" "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        audit_case{"place_plain_inventory",
                   {"--place", "@h"},
                   {{"h", "aa:bb:cc:dd:ee:ff gateway one\n" "00:00:00:00:00:8b b\r\n" "not an address\n" "00:00:00:00:01:8b\n"}},
                   "mac,label,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,gateway one,40000,40799\n" "00:00:00:00:00:8b,b,40000,40799\n" "00:00:00:00:01:8b,,40000,40799\n",
                   "@h:3: no port for \"not\"\n" "3 devices (0 placed before): 3 in the fleet's range 40000-40799; 0 with a setting, 0 placed nowhere\n",
                   2},
        audit_case{"place_keeps_what_is_placed",
                   {"--csv", "--place", "--port-min", "1024", "--port-max", "65534", "@k"},
                   {{"k", "mac,name,port_min,port_max\r\n" "aa:bb:cc:dd:ee:ff,a,2000,2099\r\n" "00:00:00:00:00:8b,b\r\n" "00:00:00:00:01:8b,\"c,d\",,\r\n"}},
                   "mac,name,port_min,port_max\r\n" "aa:bb:cc:dd:ee:ff,a,2000,2099\r\n" "00:00:00:00:00:8b,b,1024,1511\r\n" "00:00:00:00:01:8b,\"c,d\",2000,2099\r\n",
                   "3 devices (1 placed before): 2 in the fleet's range 2000-2099, 1 in 1024-1511; 1 with a setting, 0 placed nowhere\n",
                   0},
        audit_case{"the_same_placement_again_the_same_answer",
                   {"--csv", "--all", "@k"},
                   {{"k", "mac,name,port_min,port_max,server\r\n" "aa:bb:cc:dd:ee:ff,a,41100,41199,s2\r\n" "00:00:00:00:00:8b,b,41100,41150,s2\r\n" "00:00:00:00:01:8b,c,41100,41150,s2\r\n" "00:00:00:00:02:8b,d,41100,41199,s2\r\n" "00:00:00:00:03:8b,e,\"41100\",41199,s2\r\n" "00:00:00:00:04:8b,f,41100\r\n"}},
                   "41104-41106\t00:00:00:00:02:8b\td,41100,41199,s2\n" "41128-41130\t00:00:00:00:03:8b\te,\"41100\",41199,s2\n" "41156-41158\taa:bb:cc:dd:ee:ff\ta,41100,41199,s2\n" "3 devices, 3 of 25 blocks in use, 0 shared by 0 devices\n",
                   "@k:3: port_min to port_max holds ports of another range in part (ranges must be the same or apart)\n" "@k:4: port_min to port_max holds ports of another range in part (ranges must be the same or apart)\n" "@k:7: port_min and port_max go together: one is empty\n",
                   2},
        audit_case{"placed_again_the_same",
                   {"--csv", "--place", "--port-min", "1024", "--port-max", "65534", "@k"},
                   {{"k", "mac,name,port_min,port_max\r\n" "aa:bb:cc:dd:ee:ff,a,2000,2099\r\n" "00:00:00:00:00:8b,b,1024,1511\r\n" "00:00:00:00:01:8b,\"c,d\",2000,2099\r\n"}},
                   "mac,name,port_min,port_max\r\n" "aa:bb:cc:dd:ee:ff,a,2000,2099\r\n" "00:00:00:00:00:8b,b,1024,1511\r\n" "00:00:00:00:01:8b,\"c,d\",2000,2099\r\n",
                   "3 devices (3 placed before): 2 in the fleet's range 2000-2099, 1 in 1024-1511; 1 with a setting, 0 placed nowhere\n",
                   0},
        audit_case{"place_on_servers_then_nowhere",
                   {"--csv", "--delimiter", ";", "--place", "--overflow", "41002-41099", "--server", "s1.example", "--server", "s2.example", "@t"},
                   {{"t", "mac;name\n" "aa:bb:cc:dd:ee:ff;a\n" "AABBCCDDEEFF;twice\n" "00:00:00:00:00:8b;b\n" "01:00:00:00:00:8b;c\n" "02:00:00:00:00:8b;d\n" "03:00:00:00:00:8b;e\n"}},
                   "mac;name;port_min;port_max;server\n" "aa:bb:cc:dd:ee:ff;a;40000;41000;s1.example\n" "AABBCCDDEEFF;twice;;;\n" "00:00:00:00:00:8b;b;41002;41099;s1.example\n" "01:00:00:00:00:8b;c;40000;41000;s2.example\n" "02:00:00:00:00:8b;d;41002;41099;s2.example\n" "03:00:00:00:00:8b;e;;;\n",
                   "@t:3: duplicate of @t:2\n" "@t:7: placed nowhere: its block is taken in every range on every server\n" "5 devices (0 placed before): on s1.example: 1 in the fleet's range 40000-41000, 1 in 41002-41099; on s2.example: 1 in 40000-41000, 1 in 41002-41099; 3 with a setting, 1 placed nowhere (another server or more ranges would take them)\n",
                   1},
        audit_case{"placement_refusals_beside_quoted_bounds",
                   {"--csv", "--all", "@a"},
                   {{"a", "mac,n,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,a,\"2000\",\"2099\"\n" "00:00:00:00:00:01,b,123456,200\n" "xx,c,2000,2099\n" "00:00:00:00:00:02,d,40100,40199\n" "00:00:00:00:00:03,e,40000,41000\n" "00:00:00:00:00:04,f,1900,2050\n"}},
                   "2056-2058\taa:bb:cc:dd:ee:ff\ta,\"2000\",\"2099\"\n" "40108-40110\t00:00:00:00:00:02\td,40100,40199\n" "2 devices, 2 of 50 blocks in use, 0 shared by 0 devices\n",
                   "@a:3: port_min or port_max is no port from 1 to 65535\n" "@a:4: no port for \"xx\"\n" "@a:6: port_min to port_max holds ports of another range in part (ranges must be the same or apart)\n" "@a:7: port_min to port_max holds ports of another range in part (ranges must be the same or apart)\n",
                   2},
        audit_case{"placed_after_an_unplaced_inventory",
                   {"--csv", "--all", "@u", "@p", "@q"},
                   {{"u", "mac,n\n" "aa:bb:cc:dd:ee:ff,a\n"}, {"p", "mac,n,port_min,port_max\n" "00:00:00:00:00:8b,b,2000,2099\n"}, {"q", "mac,n,port_min,port_max\n" "00:00:00:00:00:01,c,3000,3099\n" "aa:bb:cc:dd:ee:ff,again,2000,2099\n"}},
                   "2056-2058\t00:00:00:00:00:8b\tb,2000,2099\n" "3004-3006\t00:00:00:00:00:01\tc,3000,3099\n" "40556-40558\taa:bb:cc:dd:ee:ff\ta\n" "3 devices, 3 of 300 blocks in use, 0 shared by 0 devices\n",
                   "@q:3: duplicate of @u:2\n",
                   0},
        // Servers past what a device's word holds; the table of names grown.
        audit_case{"more_servers_than_a_device_tells_apart",
                   {"--csv", "@m"},
                   {{"m", one_server_each(16383)}},
                   "16382 devices, 16382 of 4095500 blocks in use, 0 shared by 0 devices\n",
                   "@m:16384: more than 16383 servers\n",
                   2},
        // A NUL byte in a server's name, which the C library would stop at.
        audit_case{"server_with_a_nul_byte",
                   {"--csv", "@z"},
                   {{"z", std::string("mac,server\naa:bb:cc:dd:ee:ff,a\0b\n", 33)}},
                   "0 devices, 0 of 250 blocks in use, 0 shared by 0 devices\n",
                   "@z:2: the server is no host name or address\n",
                   2},
        audit_case{"place_quotes_a_label",
                   {"--place", "@h"},
                   {{"h", "aa:bb:cc:dd:ee:ff say \"hi\", all\n"}},
                   "mac,label,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,\"say \"\"hi\"\", all\",40000,40799\n",
                   "1 device (0 placed before): 1 in the fleet's range 40000-40799; 0 with a setting, 0 placed nowhere\n",
                   0},
        audit_case{"place_writes_a_malformed_record_back",
                   {"--csv", "--place", "@k"},
                   {{"k", "mac,name\n" "aa:bb:cc:dd:ee:ff,\"unclosed\n"}},
                   "mac,name,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,\"unclosed\n",
                   "@k:2: malformed CSV record (a quote opened here does not close)\n" "0 devices (0 placed before): 0 in the fleet's range 40000-40799; 0 with a setting, 0 placed nowhere\n",
                   2},
        audit_case{"place_keeps_a_range_outside_those_given",
                   {"--csv", "--place", "--overflow", "41002-41101", "@o"},
                   {{"o", "mac,name,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,a,2000,2099\n" "00:00:00:00:00:8b,b,,\n"}},
                   "mac,name,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,a,2000,2099\n" "00:00:00:00:00:8b,b,40000,41000\n",
                   "2 devices (1 placed before): 1 in the fleet's range 40000-41000; 1 with a setting, 0 placed nowhere, 1 kept in ranges outside these\n",
                   0},
        audit_case{"port_max_column_alone",
                   {"--csv", "@a"},
                   {{"a", "mac,port_max\n" "aa:bb:cc:dd:ee:ff,2099\n"}},
                   "0 devices, 0 of 250 blocks in use, 0 shared by 0 devices\n",
                   "@a:2: port_min and port_max go together: one is empty\n",
                   2},
        audit_case{"bounds_that_are_no_ports",
                   {"--csv", "@b"},
                   {{"b", "mac,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,12a,2099\n" "00:00:00:00:00:01,0,2099\n" "00:00:00:00:00:02,2000,70000\n" "00:00:00:00:00:03,\" \",2099\n" "00:00:00:00:00:04,2000,2099\n"}},
                   "1 device, 1 of 25 blocks in use, 0 shared by 0 devices\n",
                   "@b:2: port_min or port_max is no port from 1 to 65535\n" "@b:3: port_min or port_max is no port from 1 to 65535\n" "@b:4: port_min or port_max is no port from 1 to 65535\n" "@b:5: port_min and port_max go together: one is empty\n",
                   2},
        audit_case{"place_keeps_the_server_column",
                   {"--csv", "--place", "@s"},
                   {{"s", "mac,name,server\n" "aa:bb:cc:dd:ee:ff,a,\n" "00:00:00:00:00:8b,b,\n"}},
                   "mac,name,server,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,a,,40000,40799\n" "00:00:00:00:00:8b,b,,40000,40799\n",
                   "2 devices (0 placed before): 2 in the fleet's range 40000-40799; 0 with a setting, 0 placed nowhere\n",
                   0},
        audit_case{"place_plain_on_servers",
                   {"--place", "--server", "s1.example", "--server", "s2.example", "--port-max", "40003", "@h"},
                   {{"h", "aa:bb:cc:dd:ee:ff a\n" "00:00:00:00:00:8b b\n"}},
                   "mac,label,port_min,port_max,server\n" "aa:bb:cc:dd:ee:ff,a,40000,40003,s1.example\n" "00:00:00:00:00:8b,b,40000,40003,s2.example\n",
                   "2 devices (0 placed before): on s1.example: 1 in the fleet's range 40000-40003; on s2.example: 1 in 40000-40003; 1 with a setting, 0 placed nowhere\n",
                   0},
        audit_case{"placed_port_outside_every_range",
                   {"--csv", "--port", "1999", "@g"},
                   {{"g", "mac,n,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,a,2000,2101\n" "00:00:00:00:00:01,b,,\n"}},
                   "",
                   "portslot-audit: no device holds port 1999: no range the devices are placed in holds it\n",
                   1},
        audit_case{"placed_port_odd",
                   {"--csv", "--port", "2057", "@g"},
                   {{"g", "mac,n,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,a,2000,2101\n" "00:00:00:00:00:01,b,,\n"}},
                   "",
                   "portslot-audit: no device holds port 2057: it is odd, and blocks hold even ports only\n",
                   1},
        audit_case{"placed_port_past_the_last_block",
                   {"--csv", "--port", "2100", "@g"},
                   {{"g", "mac,n,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,a,2000,2101\n" "00:00:00:00:00:01,b,,\n"}},
                   "",
                   "portslot-audit: no device holds port 2100: it is past the last whole block, which ends at 2098\n",
                   1},
        audit_case{"range_starting_inside_another",
                   {"--csv", "@a"},
                   {{"a", "mac,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,2000,2099\n" "00:00:00:00:00:01,2004,2099\n" "00:00:00:00:00:02,20-00,2099\n"}},
                   "1 device, 1 of 25 blocks in use, 0 shared by 0 devices\n",
                   "@a:3: port_min to port_max holds ports of another range in part (ranges must be the same or apart)\n" "@a:4: port_min or port_max is no port from 1 to 65535\n",
                   2},
        audit_case{"overflow_given_twice",
                   {"--place", "--overflow", "41002-41101", "--overflow", "41002-41101", "@g"},
                   {{"g", "aa:bb:cc:dd:ee:ff a\n"}},
                   "mac,label,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,a,40000,41000\n",
                   "1 device (0 placed before): 1 in the fleet's range 40000-41000; 0 with a setting, 0 placed nowhere\n",
                   0},
        audit_case{"place_keeps_two_ranges_held_alike",
                   {"--csv", "--place", "@t"},
                   {{"t", "mac,n,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,a,2000,2099\n" "00:00:00:00:00:01,b,3000,3099\n" "00:00:00:00:00:8b,c,,\n"}},
                   "mac,n,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,a,2000,2099\n" "00:00:00:00:00:01,b,3000,3099\n" "00:00:00:00:00:8b,c,3000,3099\n",
                   "3 devices (2 placed before): 1 in the fleet's range 2000-2099, 2 in 3000-3099; 2 with a setting, 0 placed nowhere\n",
                   0},
        audit_case{"place_keeps_a_range_above_the_bounds",
                   {"--csv", "--place", "@u"},
                   {{"u", "mac,n,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,a,50000,50099\n" "00:00:00:00:00:8b,b,,\n"}},
                   "mac,n,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,a,50000,50099\n" "00:00:00:00:00:8b,b,40000,40499\n",
                   "2 devices (1 placed before): 1 in the fleet's range 50000-50099, 1 in 40000-40499; 1 with a setting, 0 placed nowhere\n",
                   0},
        audit_case{"place_keeps_a_server_not_given",
                   {"--csv", "--place", "--server", "s1.example", "@v"},
                   {{"v", "mac,n,port_min,port_max,server\n" "aa:bb:cc:dd:ee:ff,a,40000,41000,s9.example\n" "00:00:00:00:00:8b,b,,,\n"}},
                   "mac,n,port_min,port_max,server\n" "aa:bb:cc:dd:ee:ff,a,40000,41000,s9.example\n" "00:00:00:00:00:8b,b,40000,41000,s1.example\n",
                   "2 devices (1 placed before): 1 in the fleet's range 40000-41000; 1 with a setting, 0 placed nowhere, 1 kept in ranges outside these\n",
                   0},
        audit_case{"place_quotes_a_label_with_the_delimiter",
                   {"--place", "@h"},
                   {{"h", "aa:bb:cc:dd:ee:ff a,b\n"}},
                   "mac,label,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,\"a,b\",40000,40799\n",
                   "1 device (0 placed before): 1 in the fleet's range 40000-40799; 0 with a setting, 0 placed nowhere\n",
                   0},
        audit_case{"placed_inventory_record_without_an_address",
                   {"--csv", "@a"},
                   {{"a", "n,mac,port_min,port_max\n" "only\n" "b,aa:bb:cc:dd:ee:ff,,\n"}},
                   "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n",
                   "@a:2: no field 2\n",
                   2},
        audit_case{"place_an_empty_csv_file",
                   {"--csv", "--place", "@e"},
                   {{"e", ""}},
                   "port_min,port_max\n",
                   "0 devices (0 placed before): 0 in the fleet's range 40000-40799; 0 with a setting, 0 placed nowhere\n",
                   0},
        audit_case{"place_plain_nowhere",
                   {"--place", "--overflow", "41002-41101", "@h"},
                   {{"h", "aa:bb:cc:dd:ee:ff a\n" "11:22:33:dd:ee:ff b\n" "22:33:44:dd:ee:ff c\n"}},
                   "mac,label,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,a,40000,41000\n" "11:22:33:dd:ee:ff,b,41002,41101\n" "22:33:44:dd:ee:ff,c,,\n",
                   "@h:3: placed nowhere: its block is taken in every range on every server\n" "3 devices (0 placed before): 1 in the fleet's range 40000-41000, 1 in 41002-41101; 1 with a setting, 1 placed nowhere (another server or more ranges would take them)\n",
                   1},
        audit_case{"place_a_record_over_two_lines",
                   {"--csv", "--place", "@k"},
                   {{"k", "n,mac\n" "\"two\n" "lines\",aa:bb:cc:dd:ee:ff\n"}},
                   "n,mac,port_min,port_max\n" "\"two\n" "lines\",aa:bb:cc:dd:ee:ff,40000,40799\n",
                   "1 device (0 placed before): 1 in the fleet's range 40000-40799; 0 with a setting, 0 placed nowhere\n",
                   0},
        audit_case{"alias_names_a_server_beside_jump",
                   {"--csv", "--ssh-config", "--jump", "j.example", "@s"},
                   {{"s", "mac,n,server\n" "aa:bb:cc:dd:ee:ff,gw,gw\n" "00:00:00:00:00:8b,b,s2\n"}},
                   "Host aabbccddeeff\n" "    HostName localhost\n" "    Port 40556\n" "    HostKeyAlias aa:bb:cc:dd:ee:ff\n" "    ProxyJump j.example,gw\n" "\n" "Host b\n" "    HostName localhost\n" "    Port 40556\n" "    HostKeyAlias 00:00:00:00:00:8b\n" "    ProxyJump j.example,s2\n",
                   "@s:2: alias \"gw\" names a host of --jump or a server; this device is aabbccddeeff\n",
                   0},
        audit_case{"alias_names_this_server",
                   {"--csv", "--ssh-config", "--server", "gw", "@s"},
                   {{"s", "mac,n,server\n" "aa:bb:cc:dd:ee:ff,gw,gw\n" "00:00:00:00:00:8b,b,s2\n"}},
                   "Host aabbccddeeff\n" "    HostName localhost\n" "    Port 40556\n" "    HostKeyAlias aa:bb:cc:dd:ee:ff\n" "    ProxyJump gw\n",
                   "@s:2: alias \"gw\" names a server of the fleet; this device is aabbccddeeff\n",
                   0},
        audit_case{"suggest_refused_for_servers",
                   {"--csv", "--suggest", "@s"},
                   {{"s", "mac,n,server\n" "aa:bb:cc:dd:ee:ff,gw,gw\n" "00:00:00:00:00:8b,b,s2\n"}},
                   "",
                   "portslot-audit: --suggest moves the whole fleet into one range, and devices of the inventory are placed in ranges (or on servers) of their own: see --place\n",
                   2},
        audit_case{"unplaced_inventory_after_a_placed_one",
                   {"--csv", "--all", "@p", "@u"},
                   {{"p", "mac,n,port_min,port_max\n" "00:00:00:00:00:8b,b,2000,2099\n"}, {"u", "mac,n\n" "aa:bb:cc:dd:ee:ff,a\n"}},
                   "2056-2058\t00:00:00:00:00:8b\tb,2000,2099\n" "40556-40558\taa:bb:cc:dd:ee:ff\ta\n" "2 devices, 2 of 275 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        audit_case{"range_with_another_ones_start",
                   {"--csv", "@a"},
                   {{"a", "mac,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,2000,2099\n" "00:00:00:00:00:01,2000,2199\n"}},
                   "1 device, 1 of 25 blocks in use, 0 shared by 0 devices\n",
                   "@a:3: port_min to port_max holds ports of another range in part (ranges must be the same or apart)\n",
                   2},
        audit_case{"place_keeps_a_server_without_a_range",
                   {"--csv", "--place", "--server", "s1.example", "--server", "s2.example", "@s"},
                   {{"s", "mac,port_min,port_max,server\n" "aa:bb:cc:dd:ee:ff,,,s2.example\n" "00:00:00:00:00:8b,,,\n"}},
                   "mac,port_min,port_max,server\n" "aa:bb:cc:dd:ee:ff,,,s2.example\n" "00:00:00:00:00:8b,40000,41000,s1.example\n",
                   "2 devices (1 placed before): on s1.example: 1 in the fleet's range 40000-41000; on s2.example: 1 in 40000-41000; 1 with a setting, 0 placed nowhere\n",
                   0},
        audit_case{"hosts_jump_to_a_long_server_name",
                   {"--csv", "--ssh-config", "@l"},
                   {{"l", "mac,n,server\n" "aa:bb:cc:dd:ee:ff,a,aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.bbbbbbbbbb.example\n"}},
                   "Host a\n" "    HostName localhost\n" "    Port 40556\n" "    HostKeyAlias aa:bb:cc:dd:ee:ff\n" "    ProxyJump aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.bbbbbbbbbb.example\n",
                   "",
                   0}),
    case_name);

// Every byte that --delimiter takes splits fields as a comma does, with
// fields and in CSV: a part of the label on each side of the address, joined
// by the delimiter, even where the byte is negative as a char.
TEST(audit_delimiters, every_allowed_byte_splits_like_a_comma)
{
    for (int byte = 1; byte < 256; ++byte) {
        const char d = static_cast<char>(byte);
        if (d == '\n' || d == '\r' || d == '"')
            continue;
        // An address and label parts that do not hold the byte.
        const std::string mac = std::string("abcdef:").find(d) == std::string::npos
                                    ? "aa:bb:cc:dd:ee:ff"
                                    : "AABBCCDDEEFF";
        const std::string x = d == 'x' ? "w" : "x", y = d == 'y' ? "z" : "y";
        std::string line = x, row = "40556-40558\t", header = x;
        line.append(1, d).append(mac).append(1, d).append(y).append("\n");
        row.append(mac).append("\t").append(x).append(1, d).append(y).append("\n");
        header.append(1, d).append(y).append("\n");
        const std::string fields = write_file("delimited", line);
        const std::string csv = write_file("delimited-csv", header.append(line));
        const tool_run split =
            run_tool(PORTSLOT_AUDIT_PATH, {"portslot-audit", "--all", "--field", "2", "--delimiter",
                                           std::string(1, d), fields});
        const tool_run records =
            run_tool(PORTSLOT_AUDIT_PATH, {"portslot-audit", "--all", "--csv", "--field", "2",
                                           "--delimiter", std::string(1, d), csv});
        const std::string summary = "1 device, 1 of 250 blocks in use, 0 shared by 0 devices\n";
        EXPECT_EQ(split.out, row + summary) << "byte " << byte;
        EXPECT_EQ(records.out, row + summary) << "byte " << byte;
        std::remove(fields.c_str());
        std::remove(csv.c_str());
    }
}

} // namespace
