#!/usr/bin/env bash
# The meter for real: two network namespaces joined by a veth line (segmentation offloads off, as
# a PPP line has them), the meter counting in one of them, and generator programs of known names
# moving known amounts: TCP up and down, 1200-byte UDP both ways, 200 short-lived processes, a
# forked child sending on its parent's socket, an inbound server, IPv6, a socket opened before the
# meter started. Each program's bytes must
# be what it moved (its payload and its headers), and all programs together exactly what the
# line's own counters say. Needs root and BPF; skips (exit 77) without them.
set -u
meter="$1"
generator="$2"
here=$(cd "$(dirname "$0")" && pwd)
tools="ip ethtool python3 bpftool"
. "$here/veth_line.sh"

# A socket opened before the meter started, by a user of no rights: it sends once the meter counts.
cp "$generator" "$work/gen-old"
chmod 0755 "$work"
ip netns exec "$near" setpriv --reuid=65534 --regid=65534 --clear-groups "$work/gen-old" tcp-wait-send 10.77.0.2 5001 400000 "$work/go" &
old_pid=$!
sleep 0.3

start_meter "$work/socket"
sleep 1 # the line's own settling (multicast reports) is before the counted window

for name in gen-tcp-up gen-tcp-down gen-udp gen-udp6 gen-short gen-fork gen-serve gen-tcp6-up; do
    cp "$generator" "$work/$name"
done
# What the meter says of the line, as "program<TAB>path<TAB>received<TAB>sent<TAB>packets…" lines.
ask_meter() {
    python3 -c '
import socket, sys
caller = socket.socket(socket.AF_UNIX)
caller.connect(sys.argv[1])
caller.sendall(b"programs line0\n")
text = b""
while not text.endswith(b"\n.\n"):
    got = caller.recv(1 << 16)
    if not got:
        sys.exit("the meter closed without answering")
    text += got
sys.stdout.write(text.decode())' "$work/socket"
}
counters() { in_near awk '$1 == "line0:" { print $2, $3, $10, $11, $5, $13 }' /proc/net/dev; }
# The line's counters and the meter's answer at one moment: taken again until the line was quiet
# while the meter answered.
snapshot() {
    local file="$1" first second
    for _ in $(seq 1 20); do
        first=$(counters)
        ask_meter >"$file" || return 1
        second=$(counters)
        [ "$first" = "$second" ] && { echo "$first"; return 0; }
        sleep 0.2
    done
    return 1
}
before=$(snapshot "$work/before.txt") || { echo "FAILED: the meter did not answer on a quiet line"; exit 1; }
retransmitted_before=$(retransmitted)

failures=0
run() { "$@" >/dev/null || { echo "FAILED: $*"; failures=$((failures + 1)); }; }
touch "$work/go"
run in_near "$work/gen-tcp-up" tcp-send 10.77.0.2 5001 3000000
run in_near "$work/gen-tcp-down" tcp-receive 10.77.0.2 5002
run in_near "$work/gen-udp" udp 10.77.0.2 5003 100 1200
run in_near "$work/gen-udp6" udp fd77::2 5003 50 1200
run in_near "$work/gen-tcp6-up" tcp-send fd77::2 5001 1000000
for _ in $(seq 1 200); do in_near "$work/gen-short" tcp-send 10.77.0.2 5001 1000 || failures=$((failures + 1)); done
run in_near "$work/gen-fork" fork-send 10.77.0.2 5001 500000
wait "$old_pid" || { echo "FAILED: the socket older than the meter"; failures=$((failures + 1)); }
ip netns exec "$near" "$work/gen-serve" tcp-serve 10.77.0.1 6000 700000 >"$work/serve.log" &
serve_pid=$!
for _ in $(seq 1 100); do grep -q listening "$work/serve.log" && break; sleep 0.05; done
run in_far "$generator" tcp-receive 10.77.0.1 6000
wait "$serve_pid" || { echo "FAILED: the inbound server"; failures=$((failures + 1)); }
sleep 0.5
after=$(snapshot "$work/after.txt") || { echo "FAILED: the meter did not answer on a quiet line"; exit 1; }
retransmitted_after=$(retransmitted)
echo "line before: $before, after: $after (bytes, packets received; bytes, packets sent; drops in, out)"


python3 - "$work/before.txt" "$work/after.txt" "$before" "$after" $((retransmitted_after - retransmitted_before)) \
    <<'PYEOF' || failures=$((failures + 1))
import sys
before, after = [int(x) for x in sys.argv[3].split()], [int(x) for x in sys.argv[4].split()]
# A segment sent again is on the wire again, and its program's: a loaded machine (the sanitizers'
# build) has TCP send some again. What they may add, all programs together.
retransmitted = int(sys.argv[5]) * 1448
extra = 0
def read(path):
    lines = open(path).read().split("\n")
    assert lines[0] == "ok" and lines[-2] == ".", lines
    rows = {}
    for line in lines[1:-2]:
        program, _, *figures = line.split("\t")
        rows[program] = [int(x) for x in figures]
    return rows, lines[1:-2]
earlier, _ = read(sys.argv[1])
now, lines = read(sys.argv[2])
# What each program moved while the generators ran.
programs = {name: [a - b for a, b in zip(row, earlier.get(name, [0, 0, 0, 0]))] for name, row in now.items()}
problems = []
# Each program's payload: its bytes less its headers (IPv4 20 + TCP 32 with timestamps; IPv6 40 +
# 32), within what its handshakes' options add.
def payload(program, direction, header):
    row = programs.get(program, [0, 0, 0, 0])
    return row[direction] - header * row[direction + 2]
