#!/usr/bin/env bash
# The installed program: the layout of an install into a temporary prefix, its desktop entry,
# and where the program keeps its files, run as an ordinary user: in the user's folders when
# installed, beside itself as a portable copy. SIGTERM ends it as File > Exit does, so the
# window's place is written to the settings file on the way out.
# Usage: Install.sh BUILD_FOLDER. Exit 77 (skipped) for the parts that need root.
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

expected=(
    bin/pulopro bin/pulopro-demo share/applications/pulopro.desktop share/man/man1/pulopro.1
    share/icons/hicolor/scalable/apps/pulopro.svg share/pulopro/DefaultCon.wav share/pulopro/DefaultDiscon.wav
    share/pulopro/Dialing.wav share/pulopro/Online.wav share/pulopro/Maximum.wav share/pulopro/PuloHelp.chm
    lib/pulopro/pulopro-helpcheck lib/pulopro/pulopro-usage.so lib/pulopro/pulopro-log.so lib/systemd/user/pulopro.service
)
for size in 16 22 24 32 48 64 128 256; do expected+=("share/icons/hicolor/${size}x${size}/apps/pulopro.png"); done
for file in "${expected[@]}"; do
    [ -s "$prefix/$file" ] || { echo "missing from the install: $file"; exit 1; }
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/pulopro.desktop"
fi
echo "install layout: ok"

if [ "$(id -u)" -ne 0 ] || ! command -v setpriv >/dev/null; then
    echo "skipped: running the program as another user needs root and setpriv"
    exit 77
fi

# Runs the program as the user nobody with its own home, lets it start, ends it with SIGTERM.
run_as_user() {
    local program="$1" home="$2"
    setpriv --reuid=65534 --regid=65534 --clear-groups \
        env -i HOME="$home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen "$program" >/dev/null 2>&1 &
    local pid=$!
    sleep 3
    kill -TERM "$pid"
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid"; echo "the program did not end on SIGTERM"; exit 1; fi
}

home="$work/home"
mkdir -p "$home" && chown 65534:65534 "$home"
run_as_user "$prefix/bin/pulopro" "$home"
grep -q '^\[Placement\]' "$home/.config/pulopro/pulopro.ini" || { echo "no settings in ~/.config/pulopro"; exit 1; }
[ ! -e "$prefix/bin/pulopro.ini" ] || { echo "an installed copy wrote beside itself"; exit 1; }
echo "installed copy keeps its settings in ~/.config/pulopro: ok"

portable="$work/portable"
other="$work/other-home"
mkdir -p "$portable" "$other" && cp "$prefix/bin/pulopro" "$portable/" && chown -R 65534:65534 "$portable" "$other"
run_as_user "$portable/pulopro" "$other"
grep -q '^\[Placement\]' "$portable/pulopro.ini" || { echo "a portable copy did not keep its settings beside itself"; exit 1; }
[ ! -e "$other/.config/pulopro" ] || { echo "a portable copy wrote into the user's folders"; exit 1; }
echo "portable copy keeps its settings beside itself: ok"
