#!/usr/bin/env bash
# End to end on a real X display: PuloPro's icon docks in a real notification area (trayer),
# the Hide button takes the window away, and a click on the icon brings it back. Everything runs on
# a private Xvfb display; the program runs from a temporary folder, where its settings file
# lands. Skips (exit 77) when the X tools are not installed.
set -u
program="$1"

for tool in Xvfb trayer xdotool xwininfo; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*"
    xwininfo -root -tree 2>/dev/null | grep -i -E "pulo|panel|trayer"
    for log in "$work"/*.log; do [ -s "$log" ] && { echo "--- $log"; tail -n 20 "$log"; }; done
    exit 1
}

# Waits up to 15 s for a command to succeed.
await() {
    for _ in $(seq 1 300); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done
    return 1
}

number=90
while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
export DISPLAY=":$number"
Xvfb "$DISPLAY" -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
await xwininfo -root || fail "Xvfb did not start"

# The tray host; started a second time should the first not come up.
tray_host_up() { xwininfo -root -tree | grep -q '"panel": ("panel" "trayer")'; }
for attempt in 1 2; do
    # No session bus and no accessibility bridge: a desktop service that is not there must not
    # keep the tray host waiting.
    NO_AT_BRIDGE=1 DBUS_SESSION_BUS_ADDRESS=disabled: \
        trayer --edge top --align right --widthtype pixel --width 100 --height 32 >>"$work/trayer.log" 2>&1 &
    pids+=($!)
    await tray_host_up && break
    kill "${pids[-1]}" 2>/dev/null
    [ "$attempt" = 2 ] && fail "the tray host did not start"
done

cp "$program" "$work/"
(cd "$work" && QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work" exec ./pulopro >"$work/out.log" 2>&1) &
pids+=($!)
await xdotool search --onlyvisible --name "Pulo Pro" || fail "the main window did not show"
window=$(xdotool search --onlyvisible --name "Pulo Pro" | head -n 1)

# The docked icon: a small window of the program's inside the tray host's panel.
icon_place() {
    xwininfo -root -tree | awk '
        function depth(line) { match(line, /^ */); return RLENGTH }
        /"panel": \("panel" "trayer"\)/ {inpanel = 1; paneldepth = depth($0); next}
        inpanel && depth($0) <= paneldepth {inpanel = 0} # past the panel'"'"'s own windows
        inpanel && /\("pulopro" "PuloPro"\)/ {
            split($0, parts, "  +"); geometry = $(NF - 1); absolute = $NF
            split(geometry, wh, /[x+]/); split(absolute, xy, "+")
            print xy[2] + int(wh[1] / 2), xy[3] + int(wh[2] / 2); found = 1; exit }
        END {exit !found}'
}
await icon_place || fail "the tray icon did not dock"

# A left click brings the window back; a right click opens the icon's menu, whose Restore does.
for button in 1 3; do
    xdotool windowfocus --sync "$window"
    xdotool key alt+h # the " &Hide" button
    await bash -c "! xdotool search --onlyvisible --name 'Pulo Pro'" || fail "Hide left the window on screen"
    icon_place >/dev/null || fail "the tray icon went away with the window"
    read -r x y < <(icon_place)
    xdotool mousemove "$x" "$y" click "$button"
    if [ "$button" = 3 ]; then
        sleep 0.5     # the menu opens and takes the keyboard
        xdotool key r # its "&Restore"
    fi
    await xdotool search --onlyvisible --name "Pulo Pro" || fail "a click ($button) on the tray icon did not bring the window back"
done

# A second start brings the hidden window back, every time, and ends.
for round in 1 2 3 4 5 6; do
    xdotool windowfocus --sync "$window"
    xdotool key alt+h
    await bash -c "! xdotool search --onlyvisible --name 'Pulo Pro'" || fail "Hide left the window on screen"
    (cd "$work" && QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work" timeout 20 ./pulopro >>"$work/second.log" 2>&1) ||
        fail "the second start did not end by itself (round $round)"
    await xdotool search --onlyvisible --name "Pulo Pro" || fail "a second start did not bring the window back (round $round)"
done

# Under a window manager, the window closed to the tray (Alt+F4, as the window manager hands it a
# request to close) and started a second time at once comes back, shown and activated, every time.
if command -v openbox >/dev/null; then
    openbox >"$work/openbox.log" 2>&1 &
    pids+=($!)
    managed() { xprop -id "$window" WM_STATE 2>/dev/null | grep -q "Normal"; }
    await managed || fail "openbox did not take the window"
    for round in 1 2 3 4 5 6; do
        xdotool windowactivate --sync "$window"
        xdotool key alt+F4 # typed, as a user would: the window manager's own key
        await bash -c "! xdotool search --onlyvisible --name 'Pulo Pro'" || fail "Alt+F4 left the window on screen"
        (cd "$work" && QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work" timeout 20 ./pulopro >>"$work/second.log" 2>&1) ||
            fail "the second start did not end by itself (window manager, round $round)"
        await xdotool search --onlyvisible --name "Pulo Pro" ||
            fail "a second start did not bring the window back under a window manager (round $round)"
        sleep 0.3
        xdotool search --onlyvisible --name "Pulo Pro" >/dev/null || fail "the raised window went away (round $round)"
        active() { [ "$(xdotool getactivewindow)" = "$window" ]; }
        await active || fail "the raised window was not activated (round $round)"
    done
    kill "${pids[-1]}" 2>/dev/null
fi

# The tray host restarts (a panel restart): the icon does not linger on the desktop meanwhile,
# and docks again in the new one.
for pid in $(pgrep -x trayer); do kill "$pid"; done
tray_host_gone() { ! tray_host_up; }
await tray_host_gone || fail "the tray host did not end"
sleep 0.5
for id in $(xwininfo -root -children | awk '/\("pulopro" "PuloPro"\)/ && !/" Pulo Pro"/ {print $1}'); do
    xwininfo -id "$id" | grep -q "IsViewable" && fail "the icon stayed on the desktop without a tray"
done
NO_AT_BRIDGE=1 DBUS_SESSION_BUS_ADDRESS=disabled: \
    trayer --edge top --align right --widthtype pixel --width 100 --height 32 >>"$work/trayer.log" 2>&1 &
pids+=($!)
await tray_host_up || fail "the tray host did not start again"
await icon_place || fail "the tray icon did not dock in the new tray"
# Started hidden, the first activation sends the window to the tray; a second start's window
# comes up and stays.
for pid in $(pgrep -f "$work/pulopro" ; pgrep -x pulopro); do kill "$pid" 2>/dev/null; done
await bash -c "! xdotool search --name 'Pulo Pro'" || fail "the program did not end"
printf '[General]\nStartHidden=1\n' >>"$work/pulopro.ini"
(cd "$work" && QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work" exec ./pulopro >"$work/hidden.log" 2>&1) &
pids+=($!)
await icon_place || fail "started hidden, the tray icon did not dock"
(cd "$work" && QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work" timeout 20 ./pulopro >>"$work/second.log" 2>&1) ||
    fail "the second start did not end by itself"
await xdotool search --onlyvisible --name "Pulo Pro" || fail "a second start did not bring the hidden window back"
sleep 1
xdotool search --onlyvisible --name "Pulo Pro" >/dev/null || fail "the raised window went back to the tray"
echo "tray end to end: 1 passed, 0 failed"
