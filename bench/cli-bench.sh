#!/usr/bin/env bash
# Times vellix-cli on a generated directory: listing 500 MIP files of 256 x 256 with nine levels
# (target under 0.5 s and 64 MB), writing every level of 200 of them to BMP files (target under
# 2 s), and making 200 MIP files with 16-colour palettes from BMP files of 256 x 256 (target
# under 4 s). Then the scale section: every level of all textures of folders of 200, 1,600 and
# 10,000 MIP files to BMP (time per texture at 10,000 within 1.3 times that at 200), and a list
# of a folder of 10,000 mixed files, MIP files and BMP files of 256 x 256 (target under 0.5 s and
# 64 MB). Last, -j 2 against -j 1 for to-mip with a palette of 200 BMP files of 256 x 256 and
# to-bmp --all-levels of 200 MIP files (close to twice as fast on two processors). Prints the
# figures: wall-clock time, processor time (user + system) and the load average at the start, as
# other work on the machine inflates the wall-clock times.
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

timed() { # runs the command, prints its wall-clock and processor (user + system) seconds
  local TIMEFORMAT='%R %U %S' status=0
  { time "$@" >/dev/null 2>"$work/errors" || status=$?; } 2>"$work/times"
  if [ "$status" -ne 0 ]; then # a refusal timed as a result would mislead
    echo "failed: $*: $(cat "$work/errors")" >&2
    exit 1
  fi
  awk '{printf "%.3f %.3f", $1, $2 + $3}' "$work/times"
}

shown() { # a result of timed as text
  awk '{printf "%6.3f s (processor %6.3f s)", $1, $2}' <<<"$1"
}

load() { # the load averages of the last 1, 5 and 15 minutes
  cut -d' ' -f1-3 /proc/loadavg
}

peak_memory() { # runs the command and prints its peak resident memory
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {printf "%.1f MB", $2 / 1024}'
  else
    echo "n/a"
  fi
}

at=$(load)
list_time=$(timed "$cli" list "$work/mips")
printf 'list of 500 MIP files:              %s (target 0.5 s), peak memory %s (target 64 MB), load %s\n' \
  "$(shown "$list_time")" "$(peak_memory "$cli" list "$work/mips")" "$at"

files=()
for i in $(seq -w 0 199); do files+=("$work/mips/tex_$i.mip"); done
at=$(load)
tobmp_time=$(timed "$cli" to-bmp "${files[@]}" --all-levels --transparency none --quiet)
printf 'to-bmp --all-levels of 200 files:   %s (target 2 s), load %s\n' "$(shown "$tobmp_time")" "$at"

at=$(load)
tomip_time=$(timed "$cli" to-mip "$work"/bmps/*.bmp --colours 16 --transparency none \
  --class opaque --overwrite --quiet)
printf 'to-mip, 16 colours, 200 BMP files:  %s (target 4 s), load %s\n' "$(shown "$tomip_time")" "$at"

# Scale. The folders hold hard links to one file each, so they cost no space.
mkdir -p "$work/small"
"$draw" "$work/small" 1 64 >/dev/null
"$cli" to-mip "$work/small/picture_000.bmp" --no-palette --bits 5,6,5,0 --class opaque --levels 7 \
  --transparency none --quiet
per_texture=()
per_texture_cpu=()
for count in 200 1600 10000; do
  dir="$work/scale-$count"
  mkdir -p "$dir"
  for ((i = 0; i < count; i++)); do ln "$work/small/picture_000.mip" "$dir/tex_$i.mip"; done
  at=$(load)
  result=$(timed "$cli" to-bmp "$dir"/*.mip --all-levels --transparency none --quiet)
  read -r elapsed cpu <<<"$result"
  per=$(echo "scale=3; 1000 * $elapsed / $count" | bc)
  per_cpu=$(echo "scale=3; 1000 * $cpu / $count" | bc)
  per_texture+=("$per")
  per_texture_cpu+=("$per_cpu")
  printf 'to-bmp --all-levels of %5d files:  %s, %6.2f ms per texture (processor %6.2f ms), load %s\n' \
    "$count" "$(shown "$result")" "$per" "$per_cpu" "$at"
  rm -rf "$dir"
done
printf 'per texture at 10,000 against 200:  %.2f times (processor %.2f times; target 1.3)\n' \
  "$(echo "scale=3; ${per_texture[2]} / ${per_texture[0]}" | bc)" \
  "$(echo "scale=3; ${per_texture_cpu[2]} / ${per_texture_cpu[0]}" | bc)"

mixed="$work/mixed"
mkdir -p "$mixed"
for ((i = 0; i < 5000; i++)); do
  ln "$work/seed.mip" "$mixed/tex_$i.mip"
  ln "$work/bmps/picture_001.bmp" "$mixed/pic_$i.bmp"
done
at=$(load)
list_time=$(timed "$cli" list "$mixed")
printf 'list of 10,000 mixed files:         %s (target 0.5 s), peak memory %s (target 64 MB), load %s\n' \
  "$(shown "$list_time")" "$(peak_memory "$cli" list "$mixed")" "$at"

# Threads. A MIP palette holds at most 16 colours (a larger one is refused), so the palette that
# every picture is reduced to and mapped onto has 16.
for jobs in 1 2; do
  at=$(load)
  t_mip=$(timed "$cli" to-mip "$work"/bmps/*.bmp --colours 16 --transparency none --class opaque \
    --overwrite --quiet -j "$jobs")
  t_bmp=$(timed "$cli" to-bmp "${files[@]}" --all-levels --transparency none --overwrite --quiet \
    -j "$jobs")
  printf -- '-j %d: to-mip --colours 16 of 200: %s, to-bmp --all-levels of 200: %s, load %s\n' \
    "$jobs" "$(shown "$t_mip")" "$(shown "$t_bmp")" "$at"
done
