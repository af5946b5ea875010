#include "ephemeral_warning.h"

namespace portslot::audit {

namespace {

// The ports of `set` from `low` to `high` as "A-B,C,...".
void write_ports(output &out, const port_set &set, int32_t low, int32_t high)
{
    const char *separator = "";
    for (int32_t port = low; port <= high; ++port) {
        if (!set.has(port))
            continue;
        int32_t last = port;
        while (last < high && set.has(last + 1))
            ++last;
        out.text(separator);
        out.number(port);
        if (last != port) {
            out.text("-");
            out.number(last);
        }
        separator = ",";
        port = last;
    }
}

} // namespace

void warn_ephemeral_overlap(const port_range &range, const ephemeral_ports &kernel, output &err)
{
    const int32_t low = range.port_min > 0 ? range.port_min : 0;
    const int32_t high = range.port_max < 65535 ? range.port_max : 65535;
    port_set exposed, reserving = kernel.reserved;
    bool any = false;
    for (int32_t port = low; port <= high; ++port) {
        reserving.add(static_cast<uint32_t>(port));
        if (port >= kernel.low && port <= kernel.high && !kernel.reserved.has(port)) {
            exposed.add(static_cast<uint32_t>(port));
            any = true;
        }
    }
    if (!any)
        return;
    err.text("portslot-audit: warning: ports ");
    write_ports(err, exposed, low, high);
    err.text(" of the range lie in the kernel's ephemeral ports (");
    err.number(kernel.low);
    err.text("-");
    err.number(kernel.high);
    err.text(") and are not reserved: an outgoing connection of this host may take a device's"
             " port, and the device cannot listen until it ends. Reserve them now, and at every"
             " boot:\n  sysctl -w net.ipv4.ip_local_reserved_ports=");
    write_ports(err, reserving, 0, 65535);
    err.text("\n  echo 'net.ipv4.ip_local_reserved_ports = ");
    write_ports(err, reserving, 0, 65535);
    err.text("' >/etc/sysctl.d/60-portslot.conf\n");
}

} // namespace portslot::audit
