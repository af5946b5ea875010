#include <cstdio>

#include <portslot/options.h>
#include <portslot/port_derivation.h>

int main(int argc, char **argv)
{
    const portslot::port_options o = portslot::getopt(argc, argv);
    std::printf("%d\n", portslot::compute_port(o.mac_address, o.port_min, o.port_max, o.port_count,
                                               o.port_num));
}
