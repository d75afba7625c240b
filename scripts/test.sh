#!/usr/bin/env bash
# Builds PuloPro and runs every test. With "sanitize" as argument, the build and the tests
# use the address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."

preset="${1:-default}"
scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"
ctest --preset "$preset" -j"$(nproc)"
