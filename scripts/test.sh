#!/usr/bin/env bash
# Sets up, builds and runs every test: the format and lint checks, the native suites under
# AddressSanitizer and UndefinedBehaviorSanitizer, the fuzzers for a bounded time, the default
# run under Valgrind, and the two Windows builds (x86_64 and i686, the phone's word size): their
# unit tests, quillet.exe itself end to end and the packages, under Wine, and the device table.
set -euo pipefail
cd "$(dirname "$0")/.."
# The expected timelines are compared here, never written: an update asked for by the caller's
# environment would rewrite them and pass.
unset QUILLET_UPDATE_TIMELINES
scripts/setup.sh
jobs=${QUILLET_JOBS:-2}
export QUILLET_JOBS=$jobs

# Tests that may be skipped (ctest names, as extended regular expressions). Any other skip fails
# the run: a test that skipped itself proves no more than one that was never registered. The one
# other skip is the machine's own answer: where it runs no 32-bit Windows program, the i686
# Windows suites are not run, and the total says so (below).
declared_skips=()

# The tests each suite holds today, as floors: a suite that drops out, because a tool it needs
# was not found or its folder was left out, finds fewer. Raise them as tests are added.
native_tests=496
win_tests_x86_64=16
win_tests_i686=17
# One e2e case per case the driver knows, and the prefix they share.
e2e_tests=$(($(python3 wine/e2e/run_e2e.py --list | wc -l) + 1))

# run_suite NAME BUILD MINIMUM LABELS [CTEST ARGUMENTS...]: runs ctest in BUILD and adds what it
# ran to the totals printed at the end. Fails when a test fails, when one of LABELS (blank
# separated) carries no test, when fewer than MINIMUM tests are found, and on any skip that is
# not declared above.
passed=0
skipped=0
run_suite() {
  local name=$1 build=$2 minimum=$3 labels=$4
  shift 4
  require_labels "$name" "$build" "$labels"
  local junit found ran skips
  junit=$(mktemp --suffix=.xml)
  ctest --test-dir "$build" --no-tests=error --output-junit "$junit" "$@"
  { read -r found ran; skips=$(cat); } < <(ctest_tally "$junit")
  rm -f "$junit"
  if [ "$found" -lt "$minimum" ]; then
    echo "$name: $found tests found, at least $minimum expected" >&2
    exit 1
  fi
  local skip pattern declared
  for skip in $skips; do
    declared=no
    for pattern in "${declared_skips[@]}"; do
      if [[ $skip =~ ^($pattern)$ ]]; then declared=yes; fi
    done
    if [ "$declared" = no ]; then
      echo "$name: $skip was skipped, and no such skip is declared" >&2
      exit 1
    fi
  done
  passed=$((passed + ran))
  skipped=$((skipped + found - ran))
  echo "$name: $ran passed, $((found - ran)) skipped (declared), of $found found"
}

# require_labels NAME BUILD LABELS: fails when one of LABELS (blank separated) carries no test
# registered in BUILD.
require_labels() {
  local name=$1 build=$2 labels=$3
  local registered label
  registered=$(ctest --test-dir "$build" --print-labels | sed -n 's/^  *//p')
  for label in $labels; do
    if ! grep -qx -- "$label" <<<"$registered"; then
      echo "$name: no test carries the label \"$label\" in $build" >&2
      exit 1
    fi
  done
}

# From ctest's JUnit file, on one line the number of tests found and the number that ran and
# passed; then the names of those skipped, one a line. A GoogleTest case that skipped itself is
# counted as skipped even where ctest took it for passed.
ctest_tally() {
  python3 -c '
import sys
import xml.etree.ElementTree as ElementTree

found, ran, skips = 0, 0, []
for case in ElementTree.parse(sys.argv[1]).getroot().iter("testcase"):
    found += 1
    if case.get("status") == "run" and "[  SKIPPED ]" not in (case.findtext("system-out") or ""):
        ran += 1
    elif case.get("status") != "fail":
        skips.append(case.get("name"))
print(found, ran)
print("\n".join(skips))
' "$1"
}

echo "== format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

echo "== native, sanitized"
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLET_SANITIZE=ON -DQUILLET_BENCHMARKS=OFF
cmake --build build-test -j"$jobs"
run_suite native build-test "$native_tests" "win" --output-on-failure -j"$jobs"

echo "== lint (program code)"
TIDY_BUILD=build-test scripts/tidy.sh

echo "== fuzz"
FUZZ_SECONDS=${FUZZ_SECONDS:-30} scripts/fuzz.sh

echo "== valgrind: the default run"
scripts/valgrind-sim.sh >/dev/null

echo "== diagrams: every scenario's, the default's and the docs' drawn by Mermaid"
scripts/render-diagrams.sh

