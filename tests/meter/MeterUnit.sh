#!/usr/bin/env bash
# The meter's system unit as systemd reads it (systemd-analyze verify finds no fault), with the
# hardening it promises: the three capabilities and no others, no new privileges, a read-only
# system, no homes, its own /tmp, Unix and netlink sockets only, and its runtime folder. The copy
# verified names the build's program in place of the installed one.
set -eu
analyze="$1" unit="$2" program="$3"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for line in 'ExecStart=/usr/sbin/pulopro-meter --socket /run/pulopro-meter/socket' \
    'AmbientCapabilities=CAP_BPF CAP_NET_ADMIN CAP_PERFMON' 'CapabilityBoundingSet=CAP_BPF CAP_NET_ADMIN CAP_PERFMON' \
    'NoNewPrivileges=yes' 'ProtectSystem=strict' 'ProtectHome=yes' 'PrivateTmp=yes' \
    'RestrictAddressFamilies=AF_UNIX AF_NETLINK' 'RuntimeDirectory=pulopro-meter' 'WantedBy=multi-user.target'; do
    grep -qxF "$line" "$unit" || { echo "FAILED: the unit lacks: $line"; exit 1; }
done
sed "s|^ExecStart=/usr/sbin/pulopro-meter|ExecStart=$program|" "$unit" >"$work/pulopro-meter.service"
if ! out=$("$analyze" verify --man=no "$work/pulopro-meter.service" 2>&1) || echo "$out" | grep "pulopro-meter.service"; then
    echo "FAILED: $out"
    exit 1
fi
echo "pulopro-meter.service verified"
