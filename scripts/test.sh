#!/usr/bin/env bash
# Sets up, builds and runs every test: the native suites under AddressSanitizer and
# UndefinedBehaviorSanitizer, the format check, and quillet.exe itself under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=${QUILLET_JOBS:-2}

echo "== format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

echo "== native, sanitized"
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLET_SANITIZE=ON -DQUILLET_BENCHMARKS=OFF
cmake --build build-test -j"$jobs"
ctest --test-dir build-test --output-on-failure -j"$jobs"

echo "== windows: quillet.exe and its stand-ins, end to end under Wine"
cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DQUILLET_TESTS=OFF
cmake --build build-win -j"$jobs"
ctest --test-dir build-win -L e2e --output-on-failure
