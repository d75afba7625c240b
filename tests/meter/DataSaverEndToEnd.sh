#!/usr/bin/env bash
# The data saver end to end: the real PuloPro and the real meter in one network namespace, the line
# a veth to another that NetworkManager (python3-dbusmock's, on a bus of the test's own) manages as
# a Wi-Fi on a metered plan. While the saver is on, the line's profile is metered in the service's
# memory and a program the user chose cannot use the line, while another one is never disturbed;
# both are undone when the saver is turned off, when PuloPro ends, and (the profile) at the next
# start after PuloPro was killed, its holds at once when it was killed. The profile as saved is
# never written. Needs root, BPF and python3-dbusmock; skips (exit 77) without them.
set -u
meter="$1"
generator="$2"
program="$3"
here=$(cd "$(dirname "$0")" && pwd)
tools="ip ethtool python3 nsenter dbus-daemon"
. "$here/veth_line.sh"
/usr/bin/python3 -c 'import dbusmock' 2>/dev/null || { echo "skipped: python3-dbusmock is not installed"; exit 77; }

start_meter "$work/meter"

# NetworkManager on a private bus, with the line as its Wi-Fi.
dbus-daemon --session --nofork --print-address=1 >"$work/bus.address" &
bus_pid=$!
eventually test -s "$work/bus.address" || { echo "FAILED: no bus"; exit 1; }
export DBUS_SYSTEM_BUS_ADDRESS=$(head -n 1 "$work/bus.address")
/usr/bin/python3 -m dbusmock --template "$here/../support/networkmanager_lines.py" >"$work/nm.log" 2>&1 &
nm_pid=$!
nm() { /usr/bin/python3 "$here/../support/nm_mock_call.py" "$@"; }
eventually nm AddProfile Probe 802-11-wireless >/dev/null 2>&1 || { echo "FAILED: NetworkManager did not start"; exit 1; }
trap 'kill $nm_pid $bus_pid 2>/dev/null; cleanup' EXIT
device=$(nm AddLineDevice wifi0 2 wlan0 line0 4 10.77.0.1)
profile=$(nm AddProfile "Home plan" 802-11-wireless)
nm ActivateAt "$profile" "$device" >/dev/null
facts() { nm ProfileFacts "$profile"; }
marked() { facts | grep -q '^metered=1 disk=0 writes=0 '; }
unmarked() { facts | grep -q '^metered=0 disk=0 writes=0 '; }

# A program held back, and one that is not, pinging the far end all along.
chmod 0755 "$work"
for name in gen-held gen-free; do cp "$generator" "$work/$name"; done
ip netns exec "$near" "$work/gen-held" udp-ping 10.77.0.2 5003 "$work/held.pings" &
held_pid=$!
ip netns exec "$near" "$work/gen-free" udp-ping 10.77.0.2 5003 "$work/free.pings" &
free_pid=$!
trap 'kill $held_pid $free_pid $nm_pid $bus_pid 2>/dev/null; cleanup' EXIT
last_pings() { tail -c 8 "$work/$1.pings"; }
held() { [ "$(last_pings held)" = "--------" ]; }
free() { [ "$(last_pings held)" = "++++++++" ]; }

setup_pulopro "[General]\\nSounds=0\\nLinks=line0\\nDataSaver=2\\nHeldBack=$work/gen-held\\n"
start_pulopro() {
    (pulo_exec) >>"$work/pulopro.log" 2>&1 &
    pulopro_pid=$!
}
saver_is() { pulo --json 2>/dev/null | python3 -c '
import json, sys
report = json.load(sys.stdin)
sys.exit(0 if report["dataSaver"] == sys.argv[1] and report["heldBack"] == [sys.argv[2]] else 1)' "$1" "$work/gen-held"; }

start_pulopro
eventually marked || fail "the line was not marked metered when the data saver was on: $(facts)"
eventually held || fail "the chosen program was not held back: $(last_pings held)"
saver_is on || fail "--json does not say the data saver is on: $(pulo --json)"

[ "$(pulo --data-saver off)" = "Data saver: off" ] || fail "--data-saver off on the running copy"
eventually unmarked || fail "turned off, the line is still marked: $(facts)"
eventually free || fail "turned off, the program is still held back: $(last_pings held)"
grep -q '^DataSaver=0' "$work/app/pulopro.ini" || fail "the running copy did not keep the mode"

pulo --data-saver on >/dev/null
eventually marked && eventually held || fail "turned on again: $(facts) $(last_pings held)"
# Killed: the holds go with its connection to the meter at once; the mark waits for the next start.
kill -9 "$pulopro_pid"
wait "$pulopro_pid" 2>/dev/null
eventually free || fail "the program stayed held back after PuloPro was killed: $(last_pings held)"
marked || fail "the killed copy's mark is gone before any start: $(facts)"
[ "$(pulo --data-saver off)" = "Data saver: off" ] || fail "--data-saver off without a running copy"
start_pulopro
eventually unmarked || fail "the next start did not undo the killed copy's mark: $(facts)"
saver_is off || fail "--json does not say the data saver is off: $(pulo --json)"

# Ended as the desktop ends it: everything undone.
pulo --data-saver on >/dev/null
eventually marked && eventually held || fail "turned on in the new copy: $(facts) $(last_pings held)"
kill "$pulopro_pid"
wait "$pulopro_pid"
pulopro_pid=
unmarked || fail "PuloPro ended and left the line marked: $(facts)"
eventually free || fail "PuloPro ended and left the program held back: $(last_pings held)"

missed=$(tr -cd '-' <"$work/free.pings" | wc -c)
[ "$missed" = 0 ] || fail "the program not held back missed $missed pings"
[ "$failures" = 0 ] || { echo "PuloPro said:"; cat "$work/pulopro.log"; }
[ "$failures" = 0 ] && echo "passed: marked and held while on; undone when off, at the end, after a kill"
exit $((failures > 0))
