#!/usr/bin/env bash
# Cross-builds Vellix for 64-bit Windows with Debian's mingw-w64: the libraries, vellix-cli.exe and
# every test program that needs no desktop, all statically linked so that no DLLs go beside them.
# Then packs vellix-cli.exe with the README (and the licence, when there is one) into
# BUILD/vellix-cli-VERSION-windows-x64.zip.
# Usage: tools/build-windows.sh [build-directory]   (default: build-win)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-packages.sh cmake ninja-build g++-mingw-w64-x86-64-posix googletest libz-mingw-w64-dev \
  libstb-dev
build="${1:-build-win}"
launcher=""; command -v ccache >/dev/null && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLIX_BENCH=OFF -DVELLIX_GUI=OFF $launcher
cmake --build "$build" -j "$(nproc)"

version="$(sed -n 's/^project(Vellix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
package="vellix-cli-$version-windows-x64"
staging="$build/$package"
rm -rf "$staging" "$build/$package.zip"
mkdir -p "$staging"
cp "$build/Vellix/Cli/vellix-cli.exe" README.md "$staging/"
for licence in LICENSE LICENSE.txt LICENSE.md COPYING; do
  [ -f "$licence" ] && cp "$licence" "$staging/"
done
x86_64-w64-mingw32-strip "$staging/vellix-cli.exe"
(cd "$build" && cmake -E tar cf "$package.zip" --format=zip "$package")
echo "Packed $build/$package.zip"
