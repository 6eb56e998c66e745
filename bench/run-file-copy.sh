#!/bin/sh
# Copies a 1 GiB file and a tree of 20,000 small files with the file service and with cp, and
# prints the ratios. The data lives in a fresh folder below /tmp and is deleted afterwards.
#   bench/run-file-copy.sh [build folder] [rounds]
set -eu
build=${1:-"$(dirname "$0")/../build"}
rounds=${2:-5}
cmake --build "$build" -j2 --target bench_file_copy >/dev/null
work=$(mktemp -d /tmp/drivlet-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
"$build/bench/bench_file_copy" "$work" "$rounds" 1024 20000
