#!/usr/bin/env bash
# The per-program meter's cost against nethogs watching the same line, in one run: mixed TCP and
# 1200-byte UDP traffic at 5 MB/s and at 100 MB/s on a veth line between two network namespaces
# of its own. The meter's cost is its own CPU time (user and kernel, from /proc/PID/schedstat)
# plus what its kernel programs took for the line's packets in the senders' and receivers' stead
# (the kernel's own BPF run-time statistics, turned on for the run: their time per run, times the
# line's packets); nethogs' is its CPU time. Also the meter's resident memory. Needs root and a build (scripts/test.sh). Nothing of this runs in the tests.
# Usage: bench/meter.sh [build folder] [seconds per phase, default 30]
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(realpath "${1:-build/default}")"
seconds="${2:-30}"
command -v nethogs >/dev/null || apt-get -o DPkg::Lock::Timeout=600 install -y -qq nethogs >/dev/null
command -v bpftool >/dev/null || apt-get -o DPkg::Lock::Timeout=600 install -y -qq bpftool >/dev/null

near="bench-near-$$"
far="bench-far-$$"
work=$(mktemp -d)
pids=()
stats_before=$(sysctl -n kernel.bpf_stats_enabled)
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    sysctl -q -w kernel.bpf_stats_enabled="$stats_before"
    ip netns del "$near" 2>/dev/null || true
    ip netns del "$far" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$near"
ip netns add "$far"
ip link add line0 netns "$near" type veth peer name line1 netns "$far"
ip -n "$near" addr add 10.79.0.1/24 dev line0
ip -n "$far" addr add 10.79.0.2/24 dev line1
for ns in "$near" "$far"; do ip -n "$ns" link set lo up; done
ip -n "$near" link set line0 up
ip -n "$far" link set line1 up

# The far end takes everything in.
ip netns exec "$far" python3 -c '
import socket, threading
def tcp():
    l = socket.socket(); l.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); l.bind(("0.0.0.0", 7001)); l.listen(8)
    while True:
        c, _ = l.accept()
        threading.Thread(target=lambda c=c: [None for _ in iter(lambda: c.recv(1 << 20), b"")], daemon=True).start()
threading.Thread(target=tcp, daemon=True).start()
u = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); u.bind(("0.0.0.0", 7002))
while True: u.recv(65536)' &
pids+=($!)
sleep 0.5

sysctl -q -w kernel.bpf_stats_enabled=1
nsenter --net="/run/netns/$near" "$build/meter/pulopro-meter" --socket "$work/socket" 2>"$work/meter.log" &
meter=$!
pids+=($meter)
nsenter --net="/run/netns/$near" nethogs -t -d 1 line0 >/dev/null 2>&1 &
nethogs=$!
pids+=($nethogs)
sleep 2

cpu() { awk '{ print $1 }' "/proc/$1/schedstat"; }
# The kernel programs' run time and runs so far ("ns runs"). They run for the far end's packets too
# (it is on this machine, in the same control groups), which a line's far end never is: the
# meter's share is their time per run times the runs the counted line's own packets make.
bpf_stats() {
    bpftool prog show --json | python3 -c '
import json, sys
progs = [p for p in json.load(sys.stdin) if p.get("name", "").startswith("meter_")]
print(sum(p.get("run_time_ns", 0) for p in progs), sum(p.get("run_cnt", 0) for p in progs))'
}
line_packets() { ip netns exec "$near" awk '$1 == "line0:" { print $3 + $11 }' /proc/net/dev; }

# Half the bytes in TCP, half in 1200-byte UDP datagrams, paced to the rate.
send() {
    ip netns exec "$near" python3 - "$1" "$seconds" <<'PY'
import socket, sys, time
rate, seconds = int(sys.argv[1]), float(sys.argv[2])
t = socket.create_connection(("10.79.0.2", 7001))
u = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); u.connect(("10.79.0.2", 7002))
chunk, datagram = bytes(65536), bytes(1200)
start = time.monotonic(); sent = 0
while time.monotonic() - start < seconds:
    due = rate * (time.monotonic() - start)
    while sent < due:
        t.sendall(chunk[: min(len(chunk), int(due - sent) // 2 + 1)]); sent += min(len(chunk), int(due - sent) // 2 + 1)
        for _ in range(max(1, int(due - sent) // 2400)):
            u.send(datagram); sent += 1228
    time.sleep(0.002)
PY
}

printf '%-12s %12s %12s %12s %8s\n' rate "meter ms" "of it, BPF" "nethogs ms" ratio
for rate in 5000000 100000000; do
    meter_before=$(cpu "$meter"); read -r bpf_ns_before bpf_runs_before <<<"$(bpf_stats)"
    nethogs_before=$(cpu "$nethogs"); packets_before=$(line_packets)
    send "$rate"
    read -r bpf_ns_after bpf_runs_after <<<"$(bpf_stats)"
    packets=$(( $(line_packets) - packets_before ))
    bpf=$(( (bpf_ns_after - bpf_ns_before) * packets / (bpf_runs_after - bpf_runs_before + 1) ))
    meter_ns=$(( $(cpu "$meter") - meter_before + bpf ))
    nethogs_ns=$(( $(cpu "$nethogs") - nethogs_before ))
    printf '%-12s %12.1f %12.1f %12.1f %8.3f   (%d packets on the line, %d runs of the programs, %.0f ns a run)\n' \
        "$((rate / 1000000)) MB/s" "$(echo "$meter_ns / 1000000" | bc -l)" "$(echo "$bpf / 1000000" | bc -l)" \
        "$(echo "$nethogs_ns / 1000000" | bc -l)" "$(echo "$meter_ns / $nethogs_ns" | bc -l)" "$packets" \
        "$((bpf_runs_after - bpf_runs_before))" \
        "$(echo "($bpf_ns_after - $bpf_ns_before) / ($bpf_runs_after - $bpf_runs_before + 1)" | bc -l)"
done
echo "meter resident memory: $(awk '/VmRSS/ { print $2, $3 }' "/proc/$meter/status") (aim: at most 8 MiB)"
echo "aim: the meter at most 0.1 x nethogs"
