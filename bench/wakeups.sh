#!/usr/bin/env bash
# Counts how often the idle program's user-interface thread wakes up, with its four timed events
# at 1000, 1000, 1000 and 10000 ms (online sound every 10 s). One platform timer serves them all.
# Its period is recalculated whenever the speed sample re-enables its own event, which happens in
# the middle of a pass, just before the supervision tick fires: the period then drops to the
# 100 ms floor and stays there, so expect about ten timer wake-ups a second, not one.
# Usage: bench/wakeups.sh [path/to/pulopro] [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/default/app/pulopro}")
seconds="${2:-30}"

work=$(mktemp -d)
started_xvfb=""
cleanup() { [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; [ -n "$started_xvfb" ] && kill "$started_xvfb"; rm -rf "$work"; true; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=:78
    Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    started_xvfb=$!
    sleep 1
fi

cp "$program" "$work/pulopro"
printf '[General]\nOnlineInterval=10\n' >"$work/pulopro.ini"
"$work/pulopro" >/dev/null 2>&1 &
pid=$!
sleep 3 # let start-up settle before counting

switches() { awk '/^voluntary_ctxt_switches/ {print $2}' "/proc/$pid/task/$pid/status"; }
before=$(switches)
sleep "$seconds"
after=$(switches)
echo "user-interface thread: $((after - before)) wake-ups in ${seconds} s = $(awk "BEGIN {printf \"%.2f\", ($after - $before) / $seconds}") a second (timer period floor: 10)"
