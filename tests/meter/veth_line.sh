# Sourced by the per-program tests once the namespaces $near and $far are made: a veth line between
# them (line0, 10.77.0.1, fd77::1 in $near; line1, 10.77.0.2, fd77::2 in $far) with segmentation
# offloads off as a PPP line has them, no multicast and known neighbours, so that nothing but the
# tests' own programs uses it. in_near and in_far run a command in either.
in_near() { ip netns exec "$near" "$@"; }
in_far() { ip netns exec "$far" "$@"; }
ip link add line0 netns "$near" type veth peer name line1 netns "$far"
for side in near far; do
    ns=$near; dev=line0; v4=10.77.0.1; v6=fd77::1
    [ "$side" = far ] && { ns=$far; dev=line1; v4=10.77.0.2; v6=fd77::2; }
    ip netns exec "$ns" sysctl -q -w net.ipv6.conf.all.accept_ra=0 net.ipv6.conf.default.router_solicitations=0 \
        net.ipv6.conf.all.router_solicitations=0
    ip netns exec "$ns" ip link set lo up
    ip netns exec "$ns" ethtool -K "$dev" tso off gso off gro off >/dev/null 2>&1
    ip netns exec "$ns" ip addr add "$v4/24" dev "$dev"
    ip netns exec "$ns" ip -6 addr add "$v6/64" dev "$dev" nodad
    # No multicast: the kernel's own listener reports would come at moments of their own.
    ip netns exec "$ns" ip link set "$dev" multicast off up
done
# Known neighbours: no address resolution on the line but the generators' own packets.
near_mac=$(in_near cat /sys/class/net/line0/address)
far_mac=$(in_far cat /sys/class/net/line1/address)
in_near ip neigh replace 10.77.0.2 lladdr "$far_mac" dev line0 nud permanent
in_near ip -6 neigh replace fd77::2 lladdr "$far_mac" dev line0 nud permanent
in_far ip neigh replace 10.77.0.1 lladdr "$near_mac" dev line1 nud permanent
in_far ip -6 neigh replace fd77::1 lladdr "$near_mac" dev line1 nud permanent

