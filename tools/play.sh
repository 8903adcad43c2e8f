#!/usr/bin/env bash
# Installs what is missing, builds Tarnwick and starts it. Arguments go to the game.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
./tools/setup.sh
mkdir -p build
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > build.configure.log 2>&1 \
  || { cat build.configure.log; exit 1; }
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target tarnwick
exec ./build/tarnwick "$@"
