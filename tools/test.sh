#!/usr/bin/env bash
# Sets everything up, builds, and runs every test. Usage: tools/test.sh [build-directory]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
build="${1:-build}"
# A compiler cache makes the repeated builds of CI and of day-to-day work cheap.
# Paths are hashed relative to the checkout, so every clone of the project shares the cache.
launcher=""; command -v ccache >/dev/null && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR=1
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $launcher ${VELLIX_CMAKE_ARGS:-}
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
