#!/usr/bin/env bash
# Installs the Debian 12 packages PuloPro needs to build, run and test. Safe to run again:
# packages already present are left alone. Needs root (or sudo).
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libqt6sql6-sqlite qt6-charts-dev qt6-svg-dev libqt6opengl6-dev
    libsdl2-dev libxcb1-dev libxcb-render0-dev
    googletest libgtest-dev libgmock-dev
    clang-format clang libclang-rt-14-dev
    iproute2 xvfb xauth xdotool trayer x11-utils openbox faketime libbpf-dev bpftool
    python3-dbusmock dbus-daemon appstream
    unrtf poppler-utils
    librsvg2-bin desktop-file-utils dpkg-dev file
    fp-utils libchm-dev
    fonts-liberation2 fonts-dejavu-core
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
