#!/usr/bin/env bash
# Installs with apt-get the Debian packages that building and testing need,
# only those missing; does nothing (not even an apt-get update) when all are
# there.  Needs root, or sudo.
#
# Usage: scripts/deps.sh [group...]        (default: build)
#   build     compiler, CMake, Ninja, zlib, ISA-L, GoogleTest, JSON, stb: README's Quick
#             start
#   ci        what .ci/run checks besides: memory check, packages, man page
#   windows   the Windows build and its test run: MinGW-w64 (posix threads;
#             mingw-w64-x86-64-dev holds winpthreads and its licence), zlib for it,
#             Wine, and locales for the Japanese locale
#   bench     bench/run's reference commands and timer: hyperfine, igzip,
#             pigz, GNU time
#   fuzz      clang and its runtime libraries, for scripts/fuzz.sh
#   all       every group above but bench
#
# This is the one list of the project's packages: add new ones here, to the
# group that needs them.
set -euo pipefail

build=(g++ cmake ninja-build zlib1g-dev libisal-dev libgtest-dev nlohmann-json3-dev libstb-dev)
ci=(time dpkg-dev file unzip groff-base)
windows=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev libz-mingw-w64-dev wine wine64 locales)
bench=(hyperfine isal pigz time)
fuzz=(clang libclang-rt-dev)

wanted=()
for group in "${@:-build}"; do
  case "$group" in
    build) wanted+=("${build[@]}") ;;
    ci) wanted+=("${ci[@]}") ;;
    windows) wanted+=("${windows[@]}") ;;
    bench) wanted+=("${bench[@]}") ;;
    fuzz) wanted+=("${fuzz[@]}") ;;
    all) wanted+=("${build[@]}" "${ci[@]}" "${windows[@]}" "${fuzz[@]}") ;;
    *) echo "deps.sh: unknown group '$group' (build, ci, windows, bench, fuzz, all)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${wanted[@]}"; do
  # Installed means dpkg's status line says so; a package that was removed
  # but left its configuration behind does not count.
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "deps.sh: missing packages: ${missing[*]}; run this as root to install them" >&2
    exit 1
  fi
  sudo=(sudo)
fi
echo "deps.sh: installing ${missing[*]}"
# Another apt-get may hold the lock for a while (a shared machine): wait.
apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -q -o DPkg::Lock::Timeout=600)
"${apt[@]}" update
"${apt[@]}" install -y --no-install-recommends "${missing[@]}"
