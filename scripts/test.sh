#!/usr/bin/env bash
# Builds with warnings as errors and runs every test twice: in an optimised
# build and under AddressSanitizer and UndefinedBehaviorSanitizer; the tests
# of work on several threads also under ThreadSanitizer; the
# benchmark runs once at a small size (a smoke test: nothing about time is
# asserted).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

# Configured exactly as scripts/demo.sh configures it: the two share this build.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_WERROR=ON >/dev/null
cmake --build build/release -j"$jobs"
(cd build/release && ctest --output-on-failure -j"$jobs")
build/release/bench/jwwbench --smoke >/dev/null

cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DQUILLMARK_WERROR=ON -DQUILLMARK_SANITIZE=ON >/dev/null
cmake --build build/asan -j"$jobs"
(cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j"$jobs")
# The tests of work on several threads (conversions at once, the window's
# inspections, pictures and batch), under ThreadSanitizer.
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DQUILLMARK_WERROR=ON -DQUILLMARK_TSAN=ON >/dev/null
threaded=(concurrency_test inspect_test rows_test preview_test)
cmake --build build/tsan -j"$jobs" --target "${threaded[@]}"
for t in "${threaded[@]}"; do TSAN_OPTIONS=halt_on_error=1 "build/tsan/tests/$t"; done
echo "All tests passed."
