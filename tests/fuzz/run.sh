#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (the "fuzz" preset) and runs each for a while from
# its seed corpus: the log reader from tests/fuzz/corpus/richtext, the log's import from
# tests/fuzz/corpus/logimport, the readers of the per-program figures (the meter's answer, the
# kernel's socket statistics) from tests/fuzz/corpus/meteranswers, the plan as written in the
# settings file (its period, free hours and days) from tests/fuzz/corpus/plantext, the help viewer from the help
# file the build compiled. Usage: tests/fuzz/run.sh [seconds per target, default 20]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-20}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/richtext" "$work/logimport" "$work/help" "$work/meteranswers" "$work/plantext"
cp tests/fuzz/corpus/plantext/* "$work/plantext/"
cp tests/fuzz/corpus/richtext/* "$work/richtext/"
cp tests/fuzz/corpus/logimport/* "$work/logimport/"
cp tests/fuzz/corpus/meteranswers/* "$work/meteranswers/"
cp build/fuzz/app/PuloHelp.chm "$work/help/"
export QT_QPA_PLATFORM=offscreen
build/fuzz/tests/fuzz/fuzz_richtext -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$work/richtext"
build/fuzz/tests/fuzz/fuzz_logimport -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$work/logimport"
build/fuzz/tests/fuzz/fuzz_meteranswers -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$work/meteranswers"
build/fuzz/tests/fuzz/fuzz_plantext -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$work/plantext"
build/fuzz/tests/fuzz/fuzz_helpviewer -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$work/help"
echo "fuzzing: no crash, hang or leak in ${seconds} s per target"
