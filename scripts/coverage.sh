#!/usr/bin/env bash
# Measures how much of the program code (src/) the native suites run: a gcc --coverage build in
# build-cov (or $COVERAGE_BUILD), every native test, and gcovr's count of the lines and branches
# run. The branches of the compiler's exception edges, and those it marks unreachable, are left
# out. Not part of scripts/test.sh: it is a measurement (docs/measurements.md), not a check.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh coverage
build=${COVERAGE_BUILD:-build-cov}
jobs=${QUILLET_JOBS:-2}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLET_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build" -j"$jobs"
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" -j"$jobs" --output-on-failure >"$build/coverage-tests.log"
gcovr -r . "$build" --filter 'src/' --exclude-throw-branches --exclude-unreachable-branches \
  -j "$jobs" --print-summary -o "$build/coverage.txt"
