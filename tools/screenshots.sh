#!/usr/bin/env bash
# Pictures the desktop program on a virtual display: the sample game directory opened in the tree
# and expanded, with a texture selected, in the details and the large-icon styles, and a
# palettised texture tiled and zoomed in the preview. Writes screenshot-details.png,
# screenshot-icons.png and screenshot-preview.png into OUTPUT (default docs/).
#
# Usage: tools/screenshots.sh [OUTPUT]   (VELLIX_BUILD: the build directory, default build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
output="$(mkdir -p "${1:-$root/docs}" && cd "${1:-$root/docs}" && pwd)"
build="$(cd "${VELLIX_BUILD:-$root/build}" && pwd)"
program="$build/Vellix/Gui/vellix"
[ -x "$program" ] || cmake --build "$build" --target vellix

# A scratch home holding only the samples, so that the tree's first place shows nothing else, and
# scratch settings, so that the user's stay as they are.
home="$(mktemp -d /tmp/vellix-home.XXXXXX)"
config="$(mktemp -d)"
trap 'rm -rf "$home" "$config"' EXIT
VELLIX_BUILD="$build" "$root/samples/make-samples.sh" "$home" > /dev/null

# style: 0 large icons, 1 details; the file to select; the remembered settings to start with.
shoot() {
  local style="$1" name="$2" file="$3" settings="$4"
  mkdir -p "$config/Ostrel"
  printf '[Settings]\n%b' "$settings" > "$config/Ostrel/Vellix.conf"
  HOME="$home" XDG_CONFIG_HOME="$config" VELLIX_START_PATH="$home/cars" \
    VELLIX_SELECT_FILE="$file" \
    VELLIX_VIEW_STYLE="$style" VELLIX_SCREENSHOT="$output/screenshot-$name.png" \
    xvfb-run -a -s "-screen 0 1280x800x24" "$program"
  echo "$output/screenshot-$name.png"
}
shoot 1 details CAR1.MIP ""
shoot 0 icons CAR1.MIP "ThumbnailSize=64\n"
# Zoom 4x (3), tiled along its horizontal repeat, over the checkerboard.
shoot 1 preview fence.mip "PreviewZoom=3\nPreviewTile=1\n"
