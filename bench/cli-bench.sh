#!/usr/bin/env bash
# Times vellix-cli on a generated directory: listing 500 MIP files of 256 x 256 with nine levels
# (target under 0.5 s and 64 MB), writing every level of 200 of them to BMP files (target under
# 2 s), and making 200 MIP files with 16-colour palettes from BMP files of 256 x 256 (target
# under 4 s). Prints the figures.
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

list_time=$(seconds "$cli" list "$work/mips")
peak="n/a"
if [ -x /usr/bin/time ]; then
  peak="$(/usr/bin/time -v "$cli" list "$work/mips" 2>&1 >/dev/null |
          awk -F': ' '/Maximum resident/ {printf "%.1f MB", $2 / 1024}')"
fi
printf 'list of 500 MIP files:              %6.3f s (target 0.5 s), peak memory %s (target 64 MB)\n' \
  "$list_time" "$peak"

files=()
for i in $(seq -w 0 199); do files+=("$work/mips/tex_$i.mip"); done
tobmp_time=$(seconds "$cli" to-bmp "${files[@]}" --all-levels --transparency none --quiet)
printf 'to-bmp --all-levels of 200 files:   %6.3f s (target 2 s)\n' "$tobmp_time"

tomip_time=$(seconds "$cli" to-mip "$work"/bmps/*.bmp --colours 16 --transparency none \
  --class opaque --overwrite --quiet)
printf 'to-mip, 16 colours, 200 BMP files:  %6.3f s (target 4 s)\n' "$tomip_time"
