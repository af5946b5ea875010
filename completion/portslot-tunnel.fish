# fish completion for portslot-tunnel. Files follow --identity and
# --known-hosts, interfaces --interface; the other values are not completed.
complete -c portslot-tunnel -l interface -x -a '(command ls /sys/class/net 2>/dev/null)' -d 'Take the MAC address of this interface'
complete -c portslot-tunnel -l port-min -x -d 'Lowest port of the range (default 40000)'
complete -c portslot-tunnel -l port-max -x -d 'Highest port of the range (default 41000)'
complete -c portslot-tunnel -l port-count -x -d 'Ports each device takes (default 2)'
complete -c portslot-tunnel -l forward -x -d 'A service of the device, [HOST:]PORT, to reach from the server'
complete -c portslot-tunnel -l identity -r -F -d 'The private key to log in with'
complete -c portslot-tunnel -l known-hosts -r -F -d "The server's host key, provisioned with the device"
complete -c portslot-tunnel -l ssh-port -x -d "The server's SSH port (default 22)"
complete -c portslot-tunnel -l client -x -a 'ssh dbclient' -d 'The SSH client to run'
complete -c portslot-tunnel -l keepalive -x -d 'Seconds between probes of the server (default 30)'
complete -c portslot-tunnel -l once -d "One attempt; exit with the client's status"
complete -c portslot-tunnel -l print -d 'Print the ports and the command, and exit'
complete -c portslot-tunnel -l help -d 'Print the usage and exit'
complete -c portslot-tunnel -l version -d 'Print the version and exit'
