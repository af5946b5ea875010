// --suggest: the smallest range with the least sharing.
#include "audit_fixture.h"

namespace {

INSTANTIATE_TEST_SUITE_P(
    suggest, audit,
    testing::Values(
        // --suggest: the smallest range from --port-min up without sharing,
        // or, where none is, the one with the fewest devices sharing.
        audit_case{"suggest_smallest_range_without_sharing",
                   {"--suggest", "@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff gw\n00:00:00:00:00:8b cam\n00:00:00:00:00:01 pr\n"}},
                   "--port-min 40000 --port-max 40026 --port-count 2\n"
                   "3 devices, 3 of 7 blocks in use, 0 shared by 0 devices\n",
                   "",
                   0},
        audit_case{"suggest_cannot_avoid_sharing",
                   {"--suggest", "--all", "--port-min=40001", "--port-max", "40007", "@a"},
                   {{"a", "00:00:00:00:00:01\n00:00:00:00:00:02\n00:00:00:00:00:03\n"
                          "00:00:00:00:00:04\n"}},
                   "--port-min 40001 --port-max 40004 --port-count 2\n"
                   "40002-40004\t00:00:00:00:00:01\t\n40002-40004\t00:00:00:00:00:02\t\n"
                   "40002-40004\t00:00:00:00:00:03\t\n40002-40004\t00:00:00:00:00:04\t\n"
                   "4 devices, 1 of 1 block in use, 1 shared by 4 devices\n"
                   "more devices than blocks: at least 4 devices must share, whatever the "
                   "addresses are\n",
                   "portslot-audit: these devices share a block in every range up to --port-max "
                   "40007: 00:00:00:00:00:01 (@a:1), 00:00:00:00:00:02 (@a:2), 00:00:00:00:00:03 "
                   "(@a:3), 00:00:00:00:00:04 (@a:4)\n",
                   1},
        // Keys 0 and 6 share under 1, 2 and 3 blocks: no range up to 40010
        // separates them; equal keys share in every range.
        audit_case{"suggest_names_devices_no_range_separates",
                   {"--suggest", "--port-max", "40010", "@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff a\n00:00:00:00:00:00 z\n11:22:33:dd:ee:ff b\n"
                          "00:00:00:00:00:06 s\n"}},
                   "--port-min 40000 --port-max 40002 --port-count 2\n"
                   "40000-40002\taa:bb:cc:dd:ee:ff\ta\n40000-40002\t00:00:00:00:00:00\tz\n"
                   "40000-40002\t11:22:33:dd:ee:ff\tb\n40000-40002\t00:00:00:00:00:06\ts\n"
                   "4 devices, 1 of 1 block in use, 1 shared by 4 devices\n"
                   "more devices than blocks: at least 4 devices must share, whatever the "
                   "addresses are\n",
                   "portslot-audit: these devices share a block in every range up to --port-max "
                   "40010: 00:00:00:00:00:00 (@a:2), 00:00:00:00:00:06 (@a:4)\n"
                   "portslot-audit: these devices share a block in every range up to --port-max "
                   "40010: aa:bb:cc:dd:ee:ff (@a:1), 11:22:33:dd:ee:ff (@a:3)\n",
                   1},
        // Beside a block of one: only the devices no range separates.
        audit_case{"suggest_names_only_inseparable_devices",
                   {"--suggest"},
                   {},
                   "--port-min 40000 --port-max 40006 --port-count 2\n"
                   "40004-40006\t00:00:00:00:00:01\ta\n40004-40006\t11:22:33:00:00:01\tb\n"
                   "3 devices, 2 of 2 blocks in use, 1 shared by 2 devices\n"
                   "more devices than blocks: at least 2 devices must share, whatever the "
                   "addresses are\n",
                   "portslot-audit: these devices share a block in every range up to --port-max "
                   "65535: 00:00:00:00:00:01 (-:1), 11:22:33:00:00:01 (-:2)\n",
                   1,
                   "00:00:00:00:00:01 a\n11:22:33:00:00:01 b\n00:00:00:00:00:02 c\n"},
        audit_case{"suggest_one_device_listed_twice",
                   {"--suggest", "--port-count", "3", "@a"},
                   {{"a", "aa:bb:cc:dd:ee:ff\nAABBCCDDEEFF\n"}},
                   "--port-min 40000 --port-max 40004 --port-count 3\n"
                   "1 device, 1 of 1 block in use, 0 shared by 0 devices\n",
                   "@a:2: duplicate of @a:1\n",
                   0},
        // Within a block, input order, as without --suggest.
        audit_case{"suggest_keeps_input_order",
                   {"--suggest", "@a"},
                   {{"a", "aa0000000002 a\nbb0000000001 b\ncc0000000002 c\ndd0000000001 d\n"}},
                   "--port-min 40000 --port-max 40002 --port-count 2\n"
                   "40000-40002\taa0000000002\ta\n40000-40002\tbb0000000001\tb\n"
                   "40000-40002\tcc0000000002\tc\n40000-40002\tdd0000000001\td\n"
                   "4 devices, 1 of 1 block in use, 1 shared by 4 devices\n"
                   "more devices than blocks: at least 4 devices must share, whatever the "
                   "addresses are\n",
                   "portslot-audit: these devices share a block in every range up to --port-max "
                   "65535: bb0000000001 (@a:2), dd0000000001 (@a:4)\n"
                   "portslot-audit: these devices share a block in every range up to --port-max "
                   "65535: aa0000000002 (@a:1), cc0000000002 (@a:3)\n",
                   1},
        // Equal keys share under any number of blocks: the first is the
        // answer, found at once however large the range.
        audit_case{
            "suggest_equal_keys_over_the_whole_range",
            {"--suggest", "--port-min", "0", "--port-max", "2147483647", "--port-count", "1", "@a"},
            {{"a", "aa:bb:cc:00:00:01 a\n11:22:33:00:00:01 b\n"}},
            "--port-min 0 --port-max 0 --port-count 1\n0-0\taa:bb:cc:00:00:01\ta\n"
            "0-0\t11:22:33:00:00:01\tb\n2 devices, 1 of 1 block in use, 1 shared by 2 devices\n"
            "more devices than blocks: at least 2 devices must share, whatever the "
            "addresses are\n",
            "portslot-audit: these devices share a block in every range up to --port-max "
            "2147483647: aa:bb:cc:00:00:01 (@a:1), 11:22:33:00:00:01 (@a:2)\n",
            1},
        audit_case{"suggest_in_a_range_of_one_block",
                   {"--suggest", "--port-min", "40000", "--port-max", "40000", "--port-count",
                    "1", "@k"},
                   {{"k", "00:00:00:00:00:00\n00:00:00:00:00:01\n"}},
                   "--port-min 40000 --port-max 40000 --port-count 1\n"
                   "40000-40000\t00:00:00:00:00:00\t\n"
                   "40000-40000\t00:00:00:00:00:01\t\n"
                   "2 devices, 1 of 1 block in use, 1 shared by 2 devices\n"
                   "more devices than blocks: at least 2 devices must share, whatever the "
                   "addresses are\n",
                   "portslot-audit: these devices share a block in every range up to --port-max "
                   "40000: 00:00:00:00:00:00 (@k:1), 00:00:00:00:00:01 (@k:2)\n",
                   1},
        audit_case{"suggest_refused_for_a_placed_fleet",
                   {"--csv", "--suggest", "@g"},
                   {{"g", "mac,n,port_min,port_max\n" "aa:bb:cc:dd:ee:ff,a,2000,2099\n" "00:00:00:00:00:8b,b,,\n"}},
                   "",
                   "portslot-audit: --suggest moves the whole fleet into one range, and devices of the inventory are placed in ranges (or on servers) of their own: see --place\n",
                   2}),
    case_name);

