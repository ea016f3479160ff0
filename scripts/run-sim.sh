#!/usr/bin/env bash
# Sets up, builds and runs quillet-sim: Quillet on a simulated phone, with the built-in default
# scenario unless arguments say otherwise (they are passed on to quillet-sim). It installs only
# what quillet-sim needs; the build's progress goes to stderr, the run's timeline to stdout.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "== setting up: a compiler, CMake, Ninja and two libraries (scripts/setup.sh sim)" >&2
scripts/setup.sh sim >&2
echo "== configuring build-sim" >&2
cmake -S . -B build-sim -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_TESTS=OFF -DQUILLET_BENCHMARKS=OFF \
  --log-level=WARNING >&2
echo "== building quillet-sim" >&2
cmake --build build-sim --target quillet-sim -j2 >&2
echo "== running" >&2
exec build-sim/sim/runner/quillet-sim "$@"
