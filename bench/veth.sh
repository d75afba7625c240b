# Sourced by the benchmarks that run in a network namespace of their own: a veth pair vA/vB up,
# and in $row the speed monitor's row of vA (the interfaces in index order, counted from 1).
ip link set lo up
ip link add vA type veth peer name vB
ip link set vA up
ip link set vB up
row=$(ip -o link show | awk -F': ' '{print $1, $2}' | sort -n | awk '{print $2}' | sed 's/@.*//' | grep -n '^vA$' | cut -d: -f1)
export row
