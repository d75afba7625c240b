#!/usr/bin/env bash
# Which programs used the line, end to end: the real meter and the real PuloPro in one network
# namespace, the user's line (Links=line0) a veth to another, and generator programs of known
# names moving known amounts over it. pulopro --apps --json, asked of the running copy while the
# line is up and of the history after it ended, must give each generator what it moved and, with
# Other, exactly the connection's own figures. Needs root and BPF; skips (exit 77) without them.
set -u
meter="$1"
generator="$2"
program="$3"
here=$(cd "$(dirname "$0")" && pwd)
tools="ip ethtool python3 nsenter"
. "$here/veth_line.sh"

start_meter "$work/meter"

setup_pulopro '[General]\nSounds=0\nLinks=line0\n'
(pulo_exec) >"$work/pulopro.log" 2>&1 &
pulopro_pid=$!
online() { pulo --json 2>/dev/null | python3 -c 'import json, sys; sys.exit(0 if json.load(sys.stdin)["online"] == (sys.argv[1] == "1") else 1)' "$1"; }
for _ in $(seq 1 100); do online 1 && break; sleep 0.1; done
online 1 || { echo "FAILED: PuloPro did not see the line"; cat "$work/pulopro.log"; exit 1; }
sleep 1 # its first look at the programs is taken: what came before is not the line's

for name in gen-tcp-up gen-tcp-down gen-udp; do cp "$generator" "$work/$name"; done
failures=0
run() { "$@" >/dev/null || { echo "FAILED: $*"; failures=$((failures + 1)); }; }
run in_near "$work/gen-tcp-up" tcp-send 10.77.0.2 5001 1000000
run in_near "$work/gen-tcp-down" tcp-receive 10.77.0.2 5002
run in_near "$work/gen-udp" udp 10.77.0.2 5003 100 1200
sleep 2 # the window's look at the line's counters comes after the last packet

check() {
    local what="$1" apps="$2" exported="$3"
    python3 - "$what" "$apps" "$exported" <<'PYEOF' || failures=$((failures + 1))
import json, sys
what, apps, connections = sys.argv[1], json.loads(sys.argv[2]), json.loads(sys.argv[3])
connection = connections[-1]
rows = {row["program"]: row for row in apps}
problems = []
udp = rows.get("gen-udp", {})
# 100 datagrams each way of 1200 bytes, with UDP, IPv4 and Ethernet headers.
if (udp.get("receivedBytes"), udp.get("sentBytes")) != (100 * 1242, 100 * 1242):
    problems.append("gen-udp: %s" % udp)
if not rows.get("gen-tcp-up", {}).get("sentBytes", 0) >= 1000000:
    problems.append("gen-tcp-up: %s" % rows.get("gen-tcp-up"))
if not rows.get("gen-tcp-down", {}).get("receivedBytes", 0) >= 2000000:
    problems.append("gen-tcp-down: %s" % rows.get("gen-tcp-down"))
other = rows.get("Other")
if other is None or other["path"] is not None or apps[-1] is not other:
    problems.append("Other is not the last row, without a path: %s" % other)
for field, own in (("receivedBytes", "received"), ("sentBytes", "sent")):
    total = sum(row[field] for row in apps)
    if total != connection[own]:
        problems.append("programs and Other %s %d bytes; the connection %d" % (own, total, connection[own]))
print("%s: %s" % (what, " ".join("%s %d/%d" % (r["program"], r["receivedBytes"], r["sentBytes"]) for r in apps)))
for problem in problems:
    print("FAILED (%s): %s" % (what, problem))
sys.exit(1 if problems else 0)
PYEOF
}
check "while the line is up" "$(pulo --apps --json)" "$(pulo --export json)"

in_near ip link set line0 down
for _ in $(seq 1 50); do online 0 && break; sleep 0.1; done
online 0 || { echo "FAILED: PuloPro did not see the line end"; failures=$((failures + 1)); }
check "after the line ended" "$(pulo --apps --connection 1 --json)" "$(pulo --export json)"
check "that day" "$(pulo --apps --day "$(date +%F)" --json)" "$(pulo --export json)"
# The export of which programs used each connection: its rows add up to the connection as well.
python3 - "$(pulo --export json --apps)" "$(pulo --export json)" "$(pulo --export csv --apps | head -1)" <<'PYEOF' ||
import json, sys
rows, connections, header = json.loads(sys.argv[1]), json.loads(sys.argv[2]), sys.argv[3]
problems = [] if header.strip() == "start,day,program,path,received,sent" else ["the CSV's header: " + header]
for connection in connections:
    mine = [row for row in rows if row["start"] == connection["start"]]
    for field, own in (("receivedBytes", "received"), ("sentBytes", "sent")):
        if sum(row[field] for row in mine) != connection[own]:
            problems.append("the export's %s of %s: %d, the connection's %d" % (own, connection["start"], sum(row[field] for row in mine), connection[own]))
