#!/usr/bin/env bash
# Measures PuloPro at start and at rest: the time from start to the first shown window, the
# resident memory once idle, and the CPU time over 60 idle seconds. The same start-up time is
# measured for xmessage, a minimal X program, as the baseline of this machine and display.
# Usage: bench/startup.sh [path/to/pulopro] [idle seconds]
# Needs Xvfb and xdotool (scripts/install-deps.sh installs them); uses $DISPLAY when set.
set -euo pipefail
cd "$(dirname "$0")/.."
program="${1:-build/default/app/pulopro}"
idle="${2:-60}"

command -v xmessage >/dev/null || apt-get -o DPkg::Lock::Timeout=600 install -y -qq x11-utils >/dev/null

started_xvfb=""
if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=:77
    Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 &
    started_xvfb=$!
    sleep 1
fi
cleanup() { [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; [ -n "$started_xvfb" ] && kill "$started_xvfb"; true; }
trap cleanup EXIT

# Sets elapsed to the milliseconds from launching "$@" until a visible window named $name
# exists, and pid to the process.
time_to_window() {
    local name="$1"; shift
    local t0 t1
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1 &
    pid=$!
    until xdotool search --onlyvisible --name "$name" >/dev/null 2>&1; do sleep 0.005; done
    t1=$(date +%s%N)
    elapsed=$(((t1 - t0) / 1000000))
}

time_to_window "^bench-baseline$" xmessage -title bench-baseline baseline
baseline=$elapsed
kill "$pid"; wait "$pid" 2>/dev/null || true

time_to_window "Pulo Pro" "$program"
first=$elapsed
sleep 3
rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep "$idle"
after=$(ticks)
cpu_ms=$(((after - before) * 1000 / hz))

echo "first window:      ${first} ms (baseline xmessage: ${baseline} ms; ratio $(awk "BEGIN {printf \"%.2f\", $first / ($baseline > 0 ? $baseline : 1)}"))   aim < 150 ms"
echo "idle memory (RSS): $((rss / 1024)) MB   aim < 40 MB"
echo "idle CPU:          ${cpu_ms} ms over ${idle} s = $(awk "BEGIN {printf \"%.3f\", $cpu_ms / ($idle * 10)}") % of a core   aim < 0.1 %"
