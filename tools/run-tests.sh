#!/usr/bin/env bash
# Runs every test headless, inside a private X server with a PulseAudio null sink and a tray host
# (tools/headless.sh): each libFuzzer target for a bounded time, the whole suite of the normal build, the unit
# tests under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer, and the tests of the threaded
# parts under ThreadSanitizer. Ends with ctest's summary of the last suite; stage times go to
# BUILD/stage-times.txt.
# usage: tools/run-tests.sh [BUILD] [ASAN_BUILD] [TSAN_BUILD]   (FUZZ_SECONDS, default 30, per fuzz target)
set -uo pipefail
build=${1:-build}
asan_build=${2:-build-asan}
tsan_build=${3:-build-tsan}
here=$(cd "$(dirname "$0")" && pwd)
export FUZZ_SECONDS=${FUZZ_SECONDS:-30}

# Leaks are reported except those inside the third-party libraries listed (with reasons) in the suppressions.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/sanitizers/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-suppressions=$here/sanitizers/tsan.supp:halt_on_error=1:second_deadlock_stack=1}

"$here/headless.sh" bash -c "
    status=0
    if [[ -d '$asan_build' ]]; then
        echo '== libFuzzer targets, $FUZZ_SECONDS s each ($asan_build)'
        '$here/timed.sh' '$build' fuzz '$here/run-fuzzers.sh' '$asan_build' '$FUZZ_SECONDS' || status=1
    fi
    echo '== all tests ($build)'
    '$here/timed.sh' '$build' tests ctest --test-dir '$build' --output-on-failure --timeout 600 || status=1
    if [[ -d '$asan_build' ]]; then
        echo '== unit tests under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer ($asan_build)'
        '$here/timed.sh' '$build' tests-asan \
            ctest --test-dir '$asan_build' -L '^unit\$' --output-on-failure --timeout 900 || status=1
    fi
    if [[ -d '$tsan_build' ]]; then
        echo '== stage times so far:' \$(tr '\n' ';' <'$build/stage-times.txt')
        echo '== threaded parts under ThreadSanitizer ($tsan_build)'
        '$here/timed.sh' '$build' tests-tsan \
            ctest --test-dir '$tsan_build' -L '^tsan\$' --output-on-failure --timeout 900 || status=1
    fi
    exit \$status
"
