#!/usr/bin/env bash
# Runs every test headless: the whole suite of the normal build, then the unit tests of the sanitizer build,
# inside a private X server with a PulseAudio null sink and a tray host (tools/headless.sh).
set -uo pipefail
build=${1:-build}
asan_build=${2:-build-asan}
here=$(cd "$(dirname "$0")" && pwd)

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

"$here/headless.sh" bash -c "
    status=0
    echo '== all tests ($build)'
    ctest --test-dir '$build' --output-on-failure --timeout 600 || status=1
    echo '== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer ($asan_build)'
    ctest --test-dir '$asan_build' -L unit --output-on-failure --timeout 900 || status=1
    exit \$status
"
