/* The C interface, compiled as C: the worked example and the edge results. */
#include <stdio.h>

#include <portslot/portslot.h>

static int failures;

static void expect(long long got, long long want, const char *what)
{
    if (got != want) {
        printf("%s: got %lld, want %lld\n", what, got, want);
        ++failures;
    }
}

int main(void)
{
    expect(portslot_compute_port("aa:bb:cc:dd:ee:ff", 40000, 41000, 2, 1), 40556, "first port");
    expect(portslot_compute_port("aa:bb:cc:dd:ee:ff", 40000, 41000, 2, 2), 40558, "second port");
    expect(portslot_compute_port(NULL, 40000, 41000, 2, 1), -1, "null address");
    expect(portslot_block_count(40000, 41000, 2), 250, "blocks");
    expect(portslot_block_count(40000, 40000, 2), 0, "no whole block");
    return failures != 0;
}
