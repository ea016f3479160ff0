#!/usr/bin/env bash
# Sets up, builds and runs every test: the format and lint checks, the native suites under
# AddressSanitizer and UndefinedBehaviorSanitizer, the fuzzers for a bounded time, the default
# run under Valgrind, and the two Windows builds (x86_64 and i686, the phone's word size): their
# unit tests, quillet.exe itself end to end and the packages, under Wine, and the device table.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=${QUILLET_JOBS:-2}
export QUILLET_JOBS=$jobs

# Runs ctest and adds the tests it ran to the total printed at the end; a failure stops here.
passed=0
run_ctest() {
  local log
  log=$(mktemp)
  ctest "$@" | tee "$log"
  passed=$((passed + $(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)))
  rm -f "$log"
}

echo "== format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

echo "== native, sanitized"
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLET_SANITIZE=ON -DQUILLET_BENCHMARKS=OFF
cmake --build build-test -j"$jobs"
run_ctest --test-dir build-test --output-on-failure -j"$jobs"

echo "== lint (program code)"
TIDY_BUILD=build-test scripts/tidy.sh

echo "== fuzz"
FUZZ_SECONDS=${FUZZ_SECONDS:-30} scripts/fuzz.sh

echo "== valgrind: the default run"
scripts/valgrind-sim.sh >/dev/null

# One MinGW-w64 build: its Windows unit tests (and, at the device's word size, the device
# table), quillet.exe end to end, and its package, under Wine.
windows_build() {
  local toolchain=$1 build=$2
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain.cmake" -DQUILLET_TESTS=ON
  cmake --build "$build" -j"$jobs"
  run_ctest --test-dir "$build" -L win --output-on-failure -j"$jobs"
  run_ctest --test-dir "$build" -L e2e --output-on-failure
  cmake --build "$build" --target package
}

echo "== windows, x86_64: unit tests, quillet.exe end to end, and the package, under Wine"
windows_build mingw-w64-x86_64 build-win

echo "== windows, i686: the same under Wine's 32-bit support, and the device table"
windows_build mingw-w64-i686 build-win32

echo "total: $passed passed, 0 failed"
