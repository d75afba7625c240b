#!/usr/bin/env bash
# The cost of PuloPro as ratios, all measured in one run on one machine: connected against the
# bare program animating its tray icon as a connected program must (bench/BareWindow.cpp
# --animate), not connected idle and under 5 MB/s of traffic against a bare Qt window with a
# tray icon and a clock (bench/BareWindow.cpp) and against nload, resident memory (with where
# it goes, mapping by mapping) and CPU to the first window against that window, the log write at
# a connection's end with 100 000 lines, and the speed sample with 1001 interfaces against the
# kernel's own counter dump. CPU time is read from /proc/PID/schedstat (nanoseconds).
# Everything runs in network namespaces of its own (the connected copy in one of its own with a
# PPP-type link from the tests' stand-in pppd) on a private Xvfb display with a tray host.
# Needs root and a build with its tests (scripts/test.sh). Nothing of this runs in the tests.
# Usage: bench/ratios.sh [build folder] [seconds per phase, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(realpath "${1:-build/default}")"
seconds="${2:-60}"

if [ "${PULO_BENCH_INSIDE:-}" != 1 ]; then
    for tool in nload trayer xdotool Xvfb; do
        command -v "$tool" >/dev/null || apt-get -o DPkg::Lock::Timeout=600 install -y -qq nload trayer xdotool xvfb >/dev/null
    done
    exec env PULO_BENCH_INSIDE=1 unshare --net -- "$0" "$build" "$seconds"
fi

work="$(mktemp -d)"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

. bench/veth.sh

number=80
while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
export DISPLAY=":$number"
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
sleep 1
NO_AT_BRIDGE=1 DBUS_SESSION_BUS_ADDRESS=disabled: trayer --edge top --align right --widthtype pixel --width 160 \
    --height 32 >/dev/null 2>&1 &
pids+=($!)
sleep 1

cpu_ns() { awk '{print $1}' "/proc/$1/schedstat"; }
wakeups() { awk '/^voluntary_ctxt_switches/ {print $2}' "/proc/$1/task/$1/status"; }
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }
ratio() { awk "BEGIN {printf \"%.2f\", $1 / ($2 > 0 ? $2 : 1)}"; }

# A copy of the program in a folder of its own, with the settings given.
copy() {
    mkdir -p "$work/$1"
    cp "$build/app/pulopro" "$build/app/pulopro-usage.so" "$build/app/pulopro-log.so" "$work/$1/"
    printf '%b' "$2" >"$work/$1/pulopro.ini"
}
copy idle "[General]\nSounds=0\nNIC=$row\n"
copy starts '[General]\nSounds=0\n'
copy connected '[General]\nSounds=0\nShowConnected=0\n'

# Starts "$@" and waits for its window named $1; sets started to its pid and first_cpu to the CPU
# nanoseconds it had used when the window appeared.
start_window() {
    local name="$1"; shift
    while xdotool search --onlyvisible --name "$name" >/dev/null 2>&1; do sleep 0.01; done # the last one's
    "$@" >/dev/null 2>&1 &
    started=$!
    pids+=($started)
    until xdotool search --onlyvisible --name "$name" >/dev/null 2>&1; do sleep 0.002; done
    first_cpu=$(cpu_ns "$started")
}

# The CPU to the first window, the median of fifteen starts of each, taken in turn: one start of
# either moves by a third from run to run.
starts=15
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
for _ in $(seq 1 "$starts"); do
    start_window "bench-bare-window" "$build/bench/bare_window_bench"
    echo "$first_cpu" >>"$work/bare_starts"
    kill "$started"; wait "$started" 2>/dev/null || true
    start_window "Pulo Pro" "$work/starts/pulopro"
    echo "$first_cpu" >>"$work/pulopro_starts"
    kill "$started"; wait "$started" 2>/dev/null || true
done
bare_start=$(median <"$work/bare_starts")
idle_start=$(median <"$work/pulopro_starts")
echo "CPU to the first window, median of $starts starts: bare window $(awk "BEGIN {printf \"%.1f\", $bare_start / 1e6}") ms, pulopro $(awk "BEGIN {printf \"%.1f\", $idle_start / 1e6}") ms"

start_window "bench-bare-window" "$build/bench/bare_window_bench"
bare=$started
start_window "bench-bare-animated" "$build/bench/bare_window_bench" --animate
animated=$started
start_window "Pulo Pro" "$work/idle/pulopro"
idle=$started

# The connected copy: its own namespace, where the stand-in pppd keeps a PPP-type link up.
unshare --net -- bash -c '
    ip link set lo up
    "$1" call bench nodetach piddir "$2" ifname ppp0 local 10.64.0.2 remote 10.64.0.1 >/dev/null 2>&1 &
    for _ in $(seq 1 200); do ip -4 addr show ppp0 2>/dev/null | grep -q 10.64.0.2 && break; sleep 0.05; done
    cd "$2" && exec ./pulopro' bench "$build/tests/standin/pppd" "$work/connected" >/dev/null 2>&1 &
pids+=($!)
connected_shell=$!
# The shell becomes the program once the link is up.
for _ in $(seq 1 200); do [ "$(cat "/proc/$connected_shell/comm" 2>/dev/null)" = pulopro ] && break; sleep 0.05; done
connected=$connected_shell
TERM=xterm script -qfc "nload -t 1000 -u K devices vA" /dev/null >/dev/null 2>&1 &
pids+=($!)
sleep 5
nload=$(pgrep -n -x nload)

