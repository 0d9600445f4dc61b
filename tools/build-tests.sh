#!/usr/bin/env bash
# Builds only what the tests of the given labels need in a configured build folder: each test's executable
# (a fuzz corpus test "X_corpus" runs "X_replay") and, with CW_FUZZ, the libFuzzer targets. Tests that run a
# script rather than a program of the build need nothing built and are passed over.
# usage: tools/build-tests.sh BUILD_DIR LABEL [LABEL...]
set -euo pipefail
build=$1
shift
targets=()
for label in "$@"; do
    while read -r name; do
        if [[ $name == *_corpus ]]; then
            targets+=("${name%_corpus}_replay")
        else
            targets+=("$name")
        fi
    done < <(ctest --test-dir "$build" -N -L "^${label}\$" | sed -n 's/^ *Test *#[0-9]*: *//p')
done
if grep -q '^CW_FUZZ:BOOL=ON' "$build/CMakeCache.txt"; then
    for replay in "${targets[@]}"; do
        if [[ $replay == *_replay ]]; then
            targets+=("${replay%_replay}")
        fi
    done
fi
known=$(cmake --build "$build" --target help | sed -n 's/^\(\.\.\. \)\{0,1\}\([A-Za-z0-9_.-]*\)[: ].*/\2/p')
mapfile -t targets < <(printf '%s\n' "${targets[@]}" | sort -u | grep -Fxf <(printf '%s\n' "$known"))
echo "building ${#targets[@]} targets in $build"
cmake --build "$build" --target "${targets[@]}"
