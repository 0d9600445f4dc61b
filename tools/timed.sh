#!/usr/bin/env bash
# Runs a command as one named stage of `make test` and appends "stage seconds status" to BUILD/stage-times.txt.
# usage: tools/timed.sh BUILD STAGE command [args...]
set -uo pipefail
build=$1
stage=$2
shift 2
start=$(date +%s)
"$@"
status=$?
mkdir -p "$build"
echo "$stage $(($(date +%s) - start))s status=$status" >>"$build/stage-times.txt"
exit $status
