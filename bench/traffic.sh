#!/usr/bin/env bash
# Measures the CPU PuloPro uses while the interface it monitors carries traffic, beside a bare
# Qt window and nload watching the same interface, all in the same run. Everything runs in a
# network namespace of its own (a veth pair; frames are sent into one end by a small script
# and arrive at the other), on a private Xvfb display. Needs root.
# Usage: bench/traffic.sh [build folder] [seconds] [bytes a second]
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(realpath "${1:-build/default}")"
seconds="${2:-30}"
rate="${3:-5000000}"

if [ "${PULO_BENCH_INSIDE:-}" != 1 ]; then
    command -v nload >/dev/null || apt-get -o DPkg::Lock::Timeout=600 install -y -qq nload >/dev/null
    exec env PULO_BENCH_INSIDE=1 unshare --net -- "$0" "$build" "$seconds" "$rate"
fi

work="$(mktemp -d)"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

. bench/veth.sh

export DISPLAY=:78
Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 &
pids+=($!)
sleep 1

# Frames of 1500 bytes from vA to vB, paced to the rate.
python3 - "$rate" "$seconds" <<'PY' &
import socket, sys, time
rate, seconds = int(sys.argv[1]), int(sys.argv[2]) + 15
s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW)
s.bind(("vA", 0))
frame = b"\xff" * 6 + b"\x02\x00\x00\x00\x00\x01" + b"\x88\xb5" + bytes(1486)
per_tick = max(1, rate // len(frame) // 100)
end = time.time() + seconds
while time.time() < end:
    t = time.time()
    for _ in range(per_tick):
        s.send(frame)
    time.sleep(max(0, 0.01 - (time.time() - t)))
PY
pids+=($!)

cp "$build/app/pulopro" "$work/"
printf '[General]\nNIC=%s\nSounds=0\n' "$row" >"$work/pulopro.ini"
"$work/pulopro" >/dev/null 2>&1 &
pulopro=$!
pids+=($pulopro)
"$build/bench/bare_window_bench" >/dev/null 2>&1 &
bare=$!
pids+=($bare)
TERM=xterm script -qfc "nload -t 1000 -u K devices vA" /dev/null >/dev/null 2>&1 &
pids+=($!)
sleep 5
nload_pid=$(pgrep -n -x nload)

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
declare -A before
for p in $pulopro $bare $nload_pid; do before[$p]=$(ticks "$p"); done
received() { awk -F'[: ]+' '$2 == "vB" {print $3}' /proc/net/dev; }
rx0=$(received)
sleep "$seconds"
rx1=$(received)
ms() { echo $((($(ticks "$1") - before[$1]) * 1000 / hz)); }
p_ms=$(ms "$pulopro"); b_ms=$(ms "$bare"); n_ms=$(ms "$nload_pid")

echo "traffic on the monitored interface: $(((rx1 - rx0) / seconds / 1000)) kB/s over ${seconds} s (row ${row})"
echo "pulopro:          ${p_ms} ms CPU"
echo "bare Qt window:   ${b_ms} ms CPU"
echo "nload:            ${n_ms} ms CPU"
awk "BEGIN {printf \"pulopro / nload: %.2f   aim <= 1.00\n\", $p_ms / ($n_ms > 0 ? $n_ms : 1)}"