measure() { # sets cpu[pid] and wake[pid] over the phase
    declare -gA cpu wake
    local p before_cpu before_wake
    declare -A before_cpu before_wake
    for p in "$@"; do before_cpu[$p]=$(cpu_ns "$p"); before_wake[$p]=$(wakeups "$p"); done
    sleep "$seconds"
    for p in "$@"; do
        cpu[$p]=$(($(cpu_ns "$p") - before_cpu[$p]))
        wake[$p]=$(($(wakeups "$p") - before_wake[$p]))
    done
}

echo "== idle, ${seconds} s"
measure "$bare" "$animated" "$idle" "$connected" "$nload"
percent() { awk "BEGIN {printf \"%.3f %%\", $1 / ($seconds * 1e7)}"; }
per_s() { awk "BEGIN {printf \"%.2f/s\", $1 / $seconds}"; }
echo "bare Qt window:          $(percent "${cpu[$bare]}") of a core, $(per_s "${wake[$bare]}") wake-ups"
echo "pulopro, not connected:  $(percent "${cpu[$idle]}") of a core, $(per_s "${wake[$idle]}") wake-ups"
echo "bare, animated tray:     $(percent "${cpu[$animated]}") of a core, $(per_s "${wake[$animated]}") wake-ups"
echo "pulopro, connected:      $(percent "${cpu[$connected]}") of a core, $(per_s "${wake[$connected]}") wake-ups"
echo "nload:                   $(percent "${cpu[$nload]}") of a core"
idle_ratio=$(ratio "${cpu[$idle]}" "${cpu[$bare]}")
idle_nload=$(ratio "${cpu[$idle]}" "${cpu[$nload]}")
connected_ratio=$(ratio "${cpu[$connected]}" "${cpu[$animated]}")
rss_ratio=$(ratio "$(rss_kb "$idle")" "$(rss_kb "$bare")")
echo "RSS: pulopro $(($(rss_kb "$idle") / 1024)) MiB, bare window $(($(rss_kb "$bare") / 1024)) MiB"
# Where the difference goes: resident KiB by mapping (a library, the heap, anonymous memory),
# PuloPro's less the bare window's, the largest first.
by_mapping() {
    awk '/^[0-9a-f]+-[0-9a-f]+ / {name = $6 == "" ? "[anonymous]" : $6; sub(".*/", "", name)}
         /^Rss:/ {rss[name] += $2} END {for (n in rss) print n, rss[n]}' "/proc/$1/smaps" | sort
}
echo "resident KiB more than the bare window, by mapping:"
join -a1 -e0 -o 0,1.2,2.2 <(by_mapping "$idle") <(by_mapping "$bare") |
    awk '{d = $2 - $3; if (d >= 64) printf "  %6d  %s\n", d, $1}' | sort -rn | head -15

echo "== 5 MB/s on the monitored interface, not connected, ${seconds} s"
python3 - "$seconds" <<'PY' &
import socket, sys, time
seconds = int(sys.argv[1]) + 3
s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW)
s.bind(("vA", 0))
frame = b"\xff" * 6 + b"\x02\x00\x00\x00\x00\x01" + b"\x88\xb5" + bytes(1486)
end = time.time() + seconds
while time.time() < end:
    t = time.time()
    for _ in range(33):
        s.send(frame)
    time.sleep(max(0, 0.01 - (time.time() - t)))
PY
pids+=($!)
sleep 2
measure "$bare" "$idle" "$nload"
echo "bare Qt window:          $(percent "${cpu[$bare]}") of a core"
echo "pulopro, not connected:  $(percent "${cpu[$idle]}") of a core"
echo "nload:                   $(percent "${cpu[$nload]}") of a core"
traffic_ratio=$(ratio "${cpu[$idle]}" "${cpu[$bare]}")
traffic_nload=$(ratio "${cpu[$idle]}" "${cpu[$nload]}")

echo "== the rest"
"$build/bench/log_write_bench" 2>/dev/null | grep -v "^qt\." | tee "$work/log_write"
"$build/bench/speed_sample_bench" 2>/dev/null | grep -v "^qt\." | tee "$work/speed_sample"
log_ms=$(sed -n 's/.*100000 lines: *\([0-9.]*\) ms CPU.*/\1/p' "$work/log_write")
sample_ratio=$(awk -F'SampleInterfaces / dump: ' 'NF > 1 {split($2, a, " "); print a[1]}' "$work/speed_sample")

echo "== ratios (aim)"
echo "connected / animated bare program:   $connected_ratio   (<= 1.0)"
echo "idle, not connected / bare window:   $idle_ratio   (<= 1.2)"
echo "idle, not connected / nload:         $idle_nload   (< 1)"
echo "5 MB/s, not connected / bare window: $traffic_ratio   (<= 1.2)"
echo "5 MB/s, not connected / nload:       $traffic_nload   (< 1)"
echo "RSS / bare window:                   $rss_ratio   (<= 1.25)"
echo "CPU to the first window / bare:      $(ratio "$idle_start" "$bare_start")   (<= 1.5)"
echo "speed sample / kernel counter dump:  ${sample_ratio:-?}   (<= 1.5)"
echo "log write, 100 000 lines:            ${log_ms:-?} ms   (<= 20 ms)"
