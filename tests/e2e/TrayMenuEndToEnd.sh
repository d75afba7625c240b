#!/usr/bin/env bash
# End to end on a StatusNotifierItem desktop (KDE, GNOME with the AppIndicator extension, most
# Wayland panels): on a private X display and a private session bus, a panel of the test's own
# (notifier_watcher.py) takes PuloPro's tray icon, reads the menu the icon exports and clicks its
# Exit, and PuloPro ends as File > Exit ends it. Skips (exit 77) when a tool is missing.
set -u
program="$1"
here=$(cd "$(dirname "$0")" && pwd)

for tool in Xvfb xwininfo dbus-run-session; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
/usr/bin/python3 -c "import dbus, gi" 2>/dev/null || { echo "skipped: python3-dbus is not installed"; exit 77; }

if [ -z "${PULO_INSIDE_BUS:-}" ]; then
    work=$(mktemp -d)
    trap 'kill $xvfb 2>/dev/null; wait 2>/dev/null; [ -n "${PULO_KEEP:-}" ] || rm -rf "$work"' EXIT
    number=90
    while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
    export DISPLAY=":$number"
    Xvfb "$DISPLAY" -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 1 300); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.05; done
    PULO_INSIDE_BUS=1 PULO_WORK="$work" dbus-run-session -- "$0" "$program"
    exit $?
fi

work="$PULO_WORK"
/usr/bin/python3 "$here/notifier_watcher.py" 20 >"$work/watcher.log" 2>&1 &
watcher=$!
for _ in $(seq 1 200); do grep -q ready "$work/watcher.log" && break; sleep 0.05; done
cp "$program" "$work/"
# Under the sanitizers, Qt's own leak in its StatusNotifierItem icon is suppressed (it needs the
# slow unwinder to be seen through Qt's frames); anything of PuloPro's is still reported.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$here/qt-tray-leaks.supp"
(cd "$work" && QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work" exec ./pulopro >"$work/out.log" 2>&1) &
pulopro=$!

wait $watcher
watched=$?
cat "$work/watcher.log"
if [ "$watched" != 0 ]; then
    kill $pulopro 2>/dev/null
    echo "--- pulopro"; tail -n 20 "$work/out.log"
    exit 1
fi
# Exit from the panel's menu ends the program, cleanly.
for _ in $(seq 1 200); do kill -0 $pulopro 2>/dev/null || break; sleep 0.05; done
if kill -0 $pulopro 2>/dev/null; then
    kill $pulopro
    echo "FAILED: Exit from the panel's menu did not end PuloPro"
    exit 1
fi
wait $pulopro
status=$?
[ "$status" = 0 ] || { echo "FAILED: PuloPro ended with $status"; tail -n 20 "$work/out.log"; exit 1; }
echo "PuloPro ended from the panel's menu"