TEST(suggest, agrees_with_trying_every_number_of_blocks)
{
    std::mt19937_64 random(20261207);
    for (int fleet = 0; fleet < 3000; ++fleet) {
        // Now and then more blocks than can be counted in place, for a few
        // devices with distinct keys, so that a range without sharing ends it.
        const bool many_blocks = fleet % 100 == 0;
        std::vector<std::uint64_t> keys(random() % (many_blocks ? 10 : 40));
        const std::uint64_t spread = std::uint64_t{1} << (many_blocks ? 40 : random() % 26);
        for (std::uint64_t &key : keys)
            key = random() % 8 == 0 ? ~(random() % 1000) : random() % spread; // some past 2^32
        const std::int64_t max_blocks = many_blocks ? (std::int64_t{1} << 21) + 3
                                                    : 1 + static_cast<std::int64_t>(random() % 400);

        std::int64_t want_blocks = 0;
        std::uint64_t want_sharing = UINT64_MAX;
        for (std::int64_t blocks = 1; blocks <= max_blocks; ++blocks) {
            std::map<std::uint64_t, std::uint64_t> held;
            for (std::uint64_t key : keys)
                ++held[key % static_cast<std::uint64_t>(blocks)];
            std::uint64_t sharing = 0;
            for (const auto &[block, devices] : held)
                sharing += devices > 1 ? devices : 0;
            if (sharing < want_sharing) {
                want_sharing = sharing;
                want_blocks = blocks;
            }
            if (sharing == 0)
                break;
        }
        const auto got = portslot::audit::search_blocks(keys.data(), keys.size(), max_blocks);
        ASSERT_EQ(got.blocks, want_blocks) << "fleet " << fleet;
        ASSERT_EQ(got.sharing, want_sharing) << "fleet " << fleet;
    }
}

// A long search tells how far it has come, every 256 numbers of blocks once
// its time is up, then once more when it is done; the line it writes on a
// terminal names the best range so far, and is cleared at the end.
TEST(suggest, reports_its_progress)
{
    using namespace portslot::audit;
    std::vector<std::uint64_t> keys(600);
    for (std::size_t i = 0; i < keys.size(); ++i)
        keys[i] = i; // no sharing before 600 blocks
    std::vector<std::int64_t> tried;
    search_progress progress{[](void *c, std::int64_t at, std::int64_t, suggestion) {
                                 static_cast<std::vector<std::int64_t> *>(c)->push_back(at);
                             },
                             &tried, 0};
    EXPECT_EQ(search_blocks(keys.data(), keys.size(), 1 << 20, &progress).blocks, 600);
    EXPECT_EQ(tried, (std::vector<std::int64_t>{256, 0})); // the next a quarter second later

    char buffer[256];
    const auto line = [&](std::int64_t at) {
        portslot::output err(-1, buffer, sizeof buffer);
        const port_range range{40001, 65535, 2};
        const terminal_progress on_terminal(err, range);
        on_terminal.progress.report(on_terminal.progress.context, at, 600, suggestion{10, 4});
        return std::string(buffer, std::find(buffer, buffer + sizeof buffer, 'K') + 1);
    };
    EXPECT_EQ(line(256), "\rportslot-audit: searching: 256 of 600 block counts (42%), best so far "
                         "--port-max 40040 with 4 devices sharing\x1b[K");
    EXPECT_EQ(line(0), "\r\x1b[K");
}

} // namespace
