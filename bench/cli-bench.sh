#!/usr/bin/env bash
# Times vellix-cli on a generated directory: listing 500 MIP files of 256 x 256 with nine levels
# (target under 0.5 s and 64 MB), writing every level of 200 of them to BMP files (target under
# 2 s), and making 200 MIP files with 16-colour palettes from BMP files of 256 x 256 (target
# under 4 s). Then the scale section: every level of all textures of folders of 200, 1,600 and
# 10,000 MIP files to BMP (time per texture at 10,000 within 1.3 times that at 200), and a list
# of a folder of 10,000 mixed files, MIP files and BMP files of 256 x 256 (target under 0.5 s and
# 64 MB). Last, -j 2 against -j 1 for to-mip --colours 256 of 200 BMP files of 256 x 256 and
# to-bmp --all-levels of 200 MIP files (close to twice as fast on two processors). Prints the
# figures.
# Usage: bench/cli-bench.sh [build-directory]   (a release-like build: RelWithDebInfo or Release)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
cli="$build/Vellix/Cli/vellix-cli"
draw="$build/Vellix/Cli/vellix-draw-samples"
cmake --build "$build" --target vellix-cli vellix-draw-samples >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/mips" "$work/bmps"

# 500 MIP files: one made by the tool, copied under 500 names.
"$draw" "$work/bmps" 200 256 >/dev/null
"$cli" to-mip "$work/bmps/picture_000.bmp" --no-palette --bits 5,6,5,0 --class opaque --levels 9 \
  --transparency none --quiet
mv "$work/bmps/picture_000.mip" "$work/seed.mip"
"$cli" info "$work/seed.mip" | grep -c '^  - width' | { read -r levels; echo "seed MIP: $levels levels"; }
for i in $(seq -w 0 499); do cp "$work/seed.mip" "$work/mips/tex_$i.mip"; done

seconds() { # runs the command and prints its wall-clock time in seconds
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

peak_memory() { # runs the command and prints its peak resident memory
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {printf "%.1f MB", $2 / 1024}'
  else
    echo "n/a"
  fi
}

list_time=$(seconds "$cli" list "$work/mips")
printf 'list of 500 MIP files:              %6.3f s (target 0.5 s), peak memory %s (target 64 MB)\n' \
  "$list_time" "$(peak_memory "$cli" list "$work/mips")"

files=()
for i in $(seq -w 0 199); do files+=("$work/mips/tex_$i.mip"); done
tobmp_time=$(seconds "$cli" to-bmp "${files[@]}" --all-levels --transparency none --quiet)
printf 'to-bmp --all-levels of 200 files:   %6.3f s (target 2 s)\n' "$tobmp_time"

tomip_time=$(seconds "$cli" to-mip "$work"/bmps/*.bmp --colours 16 --transparency none \
  --class opaque --overwrite --quiet)
printf 'to-mip, 16 colours, 200 BMP files:  %6.3f s (target 4 s)\n' "$tomip_time"

# Scale. The folders hold hard links to one file each, so they cost no space.
mkdir -p "$work/small"
"$draw" "$work/small" 1 64 >/dev/null
"$cli" to-mip "$work/small/picture_000.bmp" --no-palette --bits 5,6,5,0 --class opaque --levels 7 \
  --transparency none --quiet
per_texture=()
for count in 200 1600 10000; do
  dir="$work/scale-$count"
  mkdir -p "$dir"
  for ((i = 0; i < count; i++)); do ln "$work/small/picture_000.mip" "$dir/tex_$i.mip"; done
  elapsed=$(seconds "$cli" to-bmp "$dir"/*.mip --all-levels --transparency none --quiet)
  per=$(echo "scale=3; 1000 * $elapsed / $count" | bc)
  per_texture+=("$per")
  printf 'to-bmp --all-levels of %5d files:  %7.3f s, %6.2f ms per texture\n' "$count" "$elapsed" "$per"
  rm -rf "$dir"
done
printf 'per texture at 10,000 against 200:  %.2f times (target 1.3)\n' \
  "$(echo "scale=3; ${per_texture[2]} / ${per_texture[0]}" | bc)"

mixed="$work/mixed"
mkdir -p "$mixed"
for ((i = 0; i < 5000; i++)); do
  ln "$work/seed.mip" "$mixed/tex_$i.mip"
  ln "$work/bmps/picture_001.bmp" "$mixed/pic_$i.bmp"
done
list_time=$(seconds "$cli" list "$mixed")
printf 'list of 10,000 mixed files:         %6.3f s (target 0.5 s), peak memory %s (target 64 MB)\n' \
  "$list_time" "$(peak_memory "$cli" list "$mixed")"

# Threads.
for jobs in 1 2; do
  t_mip=$(seconds "$cli" to-mip "$work"/bmps/*.bmp --colours 256 --transparency none --class opaque \
    --overwrite --quiet -j "$jobs")
  t_bmp=$(seconds "$cli" to-bmp "${files[@]}" --all-levels --transparency none --overwrite --quiet \
    -j "$jobs")
  printf -- '-j %d: to-mip --colours 256 of 200: %6.3f s, to-bmp --all-levels of 200: %6.3f s\n' \
    "$jobs" "$t_mip" "$t_bmp"
done
