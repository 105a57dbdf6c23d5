#!/usr/bin/env bash
# Runs the whole-program test suite against the Windows console build.
#
# Builds build/mingw/ravelkit.exe with the MinGW-w64 cross compiler and runs
# the native suite binary (build/release/tests/ravelkit_cli_tests, from the
# release build) with every tool run going through Wine, in the locale
# RAVELKIT_WINE_LOCALE (default ja_JP.UTF-8, whose ANSI code page is 932;
# en_US.UTF-8 gives 1252).  The locale must exist (locale -a; localedef makes
# it).  Exit status: the suite's.  Arguments are passed on to the suite (e.g.
# --gtest_filter=...).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

suite=$root/build/release/tests/ravelkit_cli_tests
if [ ! -d build/release ]; then
  echo "missing build/release: configure the release preset first" >&2
  exit 1
fi
cmake --build --preset release --target ravelkit_cli_tests

cmake --preset mingw >/dev/null
cmake --build --preset mingw
exe=$root/build/mingw/ravelkit.exe

wine=${RAVELKIT_WINE:-/usr/lib/wine/wine64}
wineserver=${RAVELKIT_WINESERVER:-/usr/lib/wine/wineserver}
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
locale=${RAVELKIT_WINE_LOCALE:-ja_JP.UTF-8}
export LANG=$locale LC_ALL=$locale
export RAVELKIT_RUNNER=$wine RAVELKIT_EXE=$exe

# Start the server and the background services once, detached from this
# script's output: they outlive the runs and would hold its pipes open.
# (A server left running for this prefix is reused.)
mkdir -p "$WINEPREFIX"
trap '"$wineserver" -k </dev/null >/dev/null 2>&1 || true' EXIT
"$wineserver" -p </dev/null >/dev/null 2>&1 || true
"$wine" wineboot </dev/null >/dev/null 2>&1

log=$(mktemp)
status=0
"$suite" "$@" | tee "$log" || status=$?
count() { grep -oE "^\[  $1 *\] [0-9]+ test" "$log" | grep -oE '[0-9]+' | head -n 1 || true; }
passed=$(count PASSED); failed=$(count FAILED); skipped=$(count SKIPPED)
rm -f "$log"
echo "windows ($locale): ${passed:-0} passed, ${failed:-0} failed, ${skipped:-0} skipped"
exit "$status"
