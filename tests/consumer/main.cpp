#include <cstdio>

#include <portslot/options.h>
#include <portslot/port_derivation.h>

// The README's example, as it stands there.
int readme_example()
{
    // The first of the two ports of a device in the default range: 40556.
    int32_t port = portslot::compute_port("aa:bb:cc:dd:ee:ff", 40000, 41000, 2, 1);
    if (port < 0) { /* no port for these inputs */ }
    return port;
}

int main(int argc, char **argv)
{
    if (readme_example() != 40556)
        return 1;
    const portslot::port_options o = portslot::getopt(argc, argv);
    std::printf("%d\n", portslot::compute_port(o.mac_address, o.port_min, o.port_max, o.port_count,
                                               o.port_num));
}
