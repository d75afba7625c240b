#!/usr/bin/env bash
# Holding programs back, for real: the meter in one of two network namespaces joined by a veth
# line, a program held back by a caller of the meter's socket. While the caller holds it, its
# packets on the line are refused both ways (an open socket's and new ones', sent and received);
# a program not held back is never disturbed; the hold ends with the caller's connection, however
# it ends; a caller of another user cannot hold back root's processes. Needs root and BPF; skips
# (exit 77) without them.
set -u
meter="$1"
generator="$2"
here=$(cd "$(dirname "$0")" && pwd)
tools="ip ethtool python3 bpftool setpriv stat"
. "$here/veth_line.sh"

start_meter "$work/socket"
chmod 0755 "$work"
for name in gen-held gen-free; do cp "$generator" "$work/$name"; done
ifindex=$(in_near cat /sys/class/net/line0/ifindex)
hold_request="hold #$ifindex $(stat -c '%Hd:%Ld %i' "$work/gen-held")"

# Two programs pinging the far end all along, on sockets opened before anything is held.
ip netns exec "$near" "$work/gen-held" udp-ping 10.77.0.2 5003 "$work/held.pings" &
held_pid=$!
ip netns exec "$near" "$work/gen-free" udp-ping 10.77.0.2 5003 "$work/free.pings" &
free_pid=$!
# The last pings of a program: "+" answered, "-" not; whether the last eight were all answered or
# all not; and, for a state that must stay as it is, eight pings more after now.
last_pings() { tail -c 8 "$work/$1.pings" 2>/dev/null; }
refused() { [ "$(last_pings "$1")" = "--------" ]; }
answered() { [ "$(last_pings "$1")" = "++++++++" ]; }
pings() { stat -c %s "$work/$1.pings"; }
grown() { [ "$(pings "$1")" -ge "$2" ]; }
eight_more() { eventually grown "$1" $(($(pings "$1") + 8)); }
eventually answered held || fail "the program to hold back did not reach the far end at first"

# A caller holds it, and keeps its connection (its requests come from the fifo $work/NAME.in, its
# answers go to $work/NAME.out).
holder() {
    local name="$1"
    shift
    mkfifo "$work/$name.in"
    "$@" /usr/bin/python3 "$here/hold_client.py" "$work/socket" "$hold_request" <"$work/$name.in" >"$work/$name.out" &
    holder_pid=$!
    exec 9>"$work/$name.in"
    eventually grep -q holding "$work/$name.out"
    [ "$(cat "$work/$name.out")" = "$(printf 'ok\nholding')" ] || fail "the meter refused the hold: $(cat "$work/$name.out")"
}
holder first
eventually refused held || fail "the held program's open socket still reaches the far end: $(last_pings held)"
answered free || fail "the program not held back was disturbed: $(last_pings free)"
in_near timeout 3 "$work/gen-held" udp 10.77.0.2 5003 3 100 && fail "a new socket of the held program got through"
in_near timeout 3 "$work/gen-held" tcp-send 10.77.0.2 5001 10000 && fail "a new TCP connection of the held program got through"
in_near timeout 3 "$work/gen-free" tcp-send 10.77.0.2 5001 10000 || fail "the program not held back could not connect"
# What comes to it is refused too: the far end cannot reach a held server.
ip netns exec "$near" "$work/gen-held" tcp-serve 10.77.0.1 6000 30000 >"$work/serve.log" &
serve_pid=$!
eventually grep -q listening "$work/serve.log" || fail "the held server did not start"
in_far timeout 2 "$work/gen-free" tcp-receive 10.77.0.1 6000 >/dev/null && fail "the held server was reached from the far end"
# The caller is killed: its hold goes with it.
kill -9 "$holder_pid"
wait "$holder_pid" 2>/dev/null
eventually answered held || fail "the hold outlived its killed caller: $(last_pings held)"
[ "$(in_far timeout 5 "$work/gen-free" tcp-receive 10.77.0.1 6000)" = 30000 ] ||
    fail "the server held back was not reachable once the hold ended"
wait "$serve_pid"

# Held and released by asking: the connection stays, the hold does not.
holder second
eventually refused held || fail "the second hold did not take: $(last_pings held)"
echo release >&9
eventually answered held && [ "$(tail -n 1 "$work/second.out")" = ok ] ||
    fail "released, the program is still held: $(last_pings held)"
exec 9>&-
wait "$holder_pid"

# A user of no rights asks to hold root's program: only that user's own processes would be held.
holder nobody setpriv --reuid=65534 --regid=65534 --clear-groups
eight_more held && answered held || fail "another user held back root's program: $(last_pings held)"
exec 9>&-
wait "$holder_pid"

missed=$(tr -cd '-' <"$work/free.pings" | wc -c)
[ "$missed" = 0 ] || fail "the program not held back missed $missed pings"
kill "$held_pid" "$free_pid" 2>/dev/null
[ "$failures" = 0 ] && echo "passed: held back both ways on open and new sockets, for as long as its caller stays"
exit $((failures > 0))
