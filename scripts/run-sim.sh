#!/usr/bin/env bash
# Sets up, builds and runs quillet-sim: Quillet on a simulated phone, with the built-in default
# scenario unless arguments say otherwise (they are passed on to quillet-sim).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-sim -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_TESTS=OFF -DQUILLET_BENCHMARKS=OFF >/dev/null
cmake --build build-sim --target quillet-sim -j2 >/dev/null
exec build-sim/sim/runner/quillet-sim "$@"
