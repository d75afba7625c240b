#!/usr/bin/env bash
# The user unit as systemd reads it: systemd-analyze verify finds no fault. The unit names the
# program to be found where it is installed; the copy verified here names the build's instead,
# which is there to check (and the manual page it names is the build's, not installed here).
set -eu
analyze="$1" unit="$2" program="$3"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
grep -q '^ExecStart=pulopro$' "$unit" || { echo "FAILED: ExecStart is not the installed program"; exit 1; }
grep -q '^Environment=QT_QPA_PLATFORM=offscreen$' "$unit" || { echo "FAILED: not on the offscreen platform"; exit 1; }
sed "s|^ExecStart=.*|ExecStart=$program|" "$unit" >"$work/pulopro.service"
mkdir -m 0700 "$work/run"
if ! out=$(XDG_RUNTIME_DIR="$work/run" "$analyze" verify --user --man=no "$work/pulopro.service" 2>&1); then
    echo "FAILED: $out"
    exit 1
fi
# Only the unit's own findings count, not those about the host's other units.
if echo "$out" | grep "pulopro.service"; then
    echo "FAILED: $out"
    exit 1
fi
echo "pulopro.service verified"
