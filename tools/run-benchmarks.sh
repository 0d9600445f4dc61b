#!/usr/bin/env bash
# Runs every benchmark of a build folder and prints its figures. Expects the headless desktop of
# tools/headless.sh (make bench provides it). Calibration programs are tools, not benchmarks, and are skipped, as
# is the bare window that bench_startup starts as its reference.
set -uo pipefail
build=${1:-build}
export QT_LOGGING_RULES=${QT_LOGGING_RULES:-"*.debug=false"}
status=0
for bench in "$build"/bench/*/*; do
    [[ -f "$bench" && -x "$bench" ]] || continue
    name=$(basename "$bench")
    [[ "$name" == *calibrate* || "$name" == bench_bare_window ]] && continue
    echo "== $name"
    case "$name" in
        bench_startup) "$bench" "$build/chatterwisp" 10 || status=1 ;;
        # Both voices, side by side: the natural one, then flite's.
        tts_bench) "$bench" slt-hts && "$bench" kal16 || status=1 ;;
        *) "$bench" || status=1 ;;
    esac
done
exit $status
