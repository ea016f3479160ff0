#!/usr/bin/env bash
# Runs quillet-sim's default scenario under Valgrind's memcheck, from a build without
# sanitizers: any invalid access, use of uninitialised memory or leak fails the run. The hook
# programs really start, as in the default scenario, but only quillet-sim itself is checked:
# the programs it starts, and the short-lived child that starts them, are not traced.
# Arguments are passed on to quillet-sim (a scenario file, --json, ...).
#
# Needs Debian's valgrind.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-valgrind

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_SANITIZE=OFF \
  -DQUILLET_TESTS=OFF -DQUILLET_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target quillet-sim -j"${QUILLET_JOBS:-2}" >/dev/null

exec valgrind --tool=memcheck --error-exitcode=1 --leak-check=full --show-leak-kinds=definite,indirect,possible \
  --errors-for-leak-kinds=definite,indirect,possible --track-origins=yes \
  --trace-children=no --child-silent-after-fork=yes \
  "$build/sim/runner/quillet-sim" "$@"
