#!/usr/bin/env bash
# Sets everything up, builds, and runs every test. Usage: tools/test.sh [build-directory]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
build="${1:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${VELLIX_CMAKE_ARGS:-}
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
