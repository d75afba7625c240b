#!/usr/bin/env bash
# Makes the pictures in data/screenshots/ (the README's and the software centres') again: the demo,
# from a fresh folder of its own on the offscreen platform, brings a line up, and saves the main
# window while connected and the Usage window over the months of history its first start makes up.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cmake --build --preset default --target pulopro-demo
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/build/default/demo/pulopro-demo" "$root/build/default/demo/pulopro-usage.so" "$root/build/default/demo/pulopro-log.so" "$root"/build/default/demo/*.wav "$root/build/default/demo/PuloHelp.chm" "$work/"
(cd "$work" && QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" PULOPRO_DEMO_SCREENSHOTS="$work/shots" \
    timeout 60 ./pulopro-demo >/dev/null)
cp "$work/shots/main.png" "$work/shots/usage.png" "$root/data/screenshots/"
echo "data/screenshots/main.png and usage.png made again"
