#!/usr/bin/env bash
# Draws Vellix/Gui/vellix.ico, the program file's icon on Windows, with ImageMagick: the framed
# chequer of texture colours that the desktop program draws for its windows, at the sizes Windows
# shows. Usage: tools/make-icon.sh
set -euo pipefail
cd "$(dirname "$0")/.."
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
pictures=()
for size in 16 32 48 256; do
  cell=$((size / 4))
  pen=$((size / 16 > 1 ? size / 16 : 1))
  args=(-size "${size}x${size}" "xc:rgb(240,200,60)" -fill "rgb(30,110,40)")
  for row in 0 1 2 3; do
    for column in 0 1 2 3; do
      if [ $(((row + column) % 2)) -eq 1 ]; then
        x=$((column * cell)); y=$((row * cell))
        args+=(-draw "rectangle $x,$y $((x + cell - 1)),$((y + cell - 1))")
      fi
    done
  done
  args+=(-fill none -stroke black -strokewidth "$pen" -draw "rectangle 0,0 $((size - 1)),$((size - 1))")
  convert "${args[@]}" "png32:$work/$size.png"
  pictures+=("$work/$size.png")
done
convert "${pictures[@]}" Vellix/Gui/vellix.ico
