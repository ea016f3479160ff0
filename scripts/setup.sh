#!/usr/bin/env bash
# Installs what building and testing Quillet needs, from Debian 12's own packages. Safe to run
# again: packages already present are left as they are.
#   scripts/setup.sh        everything: the tests, the Windows builds, Wine, the linters
#   scripts/setup.sh sim    only what quillet-sim needs: a compiler, CMake, Ninja, two libraries
#   scripts/setup.sh coverage  what scripts/coverage.sh needs: the test libraries and gcovr
set -euo pipefail

sim_packages=(cmake ninja-build g++ nlohmann-json3-dev libcli11-dev)
packages=("${sim_packages[@]}")
case "${1:-all}" in
  sim) ;;
  coverage) packages+=(libgtest-dev libgmock-dev googletest gcovr) ;;
  all)
    packages+=(
      git python3
      libgtest-dev libgmock-dev googletest libbenchmark-dev
      g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
      g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
      wine64 wine wine32:i386
      clang-format clang-tidy clang libclang-rt-14-dev valgrind
    )
    ;;
  *)
    echo "usage: scripts/setup.sh [sim|coverage|all]" >&2
    exit 64
    ;;
esac

# scripts/render-diagrams.sh: Debian's Chromium for Mermaid's renderer, fonts for the
# diagrams' Japanese text and symbols (␍, ✘), and Node.js with npm where the machine has no node.
if [ "${1:-all}" = all ]; then
  packages+=(chromium fonts-noto-cjk fonts-symbola)
  command -v node >/dev/null || packages+=(nodejs npm)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# The 32-bit build runs under Wine's 32-bit support, which comes from the i386 architecture.
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
