#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs each for a bounded time from its seed corpus in fuzz/corpus/<target>/ (the scenario target
# also from every scenarios/*.json). Fails when a target crashes, leaks, hangs or breaks one of
# its checks; the input that did it is kept in build-fuzz/artifacts/.
#
#   scripts/fuzz.sh                  # every target, 30 s each (what CI runs)
#   FUZZ_SECONDS=300 scripts/fuzz.sh profile
#   scripts/fuzz.sh --long           # every target once for 10,000,000 inputs, however long
#   FUZZ_LONG_RUNS=1000000 scripts/fuzz.sh --long scenario
#
# The long mode is not for CI: it takes tens of minutes a target. It goes on to the next target
# after a finding, prints one line a target (inputs, time, inputs a second, findings) and keeps
# each target's whole log in build-fuzz/long/.
#
# Needs Debian's clang (clang-14) and libclang-rt-14-dev (libFuzzer and the sanitizer runtimes).
set -euo pipefail
cd "$(dirname "$0")/.."

long=0
if [ "${1:-}" = "--long" ]; then
  long=1
  shift
fi
seconds=${FUZZ_SECONDS:-30}
runs=${FUZZ_RUNS:-2000000}
long_runs=${FUZZ_LONG_RUNS:-10000000}
jobs=${QUILLET_JOBS:-2}
build=build-fuzz
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(profile command_line scenario)

cmake -S fuzz -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j"$jobs" --target "${targets[@]/#/fuzz_}"

# The seed folders of a target: its own, and for the scenario loader the shipped scenarios,
# copied afresh so that a new or changed scenario is a seed at once.
seeds_of() {
  local target=$1
  echo "fuzz/corpus/$target"
  if [ "$target" = scenario ]; then
    local shipped="$build/seeds/scenario"
    rm -rf "$shipped"
    mkdir -p "$shipped"
    cp scenarios/*.json "$shipped/"
    echo "$shipped"
  fi
}

# stat_of LOG NAME: one of libFuzzer's final statistics.
stat_of() {
  sed -n "s/^stat::$2: *//p" "$1" | tail -n 1
}

mkdir -p "$build/artifacts" "$build/long"
failed=0
for target in "${targets[@]}"; do
  # New inputs go to a working corpus in the build folder; the seeds in the repository stay
  # as they are.
  work="$build/corpus/$target"
  mkdir -p "$work"
  mapfile -t seeds < <(seeds_of "$target")
  if [ $long = 1 ]; then
    limits=(-runs="$long_runs")
    log="$build/long/fuzz_$target.log"
    echo "== fuzz_$target: $long_runs inputs (log: $log)"
  else
    limits=(-max_total_time="$seconds" -runs="$runs")
    log="$build/fuzz_$target.log"
    echo "== fuzz_$target: ${seconds} s, at most $runs runs"
  fi
  # libFuzzer's progress goes to a log; its final statistics are shown, and the whole log's end
  # when the target fails.
  start=$(date +%s.%N)
  status=0
  "$build/fuzz_$target" "${limits[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$target-" "$work" "${seeds[@]}" 2>"$log" || status=$?
  end=$(date +%s.%N)
  if [ $long = 1 ]; then
    inputs=$(stat_of "$log" number_of_executed_units)
    findings="no findings"
    if [ $status = 72 ]; then
      # libFuzzer's exit on an interrupt (Ctrl-C): the figures are those of the inputs run.
      findings="no findings, interrupted before the end"
      failed=1
    elif [ $status != 0 ]; then
      findings="FINDING (exit $status): $(grep -m1 -E '^==[0-9]+==ERROR|^SUMMARY|deadly signal|timeout|out-of-memory' "$log" || echo see log)"
      failed=1
    fi
    awk -v t="fuzz_$target" -v n="${inputs:-0}" -v s="$start" -v e="$end" -v f="$findings" \
      'BEGIN { d = e - s; printf "%s: %d inputs in %.0f s, %.0f inputs/s, %s\n", t, n, d, n / d, f }'
  elif [ $status != 0 ]; then
    tail -n 60 "$log"
    exit 1
  else
    grep -E '^(stat::|Done )' "$log" || tail -n 5 "$log"
  fi
done
exit $failed