# One MinGW-w64 build, configured and built. QUILLET_REQUIRE_SUITES makes a suite that could not
# be registered (no Wine, no Python) stop the configuration.
windows_build() {
  local toolchain=$1 build=$2
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain.cmake" -DQUILLET_TESTS=ON -DQUILLET_REQUIRE_SUITES=ON
  cmake --build "$build" -j"$jobs"
}

# Its Windows unit tests (and, at the device's word size, the device table), quillet.exe end to
# end, and its package, under Wine.
windows_suites() {
  local toolchain=$1 build=$2 win_tests=$3 win_labels=$4
  run_suite "$toolchain, unit" "$build" "$win_tests" "$win_labels" -L win --output-on-failure -j"$jobs"
  run_suite "$toolchain, e2e" "$build" "$e2e_tests" "e2e hardening" -L e2e --output-on-failure
  cmake --build "$build" --target package
}

# skip_suite NAME BUILD MINIMUM LABELS [CTEST ARGUMENTS...]: counts the tests that ctest would
# select in BUILD as skipped, without running them, and leaves their number in $found. They
# must still be registered: fewer than MINIMUM, or a label of LABELS that no test carries,
# fails as it does for a suite that runs.
skip_suite() {
  local name=$1 build=$2 minimum=$3 labels=$4
  shift 4
  require_labels "$name" "$build" "$labels"
  found=$(ctest --test-dir "$build" -N "$@" | sed -n 's/^Total Tests: *//p')
  if [ "${found:-0}" -lt "$minimum" ]; then
    echo "$name: ${found:-0} tests registered, at least $minimum expected" >&2
    exit 1
  fi
  skipped=$((skipped + found))
  echo "$name: 0 passed, $found skipped (declared: see below), of $found found"
}

# The Wine loader a MinGW-w64 build runs its tests with.
build_loader() {
  sed -n 's/^QUILLET_WINE:FILEPATH=//p' "$1/CMakeCache.txt"
}

echo "== windows, x86_64: unit tests, quillet.exe end to end, and the package, under Wine"
windows_build mingw-w64-x86_64 build-win
windows_suites mingw-w64-x86_64 build-win "$win_tests_x86_64" "win package"

echo "== windows, i686: the same under Wine's 32-bit support, and the device table"
windows_build mingw-w64-i686 build-win32
# Whether this machine runs 32-bit Windows programs under Wine is the kernel's to say, and some
# kernels run no 32-bit code at all. The probe asks by starting one; its two answers are first
# checked where they are known on any machine: a loader that can't be started answers no, and
# the x86_64 build's probe program, which every machine here runs, answers yes.
probe_dir=build-win32/wine-probe
rm -rf "$probe_dir"
mkdir -p "$probe_dir"
touch "$probe_dir/not-a-loader"
if probe=$(scripts/wine-probe.sh "$probe_dir/not-a-loader" "$probe_dir/unmade" build-win32/wine/probe.exe); then
  echo "the Wine probe answered yes for a loader that can't be started: $probe" >&2
  exit 1
fi
echo "the Wine probe, with a loader that can't be started, answers no: $probe"
if ! probe=$(scripts/wine-probe.sh "$(build_loader build-win)" "$probe_dir/prefix" build-win/wine/probe.exe); then
  echo "the Wine probe can't run even the x86_64 build's probe program, so Wine itself fails here: $probe" >&2
  exit 1
fi
echo "the Wine probe, with the x86_64 build's program, answers yes: $probe"
not_proven=()
if probe=$(scripts/wine-probe.sh "$(build_loader build-win32)" "$probe_dir/prefix" build-win32/wine/probe.exe); then
  echo "32-bit Windows programs run on this machine: $probe"
  windows_suites mingw-w64-i686 build-win32 "$win_tests_i686" "win package device"
else
  echo "32-bit Windows programs do not run here: $probe"
  echo "so the i686 build's Windows unit tests and end-to-end suite are not run; its package check and device table are"
  run_suite "mingw-w64-i686, package and device table" build-win32 2 "win package device" \
    -L 'package|device' --output-on-failure -j"$jobs"
  skip_suite "mingw-w64-i686, unit" build-win32 "$((win_tests_i686 - 2))" win -L win -LE 'package|device'
  unit=$found
  skip_suite "mingw-w64-i686, e2e" build-win32 "$e2e_tests" "e2e hardening" -L e2e
  not_proven+=("the 32-bit build under Wine: $unit Windows unit tests and $found end-to-end cases were not run, because this machine runs no 32-bit Windows program ($probe)")
  cmake --build build-win32 --target package
fi

echo "== the expected timelines are as committed"
git diff --exit-code -- 'scenarios/*.timeline'
untracked=$(git ls-files --others --exclude-standard -- 'scenarios/*.timeline')
if [ -n "$untracked" ]; then
  echo "timelines written by the run: $untracked" >&2
  exit 1
fi

for what in "${not_proven[@]}"; do
  echo "not proven on this machine: $what"
done
echo "total: $passed passed, $skipped skipped (declared), 0 failed"
