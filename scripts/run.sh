#!/usr/bin/env bash
# Builds PuloPro and starts it. Without a display it says so and runs on Qt's offscreen
# platform: it still watches the connection and keeps its files, with no window to see.
# "scripts/run.sh demo" starts pulopro-demo instead: PuloPro on a simulated system, with a
# line simulator to bring dial-up lines up and down without a modem.
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

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: PuloPro runs on Qt's offscreen platform (no window is shown)."
    export QT_QPA_PLATFORM=offscreen
fi
exec "build/default/$folder/$program"
