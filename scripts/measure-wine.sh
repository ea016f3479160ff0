#!/usr/bin/env bash
# Measures quillet.exe under Wine, against the stand-ins of wine/:
#   - the time from quillet.exe's start to the press reaching the Messaging stand-in's bar, beside
#     that of pressonly.exe (a program built the same way that only finds the bar and presses
#     it) and of pressonly.exe /window (which first makes the hidden window quillet.exe makes
#     before its press), in interleaved rounds of one run, and quillet.exe's ratio to each;
#   - the time from the phone stand-in's removal of Status15 to the start of the send hook;
#   - the CPU time quillet.exe uses while it waits 10 s for a phone that never finishes;
#   - quillet.exe's size beside a minimal Win32 program built the same way.
# Both times are taken from the stand-ins' records, which share the Linux clock.
#
#   scripts/measure-wine.sh            # 5 interleaved rounds of the timed runs, x86_64
#   ROUNDS=8 scripts/measure-wine.sh
#   ARCH=i686 scripts/measure-wine.sh  # the 32-bit build, under Wine's 32-bit support
#   EARLIER=old/quillet.exe scripts/measure-wine.sh  # also an earlier build, in the same rounds
set -euo pipefail
cd "$(dirname "$0")/.."
arch=${ARCH:-x86_64}
case "$arch" in
  x86_64) suffix="" ;;
  i686) suffix="32" ;;
  *) echo "ARCH is x86_64 or i686" >&2; exit 64 ;;
esac
build=${QUILLET_MEASURE_BUILD:-build-wine-measure$suffix}
rounds=${ROUNDS:-5}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-w64-$arch.cmake" -DQUILLET_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target quillet quillet_standins >/dev/null

quillet="$build/src/app/quillet.exe"
minimal="$build/wine/minimal_win32.exe"
stripped=$(mktemp -d)
trap 'rm -rf "$stripped"' EXIT
for program in "$quillet" "$minimal"; do
  "$arch-w64-mingw32-strip" -o "$stripped/$(basename "$program")" "$program"
done

echo "== sizes of the $arch build (Release, static runtime, GUI subsystem)"
printf '%-20s %10s bytes, stripped %10s bytes\n' \
  quillet.exe "$(stat -c %s "$quillet")" "$(stat -c %s "$stripped/quillet.exe")" \
  minimal_win32.exe "$(stat -c %s "$minimal")" "$(stat -c %s "$stripped/minimal_win32.exe")"

echo "== times under $(/usr/lib/wine/wine64 --version)"
python3 wine/pressonly/measure_press.py --bin "$build/wine" --quillet "$quillet" \
  --work "$build/wine/e2e-measure" --setup --rounds "$rounds" ${EARLIER:+--earlier "$EARLIER"}
