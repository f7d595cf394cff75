#!/usr/bin/env bash
# Builds Quorvel into build/ and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_BUILD_BENCH=OFF
cmake --build build
exec build/bin/quorvel "$@"
