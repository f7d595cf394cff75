#!/usr/bin/env bash
# Builds Quorvel with AddressSanitizer + UBSan and warnings as errors into build-test/,
# then runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DQUORVEL_WERROR=ON -DQUORVEL_SANITIZE=ON -DQUORVEL_BUILD_BENCH=ON
cmake --build build-test
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
cd build-test
ctest --output-on-failure -j"$(nproc)" "$@"
