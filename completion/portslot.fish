# fish completion for portslot. Each option takes a number, and the MAC
# address is free text: no file names are offered.
complete -c portslot -f
complete -c portslot -l port-min -x -d 'Lowest port of the range (default 40000)'
complete -c portslot -l port-max -x -d 'Highest port of the range (default 41000)'
complete -c portslot -l port-count -x -d 'Ports each device takes (default 2)'
complete -c portslot -l port-num -x -d 'Which of the device\'s ports to print, from 1'
