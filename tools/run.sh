#!/usr/bin/env bash
# The main job: sets everything up, builds, makes the sample game directory, lists it and
# converts some of its textures with vellix-cli, saying what it does.
# Usage: tools/run.sh [build-directory]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
build="${1:-build}"
step() { printf '\n== %s\n' "$*"; }

step "Setting up"
tools/setup.sh
step "Building in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${VELLIX_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j "$(nproc)"

step "Making the sample game directory"
VELLIX_BUILD="$build" samples/make-samples.sh samples/out
cli="$root/$build/Vellix/Cli/vellix-cli"
[ -x "$cli" ] || cli="$build/Vellix/Cli/vellix-cli"
run() { echo "+ vellix-cli $*"; "$cli" "$@"; }
cd samples/out/cars

step "Listing the directory and its archive"
run list .
run list cars.dat --sort Width --descending
run info banner.srb
run dat list cars.dat

step "Converting"
run to-bmp CAR1.MIP wheel.mip fence.mip --all-levels --overwrite
run to-bmp cars.dat/FLAG.PBF --transparency colour --overwrite
run to-pbf fence.bmp --colours 4 --class transparent --overwrite
run info fence.pbf

step "A round trip through a PNG picture with real alpha"
run to-bmp fence.mip --format png --overwrite
convert fence.png -channel RGB -negate +channel fence.png  # the edit: an image editor's work
run from-bmp fence.mip --format png --overwrite
run info fence.mip
step "Done: the results are in samples/out/cars"

# --- Desktop program ---------------------------------------------------------------------------
# With a display, the main job ends by opening the sample directory in the desktop program.
if [ -n "${DISPLAY:-}" ]; then
  vellix="$root/$build/Vellix/Gui/vellix"
  [ -x "$vellix" ] || vellix="$build/Vellix/Gui/vellix"
  if [ -x "$vellix" ]; then
    step "Opening the sample directory in the desktop program (close its window to finish)"
    VELLIX_START_PATH="$(pwd)" "$vellix"
  fi
fi