# A socket older than the meter has no program: it is its user's.
expected_tcp = [("User 65534", 1, 52, 400000), ("gen-tcp-up", 1, 52, 3000000), ("gen-tcp-down", 0, 52, 2000000), ("gen-tcp6-up", 1, 72, 1000000),
                ("gen-short", 1, 52, 200 * 1000), ("gen-fork", 1, 52, 500000), ("gen-serve", 1, 52, 700000)]
for program, direction, header, moved in expected_tcp:
    carried = payload(program, direction, header)
    handshakes = 200 if program == "gen-short" else 1
    extra += max(0, carried - moved - 24 * handshakes)
    if not moved <= carried <= moved + 24 * handshakes + retransmitted:
        problems.append("%s carried %d bytes of payload, it moved %d" % (program, carried, moved))
if extra > retransmitted:
    problems.append("programs carried %d bytes beyond their payload, more than the %d bytes sent again" % (extra, retransmitted))
for program, datagrams, each in [("gen-udp", 100, 1228), ("gen-udp6", 50, 1248)]:
    row = programs.get(program, [0, 0, 0, 0])
    if row != [datagrams * each, datagrams * each, datagrams, datagrams]:
        problems.append("%s: %s, it moved %d datagrams of %d bytes each way" % (program, row, datagrams, each))
# All together, with the Ethernet header the veth counts on each frame, are what the line sent.
# What it received is theirs and Other: segments no socket took (the last acknowledgements of
# connections already closed), a few hundred bytes here.
received = sum(row[0] + 14 * row[2] for row in programs.values())
sent = sum(row[1] + 14 * row[3] for row in programs.values())
line_received, line_sent = after[0] - before[0], after[2] - before[2]
if sent != line_sent:
    problems.append("programs sent %d bytes; the line %d" % (sent, line_sent))
if not 0 <= line_received - received <= line_received // 1000:
    problems.append("programs received %d bytes; the line %d" % (received, line_received))
print("Other: %d bytes received" % (line_received - received))
for problem in problems:
    print("FAILED:", problem)
print("\n".join(lines))
sys.exit(1 if problems else 0)
PYEOF

kill "$meter_pid"
wait "$meter_pid"
grep -q "nothing is left attached" "$work/meter.log" || { echo "FAILED: the meter did not end cleanly"; failures=$((failures + 1)); }
# The capabilities its unit grants are enough for a user of no rights; without CAP_NET_ADMIN it
# says so and ends.
if command -v setpriv >/dev/null; then
    chmod 0711 "$work"
    mkdir -m 0777 "$work/unprivileged"
    # Run in a subshell of its own, which it becomes (the meter's process number is the subshell's).
    as_nobody() {
        exec nsenter --net="/run/netns/$near" setpriv --reuid=65534 --regid=65534 --clear-groups \
            --inh-caps="-all,$1" --ambient-caps="-all,$1" --bounding-set="-all,$1" \
            "$meter" --socket "$work/unprivileged/socket"
    }
    as_nobody +bpf,+net_admin,+perfmon 2>"$work/nobody.log" &
    nobody_pid=$!
    for _ in $(seq 1 100); do [ -S "$work/unprivileged/socket" ] && break; sleep 0.05; done
    [ -S "$work/unprivileged/socket" ] || { echo "FAILED: with its capabilities: $(cat "$work/nobody.log")"; failures=$((failures + 1)); }
    kill "$nobody_pid" 2>/dev/null
    wait "$nobody_pid"
    (as_nobody +bpf,+perfmon 2>"$work/nobody.log")
    status=$?
    if [ "$status" != 1 ] || [ "$(wc -l <"$work/nobody.log")" != 1 ] || ! grep -q CAP_NET_ADMIN "$work/nobody.log"; then
        echo "FAILED: without CAP_NET_ADMIN it ended with $status, saying: $(cat "$work/nobody.log")"
        failures=$((failures + 1))
    fi
fi

# Killed outright, it leaves nothing attached: its kernel programs are held only by its own links.
nsenter --net="/run/netns/$near" "$meter" --socket "$work/killed.socket" 2>/dev/null &
killed_pid=$!
for _ in $(seq 1 100); do [ -S "$work/killed.socket" ] && break; sleep 0.05; done
programs=()
for fd in /proc/"$killed_pid"/fd/*; do
    [ "$(readlink "$fd")" = "anon_inode:bpf_link" ] || continue
    programs+=("$(awk '/^prog_id:/ { print $2 }' "/proc/$killed_pid/fdinfo/${fd##*/}")")
done
[ "${#programs[@]}" = 4 ] || { echo "FAILED: the meter held ${#programs[@]} links, not 4"; failures=$((failures + 1)); }
kill -9 "$killed_pid"
wait "$killed_pid" 2>/dev/null
for program in "${programs[@]}"; do
    for _ in $(seq 1 100); do bpftool prog show id "$program" >/dev/null 2>&1 || break; sleep 0.05; done
    if bpftool prog show id "$program" >/dev/null 2>&1; then
        echo "FAILED: program $program stayed loaded after kill -9"
        failures=$((failures + 1))
    fi
done

[ "$failures" = 0 ] || exit 1
echo "every program's bytes were its own, and together the line's"
