#!/usr/bin/env bash
# Learns whether this machine runs PROGRAM (the build's wine/probe.exe, which does nothing but
# exit with code 73) under Wine, by starting it through LOADER in the prefix PREFIX, made here
# when it does not exist yet. Every Wine process is bounded in time. Prints one line that says
# what was seen; exits 0 when the program ran to its end, 1 when it did not, 64 on a wrong call.
#   scripts/wine-probe.sh LOADER PREFIX PROGRAM
#
# Whether a 32-bit program runs is the kernel's answer, and only starting one tells it: where the
# kernel runs no 32-bit code, Wine's 32-bit loader fails with "Exec format error", and a prefix
# made there has an empty syswow64.
set -uo pipefail

if [ $# -ne 3 ]; then
  echo "usage: scripts/wine-probe.sh LOADER PREFIX PROGRAM" >&2
  exit 64
fi
loader=$1 prefix=$(realpath -m "$2") program=$(realpath -m "$3")
ran_to_the_end=73
name=$(basename "$program")

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# What a Wine process printed, on one line, quoted, at most 300 characters.
said() {
  local text
  text=$(tr -s '\r\n\t' '   ' <"$1" | sed 's/^ *//; s/ *$//')
  [ -n "$text" ] || text="nothing"
  [ "${#text}" -le 300 ] || text="${text:0:297}..."
  printf '"%s"' "$text"
}

# The server of this prefix, if the loader comes with one; a server that has gone is fine.
stop_server() {
  local server
  server=$(dirname "$loader")/wineserver
  [ -x "$server" ] || server=$(command -v wineserver) || return 0
  timeout -k 5 30 "$server" -k >/dev/null 2>&1 || true
}

output=$(mktemp)
trap 'rm -f "$output"; stop_server' EXIT

if [ ! -d "$prefix/drive_c" ]; then
  mkdir -p "$prefix"
  timeout -k 5 240 "$loader" wineboot.exe --init >"$output" 2>&1
  status=$?
  if [ "$status" -ne 0 ]; then
    echo "no prefix for $name could be made: wineboot exited with $status and said $(said "$output")"
    exit 1
  fi
fi

timeout -k 5 60 "$loader" "$program" >"$output" 2>&1
status=$?
if [ "$status" -eq "$ran_to_the_end" ]; then
  echo "$name ran to its end under $loader"
  exit 0
fi
case $status in
  124 | 137) seen="did not end within 60 s" ;;
  *) seen="exited with $status, not $ran_to_the_end" ;;
esac
syswow64="$prefix/drive_c/windows/syswow64"
if [ -z "$(ls -A "$syswow64" 2>/dev/null)" ]; then
  seen="$seen; the prefix's syswow64 is empty"
fi
echo "$name $seen; Wine said $(said "$output")"
exit 1
