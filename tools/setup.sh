#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian machine, then the npm test peer.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build clang libclang-rt-14-dev libgtest-dev libgmock-dev
          libbenchmark-dev qt6-base-dev imagemagick xvfb ccache libstb-dev zlib1g-dev python3)
# Node.js may come from outside Debian's packages on some machines; it only has to be there.
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)
tools/install-packages.sh "${packages[@]}"

if [ -f tests/peers/package.json ]; then
  (cd tests/peers && npm ci --no-audit --no-fund --loglevel=error)
fi
