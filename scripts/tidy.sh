#!/usr/bin/env bash
# Runs clang-tidy over the given files (default: the program code in src/), with the compile
# commands of a native build. The platform files that only Windows and the device compile (the
# desktop-only *_windows.cpp, and first_use*.cpp) are left to those builds.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TIDY_BUILD:-build-test}
[ -f "$build/compile_commands.json" ] || cmake -S . -B "$build" -G Ninja >/dev/null
files=("$@")
[ ${#files[@]} -gt 0 ] || mapfile -t files < <(git ls-files 'src/*.cpp' | grep -v -e '_windows\.cpp$' -e '^src/platform/first_use')
printf '%s\n' "${files[@]}" | xargs -P"${QUILLET_JOBS:-2}" -n4 clang-tidy -p "$build" --quiet
