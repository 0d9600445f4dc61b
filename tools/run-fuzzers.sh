#!/usr/bin/env bash
# Runs every libFuzzer target of a CW_FUZZ build for a bounded time, on top of its corpus folders (the ones its
# replay test feeds). New inputs that merely add coverage are thrown away with the run; an input that crashes a
# target is kept in the target's corpus folder in the source tree ("crash-<hash>"), so the replay test runs it
# from then on and the fault stays fixed once fixed.
# usage: tools/run-fuzzers.sh BUILD_DIR [SECONDS_EACH]
set -uo pipefail
build=$1
seconds=${2:-30}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
# The same leak suppressions as the tests: memory third-party libraries keep for the life of the process.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$source_dir/tools/sanitizers/lsan.supp:print_suppressions=0}
status=0
ran=0

while read -r test; do
    target=${test%_corpus}
    # The replay test's command line names the replay program and the corpus folders.
    mapfile -t command < <(ctest --test-dir "$build" -N -V -R "^${test}\$" | sed -n 's/.*Test command: //p' |
        xargs printf '%s\n')
    binary=$(dirname "${command[0]}")/$target
    if [[ ! -x $binary ]]; then
        echo "fuzz: $target was not built (CW_FUZZ is off in $build?)" >&2
        status=1
        continue
    fi
    folders=()
    keep=
    for arg in "${command[@]:1}"; do
        [[ -d $arg ]] || continue # single files are replayed by the test; libFuzzer would only run them
        folders+=("$arg")
        if [[ -z $keep && $arg == "$source_dir"/* ]]; then keep=$arg; fi
    done
    [[ -n $keep ]] || keep=${folders[0]}
    scratch=$(mktemp -d /tmp/cw-fuzz.XXXXXX)
    echo "== fuzz $target for ${seconds} s over ${folders[*]}"
    QT_QPA_PLATFORM=offscreen "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$keep/crash-" "$scratch" "${folders[@]}" 2>"$scratch.log"
    result=$?
    grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::new_units_added)' "$scratch.log"
    if [[ $result -ne 0 ]]; then
        echo "fuzz: $target failed (status $result); the input that broke it is kept in $keep:" >&2
        grep -E 'ERROR|SUMMARY|artifact_prefix|Test unit written' "$scratch.log" >&2
        status=1
    fi
    rm -rf "$scratch" "$scratch.log"
    ran=$((ran + 1))
done < <(ctest --test-dir "$build" -N -L '^fuzz$' | sed -n 's/^ *Test *#[0-9]*: *//p')

echo "fuzz: $ran targets run, $([[ $status -eq 0 ]] && echo "no crash" || echo "FAILURES above")"
exit $status
