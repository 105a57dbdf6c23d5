#!/usr/bin/env bash
# Fuzzes the extractor with libFuzzer (clang, ASan + UBSan): builds the "fuzz"
# preset, writes the seed archives and runs the harness for the given time.
# The corpus grows in build/fuzz/corpus, starting from the seeds and the
# saved corpus and findings under tests/fuzz; crash, timeout and leak inputs
# land in build/fuzz/findings.  The harness works in a folder of its own on
# a memory file system (/dev/shm) where there is one.
# FUZZ_TARGET=inflate runs the differential harness of the two inflaters
# instead (needs ISA-L), with build/fuzz/inflate-corpus and
# build/fuzz/inflate-findings; FUZZ_TARGET=gim the GIM decoder and PNG
# writer alone, with build/fuzz/gim-corpus and build/fuzz/gim-findings.
# Usage: scripts/fuzz.sh [seconds]
# Settings (environment):
#   FUZZ_JOBS=N      workers side by side (default 1)
#   FUZZ_TIMEOUT=S   seconds one input may take before it is a finding (5)
#   FUZZ_RUNS=N      stop after N inputs instead of after the time (-runs)
#   FUZZ_CORPUS=DIR  the growing corpus (build/fuzz/corpus)
#   FUZZ_TMP=DIR     where the work folder goes (/dev/shm, else TMPDIR)
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
seconds=${1:-60}
jobs=${FUZZ_JOBS:-1}
timeout=${FUZZ_TIMEOUT:-5}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

out=build/fuzz
corpus=${FUZZ_CORPUS:-$out/corpus}
mkdir -p "$out/seeds" "$corpus" "$out/findings"
corpus=$(cd "$corpus" && pwd)
"$out/tests/fuzz/make_corpus" "$out/seeds"
# How long each target runs: a count of inputs, or a time.
if [ -n "${FUZZ_RUNS:-}" ]; then limit=(-runs="$FUZZ_RUNS"); else limit=(-max_total_time="$seconds"); fi

if [ "${FUZZ_TARGET:-extract}" = gim ]; then
  mkdir -p "$out/inflate-seeds" "$out/gim-seeds" "$out/gim-corpus" "$out/gim-findings"
  "$out/tests/fuzz/make_corpus" "$out/seeds" "$out/inflate-seeds" "$out/gim-seeds"
  args=(-max_len=65536 -timeout=10 -rss_limit_mb=1024 -malloc_limit_mb=64 "${limit[@]}"
        -artifact_prefix="$out/gim-findings/" -print_final_stats=1)
  if [ "$jobs" -gt 1 ]; then args+=(-jobs="$jobs" -workers="$jobs"); fi
  exec "$out/tests/fuzz/gim_fuzzer" "${args[@]}" "$out/gim-corpus" "$out/gim-seeds"
fi
if [ "${FUZZ_TARGET:-extract}" = inflate ]; then
  [ -x "$out/tests/fuzz/inflate_diff_fuzzer" ] || { echo "fuzz.sh: no ISA-L in this build" >&2; exit 1; }
  mkdir -p "$out/inflate-seeds" "$out/inflate-corpus" "$out/inflate-findings"
  "$out/tests/fuzz/make_corpus" "$out/seeds" "$out/inflate-seeds"
  args=(-max_len=16384 -timeout=10 -rss_limit_mb=1024 "${limit[@]}"
        -artifact_prefix="$out/inflate-findings/" -print_final_stats=1)
  if [ "$jobs" -gt 1 ]; then args+=(-jobs="$jobs" -workers="$jobs"); fi
  exec "$out/tests/fuzz/inflate_diff_fuzzer" "${args[@]}" "$out/inflate-corpus" "$out/inflate-seeds"
fi
cp examples/sample.dat "$out/seeds/"
cat > "$out/extract.dict" <<'DICT'
"GPDA"
"MIG."
"\x1f\x8b\x08"
".gz"
".gim"
".."
"/"
"\\"
"C:"
DICT

parent=${FUZZ_TMP:-}
if [ -z "$parent" ]; then
  if [ -d /dev/shm ] && [ -w /dev/shm ]; then parent=/dev/shm; else parent=${TMPDIR:-/tmp}; fi
fi
work=$(mktemp -d "$parent/ravelkit-fuzz-run.XXXXXX")
trap 'rm -rf "$work"' EXIT
export RAVELKIT_FUZZ_TMP=$work

# Parallel jobs write their logs (fuzz-N.log) to build/fuzz.
cd "$out"
args=(-max_len=65536 -timeout="$timeout" -rss_limit_mb=1024 -dict=extract.dict
      -artifact_prefix=findings/ -print_final_stats=1)
args+=("${limit[@]}")
if [ "$jobs" -gt 1 ]; then
  args+=(-jobs="$jobs" -workers="$jobs")
fi
saved=()
for d in "$src/tests/fuzz/corpus" "$src/tests/fuzz/findings"; do
  [ -d "$d" ] && saved+=("$d")
done
tests/fuzz/extract_fuzzer "${args[@]}" "$corpus" seeds "${saved[@]}"
