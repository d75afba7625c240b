#!/usr/bin/env bash
# Builds PuloPro and starts it. Without a display it says so and runs on Qt's offscreen
# platform: it still watches the connection and keeps its files, with no window to see.
# "scripts/run.sh demo" starts pulopro-demo instead: PuloPro on a simulated system, with a
# line simulator to bring dial-up lines up and down without a modem.
# Run as root, it also starts the per-program meter built beside PuloPro (unless the system's own
# service already answers), and ends it when PuloPro ends.
set -euo pipefail
cd "$(dirname "$0")/.."

program=pulopro
folder=app
if [ "${1:-}" = "demo" ]; then
    program=pulopro-demo
    folder=demo
fi

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target "$program" -j"$(nproc)"

meter_pid=
system_meter=/run/pulopro-meter/socket
if [ "$program" = pulopro ]; then
    if [ -S "$system_meter" ]; then
        echo "Which programs use the line: counted by the system's pulopro-meter service."
    elif [ "$(id -u)" = 0 ] && cmake --build --preset default --target pulopro-meter -j"$(nproc)" >/dev/null 2>&1 &&
        [ -x build/default/meter/pulopro-meter ]; then
        meter_folder=$(mktemp -d /run/pulopro-meter-run.XXXXXX)
        build/default/meter/pulopro-meter --socket "$meter_folder/socket" &
        meter_pid=$!
        export PULOPRO_METER_SOCKET="$meter_folder/socket"
        trap 'kill "$meter_pid" 2>/dev/null; wait "$meter_pid" 2>/dev/null; rm -rf "$meter_folder"' EXIT
    else
        echo "Which programs use the line is counted for TCP only: the per-program meter needs root (run this"
        echo "as root) or its service: install the Debian package (see the README), then"
        echo "  sudo systemctl enable --now pulopro-meter.service"
    fi
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: PuloPro runs on Qt's offscreen platform (no window is shown)."
    export QT_QPA_PLATFORM=offscreen
fi
if [ -n "$meter_pid" ]; then
    # Not exec: the meter is ended with PuloPro.
    "build/default/$folder/$program"
else
    exec "build/default/$folder/$program"
fi
