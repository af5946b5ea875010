# fish completion for portslot-audit. The options that take a value offer
# nothing for it; other arguments are inventories, completed as file names.
complete -c portslot-audit -l port-min -x -d 'Lowest port of the range (default 40000)'
complete -c portslot-audit -l port-max -x -d 'Highest port of the range (default 41000)'
complete -c portslot-audit -l port-count -x -d 'Ports each device takes (default 2)'
complete -c portslot-audit -l all -d 'List every device, not only those that share a block'
complete -c portslot-audit -l suggest -d 'Find the smallest range with the fewest devices sharing'
complete -c portslot-audit -l port -x -d 'List the devices whose block holds this port'
complete -c portslot-audit -l field -x -d 'The field (with --csv, the column) that holds the address'
complete -c portslot-audit -l delimiter -x -d 'Split fields at every such byte'
complete -c portslot-audit -l csv -d 'Read CSV with a header'
complete -c portslot-audit -l drop-column -x -d 'With --csv, leave a column out of the labels'
complete -c portslot-audit -l keep-last -d 'Of a device listed more than once, keep the last entry'
complete -c portslot-audit -l json -d 'Write the plan as JSON Lines'
complete -c portslot-audit -l listening -d 'List every device beside the TCP ports that listen on this host'
complete -c portslot-audit -l sockets -r -F -d 'The same from a socket table saved elsewhere (ss -Hltn, /proc/net/tcp)'
complete -c portslot-audit -l metrics -r -F -d 'With --listening or --sockets, also write the live view for a textfile collector'
complete -c portslot-audit -l identify -d "With --listening, name the holder of each shared block's port by its host key"
complete -c portslot-audit -l identify-all -d "With --listening, name the holder of every block's port by its host key"
complete -c portslot-audit -l learn -d "With --identify, write the key that answers for a device alone without one into the inventory"
complete -c portslot-audit -l keys-seen -r -F -d 'With --sockets, what ssh-keyscan printed on that host'
complete -c portslot-audit -l ssh-config -d 'Write an ssh_config fragment, a Host block a device'
complete -c portslot-audit -l alias-field -x -d 'With --ssh-config, name devices by this field or column'
complete -c portslot-audit -l ssh-port-num -x -d "With --ssh-config, the block's port that leads to the device's SSH server"
complete -c portslot-audit -l jump -x -d 'With --ssh-config, reach the devices through this server (ProxyJump)'
complete -c portslot-audit -l alias-domain -x -d 'With --ssh-config, take labels with a dot as aliases only in this domain'
complete -c portslot-audit -l authorized-keys -x -d "Write authorized_keys from each device's key in this field"
complete -c portslot-audit -l known-hosts -d "Write known_hosts from each device's host key"
complete -c portslot-audit -l host-key-field -x -d 'With --known-hosts or --ssh-config, the field or column of the host keys'
complete -c portslot-audit -l known-hosts-file -r -F -d 'With --ssh-config, the known_hosts file that pins the devices'
complete -c portslot-audit -l place -d "Write the inventory back with each new device's range and server"
complete -c portslot-audit -l overflow -x -d "With --place, an overflow range MIN-MAX after the fleet's range"
complete -c portslot-audit -l server -x -a '(__fish_print_hostnames)' -d 'A server to place devices on; in other modes, only its devices'
complete -c portslot-audit -l jump-user -x -a '(__fish_complete_users)' -d "With --ssh-config, the user on the devices' servers"
complete -c portslot-audit -l help -d 'Print the usage and exit'
complete -c portslot-audit -l version -d 'Print the version and exit'
