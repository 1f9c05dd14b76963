#!/usr/bin/env bash
# Makes a small sample game directory, OUTPUT/cars (default OUTPUT: samples/out), from computed
# pictures: loose MIP, PBF and SRB files in several pixel formats (palettised ones too), the
# directory's archive cars.dat holding them and further members, and a .trk file whose signature
# marks the directory as one of the family's.
#
# Usage: samples/make-samples.sh [OUTPUT]   (VELLIX_BUILD: the build directory, default build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Both may be given relative to the caller's directory; the script changes directory later.
output="$(mkdir -p "${1:-$root/samples/out}" && cd "${1:-$root/samples/out}" && pwd)"
build="$(cd "${VELLIX_BUILD:-$root/build}" && pwd)"
cli="$build/Vellix/Cli/vellix-cli"
draw="$build/Vellix/Cli/vellix-draw-samples"
if [ ! -x "$cli" ] || [ ! -x "$draw" ]; then
  cmake --build "$build" --target vellix-cli vellix-draw-samples
fi

game="$output/cars"
rm -rf "$game"
mkdir -p "$game"
run() { echo "+ vellix-cli $*"; "$cli" "$@"; }

# The track file's signature ("KART", then 3000) makes the directory one of the family's.
printf 'KART\270\013\000\000' > "$game/TRACK.TRK"
printf 'sample track data\n' >> "$game/TRACK.TRK"

"$draw" "$game" > /dev/null
cd "$game"
# Members that the archive keeps and the directory does not: made first, packed, then removed.
run to-mip grass.bmp --bits 5,6,5,0 --class opaque --no-palette --transparency none
run to-pbf banner.bmp --bits 5,5,5,1 --class transparent --colours 4 --transparency none
mv grass.mip GRASS2.MIP
mv banner.pbf FLAG.PBF
# Loose files in several formats.
run to-mip checker.bmp --colours 2 --class opaque --transparency none --levels 4
run to-mip sky.bmp --bits 5,6,5,0 --class opaque --no-palette --transparency none --repeat both
run to-mip wheel.bmp --bits 4,4,4,4 --no-palette --transparency separate
run to-mip fence.bmp --bits 5,5,5,1 --class transparent --colours 8 --individual-palettes \
  --repeat horizontal
run to-pbf grass.bmp --bits 8,8,8,0 --class opaque --no-palette --transparency none
run to-pbf checker.bmp --colours 2 --class opaque --transparency none
run to-srb banner.bmp --bits 5,6,5,0 --class opaque --no-palette --transparency none \
  --width 4 --height 1 --centre-y 0
run to-srb fence.bmp --bits 5,5,5,1 --class transparent --colours 8 --width 2 --height 1
mv checker.mip CAR1.MIP
mv grass.pbf ROAD.PBF

run dat build . --quiet
rm -f GRASS2.MIP FLAG.PBF ./*.bmp
echo "Sample game directory: $game"
