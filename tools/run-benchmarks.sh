#!/usr/bin/env bash
# Runs every benchmark that exists in a build folder and prints its figures. Expects the headless desktop of
# tools/headless.sh (make bench provides it).
set -uo pipefail
build=${1:-build}
status=0
for bench in "$build"/bench/*/bench_*; do
    [[ -x "$bench" && -f "$bench" ]] || continue
    echo "== $(basename "$bench")"
    case "$(basename "$bench")" in
        bench_startup) "$bench" "$build/chatterwisp" 10 || status=1 ;;
        *) "$bench" || status=1 ;;
    esac
done
exit $status