for problem in problems:
    print("FAILED (export):", problem)
sys.exit(1 if problems else 0)
PYEOF
    failures=$((failures + 1))
pulo --apps >"$work/apps.txt"
grep -q "gen-udp" "$work/apps.txt" || { echo "FAILED: the text lists no gen-udp"; cat "$work/apps.txt"; failures=$((failures + 1)); }

# Without the meter's service, PuloPro run by a user of no rights: TCP is counted by program from
# the kernel's socket statistics, UDP is Other's, and the text says so.
kill "$pulopro_pid"
wait "$pulopro_pid"
kill "$meter_pid"
wait "$meter_pid"
pulopro_pid= meter_pid=
if command -v setpriv >/dev/null; then
    chmod 0711 "$work"
    mkdir -p "$work/app2" "$work/home2"
    cp "$program" "$work/app2/"
    cp "$work/app/pulopro.ini" "$work/app2/"
    chown -R 65534:65534 "$work/app2" "$work/home2"
    chmod 0700 "$work/home2"
    fallback_exec() {
        cd "$work/app2" && HOME="$work/home2" XDG_CONFIG_HOME="$work/home2" XDG_DATA_HOME="$work/home2" \
            XDG_RUNTIME_DIR="$work/home2" QT_QPA_PLATFORM=offscreen PULOPRO_METER_SOCKET="$work/meter" \
            ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" \
            exec nsenter --net="/run/netns/$near" setpriv --reuid=65534 --regid=65534 --clear-groups ./pulopro "$@"
    }
    fallback() { (fallback_exec "$@"); }
    cp "$generator" "$work/gen-trickle"
    (fallback_exec) >"$work/fallback.log" 2>&1 &
    pulopro_pid=$!
    sleep 1
    in_near ip link set line0 up
    fallback_online() { fallback --json 2>/dev/null | python3 -c 'import json, sys; sys.exit(0 if json.load(sys.stdin)["online"] else 1)'; }
    for _ in $(seq 1 100); do fallback_online && break; sleep 0.1; done
    fallback_online || { echo "FAILED: PuloPro of no rights did not see the line"; cat "$work/fallback.log"; failures=$((failures + 1)); }
    sleep 1
    retransmitted_before=$(retransmitted)
    run in_near setpriv --reuid=65534 --regid=65534 --clear-groups "$work/gen-trickle" tcp-trickle 10.77.0.2 5001 1000000
    run in_near setpriv --reuid=65534 --regid=65534 --clear-groups "$work/gen-udp" udp 10.77.0.2 5003 100 1200
    sleep 2
    python3 - "$(fallback --apps --json)" "$(fallback --export json)" "$(fallback --apps)" \
        $(($(retransmitted) - retransmitted_before)) <<'PYEOF' || failures=$((failures + 1))
import json, sys
apps, connection, text = json.loads(sys.argv[1]), json.loads(sys.argv[2])[-1], sys.argv[3]
rows = {row["program"]: row for row in apps}
problems = []
# A million bytes of payload with its headers (IPv4, TCP with timestamps, Ethernet: 66 bytes a
# segment of at most 1448): within a tenth of a percent of that, and what was sent again (on a
# loaded machine) besides.
sent = rows.get("gen-trickle", {}).get("sentBytes", 0)
again = int(sys.argv[4]) * 1514
if not 1000000 * (1 + 66 / 1448) * 0.999 <= sent <= 1000000 * (1 + 66 / 1448) * 1.001 + 66 * 40 + again:
    problems.append("gen-trickle sent %d" % sent)
# The line was set down, and up again while PuloPro watched: this connection holds only what it
# carried itself.
if not 1000000 <= connection["sent"] <= 1300000:
    problems.append("the connection sent %d bytes: earlier connections' bytes counted again?" % connection["sent"])
if "gen-udp" in rows:
    problems.append("UDP was given to a program: %s" % rows["gen-udp"])
for field, own in (("receivedBytes", "received"), ("sentBytes", "sent")):
    if sum(row[field] for row in apps) != connection[own]:
        problems.append("programs and Other %s %d; the connection %d" % (own, sum(row[field] for row in apps), connection[own]))
if "only TCP is counted" not in text:
    problems.append("the text does not say why UDP is Other's:\n" + text)
print("without the meter: %s" % " ".join("%s %d/%d" % (r["program"], r["receivedBytes"], r["sentBytes"]) for r in apps))
for problem in problems:
    print("FAILED (without the meter):", problem)
sys.exit(1 if problems else 0)
PYEOF
fi

[ "$failures" = 0 ] && echo "passed"
exit $((failures > 0))
