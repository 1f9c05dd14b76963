#!/usr/bin/env bash
# Runs the tests of the Windows cross build under Wine: every test program through CTest, then the
# end-to-end tests of the Linux build on vellix-cli.exe (on copies of the sample game directory).
# Usage: tools/test-windows.sh [windows-build] [linux-build]   (default: build-win and build)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-packages.sh wine64
windows="$(realpath "${1:-build-win}")"
linux="${2:-build}"
export WINEDEBUG=-all
# One lasting server for all the runs: without it every start costs seconds.
wineserver -p 2>/dev/null || true  # one may already be running
trap 'wineserver -k' EXIT
ctest --test-dir "$windows" --output-on-failure -j "$(nproc)"
VELLIX_CLI_COMMAND="wine $windows/Vellix/Cli/vellix-cli.exe" \
  ctest --test-dir "$linux" -R '^CliTest\.' --output-on-failure -j "$(nproc)"
