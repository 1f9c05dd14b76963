#!/usr/bin/env bash
# Runs the tests of the Windows cross build under Wine: every test program through CTest, then the
# end-to-end tests of the Linux build on vellix-cli.exe (on copies of the sample game directory).
# Usage: tools/test-windows.sh [windows-build] [linux-build]   (default: build-win and build)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-packages.sh wine wine64
windows="$(realpath "${1:-build-win}")"
linux="${2:-build}"
# The cross build takes Wine as its test runner when it is configured, perhaps before Wine was
# installed: configuring again finds it.
cmake "$windows" >/dev/null
export WINEDEBUG=-all
# A Wine setup of our own beside the build: a Wine server already running for another setup is
# left alone, and ours is stopped at the end.
export WINEPREFIX="$windows/wine"
mkdir -p "$WINEPREFIX"
# One lasting server for all the runs: without it every start costs seconds.
wineserver -p
trap 'wineserver -k' EXIT
# The first start of a setup starts Wine's services, which would keep the output of the program
# that started them open; so they start here, before the tests.
# Wine may fail while such a program ends (see tools/wine-run.sh); the tests then tell whether the
# setup is usable.
wineboot --init </dev/null >/dev/null 2>&1 || true
ctest --test-dir "$windows" --output-on-failure -j "$(nproc)"
VELLIX_CLI_COMMAND="$PWD/tools/wine-run.sh $windows/Vellix/Cli/vellix-cli.exe" \
  ctest --test-dir "$linux" -R '^CliTest\.' --output-on-failure -j "$(nproc)"
