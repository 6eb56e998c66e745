#!/usr/bin/env bash
# Runs every test: the main build, the stream reader's fuzzer for 60 seconds, and the tests again
# under ASan/UBSan in a build without the GUI (so nothing outside the GUI can lean on Qt).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --build build -j2
ctest --test-dir build --output-on-failure -j2

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDRIVLET_FUZZ=ON -DDRIVLET_SANITIZE=ON -DDRIVLET_BUILD_GUI=OFF -DDRIVLET_BUILD_TESTS=OFF \
  -DDRIVLET_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2 --target fuzz_stream fuzz_stream_seeds
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
build-fuzz/fuzz/fuzz_stream_seeds "$corpus/seeds"
mkdir -p "$corpus/run"
build-fuzz/fuzz/fuzz_stream -max_total_time=60 -timeout=10 -rss_limit_mb=2048 \
  "$corpus/run" "$corpus/seeds" 2>"$corpus/log" || { tail -50 "$corpus/log"; exit 1; }
grep -E '^Done [0-9]+ runs' "$corpus/log"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDRIVLET_BUILD_GUI=OFF \
  -DDRIVLET_BUILD_BENCH=OFF -DDRIVLET_SANITIZE=ON >/dev/null
cmake --build build-asan -j2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j2

