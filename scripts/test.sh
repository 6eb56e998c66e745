#!/usr/bin/env bash
# Runs every test: all of them (the GUI's too) in one build under ASan and UBSan, the stream
# reader's fuzzer for 60 seconds, and the programs whose tests run worker threads under
# ThreadSanitizer in a build without the GUI (so nothing outside the GUI can lean on Qt).
# The program for use is the set-up's build/; this builds only what it tests.
set -euo pipefail
cd "$(dirname "$0")/.."

# The code under test at -O1 with line tables, the test programs at -O0 (see tests/CMakeLists.txt).
CC=clang CXX=clang++ cmake -S . -B build-check -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DDRIVLET_BUILD_BENCH=OFF -DDRIVLET_SANITIZE=ON >/dev/null
cmake --build build-check -j2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-check --output-on-failure -j2

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
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

# The workers and what owns them, under ThreadSanitizer: only these programs (and the command-line
# program, to show the build without Qt links) are built, and the tests run two at a time.
tsan_tests="test_engine test_backup test_restore test_sync test_launch test_scheduling"
CC=clang CXX=clang++ cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DDRIVLET_BUILD_GUI=OFF -DDRIVLET_BUILD_BENCH=OFF \
  -DDRIVLET_SANITIZE_THREAD=ON >/dev/null
# shellcheck disable=SC2086
cmake --build build-tsan -j2 --target $tsan_tests drivlet-cli
printf '%s\n' $tsan_tests | TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  xargs -P2 -I{} sh -c 'build-tsan/tests/{} --gtest_brief=1 >build-tsan/{}.log 2>&1 || { tail -80 build-tsan/{}.log; exit 1; }'
