#!/usr/bin/env bash
# The real program on a real PPP link while the world moves under it: across the autumn and
# spring clock changes of Europe/Berlin, with the clock stepped back an hour and forward a month
# while connected (libfaketime on the program, its monotonic clock left real), and with 1100
# callers held on its socket and one more asking for the status without pause, under the usual
# limit of 1024 descriptors. Each row checks the month totals and the history against the
# kernel's own counter of the link and the time the connection truly lasted. Needs root for a
# network namespace of its own; skips (exit 77) when that or libfaketime is missing.
set -u
program="$1"
pppd="$2"
here=$(cd "$(dirname "$0")" && pwd)
faketime=/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1

if [ -z "${PULO_INSIDE_NETNS:-}" ]; then
    [ -e "$faketime" ] || { echo "skipped: libfaketime is not installed"; exit 77; }
    command -v unshare >/dev/null || { echo "skipped: unshare is missing"; exit 77; }
    PULO_INSIDE_NETNS=1 unshare --net -- "$0" "$@"
    status=$?
    [ "$status" = 1 ] && ! unshare --net true 2>/dev/null && { echo "skipped: no network namespace"; exit 77; }
    exit $status
fi
ip link set lo up
# Nothing of the run reaches the home folder of whoever runs the tests.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache"

failures=0
fail() { echo "FAILED ($row): $*"; failures=$((failures + 1)); }

# One connection of about eight seconds: the clock file says where the wall clock is from the
# start, then what it becomes after four seconds (empty: it runs on).
connect() {
    local start_at="$1" step="$2" crowd="${3:-}"
    work=$(mktemp -d)
    cp "$program" "$work/"
    printf '[General]\nSounds=0\n' >"$work/pulopro.ini"
    printf "%+d\n" $((start_at - $(date +%s))) >"$work/clock"
    (cd "$work" && TZ=Europe/Berlin QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" LD_PRELOAD="$faketime" \
        FAKETIME_TIMESTAMP_FILE="$work/clock" FAKETIME_NO_CACHE=1 FAKETIME_DONT_FAKE_MONOTONIC=1 \
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" \
        exec bash -c 'ulimit -n 1024 && exec ./pulopro' >"$work/out.log" 2>&1) &
    pulopro=$!
    sleep 1
    if [ -n "$crowd" ]; then
        (ulimit -n 4096 && exec python3 "$here/socket_crowd.py" "$work/pulopro.ini" 9 >"$work/crowd.log" 2>&1) &
        crowd_pid=$!
        sleep 0.5
    fi
    coproc line { exec "$pppd" call myisp nodetach /dev/ttyS1 piddir "$work" ifname ppp0 local 10.64.3.7 burst 600000; }
    read -r -t 10 -u "${line[0]}" said
    while [ "$said" != ready ] && read -r -t 10 -u "${line[0]}" said; do :; done
    local began=$(date +%s.%N)
    sleep 2
    kill -USR1 "$line_PID"
    sleep 2
    if [ -n "$step" ]; then echo "$step" >"$work/clock"; fi
    sleep 2
    kill -USR1 "$line_PID"
    sleep 2
    # The namespace's own counters (sysfs is the host's here).
    carried=$(awk '$1 == "ppp0:" { print $2 }' /proc/net/dev)
    kill "$line_PID"
    wait "$line_PID" 2>/dev/null
    lasted=$(awk "BEGIN { print $(date +%s.%N) - $began }")
    if [ -n "$crowd" ]; then
        wait "$crowd_pid" || fail "the crowd: $(cat "$work/crowd.log")"
        # Still answering once the crowd has gone.
        (cd "$work" && timeout 10 ./pulopro --status) >/dev/null || fail "no status after the crowd"
    fi
    sleep 2
    kill "$pulopro"
    wait "$pulopro" || fail "PuloPro ended with $?"
}

# What the settings file and the history hold of the one connection, against the link and the
# time it lasted.
check() {
    local first_utc="$1" last_utc="$2"
    python3 - "$work" "${carried:-0}" "$lasted" "$first_utc" "$last_utc" <<'EOF' || fail "$(cat "$work/check.log")"
import configparser, sqlite3, sys
work, carried, lasted, first, last = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
problems = []
ini = configparser.ConfigParser(strict=False)
ini.read(work + "/pulopro.ini")
stats = ini["Stats"]
if stats.get("TotCon") != "1":
    problems.append("TotCon is %s, not 1" % stats.get("TotCon"))
# The window may see the line up to a second before the test does, and its end up to a second
# after.
def near(seconds):
    return lasted - 1.5 <= seconds <= lasted + 2.5
if not near(float(stats.get("TotTime", "-1"))):
    problems.append("TotTime is %s, the line lasted %.1f s" % (stats.get("TotTime"), lasted))
if abs(float(stats.get("TotRCV", "-1")) - carried / 1000) > 1e-6:
    problems.append("TotRCV is %s, the link received %d bytes" % (stats.get("TotRCV"), carried))
rows = sqlite3.connect(work + "/pulopro.sqlite").execute(
    "SELECT start_utc, end_utc, seconds, received FROM connections").fetchall()
if len(rows) != 1:
    problems.append("%d connections in the history" % len(rows))
else:
    start, end, seconds, received = rows[0]
    if received != carried:
        problems.append("the history has %d bytes, the link received %d" % (received, carried))
    if not near(seconds) or abs(end - start - seconds) > 1:
        problems.append("the history says %d s from %d to %d; the line lasted %.1f s" % (seconds, start, end, lasted))
    if not first <= start <= last:
        problems.append("the history's start %d is not between %d and %d" % (start, first, last))
    hours = sqlite3.connect(work + "/pulopro.sqlite").execute("SELECT hour_utc, received FROM hours").fetchall()
    if sum(received for _, received in hours) != carried:
        problems.append("the hours hold %d bytes" % sum(received for _, received in hours))
    if any(not start - 3600 < hour <= end for hour, _ in hours):
        problems.append("hours outside the connection: %s" % [hour for hour, _ in hours])
open(work + "/check.log", "w").write("; ".join(problems))
sys.exit(1 if problems else 0)
EOF
    [ -n "${PULO_KEEP:-}" ] || rm -rf "$work"
}

autumn=$(date -d "2026-10-25 01:00:00 UTC" +%s) # 03:00 summer time becomes 02:00 winter time
row="across the autumn clock change"
connect $((autumn - 4)) ""
check $((autumn - 4)) "$autumn"

spring=$(date -d "2026-03-29 01:00:00 UTC" +%s) # 02:00 winter time becomes 03:00 summer time
row="across the spring clock change"
connect $((spring - 4)) ""
check $((spring - 4)) "$spring"

noon=$(date -d "2026-11-20 12:00:00 UTC" +%s)
row="the clock set back an hour while connected"
connect "$noon" "$(printf %+d $((noon - 3600 - $(date +%s))))"
check $((noon - 3600)) $((noon - 3600 + 5))

row="the clock set forward a month while connected"
connect "$noon" "$(printf %+d $((noon + 31 * 86400 - $(date +%s))))"
check $((noon + 31 * 86400)) $((noon + 31 * 86400 + 5))

row="a crowd on the socket across the connection's end"
now=$(date +%s)
connect "$now" "" crowd
check "$now" $((now + 5))

[ "$failures" = 0 ] || exit 1
echo "each connection was counted whole, for as long as it lasted"
