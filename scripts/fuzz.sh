#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs each for a bounded time from its seed corpus in fuzz/corpus/<target>/. Fails when a
# target crashes, leaks or breaks one of its checks; the input that did it is kept in
# build-fuzz/artifacts/.
#
#   scripts/fuzz.sh                  # every target, 30 s each
#   FUZZ_SECONDS=300 scripts/fuzz.sh profile
#
# Needs Debian's clang (clang-14) and libclang-rt-14-dev (libFuzzer and the sanitizer runtimes).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-30}
runs=${FUZZ_RUNS:-2000000}
jobs=${QUILLET_JOBS:-2}
build=build-fuzz
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(profile command_line)

cmake -S fuzz -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j"$jobs" --target "${targets[@]/#/fuzz_}"

mkdir -p "$build/artifacts"
for target in "${targets[@]}"; do
  echo "== fuzz_$target: ${seconds} s, at most $runs runs"
  # New inputs go to a working corpus in the build folder; the seeds in the repository stay
  # as they are.
  work="$build/corpus/$target"
  mkdir -p "$work"
  # libFuzzer's progress goes to a log; its final statistics are shown, and the whole log's end
  # when the target fails.
  log="$build/fuzz_$target.log"
  if ! "$build/fuzz_$target" -max_total_time="$seconds" -runs="$runs" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
    "$work" "fuzz/corpus/$target" 2>"$log"; then
    tail -n 60 "$log"
    exit 1
  fi
  grep -E '^(stat::|Done )' "$log" || tail -n 5 "$log"
done
