#!/usr/bin/env bash
# Builds every fuzz target with clang and runs each on a copy of its seed corpus for a bounded time.
# Usage: tools/run-fuzzers.sh [build-directory]   (FUZZ_SECONDS per target, default 30)
# Fails on the first target that crashes; the crash input is left in the build directory.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-fuzz}"
seconds="${FUZZ_SECONDS:-30}"

launcher=""; command -v ccache >/dev/null && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR=1
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo $launcher \
  -DVELLIX_FUZZ=ON -DVELLIX_GUI=OFF -DVELLIX_BENCH=OFF >/dev/null
targets=()
for source in fuzz/*Fuzz.cpp; do
  [ -e "$source" ] || continue
  targets+=("$(basename "$source" .cpp)")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "No fuzz targets"
  exit 0
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
for target in "${targets[@]}"; do
  corpus="$work/$target"
  mkdir -p "$corpus"
  if [ -d "fuzz/corpus/$target" ]; then
    cp -R "fuzz/corpus/$target/." "$corpus/"
  fi
  artifacts="$build/fuzz-artifacts/$target"
  mkdir -p "$artifacts"
  echo "== $target for ${seconds}s"
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -max_len=65536 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" \
       >"$artifacts/log.txt" 2>&1; then
    tail -n 40 "$artifacts/log.txt"
    echo "FAILED: $target (inputs in $artifacts)"
    failed=1
  else
    grep -E "stat::number_of_executed_units|Done" "$artifacts/log.txt" | tail -n 2 || true
  fi
done
exit "$failed"
