# Sourced by the per-program tests, with $here (their folder) and $tools (the commands they need)
# set: skips (exit 77) without root or a command; makes $work, two network namespaces $near and
# $far joined by a veth line (line0, 10.77.0.1, fd77::1 in $near; line1, 10.77.0.2, fd77::2 in
# $far) with segmentation offloads off as a PPP line has them, no multicast and known neighbours,
# so that nothing but the tests' own programs uses it; and starts the far end (far_end.py) in $far.
# in_near and in_far run a command in either; retransmitted says how many TCP segments $near has
# sent again; start_meter starts $meter in $near, answering at the
# path given (skipping the test where BPF is not to be had); setup_pulopro, pulo_exec and pulo run
# PuloPro there (see below). On exit the processes of $pulopro_pid, $meter_pid
# and the far end are ended and everything made is removed.
[ "$(id -u)" = 0 ] || { echo "skipped: needs root"; exit 77; }
for tool in $tools; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
work=$(mktemp -d)
near="pm-near-$$"
far="pm-far-$$"
cleanup() {
    [ -n "${pulopro_pid:-}" ] && kill "$pulopro_pid" 2>/dev/null
    [ -n "${meter_pid:-}" ] && kill "$meter_pid" 2>/dev/null
    [ -n "${far_pid:-}" ] && kill "$far_pid" 2>/dev/null
    wait 2>/dev/null
    ip netns del "$near" 2>/dev/null
    ip netns del "$far" 2>/dev/null
    [ -n "${PULO_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$near" && ip netns add "$far" || { echo "skipped: no network namespaces"; exit 77; }
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

coproc far_end { exec ip netns exec "$far" python3 "$here/far_end.py" 2000000; }
far_pid=$far_end_PID
read -r -t 10 -u "${far_end[0]}" said
[ "$said" = ready ] || { echo "FAILED: the far end did not start"; exit 1; }
# The TCP segments the near namespace has sent again so far.
retransmitted() { in_near awk '$1 == "Tcp:" && $13 ~ /^[0-9]+$/ { print $13 }' /proc/net/snmp; }
start_meter() {
    # Only the network namespace is entered: the meter finds the system's cgroup hierarchy as its
    # service would.
    nsenter --net="/run/netns/$near" "$meter" --socket "$1" 2>"$work/meter.log" &
    meter_pid=$!
    for _ in $(seq 1 100); do [ -S "$1" ] && break; sleep 0.05; done
    if [ ! -S "$1" ]; then
        cat "$work/meter.log"
        grep -q "CAP_" "$work/meter.log" && { echo "skipped: BPF is not available here"; exit 77; }
        echo "FAILED: the meter did not start"
        exit 1
    fi
}
# PuloPro ($program) with its files beside it in $work/app, nothing in the home folder of whoever
# runs the tests, asking the meter at $work/meter; its settings file as given (printf's escapes).
# pulo_exec replaces the calling shell with PuloPro in $near (so that a background start's process
# is PuloPro's); pulo runs it with the arguments given and waits.
setup_pulopro() {
    mkdir -p -m 0700 "$work/app" "$work/home"
    cp "$program" "$work/app/"
    printf "$1" >"$work/app/pulopro.ini"
}
pulo_exec() {
    cd "$work/app" && HOME="$work/home" XDG_CONFIG_HOME="$work/home" XDG_DATA_HOME="$work/home" \
        XDG_RUNTIME_DIR="$work/home" QT_QPA_PLATFORM=offscreen PULOPRO_METER_SOCKET="$work/meter" \
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" \
        exec nsenter --net="/run/netns/$near" ./pulopro "$@"
}
pulo() { (pulo_exec "$@"); }
# Each failure is told and counted; eventually waits up to five seconds for a command to succeed.
failures=0
fail() { echo "FAILED: $1"; failures=$((failures + 1)); }
eventually() {
    for _ in $(seq 1 50); do "$@" && return 0; sleep 0.1; done
    return 1
}
